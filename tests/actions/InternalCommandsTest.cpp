#include "actions/InternalCommands.h"
#include "TestFiles.h"
#include "actions/ActionsTestSupport.h"
#include "actions/CommandLineRules.h"
#include "actions/Placeholders.h"
#include "base/Errors.h"
#include "core/FakePlatform.h"
#include "core/Scheduler.h"
#include "platform/Folders.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <utility>

namespace {

TEST(SplitArguments, QuotesGroupAndRemainderStaysAsWritten) {
  TCommandArguments a = SplitArguments("  \"/a b/x y.txt\" \"/c d\"  -q \"r s\"  ");
  EXPECT_EQ(a.First, "/a b/x y.txt");
  EXPECT_EQ(a.Second, "/c d");
  EXPECT_EQ(a.Remainder, "-q \"r s\"");
  TCommandArguments b = SplitArguments("\"ab\"cd e");
  EXPECT_EQ(b.First, "ab");
  EXPECT_EQ(b.Second, "cd");
  EXPECT_TRUE(SplitArguments(" \t ").First.isEmpty());
  EXPECT_EQ(SplitCommandWord("copy a b").Word, "COPY");
  EXPECT_EQ(SplitCommandWord("COPY").Arguments, "");
}

// A name quoted for a command line comes back whole as an argument of an internal command,
// whatever it holds, and what follows it is still split as before.
TEST(SplitArguments, QuotedNamesComeBackWhole) {
  for (const QString &name :
       {QStringLiteral("a --evil b"), QStringLiteral("x\\\" y\\"), QStringLiteral("schlicht")}) {
    const TCommandArguments a = SplitArguments(
        QuoteCommandWord(name) + " " + QuoteCommandWord("/ziel mit \"blank\"") + "  -q \"r s\"");
    EXPECT_EQ(a.First, name);
    EXPECT_EQ(a.Second, "/ziel mit \"blank\"");
    EXPECT_EQ(a.Remainder, "-q \"r s\"");
  }
}

// EXEC gives the program back its quotes, so a name with blanks or quotes stays one word.
TEST(ExecCommand, AProgramNameWithBlanksAndQuotesIsOneWord) {
  QString started;
  TCommandHost host;
  host.LaunchProgram = [&](const QString &, const QString &commandLine) { started = commandLine; };
  RunCommand("EXEC /tmp " + QuoteCommandWord("/opt/mein \"prog\"") + " -a", host);
  EXPECT_EQ(SplitCommandLine(started), (QStringList{"/opt/mein \"prog\"", "-a"}));
}

class Commands : public ::testing::Test {
protected:
  QTemporaryDir Dir;
  TFakePlatform Platform;
  TScheduler Scheduler{Platform};
  TRecordingSink Sink;
  void SetUp() override { Scheduler.SetMessageSink(&Sink); }
  QString P(const QString &name) { return Dir.filePath(name); }
  void Write(const QString &name, const QByteArray &bytes) {
    QFile f(P(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }
  QByteArray Read(const QString &name) {
    QFile f(P(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
  }
  void Run(const QString &text) { Scheduler.RunInternalCommand(text); }
};

TEST_F(Commands, CopyIntoFolderReportsTheOneFailingFileAndCopiesTheRest) {
  Write("a.txt", "a");
  Write("b.txt", "b");
  Write("c.txt", "c");
  ASSERT_TRUE(QDir(Dir.path()).mkdir("Kopien"));
  ASSERT_TRUE(QDir(Dir.path()).mkpath("Kopien/b.txt")); // a folder where b.txt would go
  Run("copy " + Dir.path() + "/*.txt " + P("Kopien"));
  EXPECT_EQ(Read("Kopien/a.txt"), "a");
  EXPECT_EQ(Read("Kopien/c.txt"), "c");
  ASSERT_EQ(Sink.Messages.size(), 1u);
  EXPECT_EQ(Sink.Messages[0].Caption, "Fehler");
  EXPECT_EQ(Sink.Messages[0].Header, "");
  EXPECT_EQ(Sink.Messages[0].Message,
            "Kopieren von " + P("b.txt") + " nach " + P("Kopien/b.txt") + " mißlungen!");
}

TEST_F(Commands, CopyPatternOntoFileReportsThePatternAndSameNameDoesNothing) {
  Write("a.txt", "a");
  Run("COPY " + Dir.path() + "/*.txt " + P("neu.txt"));
  ASSERT_EQ(Sink.Messages.size(), 1u);
  EXPECT_EQ(Sink.Messages[0].Message,
            "Kopieren von " + Dir.path() + "/*.txt nach " + P("neu.txt") + " mißlungen!");
  Run("Copy " + P("a.txt") + " " + P("a.txt"));
  Run("COPY");
  EXPECT_EQ(Sink.Messages.size(), 1u);
}

TEST_F(Commands, CopyToTrailingSeparatorAndHiddenFolderTargets) {
  Write("a.txt", "a");
  ASSERT_TRUE(QDir(Dir.path()).mkdir(".ziel"));
  Run("COPY " + P("a.txt") + " " + P(".ziel") + "/");
  Run("COPY \"" + P("a.txt") + "\" \"" + P(".ziel") + "\"");
  EXPECT_EQ(Read(".ziel/a.txt"), "a");
  EXPECT_TRUE(Sink.Messages.empty());
}

TEST_F(Commands, MoveOntoExistingFileFailsWithItsMessage) {
  Write("a.txt", "a");
  Write("b.txt", "b");
  Run("MOVE " + P("a.txt") + " " + P("b.txt"));
  EXPECT_EQ(Read("b.txt"), "b");
  EXPECT_EQ(Read("a.txt"), "a");
  ASSERT_EQ(Sink.Messages.size(), 1u);
  EXPECT_EQ(Sink.Messages[0].Message,
            "Verschieben von " + P("a.txt") + " nach " + P("b.txt") + " mißlungen!");
}

TEST_F(Commands, QuotedNamesWithBlanks) {
  Write("mein bericht.txt", "x");
  Run("COPY \"" + P("mein bericht.txt") + "\" \"" + P("die kopie.txt") + "\"");
  EXPECT_EQ(Read("die kopie.txt"), "x");
}

TEST_F(Commands, LzhCopyOntoItselfKeepsTheFileAndMissingSourceRaises) {
  Write("a.txt", "inhalt");
  const QString before = QDir::currentPath();
  QDir::setCurrent(Dir.path());
  Run("LZHCOPY a.txt ./a.txt");
  QDir::setCurrent(before);
  EXPECT_EQ(Read("a.txt"), "inhalt");
  Write("b.txt", "alt");
  EXPECT_THROW(Run("LZHCOPY " + P("fehlt") + " " + P("b.txt")), EInOutError);
  EXPECT_EQ(Read("b.txt"), "alt");
  EXPECT_THROW(Run("LZHCOPY " + P("a.txt") + " " + P("nix/b.txt")), EInOutError);
  // A copy that breaks off while writing (a full disk) names both files.
  Platform.CopyFailure = TCopyFailure::ReadWrite;
  try {
    Run("LZHCOPY " + P("a.txt") + " " + P("c.txt"));
    ADD_FAILURE();
  } catch (const EInOutError &error) {
    EXPECT_EQ(ErrorMessage(error),
              "Fehler beim Kopieren von „" + P("a.txt") + "“ nach „" + P("c.txt") + "“.");
  }
}

TEST_F(Commands, DeleteRenameMkdirAreSilent) {
  Write("a.tmp", "");
  Write("b.tmp", "");
  Write("c.txt", "c");
  Run("DELETE " + Dir.path() + "/*.tmp");
  EXPECT_FALSE(QFile::exists(P("a.tmp")));
  EXPECT_FALSE(QFile::exists(P("b.tmp")));
  Run("DELETE " + P("fehlt"));
  Write("d.txt", "d");
  Run("RENAME " + P("c.txt") + " " + P("d.txt")); // existing new name: fails silently
  EXPECT_EQ(Read("d.txt"), "d");
  Run("RENAME " + P("c.txt") + " " + P("e.txt"));
  EXPECT_EQ(Read("e.txt"), "c");
  Run("MKDIR " + P("neu"));
  Run("MKDIR " + P("neu"));
  EXPECT_TRUE(IsFolder(P("neu")));
  Run("FROBNICATE " + P("e.txt"));
  EXPECT_TRUE(Sink.Messages.empty());
}

// The folder goes to the start as it is; a missing one raises before anything starts.
TEST_F(Commands, ExecStartsProgramInItsFolderOrRaisesForMissingFolder) {
  Run("EXEC \"" + P("mit blank") + "\" \"" ARGECHO_PATH "\" -a -b");
  ASSERT_EQ(Platform.Launches.size(), 1u);
  EXPECT_EQ(Platform.Launches[0].Folder, P("mit blank"));
  EXPECT_EQ(Platform.Launches[0].Words, (QStringList{ARGECHO_PATH, "-a", "-b"}));
  TScheduler real;
  EXPECT_THROW(real.RunInternalCommand("EXEC " + P("fehlt") + " " ARGECHO_PATH), EInOutError);
  EXPECT_TRUE(Sink.Messages.empty());
}

// A name chosen at random is exactly that one file for COPY, MOVE, DELETE and RENAME, whatever
// it holds: never expanded again as a pattern, never read as another random choice.
TEST_F(Commands, AChosenNameIsThatOneFileForEveryCommand) {
  const QStringList all = {"-x", "@foo", "[ab]", "a",   "a*",   "abc", "adam.txt",
                           "b",  "b c",  "bxc",  "foo", "q\"t", "qxt"}; // sorted by name
  // The token's pattern and the file it chooses (the first match by name).
  const QList<QStringList> choices = {{"a?", "a*"},   {"@f*", "@foo"}, {"-?", "-x"},
                                      {"[*", "[ab]"}, {"b?c", "b c"},  {"q?t", "q\"t"}};
  const TRandomIndex before = std::exchange(RandomIndexSource(), [](int) { return 0; });
  int n = 0;
  for (const QString command : {"COPY", "MOVE", "DELETE", "RENAME"})
    for (const QStringList &choice : choices) {
      const QString base = P(QString::number(++n)), src = base + "/src/", ziel = base + "/ziel";
      ASSERT_TRUE(QDir().mkpath(src) && QDir().mkpath(ziel));
      for (const QString &name : all)
        WriteBytes(src + name, name.toUtf8());
      const QString target = command == "DELETE" ? "" : command == "RENAME" ? base + "/neu" : ziel;
      TActionEntry entry = NewActionEntry(
          tpDaily, 0, "%" + command + " %RANDFILE" + src + choice[0] + "% " + target);
      Scheduler.ExecuteAction(entry);
      SCOPED_TRACE(entry.Action.Text().toStdString());
      const QString &chosen = choice[1];
      const bool copied = command == "COPY" || command == "MOVE";
      QStringList left = all;
      left.removeAll(command == "COPY" ? QString() : chosen);
      EXPECT_EQ(QDir(src).entryList(QDir::Files, QDir::Name), left);
      EXPECT_EQ(QDir(ziel).entryList(QDir::Files), copied ? QStringList{chosen} : QStringList());
      EXPECT_EQ(ReadBytes(copied ? ziel + "/" + chosen : base + "/neu"),
                command == "DELETE" ? QByteArray() : chosen.toUtf8());
    }
  RandomIndexSource() = before;
  EXPECT_TRUE(Sink.Messages.empty());
}

} // namespace
