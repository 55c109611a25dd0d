// What the files of the run journal share and nobody else sees: the connection with its
// prepared statements, SQLite's result codes as we tell them apart, and the call states
// as the SQL spells them. TRunJournal owns one TImpl.
#pragma once

#include "core/journal/RunJournal.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <cstdint>
#include <memory>
#include <optional>

// Marks the failures up to the newest failed call as seen in "Verlauf"; a string literal, as
// the layout's migration joins it to its other statements at compile time. Not the newest
// call: a program still running may fail yet.
#define KRONOLAB_MARK_FAILURES_SEEN                                                                \
  "INSERT OR REPLACE INTO marks VALUES('failures_seen', "                                          \
  "(SELECT coalesce(max(id), 0) FROM calls WHERE failed = 1))"

namespace JournalDetail {

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

// The smallest pruning statement: below it, a slow disk is slow for any size.
constexpr int MinPruneBatch = 16;

// The primary result code of a failed statement; -1 when it has none.
int PrimaryCode(const QSqlError &error);
// Whether a result code says the file is damaged rather than out of reach.
bool IsDamage(int code);
// Whether a result code says another program holds the file for the moment.
bool IsLock(int code);
// Why a write failed, in the user's words.
QString Reason(int code, const QString &text);
// A monotonic clock for the pauses between attempts, in milliseconds.
std::int64_t SteadyMs();

// A call state as a value in SQL text, so that statements name the state they mean.
inline QString StateSql(TCallState state) {
  return QString::number(static_cast<int>(state));
}
// Whether a call with this result shows under "failures only".
bool CountsAsFailure(TCallState state, int code);

} // namespace JournalDetail

// The connection and the statements the scheduler runs at every call, prepared once.
struct TRunJournal::TImpl {
  QString Connection;
  QSqlDatabase Db;
  QSqlError Error; // the failure of the last statement that failed
  std::unique_ptr<QSqlQuery> InsertCall, InsertCalls, InsertManualCall, RaiseLastDate, FindEntry,
      InsertEntry, BeginCall, FinishCall;
  // Entry ids by key; cleared whenever keys may have changed or a transaction that made
  // entries was rolled back.
  QHash<QString, std::int64_t> EntryIds;

  // Runs a statement, keeping its failure in Error.
  bool Exec(QSqlQuery &query);
  bool Exec(const QString &statement);
  // The first column of the first row of statement; an invalid value when it fails.
  QVariant Value(const QString &statement);
  // A statement prepared on the connection; null (failure in Error) when it cannot be.
  std::unique_ptr<QSqlQuery> Prepared(const QString &statement);
  // Prepares the statements of the scheduler's writes; false when any cannot be.
  bool PrepareWrites();
  void DropStatements();
  // The only way from an entry's key to its row: the id, 0 when the journal has no such
  // entry, none when the lookup failed (Error says why).
  std::optional<std::int64_t> EntryId(const QString &key);
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
