#include "platform/FileOps.h"

#include "platform/PathSyntax.h"

#include <QFile>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray Native(const QString &path) {
  return QFile::encodeName(path);
}

// Closes a descriptor when it goes out of scope.
struct TFd {
  int Fd = -1;
  explicit TFd(int fd) : Fd(fd) {}
  ~TFd() {
    if (Fd >= 0)
      close(Fd);
  }
  TFd(const TFd &) = delete;
  TFd &operator=(const TFd &) = delete;
};

bool WriteAll(int fd, const char *data, ssize_t size) {
  while (size > 0) {
    ssize_t written = write(fd, data, static_cast<size_t>(size));
    if (written < 0) {
      if (errno == EINTR)
        continue;
      return false;
    }
    data += written;
    size -= written;
  }
  return true;
}

bool CopyBytes(int from, int to) {
  char buffer[64 * 1024];
  for (;;) {
    ssize_t got = read(from, buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR)
        continue;
      return false;
    }
    if (got == 0)
      return true;
    if (!WriteAll(to, buffer, got))
      return false;
  }
}

// Gives the copy what a copy on Windows keeps: the time of the last change (and, here, the
// permissions). A file system that cannot hold them (vfat knows no permissions and refuses
// chmod) keeps what it can: a copy onto a USB stick must not fail for that.
bool KeepTimeAndMode(int fd, const struct stat &source) {
  const timespec times[2] = {source.st_atim, source.st_mtim};
  const bool modeKept = fchmod(fd, source.st_mode & 07777) == 0 || errno == EPERM;
  const bool timeKept = futimens(fd, times) == 0 || errno == EPERM;
  return modeKept && timeKept;
}

// Writes a copy of source into a new temporary file in target's folder; its name on success.
bool CopyToTemporary(const QString &source, const QString &target, QByteArray &tempName,
                     TCopyFailure &failure) {
  TFd in(open(Native(source).constData(), O_RDONLY | O_CLOEXEC));
  struct stat info {};
  if (in.Fd < 0 || fstat(in.Fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    failure = TCopyFailure::OpenSource;
    return false;
  }
  QString folder = FolderPart(target);
  tempName = Native(folder + QStringLiteral(".kronolab-copy-XXXXXX"));
  TFd out(mkostemp(tempName.data(), O_CLOEXEC));
  if (out.Fd < 0) {
    failure = TCopyFailure::CreateTarget;
    return false;
  }
  if (!CopyBytes(in.Fd, out.Fd) || !KeepTimeAndMode(out.Fd, info) || fsync(out.Fd) != 0) {
    unlink(tempName.constData());
    failure = TCopyFailure::ReadWrite;
    return false;
  }
  return true;
}

// Renames without replacing: RENAME_NOREPLACE where the file system knows it, else a test
// for the target just before the rename.
int RenameWithoutReplacing(const char *from, const char *to) {
  if (NoReplaceCalls().RenameNoReplace(from, to) == 0)
    return 0;
  if (errno != EINVAL && errno != ENOSYS)
    return -1;
  struct stat info {};
  if (lstat(to, &info) == 0) {
    errno = EEXIST;
    return -1;
  }
  if (errno != ENOENT)
    return -1;
  return rename(from, to);
}

} // namespace

TNoReplaceCalls &NoReplaceCalls() {
  static TNoReplaceCalls calls{[](const char *from, const char *to) { return link(from, to); },
                               [](const char *from, const char *to) {
                                 return renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
                               }};
  return calls;
}

bool CopyFileReplacing(const QString &source, const QString &target, TCopyFailure *failure) {
  TCopyFailure step = TCopyFailure::None;
  QByteArray tempName;
  bool ok = !target.isEmpty() && !IsFolderSeparator(target.back());
  if (!ok)
    step = TCopyFailure::CreateTarget;
  else if ((ok = CopyToTemporary(source, target, tempName, step))) {
    if (rename(tempName.constData(), Native(target).constData()) != 0) {
      unlink(tempName.constData());
      step = TCopyFailure::CreateTarget;
      ok = false;
    }
  }
  if (failure)
    *failure = step;
  return ok;
}

bool MoveFileNoReplace(const QString &source, const QString &target) {
  const QByteArray from = Native(source), to = Native(target);
  if (source.isEmpty() || target.isEmpty())
    return false;
  if (RenameWithoutReplacing(from.constData(), to.constData()) == 0)
    return true;
  if (errno != EXDEV)
    return false;
  // Another file system: copy to a temporary name there and put it in place without
  // replacing anything, then remove the source. Folders are not moved so.
  QByteArray tempName;
  TCopyFailure step = TCopyFailure::None;
  if (!CopyToTemporary(source, target, tempName, step))
    return false;
  // link never replaces; a file system that cannot link (vfat, exFAT) still renames.
  bool placed = NoReplaceCalls().Link(tempName.constData(), to.constData()) == 0;
  if (placed || errno == EEXIST)
    unlink(tempName.constData());
  else
    placed = RenameWithoutReplacing(tempName.constData(), to.constData()) == 0;
  if (!placed) {
    unlink(tempName.constData());
    return false;
  }
  if (unlink(from.constData()) != 0) {
    // The source stays, so the move did not happen: take the copy back.
    unlink(to.constData());
    return false;
  }
  return true;
}

bool DeleteFile(const QString &path) {
  struct stat info {};
  const QByteArray name = Native(path);
  if (path.isEmpty() || lstat(name.constData(), &info) != 0 || S_ISDIR(info.st_mode))
    return false;
  return unlink(name.constData()) == 0;
}

bool RenameFile(const QString &oldName, const QString &newName) {
  return MoveFileNoReplace(oldName, newName);
}

bool CreateFolder(const QString &path) {
  return !path.isEmpty() && mkdir(Native(path).constData(), 0777) == 0;
}
