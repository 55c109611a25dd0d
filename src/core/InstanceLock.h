// One scheduler per configuration file: the first start holds a lock and listens for later
// starts of the same file; a later start hands its request over and ends. Used by the tray
// program and by kronolab-cli run.
#pragma once

#include <QByteArray>
#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

// The lock of one configuration file, held for the life of the object.
class TInstanceLock : public QObject {
  Q_OBJECT
public:
  // The request a second tray program sends: open the editor.
  static constexpr const char *ShowEditorRequest = "show-editor";

  // folder holds the lock file and the socket; empty for the runtime folder.
  explicit TInstanceLock(const QString &configFileName, const QString &folder = QString(),
                         QObject *parent = nullptr);
  ~TInstanceLock() override;

  // The key of a configuration file: a hash of its canonical path, so two spellings of one
  // file share a key.
  static QString Key(const QString &configFileName);

  // Becomes the one scheduler of the file: true when this process now holds the lock (a
  // lock left by a crashed run is taken over); false when another process holds it, after
  // request was handed to it (as far as it answered within timeoutMs).
  bool TryAcquire(const QByteArray &request, int timeoutMs = 2000);
  bool Acquired() const { return FAcquired; }
  // True when the other process confirmed the hand-over in the last failed TryAcquire.
  bool HandedOver() const { return FHandedOver; }

  // Called in the holder for every request a later start hands over.
  std::function<void(const QByteArray &request)> OnRequest;

private:
  void AcceptConnection();

  QString FServerName;
  std::unique_ptr<QLockFile> FLock;
  QLocalServer FServer{this}; // a child, so that it moves with the lock to another thread
  bool FAcquired = false;
  bool FHandedOver = false;
};
