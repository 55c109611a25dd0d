#include "platform/Folders.h"

#include "platform/PathSyntax.h"

#include <QDir>
#include <QFile>
#include <sys/stat.h>

bool IsFolder(const QString &path) {
  if (path.isEmpty())
    return false;
  struct stat info {};
  return stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

QString TempFolder() {
  QString folder = qEnvironmentVariable("TMPDIR");
  if (folder.isEmpty())
    folder = QStringLiteral("/tmp");
  return WithTrailingSeparator(folder);
}

QString CurrentFolder() {
  return QDir::currentPath();
}
