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

// A program in a folder whose name holds blanks, written without quotes (as the edit dialog
// writes a picked path): the longest part of the line up to a blank that names a program.
class ProgramWithBlanks : public Launch {
protected:
  // A copy of ArgEcho at relative, executable.
  QString Program(const QString &relative) {
    const QString path = Dir.filePath(relative);
    QDir().mkpath(QFileInfo(path).path());
    EXPECT_TRUE(QFile::copy(QStringLiteral(ARGECHO_PATH), path));
    QFile(path).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
  }
  QStringList Arguments() { return WaitForEcho(Out).mid(3); }
};

TEST_F(ProgramWithBlanks, AnUnquotedPathWithBlanksStartsWithTheRestAsArguments) {
  const QString start = Program(QStringLiteral("Meine Programme/start"));
  EXPECT_GT(LaunchProcess(QString(), start + QStringLiteral(" -x \"y z\" w")), ExecStartedAbove);
  EXPECT_EQ(Arguments(), (QStringList{"arg=-x", "arg=y z", "arg=w"}));
  // The quoted form still starts it too.
  QFile::remove(Out);
  EXPECT_GT(LaunchProcess(QString(), u'"' + start + QStringLiteral("\" -q")), ExecStartedAbove);
  EXPECT_EQ(Arguments(), QStringList{"arg=-q"});
}

TEST_F(ProgramWithBlanks, TheLongestPartThatNamesAProgramWinsUnlessTheFirstWordIsOne) {
  const QString shorter = Program(QStringLiteral("mein prog"));
  const QString longer = Program(QStringLiteral("mein prog zwei"));
  EXPECT_EQ(ProgramAndArguments(longer + QStringLiteral(" drei")),
            (QStringList{longer, QStringLiteral("drei")}));
  EXPECT_EQ(ProgramAndArguments(shorter + QStringLiteral(" zwo drei")),
            (QStringList{shorter, QStringLiteral("zwo"), QStringLiteral("drei")}));
  // A first word that is a program is taken as it is, even where a longer part is one too.
  const QString run = Program(QStringLiteral("run"));
  Program(QStringLiteral("run fast"));
  EXPECT_EQ(ProgramAndArguments(run + QStringLiteral(" fast")),
            (QStringList{run, QStringLiteral("fast")}));
  EXPECT_GT(LaunchProcess(QString(), longer + QStringLiteral(" drei")), ExecStartedAbove);
  EXPECT_EQ(Arguments(), QStringList{"arg=drei"});
}

TEST_F(ProgramWithBlanks, AFileThatIsNoProgramOrAMissingOneFallsBackToTheFirstWord) {
  QDir().mkpath(Dir.filePath(QStringLiteral("Meine Texte")));
  QFile text(Dir.filePath(QStringLiteral("Meine Texte/notiz")));
  ASSERT_TRUE(text.open(QIODevice::WriteOnly)); // not executable
  text.close();
  const QString line = text.fileName() + QStringLiteral(" -x");
  EXPECT_EQ(ProgramAndArguments(line), SplitCommandLine(line));
  EXPECT_EQ(LaunchProcess(QString(), line), ExecFileNotFound); // ".../Meine" is missing
  EXPECT_EQ(LaunchProcess(QString(), Dir.filePath(QStringLiteral("gibt es nicht/p -x"))),
            ExecFileNotFound);
}

TEST_F(ProgramWithBlanks, ANameWithoutFolderIsLookedUpOnThePath) {
  Program(QStringLiteral("bin/mein werkzeug"));
  const QByteArray oldPath = qgetenv("PATH");
  qputenv("PATH", QFile::encodeName(Dir.filePath(QStringLiteral("bin"))) + ":" + oldPath);
  EXPECT_EQ(ProgramAndArguments(QStringLiteral("mein werkzeug --hilfe")),
            (QStringList{QStringLiteral("mein werkzeug"), QStringLiteral("--hilfe")}));
  EXPECT_GT(LaunchProcess(QString(), QStringLiteral("mein werkzeug --hilfe")), ExecStartedAbove);
  qputenv("PATH", oldPath);
  EXPECT_EQ(Arguments(), QStringList{"arg=--hilfe"});
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
  QElapsedTimer sinceStart;
  sinceStart.start();
  ASSERT_GT(LaunchProcess(QString(), QStringLiteral("/bin/sh -c \"sleep 0.2; exit 7\""), &slow),
            ExecStartedAbove);
  ASSERT_GT(LaunchProcess(QString(), QStringLiteral("/bin/sh -c \"kill -KILL $$\""), &killed),
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
