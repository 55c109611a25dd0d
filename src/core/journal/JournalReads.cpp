// The history's reads: calls newest first, filtered by entry or failure, one by id, and the
// German text of what became of a call.
#include "core/journal/RunJournalImpl.h"

#include "platform/Process.h"

using namespace JournalDetail;

namespace {

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
    // A detail on an ended program says why it ended (its time limit).
    if (!call.Detail.isEmpty())
      return call.Detail;
    return QStringLiteral("Beendet mit Status %1").arg(call.Code);
  case TCallState::Signaled:
    if (!call.Detail.isEmpty())
      return call.Detail;
    return QStringLiteral("Abgebrochen durch Signal %1 (%2)")
        .arg(call.Code)
        .arg(SignalName(call.Code));
  case TCallState::Unknown:
    return QStringLiteral("Ausgang unbekannt: ") + call.Detail;
  }
  return QString();
}

bool IsFailedCall(TCallState state, int code) {
  return CountsAsFailure(state, code);
}

QString CallOutputText(const TCallOutput &output) {
  // Programs write UTF-8 here; a tail cut inside a character shows one replacement mark.
  QString text = QString::fromUtf8(output.Output);
  if (!output.Errors.isEmpty()) {
    if (!text.isEmpty() && !text.endsWith(u'\n'))
      text += u'\n';
    if (!text.isEmpty())
      text += u'\n';
    text += QStringLiteral("Fehlerausgabe:\n") + QString::fromUtf8(output.Errors);
  }
  return text;
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

std::int64_t TRunJournal::UnseenFailures() const {
  return CanRead() ? D->Value(QStringLiteral("SELECT count(*) FROM calls WHERE failed = 1 AND id > "
                                             "(SELECT coalesce(max(value), 0) FROM marks "
                                             "WHERE name = 'failures_seen')"))
                         .toLongLong()
                   : 0;
}

std::optional<TCallOutput> TRunJournal::CallOutput(std::int64_t id) const {
  if (!CanRead())
    return std::nullopt;
  QSqlQuery query(D->Db);
  query.prepare(QStringLiteral("SELECT stdout, stderr FROM calls WHERE id = ?"));
  query.bindValue(0, static_cast<qlonglong>(id));
  if (!query.exec() || !query.next() || (query.value(0).isNull() && query.value(1).isNull()))
    return std::nullopt;
  return TCallOutput{query.value(0).toByteArray(), query.value(1).toByteArray()};
}

std::vector<TSnooze> TRunJournal::PendingSnoozes() const {
  std::vector<TSnooze> snoozes;
  if (!CanRead())
    return snoozes;
  QSqlQuery query(D->Db);
  query.setForwardOnly(true);
  if (!query.exec(QStringLiteral("SELECT id, made, due, caption, header, message FROM snoozes "
                                 "WHERE shown IS NULL ORDER BY due, id")))
    return snoozes;
  while (query.next())
    snoozes.push_back({query.value(0).toLongLong(), query.value(1).toDouble(),
                       query.value(2).toDouble(), query.value(3).toString(),
                       query.value(4).toString(), query.value(5).toString()});
  return snoozes;
}
