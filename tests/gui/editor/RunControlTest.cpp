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

constexpr std::int64_t Hour = 3600000;

// An editor on entries whose dialog the test fills; the clock stands at FixedNow().
struct RunControl : ::testing::Test {
  // A function: a namespace constant would be computed before the date functions can work.
  static TDateTime FixedNow() { return At(2026, 12, 8, 9, 5, 3); }
  RunControl() {
    Form.Seams().Now = [] { return FixedNow(); };
    Form.Seams().MessageBox = [](auto...) { return QMessageBox::Ok; };
    Form.Seams().ExecEditDialog = [this](TEditActionDlg &dialog) {
      Fill(dialog);
      return Result;
    };
  }
  void Open(const std::vector<TActionEntry> &entries) {
    TEditorSession session;
    session.Copies = entries;
    Form.LoadSession(session);
    Form.FormShow();
  }
  TActionEntry Entry(int row) { return Form.Rows().at(static_cast<std::size_t>(row - 1)).Entry; }

  TMainForm Form;
  std::function<void(TEditActionDlg &)> Fill;
  int Result = QDialog::Accepted;
};

// Checks a duration's box and types its time; nullptr leaves both as they are.
void SetDuration(QCheckBox *box, TMaskTimeEdit *field, const char *text) {
  if (text) {
    box->setChecked(true);
    field->SetText(QString::fromUtf8(text));
  }
}

// One dialog round trip: the entry it starts from, what the user does, what the entry holds.
struct TRoundTrip {
  const char *Name, *Action, *Late, *Limit; // Late, Limit: the times typed, nullptr: untouched
  TTimePoint Kind;
  bool WasActive, Active, Workdays, DaysOpen, ProgramOpen; // Open: the controls are enabled
  std::uint8_t Untick, Weekdays;
  int IfRunning; // -1: untouched
  std::int64_t WasLateMs, LateMs, LimitMs;
  const char *Says = nullptr; // why OK refuses, if it does, and the help topic F1 then shows
  int Topic = 0;
};

} // namespace

// Every control reaches the entry, and the entry's values come back into the controls: the
// dialog opened again and confirmed changes nothing. What cannot run is refused with its reason,
// the focus on the field, where F1 explains it.
TEST_F(RunControl, EveryControlIsTakenIntoTheEntryAndShownAgain) {
  const TRoundTrip cases[] = {
      {"daily program, every control set", "backup.sh", "02:30:00", "0:10:0", tpDaily, true, false,
       true, true, true, 0, 0x1F, irAfter, 0, 5 * Hour / 2, Hour / 6},
      {"weekly message, switched on; minutes over 59 corrected", "\"Pause", "99:75:00", nullptr,
       tpWeekly, false, true, false, false, false, 0, AllWeekdays, -1, 0, 5999 * 60000LL, 0},
      {"internal command on the weekend; a limit the field cannot show is kept", "%COPY a b",
       nullptr, nullptr, tpDaily, true, true, false, true, false, 0x1F, 0x60, -1, 150 * Hour,
       150 * Hour, 0},
      {"no weekday", "a", nullptr, nullptr, tpDaily, true, true, false, true, true, 0x7F, 0, -1, 0,
       0, 0, "mindestens einen Wochentag", TRunControlBox::WeekdaysTopic},
      {"too late after nothing", "a", "0:0:0", nullptr, tpDaily, true, true, false, true, true, 0,
       AllWeekdays, -1, 0, 0, 0, "„nicht nachholen", TRunControlBox::LateTopic},
      {"ended after nothing", "a", nullptr, "0:0:0", tpDaily, true, true, false, true, true, 0,
       AllWeekdays, -1, 0, 0, 0, "„beenden nach“", TRunControlBox::TimeLimitTopic},
  };
  for (const TRoundTrip &c : cases) {
    SCOPED_TRACE(c.Name);
    TActionEntry start = NewActionEntry(c.Kind, At(2026, 12, 1, 8), QString::fromUtf8(c.Action));
    start.Active = c.WasActive;
    start.LateLimitMs = c.WasLateMs;
    Open({start});
    Fill = [this, &c](TEditActionDlg &dialog) {
      TRunControlBox &box = *dialog.RunControl;
      EXPECT_EQ(box.DayBox(0)->isEnabled() && box.WorkdaysBtn()->isEnabled(), c.DaysOpen);
      EXPECT_EQ(box.IfRunningBox()->isEnabled() && box.TimeLimitBox()->isEnabled(), c.ProgramOpen);
      box.ActiveBox()->setChecked(c.Active);
      if (c.Workdays)
        box.WorkdaysBtn()->click();
      for (int day = 0; day < 7; ++day)
        box.DayBox(day)->setChecked(box.DayBox(day)->isChecked() && !(c.Untick & (1 << day)));
      SetDuration(box.LateBox(), box.LateEdit(), c.Late);
      box.IfRunningBox()->setCurrentIndex(
          std::max(c.IfRunning, box.IfRunningBox()->currentIndex()));
      SetDuration(box.TimeLimitBox(), box.TimeLimitEdit(), c.Limit);
      // The date text names the days as they are chosen ("Täglich Mo–Fr").
      EXPECT_EQ(dialog.DateLabel->text(),
                TimePointText(c.Kind, dialog.Calendar->CalendarDate(), c.Weekdays));
      QString said;
      int topic = 0;
      dialog.ShowInputError = [&said](const QString &text) { said = text; };
      dialog.ShowHelp = [&topic](int number) { topic = number; };
      Result = dialog.CheckInput() ? QDialog::Accepted : QDialog::Rejected;
      dialog.HelpKeyPress();
      EXPECT_TRUE(c.Says ? said.contains(QString::fromUtf8(c.Says)) : said.isEmpty())
          << said.toStdString();
      EXPECT_EQ(topic, c.Says ? c.Topic : TEditActionDlg::HelpContext);
    };
    Form.ActionsGridDblClick();
    const TActionEntry e = Entry(1);
    Result = QDialog::Accepted;
    if (c.Says) {
      EXPECT_EQ(e, start);
      continue;
    }
    // Switched on in the dialog, or on other days: no call for points before that moment.
    EXPECT_EQ(
        std::tuple(e.Active, e.Weekdays, e.LateLimitMs, e.IfRunning, e.TimeLimitMs, e.StartFrom),
        std::tuple(c.Active, c.Weekdays, c.LateMs,
                   c.IfRunning < 0 ? irParallel : TIfRunning(c.IfRunning), c.LimitMs,
                   (!c.WasActive && c.Active) || c.Weekdays != AllWeekdays ? FixedNow() : 0));
    Fill = [](TEditActionDlg &) {};
    Form.ActionsGridDblClick();
    EXPECT_EQ(Entry(1), e);
  }
}

// The check column and the row menu switch entries on and off; switching on starts from now,
// also by Space; an entry that is off is greyed and named so in "Verlauf"; a new action starts on
// and skipping.
TEST_F(RunControl, TheAktivColumnAndRowMenuSwitchEntriesAndSwitchingOnStartsFromNow) {
  TActionEntry off = NewActionEntry(tpDaily, At(2026, 12, 1, 7), QStringLiteral("b"));
  off.Active = false;
  Open({NewActionEntry(tpDaily, At(2026, 12, 1, 8), QStringLiteral("a")), off});
  ShowActive(Form);
  TStringAlignGrid *grid = Form.ActionsGrid();
  const auto check = [grid](int row) { return grid->item(row - 1, TMainForm::ColActive); };
  // Checked, and greyed when off.
  const auto shown = [grid, check](int row) {
    return std::pair(check(row)->checkState() == Qt::Checked,
                     grid->item(row - 1, TMainForm::ColAction)->data(Qt::ForegroundRole).isValid());
  };
  EXPECT_EQ(shown(1), std::pair(true, false));
  EXPECT_EQ(shown(2), std::pair(false, true));

  // A click on row 2's check box, where the style draws it.
  QStyleOptionViewItem option;
  option.initFrom(grid->viewport());
  option.rect = grid->visualItemRect(check(2));
  option.features = QStyleOptionViewItem::HasCheckIndicator;
  const QRect box =
      grid->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, grid);
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, box.center());
  EXPECT_EQ(std::pair(Entry(2).Active, Entry(2).StartFrom), std::pair(true, FixedNow()));
  EXPECT_EQ(shown(2), std::pair(true, false));

  // The row menu shows row 1 on; its "Aktiv" switches it off, without a start bound.
  emit grid->customContextMenuRequested(grid->visualItemRect(grid->item(0, 0)).center());
  EXPECT_TRUE(Form.ActiveItem()->isEnabled() && Form.ActiveItem()->isChecked());
  Form.ActiveItem()->trigger();
  qobject_cast<QMenu *>(Form.ActiveItem()->parent())->hide();
  EXPECT_EQ(std::pair(Entry(1).Active, Entry(1).StartFrom), std::pair(false, 0.0));
  EXPECT_EQ(shown(1), std::pair(false, true));
  QString named; // in "Verlauf"
  Form.Seams().ExecHistory = [&named](THistoryForm &form) {
    named = form.ActionFilter->itemText(1);
  };
  Form.HistoryBtnClick();
  EXPECT_EQ(named, QStringLiteral("1: a (ausgeschaltet)"));

  // Deleting row 1 moves row 2 up with its own check.
  Form.DeleteBtnClick();
  EXPECT_EQ(Entry(1).Action.Text(), QStringLiteral("b"));
  EXPECT_EQ(shown(1), std::pair(true, false));
  // Space on the grid switches the selected row.
  QTest::keyClick(grid, Qt::Key_Space);
  EXPECT_EQ(shown(1), std::pair(false, true));

  Fill = [](TEditActionDlg &dialog) { dialog.ActionEdit->setText(QStringLiteral("neu")); };
  Form.NewBtnClick();
  EXPECT_EQ(std::pair(Entry(2).Active, Entry(2).IfRunning), std::pair(true, irSkip));
}
