#include "core/IniHelp.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString CachedLocation;

// The name the files of every Kronolab program are called after: the tray program's. So
// kronolab-cli finds exactly the tray's configuration (and with it its log and its lock).
const QString FileBaseName = QStringLiteral("kronolab");

QString ProgramFilePath() {
  if (QCoreApplication::instance() != nullptr)
    return QCoreApplication::applicationFilePath();
  return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
}

// The folder that stands for "APPDATA" on this system: APPDATA, else XDG_CONFIG_HOME, else
// ~/.config (either of the last two created when missing, as a fresh account may lack them);
// empty when none of them is known.
QString PerUserBase(TPlatform &platform) {
  QString base = platform.EnvironmentValue(QStringLiteral("APPDATA"));
  if (!base.isEmpty())
    return base;
  base = platform.EnvironmentValue(QStringLiteral("XDG_CONFIG_HOME"));
  if (base.isEmpty()) {
    // Without a home folder there is no per-user place: the file beside the program serves.
    const QString home = platform.EnvironmentValue(QStringLiteral("HOME"));
    if (home.isEmpty())
      return {};
    base = home + QStringLiteral("/.config");
  }
  QDir().mkdir(base, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  return base;
}

// Creates one folder level (owner-only) unless it exists.
void MakeFolder(const QString &path) {
  if (!QFileInfo(path).isDir())
    QDir().mkdir(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

} // namespace

QString ConfigFileLocation(TPlatform &platform) {
  if (!CachedLocation.isEmpty())
    return CachedLocation;
  const QFileInfo program(ProgramFilePath());
  const QString &base = FileBaseName;
  const QString besideProgram = program.absolutePath() + u'/' + base + QStringLiteral(".ini");
  CachedLocation = besideProgram;
  if (QFileInfo::exists(besideProgram))
    return CachedLocation;
  const QString appData = PerUserBase(platform);
  if (appData.isEmpty())
    return CachedLocation;
  QString folder = appData;
  if (!folder.endsWith(u'/'))
    folder += u'/';
  folder += QStringLiteral("Kronolab-Software");
  MakeFolder(folder);
  folder += u'/' + base;
  MakeFolder(folder);
  CachedLocation = folder + u'/' + base + QStringLiteral(".ini");
  return CachedLocation;
}

void SetConfigFileLocation(const QString &path) {
  CachedLocation = path;
}

void ResetConfigFileLocation() {
  CachedLocation.clear();
}
