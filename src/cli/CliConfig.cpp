#include "cli/CliConfig.h"

#include "base/Errors.h"
#include "core/CmdLine.h"
#include "core/Scheduler.h"

#include <QDir>
#include <QFileInfo>

bool LoadCliConfiguration(const QString &command, const QString &given, TScheduler &scheduler,
                          QTextStream &err) {
  QString fileName;
  try {
    fileName =
        StartupFileNames(given.isEmpty() ? QStringList() : QStringList{given}, QDir::currentPath())
            .ConfigFileName;
  } catch (const std::exception &error) {
    err << command << ": " << ErrorMessage(error) << "\n";
    return false;
  }
  // A typing error in a named file must not look like an empty action list.
  if (!given.isEmpty() && !QFileInfo::exists(fileName)) {
    err << command << ": " << fileName << ": Datei nicht gefunden\n";
    return false;
  }
  try {
    scheduler.ConfigFileName = fileName;
    scheduler.LoadConfiguration(fileName);
  } catch (const std::exception &error) {
    err << command << ": " << fileName << ": " << ErrorMessage(error) << "\n";
    return false;
  }
  return true;
}
