// The run controls in the windows: the edit dialog's group taken into the entry and shown
// again, its refusals and F1 topics, and the editor's "Aktiv" column and row menu.
#include "EditDialogFixture.h"
#include "TestHelpers.h"
#include "gui/editor/HistoryForm.h"
#include "gui/editor/MainForm.h"
#include "gui/editor/RunControlBox.h"
#include "gui/widgets/Calendar.h"
#include "gui/widgets/StringAlignGrid.h"
#include "gui/widgets/TimeEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionViewItem>

namespace {

// A function: a namespace constant would be computed before the date functions can work.
TDateTime FixedNow() {
  return At(2026, 12, 8, 9, 5, 3);
}
constexpr std::int64_t Hour = 3600000;

// An editor on entries whose dialog the test fills; the clock stands at FixedNow().
struct TEditorFixture : ::testing::Test {
  TEditorFixture() {
    Form.Seams().Now = [] { return FixedNow(); };
    Form.Seams().MessageBox = [](QMessageBox::Icon, const QString &, QMessageBox::StandardButtons) {
      return QMessageBox::Ok;
    };
    Form.Seams().ExecEditDialog = [this](TEditActionDlg &dialog) {
      Fill(dialog);
      return Result;
    };
  }
  void Open(const std::vector<TActionEntry> &entries) {
    TEditorSession session;
    session.Copies = entries;
    session.IntervalMs = 1000;
    Form.LoadSession(session);
    Form.FormShow();
  }
  QTableWidgetItem *Check(int row) {
    return Form.ActionsGrid()->item(row - 1, TMainForm::ColActive);
  }
  TActionEntry Entry(int row) { return Form.Rows().at(static_cast<std::size_t>(row - 1)).Entry; }

  TMainForm Form;
  std::function<void(TEditActionDlg &)> Fill;
  int Result = QDialog::Accepted;
};

using RunControlDialog = TEditorFixture;
using ActiveColumn = TEditorFixture;

// One dialog round trip: the entry it starts from, what the user does, what the entry holds.
struct TRoundTrip {
  const char *Name;
  TTimePoint Kind;
  const char *Action;
  bool StartsActive;
  std::int64_t StartLateMs;
  std::function<void(TRunControlBox &)> Use;
  bool DaysOpen, ProgramOpen; // which controls the kind and the action leave enabled
  bool Active;
  std::uint8_t Weekdays;
  std::int64_t LateMs;
  TIfRunning IfRunning;
  std::int64_t TimeLimitMs;
};

} // namespace

TEST_F(RunControlDialog, EveryControlIsTakenIntoTheEntryAndShownAgain) {
  const std::vector<TRoundTrip> cases = {
      {"daily program, workdays, every control set", tpDaily, "backup.sh", true, 0,
       [](TRunControlBox &box) {
         box.ActiveBox()->setChecked(false);
         box.WorkdaysBtn()->click();
         box.LateBox()->setChecked(true);
         box.LateEdit()->SetText(QStringLiteral("02:30:00"));
         box.IfRunningBox()->setCurrentIndex(irAfter);
         box.TimeLimitBox()->setChecked(true);
         box.TimeLimitEdit()->SetText(QStringLiteral("0:10:0"));
       },
       true, true, false, 0x1F, 2 * Hour + Hour / 2, irAfter, Hour / 6},
      {"weekly message: days and program controls locked, switched on", tpWeekly, "\"Pause", false,
       0,
       [](TRunControlBox &box) {
         box.ActiveBox()->setChecked(true);
         box.LateBox()->setChecked(true);
         box.LateEdit()->SetText(QStringLiteral("99:75:00")); // corrected to 99:59:00
       },
       false, false, true, AllWeekdays, (99 * 60 + 59) * 60000LL, irParallel, 0},
      {"internal command on the weekend; a limit too long for the field is kept", tpDaily,
       "%COPY a b", true, 150 * Hour,
       [](TRunControlBox &box) {
         for (int day = 0; day < 5; ++day)
           box.DayBox(day)->setChecked(false);
       },
       true, false, true, 0x60, 150 * Hour, irParallel, 0},
  };
  for (const TRoundTrip &c : cases) {
    SCOPED_TRACE(c.Name);
    TActionEntry start = NewActionEntry(c.Kind, At(2026, 12, 1, 8), QString::fromUtf8(c.Action));
    start.Active = c.StartsActive;
    start.LateLimitMs = c.StartLateMs;
    Open({start});
    Fill = [&c](TEditActionDlg &dialog) {
      TRunControlBox &box = *dialog.RunControl;
      EXPECT_EQ(box.DayBox(0)->isEnabled(), c.DaysOpen);
      EXPECT_EQ(box.WorkdaysBtn()->isEnabled(), c.DaysOpen);
      EXPECT_EQ(box.IfRunningBox()->isEnabled(), c.ProgramOpen);
      EXPECT_EQ(box.TimeLimitBox()->isEnabled(), c.ProgramOpen);
      c.Use(box);
      // The date text names the days as they are chosen ("Täglich Mo–Fr").
      EXPECT_EQ(dialog.DateLabel->text(),
                TimePointText(c.Kind, dialog.Calendar->CalendarDate(), c.Weekdays));
      EXPECT_TRUE(dialog.CheckInput());
    };
    Form.ActionsGridDblClick();
    const TActionEntry e = Entry(1);
    EXPECT_EQ(e.Active, c.Active);
    EXPECT_EQ(e.Weekdays, c.Weekdays);
    EXPECT_EQ(e.LateLimitMs, c.LateMs);
    EXPECT_EQ(e.IfRunning, c.IfRunning);
    EXPECT_EQ(e.TimeLimitMs, c.TimeLimitMs);
    // Switched on in the dialog: no call for the time it was off.
    EXPECT_EQ(e.StartFrom, !c.StartsActive && c.Active ? FixedNow() : 0);

    // Opened again, the dialog shows what the entry holds.
    Result = QDialog::Rejected;
    Fill = [&c](TEditActionDlg &dialog) {
      TRunControlBox &box = *dialog.RunControl;
      EXPECT_EQ(box.ActiveBox()->isChecked(), c.Active);
      EXPECT_EQ(box.Weekdays(), c.Weekdays);
      EXPECT_EQ(box.LateBox()->isChecked(), c.LateMs != 0);
      EXPECT_EQ(box.IfRunningBox()->currentIndex(), int(c.IfRunning));
      EXPECT_EQ(box.TimeLimitBox()->isChecked(), c.TimeLimitMs != 0);
      if (c.TimeLimitMs != 0) {
        EXPECT_EQ(box.TimeLimitEdit()->Text(), QStringLiteral("00:10:00"));
      }
    };
    Form.ActionsGridDblClick();
    Result = QDialog::Accepted;
  }
}

// OK refuses what cannot run, names why, and puts the focus where F1 explains it.
TEST_F(EditDialog, RunControlsRefuseWhatCannotRunAndF1ExplainsTheFieldInFocus) {
  struct TCase {
    std::function<void(TRunControlBox &)> Use;
    const char *Says;
    int Topic;
  };
  const std::vector<TCase> cases = {
      {[](TRunControlBox &box) {
         for (int day = 0; day < 7; ++day)
           box.DayBox(day)->setChecked(false);
       },
       "mindestens einen Wochentag", TRunControlBox::WeekdaysTopic},
      {[](TRunControlBox &box) {
         box.LateBox()->setChecked(true);
         box.LateEdit()->SetText(QStringLiteral("00:00:00"));
       },
       "„nicht nachholen", TRunControlBox::LateTopic},
      {[](TRunControlBox &box) {
         box.TimeLimitBox()->setChecked(true);
         box.TimeLimitEdit()->SetText(QStringLiteral("00:00:00"));
       },
       "„beenden nach“", TRunControlBox::TimeLimitTopic},
  };
  QList<int> topics;
  dlg.ShowHelp = [&topics](int topic) { topics.append(topic); };
  dlg.ActionEdit->setText(QStringLiteral("backup.sh"));
  dlg.SetTimePointIndex(tpDaily);
  ShowActive(dlg);
  for (const TCase &c : cases) {
    SCOPED_TRACE(c.Says);
    dlg.RunControl->SetEntry(TActionEntry{});
    errors.clear();
    topics.clear();
    c.Use(*dlg.RunControl);
    dlg.OKBtn->click();
    EXPECT_TRUE(dlg.isVisible());
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors.at(0).contains(QString::fromUtf8(c.Says))) << errors.at(0).toStdString();
    ASSERT_TRUE(
        QTest::qWaitFor([this] { return QApplication::focusWidget() != dlg.OKBtn; }, 30000));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
    EXPECT_EQ(topics, QList<int>{c.Topic});
  }
  // F1 elsewhere shows the dialog's own topic.
  topics.clear();
  dlg.ActionEdit->setFocus();
  ASSERT_TRUE(QTest::qWaitFor([this] { return dlg.ActionEdit->hasFocus(); }, 30000));
  QTest::keyClick(dlg.ActionEdit, Qt::Key_F1);
  EXPECT_EQ(topics, QList<int>{TEditActionDlg::HelpContext});
}

// The check column and the row menu switch entries on and off; switching on starts from now,
// an entry that is off is greyed, a new action starts switched on and skipping.
TEST_F(ActiveColumn, SwitchesEntriesOnAndOffAndStartsThemFromNow) {
  TActionEntry off = NewActionEntry(tpDaily, At(2026, 12, 1, 7), QStringLiteral("b"));
  off.Active = false;
  Open({NewActionEntry(tpDaily, At(2026, 12, 1, 8), QStringLiteral("a")), off});
  ShowActive(Form);
  TStringAlignGrid *grid = Form.ActionsGrid();
  EXPECT_EQ(Check(1)->checkState(), Qt::Checked);
  EXPECT_EQ(Check(2)->checkState(), Qt::Unchecked);
  EXPECT_FALSE(grid->item(0, TMainForm::ColAction)->data(Qt::ForegroundRole).isValid());
  EXPECT_TRUE(grid->item(1, TMainForm::ColAction)->data(Qt::ForegroundRole).isValid());

  // A click on row 2's check box, where the style draws it.
  QStyleOptionViewItem option;
  option.initFrom(grid->viewport());
  option.rect = grid->visualItemRect(Check(2));
  option.features = QStyleOptionViewItem::HasCheckIndicator;
  const QRect box =
      grid->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, grid);
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, box.center());
  EXPECT_TRUE(Entry(2).Active);
  EXPECT_EQ(Entry(2).StartFrom, FixedNow());
  EXPECT_FALSE(grid->item(1, TMainForm::ColAction)->data(Qt::ForegroundRole).isValid());
  EXPECT_TRUE(Form.Modified());

  // The row menu shows row 1 on; its "Aktiv" switches it off, without a start bound.
  emit grid->customContextMenuRequested(grid->visualItemRect(grid->item(0, 0)).center());
  EXPECT_TRUE(Form.ActiveItem()->isEnabled());
  EXPECT_TRUE(Form.ActiveItem()->isChecked());
  Form.ActiveItem()->trigger();
  qobject_cast<QMenu *>(Form.ActiveItem()->parent())->hide();
  EXPECT_FALSE(Entry(1).Active);
  EXPECT_EQ(Entry(1).StartFrom, 0);
  EXPECT_EQ(Check(1)->checkState(), Qt::Unchecked);
  // "Verlauf" names the action that is off.
  QStringList named;
  Form.Seams().ExecHistory = [&named](THistoryForm &form) {
    for (int i = 1; i < form.ActionFilter->count(); ++i)
      named.append(form.ActionFilter->itemText(i));
  };
  Form.HistoryBtnClick();
  EXPECT_EQ(named, (QStringList{QStringLiteral("1: a (ausgeschaltet)"), QStringLiteral("2: b")}));

  // Deleting row 1 moves row 2 up with its own check.
  Form.DeleteBtnClick();
  ASSERT_EQ(Form.Rows().size(), 1u);
  EXPECT_EQ(Entry(1).Action.Text(), QStringLiteral("b"));
  EXPECT_EQ(Check(1)->checkState(), Qt::Checked);
  EXPECT_FALSE(grid->item(0, TMainForm::ColAction)->data(Qt::ForegroundRole).isValid());

  Fill = [](TEditActionDlg &dialog) {
    EXPECT_TRUE(dialog.RunControl->ActiveBox()->isChecked());
    EXPECT_EQ(dialog.RunControl->IfRunningBox()->currentIndex(), int(irSkip));
    dialog.ActionEdit->setText(QStringLiteral("neu"));
  };
  Form.NewBtnClick();
  EXPECT_EQ(Entry(2).IfRunning, irSkip);
  EXPECT_TRUE(Entry(2).Active);
}
