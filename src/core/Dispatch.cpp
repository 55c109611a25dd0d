// Dispatch of a due call: messages, internal commands and programs, the log, and the error
// handler that reports what an action raised.
#include "core/Scheduler.h"

#include "actions/InternalCommands.h"
#include "actions/Launch.h"
#include "actions/Placeholders.h"
#include "base/Errors.h"
#include "core/MessageSink.h"
#include "platform/OwnFiles.h"
#include "storage/FileReports.h"

#include <QFile>
#include <cerrno>
#include <utility>

void TScheduler::TakeDueCall(TActionEntry &entry) {
  entry.DueFlag = false;
}

void TScheduler::ExecuteAction(TActionEntry &entry) {
  // The journal's call this is (0 when nobody recorded it), and the key its program runs under.
  const std::int64_t call = std::exchange(FPendingCall, 0);
  const QString key = std::exchange(FDispatchKey, {});
  TakeDueCall(entry);
  const QString stored = entry.Action;
  FCallAction = stored;
  const TCallResult nothingToDo{TCallState::Done, 0, 0, QStringLiteral("Nichts auszuführen"), 0};
  if (stored.isEmpty()) {
    FinishJournalCall(call, nothingToDo);
    return;
  }
  const TDateTime moment = Clock();
  // Outside the guard: an error here ends the tick and is reported there.
  QString text = stored;
  TChosenMask chosen;
  try {
    // A chosen file name reaches a program or a command as one argument, a message as it is.
    ExpandPlaceholders(text, moment, ChosenNameForm(stored), &chosen, FPlatform);
  } catch (const std::exception &error) {
    FinishJournalCall(call, {TCallState::Failed, 0, 0, ErrorMessage(error), 0});
    throw;
  }
  if (text.isEmpty()) {
    FinishJournalCall(call, nothingToDo);
    return;
  }
  BeginJournalCall(call, moment, text);
  const QChar kind = stored.front();
  try {
    FCurrentAction = entry;
    if (kind == u'"' || kind == u'\'') {
      QString message = text.mid(1);
      if (message.endsWith(u'"'))
        message.chop(1);
      ShowMessageWindow(QStringLiteral("Nachricht von ") + FApplicationTitle,
                        QStringLiteral("Nachricht vom ") + DateTimeText(moment), message);
    } else if (kind == u'%') {
      RunInternalCommand(text, chosen);
    } else {
      LaunchProgram(QString(), text);
    }
    if (FLogging)
      WriteLogLine(DateTimeText(moment) + QStringLiteral(" ; ") + FCurrentAction.Action.Text() +
                   QStringLiteral(" ;") + DateTimeText(FCurrentAction.FirstDate) +
                   QStringLiteral(" ; ") + DateTimeText(FCurrentAction.LastDate));
    FCurrentAction = TActionEntry{};
  } catch (const std::exception &error) {
    HandleAppException(error);
    FCallFailures.append(ErrorMessage(error));
    // Once reported, the failure belongs to this action only; a later error outside any
    // action must not name it.
    FCurrentAction = TActionEntry{};
  }
  const TCallResult result = CollectedResult(kind);
  if (result.State == TCallState::Running)
    WatchProgram(result.ProcessId, call, key, entry.TimeLimitMs);
  FinishJournalCall(call, result);
}

void TScheduler::RunInternalCommand(const QString &text, const QList<bool> &chosen) {
  TCommandHost host;
  host.ReportFailure = [this](const QString &message) {
    // Told at once as ever, and kept with the call in the journal.
    FCallFailures.append(message);
    ShowMessageWindow(QStringLiteral("Fehler"), QString(), message);
  };
  host.LaunchProgram = [this](const QString &folder, const QString &commandLine) {
    LaunchProgram(folder, commandLine);
  };
  host.Platform = &FPlatform;
  RunCommand(text, host, chosen);
}

void TScheduler::LaunchProgram(const QString &folder, const QString &commandLine) {
  std::int64_t processId = 0;
  const QString failure = StartProgram(folder, commandLine, &processId, FPlatform);
  if (failure.isEmpty()) {
    FCallProcessId = processId;
    return;
  }
  FCallFailures.append(failure);
  ShowMessageWindow(QStringLiteral("Fehler"),
                    QStringLiteral("Fehler bei Ausführung von \"%1\"").arg(commandLine), failure);
}

void TScheduler::WriteLogLine(const QString &line) {
  // Appending creates the file (0600) when it is missing; an existing log is never truncated.
  // A link, a FIFO or another user's file in its place is refused rather than written.
  TFileResult result;
  if (FLogFileName.isEmpty())
    result.Error = ENOENT;
  else
    result = AppendOwnFile(FLogFileName, (line + QStringLiteral("\r\n")).toUtf8());
  if (!result.Ok()) {
    const QString reason = FileResultReason(result);
    throw EInOutError(LogWriteErrorText(FLogFileName, reason), reason);
  }
}

void TScheduler::ShowMessageWindow(const QString &caption, const QString &header,
                                   const QString &message) {
  if (FMessageSink)
    FMessageSink->Show(caption, header, message);
}

void TScheduler::HandleAppException(const std::exception &error) {
  HandleAppException(ErrorMessage(error));
}

void TScheduler::HandleAppException(const QString &message) {
  const QString &action = FCurrentAction.Action;
  const QString text =
      action.isEmpty() ? QStringLiteral("Fehler : ") + message
                       : QStringLiteral("Fehler in ") + action + QStringLiteral("\r\n") + message;
  try {
    ShowMessageWindow(QStringLiteral("Fehler"), QString(), text);
  } catch (...) {
    // The handler of last resort raises nothing; a sink that fails loses this one message.
  }
}
