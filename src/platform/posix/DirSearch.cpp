#include "platform/DirSearch.h"

#include <QDir>

bool MatchesWildcard(const QString &name, const QString &pattern) {
  // Iterative matching with one back-track point per '*': linear in practice and never
  // recursive, so a hostile pattern cannot blow the stack.
  qsizetype n = 0, p = 0, starP = -1, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == u'?' || pattern[p] == name[n])) {
      ++n;
      ++p;
    } else if (p < pattern.size() && pattern[p] == u'*') {
      starP = p++;
      starN = n;
    } else if (starP >= 0) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == u'*')
    ++p;
  return p == pattern.size();
}

QStringList FindEntries(const QString &folder, const QString &pattern) {
  QDir dir(folder.isEmpty() ? QStringLiteral(".") : folder);
  const QStringList all = dir.entryList(
      QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
  QStringList found;
  for (const QString &name : all)
    if (MatchesWildcard(name, pattern))
      found.append(name);
  return found;
}
