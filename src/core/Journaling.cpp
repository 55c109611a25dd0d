// The scheduler's side of the run journal: recording each tick's calls before they run,
// adding their results, taking the journal's LastDates over at start-up, the baseline after
// the editor's OK, and "Jetzt ausführen".
#include "core/Scheduler.h"

#include "core/BusyScope.h"
#include "core/MessageSink.h"

#include <QHash>
#include <QSet>

namespace {

// Calls kept in memory for a journal that cannot be written; beyond, they go unrecorded.
constexpr std::size_t MaxUnrecordedCalls = 20000;
// What a tick spends on pruning the journal at most (a statement begun is finished).
constexpr int JournalPruneStepMs = 20;

std::vector<const TActionEntry *> Entries(const TXList<TActionEntry> &list) {
  std::vector<const TActionEntry *> entries;
  entries.reserve(static_cast<std::size_t>(list.Count()));
  for (int i = 0; i < list.Count(); ++i)
    entries.push_back(list[i]);
  return entries;
}

// The part of a key after its ordinal: the entry's rule and action.
QStringView RuleOf(const QString &key) {
  return QStringView(key).mid(key.indexOf(u'|') + 1);
}

} // namespace

void TScheduler::OpenJournal(const TRunJournalOptions &options) {
  if (FConfigFileName.isEmpty())
    return;
  const QString fileName = TRunJournal::FileNameFor(FConfigFileName);
  if (FJournal && FJournal->FileName() == fileName)
    return;
  NoteProcessEnds();
  // The programs still run and keep their limits; their calls are the old journal's.
  for (TRunningProgram &running : FRunningCalls)
    running.Call = 0;
  for (TWaitingCall &waiting : FWaitingCalls)
    waiting.Call = 0;
  FKeyedEntries.clear();
  FJournal = std::make_unique<TRunJournal>();
  FJournal->OnProblem = [this](const QString &message) {
    ShowMessageWindow(FApplicationTitle, QStringLiteral("Verlauf"), message);
  };
  FJournal->Open(fileName, Clock(), options);
  LoadSnoozes();
}

void TScheduler::MergeJournalLastDates() {
  if (FJournal)
    MergeJournalLastDates(*FJournal);
}

void TScheduler::MergeJournalLastDates(const TRunJournal &journal) {
  if (!journal.CanRead())
    return;
  const std::vector<QString> keys = EntryKeys(Entries(FActionList));
  for (int i = 0; i < FActionList.Count(); ++i) {
    TActionEntry &entry = *FActionList[i];
    const QString &key = keys[static_cast<std::size_t>(i)];
    const std::optional<TDateTime> recorded = journal.EntryLastDate(key);
    if (recorded && *recorded > entry.LastDate)
      entry.LastDate = *recorded;
    // Every call is in the journal before it is made, so its last one is the entry's last,
    // whichever LastDate is later: inside the repeated autumn hour the wall-clock values
    // cannot tell which of two equal times that call was made at, the instant can.
    if (const std::optional<std::int64_t> instant = journal.EntryLastCallUtc(key))
      entry.LastCallUtcMs = *instant;
  }
}

std::vector<std::int64_t> TScheduler::JournalEntryIds() const {
  std::vector<std::int64_t> ids(static_cast<std::size_t>(FActionList.Count()), 0);
  if (!FJournal)
    return ids;
  const std::vector<QString> keys = EntryKeys(Entries(FActionList));
  for (std::size_t i = 0; i < keys.size(); ++i)
    ids[i] = FJournal->FindEntry(keys[i]);
  return ids;
}

void TScheduler::JournalBaseline(const std::vector<std::int64_t> &editedFrom) {
  if (!FJournal)
    return;
  const std::vector<QString> keys = EntryKeys(Entries(FActionList));
  std::vector<TBaselineEntry> entries;
  QSet<std::int64_t> taken;
  for (int i = 0; i < FActionList.Count(); ++i) {
    const auto index = static_cast<std::size_t>(i);
    std::int64_t from = index < editedFrom.size() ? editedFrom[index] : 0;
    // One history cannot go to two entries.
    if (from != 0 && taken.contains(from))
      from = 0;
    taken.insert(from);
    entries.push_back({keys[index], FActionList[i]->Action, FActionList[i]->LastDate, from});
  }
  FJournal->Baseline(entries);
  FKeyedEntries.clear();
}

const std::vector<QString> &TScheduler::ListKeys() {
  bool same = FKeyedEntries.size() == static_cast<std::size_t>(FActionList.Count());
  for (int i = 0; same && i < FActionList.Count(); ++i)
    same = FKeyedEntries[static_cast<std::size_t>(i)] == FActionList[i];
  if (!same) {
    FKeyedEntries = Entries(FActionList);
    FKeys = EntryKeys(FKeyedEntries);
  }
  return FKeys;
}

void TScheduler::JournalTickBegins() {
  FTickCallsHeld = false;
  if (!FJournal)
    return;
  FJournal->TickBegins();
  while (!FUnrecordedCalls.empty()) {
    const auto &[recorded, calls] = FUnrecordedCalls.front();
    if (!FJournal->RecordUnrecordedCalls(calls, recorded))
      return;
    FUnrecordedCount -= calls.size();
    FUnrecordedCalls.erase(FUnrecordedCalls.begin());
  }
}

void TScheduler::JournalTickEnds(TDateTime now) {
  if (FJournal)
    FJournal->PruneStep(now, JournalPruneStepMs);
}

void TScheduler::RecordDueCalls(const TMoment &now) {
  FTickCalls.clear();
  FTickCallsTaken = 0;
  FTickCallsHeld = false;
  const int n = FDueList.Count();
  if ((n == 0 && FLateCalls.empty()) || !FJournal)
    return;
  ListKeys();
  QHash<const TActionEntry *, int> index;
  for (std::size_t i = 0; i < FKeyedEntries.size(); ++i)
    index.insert(FKeyedEntries[i], static_cast<int>(i));
  std::vector<TDueCall> calls;
  calls.reserve(static_cast<std::size_t>(n));
  QSet<const TActionEntry *> checked;
  const auto add = [&](const TActionEntry *entry, TDateTime due) {
    int at = index.value(entry, -1);
    // An entry changed in place since its key was made gets a fresh one.
    if (at >= 0 && !checked.contains(entry)) {
      checked.insert(entry);
      const QString fresh = EntryKeys({entry}).front();
      if (RuleOf(FKeys[static_cast<std::size_t>(at)]) != RuleOf(fresh)) {
        FKeyedEntries.clear();
        ListKeys();
        at = index.value(entry, -1);
      }
    }
    calls.push_back({at >= 0 ? FKeys[static_cast<std::size_t>(at)] : EntryKeys({entry}).front(),
                     entry->Action, at + 1, due});
  };
  for (int i = 0; i < n; ++i)
    add(DueEntry(i), FDueList.Value<double>(i));
  // The calls left out as too late follow, so that the tick's own keep DueList's indexes.
  for (const TLateCall &late : FLateCalls)
    add(late.Entry, late.Due);
  FTickCalls = FJournal->RecordCalls(calls, now);
  if (!FTickCalls.empty()) {
    // The calls left out as too late follow the tick's own ones and are finished at once.
    for (std::size_t i = static_cast<std::size_t>(n); i < FTickCalls.size(); ++i)
      FinishJournalCall(FTickCalls[i], {TCallState::Done, 0, 0, TooLateResultText(), -1});
    FTickCalls.resize(static_cast<std::size_t>(n));
    return;
  }
  // Without a record a late call is simply not made.
  calls.resize(static_cast<std::size_t>(n));
  if (calls.empty())
    return;
  // Record first, then carry out: while another program holds the journal for a moment, the
  // calls wait for the next tick rather than run without a record that a kill would need.
  if (FJournal->HoldsCalls()) {
    FTickCallsHeld = true;
    return;
  }
  // The journal cannot be written for longer: the calls run, and are recorded once it can.
  if (FUnrecordedCount + calls.size() <= MaxUnrecordedCalls) {
    FUnrecordedCount += calls.size();
    FUnrecordedCalls.emplace_back(now, std::move(calls));
  }
}

void TScheduler::CloseTickCalls() {
  FPendingCall = 0;
  const std::size_t recorded =
      std::min(FTickCalls.size(), static_cast<std::size_t>(FDueList.Count()));
  if (FJournal && FTickCallsTaken < recorded) {
    // The calls the tick did not get to come again at a later one (their DueFlag, or the
    // LastDate the due check has put back, brings them): their records go, and each entry's
    // LastDate in the journal goes back to the scheduler's, so that neither a crash nor the
    // next tick counts them as made.
    const std::vector<QString> &keys = ListKeys();
    QHash<const TActionEntry *, std::size_t> index;
    for (std::size_t i = 0; i < FKeyedEntries.size(); ++i)
      index.insert(FKeyedEntries[i], i);
    std::vector<std::int64_t> calls;
    std::vector<std::pair<QString, TDateTime>> lastDates;
    QSet<const TActionEntry *> seen;
    for (std::size_t i = FTickCallsTaken; i < recorded; ++i) {
      calls.push_back(FTickCalls[i]);
      const TActionEntry *entry = DueEntry(static_cast<int>(i));
      const auto at = index.constFind(entry);
      if (at != index.cend() && !seen.contains(entry)) {
        seen.insert(entry);
        lastDates.emplace_back(keys[*at], entry->LastDate);
      }
    }
    FJournal->WithdrawCalls(calls, lastDates);
  }
  FTickCalls.clear();
  FTickCallsTaken = 0;
}

void TScheduler::NoteProcessEnds() {
  if (FRunningCalls.empty())
    return;
  std::vector<TRunJournal::TProgramEnd> ends;
  std::erase_if(FRunningCalls, [this, &ends](const TRunningProgram &running) {
    std::optional<TProcessEnd> end = FPlatform.TakeProcessEnd(running.ProcessId);
    if (!end)
      return false;
    if (running.Call != 0)
      ends.push_back({running.Call, end->Signaled, end->Code, end->RunMs, running.TimedOut,
                      std::move(end->Output), std::move(end->Errors)});
    return true;
  });
  if (FJournal)
    FJournal->ProgramsEnded(ends);
  for (const TRunJournal::TProgramEnd &end : ends) {
    const TCallState state = end.Signaled ? TCallState::Signaled : TCallState::Exited;
    // A program stopped at its time limit failed, whatever its status says.
    if (end.TimedOut || IsFailedCall(state, end.Code))
      TellCallFailed(end.Call, QString(), state, end.Code,
                     end.TimedOut ? TimeLimitText() : QString());
  }
}

void TScheduler::BeginJournalCall(std::int64_t call, TDateTime moment, const QString &command) {
  FCallFailures.clear();
  FCallProcessId = 0;
  FCallTimer.start();
  if (call != 0 && FJournal)
    FJournal->BeginCall(call, moment, command);
}

TCallResult TScheduler::CollectedResult(QChar kind) const {
  TCallResult result;
  result.DurationMs = FCallTimer.isValid() ? FCallTimer.elapsed() : -1;
  if (!FCallFailures.isEmpty()) {
    result.State = TCallState::Failed;
    result.Detail = FCallFailures.join(u'\n');
  } else if (FCallProcessId != 0) {
    // Its duration is known when it ends.
    result.State = TCallState::Running;
    result.ProcessId = FCallProcessId;
    result.DurationMs = -1;
  } else {
    result.Detail =
        kind == u'%' ? QStringLiteral("Erledigt") : QStringLiteral("Nachricht angezeigt");
  }
  return result;
}

void TScheduler::FinishJournalCall(std::int64_t call, TCallResult result) {
  if (call != 0 && FJournal)
    FJournal->FinishCall(call, result);
  // Told once the journal holds the result, so that "Verlauf" opened from the notice shows it.
  if (IsFailedCall(result.State, result.Code))
    TellCallFailed(call, FCallAction, result.State, result.Code, result.Detail);
}

void TScheduler::TellCallFailed(std::int64_t call, const QString &action, TCallState state,
                                int code, const QString &detail) {
  if (!FMessageSink)
    return;
  TCallRecord record;
  record.State = state;
  record.Code = code;
  record.Detail = detail;
  record.Action = action;
  // The journal knows which row the call came from; a call it never recorded names none.
  if (call != 0 && FJournal)
    if (const std::optional<TCallRecord> recorded = FJournal->Call(call)) {
      record.EntryNumber = recorded->EntryNumber;
      if (record.Action.isEmpty())
        record.Action = recorded->Action;
    }
  try {
    FMessageSink->CallFailed(record.EntryNumber, record.Action, CallResultText(record), call);
  } catch (...) {
    // Like a message, the notice of a failure must never end the tick that made the call.
  }
}

TManualRun TScheduler::RunNow(const TActionEntry &entry, std::int64_t journalId, int entryNumber) {
  TManualRun run;
  // Not inside a tick: its dispatch would be interleaved with this one.
  if (FTickBusy)
    return run;
  const TBusyScope busy(FTickBusy);
  if (FJournal) {
    if (journalId == 0)
      journalId = FJournal->NewEntry(entry.Action);
    if (journalId != 0)
      run.CallId = FJournal->RecordManualCall(journalId, entryNumber, entry.Action, Clock());
  }
  run.EntryId = journalId;
  // A copy: ExecuteAction clears its DueFlag, and the entry's own must stay as it is.
  TActionEntry copy = entry;
  FPendingCall = run.CallId;
  try {
    ExecuteAction(copy);
  } catch (const std::exception &error) {
    HandleAppException(error);
  } catch (...) {
    HandleAppException(QStringLiteral("Unbekannter Fehler"));
  }
  FPendingCall = 0;
  run.Done = true;
  return run;
}

TManualRun TScheduler::RunNow(int index) {
  if (index < 0 || index >= FActionList.Count())
    return {};
  std::int64_t id = 0;
  if (FJournal)
    id =
        FJournal->EntryFor(ListKeys()[static_cast<std::size_t>(index)], FActionList[index]->Action);
  return RunNow(*FActionList[index], id, index + 1);
}
