// Files that are ours alone. A schedule file names programs we start, so we read it only when
// nobody but us (or the administrator) can change it or the folders it lies in; the log is
// appended to without following links or waiting on a pipe; what we write is readable by us
// only; and a save that was killed half-way leaves nothing behind for good.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

// Why a file is not used although the system would let us open it.
enum class TFileRefusal {
  None,
  NotRegular,             // a folder, FIFO, device or socket
  TooLarge,               // larger than the caller's limit
  Link,                   // a symbolic link where none is followed
  ForeignOwner,           // the file belongs to another user
  WritableByOthers,       // group or others may write the file
  FolderForeignOwner,     // Culprit, a folder above the file, belongs to another user
  FolderWritableByOthers, // others may replace entries of Culprit (writable, no sticky bit)
};

// How a file operation ended: a system error code, or a refusal of ours, or neither.
struct TFileResult {
  int Error = 0; // errno
  TFileRefusal Refusal = TFileRefusal::None;
  QString Culprit; // the folder a folder refusal is about
  bool Ok() const { return Error == 0 && Refusal == TFileRefusal::None; }
};

// A whole file as ReadOwnFile found it.
struct TOwnFileContents : TFileResult {
  bool Exists = false;
  QByteArray Bytes;
};

// Reads path whole, following links, when the file and every folder above it (along the path
// as given and along its real location) belong to us or root and neither group nor others may
// change them (a folder with the sticky bit, like /tmp, may be writable by all). A missing
// file is no error (Exists false), but its folders are checked all the same, as we may create
// it there. A file that is not regular, or holds more than maxBytes, is refused before or
// while it is read, so that neither a FIFO nor /dev/zero can hold us up.
TOwnFileContents ReadOwnFile(const QString &path, std::int64_t maxBytes);

// What CheckOwnRegularFile found at a path.
struct TOwnFileCheck : TFileResult {
  bool Exists = false; // something is there, whatever it is
};

// Whether path is a regular file of ours, looked at without following a symbolic link and
// without blocking, for a file handed on to code that opens it blocking (SQLite): a FIFO there
// would hold that code up for ever. A missing file is no error (Exists false).
TOwnFileCheck CheckOwnRegularFile(const QString &path);

// Appends bytes to path, creating it with mode 0600 when it is missing. Refuses a symbolic
// link (the last component is never followed), anything but a regular file (a FIFO neither
// blocks nor is written) and a file of another user.
TFileResult AppendOwnFile(const QString &path, const QByteArray &bytes);

// Writes all of bytes to the open file fd; 0 or errno.
int WriteAllBytes(int fd, const QByteArray &bytes);
// Forces what was written to fd onto the disk; 0 or errno (a full disk may show only here).
int SyncFile(int fd);
// Gives fd, the new contents of path, the mode path should have: an existing file keeps its
// mode without write access for group and others, a new one is 0600, whatever the umask.
// 0 or errno.
int SetSavedFileMode(int fd, const QString &path);

// Removes path when it is a regular file of ours whose last change lies at least minAgeSeconds
// back; anything else (a link, a folder, another user's file, a file still being written) is
// left alone. Whether it was removed.
bool RemoveStaleOwnFile(const QString &path, int minAgeSeconds);

// Makes a file-size limit (ulimit -f) a write error (EFBIG) instead of a kill, so that a
// failed save is reported and the program goes on. Programs we start get the default back.
void IgnoreFileSizeSignal();
