#include "core/InstanceLock.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>

namespace {

// A running scheduler in a thread of its own, so that it can answer while the test's thread
// waits in TryAcquire.
class TRunningHolder {
public:
  TRunningHolder(const QString &config, const QString &folder) {
    FThread.start();
    FLock = new TInstanceLock(config, folder);
    FLock->moveToThread(&FThread);
    QMetaObject::invokeMethod(
        FLock,
        [this] {
          FLock->OnRequest = [this](const QByteArray &request) {
            if (request == TInstanceLock::ShowEditorRequest)
              ++Requests;
          };
          Acquired = FLock->TryAcquire(TInstanceLock::ShowEditorRequest);
        },
        Qt::BlockingQueuedConnection);
  }
  ~TRunningHolder() {
    QMetaObject::invokeMethod(
        FLock, [this] { delete FLock; }, Qt::BlockingQueuedConnection);
    FThread.quit();
    FThread.wait();
  }
  bool Acquired = false;
  std::atomic<int> Requests{0};

private:
  QThread FThread;
  TInstanceLock *FLock = nullptr;
};

} // namespace

TEST(InstanceLock, ASecondStartForTheSameFileHandsOverAndDoesNotRun) {
  QTemporaryDir folder;
  const QString config = folder.filePath(QStringLiteral("kronolab.ini"));
  TRunningHolder first(config, folder.path());
  ASSERT_TRUE(first.Acquired);

  // The same file spelt differently is the same configuration.
  TInstanceLock second(folder.path() + QStringLiteral("/./kronolab.ini"), folder.path());
  EXPECT_FALSE(second.TryAcquire(TInstanceLock::ShowEditorRequest));
  EXPECT_TRUE(second.HandedOver());
  for (int i = 0; i < 100 && first.Requests == 0; ++i)
    QThread::msleep(10);
  EXPECT_EQ(first.Requests, 1);

  // Another configuration runs a scheduler of its own.
  TInstanceLock other(folder.filePath(QStringLiteral("anders.ini")), folder.path());
  EXPECT_TRUE(other.TryAcquire(TInstanceLock::ShowEditorRequest));
}

TEST(InstanceLock, ALockLeftByACrashedRunDoesNotBlockANewStart) {
  QTemporaryDir folder;
  const QString config = folder.filePath(QStringLiteral("kronolab.ini"));
  // A process that has ended, as the owner of the lock and of a leftover socket file.
  QProcess gone;
  gone.start(QStringLiteral("true"), {});
  ASSERT_TRUE(gone.waitForFinished());
  const qint64 deadPid = gone.processId() > 0 ? gone.processId() : 999999;
  const QString base = folder.path() + QStringLiteral("/kronolab-") + TInstanceLock::Key(config);
  QFile lock(base + QStringLiteral(".lock"));
  ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
  lock.write(QByteArray::number(deadPid) + "\nkronolab\n" + QSysInfo::machineHostName().toUtf8() +
             "\n");
  lock.close();
  QFile socket(base + QStringLiteral(".socket"));
  ASSERT_TRUE(socket.open(QIODevice::WriteOnly));
  socket.close();

  TInstanceLock start(config, folder.path());
  EXPECT_TRUE(start.TryAcquire(TInstanceLock::ShowEditorRequest));
}

TEST(InstanceLock, ReleasedWhenTheHolderEnds) {
  QTemporaryDir folder;
  const QString config = folder.filePath(QStringLiteral("kronolab.ini"));
  {
    TRunningHolder first(config, folder.path());
    ASSERT_TRUE(first.Acquired);
  }
  TInstanceLock next(config, folder.path());
  EXPECT_TRUE(next.TryAcquire(TInstanceLock::ShowEditorRequest));
}
