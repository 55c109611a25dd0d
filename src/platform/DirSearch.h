// Directory search with the wildcards of an action text.
#pragma once

#include <QString>
#include <QStringList>

// True when name matches pattern: '*' any run of characters, '?' any single character,
// everything else literally and case-sensitively.
bool MatchesWildcard(const QString &name, const QString &pattern);

// The names (not paths) of every entry of folder that matches pattern: files, sub-folders
// and names beginning with a dot alike, never "." and "..", sorted by name. An empty folder
// means the current folder; a folder that cannot be read gives no names.
QStringList FindEntries(const QString &folder, const QString &pattern);
