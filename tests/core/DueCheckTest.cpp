#include "TestHelpers.h"
#include "actions/ActionsTestSupport.h"
#include "core/Scheduler.h"
#include "core/WakePlanner.h"
#include "platform/Clock.h"

#include <QTemporaryDir>
#include <QTimeZone>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace {

constexpr double Hour = 1.0 / 24;
constexpr double Minute = Hour / 60;
constexpr double Second = Minute / 60;

struct TCall {
  TDateTime DuePoint;
  TActionEntry *Entry;
};

// Drives the due check like the tick does: collect, then "dispatch" each call, which
// clears its entry's DueFlag as ExecuteAction would.
class DueCheck : public ::testing::Test {
protected:
  TActionEntry *Add(TTimePoint kind, TDateTime first, TDateTime last, double freq = 0,
                    bool allCalls = false) {
    TActionEntry entry;
    entry.TimePoint = kind;
    entry.FirstDate = first;
    entry.LastDate = last;
    entry.Freq = freq;
    entry.AllCalls = allCalls;
    entry.Action = QStringLiteral("\"Aktion %1\"").arg(Scheduler.ActionList().Count() + 1);
    return Scheduler.AddAction(entry);
  }

  std::vector<TCall> Tick(TDateTime now) {
    Scheduler.CollectDueActions(now);
    std::vector<TCall> calls;
    for (int i = 0; i < Scheduler.DueList().Count(); ++i)
      calls.push_back({Scheduler.DueList().Value<double>(i), Scheduler.DueEntry(i)});
    for (const TCall &call : calls)
      call.Entry->DueFlag = false;
    return calls;
  }

  // Ticks every step from start to end, counting the calls of entry.
  int CallsBetween(TActionEntry *entry, TDateTime start, TDateTime end, double step) {
    int calls = 0;
    for (TDateTime now = start; now <= end; now += step)
      for (const TCall &call : Tick(now))
        calls += call.Entry == entry;
    return calls;
  }

  TScheduler Scheduler;
};

} // namespace

TEST_F(DueCheck, OnceEntryRunsAtItsMomentAndNeverAgain) {
  const TDateTime ten = At(2026, 12, 8, 10);
  TActionEntry *entry = Add(tpOnce, ten, ten - 0.1);
  EXPECT_TRUE(Tick(At(2026, 12, 8, 9, 59, 59, 999)).empty());
  const auto calls = Tick(ten); // now equal to FirstDate is due
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].DuePoint, ten);
  EXPECT_NEAR(entry->LastDate, At(2026, 12, 8, 10, 0, 0, 100), MsTolerance);
  EXPECT_TRUE(Tick(ten + Second).empty());
  EXPECT_TRUE(Tick(ten + 400).empty());
}

TEST_F(DueCheck, OnceEntryLoadedWithoutLastRunNeverRuns) {
  const TDateTime ten = At(2026, 12, 8, 10);
  Add(tpOnce, ten, ten);
  EXPECT_TRUE(Tick(ten).empty());
  EXPECT_TRUE(Tick(ten + 1).empty());
}

TEST_F(DueCheck, FrequencyEntryIsDueOnlyAfterWholeIntervals) {
  const TDateTime eight = At(2026, 12, 8, 8);
  TActionEntry *entry = Add(tpFrequency, eight, eight, Hour);
  EXPECT_TRUE(Tick(eight).empty()); // strictly after FirstDate only
  EXPECT_TRUE(Tick(At(2026, 12, 8, 8, 30)).empty());
  const auto calls = Tick(At(2026, 12, 8, 9, 0, 0, 500));
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_NEAR(calls[0].DuePoint, At(2026, 12, 8, 9), MsTolerance);
  EXPECT_NEAR(entry->LastDate, At(2026, 12, 8, 9, 0, 0, 100), MsTolerance);
  EXPECT_TRUE(Tick(At(2026, 12, 8, 9, 59, 59)).empty());
}

// Woken on a point's very millisecond (as the alarm is armed), the check finds it due: the
// clock gives whole milliseconds, a grid point is a sum of doubles.
TEST_F(DueCheck, FrequencyPointsAreDueAtTheirVeryMillisecond) {
  for (const double freq : {Minute, 2 * Minute, 10 * Second, 7 * Second}) {
    SCOPED_TRACE(freq / Second);
    const TDateTime first = 46365.25; // 09.12.2026 06:00 as a file holds it
    Scheduler.SetActions({});
    Add(tpFrequency, first, first - 0.1, freq);
    int late = 0;
    for (int k = 1; k <= 400; ++k) {
      Scheduler.CollectDueActions(MomentAt(WallInstantAfter(first + k * freq, 0)));
      late += Scheduler.DueList().Count() != 1;
      for (int i = 0; i < Scheduler.DueList().Count(); ++i)
        Scheduler.DueEntry(i)->DueFlag = false;
    }
    EXPECT_EQ(late, 0);
  }
}

TEST_F(DueCheck, NewFrequencyEntryRunsAtItsStartOrAfterItsFirstInterval) {
  const TDateTime eight = At(2026, 12, 8, 8);
  Add(tpFrequency, eight, eight - 0.1, Hour); // e = −2
  auto calls = Tick(At(2026, 12, 8, 8, 0, 0, 500));
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_NEAR(calls[0].DuePoint, eight, MsTolerance);

  Scheduler.SetActions({});
  Add(tpFrequency, eight, eight - 0.1, 4 * Hour); // e = 0
  EXPECT_TRUE(Tick(At(2026, 12, 8, 8, 0, 0, 500)).empty());
  EXPECT_TRUE(Tick(At(2026, 12, 8, 11, 59, 59)).empty());
  calls = Tick(At(2026, 12, 8, 12, 0, 1));
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_NEAR(calls[0].DuePoint, At(2026, 12, 8, 12), MsTolerance);
}

TEST_F(DueCheck, MissedFrequencyCallsAreMadeUpOnlyWithAllCalls) {
  const TDateTime eight = At(2026, 12, 8, 8);
  const TDateTime lastRun = At(2026, 12, 8, 9, 0, 0, 100);
  TActionEntry *latestOnly = Add(tpFrequency, eight, lastRun, Hour);
  auto calls = Tick(At(2026, 12, 8, 13, 30));
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_NEAR(calls[0].DuePoint, At(2026, 12, 8, 13), MsTolerance);
  EXPECT_NEAR(latestOnly->LastDate, At(2026, 12, 8, 13, 0, 0, 100), MsTolerance);

  Scheduler.SetActions({});
  TActionEntry *every = Add(tpFrequency, eight, lastRun, Hour, true);
  calls = Tick(At(2026, 12, 8, 13, 30));
  ASSERT_EQ(calls.size(), 4u);
  for (int i = 0; i < 4; ++i)
    EXPECT_NEAR(calls[i].DuePoint, At(2026, 12, 8, 10 + i), MsTolerance);
  EXPECT_NEAR(every->LastDate, At(2026, 12, 8, 13, 0, 0, 100), MsTolerance);
  EXPECT_FALSE(every->DueFlag);
  EXPECT_TRUE(Tick(At(2026, 12, 8, 13, 31)).empty());
}

TEST_F(DueCheck, AllCallsCatchUpAcrossALongAbsenceInOrder) {
  const TDateTime start = At(2026, 12, 1, 6);
  Add(tpFrequency, start, At(2026, 12, 2, 6, 0, 0, 100), Hour, true);
  const auto calls = Tick(At(2026, 12, 5, 6, 30)); // three days away: 72 missed calls
  ASSERT_EQ(calls.size(), 72u);
  for (std::size_t i = 0; i < calls.size(); ++i)
    EXPECT_NEAR(calls[i].DuePoint, At(2026, 12, 2, 7) + static_cast<double>(i) * Hour, MsTolerance);
}

TEST_F(DueCheck, NewAllCallsEntryGetsNoCallsBeforeItsStart) {
  const TDateTime eight = At(2026, 12, 8, 8);
  Add(tpFrequency, eight, eight - 0.1, 30 * Minute, true);
  auto calls = Tick(At(2026, 12, 8, 8, 0, 1));
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_NEAR(calls[0].DuePoint, eight, MsTolerance);
  calls = Tick(At(2026, 12, 8, 8, 30, 1));
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_NEAR(calls[0].DuePoint, At(2026, 12, 8, 8, 30), MsTolerance);

  Scheduler.SetActions({});
  Add(tpFrequency, eight, eight - 0.1, Second, true);
  EXPECT_EQ(Tick(At(2026, 12, 8, 8, 0, 0, 500)).size(), 1u); // not 8 640
}

TEST_F(DueCheck, CatchUpCallsOnAnotherEntrysDuePointAreKept) {
  const TDateTime eight = At(2026, 12, 8, 8);
  TActionEntry *daily = Add(tpDaily, At(2026, 1, 1, 10), At(2026, 12, 7, 10, 0, 0, 100));
  TActionEntry *frequent = Add(tpFrequency, eight, At(2026, 12, 8, 9, 0, 0, 100), Hour, true);
  const auto calls = Tick(At(2026, 12, 8, 11, 30));
  ASSERT_EQ(calls.size(), 3u); // 10:00 twice and 11:00
  EXPECT_EQ(calls[0].Entry, daily);
  EXPECT_EQ(calls[1].Entry, frequent);
  EXPECT_NEAR(calls[1].DuePoint, At(2026, 12, 8, 10), MsTolerance);
  EXPECT_NEAR(calls[2].DuePoint, At(2026, 12, 8, 11), MsTolerance);
}

TEST_F(DueCheck, ZeroFrequencyIsNeverDueByTime) {
  const TDateTime eight = At(2026, 12, 8, 8);
  Add(tpFrequency, eight, eight - 0.1, 0, true);
  EXPECT_TRUE(Tick(eight + 1).empty());
  EXPECT_TRUE(Tick(eight + 1000).empty());
}

TEST_F(DueCheck, FlaggedFrequencyEntryRecordsTheCurrentGridPoint) {
  // Run at start-up (SuddenStart) between two grid points: dispatched once, its LastDate
  // moves to the current period's point and never back before a recorded run.
  const TDateTime eight = At(2026, 12, 8, 8);
  TActionEntry *entry = Add(tpFrequency, eight, At(2026, 12, 8, 10, 0, 0, 100), Hour, true);
  entry->DueFlag = true;
  auto calls = Tick(At(2026, 12, 8, 10, 20));
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_NEAR(calls[0].DuePoint, At(2026, 12, 8, 10), MsTolerance);
  EXPECT_NEAR(entry->LastDate, At(2026, 12, 8, 10, 0, 0, 100), MsTolerance);
  EXPECT_TRUE(Tick(At(2026, 12, 8, 10, 21)).empty()); // no grid point counts as missed
  EXPECT_EQ(Tick(At(2026, 12, 8, 11, 0, 1)).size(), 1u);

  // Flagged before FirstDate: the due point is FirstDate itself.
  Scheduler.SetActions({});
  entry = Add(tpFrequency, eight, eight - 0.1, Hour);
  entry->DueFlag = true;
  calls = Tick(At(2026, 12, 8, 7));
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].DuePoint, eight);
  EXPECT_TRUE(Tick(At(2026, 12, 8, 8, 0, 0, 50)).empty()); // 08:00 counts as run
}

TEST_F(DueCheck, WeeklyEntryIsMadeUpWithinItsWeekOnly) {
  const TDateTime someMonday = At(2026, 11, 2, 8);
  TActionEntry *entry = Add(tpWeekly, someMonday, At(2026, 11, 30, 8, 0, 0, 100));
  const auto calls = Tick(At(2026, 12, 9, 12)); // Wednesday
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].DuePoint, At(2026, 12, 7, 8)); // this week's Monday
  EXPECT_TRUE(Tick(At(2026, 12, 13, 12)).empty());  // Sunday: next Monday ahead
  EXPECT_EQ(TScheduler::NextDuePoint(*entry, At(2026, 12, 13, 12)), At(2026, 12, 14, 8));
  // A Saturday point missed is gone once the week has turned.
  Scheduler.SetActions({});
  Add(tpWeekly, At(2026, 11, 7, 20), At(2026, 11, 28, 20, 0, 0, 100));
  EXPECT_TRUE(Tick(At(2026, 12, 6, 9)).empty());
  EXPECT_EQ(Tick(At(2026, 12, 12, 20)).size(), 1u);
}

TEST_F(DueCheck, DailyEntryMissedYesterdayIsNotMadeUp) {
  TActionEntry *entry = Add(tpDaily, At(2026, 1, 1, 8), At(2026, 12, 6, 8, 0, 0, 100));
  EXPECT_TRUE(Tick(At(2026, 12, 8, 7, 59, 59)).empty());
  const auto calls = Tick(At(2026, 12, 8, 8));
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].DuePoint, At(2026, 12, 8, 8));
  EXPECT_TRUE(Tick(At(2026, 12, 8, 23, 59, 59)).empty());
  EXPECT_TRUE(Tick(At(2026, 12, 9, 0, 0, 1)).empty()); // across midnight the point moves on
  EXPECT_EQ(Tick(At(2026, 12, 9, 8, 0, 1)).size(), 1u);
  EXPECT_NEAR(entry->LastDate, At(2026, 12, 9, 8, 0, 0, 100), MsTolerance);
}

TEST_F(DueCheck, SuddenStartRunCountsAsTodaysRun) {
  TActionEntry entry;
  entry.TimePoint = tpDaily;
  entry.FirstDate = At(2026, 1, 1, 20);
  entry.LastDate = At(2026, 12, 7, 20, 0, 0, 100);
  entry.SuddenStart = true;
  entry.Action = QStringLiteral("prog");
  TActionEntry *added = Scheduler.AddAction(entry);
  EXPECT_TRUE(added->DueFlag);
  const auto calls = Tick(At(2026, 12, 8, 10));
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].DuePoint, At(2026, 12, 8, 20));
  EXPECT_TRUE(Tick(At(2026, 12, 8, 20, 0, 1)).empty());
  // A flagged entry of an unknown kind is still dispatched, at its FirstDate.
  Scheduler.SetActions({});
  TActionEntry *odd = Add(static_cast<TTimePoint>(9), At(2026, 1, 1, 20), 0);
  odd->DueFlag = true;
  EXPECT_EQ(Tick(At(2026, 12, 8, 10)).size(), 1u);
  EXPECT_TRUE(Tick(At(2026, 12, 8, 11)).empty());
}

// Three daily entries at 07:00 (and a daily catch-up call on the same point): all of them run
// in the first tick after 07:00, in list order, and none is left waiting with its flag.
TEST_F(DueCheck, EntriesDueAtOnePointAllRunInThatTickInListOrder) {
  const TDateTime seven = At(2026, 12, 8, 7);
  TActionEntry *first = Add(tpDaily, At(2026, 1, 1, 7), 0);
  TActionEntry *second = Add(tpDaily, At(2026, 3, 3, 7), 0);
  TActionEntry *frequent = Add(tpFrequency, seven - 2, seven - 2 + RunMark, 1, true);
  TActionEntry *third = Add(tpDaily, At(2025, 7, 7, 7), 0);
  auto calls = Tick(At(2026, 12, 8, 7, 0, 1));
  ASSERT_EQ(calls.size(), 5u);
  EXPECT_EQ(calls[0].Entry, frequent); // yesterday's
  const std::vector<TActionEntry *> atSeven = {first, second, frequent, third};
  for (std::size_t i = 0; i < atSeven.size(); ++i) {
    EXPECT_EQ(calls[i + 1].Entry, atSeven[i]) << i;
    EXPECT_NEAR(calls[i + 1].DuePoint, seven, MsTolerance) << i;
  }
  for (TActionEntry *entry : {first, second, third}) {
    EXPECT_FALSE(entry->DueFlag);
    EXPECT_NEAR(entry->LastDate, seven + RunMark, MsTolerance);
  }
  EXPECT_TRUE(Tick(At(2026, 12, 8, 7, 0, 2)).empty());
}

TEST_F(DueCheck, CallsRunInOrderOfDuePointsAcrossEntries) {
  TActionEntry *late = Add(tpOnce, At(2026, 12, 8, 10, 0, 5), 0);
  TActionEntry *early = Add(tpOnce, At(2026, 12, 8, 10, 0, 1), 0);
  TActionEntry *daily = Add(tpDaily, At(2020, 5, 5, 10, 0, 3), 0);
  const auto calls = Tick(At(2026, 12, 8, 10, 0, 6));
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].Entry, early);
  EXPECT_EQ(calls[1].Entry, daily);
  EXPECT_EQ(calls[2].Entry, late);
}

TEST_F(DueCheck, MonthlyAndYearlyBoundaries) {
  TActionEntry *monthly = Add(tpMonthly, At(2026, 1, 15, 9), At(2026, 11, 15, 9, 0, 0, 100));
  EXPECT_EQ(Tick(At(2026, 12, 31, 23)).size(), 1u); // made up within the month
  monthly->LastDate = At(2026, 11, 15, 9, 0, 0, 100);
  EXPECT_TRUE(Tick(At(2027, 1, 1, 0, 0, 1)).empty()); // December's point is gone in January
  Scheduler.SetActions({});
  TActionEntry *yearly = Add(tpYearly, At(2020, 12, 31, 18), At(2025, 12, 31, 18, 0, 0, 100));
  EXPECT_TRUE(Tick(At(2027, 1, 1, 10)).empty()); // last year's point missed: gone
  const auto calls = Tick(At(2027, 12, 31, 18));
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].Entry, yearly);
}

TEST_F(DueCheck, DaysAMonthLacksFallOnItsLastDay) {
  TActionEntry *on31st = Add(tpMonthly, At(2026, 1, 31, 7), 0);
  TActionEntry *leapDay = Add(tpYearly, At(2024, 2, 29, 7, 30), At(2026, 2, 28, 7, 30, 0, 100));
  TActionEntry *after = Add(tpDaily, At(2026, 1, 1, 6), 0);
  auto calls = Tick(At(2026, 4, 30, 7, 0, 1));
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].Entry, after); // the entries after it are still checked
  EXPECT_EQ(calls[1].Entry, on31st);
  EXPECT_EQ(calls[1].DuePoint, At(2026, 4, 30, 7));
  calls = Tick(At(2027, 2, 28, 7, 30, 1));
  ASSERT_GE(calls.size(), 1u);
  EXPECT_EQ(calls.back().Entry, leapDay);
  EXPECT_EQ(calls.back().DuePoint, At(2027, 2, 28, 7, 30));
  EXPECT_EQ(TScheduler::NextDuePoint(*leapDay, At(2027, 3, 1)), At(2028, 2, 29, 7, 30));
}

TEST_F(DueCheck, DailyEntryRunsOnceOnDaylightSavingDays) {
  // Ticks every minute on real instants through both clock changes of 2026 in Berlin,
  // turned into local wall-clock values as the clock reports them.
  const QTimeZone berlin("Europe/Berlin");
  ASSERT_TRUE(berlin.isValid());
  for (const QDate day : {QDate(2026, 3, 29), QDate(2026, 10, 25)}) {
    Scheduler.SetActions({});
    TActionEntry *entry = Add(tpDaily, At(2026, 1, 1, 2, 30), 0);
    const QDateTime start(day, QTime(0, 0), berlin);
    int calls = 0;
    for (int minute = 0; minute < 24 * 60; ++minute) {
      const QDateTime instant = start.addSecs(minute * 60LL).toTimeZone(berlin);
      const TDateTime now =
          DateTimeFromQDateTime(QDateTime(instant.date(), instant.time())); // local wall clock
      for (const TCall &call : Tick(now))
        calls += call.Entry == entry;
    }
    EXPECT_EQ(calls, 1) << day.toString(Qt::ISODate).toStdString();
  }
}

// A long absence at a short interval: the calls are spread over the following ticks, in
// order, none lost and none twice; another entry's catch-up still gets its calls meanwhile.
TEST_F(DueCheck, HugeCatchUpIsSpreadOverTicksWithoutLosingCalls) {
  const TDateTime start = At(2026, 11, 1);
  TActionEntry *huge = Add(tpFrequency, start, start + RunMark, Second, true);
  TActionEntry *hourly = Add(tpFrequency, start, start + RunMark, Hour, true);
  const TDateTime now = start + 25000.5 * Second; // 25 000 missed calls, 6 hourly ones
  std::size_t total = 0, hourlyCalls = 0, ticks = 0;
  TDateTime last = start;
  for (std::vector<TCall> calls; ticks < 1000 && !(calls = Tick(now)).empty(); ++ticks) {
    EXPECT_LE(calls.size(), 10001u); // the cap, and one call of the other entry
    for (const TCall &call : calls) {
      if (call.Entry == hourly) {
        ++hourlyCalls;
        continue;
      }
      EXPECT_NEAR(call.DuePoint, last + Second, MsTolerance);
      last = call.DuePoint;
      ++total;
    }
  }
  EXPECT_GE(ticks, 3u);
  EXPECT_EQ(total, 25000u);
  EXPECT_EQ(hourlyCalls, 6u);
  EXPECT_NEAR(huge->LastDate, start + 25000 * Second + RunMark, MsTolerance);
}

// Values no calendar holds, frequencies that are no numbers or almost nothing: the due check
// and the next due point raise nothing, the good entry beside them still runs, and each bad
// entry is reported once, not at every tick.
TEST_F(DueCheck, ImpossibleValuesNeverStopTheOthersAndAreReportedOnce) {
  TRecordingSink sink;
  Scheduler.SetMessageSink(&sink);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const TDateTime eight = At(2026, 12, 8, 8);
  const std::vector<double> dates = {1e12, -1e12, nan, inf, -inf, 2958466, -693594};
  int bad = 0;
  for (TTimePoint kind : {tpFrequency, tpOnce, tpDaily, tpWeekly, tpMonthly, tpYearly}) {
    for (double date : dates) {
      Add(kind, date, 0, Hour, true);
      Add(kind, eight, date, Hour, true);
      bad += 2;
    }
  }
  for (double freq : {nan, inf, -inf})
    Add(tpFrequency, eight, eight - 0.1, freq, true), ++bad;
  // Tiny intervals are no fault, they just make many calls.
  Add(tpFrequency, eight, eight - 0.1, 1e-300, true);
  Add(tpFrequency, eight, eight - 0.1, 1e-9, false);
  TActionEntry *good = Add(tpDaily, At(2026, 1, 1, 9), 0);
  const TDateTime now = At(2026, 12, 8, 9, 0, 1);
  for (int i = 0; i < Scheduler.ActionList().Count(); ++i)
    EXPECT_NO_THROW(TScheduler::NextDuePoint(*Scheduler.ActionList()[i], now)) << i;
  std::vector<TCall> calls;
  ASSERT_NO_THROW(calls = Tick(now));
  EXPECT_TRUE(std::any_of(calls.begin(), calls.end(),
                          [&](const TCall &call) { return call.Entry == good; }));
  EXPECT_EQ(static_cast<int>(sink.Messages.size()), bad);
  EXPECT_TRUE(sink.Messages[0].Message.startsWith(
      QStringLiteral("Fehler : Die Aktion Nr. 1 „\"Aktion 1\"“ wird übergangen: ")))
      << sink.Messages[0].Message.toStdString();
  ASSERT_NO_THROW(Tick(now + Second));
  EXPECT_EQ(static_cast<int>(sink.Messages.size()), bad); // told once
  for (const TCall &call : calls)
    EXPECT_TRUE(std::isfinite(call.DuePoint));
  // A mended entry that breaks again is told again.
  TActionEntry *broken = Scheduler.ActionList()[0];
  broken->FirstDate = eight;
  Tick(now + 2 * Second);
  broken->FirstDate = nan;
  Tick(now + 3 * Second);
  EXPECT_EQ(static_cast<int>(sink.Messages.size()), bad + 1);
}

TEST_F(DueCheck, NextDuePointShowsWhatTheNextTicksWillDo) {
  const TDateTime eight = At(2026, 12, 8, 8);
  const TDateTime now = At(2026, 12, 8, 9, 30);
  TActionEntry once = NewActionEntry(tpOnce, At(2026, 12, 8, 10), QStringLiteral("x"));
  EXPECT_EQ(TScheduler::NextDuePoint(once, now), At(2026, 12, 8, 10));
  once.LastDate = once.FirstDate + RunMark;
  EXPECT_EQ(TScheduler::NextDuePoint(once, now), 0);
  TActionEntry daily = NewActionEntry(tpDaily, At(2026, 1, 1, 9), QStringLiteral("x"));
  EXPECT_EQ(TScheduler::NextDuePoint(daily, now), At(2026, 12, 8, 9)); // overdue: next tick
  daily.LastDate = At(2026, 12, 8, 9) + RunMark;
  EXPECT_EQ(TScheduler::NextDuePoint(daily, now), At(2026, 12, 9, 9));
  TActionEntry monthly = NewActionEntry(tpMonthly, At(2026, 1, 31, 9), QStringLiteral("x"));
  monthly.LastDate = At(2026, 12, 31, 9) + RunMark;
  EXPECT_EQ(TScheduler::NextDuePoint(monthly, At(2026, 12, 31, 10)), At(2027, 1, 31, 9));
  TActionEntry frequent = NewActionEntry(tpFrequency, eight, QStringLiteral("x"));
  frequent.Freq = Hour;
  frequent.LastDate = At(2026, 12, 8, 9) + RunMark;
  EXPECT_NEAR(TScheduler::NextDuePoint(frequent, now), At(2026, 12, 8, 10), MsTolerance);
  frequent.Freq = 0;
  EXPECT_EQ(TScheduler::NextDuePoint(frequent, now), 0);
}

// A row new or with a changed time at the editor's OK makes no call for points before it (next run
// shown, due check, "Alle"); calls missed later while stopped are made up, as by unchanged rules.
TEST_F(DueCheck, ANewOrChangedRuleStartsWhenTheEditorsOkIsTaken) {
  const TDateTime ok = At(2026, 12, 8, 23, 38), nine = At(2026, 12, 8, 9);
  QTemporaryDir dir;
  Scheduler.SetConfigFileName(dir.filePath(QStringLiteral("k.ini")));
  Scheduler.SetClock([&] { return TMoment(ok); });
  // Row: -1 new, 0 time changed, 1 unchanged; Next: shown at OK; Later: a tick after a stop.
  struct TCase {
    TTimePoint Kind;
    int Row;
    TDateTime First, Last, Freq, Next, Later;
    std::size_t LaterCalls;
  } cases[] = {{tpDaily, -1, nine, nine - 0.1, 0, nine + 1, nine + 1, 1},
               {tpOnce, -1, nine, nine - 0.1, 0, 0, nine + 2, 0},
               {tpFrequency, -1, nine - 7, nine - 7, Hour, nine + 15 * Hour, nine + 17.5 * Hour, 3},
               {tpFrequency, -1, nine + 1, nine - 1, Hour, nine + 1, nine + 1 + Minute, 1},
               {tpDaily, 0, nine, nine - 1, 0, nine + 1, nine + 1, 1},
               {tpDaily, 1, nine, nine - 1, 0, nine, ok, 1}};
  for (const TCase &c : cases) {
    SCOPED_TRACE(testing::Message() << "case " << &c - cases);
    TActionEntry row = NewActionEntry(c.Kind, c.First, QStringLiteral("a"));
    row.LastDate = c.Last, row.Freq = c.Freq, row.AllCalls = true;
    TActionEntry before = row;
    before.FirstDate -= c.Row == 0 ? Hour : 0;
    Scheduler.SetActions({before});
    TListEditSession session = Scheduler.BeginListEdit();
    session.Rows = {{row, std::min(c.Row, 0), false}};
    ASSERT_TRUE(Scheduler.TakeEditorSession(session, nullptr).Saved);
    TActionEntry *entry = Scheduler.ActionList()[0];
    EXPECT_NEAR(TScheduler::NextDuePoint(*entry, ok), c.Next, MsTolerance);
    if (c.Next > ok || c.Next == 0) {
      EXPECT_TRUE(Tick(ok + Second).empty());
      EXPECT_EQ(entry->LastDate, c.Last); // nothing called: its true last run stays
    }
    EXPECT_EQ(Tick(c.Later).size(), c.LaterCalls);
  }
}

// At Monday 2026-12-07 11:45: an entry switched off, one not on Mondays and calls too late are
// not made (the late ones are listed, one per entry); a start-up call is never too late; what
// NextDuePoint shows before and after the tick is what the ticks do. Times in hours from Monday
// 00:00 (-1: never), flags a = AllCalls, o = off, s = flagged at start.
TEST_F(DueCheck, RunControlLeavesOutWhatIsOffNotOnItsDayOrTooLate) {
  const TDateTime monday = At(2026, 12, 7), now = monday + 11.75 * Hour;
  const struct {
    TTimePoint Kind;
    double First, Last, Freq;
    const char *Flags;
    std::uint8_t Days;
    int LateMinutes;
    std::vector<double> Calls;
    double Late, NextBefore, NextAfter;
  } cases[] = {
      {tpDaily, -832, -64, 0, "", 0x1F, 0, {8}, -1, 8, 32},
      {tpDaily, -832, -16, 0, "", 0x60, 0, {}, -1, 128, 128},
      {tpDaily, -832, -832, 0, "os", AllWeekdays, 0, {}, -1, -1, -1},
      {tpDaily, -832, -832, 0, "", AllWeekdays, 60, {}, 8, 32, 32},
      {tpDaily, -832, -832, 0, "s", AllWeekdays, 60, {8}, -1, 8, 32},
      {tpFrequency, 0, 0, 1, "a", AllWeekdays, 120, {10, 11}, 9, 10, 12},
      {tpFrequency, 0, 5, 1, "", AllWeekdays, 30, {}, 11, 12, 12},
      {tpOnce, 11, 8.6, 0, "", AllWeekdays, 30, {}, 11, -1, -1},
  };
  const auto at = [&](double hours) { return hours < 0 && hours > -2 ? 0 : monday + hours * Hour; };
  std::vector<TActionEntry *> entries;
  for (const auto &c : cases) {
    const QByteArray flags(c.Flags);
    TActionEntry *entry =
        Add(c.Kind, at(c.First), at(c.Last) + RunMark, c.Freq * Hour, flags.contains('a'));
    entry->Active = !flags.contains('o');
    entry->DueFlag = flags.contains('s');
    entry->Weekdays = c.Days;
    entry->LateLimitMs = c.LateMinutes * 60000;
    entries.push_back(entry);
  }
  for (std::size_t i = 0; i < entries.size(); ++i)
    EXPECT_NEAR(TScheduler::NextDuePoint(*entries[i], now), at(cases[i].NextBefore), MsTolerance)
        << "case " << i;
  const std::vector<TCall> calls = Tick(now);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    SCOPED_TRACE(testing::Message() << "case " << i);
    std::vector<double> hours, late;
    for (const TCall &call : calls)
      if (call.Entry == entries[i])
        hours.push_back(std::round((call.DuePoint - monday) / Hour));
    for (const TLateCall &call : Scheduler.LateCalls())
      if (call.Entry == entries[i])
        late.push_back(std::round((call.Due - monday) / Hour));
    EXPECT_EQ(hours, cases[i].Calls);
    EXPECT_EQ(late, cases[i].Late < 0 ? std::vector<double>{} : std::vector{cases[i].Late});
    EXPECT_NEAR(TScheduler::NextDuePoint(*entries[i], now), at(cases[i].NextAfter), MsTolerance);
  }
  EXPECT_TRUE(Tick(now + Minute).empty());
  EXPECT_TRUE(Scheduler.LateCalls().empty());
}
