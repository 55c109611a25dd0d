// One scheduler per configuration file, however the file is reached: the first start holds the
// file's lock and listens for later starts of the same file; a later start hands its request
// over and ends. Used by the tray program and by kronolab-cli run.
#pragma once

#include "platform/InstanceClaim.h"
#include "platform/Platform.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

class QSocketNotifier;

// Why a list is not saved into file: another scheduler runs it and would save over it.
QString NotSavedForAnotherSchedulerText(const QString &file);

// The lock of one configuration file, held for the life of the object.
class TInstanceLock : public QObject {
  Q_OBJECT
public:
  // The request a second tray program sends: open the editor.
  static constexpr const char *ShowEditorRequest = "show-editor";

  // platform (not owned) outlives the lock and hands out its claims.
  explicit TInstanceLock(const QString &configFileName, QObject *parent = nullptr,
                         TPlatform &platform = SystemPlatform());
  ~TInstanceLock() override;

  // The name under which the scheduler of a configuration file is found: the same for every
  // path, link or mount that reaches the file, and for every runtime folder.
  static QString ClaimName(const QString &configFileName, TPlatform &platform = SystemPlatform());

  // Whether the holder answers later starts (it then needs a running event loop); set before
  // TryAcquire. Without, later starts are refused at once and hand nothing over.
  bool AcceptRequests = true;

  // Becomes the one scheduler of the file: true when this process now holds the lock (a lock
  // of a run that crashed is free). False when another scheduler holds it, after request
  // (unless empty) was handed to it as far as it answered within timeoutMs; false with
  // ErrorText when the lock could not be taken for another reason.
  bool TryAcquire(const QByteArray &request, int timeoutMs = 1000);
  // True while this process is the file's scheduler.
  bool Acquired() const { return FAcquired; }
  // True when the other process confirmed the hand-over in the last failed TryAcquire.
  bool HandedOver() const { return FHandedOver; }
  // Why the last TryAcquire or Follow failed, when that was not another scheduler (German,
  // naming the file and the system's reason); empty otherwise.
  const QString &ErrorText() const { return FError; }
  // The configuration file the lock is for now (Follow changes it).
  const QString &ConfigFileName() const { return FConfigFileName; }

  // The configuration becomes newFile (the editor opened or saved another file): takes its
  // lock, then lets the old one go. False, keeping the old lock, when another scheduler runs
  // newFile or its lock fails (ErrorText).
  bool Follow(const QString &newFile);
  // Whether another scheduler runs file now: what this process writes there would be saved
  // over when that one ends. False for our own file, however it is reached.
  bool RunByAnother(const QString &file) const;
  // A save replaces the file by a new one: locks the file now at the path. The holder does it
  // on a timer when it answers requests; otherwise call it now and then (each tick).
  void Refresh();

  // Called in the holder for every request a later start hands over; "ok" is answered first.
  // Without it, requests are answered "no".
  std::function<void(const QByteArray &request)> OnRequest;
  // Answers the requests it knows (kronolab-cli's list commands) with a line of its own, in
  // place of "ok" and OnRequest; empty for the others.
  std::function<std::optional<QByteArray>(const QByteArray &request)> OnCommand;

  // For a holder without an event loop (kronolab-cli run): requests are answered only by
  // ServeWaitingCallers, which it calls when ListeningDescriptor is readable. Set before
  // TryAcquire.
  bool PolledRequests = false;
  // The descriptor that becomes readable when a later start calls; -1 when none is listened to.
  int ListeningDescriptor() const;
  // Answers every caller waiting now, each within a few seconds at most.
  void ServeWaitingCallers();

private:
  void Listen();
  void AcceptCallers();
  void Answer(int socketDescriptor);
  // The answer line to request; handed-over requests are passed on after it is sent.
  QByteArray AnswerTo(const QByteArray &request, bool &passOn) const;

  QString Name(const QString &configFileName) const { return ClaimName(configFileName, FPlatform); }

  TPlatform &FPlatform;
  QString FConfigFileName;
  std::unique_ptr<TNameClaim> FClaim;
  std::unique_ptr<TFileDataLock> FData;
  QSocketNotifier *FNotifier = nullptr;
  QTimer FRefreshTimer{this}; // a child, so that it moves with the lock to another thread
  bool FAcquired = false;
  bool FHandedOver = false;
  QString FError;
};
