// The local time line the clock keeps without asking the zone at every read: the same as the C
// library's around both daylight-saving changes, and following a change of TZ at once.
#include "platform/Clock.h"
#include "TestHelpers.h"

#include <ctime>
#include <gtest/gtest.h>

namespace {

// The wall-clock value the C library gives an instant, asked afresh.
TDateTime LibraryWall(std::int64_t utcMs) {
  const std::time_t seconds = utcMs / 1000;
  std::tm fields{};
  localtime_r(&seconds, &fields);
  return At(fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday, fields.tm_hour, fields.tm_min,
            fields.tm_sec, static_cast<int>(utcMs % 1000));
}

// Every 7½ minutes plus a few milliseconds across four hours around each change of 2026, in
// Berlin (01:00 UTC both) and New York (07:00 and 06:00 UTC), the zone set after the first
// reads of another: each instant reads as the C library says, and each wall-clock value of
// those hours is shown 0 times in the skipped hour, twice in the repeated one, else once, at
// instants that read back as it.
TEST(Clock, FollowsTheZoneAndBothChangesOfTheYear) {
  const QByteArray old = qgetenv("TZ");
  const struct {
    const char *Zone;
    std::int64_t SpringUtcMs, AutumnUtcMs;
  } zones[] = {
      {"Europe/Berlin", 1774746000000, 1792890000000},
      {"America/New_York", 1772953200000, 1793512800000},
      {"Europe/Berlin", 1774746000000, 1792890000000},
  };
  for (const auto &zone : zones) {
    // Set without tzset: the clock notices the change by itself.
    qputenv("TZ", zone.Zone);
    const TDateTime first = LocalWallAt(zone.SpringUtcMs);
    tzset();
    ASSERT_NEAR(first, LibraryWall(zone.SpringUtcMs), MsTolerance) << zone.Zone;
    for (const std::int64_t change : {zone.SpringUtcMs, zone.AutumnUtcMs}) {
      for (std::int64_t utcMs = change - 7200000; utcMs <= change + 7200000; utcMs += 450003) {
        const TDateTime expected = LibraryWall(utcMs);
        ASSERT_NEAR(LocalWallAt(utcMs), expected, MsTolerance) << zone.Zone << " " << utcMs;
        ASSERT_NEAR(LocalWallAt(change - 1), LibraryWall(change - 1), MsTolerance);
        ASSERT_NEAR(LocalWallAt(change), LibraryWall(change), MsTolerance);
      }
      const TDateTime changeWall = LocalWallAt(change);
      const bool spring = change == zone.SpringUtcMs;
      // The hour skipped ends, and the hour repeated begins, at the wall time of the change.
      const TDateTime hourStart = spring ? changeWall - 1.0 / 24 : changeWall;
      for (int quarter = -4; quarter < 8; ++quarter) {
        const TDateTime wall = hourStart + quarter / 96.0 + 0.25 / 86400;
        const std::vector<std::int64_t> instants = LocalInstantsOf(wall);
        const bool inHour = quarter >= 0 && quarter < 4;
        ASSERT_EQ(instants.size(), inHour ? (spring ? 0u : 2u) : 1u) << zone.Zone << " " << wall;
        for (const std::int64_t instant : instants)
          ASSERT_NEAR(LocalWallAt(instant), wall, MsTolerance) << zone.Zone << " " << wall;
        if (inHour && spring) {
          // A skipped value stands for the instant an hour on, the later time it reads as.
          EXPECT_NEAR(LocalWallAt(TMoment(wall).UtcMs), wall + 1.0 / 24, MsTolerance);
          EXPECT_EQ(SkippedWallTimes(wall, wall).size(), 1u);
        }
      }
    }
  }
  qputenv("TZ", old);
  tzset();
}

} // namespace
