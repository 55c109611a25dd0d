// The due check: which calls are due at a moment, recording each run in LastDate.

#include "core/Scheduler.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// More catch-up calls than this for one entry are left for the following ticks, so that a
// long absence with a short interval neither exhausts memory nor freezes the program.
constexpr double MaxCatchUpCallsPerTick = 1000000;

// Whole intervals of freq from first to moment, truncated toward zero, kept finite.
double WholeIntervals(TDateTime moment, TDateTime first, double freq) {
  const double n = std::trunc((moment - first) / freq);
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
TDateTime PeriodDuePoint(const TActionEntry &entry, TDateTime now) {
  const TDateTime timeOfDay = TimeOf(entry.FirstDate);
  const TDateParts first = DecodeDate(entry.FirstDate);
  const TDateParts current = DecodeDate(now);
  switch (entry.TimePoint) {
  case tpOnce:
    return entry.FirstDate;
  case tpDaily:
    return ComposeDateTime(DateOf(now), timeOfDay);
  case tpWeekly:
    return ComposeDateTime(DateOf(now) + (DayOfWeek(entry.FirstDate) - DayOfWeek(now)), timeOfDay);
  case tpMonthly:
    return ComposeDateTime(ClampedDate(current.Year, current.Month, first.Day), timeOfDay);
  case tpYearly:
    return ComposeDateTime(ClampedDate(current.Year, first.Month, first.Day), timeOfDay);
  default:
    return entry.FirstDate;
  }
}

// A moment inside the period after the one that holds now (calendar kinds).
TDateTime NextPeriod(TTimePoint kind, TDateTime now) {
  const TDateParts current = DecodeDate(now);
  switch (kind) {
  case tpDaily:
    return DateOf(now) + 1;
  case tpWeekly:
    return DateOf(now) + 7;
  case tpMonthly:
    return current.Month == 12 ? EncodeDate(current.Year + 1, 1, 1)
                               : EncodeDate(current.Year, current.Month + 1, 1);
  case tpYearly:
    return EncodeDate(current.Year + 1, 1, 1);
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

} // namespace

void TScheduler::AddDuePoint(TDateTime t, TActionEntry *entry, bool keepEqual) {
  const auto data = reinterpret_cast<TListData>(entry);
  if (!keepEqual) {
    FDueList.AddData(&t, data);
    return;
  }
  // A catch-up call goes after every call already due at the same point, so none is lost
  // and entries earlier in the list still come first.
  int index = 0;
  if (FDueList.Find(&t, index))
    while (index < FDueList.Count() && FDueList.Value<double>(index) == t)
      ++index;
  FDueList.InsertData(index, &t, data);
}

void TScheduler::CollectDueActions(TDateTime now) {
  FDueList.Clear();
  for (int i = 0; i < ActionList.Count(); ++i) {
    TActionEntry &entry = *ActionList[i];
    TDateTime t = entry.FirstDate;
    if (entry.TimePoint == tpFrequency) {
      if (now > entry.FirstDate && entry.Freq > 0) {
        const double d = WholeIntervals(now, entry.FirstDate, entry.Freq);
        const double e = WholeIntervals(entry.LastDate, entry.FirstDate, entry.Freq);
        if (e < d) {
          if (!entry.AllCalls) {
            t = entry.FirstDate + d * entry.Freq;
            entry.DueFlag = true;
          } else {
            // Every grid point k ≥ 0 after the last recorded run, oldest first.
            const double from = std::max(e, -1.0) + 1;
            const double to = std::min(d, from - 1 + MaxCatchUpCallsPerTick);
            for (double k = from; k <= to; ++k)
              AddDuePoint(entry.FirstDate + k * entry.Freq, &entry, true);
            entry.LastDate = std::max(entry.LastDate, entry.FirstDate + to * entry.Freq + RunMark);
            entry.DueFlag = false;
          }
        }
      }
      if (entry.DueFlag) {
        // Dispatched by its flag (or by time without AllCalls): record the current grid
        // point, and never move LastDate back before a run that already happened.
        t = FrequencyGridPoint(entry, now);
        entry.LastDate = std::max(entry.LastDate, t + RunMark);
        AddDuePoint(t, &entry, false);
      }
      continue;
    }
    if (entry.TimePoint <= tpYearly) {
      t = PeriodDuePoint(entry, now);
      if (entry.LastDate < t && now >= t)
        entry.DueFlag = true;
    }
    if (entry.DueFlag) {
      entry.LastDate = t + RunMark;
      AddDuePoint(t, &entry, false);
    }
  }
}

TDateTime TScheduler::NextDuePoint(const TActionEntry &entry, TDateTime now) {
  if (entry.TimePoint == tpFrequency) {
    if (entry.DueFlag)
      return FrequencyGridPoint(entry, now);
    if (entry.Freq <= 0)
      return 0;
    const double e = WholeIntervals(entry.LastDate, entry.FirstDate, entry.Freq);
    const TDateTime oldest = entry.FirstDate + std::max(e + 1, 0.0) * entry.Freq;
    if (oldest > now || now <= entry.FirstDate)
      return oldest;
    // Overdue: made up at the next tick, every call from the oldest with AllCalls, else
    // the latest grid point alone.
    return entry.AllCalls ? oldest : FrequencyGridPoint(entry, now);
  }
  if (entry.TimePoint > tpYearly)
    return entry.DueFlag ? entry.FirstDate : 0;
  const TDateTime current = PeriodDuePoint(entry, now);
  if (entry.DueFlag || entry.LastDate < current)
    return current;
  if (entry.TimePoint == tpOnce)
    return 0;
  return PeriodDuePoint(entry, NextPeriod(entry.TimePoint, now));
}
