// The journal's file: connecting to it, checking that it is ours, setting aside what is not,
// and opening it for reading only.
#include "core/journal/RunJournalImpl.h"

#include "platform/FileOps.h"
#include "platform/OwnFiles.h"
#include "storage/FileReports.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QUrl>
#include <atomic>

using namespace JournalDetail;

namespace {

// Each journal has its own connection: several schedulers may live in one process.
std::atomic<std::uint64_t> Connections{0};

// The files SQLite opens for a journal, the journal itself first.
const char *const JournalSuffixes[] = {"", "-wal", "-shm"};

} // namespace

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

TRunJournal::TFileCheck TRunJournal::CheckFile(bool wholeFile) {
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
  // Every page costs a read of the whole file; the entries are read at every start anyway.
  const QVariant check = D->Value(wholeFile ? QStringLiteral("PRAGMA quick_check")
                                            : QStringLiteral("PRAGMA quick_check(entries)"));
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
