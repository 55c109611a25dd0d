// Around a started program, with real programs and the real clock only where a program's
// run needs it: its output kept with its call, calls skipped or kept waiting while it runs,
// its time limit; and messages put off across a restart, at a fixed "now".
#include "JournalFixture.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <csignal>

namespace {

// A frequency entry due at every tick one second apart (its points a quarter second before).
TActionEntry EverySecond(const QString &action, TDateTime now, TIfRunning ifRunning) {
  TActionEntry entry = Frequency(action, now - 1.25 * Second, Second, false);
  entry.IfRunning = ifRunning;
  return entry;
}

TActionEntry Limited(const QString &action, std::int64_t limitMs) {
  TActionEntry entry = AtStart(action, 1);
  entry.TimeLimitMs = limitMs;
  return entry;
}

std::vector<TCallRecord> OfEntry(const std::vector<TCallRecord> &calls, int number) {
  std::vector<TCallRecord> found;
  std::copy_if(calls.begin(), calls.end(), std::back_inserter(found),
               [number](const TCallRecord &call) { return call.EntryNumber == number; });
  return found;
}

TEST_F(Journal, ProgramsKeepTheirOutputTailWaitOrSkipWhileRunningAndStopAtTheirLimit) {
  auto scheduler = Start({
      AtStart(
          R"(/bin/sh -c "head -c 102400 /dev/zero | tr '\0' x; echo END; echo fehlt >&2; exit 3")"),
      Limited(QStringLiteral("yes"), 1000), // writes without end
      Limited(QStringLiteral(R"(/bin/sh -c "trap '' TERM; sleep 60")"), 1000),
      EverySecond(QStringLiteral(R"(/bin/sh -c "sleep 3")"), Now, irSkip),
      EverySecond(QStringLiteral(R"(/bin/sh -c "sleep 1")"), Now, irAfter),
  });
  for (int tick = 0; tick < 3; ++tick, Now += Second)
    scheduler->TimerTimer();
  // The journal tells when everything has ended: the program that ignores SIGTERM is
  // killed ten seconds after its limit.
  QElapsedTimer waited;
  waited.start();
  const auto open = [&] {
    const std::vector<TCallRecord> calls = CallsOf(*scheduler);
    return std::any_of(calls.begin(), calls.end(), [](const TCallRecord &call) {
      return call.State == TCallState::Recorded || call.State == TCallState::Running;
    });
  };
  while (open() && waited.elapsed() < 90000) {
    // Ends arrive through the scheduler's own notifier; the limits through its timers.
    QEventLoop loop;
    QTimer::singleShot(200, &loop, &QEventLoop::quit);
    loop.exec();
  }
  const std::vector<TCallRecord> calls = CallsOf(*scheduler);
  ASSERT_FALSE(open());

  const TCallRecord printer = OfEntry(calls, 1).at(0);
  const std::optional<TCallOutput> printed = scheduler->Journal()->CallOutput(printer.Id);
  ASSERT_TRUE(printed.has_value());
  EXPECT_EQ(printed->Output.size(), KeptOutputBytes);
  EXPECT_TRUE(printed->Output.endsWith("xxEND\n"));
  EXPECT_EQ(printed->Errors, QByteArray("fehlt\n"));
  EXPECT_TRUE(CallOutputText(*printed).endsWith(QStringLiteral("END\n\nFehlerausgabe:\nfehlt\n")));
  EXPECT_EQ(CallResultText(printer), QStringLiteral("Beendet mit Status 3"));

  const TCallRecord endless = OfEntry(calls, 2).at(0);
  EXPECT_EQ(CallResultText(endless), QStringLiteral("Abgebrochen: Zeitlimit"));
  EXPECT_TRUE(endless.Failed);
  EXPECT_EQ(endless.Code, SIGTERM);
  EXPECT_EQ(scheduler->Journal()->CallOutput(endless.Id)->Output.size(), KeptOutputBytes);

  const TCallRecord stubborn = OfEntry(calls, 3).at(0);
  EXPECT_EQ(CallResultText(stubborn), QStringLiteral("Abgebrochen: Zeitlimit"));
  EXPECT_TRUE(stubborn.Failed);
  EXPECT_EQ(stubborn.Code, SIGKILL);
  EXPECT_GE(stubborn.DurationMs, 10000);
  EXPECT_FALSE(scheduler->Journal()->CallOutput(stubborn.Id).has_value());

  // Skip: the second call is recorded, not made. After: one call waits and starts when the
  // first ends, the third is skipped.
  const std::vector<TCallRecord> skip = OfEntry(calls, 4), after = OfEntry(calls, 5);
  ASSERT_EQ(skip.size(), 3u);
  ASSERT_EQ(after.size(), 3u);
  const QString skipped = QStringLiteral("Übersprungen: läuft noch");
  EXPECT_EQ(skip[0].State, TCallState::Exited);
  EXPECT_EQ(CallResultText(skip[1]), skipped);
  EXPECT_EQ(CallResultText(skip[2]), skipped);
  EXPECT_FALSE(skip[1].Failed);
  EXPECT_EQ(after[0].State, TCallState::Exited);
  EXPECT_EQ(after[1].State, TCallState::Exited);
  EXPECT_GE(after[1].DurationMs, 900);
  EXPECT_EQ(CallResultText(after[2]), skipped);
}

TEST_F(Journal, APutOffMessageComesBackOnceAtItsMomentAlsoAfterARestart) {
  const TDateTime later = SnoozeMoment(TSnoozeDelay::Hour1, Now);
  const TDateTime soon = SnoozeMoment(TSnoozeDelay::Minutes5, Now);
  EXPECT_NEAR((later - Now) * 24, 1, 1e-9);
  EXPECT_NEAR((SnoozeMoment(TSnoozeDelay::Minutes15, Now) - Now) * 24 * 60, 15, 1e-6);
  EXPECT_EQ(SnoozeMoment(TSnoozeDelay::Tomorrow, Now), Now + 1);
  auto scheduler = Start();
  scheduler->SnoozeMessage(QStringLiteral("Nachricht"), QStringLiteral("Kopf"),
                           QStringLiteral("Zähne putzen"), later);
  scheduler->SnoozeMessage(QStringLiteral("Nachricht"), QString(), QStringLiteral("Tee"), soon);
  scheduler.reset();

  scheduler = Start();
  EXPECT_NEAR(scheduler->NextSnooze(), soon, MsTolerance);
  Now = later - Second;
  scheduler->TimerTimer();
  ASSERT_EQ(Sink.Messages.size(), 1u);
  EXPECT_EQ(Sink.Messages[0].Message, QStringLiteral("Tee"));
  EXPECT_NEAR(scheduler->NextSnooze(), later, MsTolerance);
  scheduler.reset();

  // Due while the program was not running: shown at the first tick.
  Now = later + 1;
  scheduler = Start();
  scheduler->TimerTimer();
  scheduler->TimerTimer();
  ASSERT_EQ(Sink.Messages.size(), 2u);
  EXPECT_EQ(Sink.Messages[1].Header, QStringLiteral("Kopf"));
  EXPECT_EQ(Sink.Messages[1].Message, QStringLiteral("Zähne putzen"));
  scheduler.reset();
  EXPECT_EQ(Start()->NextSnooze(), 0);
}

} // namespace
