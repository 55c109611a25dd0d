#include "TestFiles.h"
#include "TestHelpers.h"
#include "actions/ActionsTestSupport.h"
#include "core/FakePlatform.h"
#include "core/Scheduler.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class Dispatch : public ::testing::Test {
protected:
  QTemporaryDir Dir;
  TFakePlatform Platform;
  TScheduler Scheduler{Platform};
  TRecordingSink Sink;
  TDateTime Moment = At(2026, 12, 6, 22, 50, 0);
  void SetUp() override {
    Scheduler.SetMessageSink(&Sink);
    Platform.Moment = Moment;
    Scheduler.SetLogFileName(Dir.filePath("kronolab.log"));
  }
  TActionEntry Entry(const QString &action) {
    TActionEntry e = NewActionEntry(tpDaily, At(2026, 12, 1, 8, 0, 0), action);
    e.LastDate = Moment;
    e.DueFlag = true;
    return e;
  }
  QString Log() {
    QFile f(Scheduler.LogFileName());
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
  Scheduler.SetLogging(true);
  TActionEntry empty = Entry(""), percent = Entry("%");
  Scheduler.ExecuteAction(empty);
  Scheduler.ExecuteAction(percent);
  EXPECT_FALSE(empty.DueFlag);
  EXPECT_TRUE(Sink.Messages.empty());
  EXPECT_FALSE(QFile::exists(Scheduler.LogFileName()));
}

TEST_F(Dispatch, LogFileIsCreatedThenAppendedInTheLineFormat) {
  Scheduler.SetLogging(true);
  TActionEntry e = Entry("%TEMP%");
  Scheduler.ExecuteAction(e);
  Scheduler.ExecuteAction(e);
  const QString line =
      "06.12.2026 22:50:00 ; %TEMP% ;01.12.2026 08:00:00 ; 06.12.2026 22:50:00\r\n";
  EXPECT_EQ(Log(), line + line);
  EXPECT_TRUE(Scheduler.CurrentAction().Action.IsEmpty());
}

TEST_F(Dispatch, UnwritableLogAndFailingActionAreReportedNamingTheStoredText) {
  Scheduler.SetLogging(true);
  Scheduler.SetLogFileName(Dir.filePath("nofolder/kronolab.log"));
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
  Scheduler.SetLogging(true);
  Platform.LaunchResults = {ExecOutOfResources, ExecFileNotFound, ExecPathNotFound, ExecBadFormat};
  for (int i = 0; i < 4; ++i) {
    TActionEntry e = Entry("prog /x");
    Scheduler.ExecuteAction(e);
  }
  ASSERT_EQ(Sink.Messages.size(), 4u);
  EXPECT_EQ(Sink.Messages[0].Header, "Fehler bei Ausführung von \"prog /x\"");
  EXPECT_EQ(Sink.Messages[0].Message, "Evt. zuwenig Speicher oder Resourcen verfügbar !");
  EXPECT_EQ(Sink.Messages[1].Message, "Datei nicht gefunden !");
  EXPECT_EQ(Sink.Messages[2].Message, "Pfad nicht gefunden !");
  EXPECT_EQ(Sink.Messages[3].Message, "Fehler in Exe-Datei !");
  EXPECT_EQ(Log().count("\r\n"), 4);
}

// Shell syntax in an action text is never interpreted: the real program gets it verbatim.
TEST_F(Dispatch, ShellSyntaxReachesTheProgramAsLiteralArguments) {
  TScheduler real;
  const QString out = Dir.filePath("echo.txt");
  qputenv("ARGECHO_OUT", out.toUtf8());
  const QString victim = Dir.filePath("victim");
  QFile f(victim);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.close();
  TActionEntry e = Entry(ARGECHO_PATH " ; rm -rf " + victim + " $(touch " + Dir.filePath("x") +
                         ") `id` | cat > " + Dir.filePath("y") + " && echo");
  real.ExecuteAction(e);
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
  Scheduler.SetLogging(true);
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
  Scheduler.SetOnTick([&](TDateTime now) { hooked.push_back(now); });
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
  Scheduler.SetOnTick([&](TDateTime) {
    ++hooks;
    Scheduler.TimerTimer(); // nested: dropped
    throw std::runtime_error("Mond kaputt");
  });
  Scheduler.TimerTimer();
  EXPECT_EQ(hooks, 1);
  EXPECT_FALSE(Scheduler.TickBusy());
  ASSERT_EQ(Sink.Messages.size(), 1u);
  EXPECT_EQ(Sink.Messages[0].Message, "Fehler : Mond kaputt");
}

// A tick that has used its time leaves the remaining calls to the next ticks. With no time
// at all each tick carries out one call; over the ticks every call runs once, in due order,
// catch-up calls as well as flagged ones.
TEST_F(Dispatch, ATickOutOfTimeLeavesTheRestToTheNextTicks) {
  Scheduler.SetTickTimeBudgetMs(0);
  TActionEntry hourly = Entry("\"stündlich\"");
  hourly.TimePoint = tpFrequency;
  hourly.FirstDate = Moment - 3.0 / 24; // 19:50; calls due at 20:50, 21:50 and 22:50
  hourly.LastDate = hourly.FirstDate + RunMark;
  hourly.Freq = 1.0 / 24;
  hourly.AllCalls = true;
  hourly.DueFlag = false;
  TActionEntry once = Entry("\"einmal\"");
  once.TimePoint = tpOnce;
  once.FirstDate = Moment - 1.0 / 1440; // 22:49
  once.LastDate = once.FirstDate - 0.1;
  once.DueFlag = false;
  Scheduler.AddAction(hourly);
  Scheduler.AddAction(once);
  QStringList order;
  for (int tick = 0; tick < 5; ++tick) {
    const std::size_t before = Sink.Messages.size();
    Scheduler.TimerTimer();
    EXPECT_LE(Sink.Messages.size() - before, 1u) << tick;
    if (Sink.Messages.size() > before)
      order.append(Sink.Messages.back().Message);
  }
  EXPECT_EQ(order, (QStringList{"stündlich", "stündlich", "einmal", "stündlich"}));
  EXPECT_NEAR(Scheduler.ActionList()[0]->LastDate, Moment + RunMark, 1e-9);
}

// An interval of a few microseconds and every missed call wanted: a million calls a tick
// would freeze the program; the tick ends within its time and the next one goes on.
TEST_F(Dispatch, AHugeCatchUpEndsTheTickInTime) {
  TActionEntry tiny = Entry("\"winzig\"");
  tiny.TimePoint = tpFrequency;
  tiny.FirstDate = Moment - 1;
  tiny.LastDate = tiny.FirstDate + RunMark;
  tiny.Freq = 1e-9;
  tiny.AllCalls = true;
  Scheduler.AddAction(tiny);
  for (int tick = 0; tick < 2; ++tick) {
    QElapsedTimer spent;
    spent.start();
    const std::size_t before = Sink.Messages.size();
    Scheduler.TimerTimer();
    EXPECT_LT(spent.elapsed(), 1000) << tick;
    EXPECT_GT(Sink.Messages.size(), before) << tick;
  }
  EXPECT_LT(Sink.Messages.size(), 1000000u);
}

// A file chosen at random whose name holds blanks and quotes reaches the program as exactly
// one argument, and a message shows it as it is.
TEST_F(Dispatch, AChosenFileIsOneArgumentOfTheProgram) {
  ASSERT_TRUE(QDir(Dir.path()).mkdir("wahl"));
  for (const QString &name : {QStringLiteral("a --evil b"), QStringLiteral("x\\\" y\\")}) {
    const QString chosen = Dir.filePath("wahl/") + name;
    WriteBytes(chosen, "");
    TActionEntry call = Entry(ARGECHO_PATH " -v %RANDFILE" + Dir.filePath("wahl/*") + "% ende");
    Scheduler.ExecuteAction(call);
    ASSERT_FALSE(Platform.Launches.empty());
    EXPECT_EQ(Platform.Launches.back().Words, (QStringList{ARGECHO_PATH, "-v", chosen, "ende"}));
    TActionEntry message = Entry("\"Heute: %RANDFILE" + Dir.filePath("wahl/*") + "%\"");
    Scheduler.ExecuteAction(message);
    ASSERT_FALSE(Sink.Messages.empty());
    EXPECT_EQ(Sink.Messages.back().Message, "Heute: " + chosen);
    ASSERT_TRUE(QFile::remove(chosen));
  }
}

} // namespace
