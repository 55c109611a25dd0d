#include "core/InstanceLock.h"

#include <QElapsedTimer>
#include <QLocalSocket>
#include <QSocketNotifier>

namespace {

// How often the holder makes sure that it locks the file now at the path (a save puts a new
// one there).
constexpr int RefreshMs = 2000;

QString LockFailure(const QString &fileName, const QString &reason) {
  return QStringLiteral("Die Sperre für die Konfigurationsdatei \"%1\" lässt sich nicht "
                        "setzen (%2).")
      .arg(fileName, reason);
}

} // namespace

QString NotSavedForAnotherSchedulerText(const QString &file) {
  return QStringLiteral("Für \"%1\" läuft schon ein anderes Kronolab; die Aktionen werden "
                        "nicht dorthin gesichert.")
      .arg(file);
}

TInstanceLock::TInstanceLock(const QString &configFileName, QObject *parent, TPlatform &platform)
    : QObject(parent), FPlatform(platform), FConfigFileName(configFileName),
      FClaim(platform.NewNameClaim()), FData(platform.NewFileDataLock()) {
  FRefreshTimer.setInterval(RefreshMs);
  connect(&FRefreshTimer, &QTimer::timeout, this, &TInstanceLock::Refresh);
}

TInstanceLock::~TInstanceLock() {
  delete FNotifier; // before its socket closes with the claim
}

QString TInstanceLock::ClaimName(const QString &configFileName, TPlatform &platform) {
  return QStringLiteral("kronolab-") + platform.ConfigFileKey(configFileName);
}

bool TInstanceLock::TryAcquire(const QByteArray &request, int timeoutMs) {
  FHandedOver = false;
  FError.clear();
  if (FAcquired)
    return true;
  const QString name = Name(FConfigFileName);
  QString reason;
  switch (FClaim->Take(name, AcceptRequests, reason)) {
  case TClaimResult::HeldElsewhere:
    if (!request.isEmpty())
      FHandedOver = FPlatform.AskNameHolder(name, request, timeoutMs) == "ok";
    return false;
  case TClaimResult::Failed:
    FError = LockFailure(FConfigFileName, reason);
    return false;
  case TClaimResult::Taken:
    break;
  }
  // Reached through a hard link from another folder, the file has another name: its data is
  // locked by the scheduler that runs it.
  switch (FData->Lock(FConfigFileName, reason)) {
  case TClaimResult::HeldElsewhere:
    FClaim->Release();
    return false;
  case TClaimResult::Failed:
    FClaim->Release();
    FError = LockFailure(FConfigFileName, reason);
    return false;
  case TClaimResult::Taken:
    break;
  }
  FAcquired = true;
  Listen();
  return true;
}

bool TInstanceLock::Follow(const QString &newFile) {
  FError.clear();
  if (!FAcquired) {
    FConfigFileName = newFile;
    return TryAcquire({});
  }
  QString reason;
  const bool sameName = Name(newFile) == Name(FConfigFileName);
  std::unique_ptr<TNameClaim> claim = FPlatform.NewNameClaim();
  if (!sameName) {
    const TClaimResult taken = claim->Take(Name(newFile), AcceptRequests, reason);
    if (taken == TClaimResult::Failed)
      FError = LockFailure(newFile, reason);
    if (taken != TClaimResult::Taken)
      return false;
  }
  const TClaimResult locked = FData->Lock(newFile, reason);
  if (locked == TClaimResult::Failed)
    FError = LockFailure(newFile, reason);
  if (locked != TClaimResult::Taken)
    return false; // the new claim goes with its object; the old lock stays
  FConfigFileName = newFile;
  if (!sameName) {
    delete FNotifier;
    FNotifier = nullptr;
    FClaim = std::move(claim);
    Listen();
  }
  return true;
}

bool TInstanceLock::RunByAnother(const QString &file) const {
  if (FAcquired && Name(file) == Name(FConfigFileName))
    return false;
  QString reason;
  if (FPlatform.NewNameClaim()->Take(Name(file), false, reason) == TClaimResult::HeldElsewhere)
    return true;
  // A hard link to our own file carries the lock we hold.
  if (FAcquired && FData->Locks(file))
    return false;
  return FPlatform.NewFileDataLock()->Lock(file, reason) == TClaimResult::HeldElsewhere;
}

void TInstanceLock::Refresh() {
  if (!FAcquired)
    return;
  // Without requests nobody is answered; those who asked learn so from the close.
  if (!AcceptRequests)
    FClaim->AcceptCaller();
  QString reason;
  if (FData->Lock(FConfigFileName, reason) == TClaimResult::Failed)
    FError = LockFailure(FConfigFileName, reason);
}

void TInstanceLock::Listen() {
  if (!AcceptRequests || PolledRequests)
    return;
  FRefreshTimer.start();
  const int fd = FClaim->ListeningDescriptor();
  if (fd < 0)
    return;
  FNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
  connect(FNotifier, &QSocketNotifier::activated, this, &TInstanceLock::AcceptCallers);
}

void TInstanceLock::AcceptCallers() {
  for (int fd = FClaim->AcceptCaller(); fd >= 0; fd = FClaim->AcceptCaller())
    Answer(fd);
}

void TInstanceLock::Answer(int socketDescriptor) {
  auto *socket = new QLocalSocket(this);
  if (!socket->setSocketDescriptor(socketDescriptor)) {
    delete socket;
    return;
  }
  connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
  connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
    while (socket->canReadLine()) {
      const QByteArray request = socket->readLine().trimmed();
      bool passOn = false;
      socket->write(AnswerTo(request, passOn) + '\n');
      socket->flush();
      if (passOn)
        OnRequest(request);
    }
  });
}

QByteArray TInstanceLock::AnswerTo(const QByteArray &request, bool &passOn) const {
  passOn = false;
  if (OnCommand)
    if (const std::optional<QByteArray> answer = OnCommand(request))
      return *answer;
  passOn = static_cast<bool>(OnRequest);
  return passOn ? QByteArray("ok") : QByteArray("no");
}

int TInstanceLock::ListeningDescriptor() const {
  return FAcquired && AcceptRequests ? FClaim->ListeningDescriptor() : -1;
}

void TInstanceLock::ServeWaitingCallers() {
  if (!FAcquired || !AcceptRequests)
    return;
  // A caller sends its line as soon as it is connected; one that does not is not waited for
  // long, so that the ticks go on.
  constexpr int LineWaitMs = 2000;
  for (int fd = FClaim->AcceptCaller(); fd >= 0; fd = FClaim->AcceptCaller()) {
    QLocalSocket socket;
    if (!socket.setSocketDescriptor(fd))
      continue;
    QElapsedTimer waited;
    waited.start();
    while (!socket.canReadLine() && waited.elapsed() < LineWaitMs &&
           socket.waitForReadyRead(static_cast<int>(LineWaitMs - waited.elapsed()))) {
    }
    if (!socket.canReadLine())
      continue;
    const QByteArray request = socket.readLine().trimmed();
    bool passOn = false;
    socket.write(AnswerTo(request, passOn) + '\n');
    socket.waitForBytesWritten(LineWaitMs);
    if (passOn)
      OnRequest(request);
  }
}
