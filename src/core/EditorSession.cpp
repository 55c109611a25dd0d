// The scheduler's side of the editor, the menu's load and save, "Jetzt ausführen" by journal
// id and the pause: the decisions the tray's windows only show.
#include "base/Errors.h"
#include "core/InstanceLock.h"
#include "core/Scheduler.h"

#include <algorithm>
#include <cstdint>

namespace {

// What an interval of 0 from the editor becomes.
constexpr unsigned CorrectedIntervalMs = 60000;

} // namespace

bool TimeRuleChanged(const TActionEntry &before, const TActionEntry &after) {
  return before.TimePoint != after.TimePoint || before.FirstDate != after.FirstDate ||
         (after.TimePoint == tpFrequency && before.Freq != after.Freq) ||
         before.Weekdays != after.Weekdays || (!before.Active && after.Active);
}

TListEditSession TScheduler::BeginListEdit() const {
  TListEditSession session;
  session.Copies = Actions();
  session.JournalIds = JournalEntryIds();
  session.IntervalMs = Interval();
  session.ConfigFileName = ConfigFileName();
  session.ListGeneration = FListGeneration;
  return session;
}

TEditorOutcome
TScheduler::TakeEditorSession(const TListEditSession &session,
                              const std::function<QString(const QString &)> &follow) {
  TEditorOutcome outcome;
  const QString journalBefore = Journal() ? Journal()->FileName() : QString();
  // Another scheduler on the file the editor chose would run its calls twice: then the
  // configuration stays where it was.
  if (session.ConfigFileName != FConfigFileName)
    outcome.ConfigRefused = follow ? follow(session.ConfigFileName) : QString();
  if (outcome.ConfigRefused.isEmpty())
    FConfigFileName = session.ConfigFileName;
  else
    ShowMessageWindow(QStringLiteral("Fehler"), QString(), outcome.ConfigRefused);
  // The journal lies beside the configuration and follows it to another file; its ids are
  // those of the journal the editor was opened with.
  OpenJournal();
  const bool sameJournal = Journal() && Journal()->FileName() == journalBefore;
  FInterval = static_cast<unsigned>(std::min<std::uint64_t>(session.IntervalMs, UINT32_MAX));
  outcome.IntervalCorrected = FInterval == 0;
  if (outcome.IntervalCorrected)
    FInterval = CorrectedIntervalMs;
  std::vector<std::int64_t> editedFrom;
  SetActions(EditedEntries(session, sameJournal, editedFrom, Clock().Wall));
  try {
    SaveConfiguration(FConfigFileName);
  } catch (const std::exception &error) {
    HandleAppException(error);
    return outcome;
  }
  outcome.Saved = true;
  // Saved: from now on the journal starts each entry from what the editor gave it, so that a
  // last run the user reset is not overruled by the journal at the next start.
  JournalBaseline(editedFrom);
  return outcome;
}

std::vector<TActionEntry> TScheduler::EditedEntries(const TListEditSession &session,
                                                    bool sameJournal,
                                                    std::vector<std::int64_t> &editedFrom,
                                                    TDateTime now) const {
  // The list the editor copied is still the scheduler's: its entries are at the copies'
  // indexes, with the runs that ticks recorded while the editor was open.
  const bool sameList = session.ListGeneration == FListGeneration;
  std::vector<TActionEntry> entries;
  entries.reserve(session.Rows.size());
  editedFrom.clear();
  for (const TEditorRow &row : session.Rows) {
    editedFrom.push_back(sameJournal ? row.JournalId : 0);
    TActionEntry entry = row.Entry;
    // A run recorded meanwhile is kept, unless the user set the last run himself.
    if (!row.LastDateChanged && sameList && row.Origin >= 0 && row.Origin < FActionList.Count())
      entry.LastDate = std::max(entry.LastDate, FActionList[row.Origin]->LastDate);
    const bool copied =
        row.Origin >= 0 && static_cast<std::size_t>(row.Origin) < session.Copies.size();
    const TActionEntry *before =
        copied ? &session.Copies[static_cast<std::size_t>(row.Origin)] : nullptr;
    // A rule made or changed now would otherwise make up its past points at once (a daily
    // 09:00 made at 23:38 would run at OK). The editor's own bound was only for its display.
    if (!before || TimeRuleChanged(*before, entry))
      entry.StartFrom = now;
    else if (row.LastDateChanged)
      entry.StartFrom = 0; // the user says from where it goes on
    else
      entry.StartFrom = before->StartFrom;
    entries.push_back(entry);
  }
  return entries;
}

TLoadReport TScheduler::LoadActionFile(const QString &fileName) {
  TLoadReport report = LoadConfiguration(fileName);
  // Entries of the file that have run here already are not made again.
  MergeJournalLastDates();
  return report;
}

bool TScheduler::SaveActionFile(const QString &fileName,
                                const std::function<bool(const QString &)> &runByAnother) {
  // That scheduler would write its own list over ours when it ends.
  if (runByAnother && runByAnother(fileName)) {
    ShowMessageWindow(QStringLiteral("Fehler"), QString(),
                      NotSavedForAnotherSchedulerText(fileName));
    return false;
  }
  SaveConfiguration(fileName);
  return true;
}

void TScheduler::SaveConfiguration() {
  // Without a configuration file (its location could not be made) there is nothing to write.
  if (!FConfigFileName.isEmpty())
    SaveConfiguration(FConfigFileName);
}

TManualRun TScheduler::RunNowByJournalId(std::int64_t entryId) {
  const std::vector<std::int64_t> ids = JournalEntryIds();
  const auto at = std::find(ids.begin(), ids.end(), entryId);
  if (entryId == 0 || at == ids.end())
    return {};
  return RunNow(static_cast<int>(at - ids.begin()));
}

unsigned TScheduler::TimerInterval() const {
  return FPaused ? 0 : FInterval;
}

bool TScheduler::PauseForShiftAtStart(bool shiftHeld) {
  if (FNoShiftReaction || !shiftHeld)
    return false;
  FPaused = true;
  // A start that silently does nothing looks broken: say why and how to go on.
  ShowMessageWindow(
      ApplicationTitle(), QString(),
      QStringLiteral("Kronolab ist angehalten, weil beim Start die Umschalttaste gedrückt war. "
                     "Bis Sie im Menü den Haken bei „Programm angehalten“ entfernen, führt "
                     "Kronolab keine Aktion aus."));
  return true;
}

bool SetEntryActive(TActionEntry &entry, bool active, TDateTime now) {
  if (entry.Active == active)
    return false;
  entry.Active = active;
  if (active)
    entry.StartFrom = now;
  return true;
}
