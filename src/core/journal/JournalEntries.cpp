// The journal's entries: the identity of an entry across runs, the one lookup from its key
// to its row, and the baseline the user's list sets.
#include "core/journal/RunJournalImpl.h"

#include <algorithm>
#include <cmath>

using namespace JournalDetail;

namespace {

// Whole milliseconds of a day fraction; what survives a save and load of the configuration.
std::int64_t WholeMs(double days) {
  if (!std::isfinite(days))
    return 0;
  return std::llround(std::clamp(days * MSecsPerDay, -9.0e15, 9.0e15));
}

// The statements of a baseline, prepared together; the first failure is kept in Error.
struct TBaselineStatements {
  explicit TBaselineStatements(const QSqlDatabase &db)
      : Release(db), Retire(db), Rename(db), Upsert(db) {}

  QSqlQuery Release, Retire, Rename, Upsert;
  QSqlError Error;

  bool Prepare() {
    return Prepared(Release, "UPDATE entries SET key = NULL WHERE id = ?") &&
           Prepared(Retire, "UPDATE entries SET key = NULL WHERE key = ? AND id <> ?") &&
           Prepared(Rename, "UPDATE entries SET key = ?, action = ?, last_date = ? WHERE id = ?") &&
           Prepared(Upsert, "INSERT INTO entries(key, action, last_date) VALUES(?, ?, ?) ON "
                            "CONFLICT(key) DO UPDATE SET action = excluded.action, "
                            "last_date = excluded.last_date");
  }
  bool Prepared(QSqlQuery &query, const char *statement) {
    if (query.prepare(QString::fromLatin1(statement)))
      return true;
    Error = query.lastError();
    return false;
  }
  bool Exec(QSqlQuery &query) {
    if (query.exec())
      return true;
    Error = query.lastError();
    return false;
  }
  // Whether an edited entry took its key, action and LastDate over (false: its row is gone);
  // none when a statement failed.
  std::optional<bool> Move(const TBaselineEntry &entry) {
    Retire.bindValue(0, entry.Key);
    Retire.bindValue(1, static_cast<qlonglong>(entry.EntryId));
    Rename.bindValue(0, entry.Key);
    Rename.bindValue(1, entry.Action);
    Rename.bindValue(2, entry.LastDate);
    Rename.bindValue(3, static_cast<qlonglong>(entry.EntryId));
    if (!Exec(Retire) || !Exec(Rename))
      return std::nullopt;
    return Rename.numRowsAffected() > 0;
  }
  bool Set(const TBaselineEntry &entry) {
    Upsert.bindValue(0, entry.Key);
    Upsert.bindValue(1, entry.Action);
    Upsert.bindValue(2, entry.LastDate);
    return Exec(Upsert);
  }
};

bool WriteBaseline(TBaselineStatements &baseline, const std::vector<TBaselineEntry> &entries) {
  // Edited entries give up their old identity first, so that two of them may trade.
  for (const TBaselineEntry &entry : entries) {
    if (entry.EntryId == 0)
      continue;
    baseline.Release.bindValue(0, static_cast<qlonglong>(entry.EntryId));
    if (!baseline.Exec(baseline.Release))
      return false;
  }
  for (const TBaselineEntry &entry : entries) {
    if (entry.EntryId != 0) {
      const std::optional<bool> moved = baseline.Move(entry);
      if (!moved)
        return false;
      if (*moved)
        continue;
    }
    if (!baseline.Set(entry))
      return false;
  }
  return true;
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

std::int64_t TRunJournal::FindEntry(const QString &key) const {
  return CanRead() ? D->EntryId(key).value_or(0) : 0;
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

std::int64_t TRunJournal::EntryInTransaction(const QString &key, const QString &action) {
  const std::optional<std::int64_t> found = D->EntryId(key);
  if (!found)
    return 0;
  if (*found != 0)
    return *found;
  D->InsertEntry->bindValue(0, key);
  D->InsertEntry->bindValue(1, action);
  if (!D->Exec(*D->InsertEntry))
    return 0;
  const std::int64_t entry = D->InsertEntry->lastInsertId().toLongLong();
  D->EntryIds.insert(key, entry);
  return entry;
}

std::optional<TDateTime> TRunJournal::EntryLastDate(const QString &key) const {
  const std::int64_t entry = FindEntry(key);
  if (entry == 0)
    return std::nullopt;
  QSqlQuery query(D->Db);
  query.prepare(QStringLiteral("SELECT last_date FROM entries WHERE id = ?"));
  query.bindValue(0, static_cast<qlonglong>(entry));
  if (!query.exec() || !query.next() || query.value(0).isNull())
    return std::nullopt;
  return query.value(0).toDouble();
}

std::optional<std::int64_t> TRunJournal::EntryLastCallUtc(const QString &key) const {
  const std::int64_t entry = FindEntry(key);
  if (entry == 0)
    return std::nullopt;
  QSqlQuery query(D->Db);
  query.prepare(QStringLiteral("SELECT utc_ms FROM calls WHERE entry_id = ? AND manual = 0 "
                               "ORDER BY id DESC LIMIT 1"));
  query.bindValue(0, static_cast<qlonglong>(entry));
  if (!query.exec() || !query.next() || query.value(0).isNull())
    return std::nullopt;
  return query.value(0).toLongLong();
}

void TRunJournal::Baseline(const std::vector<TBaselineEntry> &entries) {
  const bool ok = Transaction(
      [&] {
        TBaselineStatements baseline(D->Db);
        const bool done = baseline.Prepare() && WriteBaseline(baseline, entries);
        if (!done)
          D->Error = baseline.Error;
        return done;
      },
      false);
  // Keys have moved between entries; the next lookups ask the journal again.
  if (ok)
    D->EntryIds.clear();
}
