#include "moon/MoonPhaseName.h"

#include <gtest/gtest.h>

TEST(MoonPhaseName, EachBandHasItsGermanName) {
  EXPECT_EQ(MoonPhaseName(180), "Neumond");
  EXPECT_EQ(MoonPhaseName(175), "Neumond");
  EXPECT_EQ(MoonPhaseName(185), "Neumond");
  EXPECT_EQ(MoonPhaseName(135), "Zunehmende Sichel");
  EXPECT_EQ(MoonPhaseName(90), "Erstes Viertel");
  EXPECT_EQ(MoonPhaseName(45), "Zunehmender Mond");
  EXPECT_EQ(MoonPhaseName(0), "Vollmond");
  EXPECT_EQ(MoonPhaseName(359), "Vollmond");
  EXPECT_EQ(MoonPhaseName(315), "Abnehmender Mond");
  EXPECT_EQ(MoonPhaseName(270), "Letztes Viertel");
  EXPECT_EQ(MoonPhaseName(225), "Abnehmende Sichel");
}

TEST(MoonPhaseName, IlluminatedFractionRunsFromDarkToFull) {
  EXPECT_NEAR(static_cast<double>(IlluminatedFraction(180)), 0, 1e-12);
  EXPECT_NEAR(static_cast<double>(IlluminatedFraction(90)), 0.5, 1e-12);
  EXPECT_NEAR(static_cast<double>(IlluminatedFraction(0)), 1, 1e-12);
}
