#include "platform/Process.h"
#include "actions/ActionsTestSupport.h"
#include "base/Errors.h"
#include "platform/Folders.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Starting programs by their words, in a folder that ArgEcho reports into.
class Launch : public TEchoFolder {};

TEST_F(Launch, StartsInGivenFolderOwnSessionWithoutOurDescriptors) {
  int leaked = open("/dev/null", O_RDONLY); // deliberately without close-on-exec
  ASSERT_GE(leaked, 3);
  const QString before = CurrentFolder();
  int result = LaunchProcess(Dir.path(), {QStringLiteral(ARGECHO_PATH), "one", "two words"});
  close(leaked);
  EXPECT_GT(result, ExecStartedAbove);
  QStringList lines = WaitForEcho(Out);
  ASSERT_FALSE(lines.isEmpty());
  EXPECT_EQ(lines[0], QStringLiteral("cwd=") + QDir(Dir.path()).canonicalPath());
  EXPECT_EQ(lines[1], QStringLiteral("session=own"));
  EXPECT_EQ(lines[2], QStringLiteral("fds=0,1,2,"));
  EXPECT_EQ(lines.mid(3), (QStringList{"arg=one", "arg=two words"}));
  EXPECT_EQ(CurrentFolder(), before);
}

TEST_F(Launch, FinishedProgramsAreReapedAndLeaveNoZombie) {
  ASSERT_GT(LaunchProcess(QString(), {QStringLiteral(ARGECHO_PATH)}), ExecStartedAbove);
  ASSERT_FALSE(WaitForEcho(Out).isEmpty());
  for (int i = 0; i < 3000 && UnreapedProcessCount() > 0; ++i) {
    ReapFinishedProcesses();
    usleep(10000);
  }
  EXPECT_EQ(UnreapedProcessCount(), 0);
  int status = 0;
  EXPECT_EQ(waitpid(-1, &status, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

TEST_F(Launch, ResultsTellMissingFileMissingFolderAndNoProgramApart) {
  EXPECT_EQ(LaunchProcess(QString(), {"kronolab-no-such-program-xyz"}), ExecFileNotFound);
  EXPECT_EQ(LaunchProcess(QString(), {Dir.filePath(QStringLiteral("missing"))}), ExecFileNotFound);
  EXPECT_EQ(LaunchProcess(QString(), {Dir.filePath(QStringLiteral("nofolder/prog"))}),
            ExecPathNotFound);
  QString text = Dir.filePath(QStringLiteral("text.exe"));
  QFile file(text);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("no program\n");
  file.close();
  EXPECT_EQ(LaunchProcess(QString(), {text}), ExecBadFormat); // not executable
  file.setPermissions(file.permissions() | QFile::ExeOwner);
  EXPECT_EQ(LaunchProcess(QString(), {text}), ExecBadFormat); // executable, but no program
}

// A folder on the search path that may not be entered does not turn a program found nowhere
// into a bad program file: it is a missing file. One that lies there but cannot run is not.
// (As root the search runs as another user, for whom the folder is closed.)
TEST_F(Launch, AProgramOnNoSearchFolderIsMissingEvenBehindAClosedFolder) {
  ASSERT_TRUE(QDir(Dir.path()).mkdir(QStringLiteral("zu")));
  ASSERT_TRUE(QDir(Dir.path()).mkdir(QStringLiteral("bin")));
  QFile text(Dir.filePath(QStringLiteral("bin/kein-programm")));
  ASSERT_TRUE(text.open(QIODevice::WriteOnly));
  text.close();
  ASSERT_EQ(chmod(QFile::encodeName(Dir.path()).constData(), 0755), 0);
  ASSERT_EQ(chmod(QFile::encodeName(Dir.filePath(QStringLiteral("zu"))).constData(), 0), 0);
  const QByteArray path = QFile::encodeName(Dir.filePath(QStringLiteral("zu")) + u':' +
                                            Dir.filePath(QStringLiteral("bin")) + ":/usr/bin");
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
      _exit(99);
    setenv("PATH", path.constData(), 1);
    const int missing = LaunchProcess(QString(), {"kronolab-no-such-program-xyz"});
    const int notRunnable = LaunchProcess(QString(), {"kein-programm"});
    _exit(missing * 16 + notRunnable);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  chmod(QFile::encodeName(Dir.filePath(QStringLiteral("zu"))).constData(), 0700);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_NE(WEXITSTATUS(status), 99) << "cannot become another user";
  EXPECT_EQ(WEXITSTATUS(status) / 16, ExecFileNotFound);
  EXPECT_EQ(WEXITSTATUS(status) % 16, ExecBadFormat);
}

TEST_F(Launch, MissingWorkingFolderRaisesAndStartsNothing) {
  EXPECT_THROW(LaunchProcess(Dir.filePath(QStringLiteral("gone")), {QStringLiteral(ARGECHO_PATH)}),
               EInOutError);
  usleep(100000);
  EXPECT_FALSE(QFile::exists(Out));
}

// The end of a program is seen when it happens, not when someone next asks: its run time
// stays that of the program even when it is collected a second later.
TEST(ProcessEnd, StatusSignalAndRunTimeOfEachProgramAreKeptUntilTaken) {
  std::int64_t slow = 0, killed = 0;
  QElapsedTimer sinceStart;
  sinceStart.start();
  ASSERT_GT(LaunchProcess(QString(), {"/bin/sh", "-c", "sleep 0.2; exit 7"}, &slow),
            ExecStartedAbove);
  ASSERT_GT(LaunchProcess(QString(), {"/bin/sh", "-c", "kill -KILL $$"}, &killed),
            ExecStartedAbove);
  EXPECT_GT(slow, 0);
  EXPECT_NE(slow, killed);
  // Still running, as far as a busy machine lets us look in time.
  if (sinceStart.elapsed() < 150) {
    EXPECT_FALSE(TakeProcessEnd(slow).has_value());
  }
  // Collected long after its end: the run time must not include the wait.
  usleep(3000000);
  std::optional<TProcessEnd> end;
  for (int i = 0; i < 3000 && !end; ++i) {
    end = TakeProcessEnd(slow);
    if (!end)
      usleep(10000);
  }
  ASSERT_TRUE(end.has_value());
  EXPECT_FALSE(end->Signaled);
  EXPECT_EQ(end->Code, 7);
  EXPECT_GE(end->RunMs, 200);
  EXPECT_LT(end->RunMs, 2500);
  EXPECT_FALSE(TakeProcessEnd(slow).has_value()); // taken once only

  ReapFinishedProcesses();
  const std::optional<TProcessEnd> signalled = TakeProcessEnd(killed);
  ASSERT_TRUE(signalled.has_value());
  EXPECT_TRUE(signalled->Signaled);
  EXPECT_EQ(signalled->Code, SIGKILL);
  EXPECT_EQ(SignalName(SIGKILL), QStringLiteral("SIGKILL"));
}

} // namespace
