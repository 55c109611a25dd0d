#include "platform/Process.h"
#include "actions/ActionsTestSupport.h"
#include "base/Errors.h"
#include "platform/Folders.h"

#include <QDir>
#include <QTemporaryDir>
#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
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

// Backslashes count only before a double quote: pairs stand for one, an odd one makes the
// quote literal (the rules Windows programs split their command line by).
TEST(CommandLine, BackslashesEscapeOnlyBeforeAQuote) {
  EXPECT_EQ(SplitCommandLine(QStringLiteral(R"(a\b\\c "d\\" e\"f \\\"g" h)")),
            (QStringList{R"(a\b\\c)", R"(d\)", R"(e"f)", R"(\"g h)"}));
}

// Whatever a word holds (blanks, tabs, quotes, backslashes before a quote or at its end), its
// quoted form comes back from the splitter as exactly that word; plain words stay as they are.
TEST(CommandLine, AQuotedWordComesBackWhole) {
  const QStringList words = {"plain",
                             "",
                             "a --evil b",
                             "a\tb",
                             "x\"y",
                             "\"",
                             R"(a\"b)",
                             R"(a\\"b)",
                             R"(ends\)",
                             R"(ends in blank\\)",
                             R"(\\server\share)",
                             R"(x\" y\)",
                             "50% \"mehr\""};
  QString line = QStringLiteral("prog");
  for (const QString &word : words) {
    EXPECT_EQ(SplitCommandLine("prog " + QuoteCommandWord(word)), (QStringList{"prog", word}))
        << word.toStdString();
    line += u' ' + QuoteCommandWord(word);
  }
  EXPECT_EQ(SplitCommandLine(line), QStringList{"prog"} + words);
  EXPECT_EQ(QuoteCommandWord("/usr/bin/plain"), "/usr/bin/plain");
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
    const int missing = LaunchProcess(QString(), QStringLiteral("kronolab-no-such-program-xyz"));
    const int notRunnable = LaunchProcess(QString(), QStringLiteral("kein-programm"));
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
  EXPECT_THROW(LaunchProcess(Dir.filePath(QStringLiteral("gone")), QStringLiteral(ARGECHO_PATH)),
               EInOutError);
  usleep(100000);
  EXPECT_FALSE(QFile::exists(Out));
}

} // namespace
