#include "platform/OwnFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray Native(const QString &path) {
  return QFile::encodeName(path);
}

bool OursOrRoots(uid_t owner) {
  return owner == geteuid() || owner == 0;
}

// Others may change what the folder holds: it is writable by group or others, and without the
// sticky bit they may also remove or replace entries that are not theirs.
bool FolderOpenToOthers(mode_t mode) {
  return (mode & (S_IWGRP | S_IWOTH)) != 0 && (mode & S_ISVTX) == 0;
}

QString ParentFolder(const QString &path) {
  const qsizetype slash = path.lastIndexOf(u'/');
  return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

// Checks folder and every folder above it up to the root. All of them count, not only those
// below the home folder as sshd does: whoever may rename an entry of any of them can put a
// tree of his own in place of ours. A folder that does not exist holds nothing to replace.
TFileResult CheckFolders(QString folder) {
  TFileResult result;
  for (;;) {
    struct stat st {};
    if (stat(Native(folder).constData(), &st) == 0) {
      if (!OursOrRoots(st.st_uid)) {
        result.Refusal = TFileRefusal::FolderForeignOwner;
        result.Culprit = folder;
        return result;
      }
      if (FolderOpenToOthers(st.st_mode)) {
        result.Refusal = TFileRefusal::FolderWritableByOthers;
        result.Culprit = folder;
        return result;
      }
    }
    if (folder == u"/")
      return result;
    folder = ParentFolder(folder);
  }
}

// The real location of path (links resolved), or empty when it cannot be found.
QString RealPath(const QString &path) {
  char buffer[PATH_MAX];
  if (realpath(Native(path).constData(), buffer) == nullptr)
    return {};
  return QFile::decodeName(buffer);
}

// The folders above path as it was given and above its real location.
TFileResult CheckFoldersOf(const QString &absolutePath) {
  TFileResult result = CheckFolders(ParentFolder(absolutePath));
  if (!result.Ok())
    return result;
  QString real = RealPath(absolutePath);
  if (real.isEmpty()) {
    // A missing file: the real location of its folder.
    const QString folder = RealPath(ParentFolder(absolutePath));
    return folder.isEmpty() ? result : CheckFolders(folder);
  }
  return CheckFolders(ParentFolder(real));
}

// Refuses what st describes unless it is a regular file that only its owner, us or root, may
// change.
TFileRefusal CheckFile(const struct stat &st) {
  if (!S_ISREG(st.st_mode))
    return TFileRefusal::NotRegular;
  if (!OursOrRoots(st.st_uid))
    return TFileRefusal::ForeignOwner;
  if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
    return TFileRefusal::WritableByOthers;
  return TFileRefusal::None;
}

// Whether the file open at fd is a regular file of ours; if not, result says why. Asked of
// what was opened, since the file at the path may have been replaced after a first look.
bool CheckOpenedOwnFile(int fd, TFileResult &result) {
  struct stat st {};
  if (fstat(fd, &st) != 0)
    result.Error = errno;
  else if (!S_ISREG(st.st_mode))
    result.Refusal = TFileRefusal::NotRegular;
  else if (st.st_uid != geteuid())
    result.Refusal = TFileRefusal::ForeignOwner;
  return result.Ok();
}

} // namespace

TOwnFileContents ReadOwnFile(const QString &path, std::int64_t maxBytes) {
  TOwnFileContents contents;
  const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
  static_cast<TFileResult &>(contents) = CheckFoldersOf(absolute);
  if (!contents.Ok())
    return contents;
  const QByteArray native = Native(absolute);
  // Looked at before it is opened: opening a device may already do something.
  struct stat st {};
  if (stat(native.constData(), &st) != 0) {
    const int error = errno;
    // Missing, or a file where a folder should be: nothing there, as QFile::exists says.
    if (error != ENOENT && error != ENOTDIR) {
      contents.Exists = true;
      contents.Error = error;
    }
    return contents;
  }
  contents.Exists = true;
  if ((contents.Refusal = CheckFile(st)) != TFileRefusal::None)
    return contents;
  // Non-blocking, so that a FIFO put there in the meantime cannot hold us up in open().
  const int fd = open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    contents.Error = errno;
    return contents;
  }
  // Checked again on what was opened, in case the file was replaced after the first look.
  if (fstat(fd, &st) != 0)
    contents.Error = errno;
  else if ((contents.Refusal = CheckFile(st)) == TFileRefusal::None && st.st_size > maxBytes)
    contents.Refusal = TFileRefusal::TooLarge;
  if (contents.Ok()) {
    QByteArray bytes;
    bytes.reserve(static_cast<qsizetype>(st.st_size));
    char buffer[65536];
    for (;;) {
      const ssize_t n = read(fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR)
        continue;
      if (n < 0) {
        contents.Error = errno;
        break;
      }
      if (n == 0)
        break;
      bytes.append(buffer, n);
      // The size may grow while we read (or lie, as in /proc).
      if (bytes.size() > maxBytes) {
        contents.Refusal = TFileRefusal::TooLarge;
        break;
      }
    }
    if (contents.Ok())
      contents.Bytes = std::move(bytes);
  }
  close(fd);
  return contents;
}

TOwnFileCheck CheckOwnRegularFile(const QString &path) {
  TOwnFileCheck check;
  const QByteArray native = Native(path);
  struct stat st {};
  if (lstat(native.constData(), &st) != 0) {
    if (errno != ENOENT && errno != ENOTDIR) {
      check.Exists = true;
      check.Error = errno;
    }
    return check;
  }
  check.Exists = true;
  // Not opened at all unless it looks like a regular file: opening a device may do something.
  if (S_ISLNK(st.st_mode)) {
    check.Refusal = TFileRefusal::Link;
    return check;
  }
  if (!S_ISREG(st.st_mode)) {
    check.Refusal = TFileRefusal::NotRegular;
    return check;
  }
  // Opened to see that what is there now is still that file; non-blocking and not through a
  // link, in case either was put in its place since the look.
  const int fd =
      open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    const int error = errno;
    if (error == ELOOP)
      check.Refusal = TFileRefusal::Link;
    else if (error == ENOENT)
      check.Exists = false;
    else
      check.Error = error;
    return check;
  }
  CheckOpenedOwnFile(fd, check);
  close(fd);
  return check;
}

TFileResult AppendOwnFile(const QString &path, const QByteArray &bytes) {
  TFileResult result;
  const QByteArray native = Native(path);
  // O_NOFOLLOW: a link put in place of the log must not lead our writes into another file.
  // O_NONBLOCK: a FIFO without a reader fails at once instead of waiting for one.
  const int fd =
      open(native.constData(),
           O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY,
           S_IRUSR | S_IWUSR);
  if (fd < 0) {
    result.Error = errno;
    struct stat st {};
    if (lstat(native.constData(), &st) == 0) {
      if (S_ISLNK(st.st_mode))
        result = {0, TFileRefusal::Link, {}};
      else if (!S_ISREG(st.st_mode))
        result = {0, TFileRefusal::NotRegular, {}};
    }
    return result;
  }
  if (CheckOpenedOwnFile(fd, result))
    result.Error = WriteAllBytes(fd, bytes);
  if (close(fd) != 0 && result.Ok())
    result.Error = errno;
  return result;
}

int WriteAllBytes(int fd, const QByteArray &bytes) {
  const char *data = bytes.constData();
  qsizetype left = bytes.size();
  while (left > 0) {
    const ssize_t n = write(fd, data, static_cast<size_t>(left));
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      return errno;
    if (n == 0)
      return EIO;
    data += n;
    left -= n;
  }
  return 0;
}

int SyncFile(int fd) {
  while (fsync(fd) != 0) {
    if (errno != EINTR)
      return errno;
  }
  return 0;
}

int SetSavedFileMode(int fd, const QString &path) {
  mode_t mode = S_IRUSR | S_IWUSR;
  struct stat st {};
  if (stat(Native(path).constData(), &st) == 0)
    mode = st.st_mode & 07777 & ~static_cast<mode_t>(S_IWGRP | S_IWOTH);
  return fchmod(fd, mode) == 0 ? 0 : errno;
}

bool RemoveStaleOwnFile(const QString &path, int minAgeSeconds) {
  const QByteArray native = Native(path);
  struct stat st {};
  if (lstat(native.constData(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid())
    return false;
  if (std::time(nullptr) - st.st_mtime < minAgeSeconds)
    return false;
  return unlink(native.constData()) == 0;
}

void IgnoreFileSizeSignal() {
  std::signal(SIGXFSZ, SIG_IGN);
}
