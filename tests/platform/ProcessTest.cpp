#include "platform/Process.h"
#include "actions/ActionsTestSupport.h"
#include "base/Errors.h"
#include "platform/Folders.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>
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

} // namespace
