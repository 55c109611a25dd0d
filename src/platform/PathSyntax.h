// How paths are spelled on this operating system: the folder separator, the prefix that
// asks for a random choice among a pattern's matches, and the parts of a path.
#pragma once

#include <QChar>
#include <QString>

// The separator that ends a folder part ('/' on POSIX).
extern const QChar FolderSeparator;
// The first character of a file argument that asks for one random match ('@' on POSIX,
// where a leading '/' is an absolute path).
extern const QChar RandomChoicePrefix;

// True for a character that ends the folder part of a path.
bool IsFolderSeparator(QChar c);
// Everything up to and including the last separator; empty when the path has none.
QString FolderPart(const QString &path);
// The text after the last separator (the whole path when it has none).
QString FileNamePart(const QString &path);
// path with one separator appended unless it already ends with one.
QString WithTrailingSeparator(const QString &path);
