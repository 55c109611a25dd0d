// The list commands' lines, and the scheduler's side: applying one and saving the list.
#include "core/ListCommands.h"

#include "base/Errors.h"
#include "core/Scheduler.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

namespace {

// Every request line of a list command starts with this, so that a holder that only knows
// the editor's request tells the two apart.
const QByteArray RequestPrefix = "list-command ";

const char *const KindNames[] = {"add", "remove", "enable", "disable", "run-now"};

QJsonObject EntryObject(const TActionEntry &e) {
  return {{QStringLiteral("kind"), static_cast<int>(e.TimePoint)},
          {QStringLiteral("first"), e.FirstDate},
          {QStringLiteral("last"), e.LastDate},
          {QStringLiteral("freq"), e.Freq},
          {QStringLiteral("allCalls"), e.AllCalls},
          {QStringLiteral("sudden"), e.SuddenStart},
          {QStringLiteral("action"), e.Action.Text()},
          {QStringLiteral("active"), e.Active},
          {QStringLiteral("weekdays"), static_cast<int>(e.Weekdays)},
          {QStringLiteral("late"), static_cast<double>(e.LateLimitMs)},
          {QStringLiteral("ifRunning"), static_cast<int>(e.IfRunning)},
          {QStringLiteral("timeLimit"), static_cast<double>(e.TimeLimitMs)}};
}

// The entry of o, or empty when a value lies outside what an entry may hold: the line comes
// from another process, so it is read as carefully as a file.
std::optional<TActionEntry> EntryOf(const QJsonObject &o) {
  TActionEntry e;
  const int kind = o.value(QStringLiteral("kind")).toInt(-1);
  const int weekdays = o.value(QStringLiteral("weekdays")).toInt(-1);
  const int ifRunning = o.value(QStringLiteral("ifRunning")).toInt(-1);
  const double late = o.value(QStringLiteral("late")).toDouble(-1);
  const double timeLimit = o.value(QStringLiteral("timeLimit")).toDouble(-1);
  e.FirstDate = o.value(QStringLiteral("first")).toDouble(0);
  e.LastDate = o.value(QStringLiteral("last")).toDouble(0);
  e.Freq = o.value(QStringLiteral("freq")).toDouble(-1);
  if (kind < tpFrequency || kind > tpYearly || weekdays < 1 || weekdays > AllWeekdays ||
      ifRunning < irParallel || ifRunning > irAfter || !(late >= 0 && late <= MaxDurationMs) ||
      !(timeLimit >= 0 && timeLimit <= MaxDurationMs) || !IsEncodableDateTime(e.FirstDate) ||
      !IsEncodableDateTime(e.LastDate) || !(e.Freq >= 0 && e.Freq < 3652059))
    return std::nullopt;
  e.TimePoint = static_cast<TTimePoint>(kind);
  e.Weekdays = static_cast<std::uint8_t>(weekdays);
  e.IfRunning = static_cast<TIfRunning>(ifRunning);
  e.LateLimitMs = static_cast<std::int64_t>(late);
  e.TimeLimitMs = static_cast<std::int64_t>(timeLimit);
  e.AllCalls = o.value(QStringLiteral("allCalls")).toBool();
  e.SuddenStart = o.value(QStringLiteral("sudden")).toBool();
  e.Active = o.value(QStringLiteral("active")).toBool(true);
  e.Action = o.value(QStringLiteral("action")).toString();
  if (e.Action.IsEmpty())
    return std::nullopt;
  return e;
}

} // namespace

QByteArray ListCommandRequest(const TListCommand &command) {
  QJsonObject o{{QStringLiteral("op"), QLatin1String(KindNames[command.Kind])},
                {QStringLiteral("number"), command.Number}};
  if (command.Kind == TListCommand::Add)
    o.insert(QStringLiteral("entry"), EntryObject(command.Entry));
  return RequestPrefix + QJsonDocument(o).toJson(QJsonDocument::Compact);
}

std::optional<TListCommand> ParseListCommandRequest(const QByteArray &line) {
  if (!line.startsWith(RequestPrefix))
    return std::nullopt;
  const QJsonObject o = QJsonDocument::fromJson(line.mid(RequestPrefix.size())).object();
  TListCommand command;
  const QString op = o.value(QStringLiteral("op")).toString();
  int kind = 0;
  while (kind < 5 && op != QLatin1String(KindNames[kind]))
    ++kind;
  if (kind == 5)
    return std::nullopt;
  command.Kind = static_cast<TListCommand::TKind>(kind);
  command.Number = o.value(QStringLiteral("number")).toInt(0);
  if (command.Kind == TListCommand::Add) {
    const std::optional<TActionEntry> entry = EntryOf(o.value(QStringLiteral("entry")).toObject());
    if (!entry)
      return std::nullopt;
    command.Entry = *entry;
  }
  return command;
}

QByteArray ListCommandAnswer(const TListCommandResult &result) {
  const QJsonObject o{{QStringLiteral("ok"), result.Ok},
                      {QStringLiteral("number"), result.Number},
                      {QStringLiteral("error"), result.Error},
                      {QStringLiteral("badNumber"), result.BadNumber}};
  return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

std::optional<TListCommandResult> ParseListCommandAnswer(const QByteArray &line) {
  const QJsonObject o = QJsonDocument::fromJson(line).object();
  if (!o.contains(QStringLiteral("ok")))
    return std::nullopt;
  return TListCommandResult{
      o.value(QStringLiteral("ok")).toBool(), o.value(QStringLiteral("number")).toInt(),
      o.value(QStringLiteral("error")).toString(), o.value(QStringLiteral("badNumber")).toBool()};
}

TListCommandResult TScheduler::ApplyListCommand(const TListCommand &command, const TMoment &now) {
  TListCommandResult result;
  // A tick that waits on a message window runs the event loop: the list is not changed
  // under its feet.
  if (FTickBusy) {
    result.Error = QStringLiteral("Kronolab führt gerade Aktionen aus; bitte gleich noch "
                                  "einmal versuchen.");
    return result;
  }
  const int count = FActionList.Count();
  if (command.Kind != TListCommand::Add && (command.Number < 1 || command.Number > count)) {
    result.Error =
        count == 0
            ? QStringLiteral("Es gibt keine Aktion Nr. %1, die Liste ist leer.").arg(command.Number)
            : QStringLiteral("Es gibt keine Aktion Nr. %1 (nur 1 bis %2).")
                  .arg(command.Number)
                  .arg(count);
    result.BadNumber = true;
    return result;
  }
  const int index = command.Number - 1;
  switch (command.Kind) {
  case TListCommand::Add: {
    TActionEntry entry = command.Entry;
    // No call for points before it was added.
    entry.StartFrom = now.Wall;
    AddAction(entry);
    result.Number = FActionList.Count();
    break;
  }
  case TListCommand::Remove:
    FDueList.Clear(); // its references would dangle
    FReportedFaults.erase(FActionList[index]);
    FActionList.Delete(index);
    FKeyedEntries.clear();
    ++FListGeneration;
    result.Number = command.Number;
    break;
  case TListCommand::Enable:
  case TListCommand::Disable: {
    TActionEntry &entry = *FActionList[index];
    const bool on = command.Kind == TListCommand::Enable;
    // Switched on, it makes no calls for the time it was off.
    if (on && !entry.Active)
      entry.StartFrom = now.Wall;
    entry.Active = on;
    result.Number = command.Number;
    break;
  }
  case TListCommand::RunNow:
    result.Ok = RunNow(index).Done;
    result.Number = command.Number;
    if (!result.Ok)
      result.Error = QStringLiteral("Kronolab führt gerade Aktionen aus; bitte gleich noch "
                                    "einmal versuchen.");
    return result; // nothing to save
  }
  try {
    SaveConfiguration();
    result.Ok = true;
  } catch (const std::exception &error) {
    result.Error = QStringLiteral("Geändert, aber nicht gesichert: ") + ErrorMessage(error);
  }
  return result;
}
