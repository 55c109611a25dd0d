// The due check: which calls are due at a moment, recording each run in LastDate.

#include "core/Scheduler.h"

#include "base/Errors.h"

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
  return std::isfinite(value) && value >= FirstCalendarDay && value < EndOfCalendar;
}

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

TDateTime NextDuePointOf(const TActionEntry &entry, TDateTime now) {
  if (entry.TimePoint == tpFrequency) {
    if (entry.DueFlag)
      return FrequencyGridPoint(entry, now);
    if (entry.Freq <= 0)
      return 0;
    const double e = WholeIntervals(entry.LastDate, entry.FirstDate, entry.Freq);
    const TDateTime oldest = entry.FirstDate + std::max(e + 1, 0.0) * entry.Freq;
    if (oldest > now || now <= entry.FirstDate)
      return InCalendar(oldest) ? oldest : 0;
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
  const TDateTime later = NextPeriod(entry.TimePoint, now);
  return later == now ? 0 : PeriodDuePoint(entry, later);
}

// The values of an entry that the due check reads; equal values fail the same way.
bool SameCheckedValues(const TActionEntry &a, const TActionEntry &b) {
  auto same = [](double x, double y) { return x == y || (std::isnan(x) && std::isnan(y)); };
  return a.TimePoint == b.TimePoint && a.AllCalls == b.AllCalls && same(a.Freq, b.Freq) &&
         same(a.FirstDate, b.FirstDate) && same(a.LastDate, b.LastDate) && a.Action == b.Action;
}

} // namespace

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
  HandleAppException(QStringLiteral("Die Aktion Nr. %1 \"%2\" wird übergangen: %3")
                         .arg(n)
                         .arg(entry.Action.Text(), reason));
}

void TScheduler::CollectDueActions(TDateTime now) {
  FDueList.Clear();
  FCatchUps.clear();
  // Entries that left the list take their reports with them.
  std::erase_if(FReportedFaults, [this](const auto &fault) {
    int index = 0;
    return !ActionList.Find(fault.first, index);
  });
  QElapsedTimer spent;
  spent.start();
  double catchUpCalls = 0;
  bool outOfTime = false;
  for (int i = 0; i < ActionList.Count(); ++i) {
    TActionEntry &entry = *ActionList[i];
    const QString fault = DueCheckFault(entry);
    if (!fault.isEmpty()) {
      ReportEntryFault(i + 1, entry, fault);
      continue;
    }
    FReportedFaults.erase(&entry); // mended: a new fault is told again
    try {
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
              // Every grid point k >= 0 after the last recorded run, oldest first; each entry
              // makes at least one call per tick, the rest waits while time or room is short.
              const double from = std::max(e, -1.0) + 1;
              double k = from;
              const TDateTime firstPoint = entry.FirstDate + from * entry.Freq;
              for (; k <= d; ++k) {
                if (k > from && (catchUpCalls >= MaxCatchUpCallsPerTick || outOfTime))
                  break;
                AddDuePoint(entry.FirstDate + k * entry.Freq, &entry);
                if (static_cast<long long>(++catchUpCalls) % CallsPerClockRead == 0)
                  outOfTime = spent.elapsed() >= TickTimeBudgetMs;
              }
              FCatchUps[&entry] = {entry.LastDate, firstPoint};
              entry.LastDate =
                  std::max(entry.LastDate, entry.FirstDate + (k - 1) * entry.Freq + RunMark);
              entry.DueFlag = false;
            }
          }
        }
        if (entry.DueFlag) {
          // Dispatched by its flag (or by time without AllCalls): record the current grid
          // point, and never move LastDate back before a run that already happened.
          t = FrequencyGridPoint(entry, now);
          entry.LastDate = std::max(entry.LastDate, t + RunMark);
          AddDuePoint(t, &entry);
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
    return NextDuePointOf(entry, now);
  } catch (const std::exception &) {
    return 0; // shown as never; the due check reports the entry
  }
}
