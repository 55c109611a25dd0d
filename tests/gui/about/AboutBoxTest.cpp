#include "gui/about/AboutBox.h"

#include "XSession.h"
#include "gui/about/InfoAdd.h"
#include "gui/about/SysComp.h"
#include "gui/moon/Moon.h"

#include <QApplication>
#include <QDateTime>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QWindow>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

void Press(QWidget *target, int key, const QString &text = QString()) {
  QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier, text);
  QApplication::sendEvent(target, &event);
}

} // namespace

TEST(AboutBox, FourteenTextPagesMakeTheScrollerRunFromZeroToFifteen) {
  TAboutBox box(QStringLiteral("/home/anna/.config/Kronolab/kronolab.ini"));
  box.AddInfoPages(TInfoAdds());
  box.show();
  EXPECT_EQ(box.windowTitle(), QStringLiteral("Infos"));
  EXPECT_EQ(box.Notebook->count(), 16);
  EXPECT_EQ(box.Scroller->Min, 0);
  EXPECT_EQ(box.Scroller->Max, 15);
  EXPECT_EQ(box.Scroller->Position(), 0);
  EXPECT_FALSE(box.Scroller->CanGoLeft());
  EXPECT_TRUE(box.Scroller->CanGoRight());

  Press(box.OKButton, Qt::Key_PageUp); // nothing below page 0
  EXPECT_EQ(box.Notebook->currentIndex(), 0);
  for (int i = 0; i < 20; ++i)
    Press(box.OKButton, Qt::Key_PageDown);
  EXPECT_EQ(box.Scroller->Position(), 15);
  EXPECT_EQ(box.Notebook->currentIndex(), 15);
  EXPECT_FALSE(box.Scroller->CanGoRight());
  EXPECT_TRUE(box.Scroller->CanGoLeft());
  Press(box.OKButton, Qt::Key_PageUp);
  EXPECT_EQ(box.Notebook->currentIndex(), 14);
}

TEST(AboutBox, ShowsVersionBitnessAndTheConfigurationFile) {
  TAboutBox box(QStringLiteral("/home/anna/.config/Kronolab/kronolab.ini"));
  box.show();
  EXPECT_EQ(box.Version->text(),
            QStringLiteral("Version 1.6.1.1 (6)") +
                (sizeof(void *) == 8 ? QStringLiteral(" 64-Bit") : QStringLiteral(" 32-Bit")));
  EXPECT_EQ(box.IniLabel->text(), QStringLiteral("kronolab.ini"));
  EXPECT_EQ(box.IniLabel->toolTip(), QStringLiteral("/home/anna/.config/Kronolab/kronolab.ini"));
  EXPECT_FALSE(box.Copyright->text().isEmpty());
  // The web address gets its scheme in the hint.
  EXPECT_EQ(box.LinkLabel->toolTip(), QStringLiteral("http://kronolab.example.org"));
  // The program icon is the moon of the day as the tray shows it, drawn for its size.
  const QPixmap icon = box.ProgramIcon->pixmap();
  EXPECT_EQ(icon.size(), QSize(128, 128));
  const QImage today = MoonPictureAt(128, TMoon().ShadowAngle());
  EXPECT_EQ(icon.toImage(), today.convertToFormat(icon.toImage().format()));
}

TEST(AboutBox, ILettersToggleTheTimeStampAndLinksOpenThroughTheShell) {
  TAboutBox box(QStringLiteral("/tmp/k.ini"));
  box.AddInfoPages(TInfoAdds());
  QList<QUrl> opened;
  box.OpenUrl = [&](const QUrl &url) { opened.append(url); };
  box.SetMailAddress(QStringLiteral("kronolab@example.org"));
  box.show();
  EXPECT_FALSE(box.TimeStamp->isVisible());
  Press(box.OKButton, Qt::Key_I, QStringLiteral("i"));
  EXPECT_TRUE(box.TimeStamp->isVisible());
  Press(box.OKButton, Qt::Key_I, QStringLiteral("I"));
  EXPECT_FALSE(box.TimeStamp->isVisible());

  QMouseEvent click(QEvent::MouseButtonPress, QPointF(2, 2), QPointF(2, 2), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(box.MailLabel, &click);
  ASSERT_EQ(opened.size(), 1);
  EXPECT_EQ(opened[0].scheme(), QStringLiteral("mailto"));
  EXPECT_EQ(opened[0].query(QUrl::FullyDecoded), QStringLiteral("subject=") +
                                                     QCoreApplication::applicationName() +
                                                     QStringLiteral(": Version 1.6.1.1"));
  // The last text page names the home page and opens it.
  QLabel *page = box.Notebook->widget(15)->findChild<QLabel *>();
  ASSERT_NE(page, nullptr);
  QApplication::sendEvent(page, &click);
  ASSERT_EQ(opened.size(), 2);
  EXPECT_EQ(opened[1], QUrl(QStringLiteral("http://kronolab.example.org/")));
}

TEST(AboutBox, TheSystemPageFillsMemoryAtOnceAndTheClockAcrossTimerEvents) {
  TAboutBox box(QStringLiteral("/tmp/k.ini"));
  box.show();
  box.Scroller->SetPosition(1);
  ASSERT_EQ(box.Notebook->currentWidget(), box.SystemPage);
  box.AboutTimerTimer();
  if (ReadMemoryStatus()) {
    EXPECT_TRUE(box.FreeMemLabel->text().endsWith(QStringLiteral(" MB")));
  }
  EXPECT_TRUE(box.MhzLabel->text().isEmpty()); // one reading is no measurement
  EXPECT_FALSE(box.MhzLbLabel->isVisible());
}

// Memory and clock in one notation, the user's: "2.453,13 MB" beside "2.893,50".
TEST(SystemInfo, MemInfoGivesLoadAndFreeMemoryInTheLocalesNotation) {
  const auto status = ParseMemInfo(QStringLiteral("MemTotal:        8000000 kB\n"
                                                  "MemFree:          100000 kB\n"
                                                  "MemAvailable:    2000000 kB\n"
                                                  "SwapTotal:       1000000 kB\n"
                                                  "SwapFree:         512010 kB\n"));
  ASSERT_TRUE(status);
  EXPECT_EQ(status->MemoryLoad, 75);
  EXPECT_EQ(FreeMemText(*status), QStringLiteral("2.453,13 MB"));
  EXPECT_FALSE(ParseMemInfo(QStringLiteral("MemTotal: 10 kB\n")));
}

TEST(SystemInfo, TheClockIsShownWithFiveSignificantDigitsInTheLocalesNotation) {
  EXPECT_EQ(MhzText(ClockMhz(1000, 1000 + 1'446'728'500, 500'000)), QStringLiteral("2.893,50"));
  EXPECT_EQ(MhzText(ClockMhz(0, 2'000'012'345, 1'000'000)), QStringLiteral("2.000,00"));
  EXPECT_EQ(MhzText(-1), QString());
  EXPECT_EQ(MhzText(ClockMhz(5, 5, 0)), QString());
}

TEST(TimeStampLabel, TheRawStampIsTheDosDateOfTheFile) {
  const QDateTime t(QDate(2026, 12, 8), QTime(9, 30, 10));
  EXPECT_EQ(TTimeStampLabel::DosStamp(t),
            (46u << 25) | (12u << 21) | (8u << 16) | (9u << 11) | (30u << 5) | 5u);
}

// Opened from the tray, whose host window is never on screen, the box still appears in the
// middle of the screen.
TEST(AboutBox, OpensCentredOnTheScreenAlsoOverAHiddenOwner) {
  QWidget owner;
  owner.setGeometry(0, 0, 640, 480); // the tray host: never shown
  TAboutBox box(QStringLiteral("/tmp/k.ini"), &owner);
  box.show();
  ASSERT_TRUE(WaitUntil([&] { return box.windowHandle()->isExposed(); }));
  const QPoint centre = box.screen()->availableGeometry().center();
  // The window manager places the box in its own time.
  WaitUntil([&] { return (box.frameGeometry().center() - centre).manhattanLength() <= 40; });
  const QPoint boxCentre = box.frameGeometry().center();
  // Within the window frame's size of the exact middle.
  EXPECT_LE(std::abs(boxCentre.x() - centre.x()), 20) << boxCentre.x() << " vs " << centre.x();
  EXPECT_LE(std::abs(boxCentre.y() - centre.y()), 20) << boxCentre.y() << " vs " << centre.y();
}
