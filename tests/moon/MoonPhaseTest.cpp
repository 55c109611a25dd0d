#include "moon/MoonPhase.h"

#include "TestHelpers.h"

#include <gtest/gtest.h>

// Meeus example 47.a: 1992-04-12 0h, JDE 2448724.5.
TEST(MoonPhase, LunarSumsMatchWorkedExample) {
  EXPECT_DOUBLE_EQ(static_cast<double>(ToJulianDay(33706.0)), 2448724.5);
  const TLunarSums sums = LunarSums(33706.0);
  EXPECT_NEAR(static_cast<double>(sums.SumL), -1127527, 1.0);
  EXPECT_NEAR(static_cast<double>(sums.SumB), -3229126, 1.0);
  EXPECT_NEAR(static_cast<double>(sums.SumR), -16590875, 1.0);
}

TEST(MoonPhase, LunarPositionMatchesWorkedExample) {
  const TEclipticPosition moon = LunarPosition(33706.0);
  EXPECT_NEAR(static_cast<double>(moon.Longitude), 133.162655, 0.00001);
  EXPECT_NEAR(static_cast<double>(moon.Latitude), -3.229126, 0.00001);
  EXPECT_NEAR(static_cast<double>(moon.Distance), 368409.7, 0.1);
}

// Meeus example 48.a, same moment: i = 69.0756 degrees, waxing.
TEST(MoonPhase, PhaseAngleMatchesWorkedExample) {
  EXPECT_NEAR(static_cast<double>(PhaseAngle(33706.0)), 69.0756, 0.02);
}

TEST(MoonPhase, NormalizeDegreesHalvesGoToEvenAndNegativesWrap) {
  EXPECT_DOUBLE_EQ(static_cast<double>(NormalizeDegrees(180)), 180);
  EXPECT_DOUBLE_EQ(static_cast<double>(NormalizeDegrees(540)), 180);
  EXPECT_DOUBLE_EQ(static_cast<double>(NormalizeDegrees(-180)), 180);
  EXPECT_DOUBLE_EQ(static_cast<double>(NormalizeDegrees(-90)), 270);
  EXPECT_DOUBLE_EQ(static_cast<double>(NormalizeDegrees(-720.25)), 359.75);
  EXPECT_DOUBLE_EQ(static_cast<double>(NormalizeDegrees(360)), 0);
  EXPECT_DOUBLE_EQ(static_cast<double>(NormalizeDegrees(725)), 5);
  const long double tiny = NormalizeDegrees(-1e-30L);
  EXPECT_GE(tiny, 0);
  EXPECT_LT(tiny, 360);
}

TEST(MoonPhase, JulianDayIsZeroUpToTheGregorianCalendarStart) {
  EXPECT_DOUBLE_EQ(static_cast<double>(EncodeDate(1582, 10, 14)), -115859);
  EXPECT_EQ(ToJulianDay(At(1582, 10, 14)), 0);
  EXPECT_EQ(ToJulianDay(At(1582, 10, 14, 23, 59)), 0);
  EXPECT_EQ(ToJulianDay(At(1000, 1, 1)), 0);
  EXPECT_DOUBLE_EQ(static_cast<double>(ToJulianDay(At(1582, 10, 15))), 2299160.5);
  // Still a phase, no error.
  const long double angle = NormalizeDegrees(PhaseAngle(At(1500, 6, 1)));
  EXPECT_GE(angle, 0);
  EXPECT_LT(angle, 360);
}

// Before 1899 the fraction counts forward from the start of its day.
TEST(MoonPhase, JulianDayOfAnEarlyValueCountsItsTimeForward) {
  EXPECT_DOUBLE_EQ(static_cast<double>(ToJulianDay(At(1899, 12, 29, 6))), 2415018.5 - 0.75);
}

// Known phases of 2026 (new moon 17 Feb 13:01 CET, full moon 3 Mar 12:38 CET).
TEST(MoonPhase, NewAndFullMoonGiveTheirAngles) {
  EXPECT_NEAR(static_cast<double>(NormalizeDegrees(PhaseAngle(At(2026, 2, 17, 13, 1)))), 180, 1.5);
  EXPECT_NEAR(static_cast<double>(PhaseAngle(At(2026, 3, 3, 12, 38))), 0, 1.5);
  // A week after new moon waxing (below 180), a week after full moon waning (from 180).
  EXPECT_LT(NormalizeDegrees(PhaseAngle(At(2026, 2, 24))), 180);
  EXPECT_GT(NormalizeDegrees(PhaseAngle(At(2026, 3, 10))), 180);
}
