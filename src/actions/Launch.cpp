#include "actions/Launch.h"

#include "actions/CommandLineRules.h"

QString StartProgram(const QString &folder, const QString &commandLine, std::int64_t *processId,
                     TPlatform &platform) {
  // The working folder goes to the child directly; ours never changes.
  switch (platform.LaunchProcess(folder, ProgramAndArguments(commandLine), processId)) {
  case ExecOutOfResources:
    return QStringLiteral("Evt. zuwenig Speicher oder Resourcen verfügbar !");
  case ExecFileNotFound:
    return QStringLiteral("Datei nicht gefunden !");
  case ExecPathNotFound:
    return QStringLiteral("Pfad nicht gefunden !");
  case ExecBadFormat:
    return QStringLiteral("Fehler in Exe-Datei !");
  default:
    return {};
  }
}
