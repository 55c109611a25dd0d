// The journal's layout: the tables of a new journal, and the steps that bring the layout of
// an older version up to SchemaVersion.
#include "core/journal/RunJournalImpl.h"

#include <QStringList>
#include <iterator>

using namespace JournalDetail;

namespace {

// Messages put off by the user: pending while shown is NULL.
#define KRONOLAB_SNOOZE_TABLE                                                                      \
  "CREATE TABLE snoozes("                                                                          \
  " id INTEGER PRIMARY KEY,"                                                                       \
  " made REAL NOT NULL,"                                                                           \
  " due REAL NOT NULL,"                                                                            \
  " caption TEXT,"                                                                                 \
  " header TEXT,"                                                                                  \
  " message TEXT,"                                                                                 \
  " shown REAL)"
const QString SnoozeTable = QStringLiteral(KRONOLAB_SNOOZE_TABLE);

// Marks the program keeps between runs: "failures_seen", the newest failed call that
// "Verlauf" has shown.
#define KRONOLAB_MARKS_TABLE "CREATE TABLE marks(name TEXT PRIMARY KEY, value INTEGER NOT NULL)"

// The statements of a new journal at SchemaVersion.
QStringList CreationStatements() {
  return {
      QStringLiteral("CREATE TABLE entries("
                     " id INTEGER PRIMARY KEY,"
                     " key TEXT UNIQUE," // NULL once the entry has been renamed away
                     " action TEXT NOT NULL,"
                     " last_date REAL)"),
      QStringLiteral("CREATE TABLE calls("
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
                     // the instant of the recording tick; NULL in calls of version 1
                     " utc_ms INTEGER,"
                     // the tails of a program's standard output and error
                     " stdout BLOB,"
                     " stderr BLOB)"),
      SnoozeTable,
      QStringLiteral(KRONOLAB_MARKS_TABLE),
      QStringLiteral("CREATE INDEX calls_by_entry ON calls(entry_id, id)"),
      QStringLiteral("CREATE INDEX calls_failed ON calls(id) WHERE failed = 1"),
      QStringLiteral("CREATE INDEX calls_failed_by_entry ON calls(entry_id, id) WHERE failed = 1"),
      // The calls that a start-up after a crash has to close.
      QStringLiteral("CREATE INDEX calls_open ON calls(state) WHERE state IN (%1, %2, %3)")
          .arg(StateSql(TCallState::Recorded), StateSql(TCallState::Begun),
               StateSql(TCallState::Running)),
  };
}

// What brings a journal of version To - 1 to version To, one migration after the other; a
// new layout adds its step here and raises SchemaVersion. A step's statements are separated
// by semicolons.
struct TMigration {
  int To;
  const char *Statements;
};
constexpr TMigration Migrations[] = {
    {2, "ALTER TABLE calls ADD COLUMN utc_ms INTEGER"},
    {3, "ALTER TABLE calls ADD COLUMN stdout BLOB;"
        "ALTER TABLE calls ADD COLUMN stderr BLOB;" KRONOLAB_SNOOZE_TABLE},
    // The failures of a journal kept before this layout count as seen: an update never greets
    // its user with a mark for every failure of the last half year.
    {4, KRONOLAB_MARKS_TABLE ";" KRONOLAB_MARK_FAILURES_SEEN},
};
static_assert(Migrations[std::size(Migrations) - 1].To == TRunJournal::SchemaVersion,
              "the last migration reaches the version this program writes");

} // namespace

bool TRunJournal::CreateOrMigrate() {
  const int version = D->Value(QStringLiteral("PRAGMA user_version")).toInt();
  if (version == 0)
    return CreateSchema();
  for (const TMigration &migration : Migrations) {
    if (migration.To <= version)
      continue;
    // Each step commits on its own, so that an interrupted migration resumes where it
    // stopped.
    if (!D->Exec(QStringLiteral("BEGIN")))
      return false;
    for (const QString &statement :
         QString::fromLatin1(migration.Statements).split(u';', Qt::SkipEmptyParts))
      if (!D->Exec(statement))
        return false;
    if (!D->Exec(QStringLiteral("PRAGMA user_version=%1").arg(migration.To)) ||
        !D->Exec(QStringLiteral("COMMIT")))
      return false;
  }
  return true;
}

bool TRunJournal::CreateSchema() {
  if (!D->Exec(QStringLiteral("BEGIN")))
    return false;
  for (const QString &statement : CreationStatements())
    if (!D->Exec(statement))
      return false;
  return D->Exec(QStringLiteral("PRAGMA application_id=%1").arg(ApplicationId)) &&
         D->Exec(QStringLiteral("PRAGMA user_version=%1").arg(SchemaVersion)) &&
         D->Exec(QStringLiteral("COMMIT"));
}
