#include "moon/ShadowGeometry.h"

#include "moon/MoonPhase.h"

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

// From 45 moments spread over two months (new and full moon among them) and for the radii of
// the three pictures: up to the moment NextShadowChange names, less a second, the shadow stays
// as it was (sampled each minute), and a handful of looks ahead reach its change.
TEST(ShadowGeometry, NextShadowChangeIsNeverLateAndNeverFarEarly) {
  const auto spans = [](TDateTime t, int r) {
    return ShadowSpans(NormalizeDegrees(PhaseAngle(t)), 0, 0, r);
  };
  constexpr double Second = 1.0 / 86400;
  for (const int r : {28, 14, 7}) {
    for (TDateTime now = 46357.3; now < 46417; now += 1.33) {
      const std::vector<TShadowSpan> shown = spans(now, r);
      TDateTime next = now;
      int looks = 0;
      while (spans(next, r) == shown && looks < 10) {
        const TDateTime later = NextShadowChange(next, r);
        ASSERT_GT(later, next) << r << " " << next;
        next = later;
        ++looks;
      }
      EXPECT_LE(looks, 5) << r << " " << now;
      EXPECT_EQ(spans(next - 1.001 * Second, r), shown) << r << " " << now;
      for (TDateTime t = now; t < next - 1.001 * Second; t += 60 * Second)
        ASSERT_EQ(spans(t, r), shown) << r << " " << now << " " << t;
    }
  }
}
