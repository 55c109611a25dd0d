#include "core/Scheduler.h"

#include "platform/Process.h"

void TScheduler::LaunchProgram(const QString &folder, const QString &commandLine) {
  // The working folder goes to the child directly; ours never changes.
  const int result = LaunchProcess(folder, commandLine);
  QString message;
  switch (result) {
  case ExecOutOfResources:
    message = QStringLiteral("Evt. zuwenig Speicher oder Resourcen verfügbar !");
    break;
  case ExecFileNotFound:
    message = QStringLiteral("Datei nicht gefunden !");
    break;
  case ExecPathNotFound:
    message = QStringLiteral("Pfad nicht gefunden !");
    break;
  case ExecBadFormat:
    message = QStringLiteral("Fehler in Exe-Datei !");
    break;
  default:
    return;
  }
  ShowMessageWindow(QStringLiteral("Fehler"),
                    QStringLiteral("Fehler bei Ausführung von \"%1\"").arg(commandLine), message);
}
