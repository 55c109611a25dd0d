// The due check as the user lives time in Berlin: ticked once a real minute through both
// daylight-saving changes of 2026 and through a clock set back or forward by an hour, and a
// restart after a crash inside the repeated autumn hour.
#include "TestHelpers.h"
#include "core/Scheduler.h"

#include <QTemporaryDir>
#include <cmath>
#include <ctime>
#include <gtest/gtest.h>

namespace {

constexpr double Minute = 1.0 / 1440;
constexpr std::int64_t MinuteMs = 60000;

// Berlin time for one test, the zone before it restored after.
struct TBerlinTime {
  QByteArray Old = qgetenv("TZ");
  TBerlinTime() { qputenv("TZ", "Europe/Berlin"), tzset(); }
  ~TBerlinTime() { qputenv("TZ", Old), tzset(); }
};

struct TClockCase {
  const char *Name;
  TTimePoint Kind;
  TDateTime First;
  double Freq;
  bool AllCalls;
  TDateTime From; // the first tick (its first showing); also the entry's LastDate
  int Minutes;    // real minutes ticked
  int JumpAt;     // the system clock is set by JumpBy minutes before this tick
  int JumpBy;
  int Calls;
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
      {"autumn 10 min", tpFrequency, grid, 10 * Minute, false, autumn, 165, 0, 0, 16},
      {"autumn 10 min Alle", tpFrequency, grid, 10 * Minute, true, autumn, 165, 0, 0, 16},
      {"spring 10 min", tpFrequency, grid, 10 * Minute, false, spring, 105, 0, 0, 10},
      {"spring 10 min Alle", tpFrequency, grid, 10 * Minute, true, spring, 105, 0, 0, 10},
      {"autumn 12 h", tpFrequency, At(2026, 1, 1, 8), 0.5, false, autumn, 48 * 60, 0, 0, 4},
      {"autumn daily", tpDaily, At(2026, 1, 1, 2, 30), 0, false, autumn, 300, 0, 0, 1},
      {"spring daily", tpDaily, At(2026, 1, 1, 2, 30), 0, false, spring, 300, 0, 0, 1},
      {"autumn weekly", tpWeekly, At(2026, 1, 4, 2, 30), 0, false, autumn, 300, 0, 0, 1},
      {"spring weekly", tpWeekly, At(2026, 1, 4, 2, 30), 0, false, spring, 300, 0, 0, 1},
      {"autumn monthly", tpMonthly, At(2026, 1, 25, 2, 30), 0, false, autumn, 300, 0, 0, 1},
      {"spring monthly", tpMonthly, At(2026, 1, 29, 2, 30), 0, false, spring, 300, 0, 0, 1},
      {"autumn yearly", tpYearly, At(2020, 10, 25, 2, 30), 0, false, autumn, 300, 0, 0, 1},
      {"spring yearly", tpYearly, At(2020, 3, 29, 2, 30), 0, false, spring, 300, 0, 0, 1},
      {"set back 10 min", tpFrequency, grid, 10 * Minute, false, june, 120, 55, -60, 12},
      {"set back 10 min Alle", tpFrequency, grid, 10 * Minute, true, june, 120, 55, -60, 12},
      {"set back daily", tpDaily, At(2026, 1, 1, 9, 30), 0, false, june, 120, 55, -60, 1},
      {"set forward 10 min", tpFrequency, grid, 10 * Minute, false, june, 120, 55, 60, 13},
      {"set forward 10 min Alle", tpFrequency, grid, 10 * Minute, true, june, 120, 55, 60, 18},
      {"set forward daily", tpDaily, At(2026, 1, 1, 10, 30), 0, false, june, 120, 55, 60, 1},
  };
  for (const TClockCase &c : cases) {
    TScheduler scheduler;
    TActionEntry entry = NewActionEntry(c.Kind, c.First, QStringLiteral("\"x\""));
    entry.Freq = c.Freq;
    entry.AllCalls = c.AllCalls;
    entry.LastDate = c.From;
    TActionEntry *added = scheduler.AddAction(entry);
    const std::int64_t start = TMoment(c.From).UtcMs;
    int calls = 0;
    for (int i = 0; i <= c.Minutes; ++i) {
      const TMoment now = MomentAt(start + (i + (i >= c.JumpAt ? c.JumpBy : 0)) * MinuteMs);
      scheduler.CollectDueActions(now);
      for (int j = 0; j < scheduler.DueList().Count(); ++j, ++calls) {
        const TDateTime point = scheduler.DueList().Value<double>(j);
        EXPECT_LE(point, now.Wall) << c.Name;
        if (c.Kind != tpFrequency)
          continue;
        // On the wall-clock grid, and never a point the clock skipped.
        const double k = (point - c.First) / c.Freq;
        EXPECT_NEAR(k, std::round(k), 1e-6) << c.Name;
        EXPECT_FALSE(LocalInstantsOf(point).empty()) << c.Name << " " << point;
      }
      added->DueFlag = false;
    }
    EXPECT_EQ(calls, c.Calls) << c.Name;
  }
}

// Killed after its tick at 02:25:30 in the repeated hour and started again a minute later:
// the journal's instants keep 02:20 from being called a third time, and the grid goes on.
TEST(ClockChange, ARestartAfterACrashInsideTheRepeatedHourCallsNothingTwice) {
  const TBerlinTime berlin;
  QTemporaryDir dir;
  TActionEntry entry = NewActionEntry(tpFrequency, At(2026, 1, 1), QStringLiteral("\"x\""));
  entry.Freq = 10 * Minute;
  entry.LastDate = At(2026, 10, 25, 1, 30, 30);
  TMoment now;
  const auto start = [&] {
    auto scheduler = std::make_unique<TScheduler>();
    scheduler->Clock = [&now] { return now; };
    scheduler->ConfigFileName = dir.filePath(QStringLiteral("k.ini"));
    scheduler->SetActions({entry}); // as the configuration saved before holds it
    scheduler->OpenJournal();
    scheduler->MergeJournalLastDates();
    return scheduler;
  };
  const std::int64_t from = TMoment(entry.LastDate).UtcMs;
  auto scheduler = start();
  for (int i = 1; i <= 175; ++i) {
    if (i == 116) // 02:26:30, the second time
      scheduler = start();
    now = MomentAt(from + i * MinuteMs);
    scheduler->TimerTimer();
  }
  std::vector<TCallRecord> calls = scheduler->Journal()->Calls({}, INT64_MAX, 100);
  QStringList points;
  for (auto call = calls.rbegin(); call != calls.rend(); ++call)
    points.append(QDateTimeFromDateTime(call->Due).toString(QStringLiteral("HH:mm")));
  EXPECT_EQ(points.join(u' ').toStdString(),
            "01:40 01:50 02:00 02:10 02:20 02:30 02:40 02:50 "
            "02:00 02:10 02:20 02:30 02:40 02:50 03:00 03:10 03:20");
}
