#include "TestHelpers.h"
#include "actions/ActionsTestSupport.h"
#include "core/Scheduler.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class Dispatch : public ::testing::Test {
protected:
  QTemporaryDir Dir;
  TScheduler Scheduler;
  TRecordingSink Sink;
  TDateTime Moment = At(2026, 12, 6, 22, 50, 0);
  void SetUp() override {
    Scheduler.MessageSink = &Sink;
    Scheduler.Clock = [this] { return Moment; };
    Scheduler.LogFileName = Dir.filePath("kronolab.log");
  }
  TActionEntry Entry(const QString &action) {
    TActionEntry e = NewActionEntry(tpDaily, At(2026, 12, 1, 8, 0, 0), action);
    e.LastDate = Moment;
    e.DueFlag = true;
    return e;
  }
  QString Log() {
    QFile f(Scheduler.LogFileName);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
  }
};

TEST_F(Dispatch, MessageActionsAndTheirQuotes) {
  TActionEntry a = Entry("\"zwei Worte\""), b = Entry("'zwei Worte'"), c = Entry("\"");
  Scheduler.ExecuteAction(a);
  Scheduler.ExecuteAction(b);
  Scheduler.ExecuteAction(c);
  ASSERT_EQ(Sink.Messages.size(), 3u);
  EXPECT_EQ(Sink.Messages[0].Caption, "Nachricht von Kronolab");
  EXPECT_EQ(Sink.Messages[0].Header, "Nachricht vom 06.12.2026 22:50:00");
  EXPECT_EQ(Sink.Messages[0].Message, "zwei Worte");
  EXPECT_EQ(Sink.Messages[1].Message, "zwei Worte'");
  EXPECT_EQ(Sink.Messages[2].Message, "");
  EXPECT_FALSE(a.DueFlag);
}

TEST_F(Dispatch, EmptyAndVanishingActionsDoNothing) {
  Scheduler.Logging = true;
  TActionEntry empty = Entry(""), percent = Entry("%");
  Scheduler.ExecuteAction(empty);
  Scheduler.ExecuteAction(percent);
  EXPECT_FALSE(empty.DueFlag);
  EXPECT_TRUE(Sink.Messages.empty());
  EXPECT_FALSE(QFile::exists(Scheduler.LogFileName));
}

TEST_F(Dispatch, LogFileIsCreatedThenAppendedInTheLineFormat) {
  Scheduler.Logging = true;
  TActionEntry e = Entry("%TEMP%");
  Scheduler.ExecuteAction(e);
  Scheduler.ExecuteAction(e);
  const QString line =
      "06.12.2026 22:50:00 ; %TEMP% ;01.12.2026 08:00:00 ; 06.12.2026 22:50:00\r\n";
  EXPECT_EQ(Log(), line + line);
  EXPECT_TRUE(Scheduler.CurrentAction().Action.IsEmpty());
}

TEST_F(Dispatch, UnwritableLogAndFailingActionAreReportedNamingTheStoredText) {
  Scheduler.Logging = true;
  Scheduler.LogFileName = Dir.filePath("nofolder/kronolab.log");
  TActionEntry e = Entry("\"Hallo %DAY%\"");
  Scheduler.ExecuteAction(e);
  ASSERT_EQ(Sink.Messages.size(), 2u);
  EXPECT_EQ(Sink.Messages[1].Caption, "Fehler");
  EXPECT_TRUE(Sink.Messages[1].Message.startsWith("Fehler in \"Hallo %DAY%\"\r\n"));
  // Cleared once reported: a later error outside any action names none.
  EXPECT_TRUE(Scheduler.CurrentAction().Action.IsEmpty());
  Scheduler.HandleAppException(QStringLiteral("kaputt"));
  EXPECT_EQ(Sink.Messages[2].Message, "Fehler : kaputt");
}

TEST_F(Dispatch, StartFailuresShowTheFourMessagesAndStillLog) {
  Scheduler.Logging = true;
  QFile text(Dir.filePath("text.exe"));
  ASSERT_TRUE(text.open(QIODevice::WriteOnly));
  text.close();
  const QStringList lines = {"kronolab-no-such-program-xyz /x", Dir.filePath("nix/prog"),
                             Dir.filePath("text.exe")};
  for (const QString &line : lines) {
    TActionEntry e = Entry(line);
    Scheduler.ExecuteAction(e);
  }
  ASSERT_EQ(Sink.Messages.size(), 3u);
  EXPECT_EQ(Sink.Messages[0].Header,
            "Fehler bei Ausführung von \"kronolab-no-such-program-xyz /x\"");
  EXPECT_EQ(Sink.Messages[0].Message, "Datei nicht gefunden !");
  EXPECT_EQ(Sink.Messages[1].Message, "Pfad nicht gefunden !");
  EXPECT_EQ(Sink.Messages[2].Message, "Fehler in Exe-Datei !");
  EXPECT_EQ(Log().count("\r\n"), 3);
}

// Shell syntax in an action text is never interpreted: the named program gets it verbatim.
TEST_F(Dispatch, ShellSyntaxReachesTheProgramAsLiteralArguments) {
  const QString out = Dir.filePath("echo.txt");
  qputenv("ARGECHO_OUT", out.toUtf8());
  const QString victim = Dir.filePath("victim");
  QFile f(victim);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.close();
  TActionEntry e = Entry(ARGECHO_PATH " ; rm -rf " + victim + " $(touch " + Dir.filePath("x") +
                         ") `id` | cat > " + Dir.filePath("y") + " && echo");
  Scheduler.ExecuteAction(e);
  QStringList lines = WaitForEcho(out);
  ASSERT_FALSE(lines.isEmpty());
  EXPECT_EQ(lines.mid(3),
            (QStringList{"arg=;", "arg=rm", "arg=-rf", "arg=" + victim, "arg=$(touch",
                         "arg=" + Dir.filePath("x") + ")", "arg=`id`", "arg=|", "arg=cat", "arg=>",
                         "arg=" + Dir.filePath("y"), "arg=&&", "arg=echo"}));
  EXPECT_TRUE(QFile::exists(victim));
  EXPECT_FALSE(QFile::exists(Dir.filePath("x")));
  EXPECT_FALSE(QFile::exists(Dir.filePath("y")));
}

TEST_F(Dispatch, TickRunsDueEntriesInOrderAndAFailureDoesNotStopTheNext) {
  Scheduler.Logging = true;
  QFile src(Dir.filePath("a.txt"));
  ASSERT_TRUE(src.open(QIODevice::WriteOnly));
  src.write("a");
  src.close();
  TActionEntry bad = Entry("%LZHCOPY " + Dir.filePath("fehlt") + " " + Dir.filePath("b.txt"));
  TActionEntry good = Entry("%COPY " + Dir.filePath("a.txt") + " " + Dir.filePath("c.txt"));
  // Two once-only entries whose moments have just passed, the failing one first.
  TDateTime first = Moment - 2.0 / 1440;
  for (TActionEntry *e : {&bad, &good}) {
    e->TimePoint = tpOnce;
    e->FirstDate = first;
    e->LastDate = first - 0.1;
    e->DueFlag = false;
    Scheduler.AddAction(*e);
    first += 1.0 / 1440;
  }
  std::vector<TDateTime> hooked;
  Scheduler.OnTick = [&](TDateTime now) { hooked.push_back(now); };
  Scheduler.TimerTimer();
  EXPECT_EQ(hooked, std::vector<TDateTime>{Moment});
  ASSERT_EQ(Sink.Messages.size(), 1u);
  EXPECT_TRUE(Sink.Messages[0].Message.startsWith("Fehler in %LZHCOPY "));
  EXPECT_TRUE(QFile::exists(Dir.filePath("c.txt")));
  EXPECT_EQ(Log().count("\r\n"), 1);
  EXPECT_FALSE(Scheduler.TickBusy());
}

TEST_F(Dispatch, BusyTickReturnsAtOnceAndEscapingErrorClearsBusy) {
  int hooks = 0;
  Scheduler.OnTick = [&](TDateTime) {
    ++hooks;
    Scheduler.TimerTimer(); // nested: dropped
    throw std::runtime_error("Mond kaputt");
  };
  Scheduler.TimerTimer();
  EXPECT_EQ(hooks, 1);
  EXPECT_FALSE(Scheduler.TickBusy());
  ASSERT_EQ(Sink.Messages.size(), 1u);
  EXPECT_EQ(Sink.Messages[0].Message, "Fehler : Mond kaputt");
}

} // namespace
