#include "gui/tray/RxTrayIcon.h"

#include "XSession.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QStyleHints>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

QIcon Filled(QColor color) {
  QPixmap pixmap(64, 64);
  pixmap.fill(color);
  return QIcon(pixmap);
}

// Qt's coarse timers may fire up to 5 % early: the least part of an interval that has passed.
constexpr int CoarsePercent = 95;

// Runs the event loop for ms; only for waits in which nothing may happen.
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

// The text the window shown in place of the tray icon shows (its tooltip's).
QString FallbackText(const TRxTrayIcon &tray) {
  QStringList texts;
  for (const QLabel *label : tray.FallbackWindow()->findChildren<QLabel *>())
    if (!label->text().isEmpty())
      texts.append(label->text());
  return texts.join(u'|');
}

// The icon with the desktop's answer replaced and short waits, so a test sees the area come
// and go without waiting seconds.
class TrayArea : public ::testing::Test {
protected:
  void SetUp() override {
    Tray.TrayAreaAvailable = [this] { return Available; };
    Tray.DesktopSignals = false; // this desktop's answer changes without a word: looked for
    Tray.OnNoTrayArea = [this](const QString &message) { Told.append(message); };
    Tray.NoTrayGraceMs = 400;
    Tray.TrayWatchMs = 20;
    Tray.TrayLostGraceMs = 200;
    Tray.SetHint(QStringLiteral("Kronolab"));
    Tray.SetIcon(Filled(Qt::red));
  }
  bool Available = false;
  QStringList Told;
  TRxTrayIcon Tray;
};

// Each wait below is for an event, with a deadline no loaded machine reaches. A check that
// something has not happened yet is only made when the clock shows that its time has not
// come: a machine stalled past a grace proves nothing either way.
TEST_F(TrayArea, WithoutAnAreaTheWindowShowsAtOnceAndTellsWhyOnlyAfterTheGrace) {
  QElapsedTimer since;
  since.start();
  Tray.SetActive(true);
  ASSERT_NE(Tray.FallbackWindow(), nullptr);
  EXPECT_TRUE(Tray.FallbackWindow()->isVisible());
  EXPECT_EQ(FallbackText(Tray), QStringLiteral("Kronolab"));
  Tray.SetHint(QStringLiteral("Kronolab\nNächste Aktion: morgen"));
  EXPECT_EQ(FallbackText(Tray), QStringLiteral("Kronolab\nNächste Aktion: morgen"));
  ASSERT_TRUE(WaitUntil([&] { return !Told.isEmpty(); }, 30000));
  EXPECT_GE(since.elapsed(), Tray.NoTrayGraceMs * CoarsePercent / 100);
  ASSERT_EQ(Told.size(), 1);
  EXPECT_TRUE(Told[0].contains(QStringLiteral("keinen Infobereich")));
  // Off and on again: told once for the program's run.
  Tray.SetActive(false);
  EXPECT_EQ(Tray.FallbackWindow(), nullptr);
  Tray.SetActive(true);
  Wait(Tray.NoTrayGraceMs + 300);
  EXPECT_EQ(Told.size(), 1);
}

TEST_F(TrayArea, AnAreaThatComesWithinTheGraceTakesTheIconClosesTheWindowAndNothingIsSaid) {
  QElapsedTimer since;
  since.start();
  Tray.SetActive(true);
  ASSERT_NE(Tray.FallbackWindow(), nullptr);
  Available = true;
  ASSERT_TRUE(WaitUntil([&] { return Tray.InTray(); }, 30000));
  const bool withinGrace = since.elapsed() < Tray.NoTrayGraceMs * CoarsePercent / 100;
  EXPECT_EQ(Tray.FallbackWindow(), nullptr);
  Wait(Tray.NoTrayGraceMs + 100);
  if (withinGrace) {
    EXPECT_TRUE(Told.isEmpty());
  }
}

TEST_F(TrayArea, AnAreaThatGoesAwayBringsTheWindowBackOnlyWhenItStaysAway) {
  Tray.NoTrayGraceMs = 24 * 60 * 60 * 1000; // the notice at start is not this test's subject
  Available = true;
  Tray.SetActive(true);
  ASSERT_TRUE(Tray.InTray());
  // A panel restarting within the grace takes the icon back itself: no window flashes up.
  QElapsedTimer away;
  away.start();
  Available = false;
  bool flashed = false;
  // Runs the event loop for ms, noting a window. Every watch that falls due in that time runs
  // (before the end of the wait, which falls due later), however late the machine wakes us.
  const auto watch = [&](int ms) {
    QTimer look;
    QObject::connect(&look, &QTimer::timeout,
                     [&] { flashed = flashed || Tray.FallbackWindow() != nullptr; });
    look.start(5);
    Wait(ms);
  };
  watch(Tray.TrayLostGraceMs / 2);
  Available = true;
  const bool briefly = away.elapsed() < Tray.TrayLostGraceMs;
  watch(Tray.TrayWatchMs * 5);
  EXPECT_TRUE(Tray.InTray());
  EXPECT_EQ(Tray.FallbackWindow(), nullptr);
  if (briefly) {
    EXPECT_FALSE(flashed);
  }
  // Gone for good: the window comes, with the picture, the text and the menu.
  QMenu menu;
  Tray.SetPopupMenu(&menu);
  away.restart();
  Available = false;
  ASSERT_TRUE(WaitUntil([&] { return Tray.FallbackWindow() != nullptr; }, 30000));
  EXPECT_GE(away.elapsed(), Tray.TrayLostGraceMs);
  EXPECT_FALSE(Tray.InTray());
  EXPECT_TRUE(Tray.FallbackWindow()->isVisible());
  EXPECT_EQ(Tray.FallbackWindow()->findChild<QToolButton *>()->menu(), &menu);
  EXPECT_FALSE(Tray.FallbackWindow()->findChild<QLabel *>()->pixmap().isNull());
  // And back into the area when it returns.
  Available = true;
  EXPECT_TRUE(WaitUntil([&] { return Tray.InTray() && Tray.FallbackWindow() == nullptr; }));
  EXPECT_TRUE(Told.isEmpty());
}

// The window manager's close (Alt+F4, as the close box) asks the owner to end the program;
// Qt's own closing of every window at the end lets the window go.
TEST_F(TrayArea, TheWindowsCloseBoxAsksToEndTheProgram) {
  int endRequests = 0;
  Tray.OnFallbackClosed = [&] { ++endRequests; };
  Tray.SetActive(true);
  QWidget *window = Tray.FallbackWindow();
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return ActivatedByWindowManager(window->winId()); }))
      << "never active";
  XDoTool({QStringLiteral("key"), QStringLiteral("alt+F4")});
  EXPECT_TRUE(WaitUntil([&] { return endRequests == 1; })) << "the close was not passed on";
  EXPECT_EQ(Tray.FallbackWindow(), window);
  EXPECT_TRUE(window->isVisible());
  window->close();
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(endRequests, 1);
}

// The title the window manager shows is never cut: the window is wide enough for it.
TEST_F(TrayArea, TheWindowIsWideEnoughForItsTitle) {
  Tray.SetActive(true);
  QWidget *window = Tray.FallbackWindow();
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return window->isActiveWindow(); }));
  // Room for the title in a bold title font beside four title-bar buttons of 24 pixels.
  QFont bold = window->font();
  bold.setBold(true);
  const int title = QFontMetrics(bold).horizontalAdvance(window->windowTitle());
  EXPECT_GE(window->width(), title + 4 * 24);
  EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
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
  Wait(QApplication::styleHints()->mouseDoubleClickInterval() + 100); // nothing more may come
  EXPECT_EQ(opened, 2);
}

TEST(TrayIcon, ALoneLeftClickOpensAfterTheDoubleClickTime) {
  TRxTrayIcon tray;
  int opened = 0;
  tray.OnDblClick = [&] { ++opened; };
  QElapsedTimer since;
  since.start();
  tray.LeftClicked();
  EXPECT_EQ(opened, 0);
  ASSERT_TRUE(WaitUntil([&] { return opened > 0; }, 30000));
  EXPECT_GE(since.elapsed(),
            QApplication::styleHints()->mouseDoubleClickInterval() * CoarsePercent / 100);
  Wait(100);
  EXPECT_EQ(opened, 1);
}
