// TScheduler: the scheduling state and work of the program, without any window. The tray
// program owns one and forwards its timer, menu and editor to it; kronolab-cli uses it
// headless; tests drive it with a fixed "now".
#pragma once

#include "base/ActionEntry.h"
#include "core/EditorSession.h"
#include "core/ListCommands.h"
#include "core/MessageSink.h"
#include "core/WakePlanner.h"
#include "core/journal/RunJournal.h"
#include "platform/Clock.h"
#include "platform/Platform.h"
#include "storage/FileReports.h"
#include "storage/XLists.h"

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

class QObject;
class QSocketNotifier;
class TMessageSink;

// What "Jetzt ausführen" did.
struct TManualRun {
  // False when a tick was running and nothing was done.
  bool Done = false;
  // The journal's entry and call it was recorded as (0 without a journal).
  std::int64_t EntryId = 0;
  std::int64_t CallId = 0;
};

// A call the due check did not make because its due point lay further back than the entry's
// LateLimitMs: recorded in the journal as "Ausgelassen: zu spät", never carried out.
struct TLateCall {
  TActionEntry *Entry = nullptr;
  TDateTime Due = 0;
};

// The journal's result text of a call left out as too late.
QString TooLateResultText();

// The scheduler: the action list, the due check, dispatch, the log and the configuration.
class TScheduler {
public:
  // platform is not owned and outlives the scheduler; its clock is the default Clock.
  explicit TScheduler(TPlatform &platform = SystemPlatform());
  ~TScheduler();
  TScheduler(const TScheduler &) = delete;
  TScheduler &operator=(const TScheduler &) = delete;

  // The actions in the user's order; owns its entries.
  TXList<TActionEntry> &ActionList() { return FActionList; }
  const TXList<TActionEntry> &ActionList() const { return FActionList; }
  // Whether each call is written to the log file.
  bool Logging() const { return FLogging; }
  void SetLogging(bool on) { FLogging = on; }
  // Whether the Shift key at start is ignored (true) or pauses the scheduler.
  bool NoShiftReaction() const { return FNoShiftReaction; }
  void SetNoShiftReaction(bool on) { FNoShiftReaction = on; }
  // Messages and errors also go to the desktop's notifications (the tray's menu switch).
  bool DesktopNotifications() const { return FDesktopNotifications; }
  void SetDesktopNotifications(bool on) { FDesktopNotifications = on; }
  // Timer interval in milliseconds; 0 means the timer never fires.
  unsigned Interval() const { return FInterval; }
  void SetInterval(unsigned ms) { FInterval = ms; }
  // The configuration and log files this scheduler runs on.
  const QString &ConfigFileName() const { return FConfigFileName; }
  void SetConfigFileName(const QString &fileName) { FConfigFileName = fileName; }
  const QString &LogFileName() const { return FLogFileName; }
  void SetLogFileName(const QString &fileName) { FLogFileName = fileName; }
  // The application title, shown in the caption of message actions.
  const QString &ApplicationTitle() const { return FApplicationTitle; }
  void SetApplicationTitle(const QString &title) { FApplicationTitle = title; }

  // Not owned. Without a sink, messages are dropped.
  TMessageSink *MessageSink() const { return FMessageSink; }
  void SetMessageSink(TMessageSink *sink) { FMessageSink = sink; }
  // "Now" as the tick and the dispatcher read it.
  TMoment Clock() const { return FClock(); }
  // The clock to read; the platform's unless a test sets another. A clock that gives
  // wall-clock values alone stands for the first instant each is shown.
  void SetClock(std::function<TMoment()> clock) { FClock = std::move(clock); }
  // Called by each tick with its "now" before the due check (the tray program renews its
  // moon icon here).
  void SetOnTick(std::function<void(TDateTime now)> onTick) { FOnTick = std::move(onTick); }
  // How long one tick may spend making up missed calls (in the due check, and again in the
  // dispatch) before it leaves the rest to the following ticks, so that the timer, signals and
  // windows are answered whatever the file holds. The first call of a tick always runs.
  int TickTimeBudgetMs() const { return FTickTimeBudgetMs; }
  void SetTickTimeBudgetMs(int ms) { FTickTimeBudgetMs = ms; }
  // Counts replacements of the action list, so that copies handed out can tell whether the
  // entries they came from are still the list's.
  std::uint64_t ListGeneration() const { return FListGeneration; }

  // Paused: the host's timer stops until the user resumes.
  bool Paused() const { return FPaused; }
  void SetPaused(bool paused) { FPaused = paused; }
  // The interval the host's timer runs at; 0 (no ticks) while paused or without one.
  unsigned TimerInterval() const;
  // The Shift key held at start pauses the scheduler unless NoShiftReaction; then the user
  // is told why nothing runs. True when it paused.
  bool PauseForShiftAtStart(bool shiftHeld);

  // The instant (UTC milliseconds) of the next due check the plan asks for: the next call's
  // due point, the next midnight (catch-up periods begin there), the next change of the UTC
  // offset, about each second while started programs run; never sooner than Interval after
  // the last check. 0 when no check is to come (paused, or an interval of 0).
  std::int64_t NextDueCheckUtcMs(const TMoment &now);
  // The call due next by the plan and its due point ({0, nullptr}: none will be due by time).
  std::pair<TDateTime, const TActionEntry *> NextPlannedCall(const TMoment &now);
  // Entries were added or changed in place, or the clock was set: the plan is made anew before
  // it is used next, and whoever sleeps on it is told (to arm its alarm again).
  void PlanChanged() {
    FWakePlan.Drop();
    if (FOnPlanChanged)
      FOnPlanChanged();
  }
  // Called by PlanChanged; may come many times in a row (one per entry of a load), so the
  // host coalesces.
  void SetOnPlanChanged(std::function<void()> onChanged) { FOnPlanChanged = std::move(onChanged); }

  // Copies of the list for an editor, with their journal ids, the interval and the file.
  TListEditSession BeginListEdit() const;
  // The editor's OK: the configuration follows the chosen file unless follow (which moves
  // the one-scheduler lock; may be empty) gives the German reason why not, the journal
  // follows it, an interval of 0 becomes one minute, the rows replace the list keeping runs
  // recorded meanwhile (a new or changed time rule starts from now: no call for the points
  // before it), the list is saved and the journal starts from it. Raises nothing: a
  // failed save is reported through the sink.
  TEditorOutcome TakeEditorSession(const TListEditSession &session,
                                   const std::function<QString(const QString &)> &follow);
  // The menu's "Aktionen laden": the file replaces list and settings as LoadConfiguration
  // does, and its entries take over the runs the journal knows.
  TLoadReport LoadActionFile(const QString &fileName);
  // The menu's "Aktionen sichern": false, after telling the sink, when runByAnother says
  // another scheduler runs the file; raises EInOutError as SaveConfiguration.
  bool SaveActionFile(const QString &fileName,
                      const std::function<bool(const QString &)> &runByAnother);
  // Saves into ConfigFileName; nothing without one. Raises EInOutError as the other.
  void SaveConfiguration();

  // The calls of the last due check: (due point, TActionEntry*) ascending; valid for one tick.
  const TGeneralList &DueList() const { return FDueList; }
  // The calls of the last due check left out as too late (at most one per entry: the latest
  // of its late points); valid for one tick.
  const std::vector<TLateCall> &LateCalls() const { return FLateCalls; }
  // The due entry at DueList index i.
  TActionEntry *DueEntry(int i);
  // Copy of the entry being carried out; an empty Action means none is.
  const TActionEntry &CurrentAction() const { return FCurrentAction; }
  // True while a tick runs; a tick that starts meanwhile returns at once.
  bool TickBusy() const { return FTickBusy; }
  // Replaces the action list by copies of entries; each DueFlag becomes its SuddenStart.
  void SetActions(const std::vector<TActionEntry> &entries);
  // Copies of the current entries, in list order.
  std::vector<TActionEntry> Actions() const;
  // Appends a copy of entry (DueFlag as SuddenStart); the new entry.
  TActionEntry *AddAction(const TActionEntry &entry);

  // The due check: records runs in LastDate (and the instant in LastCallUtcMs), sets DueFlag
  // and fills DueList for now. Entries due at the same point are all in DueList, in list
  // order. Raises nothing: an entry it cannot check is passed over and reported once
  // (HandleAppException) while the others go on. The instant of now tells a wall-clock time
  // lived a second time (the autumn hour, a clock set back) from the first.
  void CollectDueActions(const TMoment &now);
  // The due point that CollectDueActions would dispatch next for entry, at or after now (or
  // at the next tick when overdue), without changing anything; 0 when the entry will never
  // be due again by time (or cannot be checked at all). Raises nothing.
  static TDateTime NextDuePoint(const TActionEntry &entry, const TMoment &now);
  // The same for a wall-clock now alone, taken as its first showing where that matters.
  static TDateTime NextDuePoint(const TActionEntry &entry, TDateTime now);
  // The next run to show for entry at now: NextDuePoint, but for a call already due (made at
  // the next check) the one after it, so that a time already passed is never shown as next.
  static TDateTime NextRunShown(const TActionEntry &entry, TDateTime now);
  // Why the due check cannot work with entry (a date outside the calendar, a frequency that is
  // no number); empty when it can.
  static QString DueCheckFault(const TActionEntry &entry);

  // Takes one call of DueList as dispatched: clears its DueFlag. The due check has already
  // recorded its LastDate, so this is all a dispatch changes in the entry; ExecuteAction
  // begins with it, and a dry run calls it instead of ExecuteAction.
  static void TakeDueCall(TActionEntry &entry);

  // The tick: icon hook, due check and dispatch in due order; errors reach HandleAppException.
  void TimerTimer();
  // Carries out one entry of the action list (a message, an internal command or a program).
  void ExecuteAction(TActionEntry &entry);
  // Runs an internal command (the expanded text without its leading percent sign); chosen
  // marks the characters of text that came from a random file choice (may be empty).
  void RunInternalCommand(const QString &text, const QList<bool> &chosen = {});
  // Starts a program; folder (may be empty) becomes its working folder.
  void LaunchProgram(const QString &folder, const QString &commandLine);
  // Appends one line to the log file, creating the file when it is missing.
  void WriteLogLine(const QString &line);

  // Replaces the action list and settings from a configuration file (a missing file loads
  // as empty). Values no entry may hold are replaced or their entry left out, and the sink is
  // told of them in one message; the same is returned. Raises EInOutError, leaving the list
  // and the settings as they were, when the file exists but cannot be read or is not used
  // (another user may change it, it is no regular file, too large, or not understood): such
  // a file is never saved over.
  TLoadReport LoadConfiguration(const QString &fileName);
  // Writes the action list and settings into the file, keeping what else it holds; raises
  // EInOutError, leaving the old file intact, when it cannot be written.
  void SaveConfiguration(const QString &fileName);

  // The run journal beside the configuration; nullptr before OpenJournal.
  TRunJournal *Journal() const { return FJournal.get(); }
  // Opens the run journal beside ConfigFileName (again when that name has changed). A
  // problem is told once through the sink; the scheduler goes on without the journal.
  void OpenJournal(const TRunJournalOptions &options = {});
  // Each entry's LastDate becomes the later of its own and the journal's, so that a call
  // recorded before a crash is not made again.
  void MergeJournalLastDates();
  // The same from a journal opened elsewhere (for reading, as list does), so that what is
  // shown as the next run is one the scheduler will make.
  void MergeJournalLastDates(const TRunJournal &journal);
  // The journal's id of every entry of the action list (0 for one it has never seen).
  std::vector<std::int64_t> JournalEntryIds() const;
  // After the user has set the list (the editor's OK, once saved): the journal starts each
  // entry from its LastDate as it is now. editedFrom[i] is the journal id the entry at index
  // i was edited from (0: a new entry), so that an edited entry keeps its history.
  void JournalBaseline(const std::vector<std::int64_t> &editedFrom);
  // "Jetzt ausführen": carries out a copy of entry through ExecuteAction, recorded in the
  // journal as a manual call under journalId (0: under a new journal entry). The LastDate
  // and DueFlag of the list's entries stay as they are.
  TManualRun RunNow(const TActionEntry &entry, std::int64_t journalId, int entryNumber);
  // The same for the action list's entry at index.
  TManualRun RunNow(int index);
  // The same for the entry the journal knows as entryId; not done when the list has none.
  TManualRun RunNowByJournalId(std::int64_t entryId);

  // A change from kronolab-cli (add, remove, enable, disable, run-now), applied to the list
  // and saved into ConfigFileName: an added entry and one switched on start from now. Not
  // done while a tick runs; the result says why not, or that the save failed (the change then
  // stays in the list and is saved with it later). Raises nothing.
  TListCommandResult ApplyListCommand(const TListCommand &command, const TMoment &now);
  // Puts a message off until the wall-clock moment at: the tick shows it again then. Kept in
  // the journal (when there is one), so that it comes back after a restart too.
  void SnoozeMessage(const QString &caption, const QString &header, const QString &message,
                     TDateTime at);
  // The earliest moment a put-off message comes back; 0 when none waits.
  TDateTime NextSnooze() const;
  // Shows every put-off message due at now, each once (the tick calls it).
  void ShowDueSnoozes(TDateTime now);
  // Collects the ends of programs that have ended, records them and starts a call that
  // waited for one of them; the platform's end events call it, and a test may.
  void ProgramsMayHaveEnded();

  // Hands a message to the sink.
  void ShowMessageWindow(const QString &caption, const QString &header, const QString &message);
  // Reports an error that nothing else caught, naming the current action if there is one.
  void HandleAppException(const std::exception &error);
  void HandleAppException(const QString &message);

  // The operating system's services this scheduler uses.
  TPlatform &Platform() const { return FPlatform; }

private:
  TPlatform &FPlatform;
  // Where an entry's catch-up calls of this tick began, so that those the tick does not get
  // to are made again at the next one.
  struct TCatchUp {
    TDateTime OldLastDate;
    TDateTime FirstPoint;
  };

  void AddDuePoint(TDateTime t, TActionEntry *entry);
  // The tick carried out the calls of DueList before index from only: the others follow at
  // the next tick (flagged entries keep their DueFlag; catch-up calls get their LastDate back).
  void KeepUndispatchedCalls(int from);
  // Reports that entry number n cannot be checked, once for as long as it stays so.
  void ReportEntryFault(int n, const TActionEntry &entry, const QString &reason);
  bool FaultReported(const TActionEntry &entry) const;
  // The journal's side of a tick and of a call.
  void RecordDueCalls(const TMoment &now);
  void CloseTickCalls();
  // Before a tick's first write: a journal locked at the last tick is tried again, and calls
  // made without a record are recorded now if it can be written.
  void JournalTickBegins();
  // After a tick's calls: a step of the daily pruning.
  void JournalTickEnds(TDateTime now);
  void NoteProcessEnds();
  // Run control around a program: a due call of an entry whose previous program still runs
  // is skipped or kept waiting (true: not to be carried out now); ExecuteAction then watches
  // the program it started, under its entry's key and time limit.
  bool HoldForRunningCall(TActionEntry &entry);
  void StartWaitingCalls();
  void WatchProgram(std::int64_t processId, std::int64_t call, const QString &key,
                    std::int64_t limitMs);
  void ArmTimeLimit(std::int64_t processId, std::int64_t inMs);
  // Stops the programs past their time limit (the tick's look, for a run without timers).
  void EnforceTimeLimits();
  void TimeLimitReached(std::int64_t processId);
  // Listens to the platform's end events once an event loop is there to deliver them.
  void WatchEnds();
  QObject *TimerContext();
  // The put-off messages of the journal just opened.
  void LoadSnoozes();
  void BeginJournalCall(std::int64_t call, TDateTime moment, const QString &command);
  void FinishJournalCall(std::int64_t call, TCallResult result);
  // Tells the sink that a call failed; action empty: the journal's record names it.
  void TellCallFailed(std::int64_t call, const QString &action, TCallState state, int code,
                      const QString &detail);
  TCallResult CollectedResult(QChar kind) const;
  const std::vector<QString> &ListKeys();
  // The editor's rows as entries, with the journal id each was edited from; a new or changed
  // rule starts from now.
  std::vector<TActionEntry> EditedEntries(const TListEditSession &session, bool sameJournal,
                                          std::vector<std::int64_t> &editedFrom,
                                          TDateTime now) const;

  TXList<TActionEntry> FActionList;
  bool FLogging = false;
  bool FNoShiftReaction = true;
  bool FDesktopNotifications = true;
  unsigned FInterval = 1000;
  QString FConfigFileName;
  QString FLogFileName;
  QString FApplicationTitle = QStringLiteral("Kronolab");
  TMessageSink *FMessageSink = nullptr;
  std::function<TMoment()> FClock;
  std::function<void(TDateTime now)> FOnTick;
  std::function<void()> FOnPlanChanged;
  int FTickTimeBudgetMs = 250;
  std::uint64_t FListGeneration = 0;
  bool FPaused = false;

  TWakePlanner FWakePlan;
  // When the last due check ran (0: none yet), its wall clock and UTC offset.
  TMoment FLastCheck{0, 0};
  // After a check: the plan learns what ran, or is made anew when the wall clock went back.
  void AdvancePlan(const TMoment &now);

  std::unique_ptr<TRunJournal> FJournal;
  // The journal's call that the next ExecuteAction carries out (0: none).
  std::int64_t FPendingCall = 0;
  // The calls of the running tick in DueList order, and how many of them were handed on.
  std::vector<std::int64_t> FTickCalls;
  std::size_t FTickCallsTaken = 0;
  // The tick's calls wait for a journal that another program locks for a moment.
  bool FTickCallsHeld = false;
  // Calls carried out while the journal could not be written, each batch with its "now".
  std::vector<std::pair<TMoment, std::vector<TDueCall>>> FUnrecordedCalls;
  std::size_t FUnrecordedCount = 0;
  // What the action being carried out gave so far.
  QStringList FCallFailures;
  std::int64_t FCallProcessId = 0;
  // The stored text of the action being carried out, to name it when it fails.
  QString FCallAction;
  QElapsedTimer FCallTimer;
  // A started program whose end is not yet seen.
  struct TRunningProgram {
    std::int64_t ProcessId = 0;
    std::int64_t Call = 0; // the journal's call; 0 when not recorded
    // The entry's identity, when its calls wait for or skip this one; else empty.
    QString Key;
    std::int64_t LimitMs = 0; // 0: no time limit
    QElapsedTimer Since;
    bool TimedOut = false;
  };
  std::vector<TRunningProgram> FRunningCalls;
  // The running program after its ends have been looked at; null once it has ended.
  TRunningProgram *RunningProgram(std::int64_t processId);
  // A call kept to start when the entry's running program ends.
  struct TWaitingCall {
    QString Key;
    std::int64_t Call = 0;
  };
  std::vector<TWaitingCall> FWaitingCalls;
  // The key of the entry the next ExecuteAction carries out, for the program it starts.
  QString FDispatchKey;
  // Put-off messages, earliest first.
  std::vector<TSnooze> FSnoozes;
  // Owns the time limits' timers and the end notifier, so that none outlives the scheduler.
  std::unique_ptr<QObject> FTimerContext;
  QSocketNotifier *FEndNotifier = nullptr;
  // The identities of the action list's entries, valid while the list holds these entries.
  std::vector<const TActionEntry *> FKeyedEntries;
  std::vector<QString> FKeys;

  // Only the engine changes these: a window that did so mid-tick would break the dispatch.
  TGeneralList FDueList{lkDateTime};
  std::unordered_map<const TActionEntry *, TCatchUp> FCatchUps;
  std::vector<TLateCall> FLateCalls;
  // The entries reported as unfit for the due check, each with the values it had then.
  std::unordered_map<const TActionEntry *, TActionEntry> FReportedFaults;
  TActionEntry FCurrentAction;
  bool FTickBusy = false;
  // The configuration whose action sections all failed to load: never saved over.
  QString FWithheldFile;
};
