// Folders the action commands ask about: whether a path is one, the folder for temporary
// files and the program's current folder.
#pragma once

#include <QString>

// True when path names an existing folder, hidden or not; a trailing separator is allowed.
bool IsFolder(const QString &path);
// The folder for temporary files (TMPDIR, else /tmp), always ending with a separator.
QString TempFolder();
// The program's current folder, without a trailing separator.
QString CurrentFolder();
