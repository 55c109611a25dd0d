// Opening the journal for the scheduler, step by step: a place we may write, a file of ours
// (what is not is set aside), the write-ahead log, the layout, and the repair of the calls an
// earlier run left open.
#include "core/journal/RunJournalImpl.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <limits>

using namespace JournalDetail;

bool TRunJournal::Open(const QString &fileName, TDateTime now, const TRunJournalOptions &options) {
  Close();
  FFileName = fileName;
  FOptions = options;
  FOpenedAt = now;
  FProblem.clear();
  FReported = false;
  FRetryAtMs = 0;
  FLockedSinceMs = 0;
  FHeldThisTick = false;
  FWaiting.clear();
  FPruning = false;
  FPruneBatch = std::max(options.PruneBatch, MinPruneBatch);
  FNextPruneAt = now;
  if (!OpenForWriting(true))
    return false;
  // At start the old calls go at once: nothing waits for the first tick yet.
  PruneStep(now, std::numeric_limits<int>::max());
  return FWritable;
}

bool TRunJournal::OpenForWriting(bool firstOpen) {
  FWritable = false;
  FReadOnly = false;
  if (OpenWritable(firstOpen))
    return true;
  // What the journal holds still counts for the LastDates and the history.
  FallBackToReading();
  return false;
}

bool TRunJournal::OpenWritable(bool firstOpen) {
  if (!ClaimPlace() || !ConnectToOurs(firstOpen))
    return false;
  const bool ok =
      UseWriteAheadLog() && CreateOrMigrate() && CloseEarlierCalls() && D->PrepareWrites();
  if (!ok) {
    const QSqlError error = D->Error;
    if (D->Db.isOpen())
      D->Exec(QStringLiteral("ROLLBACK"));
    Failed(PrimaryCode(error), error.text());
    return false;
  }
  RestrictSideFiles();
  FWritable = true;
  return true;
}

bool TRunJournal::ClaimPlace() {
  // SQLite would open such a file for reading without a word and fail at the first write;
  // and it needs the folder for the -wal and -shm files.
  const QFileInfo folder(QFileInfo(FFileName).absolutePath());
  if (!folder.isDir()) {
    Failed(SqliteCantOpen, QString());
    return false;
  }
  if (!CheckPlace(true)) {
    Failed(-1, FProblem);
    return false;
  }
  const QFileInfo info(FFileName);
  if (!folder.isWritable() || (info.exists() && !info.isWritable())) {
    Failed(SqliteReadOnly, QString());
    return false;
  }
  // Created by us, readable by the user alone; SQLite gives its -wal and -shm files the
  // mode of the database file.
  return info.exists() || CreateOwnFile(FFileName);
}

bool TRunJournal::ConnectToOurs(bool firstOpen) {
  // SQLite removes the write-ahead log when the last connection closes cleanly; one found
  // before we connect was left by a run that ended without closing (or is still in use by a
  // reader, where a check costs time alone). Only then can a page be half written.
  FCheckedWholeFile = firstOpen && QFileInfo::exists(FFileName + QStringLiteral("-wal"));
  for (bool retried = false;; retried = true) {
    if (!Connect(false)) {
      Failed(PrimaryCode(D->Error), D->Error.text());
      return false;
    }
    // Checked once per run; a reopening after a failure finds the file it checked.
    const TFileCheck check = firstOpen ? CheckFile(FCheckedWholeFile) : TFileCheck::Ours;
    if (check == TFileCheck::Newer) {
      KeepNewerUnchanged();
      return false;
    }
    if (check == TFileCheck::Unreadable) {
      Failed(PrimaryCode(D->Error), D->Error.text());
      return false;
    }
    const bool notOurs = check == TFileCheck::Damaged || check == TFileCheck::Foreign;
    if (!notOurs || retried)
      return true;
    if (!BeginAnew(check))
      return false;
  }
}

void TRunJournal::KeepNewerUnchanged() {
  Connect(true);
  FReadOnly = true;
  FProblem = QStringLiteral("der Verlauf stammt von einer neueren Version von Kronolab");
  Report(QStringLiteral("Der Verlauf „%1“ stammt von einer neueren Version von Kronolab "
                        "und wird nicht verändert; Kronolab führt ihn nicht weiter.")
             .arg(FFileName));
  FReported = true;
  FRetryAtMs = std::numeric_limits<std::int64_t>::max();
}

bool TRunJournal::BeginAnew(TFileCheck check) {
  const QString why =
      check == TFileCheck::Damaged
          ? QStringLiteral("Der Verlauf „%1“ war beschädigt und wurde als „%2“ "
                           "beiseitegelegt; ein neuer Verlauf wurde begonnen.")
          : QStringLiteral("Die Datei „%1“ ist kein Verlauf von Kronolab; sie wurde als "
                           "„%2“ beiseitegelegt und ein neuer Verlauf begonnen.");
  if (!MoveAside(why)) {
    Failed(SqliteCorrupt, QString());
    return false;
  }
  return CreateOwnFile(FFileName);
}

bool TRunJournal::UseWriteAheadLog() {
  // A failure met earlier (a read of the history, say) must not pass for this one's.
  D->Error = QSqlError();
  const QVariant mode = D->Value(QStringLiteral("PRAGMA journal_mode=WAL"));
  if (mode.toString() != u"wal") {
    // SQLite answers with the mode it kept, without an error, on a file it cannot change.
    if (D->Error.type() == QSqlError::NoError)
      D->Error = QSqlError(QString(), mode.toString(), QSqlError::StatementError,
                           QString::number(SqliteReadOnly));
    return false;
  }
  // Commits of results need not reach the disk at once; RecordCalls makes its own durable.
  return D->Exec(QStringLiteral("PRAGMA synchronous=NORMAL")) &&
         D->Exec(QStringLiteral("PRAGMA journal_size_limit=4194304"));
}

bool TRunJournal::CloseEarlierCalls() {
  // What an earlier run left open: never begun, begun without a result, a program whose end
  // nobody saw. Our own open calls (a reopening after a failure) stay as they are.
  QSqlQuery fix(D->Db);
  if (!fix.prepare(QStringLiteral(
          "UPDATE calls SET state = ?, failed = ?, detail = ? WHERE state = ? AND session <> ?"))) {
    D->Error = fix.lastError();
    return false;
  }
  const struct {
    TCallState From, To;
    bool Failure;
    const char *Why;
  } fixes[] = {
      {TCallState::Recorded, TCallState::NotStarted, true, "Kronolab wurde vor dem Start beendet"},
      {TCallState::Begun, TCallState::Unknown, true,
       "Kronolab wurde während der Ausführung beendet"},
      {TCallState::Running, TCallState::Unknown, false,
       "Kronolab wurde vor dem Ende des Programms beendet"},
  };
  for (const auto &f : fixes) {
    fix.bindValue(0, static_cast<int>(f.To));
    fix.bindValue(1, f.Failure ? 1 : 0);
    fix.bindValue(2, QString::fromUtf8(f.Why));
    fix.bindValue(3, static_cast<int>(f.From));
    fix.bindValue(4, static_cast<qlonglong>(FSession));
    if (!D->Exec(fix))
      return false;
  }
  return true;
}

void TRunJournal::RestrictSideFiles() {
  for (const char *suffix : {"-wal", "-shm"}) {
    QFile side(FFileName + QString::fromLatin1(suffix));
    if (side.exists())
      side.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
  }
}
