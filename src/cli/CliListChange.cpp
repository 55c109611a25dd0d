#include "cli/CliListChange.h"

#include "base/Errors.h"
#include "core/CmdLine.h"
#include "core/InstanceLock.h"
#include "core/MessageSink.h"
#include "core/Scheduler.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>

namespace {

// How long a running scheduler may take to answer: it answers between its ticks.
constexpr int AnswerWaitMs = 15000;
// A scheduler that is just starting or ending is asked again within this time.
constexpr int RetryForMs = 5000;

// The load's and a run-now's messages on stderr.
class TErrSink : public TMessageSink {
public:
  TErrSink(const QString &command, QTextStream &err) : FCommand(command), FErr(err) {}
  void Show(const QString &, const QString &header, const QString &message) override {
    FErr << FCommand << ": " << header << "\n"
         << QString(message).replace(QStringLiteral("\r\n"), QStringLiteral("\n")) << "\n";
  }

private:
  QString FCommand;
  QTextStream &FErr;
};

// Applies command to the file, whose lock this process holds.
TListCommandResult ApplyToFile(const QString &commandName, const QString &fileName,
                               const TListCommand &command, QTextStream &err) {
  TScheduler scheduler;
  TErrSink sink(commandName, err);
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
  QString fileName;
  try {
    fileName =
        StartupFileNames(given.isEmpty() ? QStringList() : QStringList{given}, QDir::currentPath())
            .ConfigFileName;
  } catch (const std::exception &error) {
    err << commandName << ": " << ErrorMessage(error) << "\n";
    return 1;
  }
  // A typing error in a named file must not look like an empty list; add may begin one.
  if (!given.isEmpty() && command.Kind != TListCommand::Add && !QFileInfo::exists(fileName)) {
    err << commandName << ": " << fileName << ": Datei nicht gefunden\n";
    return 1;
  }
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
