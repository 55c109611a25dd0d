#include "platform/PathSyntax.h"

const QChar FolderSeparator = u'/';
const QChar RandomChoicePrefix = u'@';

bool IsFolderSeparator(QChar c) {
  return c == FolderSeparator;
}

static qsizetype LastSeparator(const QString &path) {
  for (qsizetype i = path.size() - 1; i >= 0; --i)
    if (IsFolderSeparator(path[i]))
      return i;
  return -1;
}

QString FolderPart(const QString &path) {
  return path.left(LastSeparator(path) + 1);
}

QString FileNamePart(const QString &path) {
  return path.mid(LastSeparator(path) + 1);
}

QString WithTrailingSeparator(const QString &path) {
  if (!path.isEmpty() && IsFolderSeparator(path.back()))
    return path;
  return path + FolderSeparator;
}
