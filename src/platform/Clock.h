// The wall clock and the local time line. The engine reads the time only here, and
// everything that decides takes "now" as a parameter, so tests never depend on the real clock.
// A moment is known two ways: the local wall-clock value the files keep, and the instant
// (UTC milliseconds) that tells the two occurrences of a repeated wall-clock time apart.
#pragma once

#include "base/DateTime.h"

#include <cstdint>
#include <optional>
#include <vector>

// One moment of the clock: what the local wall clock showed, and the instant it showed it.
struct TMoment {
  TDateTime Wall = 0;
  std::int64_t UtcMs = 0;

  TMoment() = default;
  TMoment(TDateTime wall, std::int64_t utcMs) : Wall(wall), UtcMs(utcMs) {}
  // A wall-clock value alone stands for the first instant the local clock shows it (0 for a
  // value outside the calendar), so that callers that know only the wall clock still work.
  TMoment(TDateTime wall); // NOLINT: implicit on purpose
  // Reads as its wall-clock value wherever a date-time value is expected.
  operator TDateTime() const { return Wall; } // NOLINT: implicit on purpose
};

// The local wall-clock time with milliseconds as a date-time value.
TDateTime Now();
// The current moment, wall clock and instant read together.
TMoment NowMoment();
// The local wall-clock value of an instant.
TDateTime LocalWallAt(std::int64_t utcMs);
// The moment of an instant.
TMoment MomentAt(std::int64_t utcMs);
// The instants at which the local clock shows wall, earliest first: none for a value the
// clock skips (the spring hour), two for one it shows twice (the autumn hour).
std::vector<std::int64_t> LocalInstantsOf(TDateTime wall);
// The latest instant at or before utcMs at which the local clock showed wall; for a value the
// clock skips, the instant it skipped it (so that the order of wall values is kept); none when
// the clock has not shown it by then.
std::optional<std::int64_t> LatestInstantOf(TDateTime wall, std::int64_t utcMs);

// Makes the next read of the local time line ask the system for the zone again, for a caller
// that learns of a new zone first (the desktop's time-zone setting). Changes of TZ are followed
// anyway, and a replaced zone file within a minute or at once after a step of the clock.
void ForgetLocalZone();

// A stretch of wall-clock values the local clock skips, From included, To not.
struct TWallGap {
  TDateTime From = 0;
  TDateTime To = 0;
};
// The stretches the local clock skips that touch the wall-clock span from..to, oldest first.
// Cheap when the span holds no change of the UTC offset.
std::vector<TWallGap> SkippedWallTimes(TDateTime from, TDateTime to);
