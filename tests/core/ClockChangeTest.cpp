// The due check ticked once a real minute through changes of the clock in Berlin.
#include "TestHelpers.h"
#include "core/Scheduler.h"

#include <QTemporaryDir>
#include <cmath>
#include <ctime>
#include <gtest/gtest.h>

namespace {

constexpr double Minute = 1.0 / 1440;

// Berlin time for one test, the zone before it restored after.
struct TBerlinTime {
  QByteArray Old = qgetenv("TZ");
  TBerlinTime() { qputenv("TZ", "Europe/Berlin"), tzset(); }
  ~TBerlinTime() { qputenv("TZ", Old), tzset(); }
};

struct TClockCase {
  const char *Name;
  TTimePoint Kind;
  TDateTime First, From; // FirstDate; the first tick (its first showing), also the LastDate
  double Freq;
  bool AllCalls;
  int Minutes, JumpAt, JumpBy, Calls; // real minutes ticked; the clock set before tick JumpAt
};

} // namespace

// Interval entries call every grid point the clock shows (the repeated hour's twice, the
// skipped hour's never, with or without "Alle"); calendar entries run once; a clock set back
// pauses nothing and repeats no calendar call; a clock set forward makes up as after a stop.
TEST(ClockChange, EachKindThroughDaylightSavingAndClockSetsInBerlin) {
  const TBerlinTime berlin;
  const TDateTime autumn = At(2026, 10, 25, 1, 0, 30), spring = At(2026, 3, 29, 1, 0, 30);
  const TDateTime june = At(2026, 6, 10, 9, 0, 30), grid = At(2026, 1, 1);
  const TClockCase cases[] = {
      {"autumn 10 min", tpFrequency, grid, autumn, 10 * Minute, false, 165, 0, 0, 16},
      {"autumn 10 min Alle", tpFrequency, grid, autumn, 10 * Minute, true, 165, 0, 0, 16},
      {"spring 10 min", tpFrequency, grid, spring, 10 * Minute, false, 105, 0, 0, 10},
      {"spring 10 min Alle", tpFrequency, grid, spring, 10 * Minute, true, 105, 0, 0, 10},
      {"autumn 12 h", tpFrequency, At(2026, 1, 1, 8), autumn, 0.5, false, 48 * 60, 0, 0, 4},
      {"autumn daily", tpDaily, At(2026, 1, 1, 2, 30), autumn, 0, false, 300, 0, 0, 1},
      {"spring daily", tpDaily, At(2026, 1, 1, 2, 30), spring, 0, false, 300, 0, 0, 1},
      {"autumn weekly", tpWeekly, At(2026, 1, 4, 2, 30), autumn, 0, false, 300, 0, 0, 1},
      {"spring weekly", tpWeekly, At(2026, 1, 4, 2, 30), spring, 0, false, 300, 0, 0, 1},
      {"autumn monthly", tpMonthly, At(2026, 1, 25, 2, 30), autumn, 0, false, 300, 0, 0, 1},
      {"spring monthly", tpMonthly, At(2026, 1, 29, 2, 30), spring, 0, false, 300, 0, 0, 1},
      {"autumn yearly", tpYearly, At(2020, 10, 25, 2, 30), autumn, 0, false, 300, 0, 0, 1},
      {"spring yearly", tpYearly, At(2020, 3, 29, 2, 30), spring, 0, false, 300, 0, 0, 1},
      {"set back 10 min", tpFrequency, grid, june, 10 * Minute, false, 120, 55, -60, 12},
      {"set back 10 min Alle", tpFrequency, grid, june, 10 * Minute, true, 120, 55, -60, 12},
      {"set back daily", tpDaily, At(2026, 1, 1, 9, 30), june, 0, false, 120, 55, -60, 1},
      {"set forward 10 min", tpFrequency, grid, june, 10 * Minute, false, 120, 55, 60, 13},
      {"set forward 10 min Alle", tpFrequency, grid, june, 10 * Minute, true, 120, 55, 60, 18},
      {"set forward daily", tpDaily, At(2026, 1, 1, 10, 30), june, 0, false, 120, 55, 60, 1},
  };
  for (const TClockCase &c : cases) {
    TScheduler scheduler;
    TActionEntry *added =
        scheduler.AddAction({c.Kind, false, c.AllCalls, c.Freq, c.First, c.From, {"\"x\""}});
    const std::int64_t start = TMoment(c.From).UtcMs;
    // The next run shown beforehand is when a calendar call really comes (a skipped time: as
    // the clock jumps over it).
    const TDateTime shown = TScheduler::NextDuePoint(*added, c.From);
    int calls = 0;
    for (int i = 0; i <= c.Minutes; ++i) {
      const TMoment now = MomentAt(start + (i + (i >= c.JumpAt ? c.JumpBy : 0)) * 60000);
      scheduler.CollectDueActions(now);
      for (int j = 0; j < scheduler.DueList().Count(); ++j, ++calls) {
        const TDateTime point = scheduler.DueList().Value<double>(j);
        // A frequency call lies on the wall-clock grid, never at a point the clock skips.
        EXPECT_TRUE(c.Kind != tpFrequency ||
                    (std::abs(std::remainder(point - c.First, c.Freq)) < 1e-9 &&
                     !LocalInstantsOf(point).empty()))
            << c.Name << " " << point;
        if (c.Kind != tpFrequency && c.JumpBy == 0 && calls == 0) {
          EXPECT_NEAR(now.Wall, shown, Minute) << c.Name;
        }
      }
      added->DueFlag = false;
    }
    EXPECT_EQ(calls, c.Calls) << c.Name;
  }
}

// Killed after 02:25:30 in the repeated hour, restarted: its instants keep 02:20 from a third call.
TEST(ClockChange, ARestartAfterACrashInsideTheRepeatedHourCallsNothingTwice) {
  const TBerlinTime berlin;
  QTemporaryDir dir;
  const TDateTime from = At(2026, 10, 25, 1, 30, 30);
  TMoment now;
  std::unique_ptr<TScheduler> scheduler;
  for (int i = 1; i <= 175; ++i) {
    if (i == 1 || i == 116) { // started, and again at 02:26:30 the second time after a crash
      scheduler = std::make_unique<TScheduler>();
      scheduler->SetClock([&now] { return now; });
      scheduler->SetConfigFileName(dir.filePath(QStringLiteral("k.ini")));
      // As the configuration saved before holds it.
      scheduler->SetActions(
          {{tpFrequency, false, false, 10 * Minute, At(2026, 1, 1), from, {"\"x\""}}});
      scheduler->OpenJournal();
      scheduler->MergeJournalLastDates();
    }
    now = MomentAt(TMoment(from).UtcMs + i * 60000);
    scheduler->TimerTimer();
  }
  QStringList points;
  for (const TCallRecord &call : scheduler->Journal()->Calls({}, INT64_MAX, 100))
    points.prepend(QDateTimeFromDateTime(call.Due).toString(QStringLiteral("HH:mm")));
  EXPECT_EQ(points.join(u' ').toStdString(),
            "01:40 01:50 02:00 02:10 02:20 02:30 02:40 02:50 "
            "02:00 02:10 02:20 02:30 02:40 02:50 03:00 03:10 03:20");
}
