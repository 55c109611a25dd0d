// Every window at the usual and a 16-point font (and, registered again, on a screen scaled
// twice): no label, button or header is cut, and no window starts wider than the screen.
#include "XSession.h"
#include "gui/about/AboutBox.h"
#include "gui/editor/EditActionDlg.h"
#include "gui/editor/HelpViewer.h"
#include "gui/editor/HistoryForm.h"
#include "gui/editor/MainForm.h"
#include "gui/message/MessageForm.h"
#include "gui/tray/RxTrayIcon.h"
#include "gui/widgets/Calendar.h"
#include "gui/widgets/StringAlignGrid.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace {

// The texts of window that their controls cut.
QStringList CutTexts(QWidget *window) {
  QStringList cut;
  const bool screenWide =
      window->frameGeometry().width() >= window->screen()->availableGeometry().width();
  for (QWidget *w : window->findChildren<QWidget *>()) {
    // The calendar's own month and year buttons are Qt's, drawn as it chooses.
    bool inCalendar = false;
    for (QWidget *p = w->parentWidget(); p; p = p->parentWidget())
      inCalendar |= p->inherits("QCalendarWidget");
    if (!w->isVisible() || w->window() != window || inCalendar)
      continue;
    const auto *label = qobject_cast<QLabel *>(w);
    const auto *button = qobject_cast<QAbstractButton *>(w);
    const QString text = label ? label->text() : button ? button->text() : QString();
    // A push button's hint holds the style's least width; its text and icon are what count.
    QSize needed = label && label->wordWrap()
                       ? QSize(label->minimumSizeHint().width(), label->heightForWidth(w->width()))
                       : w->sizeHint();
    if (qobject_cast<const QPushButton *>(w))
      needed = QSize(w->fontMetrics().horizontalAdvance(QString(text).remove(u'&')) + 8 +
                         (button->icon().isNull() ? 0 : button->iconSize().width() + 4),
                     w->fontMetrics().height());
    if (!text.isEmpty() && (needed.width() > w->width() || needed.height() > w->height()))
      cut.append(text);
    if (auto *header = qobject_cast<QHeaderView *>(w); header && !header->isSectionHidden(0))
      for (int i = 0; i < header->count() && header->orientation() == Qt::Horizontal; ++i) {
        const QString caption = header->model()->headerData(i, Qt::Horizontal).toString();
        // Out of sight is cut too, unless the window is as wide as the screen and must scroll.
        if (header->sectionSize(i) < header->fontMetrics().horizontalAdvance(caption) + 8 ||
            (header->sectionViewportPosition(i) + header->sectionSize(i) >
                 header->viewport()->width() &&
             !screenWide))
          cut.append(caption);
      }
    if (auto *grid = qobject_cast<TStringAlignGrid *>(w)) // its captions are its first row
      for (int col = 0; col < grid->ColCount(); ++col)
        if (grid->CellTextCut(col, 0))
          cut.append(grid->Cells(col, 0));
  }
  return cut;
}

} // namespace

TEST(WindowFit, EveryWindowShowsItsTextsWholeAtTheUsualAndA16PointFont) {
  const QFont usual = QApplication::font();
  QFont large = usual;
  large.setPointSize(16);
  // A screen scaled twice is met with the usual font; both at once would be a 32-point one.
  for (const QFont &font :
       qEnvironmentVariableIsSet("QT_SCALE_FACTOR") ? QList{usual} : QList{usual, large}) {
    QApplication::setFont(font);
    const QString config = QStringLiteral("/home/anna/.config/kronolab/kronolab.ini");
    std::vector<std::unique_ptr<QWidget>> windows;
    windows.emplace_back(new TMainForm);
    auto *dlg = new TEditActionDlg;
    windows.emplace_back(dlg);
    dlg->LastTimeLabel->setText(DateTimeText(EncodeDate(2026, 12, 28) + 0.999));
    dlg->SetTimePointIndex(tpWeekly);
    windows.emplace_back(new THistoryForm(nullptr));
    windows.emplace_back(new THelpForm(HelpFileLocation()));
    windows.emplace_back(new TAboutBox(config));
    auto *system = new TAboutBox(config);
    windows.emplace_back(system);
    system->show(); // the first show turns to the first page
    system->Scroller->SetPosition(1);
    system->AboutTimerTimer();
    auto *message = new TMessageForm;
    windows.emplace_back(message);
    message->AddMessage(QStringLiteral("Nachricht"), QString(), QStringLiteral("Sicherung fertig"));
    TRxTrayIcon tray;
    tray.TrayAreaAvailable = [] { return false; };
    tray.SetHint(QStringLiteral("Kronolab\nNächste Aktion: 28.12.2026 23:59:59"));
    tray.SetActive(true);
    for (std::size_t i = 0; i <= windows.size(); ++i) {
      QWidget *window = i < windows.size() ? windows[i].get() : tray.FallbackWindow();
      window->show();
      ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
      QCoreApplication::processEvents();
      EXPECT_EQ(CutTexts(window).join(u'|').toStdString(), "")
          << window->windowTitle().toStdString() << ", " << font.pointSize() << " pt";
      EXPECT_LE(window->width(), window->screen()->availableGeometry().width());
    }
  }
  QApplication::setFont(usual);
}
