#include "platform/Platform.h"

#include "platform/DirSearch.h"
#include "platform/Folders.h"

namespace {

// Forwards each service to the free function that implements it; holds no state itself, as
// the services' own state (the process table, the watcher thread) is the process's.
class TPosixPlatform final : public TPlatform {
public:
  TMoment NowMoment() override { return ::NowMoment(); }
  std::unique_ptr<TWakeTimer> NewWakeTimer() override { return NewSystemWakeTimer(); }

  bool CopyFileReplacing(const QString &source, const QString &target,
                         TCopyFailure *failure) override {
    return ::CopyFileReplacing(source, target, failure);
  }
  bool MoveFileNoReplace(const QString &source, const QString &target) override {
    return ::MoveFileNoReplace(source, target);
  }
  bool DeleteFile(const QString &path) override { return ::DeleteFile(path); }
  bool RenameFile(const QString &oldName, const QString &newName) override {
    return ::RenameFile(oldName, newName);
  }
  bool CreateFolder(const QString &path) override { return ::CreateFolder(path); }
  QStringList FindEntries(const QString &folder, const QString &pattern) override {
    return ::FindEntries(folder, pattern);
  }
  bool IsFolder(const QString &path) override { return ::IsFolder(path); }
  QString TempFolder() override { return ::TempFolder(); }
  QString CurrentFolder() override { return ::CurrentFolder(); }

  int LaunchProcess(const QString &folder, const QStringList &words,
                    std::int64_t *processId) override {
    return ::LaunchProcess(folder, words, processId);
  }
  void ReapFinishedProcesses() override { ::ReapFinishedProcesses(); }
  std::optional<TProcessEnd> TakeProcessEnd(std::int64_t processId) override {
    return ::TakeProcessEnd(processId);
  }
  bool StopProcessGroup(std::int64_t processId, bool force) override {
    return ::StopProcessGroup(processId, force);
  }
  int ProcessEndEvents() override { return ::ProcessEndEvents(); }

  QString EnvironmentValue(const QString &name) override {
    return qEnvironmentVariable(name.toLocal8Bit().constData());
  }

  QString ConfigFileKey(const QString &fileName) override { return ::ConfigFileKey(fileName); }
  std::unique_ptr<TNameClaim> NewNameClaim() override { return std::make_unique<TNameClaim>(); }
  std::unique_ptr<TFileDataLock> NewFileDataLock() override {
    return std::make_unique<TFileDataLock>();
  }
  QByteArray AskNameHolder(const QString &name, const QByteArray &request, int timeoutMs) override {
    return ::AskNameHolder(name, request, timeoutMs);
  }
};

} // namespace

TPlatform &SystemPlatform() {
  static TPosixPlatform platform;
  return platform;
}
