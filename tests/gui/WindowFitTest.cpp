// Every window at the desktop's usual font and at a 16-point one (and, registered a second
// time, on a screen scaled twice): no label, button or header may be cut.
#include "XSession.h"
#include "core/journal/RunJournal.h"
#include "gui/about/AboutBox.h"
#include "gui/about/InfoAdd.h"
#include "gui/editor/EditActionDlg.h"
#include "gui/editor/HelpViewer.h"
#include "gui/editor/HistoryForm.h"
#include "gui/editor/HistoryModel.h"
#include "gui/editor/MainForm.h"
#include "gui/message/MessageForm.h"
#include "gui/tray/RxTrayIcon.h"
#include "gui/widgets/Calendar.h"
#include "gui/widgets/StringAlignGrid.h"

#include <QAbstractButton>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

// What a text needs beside it: the style's margins, the icon; whether its room holds it.
bool Fits(QWidget *widget, const QSize &needed) {
  return needed.width() <= widget->width() && needed.height() <= widget->height();
}

// The texts of window that their controls cut, each with the room it needed and had.
QStringList CutTexts(QWidget *window) {
  QStringList cut;
  const auto report = [&cut](QWidget *widget, const QString &text, QSize needed) {
    cut.append(QStringLiteral("%1 „%2“ braucht %3×%4, hat %5×%6")
                   .arg(QString::fromLatin1(widget->metaObject()->className()), text)
                   .arg(needed.width())
                   .arg(needed.height())
                   .arg(widget->width())
                   .arg(widget->height()));
  };
  for (QWidget *widget : window->findChildren<QWidget *>()) {
    // The calendar's own month and year buttons are Qt's, drawn as it chooses.
    if (!widget->isVisible() || widget->window() != window ||
        qobject_cast<QCalendarWidget *>(widget->parentWidget()) ||
        (widget->parentWidget() &&
         qobject_cast<QCalendarWidget *>(widget->parentWidget()->parentWidget())))
      continue;
    if (auto *label = qobject_cast<QLabel *>(widget); label && !label->text().isEmpty()) {
      const QSize needed = label->wordWrap() ? QSize(label->minimumSizeHint().width(),
                                                     label->heightForWidth(label->width()))
                                             : label->sizeHint();
      if (!Fits(label, needed))
        report(label, label->text(), needed);
    } else if (auto *button = qobject_cast<QAbstractButton *>(widget);
               button && !button->text().isEmpty()) {
      // A push button's hint holds the style's least width; its text and icon are what count.
      const QFontMetrics metrics = button->fontMetrics();
      const QSize needed =
          qobject_cast<QPushButton *>(button)
              ? QSize(metrics.horizontalAdvance(QString(button->text()).remove(u'&')) +
                          (button->icon().isNull() ? 0 : button->iconSize().width() + 4) + 8,
                      metrics.height())
              : button->sizeHint();
      if (!Fits(button, needed))
        report(button, button->text(), needed);
    } else if (auto *header = qobject_cast<QHeaderView *>(widget);
               header && header->orientation() == Qt::Horizontal) {
      for (int i = 0; i < header->count(); ++i) {
        const QString text = header->model()->headerData(i, Qt::Horizontal).toString();
        const int needed = header->fontMetrics().horizontalAdvance(text) + 8;
        // A section pushed out of sight is cut as well, unless the window has reached the
        // screen's width and its table must scroll.
        const int end = header->sectionViewportPosition(i) + header->sectionSize(i);
        const bool screenWide =
            window->frameGeometry().width() >= window->screen()->availableGeometry().width();
        if (!header->isSectionHidden(i) &&
            (header->sectionSize(i) < needed || (end > header->viewport()->width() && !screenWide)))
          report(header, text, QSize(needed, end));
      }
    } else if (auto *grid = qobject_cast<TStringAlignGrid *>(widget)) {
      // The editor's column captions are its grid's first row.
      for (int col = 0; col < grid->ColCount(); ++col)
        if (grid->CellTextCut(col, 0))
          report(grid, grid->Cells(col, 0), QSize());
    }
  }
  return cut;
}

struct TWindowCase {
  const char *Name;
  // Makes the window (a QObject, first) and what it needs, destroyed in this order.
  std::function<std::vector<std::shared_ptr<void>>(const QTemporaryDir &dir)> Make;
};

std::vector<std::shared_ptr<void>> One(QObject *window) {
  return {std::shared_ptr<QObject>(window)};
}

const TWindowCase Windows[] = {
    {"Aktionen", [](const QTemporaryDir &) { return One(new TMainForm); }},
    {"Aktion editieren",
     [](const QTemporaryDir &) {
       auto *dlg = new TEditActionDlg;
       dlg->LastTimeLabel->setText(DateTimeText(EncodeDate(2026, 12, 28) + 0.999));
       dlg->Calendar->SetCalendarDate(EncodeDate(2026, 9, 30));
       dlg->SetTimePointIndex(tpWeekly);
       return One(dlg);
     }},
    {"Verlauf",
     [](const QTemporaryDir &dir) {
       auto journal = std::make_shared<TRunJournal>();
       const TDateTime now = EncodeDate(2026, 12, 6) + 0.5;
       journal->Open(dir.filePath(QStringLiteral("k.sqlite")), now);
       const std::vector<std::int64_t> ids = journal->RecordCalls(
           {{QStringLiteral("a"), QStringLiteral("/usr/bin/rsync -a /home/anna /media/sicherung"),
             1, now}},
           now);
       journal->FinishCall(ids.at(0), TCallResult{TCallState::Failed, 0, 0,
                                                  QStringLiteral("Übersprungen: läuft noch"), 5});
       return std::vector<std::shared_ptr<void>>{
           std::shared_ptr<QObject>(new THistoryForm(journal.get())), journal};
     }},
    {"Hilfe", [](const QTemporaryDir &) { return One(new THelpForm(HelpFileLocation())); }},
    {"Infos",
     [](const QTemporaryDir &) {
       auto *box = new TAboutBox(QStringLiteral("/home/anna/.config/kronolab/kronolab.ini"));
       box->AddInfoPages(TInfoAdds());
       return One(box);
     }},
    {"Infos, System",
     [](const QTemporaryDir &) {
       auto *box = new TAboutBox(QStringLiteral("/home/anna/.config/kronolab/kronolab.ini"));
       box->show(); // the first show turns to the first page
       box->Scroller->SetPosition(1);
       box->AboutTimerTimer();
       return One(box);
     }},
    {"Nachricht",
     [](const QTemporaryDir &) {
       auto *form = new TMessageForm;
       form->AddMessage(QStringLiteral("Nachricht"), QString(), QStringLiteral("Sicherung fertig"));
       return One(form);
     }},
    {"ohne Infobereich",
     [](const QTemporaryDir &) {
       auto *tray = new TRxTrayIcon;
       tray->TrayAreaAvailable = [] { return false; };
       tray->SetHint(QStringLiteral("Kronolab\nNächste Aktion: 28.12.2026 23:59:59"));
       tray->SetActive(true);
       return One(tray);
     }},
};

QWidget *WindowOf(void *made) {
  auto *object = static_cast<QObject *>(made);
  if (auto *tray = qobject_cast<TRxTrayIcon *>(object))
    return tray->FallbackWindow();
  return qobject_cast<QWidget *>(object);
}

} // namespace

TEST(WindowFit, EveryWindowShowsItsTextsWholeAtTheUsualAndA16PointFont) {
  const QFont usual = QApplication::font();
  QFont large = usual;
  large.setPointSize(16);
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  // A screen scaled twice is met with the usual font; both at once would be a 32-point one.
  const QList<QFont> fonts = qEnvironmentVariableIsSet("QT_SCALE_FACTOR")
                                 ? QList<QFont>{usual}
                                 : QList<QFont>{usual, large};
  for (const QFont &font : fonts) {
    QApplication::setFont(font);
    for (const TWindowCase &window : Windows) {
      const std::vector<std::shared_ptr<void>> made = window.Make(dir);
      QWidget *shown = WindowOf(made.front().get());
      ASSERT_NE(shown, nullptr) << window.Name;
      shown->show();
      ASSERT_TRUE(QTest::qWaitForWindowExposed(shown)) << window.Name;
      QCoreApplication::processEvents();
      EXPECT_EQ(CutTexts(shown).join(u'\n').toStdString(), "")
          << window.Name << " bei " << font.pointSize() << " pt";
      // The window fits on the screen it starts on.
      EXPECT_LE(shown->width(), shown->screen()->availableGeometry().width()) << window.Name;
      if (auto *history = qobject_cast<THistoryForm *>(shown)) {
        // The action takes the spare width; the result no wider than its longest text.
        QHeaderView *header = history->CallsView->horizontalHeader();
        EXPECT_EQ(header->sectionResizeMode(THistoryModel::ColAction), QHeaderView::Stretch);
        EXPECT_LE(header->sectionSize(THistoryModel::ColResult),
                  std::max(static_cast<QAbstractItemView *>(history->CallsView)
                               ->sizeHintForColumn(THistoryModel::ColResult),
                           header->sectionSizeHint(THistoryModel::ColResult)));
      }
    }
  }
  QApplication::setFont(usual);
}
