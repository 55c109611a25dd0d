// The due check: which calls are due at a moment, recording each run in LastDate.

#include "core/Scheduler.h"

#include "base/Errors.h"
#include "platform/Clock.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// More catch-up calls than this in one tick are left for the following ticks, so that a
// long absence with a short interval neither exhausts memory nor freezes the program. A
// tick's time budget carries out fewer anyway.
constexpr double MaxCatchUpCallsPerTick = 10000;
// The clock is read once per so many catch-up calls: often enough for the time budget,
// rarely enough to cost nothing.
constexpr int CallsPerClockRead = 256;

// The calendar holds the years 1 to 9999: 0001-01-01 up to, not including, 10000-01-01.
constexpr TDateTime FirstCalendarDay = -693593;
constexpr TDateTime EndOfCalendar = 2958466;

bool InCalendar(TDateTime value) {
  // NaN and the infinities fail the comparisons themselves.
  return value >= FirstCalendarDay && value < EndOfCalendar;
}

// Whole intervals of freq from first to moment, truncated toward zero, kept finite.
double WholeIntervals(TDateTime moment, TDateTime first, double freq) {
  // A moment within half a millisecond of a point has reached it: the point is a sum of
  // doubles, the clock whole milliseconds, and a wake-up on the point must find it due.
  const double n = std::trunc((moment - first + 0.5 / MSecsPerDay) / freq);
  constexpr double limit = 1e15; // far beyond any real grid, small enough to stay exact
  return std::clamp(n, -limit, limit);
}

// The date of day in year/month, or the month's last day when it has fewer days: an entry
// for the 31st falls due on the 30th of a 30-day month, one for 29 February on the 28th.
TDateTime ClampedDate(int year, int month, int day) {
  return EncodeDate(year, month, std::min(day, DaysInMonth(year, month)));
}

// The due point of a calendar kind (tpOnce ... tpYearly) in the period that holds now;
// FirstDate itself for any other kind.
// The calendar fields of a moment, worked out once for all entries of a tick.
struct TDayOf {
  TDateTime Moment = std::numeric_limits<double>::quiet_NaN();
  TDateTime Date = 0;
  int Weekday = 0;
  TDateParts Parts;
};

const TDayOf &DayOfMoment(TDateTime now) {
  thread_local TDayOf last;
  if (!(last.Moment == now)) {
    last.Moment = now;
    last.Date = DateOf(now);
    last.Weekday = DayOfWeek(now);
    last.Parts = DecodeDate(now);
  }
  return last;
}

TDateTime PeriodDuePoint(const TActionEntry &entry, TDateTime now) {
  // Calendar fields only where the kind needs them: this runs for every entry at every tick.
  switch (entry.TimePoint) {
  case tpOnce:
    return entry.FirstDate;
  case tpDaily:
    return ComposeDateTime(DayOfMoment(now).Date, TimeOf(entry.FirstDate));
  case tpWeekly: {
    const TDayOf &day = DayOfMoment(now);
    return ComposeDateTime(day.Date + (DayOfWeek(entry.FirstDate) - day.Weekday),
                           TimeOf(entry.FirstDate));
  }
  case tpMonthly: {
    const TDateParts &current = DayOfMoment(now).Parts;
    return ComposeDateTime(
        ClampedDate(current.Year, current.Month, DecodeDate(entry.FirstDate).Day),
        TimeOf(entry.FirstDate));
  }
  case tpYearly: {
    const TDateParts first = DecodeDate(entry.FirstDate);
    return ComposeDateTime(ClampedDate(DayOfMoment(now).Parts.Year, first.Month, first.Day),
                           TimeOf(entry.FirstDate));
  }
  default:
    return entry.FirstDate;
  }
}

// A moment inside the period after the one that holds now (calendar kinds); now itself when
// the calendar has no such period.
TDateTime NextPeriod(TTimePoint kind, TDateTime now) {
  const TDateParts current = DecodeDate(now);
  TDateTime next = now;
  switch (kind) {
  case tpDaily:
    return DateOf(now) + 1;
  case tpWeekly:
    return DateOf(now) + 7;
  case tpMonthly:
    if (!TryEncodeDate(current.Month == 12 ? current.Year + 1 : current.Year,
                       current.Month % 12 + 1, 1, next))
      return now;
    return next;
  case tpYearly:
    return TryEncodeDate(current.Year + 1, 1, 1, next) ? next : now;
  default:
    return now;
  }
}

// The grid point of the current period of a frequency entry: FirstDate + d × Freq with d the
// whole intervals since FirstDate (0 before FirstDate and without a Freq).
TDateTime FrequencyGridPoint(const TActionEntry &entry, TDateTime now) {
  if (entry.Freq <= 0 || now <= entry.FirstDate)
    return entry.FirstDate;
  return entry.FirstDate + WholeIntervals(now, entry.FirstDate, entry.Freq) * entry.Freq;
}

// Grid points and gaps agree to half a millisecond: both are sums of doubles.
constexpr double HalfMs = 0.5 / MSecsPerDay;

// Whether point lies in one of the gaps, which are in order; gap moves on with ascending points.
bool Skipped(TDateTime point, const std::vector<TWallGap> &gaps, std::size_t &gap) {
  while (gap < gaps.size() && gaps[gap].To - HalfMs <= point)
    ++gap;
  return gap < gaps.size() && point >= gaps[gap].From - HalfMs;
}

// The index of the first grid point at or after k that the local clock shows.
double FirstShownPoint(const TActionEntry &entry, double k) {
  const TDateTime point = entry.FirstDate + k * entry.Freq;
  if (!LocalInstantsOf(point).empty())
    return k; // nearly always: the gaps need not be looked for
  std::size_t gap = 0;
  for (const std::vector<TWallGap> gaps = SkippedWallTimes(point, point + 1);
       Skipped(entry.FirstDate + k * entry.Freq, gaps, gap);)
    k = std::max(k + 1, std::ceil((gaps[gap].To - HalfMs - entry.FirstDate) / entry.Freq));
  return k;
}

// The index of the last grid point from k back to from that the local clock shows; below
// from when there is none.
double LastShownPoint(const TActionEntry &entry, double from, double k) {
  if (!LocalInstantsOf(entry.FirstDate + k * entry.Freq).empty())
    return k;
  const std::vector<TWallGap> gaps =
      SkippedWallTimes(entry.FirstDate + from * entry.Freq, entry.FirstDate + k * entry.Freq);
  for (auto gap = gaps.rbegin(); gap != gaps.rend() && k >= from; ++gap) {
    const TDateTime point = entry.FirstDate + k * entry.Freq;
    if (point >= gap->From - HalfMs && point < gap->To - HalfMs)
      k = std::min(k - 1, std::ceil((gap->From - HalfMs - entry.FirstDate) / entry.Freq) - 1);
  }
  return k;
}

// A frequency entry whose LastDate lies ahead of the wall clock has seen the clock go back
// behind its last call: the repeated autumn hour, a clock set back, or a start inside the
// repeated hour. Its grid points from First to Last (the latest not after now) are shown a
// second time since that call and not yet called there; none when First > Last. SetBack:
// the last call cannot be placed before now on the local time line (the system clock itself
// went back, or the call's instant is unknown and its wall-clock time is still to come), so
// no point before now counts as shown again.
struct TRelived {
  double First = 0;
  double Last = 0;
  bool SetBack = false;
};

TRelived RelivedPoints(const TActionEntry &entry, const TMoment &now) {
  TRelived relived;
  relived.Last = WholeIntervals(now.Wall, entry.FirstDate, entry.Freq);
  relived.First = relived.Last + 1;
  std::int64_t lastCall = entry.LastCallUtcMs;
  if (lastCall == 0)
    lastCall = LatestInstantOf(entry.LastDate - RunMark, now.UtcMs).value_or(0);
  if (lastCall == 0 || lastCall > now.UtcMs) {
    relived.SetBack = true;
    return relived;
  }
  const auto shownSince = [&](double k) {
    const std::optional<std::int64_t> shown =
        LatestInstantOf(entry.FirstDate + k * entry.Freq, now.UtcMs);
    return shown && *shown > lastCall;
  };
  if (!shownSince(relived.Last))
    return relived;
  // Behind now the instants grow with the points: halve towards the oldest one shown since.
  double low = -1, high = relived.Last;
  while (high - low > 1) {
    const double middle = std::floor(low + (high - low) / 2);
    (shownSince(middle) ? high : low) = middle;
  }
  relived.First = high;
  return relived;
}

// The wall-clock time at which a calendar entry's call for point comes: point itself, or for a
// time the clock skips (the spring hour) the end of the skipped stretch, as the clock jumps over
// it then.
TDateTime RunMomentOf(TDateTime point) {
  if (!LocalInstantsOf(point).empty())
    return point;
  for (const TWallGap &gap : SkippedWallTimes(point - 1, point + 1))
    if (point >= gap.From && point < gap.To)
      return gap.To;
  return point;
}

// Whether a call for point, made at now, lies further back than the entry allows.
bool TooLate(const TActionEntry &entry, TDateTime point, TDateTime now) {
  return entry.LateLimitMs > 0 && (now - point) * MSecsPerDay > entry.LateLimitMs + 0.5;
}

// Whether a calendar entry's point falls on one of its days: only a daily entry has a choice.
bool OnChosenDay(const TActionEntry &entry, TDateTime point) {
  return entry.TimePoint != tpDaily || (entry.Weekdays & WeekdayBit(point)) != 0;
}

// The index of the first grid point of a frequency entry that is not too late at now.
double FirstTimelyPoint(const TActionEntry &entry, TDateTime now) {
  const double limitDays = static_cast<double>(entry.LateLimitMs) / MSecsPerDay;
  return std::ceil((now - limitDays - HalfMs - entry.FirstDate) / entry.Freq);
}

// A new or changed rule starts from its StartFrom: the due points before it count as run, as if
// the last call had been just before it, so that every kind and every catch-up below obeys
// it without a rule of its own. Not past now, so that a bound still ahead never looks like a
// clock set back; a frequency grid that begins later needs none. 0 when no bound applies.
TDateTime StartBound(const TActionEntry &entry, TDateTime now) {
  if (entry.StartFrom == 0 || !std::isfinite(entry.StartFrom))
    return 0;
  const TDateTime bound = std::min(entry.StartFrom, now) - HalfMs;
  if (bound <= entry.LastDate || (entry.TimePoint == tpFrequency && bound <= entry.FirstDate))
    return 0;
  return bound;
}

// The due check sees the start bound as the entry's last run; when it records no call, the
// entry gets its true last run back (the editor shows it, the journal keeps it).
class TStartBoundScope {
public:
  TStartBoundScope(TActionEntry &entry, TDateTime now)
      : FEntry(entry), FLastDate(entry.LastDate), FLastCall(entry.LastCallUtcMs),
        FBound(StartBound(entry, now)) {
    if (FBound != 0)
      entry.LastDate = FBound;
  }
  ~TStartBoundScope() {
    if (FBound != 0 && FEntry.LastDate == FBound && FEntry.LastCallUtcMs == FLastCall)
      FEntry.LastDate = FLastDate;
  }
  TStartBoundScope(const TStartBoundScope &) = delete;
  TStartBoundScope &operator=(const TStartBoundScope &) = delete;

private:
  TActionEntry &FEntry;
  TDateTime FLastDate;
  std::int64_t FLastCall;
  TDateTime FBound;
};

TDateTime NextDuePointFrom(const TActionEntry &entry, TDateTime now, const TMoment *moment);

// moment is now's instant when the caller knows it; else the first showing of now is taken.
TDateTime NextDuePointOf(const TActionEntry &entry, TDateTime now, const TMoment *moment) {
  const TDateTime bound = StartBound(entry, now);
  if (bound == 0)
    return NextDuePointFrom(entry, now, moment);
  TActionEntry bounded = entry;
  bounded.LastDate = bound;
  return NextDuePointFrom(bounded, now, moment);
}

TDateTime NextDuePointFrom(const TActionEntry &entry, TDateTime now, const TMoment *moment) {
  if (!entry.Active)
    return 0;
  if (entry.TimePoint == tpFrequency) {
    if (entry.DueFlag)
      return FrequencyGridPoint(entry, now);
    if (entry.Freq <= 0)
      return 0;
    if (now > entry.FirstDate && entry.LastDate > now + RunMark) {
      const TRelived relived = RelivedPoints(entry, moment ? *moment : TMoment(now));
      if (relived.First <= relived.Last)
        return entry.FirstDate + (entry.AllCalls ? relived.First : relived.Last) * entry.Freq;
      const TDateTime next = entry.FirstDate + (relived.Last + 1) * entry.Freq;
      return InCalendar(next) ? next : 0;
    }
    const double e = WholeIntervals(entry.LastDate, entry.FirstDate, entry.Freq);
    const TDateTime oldest = entry.FirstDate + std::max(e + 1, 0.0) * entry.Freq;
    if (oldest > now || now <= entry.FirstDate) {
      const TDateTime shown =
          entry.FirstDate + FirstShownPoint(entry, std::max(e + 1, 0.0)) * entry.Freq;
      return InCalendar(shown) ? shown : 0;
    }
    // Overdue: made up at the next tick, every call from the oldest with AllCalls, else
    // the latest grid point alone; points too late by then are left out.
    const TDateTime overdue = entry.AllCalls ? oldest : FrequencyGridPoint(entry, now);
    if (!TooLate(entry, overdue, now))
      return overdue;
    const double timely = std::max(FirstTimelyPoint(entry, now), std::max(e + 1, 0.0));
    const TDateTime next = entry.FirstDate + FirstShownPoint(entry, timely) * entry.Freq;
    return InCalendar(next) ? next : 0;
  }
  if (entry.TimePoint > tpYearly)
    return entry.DueFlag ? entry.FirstDate : 0;
  const TDateTime current = PeriodDuePoint(entry, now);
  if (entry.DueFlag)
    return RunMomentOf(current);
  if (entry.LastDate < current && OnChosenDay(entry, current) &&
      !(entry.LateLimitMs > 0 && now >= current && TooLate(entry, RunMomentOf(current), now)))
    return RunMomentOf(current);
  if (entry.TimePoint == tpOnce)
    return 0;
  // The next period on one of the entry's days: within a week for a daily entry.
  TDateTime later = now;
  for (int day = 0; day < 7; ++day) {
    const TDateTime next = NextPeriod(entry.TimePoint, later);
    if (next == later)
      return 0;
    later = next;
    const TDateTime point = PeriodDuePoint(entry, later);
    if (OnChosenDay(entry, point))
      return RunMomentOf(point);
  }
  return 0;
}

// The values of an entry that the due check reads; equal values fail the same way.
bool SameCheckedValues(const TActionEntry &a, const TActionEntry &b) {
  auto same = [](double x, double y) { return x == y || (std::isnan(x) && std::isnan(y)); };
  return a.TimePoint == b.TimePoint && a.AllCalls == b.AllCalls && same(a.Freq, b.Freq) &&
         same(a.FirstDate, b.FirstDate) && same(a.LastDate, b.LastDate) && a.Action == b.Action;
}

} // namespace

QString TooLateResultText() {
  return QStringLiteral("Ausgelassen: zu spät");
}

QString TScheduler::DueCheckFault(const TActionEntry &entry) {
  if (!InCalendar(entry.FirstDate))
    return QStringLiteral("Der Startzeitpunkt liegt außerhalb des Kalenders.");
  if (!InCalendar(entry.LastDate))
    return QStringLiteral("Die letzte Ausführung liegt außerhalb des Kalenders.");
  if (entry.TimePoint == tpFrequency && !std::isfinite(entry.Freq))
    return QStringLiteral("Die Frequenz ist keine Zahl.");
  return {};
}

void TScheduler::AddDuePoint(TDateTime t, TActionEntry *entry) {
  // After every call already due at the same point, so that entries earlier in the list
  // still come first; found by binary search, as the lowest place for the next greater point.
  double above = std::nextafter(t, std::numeric_limits<double>::infinity());
  int index = 0;
  FDueList.Find(&above, index);
  FDueList.InsertData(index, &t, reinterpret_cast<TListData>(entry));
}

bool TScheduler::FaultReported(const TActionEntry &entry) const {
  const auto found = FReportedFaults.find(&entry);
  return found != FReportedFaults.end() && SameCheckedValues(found->second, entry);
}

void TScheduler::ReportEntryFault(int n, const TActionEntry &entry, const QString &reason) {
  if (FaultReported(entry))
    return;
  FReportedFaults[&entry] = entry;
  HandleAppException(QStringLiteral("Die Aktion Nr. %1 „%2“ wird übergangen: %3")
                         .arg(n)
                         .arg(entry.Action.Text(), reason));
}

void TScheduler::CollectDueActions(const TMoment &now) {
  FDueList.Clear();
  FCatchUps.clear();
  FLateCalls.clear();
  // Entries that left the list take their reports with them.
  std::erase_if(FReportedFaults, [this](const auto &fault) {
    int index = 0;
    return !FActionList.Find(fault.first, index);
  });
  QElapsedTimer spent;
  spent.start();
  double catchUpCalls = 0;
  bool outOfTime = false;
  // Grid points from..to of a frequency entry as calls of their own, oldest first, leaving out
  // those the clock never shows; each entry makes at least one call per tick, the rest waits
  // while time or room is short. LastDate becomes the last point taken.
  const auto addCatchUp = [&](TActionEntry &entry, double from, double to, TDateTime oldLastDate) {
    bool added = false;
    if (entry.LateLimitMs > 0 && FirstTimelyPoint(entry, now.Wall) > from) {
      // The points too late are one record, at the latest of them, not one call each: a
      // week away from a one-minute entry would otherwise fill the journal with them.
      const double late = std::min(FirstTimelyPoint(entry, now.Wall) - 1, to);
      FLateCalls.push_back({&entry, entry.FirstDate + late * entry.Freq});
      oldLastDate = std::max(oldLastDate, FLateCalls.back().Due + RunMark);
      from = late + 1;
      added = true;
    }
    const TDateTime firstPoint = entry.FirstDate + from * entry.Freq;
    const double reach = std::min(to, from + 2 * MaxCatchUpCallsPerTick);
    const std::vector<TWallGap> gaps =
        SkippedWallTimes(firstPoint, entry.FirstDate + reach * entry.Freq);
    std::size_t gap = 0;
    double k = from;
    for (; k <= to; ++k) {
      if (added && (catchUpCalls >= MaxCatchUpCallsPerTick || outOfTime))
        break;
      const TDateTime point = entry.FirstDate + k * entry.Freq;
      if (Skipped(point, gaps, gap)) {
        // On to the first point after the gap.
        k = std::max(k, std::ceil((gaps[gap].To - HalfMs - entry.FirstDate) / entry.Freq) - 1);
        continue;
      }
      AddDuePoint(point, &entry);
      added = true;
      if (static_cast<long long>(++catchUpCalls) % CallsPerClockRead == 0)
        outOfTime = spent.elapsed() >= FTickTimeBudgetMs;
    }
    FCatchUps[&entry] = {oldLastDate, firstPoint};
    const TDateTime last = entry.FirstDate + (k - 1) * entry.Freq + RunMark;
    entry.LastDate = entry.LastDate > now.Wall + RunMark ? last : std::max(entry.LastDate, last);
    if (added)
      entry.LastCallUtcMs = now.UtcMs;
    entry.DueFlag = false;
  };
  for (int i = 0; i < FActionList.Count(); ++i) {
    TActionEntry &entry = *FActionList[i];
    if (!entry.Active) {
      // Off: never due, not even by SuddenStart; its LastDate stays as it was.
      entry.DueFlag = false;
      continue;
    }
    const QString fault = DueCheckFault(entry);
    if (!fault.isEmpty()) {
      ReportEntryFault(i + 1, entry, fault);
      continue;
    }
    if (!FReportedFaults.empty())
      FReportedFaults.erase(&entry); // mended: a new fault is told again
    const TStartBoundScope bound(entry, now.Wall);
    try {
      TDateTime t = entry.FirstDate;
      // A call flagged before this check (SuddenStart) is made whenever it comes; only a
      // call the clock brings can be too late.
      const bool flaggedBefore = entry.DueFlag;
      // Records a call by time whose point lies too far back instead of making it.
      const auto leftOutAsLate = [&](TDateTime point) {
        if (flaggedBefore || entry.LateLimitMs <= 0 ||
            !TooLate(entry, RunMomentOf(point), now.Wall))
          return false;
        entry.DueFlag = false;
        entry.LastDate = std::max(entry.LastDate, point + RunMark);
        entry.LastCallUtcMs = now.UtcMs;
        FLateCalls.push_back({&entry, point});
        return true;
      };
      if (entry.TimePoint == tpFrequency) {
        // The point a flagged call records: the current period's, or a later decision's.
        TDateTime flagged = FrequencyGridPoint(entry, now);
        if (now.Wall > entry.FirstDate && entry.Freq > 0) {
          const double d = WholeIntervals(now, entry.FirstDate, entry.Freq);
          const double e = WholeIntervals(entry.LastDate, entry.FirstDate, entry.Freq);
          if (entry.LastDate > now.Wall + RunMark) {
            const TRelived relived = RelivedPoints(entry, now);
            if (relived.SetBack) {
              // The grid goes on from here: each point is called as the clock reaches it again.
              entry.LastDate = entry.FirstDate + d * entry.Freq + RunMark;
            } else if (relived.First <= d && entry.AllCalls) {
              const TDateTime firstPoint = entry.FirstDate + relived.First * entry.Freq;
              // Undispatched calls go back to the grid before the first of them.
              addCatchUp(entry, relived.First, d, firstPoint - entry.Freq / 2);
            } else if (relived.First <= d) {
              entry.LastDate = flagged;
              entry.DueFlag = true;
            }
          } else if (e < d) {
            if (!entry.AllCalls) {
              // The latest point after the last run that the clock has shown.
              const double k =
                  LastShownPoint(entry, std::max(e + 1, d - std::ceil(1 / entry.Freq)), d);
              if (k > e) {
                flagged = entry.FirstDate + k * entry.Freq;
                entry.DueFlag = true;
              } else {
                entry.LastDate = entry.FirstDate + d * entry.Freq + RunMark; // none shown
              }
            } else {
              // Every grid point k >= 0 after the last recorded run, oldest first.
              addCatchUp(entry, std::max(e, -1.0) + 1, d, entry.LastDate);
            }
          }
        }
        if (entry.DueFlag) {
          // Dispatched by its flag (or by time without AllCalls): record the current grid
          // point, and never move LastDate back before a run that already happened.
          t = flagged;
          if (leftOutAsLate(t))
            continue;
          entry.LastDate = std::max(entry.LastDate, t + RunMark);
          entry.LastCallUtcMs = now.UtcMs;
          AddDuePoint(t, &entry);
        }
        continue;
      }
      if (entry.TimePoint <= tpYearly) {
        t = PeriodDuePoint(entry, now);
        if (entry.LastDate < t && now >= t && OnChosenDay(entry, t) && !leftOutAsLate(t))
          entry.DueFlag = true;
      }
      if (entry.DueFlag) {
        entry.LastDate = t + RunMark;
        entry.LastCallUtcMs = now.UtcMs;
        AddDuePoint(t, &entry);
      }
    } catch (const std::exception &error) {
      // Nothing above should raise for an entry that passed the check; if it does, this
      // entry waits and the others still run.
      ReportEntryFault(i + 1, entry, ErrorMessage(error));
    }
  }
}

void TScheduler::KeepUndispatchedCalls(int from) {
  // Only each catch-up entry's first call that did not run matters.
  for (int i = std::max(from, 0); i < FDueList.Count() && !FCatchUps.empty(); ++i) {
    TActionEntry *entry = DueEntry(i);
    const auto catchUp = FCatchUps.find(entry);
    if (catchUp == FCatchUps.end())
      continue; // a flagged call: its DueFlag brings it back at the next tick
    // The first call of this entry that did not run: the next tick resumes there.
    const TDateTime t = FDueList.Value<double>(i);
    if (t <= catchUp->second.FirstPoint)
      entry->LastDate = catchUp->second.OldLastDate;
    else
      entry->LastDate = std::max(catchUp->second.OldLastDate,
                                 std::min(t - entry->Freq + RunMark, t - entry->Freq / 2));
    FCatchUps.erase(catchUp);
  }
}

TDateTime TScheduler::NextDuePoint(const TActionEntry &entry, TDateTime now) {
  if (!DueCheckFault(entry).isEmpty() || !InCalendar(now))
    return 0;
  try {
    return NextDuePointOf(entry, now, nullptr);
  } catch (const std::exception &) {
    return 0; // shown as never; the due check reports the entry
  }
}

TDateTime TScheduler::NextDuePoint(const TActionEntry &entry, const TMoment &now) {
  if (!DueCheckFault(entry).isEmpty() || !InCalendar(now.Wall))
    return 0;
  try {
    return NextDuePointOf(entry, now.Wall, &now);
  } catch (const std::exception &) {
    return 0; // shown as never; the due check reports the entry
  }
}

TDateTime TScheduler::NextRunShown(const TActionEntry &entry, TDateTime now) {
  const TDateTime next = NextDuePoint(entry, now);
  if (next == 0 || next >= now)
    return next;
  // As the due check leaves it once the call is made: run now, flag cleared.
  TActionEntry ran = entry;
  ran.DueFlag = false;
  ran.LastDate = std::max(entry.LastDate, now);
  const TDateTime after = NextDuePoint(ran, now);
  return after == 0 || after >= now ? after : 0;
}
