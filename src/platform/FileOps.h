// File operations with the semantics the action commands rely on: a copy that replaces
// its target atomically, a move that never replaces, delete, rename and one-level mkdir.
// Each returns whether it succeeded and raises nothing.
#pragma once

#include <QString>

// Which step of a copy failed.
enum class TCopyFailure { None, OpenSource, CreateTarget, ReadWrite };

// Copies source's bytes and permissions to target, replacing an existing target. The copy
// is written to a temporary file beside target and renamed over it, so a failed copy leaves
// the old target (or none) and copying a file onto itself by another spelling keeps it.
// A folder as source or target fails. failure, when given, says which step failed.
bool CopyFileReplacing(const QString &source, const QString &target,
                       TCopyFailure *failure = nullptr);
// Moves (renames) source to target; fails when target exists. Across file systems a file
// is copied and the source deleted.
bool MoveFileNoReplace(const QString &source, const QString &target);
// Deletes a file (not a folder).
bool DeleteFile(const QString &path);
// Renames oldName to newName, which may lie in another folder; fails when newName exists.
bool RenameFile(const QString &oldName, const QString &newName);
// Creates one folder; its parent must exist, and an existing folder fails.
bool CreateFolder(const QString &path);
