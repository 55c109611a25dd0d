#include "actions/CommandLineRules.h"
#include "actions/ActionsTestSupport.h"
#include "platform/Process.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

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

// A program in a folder whose name holds blanks, written without quotes (as the edit dialog
// writes a picked path): the longest part of the line up to a blank that names a program.
class ProgramWithBlanks : public TEchoFolder {
protected:
  // Starts the line as an action's program call reads it.
  int Start(const QString &line) { return LaunchProcess(QString(), ProgramAndArguments(line)); }
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
  EXPECT_GT(Start(start + QStringLiteral(" -x \"y z\" w")), ExecStartedAbove);
  EXPECT_EQ(Arguments(), (QStringList{"arg=-x", "arg=y z", "arg=w"}));
  // The quoted form still starts it too.
  QFile::remove(Out);
  EXPECT_GT(Start(u'"' + start + QStringLiteral("\" -q")), ExecStartedAbove);
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
  EXPECT_GT(Start(longer + QStringLiteral(" drei")), ExecStartedAbove);
  EXPECT_EQ(Arguments(), QStringList{"arg=drei"});
}

TEST_F(ProgramWithBlanks, AFileThatIsNoProgramOrAMissingOneFallsBackToTheFirstWord) {
  QDir().mkpath(Dir.filePath(QStringLiteral("Meine Texte")));
  QFile text(Dir.filePath(QStringLiteral("Meine Texte/notiz")));
  ASSERT_TRUE(text.open(QIODevice::WriteOnly)); // not executable
  text.close();
  const QString line = text.fileName() + QStringLiteral(" -x");
  EXPECT_EQ(ProgramAndArguments(line), SplitCommandLine(line));
  EXPECT_EQ(Start(line), ExecFileNotFound); // ".../Meine" is missing
  EXPECT_EQ(Start(Dir.filePath(QStringLiteral("gibt es nicht/p -x"))), ExecFileNotFound);
}

TEST_F(ProgramWithBlanks, ANameWithoutFolderIsLookedUpOnThePath) {
  Program(QStringLiteral("bin/mein werkzeug"));
  const QByteArray oldPath = qgetenv("PATH");
  qputenv("PATH", QFile::encodeName(Dir.filePath(QStringLiteral("bin"))) + ":" + oldPath);
  EXPECT_EQ(ProgramAndArguments(QStringLiteral("mein werkzeug --hilfe")),
            (QStringList{QStringLiteral("mein werkzeug"), QStringLiteral("--hilfe")}));
  EXPECT_GT(Start(QStringLiteral("mein werkzeug --hilfe")), ExecStartedAbove);
  qputenv("PATH", oldPath);
  EXPECT_EQ(Arguments(), QStringList{"arg=--hilfe"});
}

} // namespace
