#include "gui/moon/Moon.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QScreen>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>
#include <utility>
#include <vector>

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

// The dark side's colour, wherever the rim is not drawn over it.
bool IsShadow(const QImage &image, int x, int y) {
  return (image.pixel(x, y) | 0xff000000) == MoonShadowColour;
}

bool IsBlack(const QImage &image, int x, int y) {
  return (image.pixel(x, y) & 0xffffff) == 0;
}

TEST(MoonTest, NewMoonPictureIsAshGreyOverTheWholeDiscInsideItsRim) {
  TMoon moon;
  moon.SetDate(NewMoon());
  const QImage &picture = moon.Bitmap();
  ASSERT_EQ(picture.size(), QSize(64, 64));
  for (int y = 0; y <= 56; ++y)
    for (int x = 3; x <= 59; ++x) {
      const int dx = x - 31, dy = y - 28;
      if (dx * dx + dy * dy <= 26 * 26) {
        ASSERT_TRUE(IsShadow(picture, x, y)) << x << "," << y;
      }
    }
  EXPECT_TRUE(IsBlack(picture, 1, 1)); // the sky around the disc
}

TEST(MoonTest, FullMoonPictureIsLitWhereTheDiscIs) {
  TMoon moon;
  moon.SetDate(At(2024, 3, 25, 8));
  EXPECT_GT(qGray(moon.Bitmap().pixel(31, 28)), 100);
  EXPECT_GT(qGray(moon.Bitmap().pixel(50, 28)), 100);
  EXPECT_TRUE(IsBlack(moon.Bitmap(), 1, 1)); // background
}

TEST(MoonTest, QuartersDarkenOppositeHalves) {
  TMoon moon;
  moon.SetMoonSize(ms32);
  EXPECT_EQ(moon.size(), QSize(32, 32));
  moon.SetDate(FirstQuarter());
  EXPECT_TRUE(IsShadow(moon.Bitmap(), 5, 14));
  EXPECT_GT(qGray(moon.Bitmap().pixel(25, 14)), 100);
  moon.SetDate(LastQuarter());
  EXPECT_GT(qGray(moon.Bitmap().pixel(5, 14)), 100);
  EXPECT_TRUE(IsShadow(moon.Bitmap(), 25, 14));
}

// The shadow still covers exactly the rows the phase gives: every pixel of its spans is dark
// (or the rim over it), and no other pixel of the disc is.
TEST(MoonTest, TheShadowFollowsThePhaseGeometryPixelForPixel) {
  for (long double angle : {0.0L, 45.0L, 90.0L, 135.0L, 180.0L, 230.0L, 270.0L, 315.0L}) {
    for (TMoonSize size : {ms64, ms32, ms16}) {
      const QImage picture = ShadedMoonPicture(size, angle);
      const QImage full = ShadedMoonPicture(size, 0);
      std::set<std::pair<int, int>> dark, rim;
      for (const TShadowSpan &span : MoonShadowSpans(size, angle))
        for (int x = span.FirstColumn; x <= span.LastColumn; ++x)
          dark.insert({x, span.Row});
      for (const QPoint &p : MoonRimPixels(size))
        rim.insert({p.x(), p.y()});
      for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
          if (rim.count({x, y}))
            continue;
          if (dark.count({x, y})) {
            ASSERT_TRUE(IsShadow(picture, x, y)) << angle << " " << x << "," << y;
          } else {
            ASSERT_EQ(picture.pixel(x, y), full.pixel(x, y)) << angle << " " << x << "," << y;
          }
        }
    }
  }
}

// The tray icon on a panel: at new moon, at the first quarter and at full moon the disc's
// outline stands out from dark and from light panels, and the dark side from black ones.
TEST(MoonTest, TheIconStaysVisibleOnDarkAndLightPanelsAtEveryPhase) {
  const std::vector<std::pair<const char *, TDateTime>> phases = {
      {"new", NewMoon()}, {"first quarter", FirstQuarter()}, {"full", At(2024, 3, 25, 8)}};
  for (const auto &[name, date] : phases) {
    TMoon moon;
    moon.SetDate(date);
    for (int edge : {16, 32, 64}) {
      const QImage icon = moon.IconImage(edge);
      const TMoonSize size = MoonSizeForIcon(edge);
      for (QRgb panel :
           {qRgb(0, 0, 0), qRgb(48, 48, 48), qRgb(240, 240, 240), qRgb(255, 255, 255)}) {
        // The rim's pixels differ from the panel by a clearly visible step of grey.
        int faint = 0;
        for (const QPoint &p : MoonRimPixels(size)) {
          const QRgb pixel = icon.pixel(p);
          ASSERT_EQ(qAlpha(pixel), 255) << name << " " << p.x() << "," << p.y();
          if (std::abs(qGray(pixel) - qGray(panel)) < 40)
            ++faint;
        }
        EXPECT_EQ(faint, 0) << name << " phase, icon " << edge << ", panel " << qGray(panel);
      }
      // The dark side is not black: it shows on a black panel too.
      for (int y = 0; y < edge; ++y)
        for (int x = 0; x < edge; ++x)
          if (qAlpha(icon.pixel(x, y)) != 0) {
            ASSERT_GT(qGray(icon.pixel(x, y)), 40) << name << " " << x << "," << y;
          }
    }
  }
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

// The new moon on a #202020 panel: in each row the disc's outermost opaque pixels stand out
// at least 3:1 while the middle stays dark, in every picture a user sees: the icons, the tray
// icon as a 22- or 24-pixel panel takes it, the no-tray window's and the about box's moons.
TEST(MoonTest, TheNewMoonsRimStandsOutOnADarkPanelWhileTheDiscStaysDark) {
  // The contrast ratio against #202020, as the web's accessibility guidelines measure it.
  const auto contrast = [](QRgb c) {
    const auto lin = [](int v) { return std::pow((v / 255.0 + 0.055) / 1.055, 2.4); };
    return (0.2126 * lin(qRed(c)) + 0.7152 * lin(qGreen(c)) + 0.0722 * lin(qBlue(c)) + 0.05) /
           (lin(0x20) + 0.05);
  };
  TMoon moon;
  moon.SetDate(NewMoon());
  for (const QImage &picture :
       {moon.IconImage(16), moon.IconImage(32), moon.IconImage(64),
        moon.GetIcon().pixmap(22).toImage(), moon.GetIcon().pixmap(24).toImage(),
        MoonPictureAt(96, moon.ShadowAngle()), MoonPictureAt(128, moon.ShadowAngle())}) {
    for (int y = 0; y < picture.height(); ++y) {
      QList<int> opaque;
      for (int x = 0; x < picture.width(); ++x)
        if (qAlpha(picture.pixel(x, y)) == 255)
          opaque.append(x);
      if (opaque.size() < 6)
        continue;
      const auto rim = [&](int a, int b) {
        return std::max(contrast(picture.pixel(a, y)), contrast(picture.pixel(b, y)));
      };
      EXPECT_GE(rim(opaque.at(0), opaque.at(1)), 3.0) << picture.width() << " row " << y;
      EXPECT_GE(rim(opaque.last(), opaque.at(opaque.size() - 2)), 3.0)
          << picture.width() << " row " << y;
      if (y > picture.height() / 4 && y < picture.height() * 3 / 4) {
        EXPECT_LT(qGray(picture.pixel(opaque.at(opaque.size() / 2), y)), 90) << picture.width();
      }
    }
  }
}

} // namespace
