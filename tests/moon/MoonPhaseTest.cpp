#include "moon/MoonPhase.h"

#include <gtest/gtest.h>

#include "TestHelpers.h"

namespace {

// 12 April 1992, 0h: the worked example of Meeus' chapters 47 and 48.
constexpr TDateTime ExampleDate = 33706.0;

TEST(MoonPhaseTest, LunarSumsMatchWorkedExample) {
  const TLunarSums sums = LunarSums(ExampleDate);
  EXPECT_NEAR(static_cast<double>(sums.Longitude), -1127527, 1);
  EXPECT_NEAR(static_cast<double>(sums.Latitude), -3229126, 1);
  EXPECT_NEAR(static_cast<double>(sums.Distance), -16590875, 1);
}

TEST(MoonPhaseTest, LunarPositionMatchesWorkedExample) {
  const TEclipticPosition moon = LunarPosition(ExampleDate);
  EXPECT_NEAR(static_cast<double>(moon.Longitude), 133.162655, 0.00001);
  EXPECT_NEAR(static_cast<double>(moon.Latitude), -3.229126, 0.00001);
  EXPECT_NEAR(static_cast<double>(moon.Distance), 368409.7, 0.1);
}

TEST(MoonPhaseTest, PhaseAngleOfWaxingExampleIsPositive) {
  EXPECT_DOUBLE_EQ(static_cast<double>(At(1992, 4, 12)), ExampleDate);
  EXPECT_NEAR(static_cast<double>(PhaseAngle(ExampleDate)), 69.0756, 0.02);
}

TEST(MoonPhaseTest, SolarPositionIsNearTheEquinoxInMarch) {
  // Around 20 March the sun crosses longitude 0 at about one astronomical unit.
  const TEclipticPosition sun = SolarPosition(At(2024, 3, 20, 4, 6));
  const long double lon = sun.Longitude > 180 ? sun.Longitude - 360 : sun.Longitude;
  EXPECT_NEAR(static_cast<double>(lon), 0.0, 0.05);
  EXPECT_NEAR(static_cast<double>(sun.Distance), 1.496e8, 0.01e8);
}

TEST(MoonPhaseTest, PhaseAngleNearKnownFullAndNewMoons) {
  // Full moon 25 March 2024 08:00 (Berlin); new moon 8 April 2024 20:21 (Berlin).
  EXPECT_LT(std::abs(static_cast<double>(PhaseAngle(At(2024, 3, 25, 8)))), 5.0);
  EXPECT_GT(std::abs(static_cast<double>(PhaseAngle(At(2024, 4, 8, 20, 21)))), 175.0);
  // A week after full moon the moon wanes: negative.
  EXPECT_LT(PhaseAngle(At(2024, 4, 1, 12)), 0);
}

TEST(MoonPhaseTest, NormalizeDegreesRoundsHalvesToEvenAndStaysInRange) {
  EXPECT_EQ(NormalizeDegrees(0), 0);
  EXPECT_EQ(NormalizeDegrees(360), 0);
  EXPECT_EQ(NormalizeDegrees(-360), 0);
  EXPECT_EQ(NormalizeDegrees(180), 180);  // 0.5 rounds to 0
  EXPECT_EQ(NormalizeDegrees(540), 180);  // 1.5 rounds to 2, then +360
  EXPECT_EQ(NormalizeDegrees(-180), 180); // -0.5 rounds to 0, then +360
  EXPECT_EQ(NormalizeDegrees(-90), 270);
  EXPECT_EQ(NormalizeDegrees(725), 5);
  EXPECT_EQ(NormalizeDegrees(-725), 355);
  const long double tiny = NormalizeDegrees(-1e-30L);
  EXPECT_GE(tiny, 0);
  EXPECT_LT(tiny, 360);
}

TEST(MoonPhaseTest, DegSinAndDegCosUseDegrees) {
  EXPECT_NEAR(static_cast<double>(DegSin(30)), 0.5, 1e-15);
  EXPECT_NEAR(static_cast<double>(DegCos(-420)), 0.5, 1e-15);
  EXPECT_NEAR(static_cast<double>(DegSin(270)), -1.0, 1e-15);
}

TEST(MoonPhaseTest, JulianDayIsZeroUpToTheGregorianReform) {
  EXPECT_EQ(ToJulianDay(-115859), 0);
  EXPECT_EQ(ToJulianDay(-200000), 0);
  EXPECT_EQ(ToJulianDay(-115858), -115858 + 2415018.5L);
  EXPECT_EQ(ToJulianDay(36526), 2451544.5L);
  // The early moments still give a finite phase, without an error.
  const long double angle = PhaseAngle(-115859);
  EXPECT_TRUE(std::isfinite(static_cast<double>(angle)));
  EXPECT_GE(NormalizeDegrees(angle), 0);
}

} // namespace
