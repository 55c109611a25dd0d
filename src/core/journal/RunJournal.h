// The run journal: every call the scheduler makes, kept in a SQLite database beside the
// configuration. A call is committed, synced to disk, when the due check records it and
// before it is carried out; what became of it is added as soon as it is known. TScheduler
// owns the journal it writes; the history window and kronolab-cli history read through one.
// Its files: JournalFile and JournalOpen (the file), JournalSchema (the layout),
// JournalTransaction (failures and locks), JournalWrites and JournalRemoval (the writes),
// JournalEntries and JournalReads (entries and history).
#pragma once

#include "base/ActionEntry.h"
#include "core/journal/JournalValues.h"
#include "platform/Clock.h"

#include <QString>
#include <QVariant>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

// Limits and patience of a journal; the defaults are the program's.
struct TRunJournalOptions {
  // Pruned at opening and then once a day: calls beyond the newest MaxCalls that are also
  // older than MaxAgeDays.
  std::int64_t MaxCalls = 100000;
  double MaxAgeDays = 180;
  // After a failed write (but for a lock), writes are skipped this long before the next
  // attempt.
  int RetryPauseMs = 30000;
  // How long a write waits for a lock another program holds.
  int BusyTimeoutMs = 200;
  // How long a lock of another program may hold the scheduler's calls back; after that they
  // are carried out without a record (and the user is told so).
  int LockPatienceMs = 60000;
  // Rows one pruning statement deletes at most at first; it shrinks when a step is slow.
  int PruneBatch = 512;
};

// The identities of a list of entries, in list order. An entry is the same entry across
// runs while its time point, FirstDate, Freq and action are unchanged; identical entries
// are told apart by their order among each other.
std::vector<QString> EntryKeys(const std::vector<const TActionEntry *> &entries);

// The German text of what became of a call ("Beendet mit Status 3", ...).
QString CallResultText(const TCallRecord &call);
// Whether a call that came to state with code is a failure, as "Nur Fehlschläge" counts it.
bool IsFailedCall(TCallState state, int code);
// A program's kept output as people read it: the standard output, then the errors under a
// heading of their own; empty when it wrote nothing.
QString CallOutputText(const TCallOutput &output);

// The journal of one configuration file.
class TRunJournal {
public:
  TRunJournal();
  ~TRunJournal();
  TRunJournal(const TRunJournal &) = delete;
  TRunJournal &operator=(const TRunJournal &) = delete;

  // The journal beside a configuration file: same folder and base name, extension ".sqlite".
  static QString FileNameFor(const QString &configFileName);
  // The version of the journal's layout that this program writes.
  static constexpr int SchemaVersion = 4;

  // Opens the journal for the scheduler, creating it when missing: marks the calls that an
  // earlier run left open, then prunes. A damaged or foreign file is moved aside and a new
  // journal begun. False when it cannot be written (it may still be readable); the reason
  // has gone to OnProblem.
  bool Open(const QString &fileName, TDateTime now, const TRunJournalOptions &options = {});
  // Opens an existing journal for reading only, changing nothing; false when it is missing
  // or unreadable (Problem() says why).
  bool OpenForReading(const QString &fileName);
  void Close();

  QString FileName() const { return FFileName; }
  // Whether the last Open checked every page of the file: only after an unclean end (a
  // crash, kill -9, a power loss), which the write-ahead log left beside it shows. After a
  // clean end the small table of entries alone is checked.
  bool CheckedWholeFile() const { return FCheckedWholeFile; }
  bool CanRead() const;
  bool CanWrite() const;
  // The last problem met, in German; empty when there was none.
  QString Problem() const { return FProblem; }
  // Told, in German, when the journal cannot be used or had to be replaced; once until a
  // write succeeds again.
  std::function<void(const QString &message)> OnProblem;
  // Counts the changes made through this journal, so that a window can see when to reload.
  std::uint64_t Generation() const { return FGeneration; }

  // A new tick begins: a write that met another program's lock is tried again now, and not
  // before, so that one lock holds up no tick more than once.
  void TickBegins();
  // How long another program's lock has kept the journal from being written (0: not locked).
  std::int64_t LockedForMs() const;
  // Whether the calls of a tick wait for the lock rather than being carried out unrecorded.
  bool HoldsCalls() const;
  // Prunes old calls once a day (the first pass at Open), a few hundred rows to a statement,
  // for about budgetMs at most per step; what is left is pruned at the next step.
  void PruneStep(TDateTime now, int budgetMs);
  // Whether a pass of pruning has begun and not yet ended.
  bool Pruning() const { return FPruning; }

  // The id of the entry with key, 0 when the journal has none.
  std::int64_t FindEntry(const QString &key) const;
  // The id of the entry with key, created when missing; 0 when it cannot be written.
  std::int64_t EntryFor(const QString &key, const QString &action);
  // A new entry without identity, for a call of an entry that is not yet in the list.
  std::int64_t NewEntry(const QString &action);
  // The LastDate the journal holds for key: its last recorded call's due point plus the run
  // mark, or what the editor saved since.
  std::optional<TDateTime> EntryLastDate(const QString &key) const;
  // The instant (UTC ms) of the tick that recorded the last scheduled call of the entry with
  // key; none when unknown (no call, or one recorded by a version that kept no instants).
  std::optional<std::int64_t> EntryLastCallUtc(const QString &key) const;

  // Records the calls of one tick in one transaction, synced to disk before it returns, each
  // with the tick's wall-clock time and instant; the ids of the calls in their order, or
  // nothing when the journal cannot be written.
  std::vector<std::int64_t> RecordCalls(const std::vector<TDueCall> &calls, const TMoment &now);
  // Records a call the user asked for; its id, or 0.
  std::int64_t RecordManualCall(std::int64_t entryId, int entryNumber, const QString &action,
                                TDateTime now);
  void BeginCall(std::int64_t call, TDateTime started, const QString &command);
  void FinishCall(std::int64_t call, const TCallResult &result);
  // The ends of started programs: each call's state, status and duration.
  struct TProgramEnd {
    std::int64_t Call = 0;
    bool Signaled = false;
    int Code = 0;
    std::int64_t RunMs = 0;
    // Ended because its time limit was reached: a failure whatever its status.
    bool TimedOut = false;
    // The tails of its standard output and error.
    QByteArray Output{};
    QByteArray Errors{};
  };
  void ProgramsEnded(const std::vector<TProgramEnd> &ends);
  // Calls carried out without a record (the journal could not be written then): recorded
  // as done with an unknown result, so that they count as made. Whether that worked.
  bool RecordUnrecordedCalls(const std::vector<TDueCall> &calls, const TMoment &recorded);
  // Calls recorded by the last RecordCalls that the tick did not get to and that come again
  // later: their records go, and the entries with the given keys take the given LastDates.
  void WithdrawCalls(const std::vector<std::int64_t> &calls,
                     const std::vector<std::pair<QString, TDateTime>> &lastDates);
  // The user has set the list: each entry starts from its LastDate as saved.
  void Baseline(const std::vector<TBaselineEntry> &entries);

  // Calls matching filter with ids below beforeId, newest first, at most limit of them.
  std::vector<TCallRecord> Calls(const TCallFilter &filter, std::int64_t beforeId, int limit) const;
  std::optional<TCallRecord> Call(std::int64_t id) const;
  // The newest call of an entry.
  std::optional<TCallRecord> LastCall(std::int64_t entryId) const;
  std::int64_t CallCount() const;
  // The kept output of a call's program; none when the call has none or cannot be read.
  std::optional<TCallOutput> CallOutput(std::int64_t id) const;
  // Failed calls newer than the newest one "Verlauf" has shown, in this run or an earlier one.
  std::int64_t UnseenFailures() const;
  // "Verlauf" has shown the failures: UnseenFailures counts from zero again.
  void FailuresSeen();

  // Keeps a message the user put off until snooze.Due; its id, or 0 when it cannot be
  // written.
  std::int64_t AddSnooze(const TSnooze &snooze);
  // The snooze has been shown (at shownAt): it is no longer pending.
  void SnoozeShown(std::int64_t id, TDateTime shownAt);
  // The snoozes not yet shown, earliest first.
  std::vector<TSnooze> PendingSnoozes() const;

private:
  struct TImpl;
  struct TWaitingResult;
  enum class TFileCheck;

  // Opening for writing, in the order its steps run.
  bool OpenForWriting(bool firstOpen);
  bool OpenWritable(bool firstOpen);
  // A folder and a file of ours that we may write, the file created when missing.
  bool ClaimPlace();
  // Connected to a file that is ours; what is damaged or foreign is set aside once and a new
  // file begun in its place.
  bool ConnectToOurs(bool firstOpen);
  // A journal of a newer version is read, never written.
  void KeepNewerUnchanged();
  bool BeginAnew(TFileCheck check);
  bool UseWriteAheadLog();
  // Brings the layout to SchemaVersion: created in a new file, migrated step by step in an
  // older one.
  bool CreateOrMigrate();
  bool CreateSchema();
  // Closes the calls an earlier run left open, as not begun or of unknown outcome.
  bool CloseEarlierCalls();
  void RestrictSideFiles();
  void FallBackToReading();
  // Creates an empty file only the user may read and write (before SQLite makes it with
  // the umask's mode).
  bool CreateOwnFile(const QString &fileName);
  bool Connect(bool readOnly);
  void Disconnect();
  // wholeFile: every page, else the layout and the entries' table alone.
  TFileCheck CheckFile(bool wholeFile);
  // Whether the journal's files are regular files of ours (looked at without opening them
  // blocking); what is not is set aside when setAside, otherwise refused. False with the
  // reason in FProblem when the journal cannot be opened.
  bool CheckPlace(bool setAside);
  bool MoveAside(const QString &why);

  // Another program holds a lock: nothing is written until the next tick.
  void Locked(int code);
  void Failed(int code, const QString &text);
  void Succeeded();
  void Report(const QString &message);
  bool Ready();
  bool Transaction(const std::function<bool()> &body, bool durable);
  // One attempt at body between BEGIN and COMMIT; on failure rolled back, with the failure
  // that undid it in the connection's error.
  bool RunTransaction(const std::function<bool()> &body, bool durable);

  // The steps of RecordCalls inside its transaction: each call's entry, the calls' rows (their
  // ids), each entry's LastDate raised to its latest call.
  bool CallEntries(const std::vector<TDueCall> &calls, std::vector<std::int64_t> &entries);
  bool InsertCallRows(const std::vector<TDueCall> &calls, const std::vector<std::int64_t> &entries,
                      const TMoment &now, std::vector<std::int64_t> &ids);
  bool RaiseLastDates(const std::vector<TDueCall> &calls, const std::vector<std::int64_t> &entries);
  // Writes the results that waited for a lock, inside a running transaction.
  bool WriteWaitingResults();
  void Wait(TWaitingResult waiting);
  // The statements of BeginCall, FinishCall and ProgramsEnded, inside a running transaction.
  bool WriteBegin(std::int64_t call, TDateTime started, const QString &command);
  bool WriteFinish(std::int64_t call, const TCallResult &result);
  bool WriteEnds(const std::vector<TProgramEnd> &ends);
  // A new entry with key (a null key: without identity) in a transaction of its own; its id,
  // or 0.
  std::int64_t InsertEntry(const QVariant &key, const QString &action);
  // The id of the entry with key inside a running transaction, created when missing; 0 on
  // failure.
  std::int64_t EntryInTransaction(const QString &key, const QString &action);
  // Sets the bounds of a pass of pruning; false when none is due or the journal cannot say.
  bool BeginPrunePass(TDateTime now);
  // Deletes up to batch old calls (and, at the pass's end, the entries left without calls).
  bool PruneOneBatch(int batch, int &deleted);

  std::unique_ptr<TImpl> D;
  QString FFileName;
  TRunJournalOptions FOptions;
  TDateTime FOpenedAt = 0;
  QString FProblem;
  bool FReported = false;
  bool FWritable = false;
  bool FReadOnly = false;
  bool FCheckedWholeFile = false;
  std::int64_t FRetryAtMs = 0;
  // Since when another program's lock has kept writes out (0: not locked), and whether the
  // rest of this tick waits.
  std::int64_t FLockedSinceMs = 0;
  bool FHeldThisTick = false;
  // Results of calls that met a lock, written with the next transaction.
  std::vector<TWaitingResult> FWaiting;
  // The pass of pruning under way: its bounds, and when the next pass is due.
  bool FPruning = false;
  std::int64_t FPruneUpToId = 0;
  TDateTime FPruneBefore = 0;
  TDateTime FNextPruneAt = 0;
  int FPruneBatch = 512;
  std::int64_t FSession = 0;
  std::uint64_t FGeneration = 0;
};
