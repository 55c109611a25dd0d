// The scheduler's writes: the calls of a tick and those the user asks for, their results as
// they become known (kept for the next transaction while another program holds a lock), and
// the withdrawal of calls a tick did not get to.
#include "core/journal/RunJournalImpl.h"

#include <QStringList>
#include <algorithm>

using namespace JournalDetail;

namespace {

// Rows inserted by one statement when a tick records many calls.
constexpr int InsertBatch = 64;
// The values bound per row of a tick's call.
constexpr int CallRowValues = 7;

// Results kept for a locked journal at most; more than a day of a busy list.
constexpr std::size_t MaxWaitingResults = 20000;

QVariant NullableId(std::int64_t value, bool null) {
  return null ? QVariant(QMetaType::fromType<qlonglong>()) : QVariant(qlonglong(value));
}

} // namespace

bool TRunJournal::TImpl::PrepareWrites() {
  const QString insert = QStringLiteral("INSERT INTO calls(session, entry_id, entry_number, "
                                        "action, manual, due, recorded, utc_ms, state) VALUES");
  const QString recorded = StateSql(TCallState::Recorded);
  const QString row = QStringLiteral("(?, ?, ?, ?, 0, ?, ?, ?, %1)").arg(recorded);
  InsertCall = Prepared(insert + row);
  QStringList rows;
  for (int r = 0; r < InsertBatch; ++r)
    rows.append(row);
  InsertCalls = Prepared(insert + rows.join(u','));
  InsertManualCall =
      Prepared(insert + QStringLiteral("(?, ?, ?, ?, 1, NULL, ?, NULL, %1)").arg(recorded));
  RaiseLastDate = Prepared(QStringLiteral(
      "UPDATE entries SET last_date = max(coalesce(last_date, -1e300), ?) WHERE id = ?"));
  InsertEntry = Prepared(QStringLiteral("INSERT INTO entries(key, action) VALUES(?, ?)"));
  BeginCall = Prepared(QStringLiteral("UPDATE calls SET state = %1, started = ?, command = ? "
                                      "WHERE id = ?")
                           .arg(StateSql(TCallState::Begun)));
  FinishCall = Prepared(QStringLiteral("UPDATE calls SET state = ?, pid = ?, code = ?, "
                                       "duration_ms = ?, detail = ?, failed = ? WHERE id = ?"));
  return InsertCall && InsertCalls && InsertManualCall && RaiseLastDate && InsertEntry &&
         BeginCall && FinishCall;
}

std::vector<std::int64_t> TRunJournal::RecordCalls(const std::vector<TDueCall> &calls,
                                                   const TMoment &now) {
  std::vector<std::int64_t> ids;
  if (calls.empty())
    return ids;
  const bool ok = Transaction(
      [&] {
        std::vector<std::int64_t> entries;
        return CallEntries(calls, entries) && InsertCallRows(calls, entries, now, ids) &&
               RaiseLastDates(calls, entries);
      },
      true);
  if (!ok) {
    // The ids of a rolled-back transaction name nothing.
    ids.clear();
    D->EntryIds.clear();
  }
  return ids;
}

bool TRunJournal::CallEntries(const std::vector<TDueCall> &calls,
                              std::vector<std::int64_t> &entries) {
  entries.reserve(calls.size());
  for (std::size_t i = 0; i < calls.size(); ++i) {
    const TDueCall &call = calls[i];
    const std::int64_t entry = i > 0 && call.Key == calls[i - 1].Key
                                   ? entries.back()
                                   : EntryInTransaction(call.Key, call.Action);
    if (entry == 0)
      return false;
    entries.push_back(entry);
  }
  return true;
}

bool TRunJournal::InsertCallRows(const std::vector<TDueCall> &calls,
                                 const std::vector<std::int64_t> &entries, const TMoment &now,
                                 std::vector<std::int64_t> &ids) {
  ids.clear();
  ids.reserve(calls.size());
  // Many rows to a statement: a day's catch-up of one entry is 86 400 rows.
  for (std::size_t i = 0; i < calls.size();) {
    const bool batch = calls.size() - i >= static_cast<std::size_t>(InsertBatch);
    QSqlQuery &insert = batch ? *D->InsertCalls : *D->InsertCall;
    const std::size_t rows = batch ? InsertBatch : 1;
    for (std::size_t r = 0; r < rows; ++r) {
      const TDueCall &call = calls[i + r];
      const int at = static_cast<int>(r) * CallRowValues;
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
  return true;
}

bool TRunJournal::RaiseLastDates(const std::vector<TDueCall> &calls,
                                 const std::vector<std::int64_t> &entries) {
  // The latest due point per entry, written once.
  QHash<std::int64_t, TDateTime> latest;
  for (std::size_t i = 0; i < calls.size(); ++i) {
    const auto mark = latest.find(entries[i]);
    if (mark == latest.end())
      latest.insert(entries[i], calls[i].Due + RunMark);
    else
      *mark = std::max(*mark, calls[i].Due + RunMark);
  }
  for (auto it = latest.cbegin(); it != latest.cend(); ++it) {
    D->RaiseLastDate->bindValue(0, it.value());
    D->RaiseLastDate->bindValue(1, static_cast<qlonglong>(it.key()));
    if (!D->Exec(*D->RaiseLastDate))
      return false;
  }
  return true;
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

void TRunJournal::BeginCall(std::int64_t call, TDateTime started, const QString &command) {
  if (call == 0)
    return;
  if (!Transaction([&] { return WriteBegin(call, started, command); }, false))
    Wait({TWaitingResult::Begin, call, started, command, {}, {}});
}

bool TRunJournal::WriteBegin(std::int64_t call, TDateTime started, const QString &command) {
  D->BeginCall->bindValue(0, started);
  D->BeginCall->bindValue(1, command);
  D->BeginCall->bindValue(2, static_cast<qlonglong>(call));
  return D->Exec(*D->BeginCall);
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
  finish.bindValue(1, NullableId(result.ProcessId, result.ProcessId == 0));
  finish.bindValue(2, result.Code);
  finish.bindValue(3, NullableId(result.DurationMs, result.DurationMs < 0));
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
  const auto update = D->Prepared(
      QStringLiteral("UPDATE calls SET state = ?, code = ?, duration_ms = ?, failed = ?, "
                     "detail = coalesce(?, detail), stdout = ?, stderr = ? WHERE id = ?"));
  if (!update)
    return false;
  for (const TProgramEnd &end : ends) {
    const TCallState state = end.Signaled ? TCallState::Signaled : TCallState::Exited;
    update->bindValue(0, static_cast<int>(state));
    update->bindValue(1, end.Code);
    update->bindValue(2, static_cast<qlonglong>(end.RunMs));
    update->bindValue(3, end.TimedOut || CountsAsFailure(state, end.Code) ? 1 : 0);
    update->bindValue(4, end.TimedOut ? QVariant(TimeLimitText())
                                      : QVariant(QMetaType::fromType<QString>()));
    // An empty output is kept as none, so that "Verlauf" can tell a silent program.
    update->bindValue(5, end.Output.isEmpty() ? QVariant(QMetaType::fromType<QByteArray>())
                                              : QVariant(end.Output));
    update->bindValue(6, end.Errors.isEmpty() ? QVariant(QMetaType::fromType<QByteArray>())
                                              : QVariant(end.Errors));
    update->bindValue(7, static_cast<qlonglong>(end.Call));
    if (!D->Exec(*update))
      return false;
  }
  return true;
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

std::int64_t TRunJournal::AddSnooze(const TSnooze &snooze) {
  std::int64_t id = 0;
  Transaction(
      [&] {
        const auto insert = D->Prepared(QStringLiteral(
            "INSERT INTO snoozes(made, due, caption, header, message) VALUES(?, ?, ?, ?, ?)"));
        if (!insert)
          return false;
        insert->bindValue(0, snooze.Made);
        insert->bindValue(1, snooze.Due);
        insert->bindValue(2, snooze.Caption);
        insert->bindValue(3, snooze.Header);
        insert->bindValue(4, snooze.Message);
        if (!D->Exec(*insert))
          return false;
        id = insert->lastInsertId().toLongLong();
        return true;
      },
      true);
  return id;
}

void TRunJournal::FailuresSeen() {
  Transaction([&] { return D->Exec(QStringLiteral(KRONOLAB_MARK_FAILURES_SEEN)); }, false);
}

void TRunJournal::SnoozeShown(std::int64_t id, TDateTime shownAt) {
  if (id == 0)
    return;
  Transaction(
      [&] {
        const auto update =
            D->Prepared(QStringLiteral("UPDATE snoozes SET shown = ? WHERE id = ?"));
        if (!update)
          return false;
        update->bindValue(0, shownAt);
        update->bindValue(1, static_cast<qlonglong>(id));
        return D->Exec(*update);
      },
      false);
}
