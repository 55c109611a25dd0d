#include "platform/Clock.h"

#include <algorithm>
#include <cmath>
#include <ctime>

namespace {

constexpr std::int64_t MsPerSecond = 1000;
constexpr std::int64_t MsPerDay = 86400000;
// No zone changes its UTC offset twice within this span, so equal offsets at both ends of a
// shorter span mean no change in between.
constexpr std::int64_t QuietSpanMs = 28 * MsPerDay;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

std::tm LocalFields(std::int64_t utcMs) {
  const std::time_t seconds = static_cast<std::time_t>(FloorDiv(utcMs, MsPerSecond));
  std::tm fields{};
  localtime_r(&seconds, &fields);
  return fields;
}

// Seconds east of UTC of the local zone at an instant.
long OffsetAt(std::int64_t utcMs) {
  return LocalFields(utcMs).tm_gmtoff;
}

// The calendar fields of wall (whole seconds; milliseconds apart), or false outside the calendar.
bool WallFields(TDateTime wall, std::tm &fields, int &msec) {
  if (!IsEncodableDateTime(wall))
    return false;
  const TDateParts date = DecodeDate(wall);
  const TTimeParts time = DecodeTime(wall);
  fields = std::tm{};
  fields.tm_year = date.Year - 1900;
  fields.tm_mon = date.Month - 1;
  fields.tm_mday = date.Day;
  fields.tm_hour = time.Hour;
  fields.tm_min = time.Minute;
  fields.tm_sec = time.Second;
  msec = time.MSec;
  return true;
}

bool SameWall(const std::tm &a, const std::tm &b) {
  return a.tm_year == b.tm_year && a.tm_mon == b.tm_mon && a.tm_mday == b.tm_mday &&
         a.tm_hour == b.tm_hour && a.tm_min == b.tm_min && a.tm_sec == b.tm_sec;
}

// Finds the changes of the UTC offset between two instants whose offsets are known, by halving.
void FindGaps(std::int64_t from, long fromOffset, std::int64_t to, long toOffset,
              std::vector<TWallGap> &gaps) {
  if (fromOffset == toOffset && to - from <= QuietSpanMs)
    return;
  if (to - from <= 1) {
    // The offset grows at "to": the wall-clock values between the old and the new reading of
    // that instant never occur.
    if (toOffset > fromOffset) {
      const TDateTime after = LocalWallAt(to);
      gaps.push_back({after - (toOffset - fromOffset) / 86400.0, after});
    }
    return;
  }
  const std::int64_t middle = from + (to - from) / 2;
  const long middleOffset = OffsetAt(middle);
  FindGaps(from, fromOffset, middle, middleOffset, gaps);
  FindGaps(middle, middleOffset, to, toOffset, gaps);
}

} // namespace

TMoment::TMoment(TDateTime wall) : Wall(wall) {
  const std::vector<std::int64_t> instants = LocalInstantsOf(wall);
  if (!instants.empty()) {
    UtcMs = instants.front();
    return;
  }
  std::tm fields{};
  int msec = 0;
  if (WallFields(wall, fields, msec)) {
    // Skipped by the clock: the instant mktime moves it to.
    fields.tm_isdst = -1;
    UtcMs = static_cast<std::int64_t>(std::mktime(&fields)) * MsPerSecond + msec;
  }
}

TDateTime Now() {
  return NowMoment().Wall;
}

TMoment NowMoment() {
  std::timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return MomentAt(static_cast<std::int64_t>(now.tv_sec) * MsPerSecond + now.tv_nsec / 1000000);
}

TDateTime LocalWallAt(std::int64_t utcMs) {
  const std::tm fields = LocalFields(utcMs);
  const auto msec = static_cast<int>(utcMs - FloorDiv(utcMs, MsPerSecond) * MsPerSecond);
  TDateTime date = 0;
  if (!TryEncodeDate(fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday, date))
    return 0;
  return ComposeDateTime(
      date, EncodeTime(fields.tm_hour, fields.tm_min, std::min(fields.tm_sec, 59), msec));
}

TMoment MomentAt(std::int64_t utcMs) {
  return {LocalWallAt(utcMs), utcMs};
}

std::vector<std::int64_t> LocalInstantsOf(TDateTime wall) {
  std::vector<std::int64_t> instants;
  std::tm wanted{};
  int msec = 0;
  if (!WallFields(wall, wanted, msec))
    return instants;
  // Standard time, daylight saving time, and whatever the zone says: each reading that maps
  // back to the same fields is one occurrence.
  for (const int dst : {0, 1, -1}) {
    std::tm fields = wanted;
    fields.tm_isdst = dst;
    const std::time_t seconds = std::mktime(&fields);
    std::tm back{};
    if (localtime_r(&seconds, &back) != nullptr && SameWall(back, wanted))
      instants.push_back(static_cast<std::int64_t>(seconds) * MsPerSecond + msec);
  }
  std::sort(instants.begin(), instants.end());
  instants.erase(std::unique(instants.begin(), instants.end()), instants.end());
  return instants;
}

std::optional<std::int64_t> LatestInstantOf(TDateTime wall, std::int64_t utcMs) {
  const std::vector<std::int64_t> instants = LocalInstantsOf(wall);
  if (instants.empty()) {
    const TMoment skipped(wall);
    if (skipped.UtcMs <= utcMs && IsEncodableDateTime(wall))
      return skipped.UtcMs;
    return std::nullopt;
  }
  for (auto it = instants.rbegin(); it != instants.rend(); ++it)
    if (*it <= utcMs)
      return *it;
  return std::nullopt;
}

std::vector<TWallGap> SkippedWallTimes(TDateTime from, TDateTime to) {
  std::vector<TWallGap> gaps;
  if (!(from <= to) || !IsEncodableDateTime(from) || !IsEncodableDateTime(to))
    return gaps;
  // A day's margin on either side: the instants of the two ends are only known roughly when
  // they themselves lie in a gap.
  const std::int64_t start = TMoment(from).UtcMs - MsPerDay;
  const std::int64_t end = TMoment(to).UtcMs + MsPerDay;
  FindGaps(start, OffsetAt(start), end, OffsetAt(end), gaps);
  std::erase_if(gaps, [from, to](const TWallGap &gap) { return gap.To <= from || gap.From > to; });
  return gaps;
}
