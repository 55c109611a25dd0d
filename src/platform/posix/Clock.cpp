#include "platform/Clock.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <mutex>
#include <string>
#include <sys/stat.h>

namespace {

constexpr std::int64_t MsPerSecond = 1000;
constexpr std::int64_t MsPerDay = 86400000;
// No zone changes its UTC offset twice within this span, so equal offsets at both ends of a
// shorter span mean no change in between.
constexpr std::int64_t QuietSpanMs = 28 * MsPerDay;
// The day number of 1970-01-01, where instants count from.
constexpr std::int64_t UnixDay = 25569;
// The calendar's first and last day (0001-01-01, 9999-12-31).
constexpr TDateTime FirstCalendarDay = -693593;
constexpr TDateTime LastCalendarDay = 2958465;
// Instants beyond the calendar, with room for any offset, are never converted.
constexpr std::int64_t MinInstantMs = (-693593 - UnixDay - 2) * MsPerDay;
constexpr std::int64_t MaxInstantMs = (2958466 - UnixDay + 2) * MsPerDay;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

// The UTC offset of the local zone, asked of the C library only once per UTC day: a read
// of the clock and a due check over thousands of entries then cost arithmetic alone. The
// library is told to look at the zone again when TZ changes, and at most once a minute (or
// at once after the wall clock was stepped) when the zone file it reads has been replaced.
class TZoneCache {
public:
  // Seconds east of UTC at an instant.
  long Offset(std::int64_t utcMs) {
    const std::int64_t day = FloorDiv(utcMs, MsPerDay);
    TDay &slot = FDays[static_cast<std::size_t>(day & (DaySlots - 1))];
    if (!slot.Known || slot.Day != day)
      Fill(slot, day);
    return utcMs < slot.ChangeMs ? slot.Before : slot.After;
  }

  // Forgets every offset when the zone may have changed since the last look.
  void Follow() {
    const char *tz = std::getenv("TZ");
    const bool changed = !FFilled || (tz != nullptr) != FTzSet || (tz != nullptr && FTz != tz);
    // The coarse clock costs next to nothing; the two precise ones that show a step of the
    // wall clock are read once a second at most.
    std::timespec coarse{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &coarse);
    const std::int64_t coarseMs = coarse.tv_sec * MsPerSecond + coarse.tv_nsec / 1000000;
    bool replaced = false;
    if (!changed && coarseMs >= FNextStepLookMs) {
      FNextStepLookMs = coarseMs + MsPerSecond;
      std::timespec wall{}, steady{};
      clock_gettime(CLOCK_REALTIME, &wall);
      clock_gettime(CLOCK_MONOTONIC, &steady);
      const std::int64_t stepMs =
          (wall.tv_sec - steady.tv_sec) * MsPerSecond + (wall.tv_nsec - steady.tv_nsec) / 1000000;
      const bool stepped = std::abs(stepMs - FStepMs) > MsPerSecond;
      FStepMs = stepMs;
      if (stepped || coarseMs >= FNextFileLookMs) {
        FNextFileLookMs = coarseMs + 60 * MsPerSecond;
        replaced = FileIdentity() != FFile;
      }
    }
    if (changed || replaced || FForgotten) {
      FTzSet = tz != nullptr;
      FTz = tz != nullptr ? tz : "";
      tzset();
      FFile = FileIdentity();
      for (TDay &slot : FDays)
        slot.Known = false;
      FFilled = true;
      FForgotten = false;
    }
  }

  // The next Follow asks the C library anew.
  void Forget() { FForgotten = true; }

private:
  static constexpr std::int64_t DaySlots = 1024;

  struct TDay {
    bool Known = false;
    std::int64_t Day = 0;
    // The offset changes from Before to After at ChangeMs; never when they are equal.
    long Before = 0, After = 0;
    std::int64_t ChangeMs = 0;
  };

  // Seconds east of UTC as the C library says.
  static long LibraryOffset(std::int64_t seconds) {
    const auto t = static_cast<std::time_t>(seconds);
    std::tm fields{};
    return localtime_r(&t, &fields) != nullptr ? fields.tm_gmtoff : 0;
  }

  // No zone changes its offset twice in a day: the second of a change is found by halving.
  static void Fill(TDay &slot, std::int64_t day) {
    std::int64_t first = day * 86400, last = first + 86399;
    slot.Known = true;
    slot.Day = day;
    slot.Before = LibraryOffset(first);
    slot.After = LibraryOffset(last);
    slot.ChangeMs = std::numeric_limits<std::int64_t>::max();
    if (slot.Before == slot.After)
      return;
    while (last - first > 1) {
      const std::int64_t middle = first + (last - first) / 2;
      (LibraryOffset(middle) == slot.Before ? first : last) = middle;
    }
    slot.ChangeMs = last * MsPerSecond;
  }

  // The zone file the C library reads when TZ is unset; a replaced file has a new inode or
  // modification time.
  static std::array<std::int64_t, 4> FileIdentity() {
    struct stat info {};
    if (std::getenv("TZ") != nullptr || stat("/etc/localtime", &info) != 0)
      return {};
    return {static_cast<std::int64_t>(info.st_ino), static_cast<std::int64_t>(info.st_size),
            static_cast<std::int64_t>(info.st_mtim.tv_sec),
            static_cast<std::int64_t>(info.st_mtim.tv_nsec)};
  }

  std::array<TDay, DaySlots> FDays{};
  bool FFilled = false;
  bool FForgotten = false;
  bool FTzSet = false;
  std::string FTz;
  std::array<std::int64_t, 4> FFile{};
  std::int64_t FNextFileLookMs = 0;
  std::int64_t FNextStepLookMs = 0;
  std::int64_t FStepMs = 0;
};

TZoneCache TheZone;
// Held by every public function while it reads the local time line, so that one thread at
// a time follows and uses the cache.
std::mutex ZoneLock;

// The zone, followed to its current state; the caller holds ZoneLock.
TZoneCache &FollowedZone() {
  TheZone.Follow();
  return TheZone;
}

// The local wall clock's milliseconds since 1970-01-01 00:00 for a value in the calendar.
std::int64_t LocalMsOf(TDateTime wall) {
  const TTimeStamp stamp = DateTimeToTimeStamp(wall);
  return (stamp.Date - UnixDay) * MsPerDay + stamp.Time;
}

TDateTime WallAt(TZoneCache &zone, std::int64_t utcMs) {
  if (utcMs > MaxInstantMs || utcMs < MinInstantMs)
    return 0;
  const std::int64_t localMs = utcMs + zone.Offset(utcMs) * MsPerSecond;
  const std::int64_t day = FloorDiv(localMs, MsPerDay);
  const auto date = static_cast<TDateTime>(day + UnixDay);
  if (date < FirstCalendarDay || date > LastCalendarDay)
    return 0;
  return ComposeDateTime(date, static_cast<double>(localMs - day * MsPerDay) / MSecsPerDay);
}

std::vector<std::int64_t> InstantsOf(TZoneCache &zone, TDateTime wall) {
  std::vector<std::int64_t> instants;
  if (!IsEncodableDateTime(wall))
    return instants;
  instants.reserve(2);
  const std::int64_t localMs = LocalMsOf(wall);
  // An instant showing wall lies within a day of localMs; the offsets a day either side are
  // those before and after any change in between.
  for (const long offset : {zone.Offset(localMs - MsPerDay), zone.Offset(localMs + MsPerDay)}) {
    const std::int64_t utcMs = localMs - offset * MsPerSecond;
    if (zone.Offset(utcMs) == offset && (instants.empty() || instants.front() != utcMs))
      instants.push_back(utcMs);
  }
  if (instants.size() == 2 && instants[1] < instants[0])
    std::swap(instants[0], instants[1]);
  return instants;
}

// The instant of wall: its first showing, or for a value the clock skips the one the offset
// before the change gives it (shown as the later wall-clock time), as mktime places it.
std::int64_t FirstInstantOf(TZoneCache &zone, TDateTime wall) {
  const std::vector<std::int64_t> instants = InstantsOf(zone, wall);
  if (!instants.empty())
    return instants.front();
  if (!IsEncodableDateTime(wall))
    return 0;
  const std::int64_t localMs = LocalMsOf(wall);
  return localMs - zone.Offset(localMs - MsPerDay) * MsPerSecond;
}

// Finds the changes of the UTC offset between two instants whose offsets are known, by halving.
void FindGaps(TZoneCache &zone, std::int64_t from, long fromOffset, std::int64_t to, long toOffset,
              std::vector<TWallGap> &gaps) {
  if (fromOffset == toOffset && to - from <= QuietSpanMs)
    return;
  if (to - from <= 1) {
    // The offset grows at "to": the wall-clock values between the old and the new reading of
    // that instant never occur.
    if (toOffset > fromOffset) {
      const TDateTime after = WallAt(zone, to);
      gaps.push_back({after - (toOffset - fromOffset) / 86400.0, after});
    }
    return;
  }
  const std::int64_t middle = from + (to - from) / 2;
  const long middleOffset = zone.Offset(middle);
  FindGaps(zone, from, fromOffset, middle, middleOffset, gaps);
  FindGaps(zone, middle, middleOffset, to, toOffset, gaps);
}

} // namespace

TMoment::TMoment(TDateTime wall) : Wall(wall) {
  const std::lock_guard<std::mutex> hold(ZoneLock);
  UtcMs = FirstInstantOf(FollowedZone(), wall);
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
  const std::lock_guard<std::mutex> hold(ZoneLock);
  return WallAt(FollowedZone(), utcMs);
}

TMoment MomentAt(std::int64_t utcMs) {
  return {LocalWallAt(utcMs), utcMs};
}

std::vector<std::int64_t> LocalInstantsOf(TDateTime wall) {
  const std::lock_guard<std::mutex> hold(ZoneLock);
  return InstantsOf(FollowedZone(), wall);
}

std::optional<std::int64_t> LatestInstantOf(TDateTime wall, std::int64_t utcMs) {
  const std::lock_guard<std::mutex> hold(ZoneLock);
  TZoneCache &zone = FollowedZone();
  const std::vector<std::int64_t> instants = InstantsOf(zone, wall);
  if (instants.empty()) {
    const std::int64_t skipped = FirstInstantOf(zone, wall);
    if (skipped <= utcMs && IsEncodableDateTime(wall))
      return skipped;
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
  const std::lock_guard<std::mutex> hold(ZoneLock);
  TZoneCache &zone = FollowedZone();
  // A day's margin on either side: the instants of the two ends are only known roughly when
  // they themselves lie in a gap.
  const std::int64_t start = FirstInstantOf(zone, from) - MsPerDay;
  const std::int64_t end = FirstInstantOf(zone, to) + MsPerDay;
  FindGaps(zone, start, zone.Offset(start), end, zone.Offset(end), gaps);
  std::erase_if(gaps, [from, to](const TWallGap &gap) { return gap.To <= from || gap.From > to; });
  return gaps;
}

void ForgetLocalZone() {
  const std::lock_guard<std::mutex> hold(ZoneLock);
  TheZone.Forget();
}
