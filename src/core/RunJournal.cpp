// The run journal on SQLite through Qt Sql: its layout, opening (with repair of what an
// earlier run left behind), the writes of the scheduler and the reads of the history.
#include "core/RunJournal.h"

#include "platform/FileOps.h"
#include "platform/OwnFiles.h"
#include "platform/Process.h"
#include "storage/FileReports.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QVariant>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>

namespace {

// Marks the file as ours ("Kron"): a SQLite file of another program is never taken for a
// journal.
constexpr int ApplicationId = 0x4B726F6E;

// SQLite's primary result codes that we tell apart.
constexpr int SqlitePerm = 3;
constexpr int SqliteBusy = 5;
constexpr int SqliteLocked = 6;
constexpr int SqliteReadOnly = 8;
constexpr int SqliteCorrupt = 11;
constexpr int SqliteFull = 13;
constexpr int SqliteCantOpen = 14;
constexpr int SqliteAuth = 23;
constexpr int SqliteNotADatabase = 26;

// Rows inserted by one statement when a tick records many calls.
constexpr int InsertBatch = 64;

// Results kept for a locked journal at most; more than a day of a busy list.
constexpr std::size_t MaxWaitingResults = 20000;

// Each journal has its own connection: several schedulers may live in one process.
std::atomic<std::uint64_t> Connections{0};

std::int64_t SteadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

int PrimaryCode(const QSqlError &error) {
  bool ok = false;
  const int code = error.nativeErrorCode().toInt(&ok);
  return ok ? (code & 0xff) : -1;
}

bool IsDamage(int code) {
  return code == SqliteCorrupt || code == SqliteNotADatabase;
}

bool IsLock(int code) {
  return code == SqliteBusy || code == SqliteLocked;
}

// The smallest pruning statement: below it, a slow disk is slow for any size.
constexpr int MinPruneBatch = 16;
// What one pruning statement may take before the next ones delete fewer rows.
constexpr int PruneStatementMs = 10;

// The files SQLite opens for a journal, the journal itself first.
const char *const JournalSuffixes[] = {"", "-wal", "-shm"};

// Why a write failed, in the user's words.
QString Reason(int code, const QString &text) {
  switch (code) {
  case SqliteFull:
    return QStringLiteral("der Datenträger ist voll");
  case SqliteReadOnly:
    return QStringLiteral("die Datei oder ihr Ordner ist schreibgeschützt");
  case SqliteBusy:
  case SqliteLocked:
    return QStringLiteral("die Datei ist von einem anderen Programm gesperrt");
  case SqliteCantOpen:
    return QStringLiteral("die Datei kann nicht geöffnet werden");
  case SqlitePerm:
  case SqliteAuth:
    return QStringLiteral("der Zugriff ist nicht erlaubt");
  case SqliteCorrupt:
  case SqliteNotADatabase:
    return QStringLiteral("die Datei ist beschädigt");
  default:
    return text.isEmpty() ? QStringLiteral("unbekannter Fehler") : text;
  }
}

// Whole milliseconds of a day fraction; what survives a save and load of the configuration.
std::int64_t WholeMs(double days) {
  if (!std::isfinite(days))
    return 0;
  return std::llround(std::clamp(days * MSecsPerDay, -9.0e15, 9.0e15));
}

bool CountsAsFailure(TCallState state, int code) {
  switch (state) {
  case TCallState::NotStarted:
  case TCallState::Failed:
  case TCallState::Signaled:
  case TCallState::Unknown:
    return true;
  case TCallState::Exited:
    return code != 0;
  default:
    return false;
  }
}

const char *const Schema[] = {
    "CREATE TABLE entries("
    " id INTEGER PRIMARY KEY,"
    " key TEXT UNIQUE," // NULL once the entry has been renamed away
    " action TEXT NOT NULL,"
    " last_date REAL)",
    "CREATE TABLE calls("
    " id INTEGER PRIMARY KEY,"
    " session INTEGER NOT NULL,"
    " entry_id INTEGER NOT NULL,"
    " entry_number INTEGER NOT NULL,"
    " action TEXT NOT NULL,"
    " manual INTEGER NOT NULL,"
    " due REAL,"
    " recorded REAL NOT NULL,"
    " started REAL,"
    " command TEXT,"
    " state INTEGER NOT NULL,"
    " pid INTEGER,"
    " code INTEGER,"
    " duration_ms INTEGER,"
    " detail TEXT,"
    " failed INTEGER NOT NULL DEFAULT 0,"
    " utc_ms INTEGER)", // the instant of the recording tick; NULL in calls of version 1
    "CREATE INDEX calls_by_entry ON calls(entry_id, id)",
    "CREATE INDEX calls_failed ON calls(id) WHERE failed = 1",
    "CREATE INDEX calls_failed_by_entry ON calls(entry_id, id) WHERE failed = 1",
    "CREATE INDEX calls_open ON calls(state) WHERE state IN (0, 2, 5)",
};

const char *const CallColumns = "id, entry_id, entry_number, action, command, manual, due, "
                                "started, duration_ms, state, pid, code, detail, failed";

TCallRecord ReadCall(const QSqlQuery &query) {
  TCallRecord call;
  call.Id = query.value(0).toLongLong();
  call.EntryId = query.value(1).toLongLong();
  call.EntryNumber = query.value(2).toInt();
  call.Action = query.value(3).toString();
  call.Command = query.value(4).toString();
  call.Manual = query.value(5).toInt() != 0;
  call.Due = query.value(6).toDouble();
  call.Started = query.value(7).toDouble();
  call.DurationMs = query.value(8).isNull() ? -1 : query.value(8).toLongLong();
  call.State = static_cast<TCallState>(query.value(9).toInt());
  call.ProcessId = query.value(10).toLongLong();
  call.Code = query.value(11).toInt();
  call.Detail = query.value(12).toString();
  call.Failed = query.value(13).toInt() != 0;
  return call;
}

} // namespace

std::vector<QString> EntryKeys(const std::vector<const TActionEntry *> &entries) {
  std::vector<QString> keys;
  keys.reserve(entries.size());
  QHash<QString, int> seen;
  for (const TActionEntry *entry : entries) {
    // Milliseconds, not the doubles: a value read back from the configuration may differ
    // from the one in memory in its last bits.
    const QString rule = QStringLiteral("%1|%2|%3|")
                             .arg(static_cast<int>(entry->TimePoint))
                             .arg(WholeMs(entry->FirstDate))
                             .arg(WholeMs(entry->Freq)) +
                         entry->Action.Text();
    const int ordinal = seen[rule]++;
    keys.push_back(QString::number(ordinal) + u'|' + rule);
  }
  return keys;
}

QString CallResultText(const TCallRecord &call) {
  switch (call.State) {
  case TCallState::Recorded:
    return QStringLiteral("Vorgemerkt");
  case TCallState::NotStarted:
    return QStringLiteral("Nicht ausgeführt: ") + call.Detail;
  case TCallState::Begun:
    return QStringLiteral("Wird ausgeführt");
  case TCallState::Done:
    return call.Detail.isEmpty() ? QStringLiteral("Erledigt") : call.Detail;
  case TCallState::Failed:
    return QStringLiteral("Fehlgeschlagen: ") + call.Detail;
  case TCallState::Running:
    return QStringLiteral("Läuft (Prozess %1)").arg(call.ProcessId);
  case TCallState::Exited:
    return QStringLiteral("Beendet mit Status %1").arg(call.Code);
  case TCallState::Signaled:
    return QStringLiteral("Abgebrochen durch Signal %1 (%2)")
        .arg(call.Code)
        .arg(SignalName(call.Code));
  case TCallState::Unknown:
    return QStringLiteral("Ausgang unbekannt: ") + call.Detail;
  }
  return QString();
}

// The connection and the statements the scheduler runs at every call, prepared once.
struct TRunJournal::TImpl {
  QString Connection;
  QSqlDatabase Db;
  QSqlError Error; // the failure of the last statement that failed
  std::unique_ptr<QSqlQuery> InsertCall, InsertCalls, InsertManualCall, RaiseLastDate, FindEntry,
      InsertEntry, BeginCall, FinishCall;
  QHash<QString, std::int64_t> EntryIds;

  bool Exec(QSqlQuery &query) {
    if (query.exec())
      return true;
    Error = query.lastError();
    return false;
  }
  bool Exec(const QString &statement) {
    QSqlQuery query(Db);
    if (query.exec(statement))
      return true;
    Error = query.lastError();
    return false;
  }
  // The first column of the first row of statement; an invalid value when it fails.
  QVariant Value(const QString &statement) {
    QSqlQuery query(Db);
    if (!query.exec(statement) || !query.next()) {
      Error = query.lastError();
      return {};
    }
    return query.value(0);
  }
  std::unique_ptr<QSqlQuery> Prepared(const QString &statement) {
    auto query = std::make_unique<QSqlQuery>(Db);
    if (!query->prepare(statement)) {
      Error = query->lastError();
      return nullptr;
    }
    return query;
  }
  void DropStatements() {
    InsertCall.reset();
    InsertCalls.reset();
    InsertManualCall.reset();
    RaiseLastDate.reset();
    FindEntry.reset();
    InsertEntry.reset();
    BeginCall.reset();
    FinishCall.reset();
  }
};

enum class TRunJournal::TFileCheck { Ours, Empty, Damaged, Foreign, Newer, Unreadable };

// A result that met another program's lock: a begin, a result or a program's end.
struct TRunJournal::TWaitingResult {
  enum { Begin, Finish, End } Kind = Begin;
  std::int64_t Call = 0;
  TDateTime Started = 0;
  QString Command;
  TCallResult Result;
  TProgramEnd Ended;
};

TRunJournal::TRunJournal() : D(std::make_unique<TImpl>()) {
  FSession = static_cast<std::int64_t>(QRandomGenerator::system()->generate64() >> 1);
}

TRunJournal::~TRunJournal() {
  Close();
}

QString TRunJournal::FileNameFor(const QString &configFileName) {
  const QFileInfo info(configFileName);
  return info.dir().filePath(info.completeBaseName() + QStringLiteral(".sqlite"));
}

bool TRunJournal::CanRead() const {
  return D->Db.isValid() && D->Db.isOpen();
}

bool TRunJournal::CanWrite() const {
  return FWritable;
}

bool TRunJournal::Connect(bool readOnly) {
  Disconnect();
  D->Connection = QStringLiteral("kronolab-journal-%1").arg(++Connections);
  D->Db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), D->Connection);
  D->Db.setDatabaseName(FFileName);
  QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(FOptions.BusyTimeoutMs);
  if (readOnly)
    options += QStringLiteral(";QSQLITE_OPEN_READONLY");
  D->Db.setConnectOptions(options);
  if (D->Db.open())
    return true;
  D->Error = D->Db.lastError();
  return false;
}

void TRunJournal::Disconnect() {
  D->DropStatements();
  D->EntryIds.clear();
  if (D->Connection.isEmpty())
    return;
  D->Db.close();
  D->Db = QSqlDatabase();
  QSqlDatabase::removeDatabase(D->Connection);
  D->Connection.clear();
}

void TRunJournal::Close() {
  Disconnect();
  FWritable = false;
  FReadOnly = false;
}

TRunJournal::TFileCheck TRunJournal::CheckFile() {
  const QVariant application = D->Value(QStringLiteral("PRAGMA application_id"));
  if (!application.isValid())
    return IsDamage(PrimaryCode(D->Error)) ? TFileCheck::Damaged : TFileCheck::Unreadable;
  const int version = D->Value(QStringLiteral("PRAGMA user_version")).toInt();
  const int objects = D->Value(QStringLiteral("SELECT count(*) FROM sqlite_master")).toInt();
  if (application.toInt() == 0 && version == 0 && objects == 0)
    return TFileCheck::Empty;
  if (application.toInt() != ApplicationId)
    return TFileCheck::Foreign;
  if (version > SchemaVersion)
    return TFileCheck::Newer;
  const QVariant check = D->Value(QStringLiteral("PRAGMA quick_check"));
  if (!check.isValid())
    return IsDamage(PrimaryCode(D->Error)) ? TFileCheck::Damaged : TFileCheck::Unreadable;
  return check.toString() == u"ok" ? TFileCheck::Ours : TFileCheck::Damaged;
}

bool TRunJournal::MoveAside(const QString &why) {
  Disconnect();
  const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
  QString aside = FFileName + QStringLiteral(".defekt-") + stamp;
  for (int n = 2; CheckOwnRegularFile(aside).Exists; ++n)
    aside = FFileName + QStringLiteral(".defekt-") + stamp + QStringLiteral("-%1").arg(n);
  // Renamed as they are, links and FIFOs too: nothing is opened or copied on the way. A
  // FIFO may stand in for the write-ahead log alone.
  const bool database = CheckOwnRegularFile(FFileName).Exists;
  if (database && !RenameFile(FFileName, aside))
    return false;
  // The write-ahead log goes with its file; the shared-memory index is rebuilt anyway, but
  // what is no file of ours there is set aside too, not deleted.
  const QString shm = FFileName + QStringLiteral("-shm");
  const bool wal = RenameFile(FFileName + QStringLiteral("-wal"), aside + QStringLiteral("-wal"));
  const TOwnFileCheck index = CheckOwnRegularFile(shm);
  const bool oddIndex = index.Exists && !index.Ok();
  if (oddIndex ? !RenameFile(shm, aside + QStringLiteral("-shm"))
               : !DeleteFile(shm) && index.Exists)
    return false;
  Report(why.arg(FFileName, database ? aside
                            : wal    ? aside + QStringLiteral("-wal")
                                     : aside + QStringLiteral("-shm")));
  return database || wal || oddIndex;
}

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

bool TRunJournal::CheckPlace(bool setAside) {
  for (const char *suffix : JournalSuffixes) {
    const QString file = FFileName + QString::fromLatin1(suffix);
    const TOwnFileCheck check = CheckOwnRegularFile(file);
    if (check.Ok())
      continue;
    const QString reason = FileResultReason(check);
    if (check.Refusal == TFileRefusal::None) {
      FProblem = reason;
      return false;
    }
    // A FIFO would hold SQLite up for ever, a link lead our writes elsewhere: such a thing in
    // the journal's place is no journal of ours.
    if (setAside &&
        MoveAside(QStringLiteral("Die Datei „%1“ ist kein Verlauf, den Kronolab schreiben kann "
                                 "(%3); sie wurde als „%2“ beiseitegelegt und ein neuer Verlauf "
                                 "begonnen.")
                      .arg(QStringLiteral("%1"), QStringLiteral("%2"), reason)))
      continue;
    FProblem = *suffix == 0 ? reason : QStringLiteral("„%1“: %2").arg(file, reason);
    return false;
  }
  return true;
}

bool TRunJournal::CreateOwnFile(const QString &fileName) {
  // Without following a link and without waiting on a FIFO put there meanwhile.
  const TFileResult created = AppendOwnFile(fileName, QByteArray());
  if (created.Ok())
    return true;
  Failed(-1, FileResultReason(created));
  return false;
}

void TRunJournal::FallBackToReading() {
  if (CanRead() && D->Value(QStringLiteral("PRAGMA user_version")).isValid())
    return;
  const QString problem = FProblem;
  const bool usable = CheckPlace(false);
  FProblem = problem;
  if (!usable || !CheckOwnRegularFile(FFileName).Exists) {
    Disconnect();
    return;
  }
  if (Connect(true) && D->Value(QStringLiteral("PRAGMA user_version")).isValid())
    return;
  // A journal on a read-only file system without its -shm file opens only as unchanging.
  D->Db.close();
  D->Db.setDatabaseName(QUrl::fromLocalFile(FFileName).toString(QUrl::FullyEncoded) +
                        QStringLiteral("?immutable=1"));
  D->Db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI"));
  if (!D->Db.open() || !D->Value(QStringLiteral("PRAGMA user_version")).isValid())
    Disconnect();
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
  if (!info.exists() && !CreateOwnFile(FFileName))
    return false;
  bool retried = false;
  for (;;) {
    if (!Connect(false)) {
      Failed(PrimaryCode(D->Error), D->Error.text());
      return false;
    }
    const TFileCheck check = firstOpen ? CheckFile() : TFileCheck::Ours;
    if (check == TFileCheck::Newer) {
      Connect(true);
      FReadOnly = true;
      FProblem = QStringLiteral("der Verlauf stammt von einer neueren Version von Kronolab");
      Report(QStringLiteral("Der Verlauf \"%1\" stammt von einer neueren Version von Kronolab "
                            "und wird nicht verändert; Kronolab führt ihn nicht weiter.")
                 .arg(FFileName));
      FReported = true;
      FRetryAtMs = INT64_MAX;
      return false;
    }
    if (check == TFileCheck::Unreadable) {
      Failed(PrimaryCode(D->Error), D->Error.text());
      return false;
    }
    if ((check == TFileCheck::Damaged || check == TFileCheck::Foreign) && !retried) {
      const QString why =
          check == TFileCheck::Damaged
              ? QStringLiteral("Der Verlauf \"%1\" war beschädigt und wurde als \"%2\" "
                               "beiseitegelegt; ein neuer Verlauf wurde begonnen.")
              : QStringLiteral("Die Datei \"%1\" ist kein Verlauf von Kronolab; sie wurde als "
                               "\"%2\" beiseitegelegt und ein neuer Verlauf begonnen.");
      if (!MoveAside(why)) {
        Failed(SqliteCorrupt, QString());
        return false;
      }
      retried = true;
      if (!CreateOwnFile(FFileName))
        return false;
      continue;
    }
    break;
  }

  const bool created = D->Value(QStringLiteral("PRAGMA user_version")).toInt() == 0;
  const QVariant mode = D->Value(QStringLiteral("PRAGMA journal_mode=WAL"));
  bool ok = mode.toString() == u"wal";
  if (!ok && D->Error.type() == QSqlError::NoError)
    D->Error = QSqlError(QString(), mode.toString(), QSqlError::StatementError,
                         QString::number(SqliteReadOnly));
  // Commits of results need not reach the disk at once; RecordCalls makes its own durable.
  ok = ok && D->Exec(QStringLiteral("PRAGMA synchronous=NORMAL")) &&
       D->Exec(QStringLiteral("PRAGMA journal_size_limit=4194304"));
  if (ok && created) {
    ok = D->Exec(QStringLiteral("BEGIN"));
    for (const char *statement : Schema)
      ok = ok && D->Exec(QString::fromLatin1(statement));
    ok = ok && D->Exec(QStringLiteral("PRAGMA application_id=%1").arg(ApplicationId)) &&
         D->Exec(QStringLiteral("PRAGMA user_version=%1").arg(SchemaVersion)) &&
         D->Exec(QStringLiteral("COMMIT"));
  }
  // Later layouts migrate here, one version after the other.
  if (ok && !created && D->Value(QStringLiteral("PRAGMA user_version")).toInt() < 2)
    ok = D->Exec(QStringLiteral("BEGIN")) &&
         D->Exec(QStringLiteral("ALTER TABLE calls ADD COLUMN utc_ms INTEGER")) &&
         D->Exec(QStringLiteral("PRAGMA user_version=2")) && D->Exec(QStringLiteral("COMMIT"));
  if (ok) {
    // What an earlier run left open: never begun, begun without a result, a program whose
    // end nobody saw. Our own open calls (a reopening after a failure) stay as they are.
    QSqlQuery fix(D->Db);
    ok = fix.prepare(QStringLiteral(
        "UPDATE calls SET state = ?, failed = ?, detail = ? WHERE state = ? AND session <> ?"));
    const struct {
      TCallState From, To;
      bool Failure;
      const char *Why;
    } fixes[] = {
        {TCallState::Recorded, TCallState::NotStarted, true,
         "Kronolab wurde vor dem Start beendet"},
        {TCallState::Begun, TCallState::Unknown, true,
         "Kronolab wurde während der Ausführung beendet"},
        {TCallState::Running, TCallState::Unknown, false,
         "Kronolab wurde vor dem Ende des Programms beendet"},
    };
    for (const auto &f : fixes) {
      if (!ok)
        break;
      fix.bindValue(0, static_cast<int>(f.To));
      fix.bindValue(1, f.Failure ? 1 : 0);
      fix.bindValue(2, QString::fromUtf8(f.Why));
      fix.bindValue(3, static_cast<int>(f.From));
      fix.bindValue(4, static_cast<qlonglong>(FSession));
      ok = D->Exec(fix);
    }
  }
  ok = ok && Prepare();
  if (!ok) {
    const QSqlError error = D->Error;
    if (D->Db.isOpen())
      D->Exec(QStringLiteral("ROLLBACK"));
    Failed(PrimaryCode(error), error.text());
    return false;
  }
  for (const char *suffix : {"-wal", "-shm"}) {
    QFile side(FFileName + QString::fromLatin1(suffix));
    if (side.exists())
      side.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
  }
  FWritable = true;
  return true;
}

bool TRunJournal::OpenForReading(const QString &fileName) {
  Close();
  FFileName = fileName;
  FProblem.clear();
  if (!CheckOwnRegularFile(fileName).Exists) {
    FProblem = QStringLiteral("kein Verlauf vorhanden");
    return false;
  }
  // A FIFO in its place would hold the reader up for ever.
  if (!CheckPlace(false))
    return false;
  if (!Connect(true)) {
    FProblem = Reason(PrimaryCode(D->Error), D->Error.text());
    return false;
  }
  const QVariant application = D->Value(QStringLiteral("PRAGMA application_id"));
  const QVariant version = D->Value(QStringLiteral("PRAGMA user_version"));
  if (!application.isValid() || !version.isValid() || application.toInt() != ApplicationId ||
      version.toInt() > SchemaVersion) {
    FProblem = !application.isValid() ? Reason(PrimaryCode(D->Error), D->Error.text())
               : application.toInt() != ApplicationId
                   ? QStringLiteral("die Datei ist kein Verlauf von Kronolab")
                   : QStringLiteral("der Verlauf stammt von einer neueren Version von Kronolab");
    Disconnect();
    return false;
  }
  FReadOnly = true;
  return true;
}

bool TRunJournal::Prepare() {
  const QString insert = QStringLiteral("INSERT INTO calls(session, entry_id, entry_number, "
                                        "action, manual, due, recorded, utc_ms, state) VALUES");
  const QString row = QStringLiteral("(?, ?, ?, ?, 0, ?, ?, ?, 0)");
  D->InsertCall = D->Prepared(insert + row);
  QStringList rows;
  for (int r = 0; r < InsertBatch; ++r)
    rows.append(row);
  D->InsertCalls = D->Prepared(insert + rows.join(u','));
  D->InsertManualCall = D->Prepared(insert + QStringLiteral("(?, ?, ?, ?, 1, NULL, ?, NULL, 0)"));
  D->RaiseLastDate = D->Prepared(QStringLiteral(
      "UPDATE entries SET last_date = max(coalesce(last_date, -1e300), ?) WHERE id = ?"));
  D->FindEntry = D->Prepared(QStringLiteral("SELECT id FROM entries WHERE key = ?"));
  D->InsertEntry = D->Prepared(QStringLiteral("INSERT INTO entries(key, action) VALUES(?, ?)"));
  D->BeginCall = D->Prepared(
      QStringLiteral("UPDATE calls SET state = 2, started = ?, command = ? WHERE id = ?"));
  D->FinishCall =
      D->Prepared(QStringLiteral("UPDATE calls SET state = ?, pid = ?, code = ?, duration_ms = ?, "
                                 "detail = ?, failed = ? WHERE id = ?"));
  return D->InsertCall && D->InsertCalls && D->InsertManualCall && D->RaiseLastDate &&
         D->FindEntry && D->InsertEntry && D->BeginCall && D->FinishCall;
}

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
  Report(QStringLiteral("Der Verlauf \"%1\" kann nicht geschrieben werden: %2.\nKronolab führt "
                        "die Aktionen weiter nach der Konfiguration aus; solange der Verlauf "
                        "nicht geschrieben wird, kann ein Absturz einen Aufruf doppelt "
                        "auslösen.")
             .arg(FFileName, FProblem));
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
  Report(QStringLiteral("Der Verlauf \"%1\" kann nicht geschrieben werden: %2.\nKronolab führt "
                        "die Aktionen weiter nach der Konfiguration aus; solange der Verlauf "
                        "nicht geschrieben wird, kann ein Absturz einen Aufruf doppelt "
                        "auslösen.")
             .arg(FFileName, FProblem));
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
    // Durable commits wait for the disk, so that a power loss cannot undo them.
    if (durable)
      D->Exec(QStringLiteral("PRAGMA synchronous=FULL"));
    // Plain statements rather than QSqlDatabase::transaction(): their errors keep SQLite's
    // result code, which tells a full disk from a lock.
    bool ok = D->Exec(QStringLiteral("BEGIN")) && WriteWaitingResults() && body() &&
              D->Exec(QStringLiteral("COMMIT"));
    const QSqlError error = D->Error;
    if (!ok)
      D->Exec(QStringLiteral("ROLLBACK"));
    if (durable)
      D->Exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
    if (ok) {
      FWaiting.clear();
      Succeeded();
      return true;
    }
    const int code = PrimaryCode(error);
    if (!IsDamage(code) || attempt > 0) {
      Failed(code, error.text());
      return false;
    }
    // Damaged while we run: set the file aside, begin anew and try once more there.
    if (!MoveAside(QStringLiteral("Der Verlauf \"%1\" war beschädigt und wurde als \"%2\" "
                                  "beiseitegelegt; ein neuer Verlauf wurde begonnen.")) ||
        !OpenForWriting(false)) {
      Failed(code, error.text());
      return false;
    }
  }
  return false;
}

std::int64_t TRunJournal::FindEntry(const QString &key) const {
  if (!CanRead())
    return 0;
  if (const auto cached = D->EntryIds.constFind(key); cached != D->EntryIds.cend())
    return *cached;
  QSqlQuery query(D->Db);
  query.prepare(QStringLiteral("SELECT id FROM entries WHERE key = ?"));
  query.bindValue(0, key);
  if (!query.exec() || !query.next())
    return 0;
  const std::int64_t id = query.value(0).toLongLong();
  D->EntryIds.insert(key, id);
  return id;
}

std::int64_t TRunJournal::InsertEntry(const QVariant &key, const QString &action) {
  std::int64_t id = 0;
  Transaction(
      [&] {
        D->InsertEntry->bindValue(0, key);
        D->InsertEntry->bindValue(1, action);
        if (!D->Exec(*D->InsertEntry))
          return false;
        id = D->InsertEntry->lastInsertId().toLongLong();
        return true;
      },
      false);
  return id;
}

std::int64_t TRunJournal::EntryFor(const QString &key, const QString &action) {
  std::int64_t id = FindEntry(key);
  if (id != 0)
    return id;
  id = InsertEntry(key, action);
  if (id != 0)
    D->EntryIds.insert(key, id);
  return id;
}

std::int64_t TRunJournal::NewEntry(const QString &action) {
  return InsertEntry(QVariant(QMetaType::fromType<QString>()), action);
}

std::optional<TDateTime> TRunJournal::EntryLastDate(const QString &key) const {
  if (!CanRead())
    return std::nullopt;
  QSqlQuery query(D->Db);
  query.prepare(QStringLiteral("SELECT last_date FROM entries WHERE key = ?"));
  query.bindValue(0, key);
  if (!query.exec() || !query.next() || query.value(0).isNull())
    return std::nullopt;
  return query.value(0).toDouble();
}

std::optional<std::int64_t> TRunJournal::EntryLastCallUtc(const QString &key) const {
  if (!CanRead())
    return std::nullopt;
  QSqlQuery query(D->Db);
  query.prepare(QStringLiteral("SELECT utc_ms FROM calls WHERE entry_id = (SELECT id FROM "
                               "entries WHERE key = ?) AND manual = 0 ORDER BY id DESC LIMIT 1"));
  query.bindValue(0, key);
  if (!query.exec() || !query.next() || query.value(0).isNull())
    return std::nullopt;
  return query.value(0).toLongLong();
}

std::int64_t TRunJournal::EntryInTransaction(const QString &key, const QString &action) {
  std::int64_t entry = D->EntryIds.value(key, 0);
  if (entry != 0)
    return entry;
  D->FindEntry->bindValue(0, key);
  if (!D->Exec(*D->FindEntry))
    return 0;
  if (D->FindEntry->next()) {
    entry = D->FindEntry->value(0).toLongLong();
  } else {
    D->InsertEntry->bindValue(0, key);
    D->InsertEntry->bindValue(1, action);
    if (!D->Exec(*D->InsertEntry))
      return 0;
    entry = D->InsertEntry->lastInsertId().toLongLong();
  }
  D->FindEntry->finish();
  D->EntryIds.insert(key, entry);
  return entry;
}

std::vector<std::int64_t> TRunJournal::RecordCalls(const std::vector<TDueCall> &calls,
                                                   const TMoment &now) {
  std::vector<std::int64_t> ids;
  if (calls.empty())
    return ids;
  const bool ok = Transaction(
      [&] {
        ids.clear();
        ids.reserve(calls.size());
        // Each call's entry, and the latest due point per entry, written once after.
        std::vector<std::int64_t> entries;
        entries.reserve(calls.size());
        QHash<std::int64_t, TDateTime> latest;
        for (std::size_t i = 0; i < calls.size(); ++i) {
          const TDueCall &call = calls[i];
          const std::int64_t entry = i > 0 && call.Key == calls[i - 1].Key
                                         ? entries.back()
                                         : EntryInTransaction(call.Key, call.Action);
          if (entry == 0)
            return false;
          entries.push_back(entry);
          const auto mark = latest.find(entry);
          if (mark == latest.end())
            latest.insert(entry, call.Due + RunMark);
          else
            *mark = std::max(*mark, call.Due + RunMark);
        }
        // Many rows to a statement: a day's catch-up of one entry is 86 400 rows.
        for (std::size_t i = 0; i < calls.size();) {
          const bool batch = calls.size() - i >= static_cast<std::size_t>(InsertBatch);
          QSqlQuery &insert = batch ? *D->InsertCalls : *D->InsertCall;
          const std::size_t rows = batch ? InsertBatch : 1;
          for (std::size_t r = 0; r < rows; ++r) {
            const TDueCall &call = calls[i + r];
            const int at = static_cast<int>(r) * 7;
            insert.bindValue(at, static_cast<qlonglong>(FSession));
            insert.bindValue(at + 1, static_cast<qlonglong>(entries[i + r]));
            insert.bindValue(at + 2, call.EntryNumber);
            insert.bindValue(at + 3, call.Action);
            insert.bindValue(at + 4, call.Due);
            insert.bindValue(at + 5, now.Wall);
            insert.bindValue(at + 6, static_cast<qlonglong>(now.UtcMs));
          }
          if (!D->Exec(insert))
            return false;
          // The rows of one statement get consecutive ids, the last one reported.
          const std::int64_t last = insert.lastInsertId().toLongLong();
          for (std::size_t r = 0; r < rows; ++r)
            ids.push_back(last - static_cast<std::int64_t>(rows - 1 - r));
          i += rows;
        }
        for (auto it = latest.cbegin(); it != latest.cend(); ++it) {
          D->RaiseLastDate->bindValue(0, it.value());
          D->RaiseLastDate->bindValue(1, static_cast<qlonglong>(it.key()));
          if (!D->Exec(*D->RaiseLastDate))
            return false;
        }
        return true;
      },
      true);
  if (!ok) {
    // The ids of a rolled-back transaction name nothing.
    ids.clear();
    D->EntryIds.clear();
  }
  return ids;
}

std::int64_t TRunJournal::RecordManualCall(std::int64_t entryId, int entryNumber,
                                           const QString &action, TDateTime now) {
  std::int64_t id = 0;
  Transaction(
      [&] {
        QSqlQuery &insert = *D->InsertManualCall;
        insert.bindValue(0, static_cast<qlonglong>(FSession));
        insert.bindValue(1, static_cast<qlonglong>(entryId));
        insert.bindValue(2, entryNumber);
        insert.bindValue(3, action);
        insert.bindValue(4, now);
        if (!D->Exec(insert))
          return false;
        id = insert.lastInsertId().toLongLong();
        return true;
      },
      false);
  return id;
}

bool TRunJournal::WriteWaitingResults() {
  for (const TWaitingResult &waiting : FWaiting) {
    const bool ok = waiting.Kind == TWaitingResult::Begin
                        ? WriteBegin(waiting.Call, waiting.Started, waiting.Command)
                    : waiting.Kind == TWaitingResult::Finish
                        ? WriteFinish(waiting.Call, waiting.Result)
                        : WriteEnds({waiting.Ended});
    if (!ok)
      return false;
  }
  return true;
}

void TRunJournal::Wait(TWaitingResult waiting) {
  // Only a lock is waited for; a bound keeps a lock that never ends from filling the memory.
  if (FLockedSinceMs != 0 && FWaiting.size() < MaxWaitingResults)
    FWaiting.push_back(std::move(waiting));
}

bool TRunJournal::WriteBegin(std::int64_t call, TDateTime started, const QString &command) {
  D->BeginCall->bindValue(0, started);
  D->BeginCall->bindValue(1, command);
  D->BeginCall->bindValue(2, static_cast<qlonglong>(call));
  return D->Exec(*D->BeginCall);
}

void TRunJournal::BeginCall(std::int64_t call, TDateTime started, const QString &command) {
  if (call == 0)
    return;
  if (!Transaction([&] { return WriteBegin(call, started, command); }, false))
    Wait({TWaitingResult::Begin, call, started, command, {}, {}});
}

void TRunJournal::FinishCall(std::int64_t call, const TCallResult &result) {
  if (call == 0)
    return;
  if (!Transaction([&] { return WriteFinish(call, result); }, false))
    Wait({TWaitingResult::Finish, call, 0, {}, result, {}});
}

bool TRunJournal::WriteFinish(std::int64_t call, const TCallResult &result) {
  QSqlQuery &finish = *D->FinishCall;
  finish.bindValue(0, static_cast<int>(result.State));
  finish.bindValue(1, result.ProcessId == 0 ? QVariant(QMetaType::fromType<qlonglong>())
                                            : QVariant(qlonglong(result.ProcessId)));
  finish.bindValue(2, result.Code);
  finish.bindValue(3, result.DurationMs < 0 ? QVariant(QMetaType::fromType<qlonglong>())
                                            : QVariant(qlonglong(result.DurationMs)));
  finish.bindValue(4, result.Detail);
  finish.bindValue(5, CountsAsFailure(result.State, result.Code) ? 1 : 0);
  finish.bindValue(6, static_cast<qlonglong>(call));
  return D->Exec(finish);
}

void TRunJournal::ProgramsEnded(const std::vector<TProgramEnd> &ends) {
  if (ends.empty())
    return;
  if (Transaction([&] { return WriteEnds(ends); }, false))
    return;
  for (const TProgramEnd &end : ends)
    Wait({TWaitingResult::End, end.Call, 0, {}, {}, end});
}

bool TRunJournal::WriteEnds(const std::vector<TProgramEnd> &ends) {
  QSqlQuery update(D->Db);
  if (!update.prepare(QStringLiteral("UPDATE calls SET state = ?, code = ?, duration_ms = "
                                     "?, failed = ? WHERE id = ?"))) {
    D->Error = update.lastError();
    return false;
  }
  for (const TProgramEnd &end : ends) {
    const TCallState state = end.Signaled ? TCallState::Signaled : TCallState::Exited;
    update.bindValue(0, static_cast<int>(state));
    update.bindValue(1, end.Code);
    update.bindValue(2, static_cast<qlonglong>(end.RunMs));
    update.bindValue(3, CountsAsFailure(state, end.Code) ? 1 : 0);
    update.bindValue(4, static_cast<qlonglong>(end.Call));
    if (!D->Exec(update))
      return false;
  }
  return true;
}

void TRunJournal::WithdrawCalls(const std::vector<std::int64_t> &calls,
                                const std::vector<std::pair<QString, TDateTime>> &lastDates) {
  if (calls.empty())
    return;
  Transaction(
      [&] {
        QSqlQuery remove(D->Db), lower(D->Db);
        if (!remove.prepare(QStringLiteral("DELETE FROM calls WHERE id = ? AND state = 0")) ||
            !lower.prepare(QStringLiteral("UPDATE entries SET last_date = ? WHERE key = ?"))) {
          D->Error = remove.lastError().isValid() ? remove.lastError() : lower.lastError();
          return false;
        }
        for (const std::int64_t call : calls) {
          remove.bindValue(0, static_cast<qlonglong>(call));
          if (!D->Exec(remove))
            return false;
        }
        for (const auto &[key, lastDate] : lastDates) {
          lower.bindValue(0, lastDate);
          lower.bindValue(1, key);
          if (!D->Exec(lower))
            return false;
        }
        return true;
      },
      false);
}

void TRunJournal::Baseline(const std::vector<TBaselineEntry> &entries) {
  const bool ok = Transaction(
      [&] {
        QSqlQuery release(D->Db), retire(D->Db), rename(D->Db), upsert(D->Db);
        if (!release.prepare(QStringLiteral("UPDATE entries SET key = NULL WHERE id = ?")) ||
            !retire.prepare(
                QStringLiteral("UPDATE entries SET key = NULL WHERE key = ? AND id <> ?")) ||
            !rename.prepare(QStringLiteral(
                "UPDATE entries SET key = ?, action = ?, last_date = ? WHERE id = ?")) ||
            !upsert.prepare(QStringLiteral(
                "INSERT INTO entries(key, action, last_date) VALUES(?, ?, ?) ON CONFLICT(key) "
                "DO UPDATE SET action = excluded.action, last_date = excluded.last_date"))) {
          D->Error = release.lastError();
          return false;
        }
        // Edited entries give up their old identity first, so that two of them may trade.
        for (const TBaselineEntry &entry : entries)
          if (entry.EntryId != 0) {
            release.bindValue(0, static_cast<qlonglong>(entry.EntryId));
            if (!D->Exec(release))
              return false;
          }
        for (const TBaselineEntry &entry : entries) {
          if (entry.EntryId != 0) {
            retire.bindValue(0, entry.Key);
            retire.bindValue(1, static_cast<qlonglong>(entry.EntryId));
            rename.bindValue(0, entry.Key);
            rename.bindValue(1, entry.Action);
            rename.bindValue(2, entry.LastDate);
            rename.bindValue(3, static_cast<qlonglong>(entry.EntryId));
            if (!D->Exec(retire) || !D->Exec(rename))
              return false;
            if (rename.numRowsAffected() > 0)
              continue;
          }
          upsert.bindValue(0, entry.Key);
          upsert.bindValue(1, entry.Action);
          upsert.bindValue(2, entry.LastDate);
          if (!D->Exec(upsert))
            return false;
        }
        return true;
      },
      false);
  if (ok)
    D->EntryIds.clear();
}

std::vector<TCallRecord> TRunJournal::Calls(const TCallFilter &filter, std::int64_t beforeId,
                                            int limit) const {
  std::vector<TCallRecord> calls;
  if (!CanRead() || limit <= 0)
    return calls;
  QString statement =
      QStringLiteral("SELECT %1 FROM calls WHERE id < ?").arg(QString::fromLatin1(CallColumns));
  if (filter.EntryId != 0)
    statement += QStringLiteral(" AND entry_id = ?");
  if (filter.FailedOnly)
    statement += QStringLiteral(" AND failed = 1");
  statement += QStringLiteral(" ORDER BY id DESC LIMIT ?");
  QSqlQuery query(D->Db);
  query.setForwardOnly(true);
  if (!query.prepare(statement))
    return calls;
  int n = 0;
  query.bindValue(n++, static_cast<qlonglong>(beforeId));
  if (filter.EntryId != 0)
    query.bindValue(n++, static_cast<qlonglong>(filter.EntryId));
  query.bindValue(n, limit);
  if (!query.exec())
    return calls;
  calls.reserve(static_cast<std::size_t>(limit));
  while (query.next())
    calls.push_back(ReadCall(query));
  return calls;
}

std::optional<TCallRecord> TRunJournal::Call(std::int64_t id) const {
  if (!CanRead())
    return std::nullopt;
  QSqlQuery query(D->Db);
  query.prepare(
      QStringLiteral("SELECT %1 FROM calls WHERE id = ?").arg(QString::fromLatin1(CallColumns)));
  query.bindValue(0, static_cast<qlonglong>(id));
  if (!query.exec() || !query.next())
    return std::nullopt;
  return ReadCall(query);
}

std::optional<TCallRecord> TRunJournal::LastCall(std::int64_t entryId) const {
  if (entryId <= 0)
    return std::nullopt;
  const std::vector<TCallRecord> calls = Calls({entryId, false}, INT64_MAX, 1);
  if (calls.empty())
    return std::nullopt;
  return calls.front();
}

std::int64_t TRunJournal::CallCount() const {
  return CanRead() ? D->Value(QStringLiteral("SELECT count(*) FROM calls")).toLongLong() : 0;
}

void TRunJournal::PruneStep(TDateTime now, int budgetMs) {
  if (!FWritable || FHeldThisTick)
    return;
  if (!FPruning) {
    // A clock set back by more than a day must not put the next pass off for as long.
    if (now < FNextPruneAt && FNextPruneAt - now <= 1)
      return;
    const QVariant newest = D->Value(QStringLiteral("SELECT max(id) FROM calls"));
    if (!newest.isValid())
      return;
    FPruneUpToId = newest.toLongLong() - FOptions.MaxCalls;
    FPruneBefore = now - FOptions.MaxAgeDays;
    FPruning = true;
  }
  QElapsedTimer spent;
  spent.start();
  for (;;) {
    QElapsedTimer took;
    took.start();
    const int batch = FPruneBatch;
    int deleted = 0;
    const bool ok = Transaction(
        [&] {
          QSqlQuery prune(D->Db);
          // In id order from the oldest, so that each statement finds its rows at once.
          if (!prune.prepare(QStringLiteral("DELETE FROM calls WHERE id IN (SELECT id FROM calls "
                                            "WHERE id <= ? AND recorded < ? ORDER BY id "
                                            "LIMIT ?)"))) {
            D->Error = prune.lastError();
            return false;
          }
          prune.bindValue(0, static_cast<qlonglong>(FPruneUpToId));
          prune.bindValue(1, FPruneBefore);
          prune.bindValue(2, batch);
          if (!D->Exec(prune))
            return false;
          deleted = prune.numRowsAffected();
          if (deleted >= batch)
            return true;
          // The last statement of the pass: entries renamed away whose calls are all gone.
          return D->Exec(QStringLiteral("DELETE FROM entries WHERE key IS NULL AND NOT EXISTS "
                                        "(SELECT 1 FROM calls WHERE entry_id = entries.id)"));
        },
        false);
    if (!ok)
      return; // tried again at the next step
    // A slow statement is halved, so that a step stays short however slow the disk.
    if (took.elapsed() > PruneStatementMs)
      FPruneBatch = std::max(batch / 2, MinPruneBatch);
    if (deleted < batch) {
      FPruning = false;
      FNextPruneAt = now + 1;
      return;
    }
    if (spent.elapsed() >= budgetMs)
      return;
  }
}

bool TRunJournal::RecordUnrecordedCalls(const std::vector<TDueCall> &calls,
                                        const TMoment &recorded) {
  if (calls.empty())
    return true;
  const std::vector<std::int64_t> ids = RecordCalls(calls, recorded);
  if (ids.size() != calls.size())
    return false;
  TCallResult unknown;
  unknown.State = TCallState::Unknown;
  unknown.Detail = QStringLiteral("ausgeführt, als der Verlauf nicht geschrieben werden konnte; "
                                  "das Ergebnis ist nicht bekannt");
  return Transaction(
      [&] {
        for (const std::int64_t id : ids)
          if (!WriteFinish(id, unknown))
            return false;
        return true;
      },
      false);
}
