#include "gui/moon/Moon.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QScreen>

#include "TestHelpers.h"
#include "gui/moon/MoonForm.h"
#include "moon/MoonPhase.h"

namespace {

// New moon 8 April 2024 20:21 Berlin, first quarter 15 April 2024 21:13, last quarter
// 2 April 2024 05:15, full moon 25 March 2024 08:00. Functions, not globals: the tests'
// time zone is set only when main starts.
TDateTime NewMoon() {
  return At(2024, 4, 8, 20, 21);
}
TDateTime FirstQuarter() {
  return At(2024, 4, 15, 21, 13);
}
TDateTime LastQuarter() {
  return At(2024, 4, 2, 5, 15);
}

bool IsBlack(const QImage &image, int x, int y) {
  return (image.pixel(x, y) & 0xffffff) == 0;
}

TEST(MoonTest, NewMoonPictureIsDarkOverTheWholeDisc) {
  TMoon moon;
  moon.SetDate(NewMoon());
  const QImage &picture = moon.Bitmap();
  ASSERT_EQ(picture.size(), QSize(64, 64));
  for (int y = 0; y <= 56; ++y)
    for (int x = 3; x <= 59; ++x) {
      const int dx = x - 31, dy = y - 28;
      if (dx * dx + dy * dy <= 27 * 27) {
        ASSERT_TRUE(IsBlack(picture, x, y)) << x << "," << y;
      }
    }
}

TEST(MoonTest, FullMoonPictureIsLitWhereTheDiscIs) {
  TMoon moon;
  moon.SetDate(At(2024, 3, 25, 8));
  EXPECT_FALSE(IsBlack(moon.Bitmap(), 31, 28));
  EXPECT_FALSE(IsBlack(moon.Bitmap(), 50, 28));
  EXPECT_TRUE(IsBlack(moon.Bitmap(), 1, 1)); // background
}

TEST(MoonTest, QuartersDarkenOppositeHalves) {
  TMoon moon;
  moon.SetMoonSize(ms32);
  EXPECT_EQ(moon.size(), QSize(32, 32));
  moon.SetDate(FirstQuarter());
  EXPECT_TRUE(IsBlack(moon.Bitmap(), 5, 14));
  EXPECT_FALSE(IsBlack(moon.Bitmap(), 25, 14));
  moon.SetDate(LastQuarter());
  EXPECT_FALSE(IsBlack(moon.Bitmap(), 5, 14));
  EXPECT_TRUE(IsBlack(moon.Bitmap(), 25, 14));
}

TEST(MoonTest, ShadowAngleFollowsTheDate) {
  TMoon moon;
  moon.SetDate(At(1992, 4, 12));
  EXPECT_EQ(moon.Date(), At(1992, 4, 12));
  EXPECT_NEAR(static_cast<double>(moon.ShadowAngle()), 69.0756, 0.02);
}

TEST(MoonTest, GetIconTwiceGivesTheSameImage) {
  TMoon moon;
  moon.SetDate(FirstQuarter());
  const QImage first = moon.GetIcon().pixmap(32, 32).toImage();
  const QIcon &again = moon.GetIcon();
  EXPECT_EQ(&again, &moon.GetIcon());
  EXPECT_EQ(first, again.pixmap(32, 32).toImage());
  EXPECT_FALSE(first.isNull());
}

// A second later the shadow is the same and the icon is kept; a day later it is new, and so
// are the picture and the icon.
TEST(MoonTest, IconAndPictureAreRenewedOnlyWhenTheShadowMoves) {
  TMoon moon;
  moon.SetDate(FirstQuarter());
  const qint64 key = moon.GetIcon().cacheKey();
  const QImage picture = moon.Bitmap();
  moon.SetDate(FirstQuarter() + 1.0 / 86400);
  EXPECT_EQ(moon.GetIcon().cacheKey(), key);
  moon.SetDate(FirstQuarter() + 1);
  EXPECT_NE(moon.GetIcon().cacheKey(), key);
  EXPECT_NE(moon.Bitmap(), picture);
  EXPECT_EQ(moon.GetIcon().pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32),
            moon.IconImage(32));
  // Another size is painted at once, also with the same shadow angle.
  moon.SetMoonSize(ms16);
  EXPECT_EQ(moon.Bitmap().size(), QSize(16, 16));
}

TEST(MoonTest, IconIsTransparentAroundTheDisc) {
  TMoon moon;
  moon.SetDate(At(2024, 3, 25, 8));
  const QImage icon = moon.IconImage(32);
  EXPECT_EQ(qAlpha(icon.pixel(0, 31)), 0);
  EXPECT_EQ(qAlpha(icon.pixel(15, 14)), 255);
}

TEST(MoonTest, OddIconSizeUsesTheSmallPictureInTheTopLeftCorner) {
  TMoon moon;
  moon.SetDate(At(2024, 3, 25, 8));
  const QImage icon = moon.IconImage(48);
  ASSERT_EQ(icon.size(), QSize(48, 48));
  EXPECT_EQ(icon.pixel(15, 14), moon.IconImage(32).pixel(15, 14));
  EXPECT_EQ(qAlpha(icon.pixel(40, 40)), 0);
  EXPECT_EQ(qAlpha(icon.pixel(31, 14)), 0); // right of the 32-pixel disc
}

TEST(MoonTest, EarlyDatesStillGiveAPicture) {
  TMoon moon;
  moon.SetDate(-200000);
  EXPECT_FALSE(moon.Bitmap().isNull());
  EXPECT_FALSE(moon.GetIcon().isNull());
}

TEST(LunaFormTest, OpensHalfTheScreenHighWithASquarePicture) {
  TLunaForm form;
  form.show();
  const int side = form.screen()->geometry().height() / 2;
  EXPECT_EQ(form.height(), side);
  EXPECT_EQ(form.MoonImage->width(), form.MoonImage->height());
  EXPECT_EQ(form.windowTitle(), QString::fromUtf8("Der Mond heißt Mond, weil da keiner wohnt !"));
  form.resize(side + 100, side);
  ASSERT_NE(form.MoonImage->width(), form.MoonImage->height());
  form.SquarePicture();
  EXPECT_EQ(form.MoonImage->width(), form.MoonImage->height());
  form.resize(side, side + 50);
  form.SquarePicture();
  EXPECT_EQ(form.MoonImage->width(), form.MoonImage->height());
}

} // namespace
