// How the journal's writes meet failure: one transaction at a time, a lock of another
// program waited out tick by tick, a damaged file set aside while running, and the user told
// once until a write succeeds again.
#include "core/journal/RunJournalImpl.h"

#include <algorithm>

using namespace JournalDetail;

namespace {

// What the user is told when calls may go unrecorded.
QString CannotWriteMessage(const QString &fileName, const QString &reason) {
  return QStringLiteral("Der Verlauf „%1“ kann nicht geschrieben werden: %2.\nKronolab führt "
                        "die Aktionen weiter nach der Konfiguration aus; solange der Verlauf "
                        "nicht geschrieben wird, kann ein Absturz einen Aufruf doppelt "
                        "auslösen.")
      .arg(fileName, reason);
}

} // namespace

void TRunJournal::Report(const QString &message) {
  if (OnProblem)
    OnProblem(message);
}

void TRunJournal::Failed(int code, const QString &text) {
  if (IsLock(code)) {
    Locked(code);
    return;
  }
  FWritable = false;
  FProblem = Reason(code, text);
  FRetryAtMs = SteadyMs() + FOptions.RetryPauseMs;
  if (FReported)
    return;
  FReported = true;
  Report(CannotWriteMessage(FFileName, FProblem));
}

void TRunJournal::Locked(int code) {
  if (FLockedSinceMs == 0)
    FLockedSinceMs = std::max<std::int64_t>(SteadyMs(), 1);
  FHeldThisTick = true;
  FProblem = Reason(code, QString());
  // A backup's lock for a moment is no news; calls carried out without a record are.
  if (HoldsCalls() || FReported)
    return;
  FReported = true;
  Report(CannotWriteMessage(FFileName, FProblem));
}

void TRunJournal::TickBegins() {
  FHeldThisTick = false;
}

std::int64_t TRunJournal::LockedForMs() const {
  return FLockedSinceMs == 0 ? 0 : std::max<std::int64_t>(SteadyMs() - FLockedSinceMs, 1);
}

bool TRunJournal::HoldsCalls() const {
  return FLockedSinceMs != 0 && LockedForMs() < FOptions.LockPatienceMs;
}

void TRunJournal::Succeeded() {
  FReported = false;
  FProblem.clear();
  FLockedSinceMs = 0;
  ++FGeneration;
}

bool TRunJournal::Ready() {
  // One attempt a tick while another program holds the lock: each waits BusyTimeoutMs.
  if (FHeldThisTick)
    return false;
  if (FWritable)
    return true;
  if (FFileName.isEmpty() || FReadOnly || SteadyMs() < FRetryAtMs)
    return false;
  return OpenForWriting(false);
}

bool TRunJournal::Transaction(const std::function<bool()> &body, bool durable) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!Ready())
      return false;
    if (RunTransaction(body, durable)) {
      FWaiting.clear();
      Succeeded();
      return true;
    }
    const QSqlError error = D->Error;
    const int code = PrimaryCode(error);
    if (!IsDamage(code) || attempt > 0) {
      Failed(code, error.text());
      return false;
    }
    // Damaged while we run: set the file aside, begin anew and try once more there.
    if (!MoveAside(QStringLiteral("Der Verlauf „%1“ war beschädigt und wurde als „%2“ "
                                  "beiseitegelegt; ein neuer Verlauf wurde begonnen.")) ||
        !OpenForWriting(false)) {
      Failed(code, error.text());
      return false;
    }
  }
  return false;
}

bool TRunJournal::RunTransaction(const std::function<bool()> &body, bool durable) {
  // Durable commits wait for the disk, so that a power loss cannot undo them.
  if (durable)
    D->Exec(QStringLiteral("PRAGMA synchronous=FULL"));
  // Plain statements rather than QSqlDatabase::transaction(): their errors keep SQLite's
  // result code, which tells a full disk from a lock.
  const bool ok = D->Exec(QStringLiteral("BEGIN")) && WriteWaitingResults() && body() &&
                  D->Exec(QStringLiteral("COMMIT"));
  const QSqlError error = D->Error;
  if (!ok)
    D->Exec(QStringLiteral("ROLLBACK"));
  if (durable)
    D->Exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
  if (ok)
    return true;
  // The failure that undid the transaction, not one of the rollback's.
  D->Error = error;
  return false;
}
