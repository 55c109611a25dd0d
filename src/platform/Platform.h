// The operating system's services as the engine reaches them: one interface that the scheduler,
// the internal commands and the instance lock hold, so that a test can hand them a platform
// that keeps its clock in memory, records program starts or fails a file operation on purpose.
// The system's own platform forwards to the free functions of the headers beside this one.
#pragma once

#include "platform/Clock.h"
#include "platform/FileOps.h"
#include "platform/InstanceClaim.h"
#include "platform/Process.h"
#include "platform/WakeTimer.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <optional>

// Clock, files and folders, processes, environment and the instance claim. Each function has
// the contract of the free function of the same name.
class TPlatform {
public:
  virtual ~TPlatform() = default;

  // The current moment, wall clock and instant read together.
  virtual TMoment NowMoment() = 0;
  // A new wall-clock alarm, disarmed; nullptr when the system cannot make one.
  virtual std::unique_ptr<TWakeTimer> NewWakeTimer() = 0;

  virtual bool CopyFileReplacing(const QString &source, const QString &target,
                                 TCopyFailure *failure) = 0;
  virtual bool MoveFileNoReplace(const QString &source, const QString &target) = 0;
  virtual bool DeleteFile(const QString &path) = 0;
  virtual bool RenameFile(const QString &oldName, const QString &newName) = 0;
  virtual bool CreateFolder(const QString &path) = 0;
  virtual QStringList FindEntries(const QString &folder, const QString &pattern) = 0;
  virtual bool IsFolder(const QString &path) = 0;
  virtual QString TempFolder() = 0;
  virtual QString CurrentFolder() = 0;

  virtual int LaunchProcess(const QString &folder, const QStringList &words,
                            std::int64_t *processId) = 0;
  virtual void ReapFinishedProcesses() = 0;
  virtual std::optional<TProcessEnd> TakeProcessEnd(std::int64_t processId) = 0;
  virtual bool StopProcessGroup(std::int64_t processId, bool force) = 0;
  virtual int ProcessEndEvents() = 0;

  // The value of an environment variable; empty when it is not set.
  virtual QString EnvironmentValue(const QString &name) = 0;

  virtual QString ConfigFileKey(const QString &fileName) = 0;
  // A new name claim or file data lock, holding nothing yet.
  virtual std::unique_ptr<TNameClaim> NewNameClaim() = 0;
  virtual std::unique_ptr<TFileDataLock> NewFileDataLock() = 0;
  virtual QByteArray AskNameHolder(const QString &name, const QByteArray &request,
                                   int timeoutMs) = 0;
};

// The platform of the system the program runs on (POSIX here); lives as long as the program.
TPlatform &SystemPlatform();

// Hands every service on to another platform, so that a platform which changes one or two of
// them (a clock of its own, a file operation that fails) overrides only those.
class TPlatformWrapper : public TPlatform {
public:
  // target is not owned and outlives the wrapper.
  explicit TPlatformWrapper(TPlatform &target = SystemPlatform()) : FTarget(target) {}

  TMoment NowMoment() override { return FTarget.NowMoment(); }
  std::unique_ptr<TWakeTimer> NewWakeTimer() override { return FTarget.NewWakeTimer(); }

  bool CopyFileReplacing(const QString &source, const QString &target,
                         TCopyFailure *failure) override {
    return FTarget.CopyFileReplacing(source, target, failure);
  }
  bool MoveFileNoReplace(const QString &source, const QString &target) override {
    return FTarget.MoveFileNoReplace(source, target);
  }
  bool DeleteFile(const QString &path) override { return FTarget.DeleteFile(path); }
  bool RenameFile(const QString &oldName, const QString &newName) override {
    return FTarget.RenameFile(oldName, newName);
  }
  bool CreateFolder(const QString &path) override { return FTarget.CreateFolder(path); }
  QStringList FindEntries(const QString &folder, const QString &pattern) override {
    return FTarget.FindEntries(folder, pattern);
  }
  bool IsFolder(const QString &path) override { return FTarget.IsFolder(path); }
  QString TempFolder() override { return FTarget.TempFolder(); }
  QString CurrentFolder() override { return FTarget.CurrentFolder(); }

  int LaunchProcess(const QString &folder, const QStringList &words,
                    std::int64_t *processId) override {
    return FTarget.LaunchProcess(folder, words, processId);
  }
  void ReapFinishedProcesses() override { FTarget.ReapFinishedProcesses(); }
  std::optional<TProcessEnd> TakeProcessEnd(std::int64_t processId) override {
    return FTarget.TakeProcessEnd(processId);
  }
  bool StopProcessGroup(std::int64_t processId, bool force) override {
    return FTarget.StopProcessGroup(processId, force);
  }
  int ProcessEndEvents() override { return FTarget.ProcessEndEvents(); }

  QString EnvironmentValue(const QString &name) override { return FTarget.EnvironmentValue(name); }

  QString ConfigFileKey(const QString &fileName) override {
    return FTarget.ConfigFileKey(fileName);
  }
  std::unique_ptr<TNameClaim> NewNameClaim() override { return FTarget.NewNameClaim(); }
  std::unique_ptr<TFileDataLock> NewFileDataLock() override { return FTarget.NewFileDataLock(); }
  QByteArray AskNameHolder(const QString &name, const QByteArray &request, int timeoutMs) override {
    return FTarget.AskNameHolder(name, request, timeoutMs);
  }

private:
  TPlatform &FTarget;
};
