#include "gui/tray/RxTrayIcon.h"

#include <QApplication>
#include <QEventLoop>
#include <QPainter>
#include <QPixmap>
#include <QStyleHints>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

QIcon Filled(QColor color) {
  QPixmap pixmap(64, 64);
  pixmap.fill(color);
  return QIcon(pixmap);
}

void Wait(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

} // namespace

TEST(TrayIcon, TheSamePictureInANewIconIsNotPushedAgain) {
  TRxTrayIcon tray;
  tray.TrayAreaAvailable = [] { return false; };
  tray.SetIcon(Filled(Qt::red));
  tray.SetActive(true);
  EXPECT_EQ(tray.IconPushes(), 1);
  tray.SetIcon(Filled(Qt::red)); // another QIcon, same picture
  EXPECT_EQ(tray.IconPushes(), 1);
  tray.SetIcon(Filled(Qt::blue));
  EXPECT_EQ(tray.IconPushes(), 2);
  EXPECT_TRUE(TRxTrayIcon::SamePicture(tray.Icon(), Filled(Qt::blue)));
}

TEST(TrayIcon, ActiveShowsAndRemovesTheFallbackAndTellsWhyOnlyOnce) {
  TRxTrayIcon tray;
  tray.TrayAreaAvailable = [] { return false; };
  int told = 0;
  tray.OnNoTrayArea = [&](const QString &) { ++told; };
  tray.SetHint(QStringLiteral("Kronolab"));
  tray.SetActive(true);
  ASSERT_NE(tray.FallbackWindow(), nullptr);
  EXPECT_EQ(tray.FallbackWindow()->toolTip(), QStringLiteral("Kronolab"));
  tray.SetActive(false);
  EXPECT_EQ(tray.FallbackWindow(), nullptr);
  tray.SetActive(true);
  EXPECT_EQ(told, 1);
}

TEST(TrayIcon, ADoubleClickOrTwoSingleClicksOpenOnce) {
  TRxTrayIcon tray;
  int opened = 0;
  tray.OnDblClick = [&] { ++opened; };
  tray.LeftClicked();
  tray.DoubleClicked(); // an XEmbed tray: press, then the double click
  EXPECT_EQ(opened, 1);
  tray.LeftClicked();
  tray.LeftClicked(); // a StatusNotifierItem host: two single clicks
  EXPECT_EQ(opened, 2);
  Wait(QApplication::styleHints()->mouseDoubleClickInterval() + 100);
  EXPECT_EQ(opened, 2);
}

TEST(TrayIcon, ALoneLeftClickOpensAfterTheDoubleClickTime) {
  TRxTrayIcon tray;
  int opened = 0;
  tray.OnDblClick = [&] { ++opened; };
  tray.LeftClicked();
  EXPECT_EQ(opened, 0);
  Wait(QApplication::styleHints()->mouseDoubleClickInterval() + 100);
  EXPECT_EQ(opened, 1);
}
