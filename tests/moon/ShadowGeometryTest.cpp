#include "moon/ShadowGeometry.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {
int HalfWidth(int r, int e) {
  return static_cast<int>(std::nearbyint(std::sqrt(double(r * r - e * e))));
}
} // namespace

TEST(ShadowGeometry, NewMoonCoversTheWholeDisc) {
  for (long double angle : {180.0L}) {
    const auto spans = ShadowSpans(angle, 31, 28, 28);
    // Rows 0 to 56, the centre row from both halves.
    ASSERT_EQ(spans.size(), 58u);
    for (const auto &s : spans) {
      const int w = HalfWidth(28, std::abs(s.Row - 28));
      EXPECT_EQ(s.FirstColumn, 31 - w);
      EXPECT_EQ(s.LastColumn, 31 + w);
    }
    EXPECT_EQ(spans.front().Row, 28);
    EXPECT_EQ(spans.back().Row, 56);
    EXPECT_EQ(spans[spans.size() - 2].Row, 0);
  }
}

TEST(ShadowGeometry, FirstQuarterDarkensTheLeftHalfLastQuarterTheRight) {
  for (const auto &s : ShadowSpans(90, 31, 28, 28)) {
    EXPECT_EQ(s.FirstColumn, 31 - HalfWidth(28, std::abs(s.Row - 28)));
    EXPECT_EQ(s.LastColumn, 31);
  }
  for (const auto &s : ShadowSpans(270, 31, 28, 28)) {
    EXPECT_EQ(s.FirstColumn, 31);
    EXPECT_EQ(s.LastColumn, 31 + HalfWidth(28, std::abs(s.Row - 28)));
  }
}

TEST(ShadowGeometry, FullMoonLeavesOnePixelAtTheLeftOfEachRow) {
  for (const auto &s : ShadowSpans(0, 7, 7, 7)) {
    EXPECT_EQ(s.FirstColumn, s.LastColumn);
    EXPECT_EQ(s.FirstColumn, 7 - HalfWidth(7, std::abs(s.Row - 7)));
  }
}
