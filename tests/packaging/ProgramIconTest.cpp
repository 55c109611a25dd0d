// The program icon: the committed PNGs are what the generator draws now (never a scaled or
// stale copy), and each size reads as our moon on light and dark panels.
#include "ProgramIcon.h"

#include <QDir>
#include <QImage>
#include <QString>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

QString ResourcesFolder() {
  return qEnvironmentVariable("KRONOLAB_SOURCE_DIR") + QStringLiteral("/resources/");
}

QString ThemeIconFile(int edge) {
  return ResourcesFolder() +
         QStringLiteral("icons/hicolor/%1x%1/apps/io.github.kronolab.Kronolab.png").arg(edge);
}

// The first pixel whose colour or alpha differs, as text for the failure message; empty when
// both images are the same.
std::string FirstDifference(const QImage &expected, const QImage &actual) {
  if (expected.size() != actual.size())
    return "size differs";
  for (int y = 0; y < expected.height(); ++y)
    for (int x = 0; x < expected.width(); ++x)
      if (expected.pixel(x, y) != actual.pixel(x, y))
        return QStringLiteral("pixel (%1, %2): drawn %3, committed %4")
            .arg(x)
            .arg(y)
            .arg(expected.pixel(x, y), 8, 16, QLatin1Char('0'))
            .arg(actual.pixel(x, y), 8, 16, QLatin1Char('0'))
            .toStdString();
  return {};
}

int Alpha(const QImage &icon, int x, int y) {
  return qAlpha(icon.pixel(x, y));
}

int Luminance(const QImage &icon, int x, int y) {
  return qGray(icon.pixel(x, y));
}

// The columns and rows that hold any visible pixel.
struct TBounds {
  int Left = 1 << 20, Top = 1 << 20, Right = -1, Bottom = -1;
};

TBounds OpaqueBounds(const QImage &icon) {
  TBounds b;
  for (int y = 0; y < icon.height(); ++y)
    for (int x = 0; x < icon.width(); ++x)
      if (Alpha(icon, x, y) > 0) {
        b.Left = std::min(b.Left, x);
        b.Right = std::max(b.Right, x);
        b.Top = std::min(b.Top, y);
        b.Bottom = std::max(b.Bottom, y);
      }
  return b;
}

} // namespace

// A changed drawing without newly written PNGs, or a PNG edited or scaled by hand, fails here:
// run kronolab_program_icons (built with KRONOLAB_BUILD_MOON_PICTURES) to write them again.
TEST(ProgramIcon, CommittedPngsAreWhatTheGeneratorDraws) {
  for (const int edge : ProgramIconSizes) {
    SCOPED_TRACE(edge);
    const QImage committed(ThemeIconFile(edge));
    ASSERT_FALSE(committed.isNull()) << ThemeIconFile(edge).toStdString();
    EXPECT_EQ(committed.size(), QSize(edge, edge));
    EXPECT_EQ(
        FirstDifference(DrawProgramIcon(edge), committed.convertToFormat(QImage::Format_ARGB32)),
        "");
  }
  // The window icon the program carries in its resources is the 128 pixel one.
  const QImage windowIcon(ResourcesFolder() + QStringLiteral("kronolab.png"));
  ASSERT_FALSE(windowIcon.isNull());
  EXPECT_EQ(
      FirstDifference(DrawProgramIcon(128), windowIcon.convertToFormat(QImage::Format_ARGB32)), "");
}

TEST(ProgramIcon, SmallSizesHaveNoHalfTransparentEdgeAndLargeOnesASmoothOne) {
  for (const int edge : ProgramIconSizes) {
    SCOPED_TRACE(edge);
    const QImage icon = DrawProgramIcon(edge);
    int partial = 0;
    for (int y = 0; y < edge; ++y)
      for (int x = 0; x < edge; ++x)
        if (Alpha(icon, x, y) != 0 && Alpha(icon, x, y) != 255)
          ++partial;
    if (edge < SmoothEdgeFromSize)
      EXPECT_EQ(partial, 0) << "a blurred edge at a size where each pixel counts";
    else
      EXPECT_GT(partial, edge) << "steps along the edge of a large disc";
  }
}

TEST(ProgramIcon, DiscIsCentredRoundAndFillsTheIcon) {
  for (const int edge : ProgramIconSizes) {
    SCOPED_TRACE(edge);
    const QImage icon = DrawProgramIcon(edge);
    const TBounds b = OpaqueBounds(icon);
    // As wide as high and as far from each side as from the opposite one.
    EXPECT_EQ(b.Right - b.Left, b.Bottom - b.Top);
    EXPECT_EQ(b.Left, edge - 1 - b.Right);
    EXPECT_EQ(b.Top, edge - 1 - b.Bottom);
    EXPECT_GE(b.Right - b.Left + 1, edge * 7 / 8) << "the disc is lost in its icon";
    EXPECT_LT(b.Right - b.Left + 1, edge) << "no room left around the disc";
    // The outline is mirror-symmetric: the disc follows its row rule on both sides.
    for (int y = 0; y < edge; ++y)
      for (int x = 0; x < edge; ++x) {
        ASSERT_EQ(Alpha(icon, x, y), Alpha(icon, edge - 1 - x, y)) << x << "," << y;
        ASSERT_EQ(Alpha(icon, x, y), Alpha(icon, x, edge - 1 - y)) << x << "," << y;
      }
    // Round, not square: the corners of the disc's box stay empty.
    EXPECT_EQ(Alpha(icon, b.Left, b.Top), 0);
    EXPECT_EQ(Alpha(icon, b.Right, b.Bottom), 0);
  }
}

// The icon shows a phase: a lit right side and an ash-grey left side in shadow that is never
// black, so that the whole disc stays visible on a dark panel.
TEST(ProgramIcon, ShowsALitSideAndAnAshGreyShadowSide) {
  for (const int edge : ProgramIconSizes) {
    SCOPED_TRACE(edge);
    const QImage icon = DrawProgramIcon(edge);
    const TBounds b = OpaqueBounds(icon);
    const int width = b.Right - b.Left + 1;
    long shadowSum = 0, litSum = 0;
    int shadowCount = 0, litCount = 0, darkest = 255;
    for (int y = 0; y < edge; ++y)
      for (int x = 0; x < edge; ++x) {
        if (Alpha(icon, x, y) != 255)
          continue;
        darkest = std::min(darkest, Luminance(icon, x, y));
        // Well inside each side, away from the rim and the soft terminator.
        if (x > b.Left + width / 10 && x < b.Left + width / 4 &&
            std::abs(2 * y - edge) < edge / 4) {
          shadowSum += Luminance(icon, x, y);
          ++shadowCount;
        } else if (x > b.Left + width * 3 / 5 && x < b.Right - width / 10 &&
                   std::abs(2 * y - edge) < edge / 4) {
          litSum += Luminance(icon, x, y);
          ++litCount;
        }
      }
    ASSERT_GT(shadowCount, 0);
    ASSERT_GT(litCount, 0);
    const long shadow = shadowSum / shadowCount, lit = litSum / litCount;
    EXPECT_GE(darkest, 45) << "black in the disc";
    EXPECT_GE(shadow, 55) << "the shadow side is too dark for a dark panel";
    EXPECT_LE(shadow, 120) << "the shadow side does not read as shadow";
    EXPECT_GE(lit, 170) << "the lit side is too dull";
  }
}

// On a dark panel the shadow side's edge would vanish; a faint light rim keeps the outline.
TEST(ProgramIcon, ShadowSideHasALighterRim) {
  for (const int edge : ProgramIconSizes) {
    SCOPED_TRACE(edge);
    const QImage icon = DrawProgramIcon(edge);
    const int y = edge / 2;
    int rim = 0;
    while (rim < edge && Alpha(icon, rim, y) != 255)
      ++rim;
    ASSERT_LT(rim, edge / 4);
    const int inside = rim + std::max(2, edge / 24);
    EXPECT_GE(Luminance(icon, rim, y), Luminance(icon, inside, y) + 15)
        << "rim at column " << rim << ", shadow side at " << inside;
  }
}
