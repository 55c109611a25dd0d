#include "core/InstanceLock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QStandardPaths>

namespace {
// The canonical form of a path that may not exist yet: its folder resolved where it exists.
QString CanonicalPath(const QString &fileName) {
  const QFileInfo info(fileName);
  const QString canonical = info.canonicalFilePath();
  if (!canonical.isEmpty())
    return canonical;
  const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
  return (folder.isEmpty() ? info.absolutePath() : folder) + u'/' + info.fileName();
}

QString RuntimeFolder() {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (folder.isEmpty())
    folder = QDir::tempPath();
  return folder;
}
} // namespace

TInstanceLock::TInstanceLock(const QString &configFileName, const QString &folder, QObject *parent)
    : QObject(parent) {
  const QString base = folder.isEmpty() ? RuntimeFolder() : folder;
  const QString key = Key(configFileName);
  FServerName = base + QStringLiteral("/kronolab-") + key + QStringLiteral(".socket");
  FLock = std::make_unique<QLockFile>(base + QStringLiteral("/kronolab-") + key +
                                      QStringLiteral(".lock"));
  // Never stale by age: a running scheduler may hold it for months. A lock whose process is
  // gone counts as stale and is taken over.
  FLock->setStaleLockTime(0);
  FServer.setSocketOptions(QLocalServer::UserAccessOption);
  connect(&FServer, &QLocalServer::newConnection, this, &TInstanceLock::AcceptConnection);
}

TInstanceLock::~TInstanceLock() {
  FServer.close();
  if (FAcquired)
    FLock->unlock();
}

QString TInstanceLock::Key(const QString &configFileName) {
  const QByteArray hash =
      QCryptographicHash::hash(CanonicalPath(configFileName).toUtf8(), QCryptographicHash::Sha256);
  return QString::fromLatin1(hash.toHex().left(24));
}

bool TInstanceLock::TryAcquire(const QByteArray &request, int timeoutMs) {
  FHandedOver = false;
  if (FAcquired)
    return true;
  if (FLock->tryLock(0)) {
    FAcquired = true;
    // A socket left behind by a crashed holder would make listen() fail.
    QLocalServer::removeServer(FServerName);
    FServer.listen(FServerName);
    return true;
  }
  QLocalSocket socket;
  socket.connectToServer(FServerName);
  if (socket.waitForConnected(timeoutMs)) {
    socket.write(request + '\n');
    // A request that went out at once leaves nothing to wait for.
    if (socket.bytesToWrite() > 0)
      socket.waitForBytesWritten(timeoutMs);
    while (!socket.canReadLine() && socket.waitForReadyRead(timeoutMs)) {
    }
    FHandedOver = socket.readLine().trimmed() == "ok";
    socket.disconnectFromServer();
  }
  return false;
}

void TInstanceLock::AcceptConnection() {
  while (QLocalSocket *socket = FServer.nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
      while (socket->canReadLine()) {
        const QByteArray request = socket->readLine().trimmed();
        socket->write("ok\n");
        socket->flush();
        if (OnRequest)
          OnRequest(request);
      }
    });
  }
}
