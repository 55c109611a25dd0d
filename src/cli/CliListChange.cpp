#include "cli/CliListChange.h"

#include "cli/CliConfig.h"

#include "base/Errors.h"
#include "core/CmdLine.h"
#include "core/InstanceLock.h"
#include "core/MessageSink.h"
#include "core/Scheduler.h"

#include <QElapsedTimer>
#include <QThread>

namespace {

// How long a running scheduler may take to answer: it answers between its ticks.
constexpr int AnswerWaitMs = 15000;
// A scheduler that is just starting or ending is asked again within this time.
constexpr int RetryForMs = 5000;

// Applies command to the file, whose lock this process holds.
TListCommandResult ApplyToFile(const QString &commandName, const QString &fileName,
                               const TListCommand &command, QTextStream &err) {
  TScheduler scheduler;
  TCliErrSink sink(commandName, err);
  scheduler.SetMessageSink(&sink);
  scheduler.SetConfigFileName(fileName);
  try {
    scheduler.LoadConfiguration(fileName);
  } catch (const std::exception &error) {
    return {false, 0, ErrorMessage(error), false};
  }
  if (command.Kind == TListCommand::RunNow) {
    // Recorded as the tray's "Jetzt ausführen" is.
    scheduler.OpenJournal();
    scheduler.MergeJournalLastDates();
  }
  return scheduler.ApplyListCommand(command, scheduler.Clock());
}

} // namespace

int DeliverListCommand(const QString &commandName, const QString &given,
                       const TListCommand &command, QTextStream &err, TListCommandResult &result) {
  // A typing error in a named file must not look like an empty list; add may begin one.
  const std::optional<QString> name =
      CliConfigFileName(commandName, given, command.Kind == TListCommand::Add, err);
  if (!name)
    return 1;
  const QString &fileName = *name;
  TInstanceLock lock(fileName);
  lock.AcceptRequests = false;
  QElapsedTimer trying;
  trying.start();
  for (;;) {
    if (lock.TryAcquire({})) {
      result = ApplyToFile(commandName, fileName, command, err);
      break;
    }
    if (!lock.ErrorText().isEmpty()) {
      err << commandName << ": " << lock.ErrorText() << "\n";
      return 1;
    }
    QElapsedTimer asked;
    asked.start();
    const QByteArray answer = SystemPlatform().AskNameHolder(
        TInstanceLock::ClaimName(fileName), ListCommandRequest(command), AnswerWaitMs);
    if (const std::optional<TListCommandResult> answered = ParseListCommandAnswer(answer)) {
      result = *answered;
      break;
    }
    // Asked again only when nobody took the line: one that took it and did not answer may
    // have applied it, and a second add would make two entries.
    if (!answer.isEmpty() || asked.elapsed() > 1000 || trying.elapsed() > RetryForMs) {
      err << commandName << ": " << fileName
          << (answer.isEmpty() ? QStringLiteral(": Das laufende Kronolab antwortet nicht; ob die "
                                                "Änderung ankam, zeigt kronolab-cli list.")
                               : QStringLiteral(": Das laufende Kronolab nimmt diesen Befehl nicht "
                                                "an; nichts geändert."))
          << "\n";
      return 1;
    }
    QThread::msleep(100);
  }
  if (result.Ok)
    return 0;
  err << commandName << ": " << result.Error << "\n";
  return result.BadNumber ? 2 : 1;
}
