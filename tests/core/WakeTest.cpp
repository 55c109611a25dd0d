// When the scheduler wakes: the next due check its plan asks for, and the answer to a clock
// set, through the platform's clock and alarm.
#include "FakePlatform.h"
#include "TestHelpers.h"
#include "core/Waker.h"

#include <ctime>
#include <gtest/gtest.h>

namespace {

// Berlin time for one test, the zone before it restored after.
struct TBerlinZone {
  QByteArray Old = qgetenv("TZ");
  TBerlinZone() { qputenv("TZ", "Europe/Berlin"), tzset(); }
  ~TBerlinZone() { qputenv("TZ", Old), tzset(); }
};

struct TWakeCase {
  const char *Name;
  TTimePoint Kind;
  TDateTime First, Last, Now;
  double Freq;
  // The wake expected, as a wall-clock time shown at its first instant; Second: at its second.
  TDateTime Wake;
  bool Second = false;
  unsigned Interval = 1000;
  bool Paused = false;
  bool CheckedAtNow = false; // a due check ran at Now just before
};

} // namespace

// Each kind wakes at its next call, or at midnight when a new period comes first; skipped and
// repeated hours, the interval's spacing and the pause are kept.
TEST(Wake, TheNextDueCheckForEveryKind) {
  const TBerlinZone berlin;
  constexpr double Minute = 1.0 / 1440;
  const TWakeCase cases[] = {
      {"daily later today", tpDaily, At(2026, 1, 1, 9), At(2026, 12, 7, 9), At(2026, 12, 8, 8), 0,
       At(2026, 12, 8, 9)},
      {"daily ran: midnight", tpDaily, At(2026, 1, 1, 9), At(2026, 12, 8, 9), At(2026, 12, 8, 10),
       0, At(2026, 12, 9)},
      {"weekly today", tpWeekly, At(2026, 1, 6, 17, 45), At(2026, 12, 1, 17, 45),
       At(2026, 12, 8, 17), 0, At(2026, 12, 8, 17, 45)},
      {"monthly: midnight first", tpMonthly, At(2026, 1, 20, 9), At(2026, 11, 20, 9),
       At(2026, 12, 8, 23, 59), 0, At(2026, 12, 9)},
      {"yearly at midnight", tpYearly, At(2020, 12, 9), At(2025, 12, 9), At(2026, 12, 8, 12), 0,
       At(2026, 12, 9)},
      {"once ahead", tpOnce, At(2026, 12, 8, 12, 0, 3), 0, At(2026, 12, 8, 12), 0,
       At(2026, 12, 8, 12, 0, 3)},
      {"frequency grid", tpFrequency, At(2026, 1, 1), At(2026, 12, 8, 9), At(2026, 12, 8, 9, 3),
       10 * Minute, At(2026, 12, 8, 9, 10)},
      {"overdue: at once", tpFrequency, At(2026, 1, 1), At(2026, 12, 8, 8), At(2026, 12, 8, 9, 3),
       10 * Minute, At(2026, 12, 8, 9, 3)},
      {"spacing after a check", tpFrequency, At(2026, 1, 1), 0, At(2026, 12, 8, 9), 1.0 / 86400,
       At(2026, 12, 8, 9, 0, 5), false, 5000, false, true},
      {"skipped spring hour", tpDaily, At(2026, 1, 1, 2, 30), At(2026, 3, 28, 2, 30),
       At(2026, 3, 29, 1), 0, At(2026, 3, 29, 3)},
      {"repeated autumn hour", tpFrequency, At(2026, 1, 1), At(2026, 10, 25, 0),
       At(2026, 10, 25, 1), 3.0 / 24, At(2026, 10, 25, 2), true},
      {"paused", tpFrequency, At(2026, 1, 1), 0, At(2026, 12, 8, 9), Minute, 0, false, 1000, true},
      {"interval 0", tpFrequency, At(2026, 1, 1), 0, At(2026, 12, 8, 9), Minute, 0, false, 0},
  };
  for (const TWakeCase &c : cases) {
    SCOPED_TRACE(c.Name);
    TFakePlatform platform;
    platform.Moment = TMoment(c.Now);
    TScheduler scheduler(platform);
    TActionEntry entry = NewActionEntry(c.Kind, c.First, QStringLiteral("%NICHTS"));
    entry.Freq = c.Freq;
    entry.LastDate = c.Last == 0 ? 0 : c.Last + RunMark;
    scheduler.SetActions({entry});
    scheduler.SetInterval(c.Interval);
    scheduler.SetPaused(c.Paused);
    if (c.CheckedAtNow)
      scheduler.TimerTimer();
    const std::vector<std::int64_t> shown = LocalInstantsOf(c.Wake);
    const std::int64_t expected =
        c.Wake == 0 ? 0 : (c.Second ? shown.back() : TMoment(c.Wake).UtcMs);
    EXPECT_EQ(scheduler.NextDueCheckUtcMs(platform.Moment), expected);
  }
}

// A clock set forward, set back and a resume are each answered by a due check at once: the
// missed daily call is made up once, nothing is repeated, the next day's call comes; the alarm
// is armed again for the next call or the picture, whichever is first.
TEST(Wake, ClockSetsAndAResumeAreAnsweredByADueCheckAtOnce) {
  const TBerlinZone berlin;
  TFakePlatform platform;
  platform.Moment = TMoment(At(2026, 12, 8, 8));
  TScheduler scheduler(platform);
  TActionEntry daily = NewActionEntry(tpDaily, At(2026, 1, 1, 9), QStringLiteral("%NICHTS"));
  daily.LastDate = At(2026, 12, 7, 9) + RunMark;
  scheduler.SetActions({daily});
  TSchedulerWaker waker(scheduler);
  ASSERT_TRUE(waker.Valid());
  waker.Replan();
  EXPECT_EQ(waker.ArmedAt(), TMoment(At(2026, 12, 8, 9)).UtcMs);
  const auto wake = [&](TDateTime now, TWakeEvent event) {
    platform.Moment = TMoment(now);
    platform.WakeTimer->Next = event;
    waker.Woken();
  };

  wake(At(2026, 12, 8, 10), TWakeEvent::ClockSet); // forward past 09:00
  EXPECT_EQ(waker.Checks(), 1);
  EXPECT_EQ(scheduler.ActionList()[0]->LastDate, At(2026, 12, 8, 9) + RunMark);
  EXPECT_EQ(waker.ArmedAt(), TMoment(At(2026, 12, 9)).UtcMs);

  wake(At(2026, 12, 8, 8, 30), TWakeEvent::ClockSet); // back before it: not repeated
  EXPECT_EQ(waker.Checks(), 2);
  EXPECT_EQ(scheduler.ActionList()[0]->LastDate, At(2026, 12, 8, 9) + RunMark);

  wake(At(2026, 12, 9, 12), TWakeEvent::ClockSet); // resumed the next noon
  EXPECT_EQ(waker.Checks(), 3);
  EXPECT_EQ(scheduler.ActionList()[0]->LastDate, At(2026, 12, 9, 9) + RunMark);

  // An alarm before its time (spurious) checks nothing; the picture's moment comes first.
  waker.OtherWake = [](const TMoment &now) { return now.UtcMs + 60000; };
  wake(At(2026, 12, 9, 12, 0, 1), TWakeEvent::Alarm);
  EXPECT_EQ(waker.Checks(), 3);
  EXPECT_EQ(waker.ArmedAt(), TMoment(At(2026, 12, 9, 12, 1, 1)).UtcMs);
  EXPECT_EQ(waker.DueCheckAt(), TMoment(At(2026, 12, 10)).UtcMs);
}
