#include "core/CmdLine.h"

#include "core/IniHelp.h"

#include <QCoreApplication>
#include <QDir>

TCommandLineHandler::TCommandLineHandler()
    : TCommandLineHandler(QCoreApplication::arguments().mid(1)) {}

TCommandLineHandler::TCommandLineHandler(const QStringList &arguments) {
  bool expecting = false;
  for (const QString &argument : arguments) {
    if (argument == QLatin1String("-i")) {
      expecting = true;
    } else if (expecting) {
      IniFileName = argument; // taken as given, not made absolute
      expecting = false;
    } else {
      Parameters.append(argument);
    }
  }
  if (!IniFileName.isEmpty())
    SetConfigFileLocation(IniFileName);
  else
    IniFileName = ConfigFileLocation();
}

QString ChangeFileExt(const QString &fileName, const QString &extension) {
  const qsizetype slash = fileName.lastIndexOf(u'/');
  const qsizetype dot = fileName.lastIndexOf(u'.');
  if (dot > slash)
    return fileName.left(dot) + extension;
  return fileName + extension;
}

namespace {
QString Expanded(const QString &name, const QString &currentFolder) {
  return QDir::cleanPath(QDir(currentFolder).absoluteFilePath(name));
}
} // namespace

TStartupFiles StartupFileNames(const QStringList &arguments, const QString &currentFolder) {
  TStartupFiles files;
  if (!arguments.isEmpty() && !arguments[0].isEmpty())
    files.ConfigFileName = Expanded(arguments[0], currentFolder);
  // "-i" in second place is the option that follows an empty first argument, not a log
  // file of that name in the current folder.
  if (arguments.size() >= 2 && !arguments[1].isEmpty() && arguments[1] != QLatin1String("-i"))
    files.LogFileName = Expanded(arguments[1], currentFolder);
  if (files.ConfigFileName.isEmpty()) {
    const TCommandLineHandler handler(arguments);
    files.ConfigFileName = handler.IniFileName;
  }
  if (files.LogFileName.isEmpty() && !files.ConfigFileName.isEmpty())
    files.LogFileName = ChangeFileExt(files.ConfigFileName, QStringLiteral(".log"));
  return files;
}
