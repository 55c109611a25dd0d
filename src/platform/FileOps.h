// File operations with the semantics the action commands rely on: a copy that replaces
// its target atomically, a move that never replaces, delete, rename and one-level mkdir.
// Each returns whether it succeeded and raises nothing.
#pragma once

#include <QString>
#include <functional>

// Which step of a copy failed.
enum class TCopyFailure { None, OpenSource, CreateTarget, ReadWrite };

// Copies source's bytes, permissions and modification time to target, replacing an existing
// target. The copy
// is written to a temporary file beside target and renamed over it, so a failed copy leaves
// the old target (or none) and copying a file onto itself by another spelling keeps it.
// A folder as source or target fails. failure, when given, says which step failed.
bool CopyFileReplacing(const QString &source, const QString &target,
                       TCopyFailure *failure = nullptr);
// Moves (renames) source to target; fails when target exists. Across file systems a file
// is copied (with its permissions and modification time) and the source deleted.
bool MoveFileNoReplace(const QString &source, const QString &target);
// Deletes a file (not a folder).
bool DeleteFile(const QString &path);
// Renames oldName to newName, which may lie in another folder; fails when newName exists.
bool RenameFile(const QString &oldName, const QString &newName);
// Creates one folder; its parent must exist, and an existing folder fails.
bool CreateFolder(const QString &path);

// The system calls through which a move puts a copy in place without replacing anything. A
// file system may refuse some of them (vfat and exFAT cannot link); tests replace one to
// produce such a refusal where no such file system is at hand. Each returns 0 or -1 with errno.
struct TNoReplaceCalls {
  std::function<int(const char *from, const char *to)> Link;
  std::function<int(const char *from, const char *to)> RenameNoReplace;
};
// The calls every move uses; the system's own unless a test has set others.
TNoReplaceCalls &NoReplaceCalls();
