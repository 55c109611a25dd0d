#include "platform/InstanceClaim.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

QString SystemReason(const char *step, int error) {
  return QString::fromLatin1(step) + QStringLiteral(": ") + qt_error_string(error);
}

// The file a path names after following symbolic links of the file itself (a chain of them,
// a dangling one too), with its folder resolved where that exists.
QString RealFileName(const QString &fileName) {
  QByteArray path = QFile::encodeName(QDir::cleanPath(QFileInfo(fileName).absoluteFilePath()));
  for (int hops = 0; hops < 40; ++hops) {
    char target[PATH_MAX];
    const ssize_t n = readlink(path.constData(), target, sizeof target - 1);
    if (n <= 0)
      break;
    const QByteArray link(target, n);
    const QByteArray folder = path.left(path.lastIndexOf('/') + 1);
    path = QFile::encodeName(
        QDir::cleanPath(QFile::decodeName(link.startsWith('/') ? link : folder + link)));
  }
  return QFile::decodeName(path);
}

// The address of an abstract local socket: a leading NUL, then the name, nothing after it.
socklen_t AbstractAddress(const QString &name, sockaddr_un &address) {
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  const QByteArray bytes = name.toUtf8().left(sizeof address.sun_path - 1);
  std::memcpy(address.sun_path + 1, bytes.constData(), static_cast<std::size_t>(bytes.size()));
  return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + bytes.size());
}

bool PeerIsOwnUser(int fd) {
  ucred peer{};
  socklen_t size = sizeof peer;
  return getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == geteuid();
}

// An abstract name lies in no folder: any user may bind ours first. The names after the first
// are tried in turn, so that such a user keeps neither our scheduler from its own nor a later
// start from finding it.
constexpr int NameAlternatives = 8;

QString Alternative(const QString &name, int k) {
  return k == 0 ? name : name + QStringLiteral("-%1").arg(k + 1);
}

// A connection to the holder of name when that runs as our user (our holders always listen,
// so a name that refuses connections is held by someone else); -1 otherwise.
int ConnectOwnHolder(const QString &name) {
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0)
    return -1;
  sockaddr_un address{};
  const socklen_t size = AbstractAddress(name, address);
  if (connect(fd, reinterpret_cast<const sockaddr *>(&address), size) == 0 && PeerIsOwnUser(fd))
    return fd;
  close(fd);
  return -1;
}

} // namespace

QString ConfigFileKey(const QString &fileName) {
  const QFileInfo real(RealFileName(fileName));
  QByteArray identity;
  struct stat folder {};
  if (stat(QFile::encodeName(real.absolutePath()).constData(), &folder) == 0)
    identity = QByteArray::number(static_cast<qulonglong>(folder.st_dev)) + ':' +
               QByteArray::number(static_cast<qulonglong>(folder.st_ino)) + '/' +
               QFile::encodeName(real.fileName());
  else
    identity = "path:" + QFile::encodeName(real.absoluteFilePath());
  return QString::fromLatin1(
      QCryptographicHash::hash(identity, QCryptographicHash::Sha256).toHex().left(24));
}

TNameClaim::~TNameClaim() {
  Release();
}

TClaimResult TNameClaim::Take(const QString &name, bool listen, QString &error) {
  Release();
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    error = SystemReason("socket", errno);
    return TClaimResult::Failed;
  }
  for (int k = 0; k < NameAlternatives; ++k) {
    sockaddr_un address{};
    const socklen_t size = AbstractAddress(Alternative(name, k), address);
    if (bind(fd, reinterpret_cast<const sockaddr *>(&address), size) == 0) {
      // A name before ours may have been left by the other user since our scheduler took a
      // later one: that scheduler still runs the file.
      for (int later = k + 1; later < NameAlternatives; ++later)
        if (const int holder = ConnectOwnHolder(Alternative(name, later)); holder >= 0) {
          close(holder);
          close(fd);
          return TClaimResult::HeldElsewhere;
        }
      break;
    }
    const int reason = errno;
    if (reason != EADDRINUSE) {
      close(fd);
      error = SystemReason("bind", reason);
      return TClaimResult::Failed;
    }
    if (const int holder = ConnectOwnHolder(Alternative(name, k)); holder >= 0) {
      close(holder);
      close(fd);
      return TClaimResult::HeldElsewhere;
    }
    if (k == NameAlternatives - 1) {
      // Every name is held by other users: the lock on the file decides alone.
      close(fd);
      return TClaimResult::Taken;
    }
  }
  // Always listening, also when no request is answered: a later start of ours then learns
  // from the connection's credentials that the holder is our own.
  if (::listen(fd, 8) != 0) {
    error = SystemReason("listen", errno);
    close(fd);
    return TClaimResult::Failed;
  }
  FFd = fd;
  FListening = listen;
  return TClaimResult::Taken;
}

void TNameClaim::Release() {
  if (FFd >= 0)
    close(FFd);
  FFd = -1;
  FListening = false;
}

int TNameClaim::AcceptCaller() {
  if (FFd < 0)
    return -1;
  for (;;) {
    const int fd = accept4(FFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0)
      return -1;
    // The name is visible to every user of the machine; only our own may ask us anything.
    // Without requests, callers only fill the queue: they learn "no answer" from the close.
    if (FListening && PeerIsOwnUser(fd))
      return fd;
    close(fd);
  }
}

TFileDataLock::~TFileDataLock() {
  Release();
}

void TFileDataLock::Release() {
  if (FFd >= 0)
    close(FFd); // closing the last descriptor of the open file frees its lock
  FFd = -1;
  FDevice = FInode = 0;
}

bool TFileDataLock::Locks(const QString &path) const {
  struct stat atPath {};
  return FFd >= 0 && stat(QFile::encodeName(path).constData(), &atPath) == 0 &&
         static_cast<std::uint64_t>(atPath.st_dev) == FDevice &&
         static_cast<std::uint64_t>(atPath.st_ino) == FInode;
}

TClaimResult TFileDataLock::Lock(const QString &path, QString &error) {
  const QByteArray native = QFile::encodeName(path);
  // A save may replace the file between our look at the path and the lock; then look again.
  for (int attempt = 0; attempt < 5; ++attempt) {
    struct stat atPath {};
    if (stat(native.constData(), &atPath) != 0 || !S_ISREG(atPath.st_mode)) {
      Release(); // nothing there to guard (yet)
      return TClaimResult::Taken;
    }
    if (FFd >= 0 && atPath.st_dev == FDevice && atPath.st_ino == FInode)
      return TClaimResult::Taken; // the file we hold already
    // Non-blocking: the path may have become a FIFO since the look.
    const int fd = open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
      if (errno == EMFILE || errno == ENFILE || errno == ENOMEM) {
        error = SystemReason("open", errno);
        return TClaimResult::Failed;
      }
      Release(); // a file we may not read is not ours to run; its load will say so
      return TClaimResult::Taken;
    }
    struct stat opened {};
    if (fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
      close(fd);
      continue;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int reason = errno;
      close(fd);
      if (reason == EWOULDBLOCK)
        return TClaimResult::HeldElsewhere;
      if (reason == EINTR)
        continue;
      // A file system that cannot lock so (some network ones): the name claim alone guards.
      Release();
      return TClaimResult::Taken;
    }
    struct stat now {};
    if (stat(native.constData(), &now) == 0 && now.st_dev == opened.st_dev &&
        now.st_ino == opened.st_ino) {
      Release();
      FFd = fd;
      FDevice = static_cast<std::uint64_t>(opened.st_dev);
      FInode = static_cast<std::uint64_t>(opened.st_ino);
      return TClaimResult::Taken;
    }
    close(fd);
  }
  return TClaimResult::Taken; // replaced again and again: the name claim still guards
}

QByteArray AskNameHolder(const QString &name, const QByteArray &request, int timeoutMs) {
  // The first name held by our own user; one held by another user is never asked.
  int fd = -1;
  for (int k = 0; k < NameAlternatives && fd < 0; ++k)
    fd = ConnectOwnHolder(Alternative(name, k));
  if (fd < 0)
    return {};
  struct TClose {
    int Fd;
    ~TClose() { close(Fd); }
  } closer{fd};
  const QByteArray line = request + '\n';
  if (send(fd, line.constData(), static_cast<std::size_t>(line.size()), MSG_NOSIGNAL) !=
      line.size())
    return {};
  QByteArray answer;
  QElapsedTimer waited;
  waited.start();
  while (!answer.contains('\n')) {
    const qint64 left = timeoutMs - waited.elapsed();
    pollfd ready{fd, POLLIN, 0};
    if (left <= 0)
      break;
    // A signal (a child's end) interrupts the wait; it does not end it.
    const int polled = poll(&ready, 1, static_cast<int>(left));
    if (polled < 0 && errno == EINTR)
      continue;
    if (polled <= 0)
      break;
    char buffer[256];
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
      continue;
    if (n <= 0)
      break;
    answer.append(buffer, n);
  }
  return answer.left(answer.indexOf('\n')).trimmed();
}
