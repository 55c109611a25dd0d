#include "core/InstanceLock.h"

#include "TestFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A running scheduler in a thread of its own, so that it can answer while the test's thread
// waits in TryAcquire.
class TRunningHolder {
public:
  explicit TRunningHolder(const QString &config) {
    FThread.start();
    FLock = new TInstanceLock(config);
    FLock->moveToThread(&FThread);
    Call([this] {
      FLock->OnRequest = [this](const QByteArray &request) {
        if (request == TInstanceLock::ShowEditorRequest)
          ++Requests;
      };
      Acquired = FLock->TryAcquire(TInstanceLock::ShowEditorRequest);
    });
  }
  ~TRunningHolder() {
    Call([this] { delete FLock; });
    FThread.quit();
    FThread.wait();
  }
  // Runs f in the holder's thread and waits for it.
  void Call(const std::function<void()> &f) {
    QMetaObject::invokeMethod(FLock, f, Qt::BlockingQueuedConnection);
  }
  TInstanceLock &Lock() { return *FLock; }
  bool Acquired = false;
  std::atomic<int> Requests{0};

private:
  QThread FThread;
  TInstanceLock *FLock = nullptr;
};

// Whether a second start for config is refused (and not handed over to anyone).
bool Refused(const QString &config) {
  TInstanceLock second(config);
  const bool acquired = second.TryAcquire({});
  EXPECT_TRUE(second.ErrorText().isEmpty()) << second.ErrorText().toStdString();
  return !acquired;
}

class InstanceLock : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(Dir.isValid());
    Config = Dir.filePath(QStringLiteral("kronolab.ini"));
    WriteBytes(Config, "[General]\nCount=0\n");
  }
  QTemporaryDir Dir;
  QString Config;
};

TEST_F(InstanceLock, ASecondStartForTheSameFileHandsOverAndDoesNotRun) {
  TRunningHolder first(Config);
  ASSERT_TRUE(first.Acquired);

  // The same file spelt differently is the same configuration.
  TInstanceLock second(Dir.path() + QStringLiteral("/./kronolab.ini"));
  EXPECT_FALSE(second.TryAcquire(TInstanceLock::ShowEditorRequest));
  EXPECT_TRUE(second.HandedOver());
  EXPECT_TRUE(second.ErrorText().isEmpty());
  for (int i = 0; i < 3000 && first.Requests == 0; ++i)
    QThread::msleep(10);
  EXPECT_EQ(first.Requests, 1);

  // Another configuration runs a scheduler of its own.
  TInstanceLock other(Dir.filePath(QStringLiteral("anders.ini")));
  EXPECT_TRUE(other.TryAcquire(TInstanceLock::ShowEditorRequest));
}

// Another user ("nobody") binds our scheduler's name first and answers "ok" as if it were
// ours. A quiet run (kronolab-cli run) is found, we still become the file's scheduler, a second
// start of ours hands over to us (not to the impostor), also after the impostor has gone, and
// only our run counts as one.
TEST_F(InstanceLock, AnotherUserHoldingTheNameNeitherStopsNorPosesAsOurScheduler) {
  const QString runuser = QStandardPaths::findExecutable(QStringLiteral("runuser"));
  if (geteuid() != 0 || runuser.isEmpty())
    GTEST_SKIP() << "needs root and runuser to act as a second user";
  QProcess impostor;
  impostor.start(runuser, {QStringLiteral("-u"), QStringLiteral("nobody"), QStringLiteral("--"),
                           QStringLiteral(HOLDNAME_PATH), TInstanceLock::ClaimName(Config)});
  ASSERT_TRUE(impostor.waitForReadyRead(30000)) << impostor.readAllStandardError().toStdString();
  ASSERT_EQ(impostor.readLine().trimmed(), "bereit");
  EXPECT_FALSE(TInstanceLock(Dir.filePath(QStringLiteral("anders.ini"))).RunByAnother(Config));
  {
    TInstanceLock quiet(Config);
    quiet.AcceptRequests = false;
    ASSERT_TRUE(quiet.TryAcquire({}));
    TInstanceLock second(Config);
    EXPECT_FALSE(second.TryAcquire(TInstanceLock::ShowEditorRequest, 200));
    EXPECT_FALSE(second.HandedOver());
    EXPECT_TRUE(second.ErrorText().isEmpty());
  }
  TRunningHolder first(Config);
  ASSERT_TRUE(first.Acquired);
  // A later start reaches our scheduler, also once the other user has left the name that
  // our scheduler could not take.
  for (const bool impostorLeft : {false, true}) {
    if (impostorLeft) {
      impostor.closeWriteChannel();
      ASSERT_TRUE(impostor.waitForFinished(30000));
    }
    TInstanceLock second(Config);
    EXPECT_FALSE(second.TryAcquire(TInstanceLock::ShowEditorRequest, 30000));
    EXPECT_TRUE(second.HandedOver()) << impostorLeft;
    for (int i = 0; i < 3000 && first.Requests == int(impostorLeft); ++i)
      QThread::msleep(10);
    EXPECT_EQ(first.Requests, 1 + int(impostorLeft));
    EXPECT_TRUE(TInstanceLock(Dir.filePath(QStringLiteral("anders.ini"))).RunByAnother(Config));
  }
  // Our probes hang up as soon as they see who answers; the impostor lived until told to end.
  EXPECT_EQ(impostor.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(impostor.exitCode(), 0);
}

// A symbolic link, a hard link from another folder and a file that does not exist yet: each
// way to the file finds the scheduler that runs it.
TEST_F(InstanceLock, EveryWayToTheFileFindsItsScheduler) {
  ASSERT_TRUE(QDir(Dir.path()).mkdir(QStringLiteral("woanders")));
  const QString symlink = Dir.filePath(QStringLiteral("woanders/verweis.ini"));
  const QString hardLink = Dir.filePath(QStringLiteral("woanders/zweiter-name.ini"));
  ASSERT_EQ(
      ::symlink(QFile::encodeName(Config).constData(), QFile::encodeName(symlink).constData()), 0);
  ASSERT_EQ(link(QFile::encodeName(Config).constData(), QFile::encodeName(hardLink).constData()),
            0);
  {
    TRunningHolder first(Config);
    ASSERT_TRUE(first.Acquired);
    EXPECT_TRUE(Refused(symlink));
    EXPECT_TRUE(Refused(hardLink));
  }
  {
    // Started through the hard link, the scheduler keeps the original's start out too.
    TRunningHolder first(hardLink);
    ASSERT_TRUE(first.Acquired);
    EXPECT_TRUE(Refused(Config));
  }
  const QString future = Dir.filePath(QStringLiteral("neu.ini"));
  TRunningHolder first(future);
  ASSERT_TRUE(first.Acquired);
  EXPECT_TRUE(Refused(Dir.path() + QStringLiteral("/woanders/../neu.ini")));
}

// A save puts a new file in place of the old one; the holder locks the new one, so that a
// hard link made to it afterwards still finds the scheduler.
TEST_F(InstanceLock, TheLockFollowsTheFileThroughASave) {
  TRunningHolder first(Config);
  ASSERT_TRUE(first.Acquired);
  const QString saved = Dir.filePath(QStringLiteral("kronolab.ini.neu"));
  WriteBytes(saved, "[General]\nCount=0\nInterval=2000\n");
  ASSERT_TRUE(QFile::remove(Config));
  ASSERT_TRUE(QFile::rename(saved, Config));
  first.Call([&] { first.Lock().Refresh(); });
  ASSERT_TRUE(QDir(Dir.path()).mkdir(QStringLiteral("b")));
  const QString hardLink = Dir.filePath(QStringLiteral("b/k.ini"));
  ASSERT_EQ(link(QFile::encodeName(Config).constData(), QFile::encodeName(hardLink).constData()),
            0);
  EXPECT_TRUE(Refused(hardLink));
}

// The editor makes another file the configuration: the lock goes with it, unless another
// scheduler runs that file.
TEST_F(InstanceLock, FollowMovesTheLockToTheNewConfiguration) {
  const QString other = Dir.filePath(QStringLiteral("anders.ini"));
  const QString busy = Dir.filePath(QStringLiteral("belegt.ini"));
  TRunningHolder first(Config);
  ASSERT_TRUE(first.Acquired);
  bool followed = false;
  first.Call([&] { followed = first.Lock().Follow(other); });
  EXPECT_TRUE(followed);
  EXPECT_EQ(first.Lock().ConfigFileName(), other);
  EXPECT_TRUE(Refused(other));
  EXPECT_FALSE(Refused(Config));

  // The new file's scheduler still answers: a later start hands over to it.
  TInstanceLock later(other);
  EXPECT_FALSE(later.TryAcquire(TInstanceLock::ShowEditorRequest));
  EXPECT_TRUE(later.HandedOver());

  TRunningHolder elsewhere(busy);
  ASSERT_TRUE(elsewhere.Acquired);
  first.Call([&] { followed = first.Lock().Follow(busy); });
  EXPECT_FALSE(followed);
  EXPECT_TRUE(first.Lock().ErrorText().isEmpty());
  EXPECT_EQ(first.Lock().ConfigFileName(), other);
  EXPECT_TRUE(Refused(other));
}

// The editor asks before it saves into a file: another scheduler's file, reached any way, is
// told; our own file, reached any way, and a free one are not, and the look takes nothing.
TEST_F(InstanceLock, RunByAnotherTellsOnlyFilesAnotherSchedulerRuns) {
  const QString busy = Dir.filePath(QStringLiteral("belegt.ini"));
  const QString free = Dir.filePath(QStringLiteral("frei.ini"));
  WriteBytes(busy, "[General]\nCount=0\n");
  ASSERT_TRUE(QDir(Dir.path()).mkdir(QStringLiteral("woanders")));
  auto hardLink = [&](const QString &to, const char *name) {
    const QString path = Dir.filePath(QStringLiteral("woanders/") + QLatin1String(name));
    EXPECT_EQ(link(QFile::encodeName(to).constData(), QFile::encodeName(path).constData()), 0);
    return path;
  };
  const QString ownLink = hardLink(Config, "eigen.ini");
  const QString busyLink = hardLink(busy, "fremd.ini");

  TInstanceLock own(Config);
  ASSERT_TRUE(own.TryAcquire({}));
  TRunningHolder elsewhere(busy);
  ASSERT_TRUE(elsewhere.Acquired);

  EXPECT_FALSE(own.RunByAnother(Config));
  EXPECT_FALSE(own.RunByAnother(Dir.path() + QStringLiteral("/woanders/../kronolab.ini")));
  EXPECT_FALSE(own.RunByAnother(ownLink));
  EXPECT_TRUE(own.RunByAnother(busy));
  EXPECT_TRUE(own.RunByAnother(busyLink));
  EXPECT_FALSE(own.RunByAnother(free));
  EXPECT_FALSE(Refused(free));
  EXPECT_TRUE(Refused(busy));
}

// A run that is killed leaves nothing behind that would keep the next start out.
TEST_F(InstanceLock, ALockOfAKilledRunIsFreeAtOnce) {
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    TNameClaim claim;
    TFileDataLock data;
    QString error;
    const bool held =
        claim.Take(TInstanceLock::ClaimName(Config), false, error) == TClaimResult::Taken &&
        data.Lock(Config, error) == TClaimResult::Taken;
    const char answer = held ? '1' : '0';
    [[maybe_unused]] const ssize_t n = write(ready[1], &answer, 1);
    pause();
    _exit(0);
  }
  close(ready[1]);
  char answer = 0;
  ASSERT_EQ(read(ready[0], &answer, 1), 1);
  close(ready[0]);
  ASSERT_EQ(answer, '1');
  EXPECT_TRUE(Refused(Config));
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  TInstanceLock next(Config);
  EXPECT_TRUE(next.TryAcquire(TInstanceLock::ShowEditorRequest));
}

// When the lock cannot be taken for a reason of its own (here: no descriptor left), the
// start is refused with that reason, not with "already running".
TEST_F(InstanceLock, ALockThatCannotBeTakenSaysWhy) {
  int report[2];
  ASSERT_EQ(pipe(report), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(report[0]);
    // Made (and used once) while descriptors are still free: the sanitizers need one for
    // their first look at a new object.
    TInstanceLock lock(Config);
    [[maybe_unused]] const bool heldBefore = lock.Acquired();
    const int lowestFree = dup(0);
    close(lowestFree);
    const rlimit limit{static_cast<rlim_t>(lowestFree), static_cast<rlim_t>(lowestFree)};
    setrlimit(RLIMIT_NOFILE, &limit);
    const bool acquired = lock.TryAcquire({});
    const QByteArray text = (acquired ? QByteArray("acquired") : lock.ErrorText().toUtf8());
    [[maybe_unused]] const ssize_t n = write(report[1], text.constData(), text.size());
    _exit(0);
  }
  close(report[1]);
  QByteArray text;
  char buffer[512];
  for (ssize_t n; (n = read(report[0], buffer, sizeof buffer)) > 0;)
    text.append(buffer, n);
  close(report[0]);
  waitpid(child, nullptr, 0);
  EXPECT_TRUE(text.startsWith("Die Sperre für die Konfigurationsdatei „" + Config.toUtf8()))
      << text.toStdString();
  EXPECT_TRUE(text.contains("socket")) << text.toStdString();
}

// The folder of the configuration mounted a second time elsewhere (as root only).
TEST_F(InstanceLock, AFolderMountedElsewhereLeadsToTheSameScheduler) {
  if (geteuid() != 0)
    GTEST_SKIP() << "mounting needs root";
  QTemporaryDir view;
  ASSERT_TRUE(view.isValid());
  if (mount(QFile::encodeName(Dir.path()).constData(), QFile::encodeName(view.path()).constData(),
            nullptr, MS_BIND, nullptr) != 0)
    GTEST_SKIP() << "bind mounts are not allowed here";
  {
    TRunningHolder first(Config);
    EXPECT_TRUE(first.Acquired);
    EXPECT_TRUE(Refused(view.filePath(QStringLiteral("kronolab.ini"))));
  }
  umount(QFile::encodeName(view.path()).constData());
}

} // namespace
