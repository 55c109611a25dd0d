// The connection's helpers and the meaning of SQLite's result codes, shared by the files of
// the run journal.
#include "core/journal/RunJournalImpl.h"

#include <chrono>

namespace JournalDetail {

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

std::int64_t SteadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
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

} // namespace JournalDetail

bool TRunJournal::TImpl::Exec(QSqlQuery &query) {
  if (query.exec())
    return true;
  Error = query.lastError();
  return false;
}

bool TRunJournal::TImpl::Exec(const QString &statement) {
  QSqlQuery query(Db);
  if (query.exec(statement))
    return true;
  Error = query.lastError();
  return false;
}

QVariant TRunJournal::TImpl::Value(const QString &statement) {
  QSqlQuery query(Db);
  if (!query.exec(statement) || !query.next()) {
    Error = query.lastError();
    return {};
  }
  return query.value(0);
}

std::unique_ptr<QSqlQuery> TRunJournal::TImpl::Prepared(const QString &statement) {
  auto query = std::make_unique<QSqlQuery>(Db);
  if (!query->prepare(statement)) {
    Error = query->lastError();
    return nullptr;
  }
  return query;
}

void TRunJournal::TImpl::DropStatements() {
  InsertCall.reset();
  InsertCalls.reset();
  InsertManualCall.reset();
  RaiseLastDate.reset();
  FindEntry.reset();
  InsertEntry.reset();
  BeginCall.reset();
  FinishCall.reset();
}

std::optional<std::int64_t> TRunJournal::TImpl::EntryId(const QString &key) {
  if (const auto cached = EntryIds.constFind(key); cached != EntryIds.cend())
    return *cached;
  // Prepared at the first lookup, for readers as well as for the scheduler.
  if (!FindEntry)
    FindEntry = Prepared(QStringLiteral("SELECT id FROM entries WHERE key = ?"));
  if (!FindEntry)
    return std::nullopt;
  QSqlQuery &find = *FindEntry;
  find.bindValue(0, key);
  if (!Exec(find))
    return std::nullopt;
  const std::int64_t id = find.next() ? find.value(0).toLongLong() : 0;
  find.finish();
  if (id != 0)
    EntryIds.insert(key, id);
  return id;
}
