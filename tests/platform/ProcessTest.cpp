#include "platform/Process.h"
#include "actions/ActionsTestSupport.h"
#include "base/Errors.h"
#include "platform/Folders.h"

#include <QDir>
#include <QTemporaryDir>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class Launch : public ::testing::Test {
protected:
  QTemporaryDir Dir;
  QString Out;
  void SetUp() override {
    ASSERT_TRUE(Dir.isValid());
    Out = Dir.filePath(QStringLiteral("echo.txt"));
    qputenv("ARGECHO_OUT", Out.toUtf8());
  }
};

TEST(CommandLine, BlanksSeparateAndQuotesGroupAndVanish) {
  EXPECT_EQ(SplitCommandLine(QStringLiteral("  \"/a b/p q\" -x  \"y z\"\t\"\"")),
            (QStringList{"/a b/p q", "-x", "y z", ""}));
  EXPECT_EQ(SplitCommandLine(QStringLiteral("a\"b c\"d")), QStringList{"ab cd"});
  EXPECT_TRUE(SplitCommandLine(QStringLiteral("   ")).isEmpty());
}

TEST_F(Launch, StartsInGivenFolderOwnSessionWithoutOurDescriptors) {
  int leaked = open("/dev/null", O_RDONLY); // deliberately without close-on-exec
  ASSERT_GE(leaked, 3);
  const QString before = CurrentFolder();
  int result = LaunchProcess(Dir.path(), QStringLiteral(ARGECHO_PATH " one \"two words\""));
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
  ASSERT_GT(LaunchProcess(QString(), QStringLiteral(ARGECHO_PATH)), ExecStartedAbove);
  ASSERT_FALSE(WaitForEcho(Out).isEmpty());
  for (int i = 0; i < 500 && UnreapedProcessCount() > 0; ++i) {
    ReapFinishedProcesses();
    usleep(10000);
  }
  EXPECT_EQ(UnreapedProcessCount(), 0);
  int status = 0;
  EXPECT_EQ(waitpid(-1, &status, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

TEST_F(Launch, ResultsTellMissingFileMissingFolderAndNoProgramApart) {
  EXPECT_EQ(LaunchProcess(QString(), QStringLiteral("kronolab-no-such-program-xyz")),
            ExecFileNotFound);
  EXPECT_EQ(LaunchProcess(QString(), Dir.filePath(QStringLiteral("missing"))), ExecFileNotFound);
  EXPECT_EQ(LaunchProcess(QString(), Dir.filePath(QStringLiteral("nofolder/prog"))),
            ExecPathNotFound);
  QString text = Dir.filePath(QStringLiteral("text.exe"));
  QFile file(text);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("no program\n");
  file.close();
  EXPECT_EQ(LaunchProcess(QString(), text), ExecBadFormat); // not executable
  file.setPermissions(file.permissions() | QFile::ExeOwner);
  EXPECT_EQ(LaunchProcess(QString(), text), ExecBadFormat); // executable, but no program
}

TEST_F(Launch, MissingWorkingFolderRaisesAndStartsNothing) {
  EXPECT_THROW(LaunchProcess(Dir.filePath(QStringLiteral("gone")), QStringLiteral(ARGECHO_PATH)),
               EInOutError);
  usleep(100000);
  EXPECT_FALSE(QFile::exists(Out));
}

// The end of a program is seen when it happens, not when someone next asks: its run time
// stays that of the program even when it is collected a second later.
TEST(ProcessEnd, StatusSignalAndRunTimeOfEachProgramAreKeptUntilTaken) {
  std::int64_t slow = 0, killed = 0;
  ASSERT_GT(LaunchProcess(QString(), QStringLiteral("/bin/sh -c \"sleep 0.2; exit 7\""), &slow),
            ExecStartedAbove);
  ASSERT_GT(LaunchProcess(QString(), QStringLiteral("/bin/sh -c \"kill -KILL $$\""), &killed),
            ExecStartedAbove);
  EXPECT_GT(slow, 0);
  EXPECT_NE(slow, killed);
  EXPECT_FALSE(TakeProcessEnd(slow).has_value()); // still running
  usleep(1200000);
  std::optional<TProcessEnd> end;
  for (int i = 0; i < 400 && !end; ++i) {
    end = TakeProcessEnd(slow);
    if (!end)
      usleep(10000);
  }
  ASSERT_TRUE(end.has_value());
  EXPECT_FALSE(end->Signaled);
  EXPECT_EQ(end->Code, 7);
  EXPECT_GE(end->RunMs, 200);
  EXPECT_LT(end->RunMs, 1000);
  EXPECT_FALSE(TakeProcessEnd(slow).has_value()); // taken once only

  ReapFinishedProcesses();
  const std::optional<TProcessEnd> signalled = TakeProcessEnd(killed);
  ASSERT_TRUE(signalled.has_value());
  EXPECT_TRUE(signalled->Signaled);
  EXPECT_EQ(signalled->Code, SIGKILL);
  EXPECT_EQ(SignalName(SIGKILL), QStringLiteral("SIGKILL"));
}

} // namespace
