// The edit dialog's time fields, its kinds of time point, and the date its fields and
// calendar hold when OK takes it.
#include "EditDialogFixture.h"
#include "base/ActionEntry.h"
#include "base/DateTime.h"
#include "gui/widgets/Calendar.h"
#include "gui/widgets/RxSpinEdit.h"
#include "gui/widgets/TimeEdit.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

namespace {

void TypeInto(TMaskTimeEdit *field, const QString &keys) {
  field->setCursorPosition(0);
  QTest::keyClicks(field, keys);
}

// Selects the whole number of a spin edit as entering it with Tab does, and types keys.
void TypeNumber(TRxSpinEdit *edit, const QString &keys) {
  edit->setFocus(Qt::TabFocusReason);
  edit->selectAll();
  QTest::keyClicks(edit, keys);
}

} // namespace

TEST_F(EditDialog, TypedHoursAbove23BecomeAt23) {
  TypeInto(dlg.TimeEdit, QStringLiteral("25"));
  EXPECT_EQ(dlg.TimeEdit->Text(), QStringLiteral("23:00:00"));
  // The interval field is limited the same way.
  TypeInto(dlg.FreqEdit, QStringLiteral("25"));
  EXPECT_EQ(dlg.FreqEdit->Text(), QStringLiteral("23:00:00"));
  // A first digit 3 is 30 hours at once, so the field shows 23 before the 0 replaces the 3.
  TypeInto(dlg.FreqEdit, QStringLiteral("30"));
  EXPECT_EQ(dlg.FreqEdit->Text(), QStringLiteral("20:00:00"));
}

TEST_F(EditDialog, EachKeyIsCheckedAtOnceSoTheSecondDigitOverwritesTheCorrection) {
  // 7 makes 70 minutes, corrected to 59 before the 5 arrives and overwrites the 9.
  TypeInto(dlg.TimeEdit, QStringLiteral("247580"));
  EXPECT_EQ(dlg.TimeEdit->Text(), QStringLiteral("23:55:50"));
  TypeInto(dlg.TimeEdit, QStringLiteral("2"));
  QTest::keyClick(dlg.TimeEdit, Qt::Key_9);
  EXPECT_EQ(dlg.TimeEdit->Text(), QStringLiteral("23:55:50"));
}

TEST_F(EditDialog, AWholeOutOfRangeTextIsCorrectedInThreePasses) {
  dlg.TimeEdit->SetText(QStringLiteral("24:75:80"));
  EXPECT_EQ(dlg.TimeEdit->Text(), QStringLiteral("23:59:59"));
  dlg.FreqEdit->SetText(QStringLiteral("30:00:00"));
  EXPECT_EQ(dlg.FreqEdit->Text(), QStringLiteral("23:00:00"));
  dlg.FreqEdit->SetText(QStringLiteral("99:99:99"));
  EXPECT_EQ(dlg.FreqEdit->Text(), QStringLiteral("23:59:59"));
  dlg.FreqEdit->SetText(QStringLiteral("12:34:56"));
  EXPECT_EQ(dlg.FreqEdit->Text(), QStringLiteral("12:34:56"));
}

TEST(EditDialogTimeFieldValue, ReadsHoursMinutesSecondsAsAFractionOfADay) {
  TMaskTimeEdit field;
  EXPECT_DOUBLE_EQ(TimeFieldValue(field), 0.0);
  field.SetText(QStringLiteral("12:00:00"));
  EXPECT_DOUBLE_EQ(TimeFieldValue(field), 0.5);
  field.SetText(QStringLiteral("01:02:03"));
  EXPECT_DOUBLE_EQ(TimeFieldValue(field), 3723.0 / 86400.0);
  field.SetText(QStringLiteral("23:59:59"));
  EXPECT_DOUBLE_EQ(TimeFieldValue(field), 86399.0 / 86400.0);
  // Outside the dialog nothing corrects the field; the value is still computed, not refused.
  field.SetText(QStringLiteral("30:00:00"));
  EXPECT_DOUBLE_EQ(TimeFieldValue(field), 1.25);
}

TEST_F(EditDialog, OnlyTheFrequencyKindShowsTheIntervalItsCaptionAndAlle) {
  dlg.FreqEdit->SetText(QStringLiteral("01:30:00"));
  dlg.AllCallsBox->setChecked(true);
  dlg.show();
  EXPECT_TRUE(dlg.FreqEdit->isVisible());
  KindButton(dlg, 2)->click(); // Täglich
  EXPECT_EQ(dlg.TimePointIndex(), 2);
  EXPECT_FALSE(dlg.FreqEdit->isVisible());
  EXPECT_FALSE(dlg.FreqEditLabel->isVisible());
  EXPECT_FALSE(dlg.AllCallsBox->isVisible());
  EXPECT_TRUE(dlg.Calendar->isVisible());
  EXPECT_TRUE(dlg.SuddenStartBox->isEnabled());
  KindButton(dlg, 0)->click();
  EXPECT_TRUE(dlg.FreqEdit->isVisible());
  EXPECT_TRUE(dlg.FreqEditLabel->isVisible());
  EXPECT_TRUE(dlg.AllCallsBox->isVisible());
  EXPECT_EQ(dlg.FreqEdit->Text(), QStringLiteral("01:30:00"));
  EXPECT_TRUE(dlg.AllCallsBox->isChecked());
}

TEST_F(EditDialog, AKindSetBeforeShowingAppliesWhenShown) {
  dlg.SetTimePointIndex(4);
  dlg.Calendar->SetCalendarDate(EncodeDate(2026, 3, 5));
  dlg.show();
  EXPECT_FALSE(dlg.FreqEdit->isVisible());
  EXPECT_EQ(dlg.DateLabel->text(), QStringLiteral("05. Tag"));
  EXPECT_EQ(dlg.focusWidget(), dlg.OKBtn);
}

TEST_F(EditDialog, SettingTheCalendarFillsTheSpinEditsAndTheLabel) {
  dlg.SetTimePointIndex(3);
  dlg.Calendar->SetCalendarDate(EncodeDate(2026, 12, 7) + 0.75);
  EXPECT_EQ(dlg.DayEdit->Value(), 7);
  EXPECT_EQ(dlg.MonthEdit->Value(), 12);
  EXPECT_EQ(dlg.YearEdit->Value(), 2026);
  EXPECT_EQ(dlg.DateLabel->text(), QStringLiteral("Montag"));
  EXPECT_DOUBLE_EQ(dlg.Calendar->CalendarDate(), EncodeDate(2026, 12, 7));
}

TEST_F(EditDialog, SpinEditsMoveTheCalendar) {
  dlg.SetTimePointIndex(5);
  dlg.Calendar->SetCalendarDate(EncodeDate(2026, 4, 10));
  dlg.MonthEdit->SetValue(3);
  EXPECT_DOUBLE_EQ(dlg.Calendar->CalendarDate(), EncodeDate(2026, 3, 10));
  EXPECT_EQ(dlg.DateLabel->text(), QStringLiteral("März"));
  dlg.DayEdit->SetValue(31);
  dlg.YearEdit->SetValue(2027);
  EXPECT_DOUBLE_EQ(dlg.Calendar->CalendarDate(), EncodeDate(2027, 3, 31));
  EXPECT_EQ(dlg.DayEdit->Value(), 31);
  EXPECT_TRUE(errors.isEmpty());
}

TEST_F(EditDialog, LastRunResetTakesTheTimeFieldAndCalendarAsTheyAreNow) {
  dlg.LastTimeLabel->setText(QStringLiteral("01.01.2026 10:00:00"));
  dlg.Calendar->SetCalendarDate(EncodeDate(2026, 12, 8));
  dlg.TimeEdit->SetText(QStringLiteral("07:45:30"));
  dlg.EraseLastTimeBtn->click();
  EXPECT_EQ(dlg.LastTimeLabel->text(), QStringLiteral("08.12.2026 07:45:30"));
  dlg.TimeEdit->SetText(QStringLiteral("00:00:00"));
  dlg.DayEdit->SetValue(9);
  dlg.EraseLastTimeBtnClick();
  EXPECT_EQ(dlg.LastTimeLabel->text(), QStringLiteral("09.12.2026"));
}

// Typing "11" into the month of the 31 December: nothing moves at the first digit, and when
// the number is complete the day becomes the last of November in the calendar and the field.
TEST_F(EditDialog, TypingAMonthMovesTheCalendarOnlyWhenTheNumberIsComplete) {
  dlg.SetTimePointIndex(tpOnce);
  dlg.Calendar->SetCalendarDate(EncodeDate(2026, 12, 31));
  ShowActive(dlg);
  dlg.DayEdit->setFocus();
  QTest::keyClick(dlg.DayEdit, Qt::Key_Tab);
  ASSERT_TRUE(dlg.MonthEdit->hasFocus());
  QTest::keyClicks(dlg.MonthEdit, QStringLiteral("1"));
  EXPECT_DOUBLE_EQ(dlg.Calendar->CalendarDate(), EncodeDate(2026, 12, 31));
  QTest::keyClicks(dlg.MonthEdit, QStringLiteral("1"));
  EXPECT_DOUBLE_EQ(dlg.Calendar->CalendarDate(), EncodeDate(2026, 12, 31));
  QTest::keyClick(dlg.MonthEdit, Qt::Key_Tab);
  EXPECT_DOUBLE_EQ(dlg.Calendar->CalendarDate(), EncodeDate(2026, 11, 30));
  EXPECT_EQ(dlg.DayEdit->Value(), 30);
  EXPECT_EQ(dlg.MonthEdit->Value(), 11);
  EXPECT_EQ(dlg.YearEdit->Value(), 2026);
  EXPECT_EQ(dlg.DateLabel->text(), QStringLiteral("30.11.2026"));
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr); // no error window
}

TEST_F(EditDialog, ADayTheMonthLacksBecomesItsLastDayInFieldsAndCalendar) {
  dlg.Calendar->SetCalendarDate(EncodeDate(2026, 4, 10));
  ShowActive(dlg);
  TypeNumber(dlg.DayEdit, QStringLiteral("31"));
  QTest::keyClick(dlg.DayEdit, Qt::Key_Return);
  EXPECT_DOUBLE_EQ(dlg.Calendar->CalendarDate(), EncodeDate(2026, 4, 30));
  EXPECT_EQ(dlg.DayEdit->Value(), 30);
  // Once more, with the calendar already on the 30th: the field shows what it holds.
  TypeNumber(dlg.DayEdit, QStringLiteral("31"));
  QTest::keyClick(dlg.DayEdit, Qt::Key_Return);
  EXPECT_EQ(dlg.DayEdit->Value(), 30);
  // 29 February of a year that has none.
  dlg.Calendar->SetCalendarDate(EncodeDate(2024, 2, 29));
  TypeNumber(dlg.YearEdit, QStringLiteral("2025"));
  QTest::keyClick(dlg.YearEdit, Qt::Key_Return);
  EXPECT_DOUBLE_EQ(dlg.Calendar->CalendarDate(), EncodeDate(2025, 2, 28));
  EXPECT_EQ(dlg.DayEdit->Value(), 28);
  // Numbers no date can have are not taken as typed.
  TypeNumber(dlg.MonthEdit, QStringLiteral("13"));
  QTest::keyClick(dlg.MonthEdit, Qt::Key_Return);
  EXPECT_GE(dlg.MonthEdit->Value(), 1);
  EXPECT_LE(dlg.MonthEdit->Value(), 12);
  EXPECT_EQ(dlg.MonthEdit->Value(), dlg.Calendar->Month());
}

TEST_F(EditDialog, StepsMoveTheCalendarAtOnceAndACalendarPageMovesTheFields) {
  dlg.Calendar->SetCalendarDate(EncodeDate(2026, 3, 30));
  ShowActive(dlg);
  dlg.DayEdit->setFocus();
  QTest::keyClick(dlg.DayEdit, Qt::Key_Up);
  EXPECT_DOUBLE_EQ(dlg.Calendar->CalendarDate(), EncodeDate(2026, 3, 31));
  auto *next = dlg.Calendar->findChild<QToolButton *>(QStringLiteral("qt_calendar_nextmonth"));
  ASSERT_NE(next, nullptr);
  QTest::mouseClick(next, Qt::LeftButton);
  EXPECT_DOUBLE_EQ(dlg.Calendar->CalendarDate(), EncodeDate(2026, 4, 30));
  EXPECT_EQ(dlg.DayEdit->Value(), 30);
  EXPECT_EQ(dlg.MonthEdit->Value(), 4);
}

// The date typed last is the one OK takes, also when OK is the next thing clicked.
TEST_F(EditDialog, TheDateShownWhenOKIsClickedIsTheOneTaken) {
  dlg.SetTimePointIndex(tpOnce);
  dlg.ActionEdit->setText(QStringLiteral("xterm"));
  dlg.Calendar->SetCalendarDate(EncodeDate(2026, 12, 31));
  ShowActive(dlg);
  TypeNumber(dlg.MonthEdit, QStringLiteral("6"));
  QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_DOUBLE_EQ(dlg.Calendar->CalendarDate(), EncodeDate(2026, 6, 30));

  // The same when OK comes by any other way while the field is still being typed in.
  TEditActionDlg other;
  other.SetTimePointIndex(tpOnce);
  other.ActionEdit->setText(QStringLiteral("xterm"));
  other.Calendar->SetCalendarDate(EncodeDate(2026, 1, 15));
  ShowActive(other);
  TypeNumber(other.YearEdit, QStringLiteral("2030"));
  other.accept();
  EXPECT_EQ(other.result(), QDialog::Accepted);
  EXPECT_DOUBLE_EQ(other.Calendar->CalendarDate(), EncodeDate(2030, 1, 15));
}
