// How the edit dialog looks: its controls, captions, hints, tab order and room, with and
// without the last run.
#include "EditDialogFixture.h"
#include "base/ActionEntry.h"
#include "base/DateTime.h"
#include "gui/editor/RunControlBox.h"
#include "gui/widgets/Calendar.h"
#include "gui/widgets/RxSpinEdit.h"
#include "gui/widgets/TimeEdit.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <algorithm>

namespace {

// The largest vertical gap, in pixels, between the visible controls of the dialog's left
// column from the top of the time field to the caption of the action text.
int LargestGapInTheLeftColumn(TEditActionDlg &dlg) {
  const int top = dlg.TimeEdit->geometry().top();
  const int bottom = dlg.ActionEdit->geometry().top() - 16;
  QList<QPair<int, int>> spans;
  for (QWidget *child : dlg.findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
    if (child->isVisible() && child->geometry().left() < 200 && child->geometry().top() >= top &&
        child->geometry().bottom() < bottom)
      spans.append({child->geometry().top(), child->geometry().bottom()});
  std::sort(spans.begin(), spans.end());
  int gap = 0;
  int reached = top;
  for (const auto &[from, to] : spans) {
    gap = std::max(gap, from - reached - 1);
    reached = std::max(reached, to);
  }
  return std::max(gap, bottom - reached - 1);
}

} // namespace

TEST_F(EditDialog, StartsWithZeroTimesClearBoxesFrequencyAndTodaysDateInTheSpinEdits) {
  EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Aktion editieren"));
  // The classic dialog, with the run controls' band below the action line.
  EXPECT_EQ(dlg.size(), QSize(418, 318 + dlg.RunControl->height() + 4));
  EXPECT_EQ(dlg.TimeEdit->Text(), QStringLiteral("00:00:00"));
  EXPECT_EQ(dlg.FreqEdit->Text(), QStringLiteral("00:00:00"));
  EXPECT_FALSE(dlg.AllCallsBox->isChecked());
  EXPECT_FALSE(dlg.SuddenStartBox->isChecked());
  EXPECT_EQ(dlg.TimePointIndex(), 0);
  EXPECT_EQ(dlg.CommandBox->count(), 19);
  const QDate today = QDate::currentDate();
  EXPECT_EQ(dlg.DayEdit->Value(), today.day());
  EXPECT_EQ(dlg.MonthEdit->Value(), today.month());
  EXPECT_EQ(dlg.YearEdit->Value(), today.year());
  EXPECT_TRUE(dlg.OKBtn->isDefault());
}

TEST_F(EditDialog, LabelsCarryAccessKeysToTheirControls) {
  QMap<QString, QWidget *> buddies;
  for (QLabel *label : dlg.findChildren<QLabel *>())
    if (label->buddy())
      buddies.insert(label->text(), label->buddy());
  EXPECT_EQ(buddies.value(QStringLiteral("&Uhrzeit")), dlg.TimeEdit);
  EXPECT_EQ(buddies.value(QStringLiteral("&Abstände")), dlg.FreqEdit);
  EXPECT_EQ(buddies.value(QStringLiteral("Zu&letzt durchgeführte Aktion:")), dlg.EraseLastTimeBtn);
  EXPECT_EQ(buddies.value(QStringLiteral("&Datum")), dlg.DayEdit);
  EXPECT_EQ(buddies.value(QStringLiteral("Auszu&führende Aktion")), dlg.ActionEdit);
}

TEST_F(EditDialog, TabOrderRunsFromTheTimeFieldToHelp) {
  QList<QWidget *> order;
  QWidget *w = dlg.TimeEdit;
  for (int i = 0; i < 500 && w && (i == 0 || w != dlg.TimeEdit); ++i) {
    order.append(w);
    w = w->nextInFocusChain();
  }
  const QList<QWidget *> expected = {
      dlg.TimeEdit,       dlg.FreqEdit,   dlg.AllCallsBox,    dlg.EraseLastTimeBtn, dlg.DayEdit,
      dlg.MonthEdit,      dlg.YearEdit,   KindButton(dlg, 0), KindButton(dlg, 5),   dlg.Calendar,
      dlg.SuddenStartBox, dlg.ActionEdit, dlg.CommandBox,     dlg.OpenBtn,          dlg.CancelBtn,
      dlg.OKBtn,          dlg.HelpBtn};
  EXPECT_EQ(order.indexOf(expected.constFirst()), 0);
  for (qsizetype i = 1; i < expected.size(); ++i)
    EXPECT_LT(order.indexOf(expected.at(i - 1)), order.indexOf(expected.at(i))) << i;
}

TEST_F(EditDialog, ControlsStayInsideTheClientArea) {
  for (QWidget *child : dlg.findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
    if (child->isWindow())
      continue;
    EXPECT_TRUE(dlg.rect().contains(child->geometry())) << child->metaObject()->className();
  }
  EXPECT_EQ(dlg.EraseLastTimeBtn->size(), QSize(17, 17));
}

TEST_F(EditDialog, HintsAreTheProgramsTexts) {
  EXPECT_EQ(dlg.ActionEdit->toolTip(),
            QStringLiteral("XXX..X : Text wird als Programmaufruf ausgeführt\r\n"
                           "\"XX..XX : Text wird angezeigt\r\n"
                           "%XX..XX : Interner Befehl\r\n"
                           "%XX..XX  @XX..X?X : Interner Befehl; \r\n"
                           "                          '@' bedeutet zufällige Auswahl aus allen "
                           "möglichen Dateien"));
  EXPECT_EQ(dlg.SuddenStartBox->toolTip(),
            QStringLiteral(
                "markiert: Diese Aktion wird bei Programmstart in jedem Fall ausgeführt.\r\n"
                "sonst: Diese Aktion wird erst bei Erreichen des nächsten Termins ausgeführt."));
  EXPECT_EQ(dlg.EraseLastTimeBtn->toolTip(),
            QStringLiteral("Setzt die Zeit der zuletzt durchgeführten \r\nAktion auf die "
                           "Startzeit."));
  EXPECT_EQ(dlg.TimeEdit->toolTip(), QStringLiteral("Uhrzeit der Aktion"));
  EXPECT_EQ(dlg.FreqEdit->toolTip(), QStringLiteral("Frequenzintervalle"));
  EXPECT_EQ(dlg.CommandBox->toolTip(), QStringLiteral("Interne Kommandos"));
  EXPECT_EQ(dlg.OpenBtn->toolTip(), QStringLiteral("Vorlage laden"));
}

TEST_F(EditDialog, LastRunControlsHideTogetherAndHelpAsksForTopic2000) {
  dlg.SetLastRunVisible(false);
  EXPECT_FALSE(dlg.EditLastTimeLabel->isVisibleTo(&dlg));
  EXPECT_FALSE(dlg.EraseLastTimeBtn->isVisibleTo(&dlg));
  EXPECT_FALSE(dlg.LastTimeLabel->isVisibleTo(&dlg));
  QList<int> topics;
  dlg.ShowHelp = [&](int topic) { topics.append(topic); };
  dlg.HelpBtn->click();
  EXPECT_EQ(topics, QList<int>{2000});
}

// A new action has no last run: its dialog closes up that room instead of showing a gap.
TEST(EditDialogLayout, NoEmptyBandWithOrWithoutTheLastRun) {
  TEditActionDlg edited;
  TEditActionDlg fresh;
  fresh.SetLastRunVisible(false);
  edited.show();
  fresh.show();
  EXPECT_LE(LargestGapInTheLeftColumn(edited), 12);
  EXPECT_LE(LargestGapInTheLeftColumn(fresh), 12);
  EXPECT_LT(fresh.height(), edited.height());
  for (TEditActionDlg *dlg : {&edited, &fresh}) {
    for (QWidget *child : dlg->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
      EXPECT_TRUE(child->isWindow() || dlg->rect().contains(child->geometry()))
          << child->metaObject()->className();
    }
  }
  // Showing the last run again restores the room for it.
  fresh.SetLastRunVisible(true);
  EXPECT_EQ(fresh.size(), edited.size());
}

// Captions, check boxes, radio buttons and buttons are as wide as their texts need.
TEST(EditDialogLayout, NoTextIsCut) {
  TEditActionDlg dlg;
  dlg.LastTimeLabel->setText(DateTimeText(EncodeDate(2026, 12, 28) + 0.999));
  dlg.Calendar->SetCalendarDate(EncodeDate(2026, 9, 30));
  dlg.SetTimePointIndex(tpWeekly);
  dlg.show();
  int checked = 0;
  for (QWidget *widget : dlg.findChildren<QWidget *>()) {
    QString text;
    if (auto *label = qobject_cast<QLabel *>(widget))
      text = label->text();
    else if (auto *button = qobject_cast<QAbstractButton *>(widget))
      text = button->text();
    if (text.isEmpty() || !widget->isVisible() || widget->parent() == dlg.Calendar ||
        widget->window() != &dlg || qobject_cast<QToolButton *>(widget))
      continue;
    // A push button's size hint holds a minimum width of the style; its text is what counts.
    const int needed = qobject_cast<QPushButton *>(widget)
                           ? widget->fontMetrics().horizontalAdvance(QString(text).remove(u'&')) + 8
                           : widget->sizeHint().width();
    EXPECT_GE(widget->width(), needed) << text.toStdString();
    ++checked;
  }
  EXPECT_GE(checked, 15);
}

TEST(EditDialogLayout, TheDesktopsFontEverywhere) {
  TEditActionDlg dlg;
  EXPECT_EQ(dlg.font().pixelSize(), 13);
  for (QWidget *widget : dlg.findChildren<QWidget *>())
    EXPECT_EQ(widget->font().family(), QApplication::font().family())
        << widget->metaObject()->className();
}
