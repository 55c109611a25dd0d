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
  if (!CopyBytes(in.Fd, out.Fd) || fchmod(out.Fd, info.st_mode & 07777) != 0 ||
      fsync(out.Fd) != 0) {
    unlink(tempName.constData());
    failure = TCopyFailure::ReadWrite;
    return false;
  }
  return true;
}

} // namespace

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
  if (renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
    return true;
  struct stat info {};
  if (errno == EINVAL || errno == ENOSYS) {
    // A file system without RENAME_NOREPLACE: test, then rename.
    if (lstat(to.constData(), &info) == 0 || errno != ENOENT)
      return false;
    return rename(from.constData(), to.constData()) == 0;
  }
  if (errno != EXDEV)
    return false;
  // Another file system: copy to a temporary name there, link it in place (link never
  // replaces), then remove the temporary name and the source. Folders are not moved so.
  QByteArray tempName;
  TCopyFailure step = TCopyFailure::None;
  if (!CopyToTemporary(source, target, tempName, step))
    return false;
  bool linked = link(tempName.constData(), to.constData()) == 0;
  unlink(tempName.constData());
  if (!linked)
    return false;
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
