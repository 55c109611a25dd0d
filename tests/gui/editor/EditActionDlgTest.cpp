#include "gui/editor/EditActionDlg.h"

#include "base/ActionEntry.h"
#include "base/DateTime.h"
#include "gui/widgets/Calendar.h"
#include "gui/widgets/RxSpinEdit.h"
#include "gui/widgets/TimeEdit.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <algorithm>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

// A dialog whose refusals of OK are recorded instead of shown in a box.
struct TDialogFixture : ::testing::Test {
  TDialogFixture() {
    dlg.ShowInputError = [this](const QString &text) { errors.append(text); };
  }
  TEditActionDlg dlg;
  QStringList errors;
};

void TypeInto(TMaskTimeEdit *field, const QString &keys) {
  field->setCursorPosition(0);
  QTest::keyClicks(field, keys);
}

QRadioButton *KindButton(TEditActionDlg &dlg, int kind) {
  return dlg.TimePointsGroup->findChildren<QRadioButton *>().at(kind);
}

// Shows a window and waits until it has the keyboard, as the user's click on it would.
void ShowActive(QWidget &window) {
  window.show();
  QApplication::setActiveWindow(&window);
  EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
}

// Selects the whole number of a spin edit as entering it with Tab does, and types keys.
void TypeNumber(TRxSpinEdit *edit, const QString &keys) {
  edit->setFocus(Qt::TabFocusReason);
  edit->selectAll();
  QTest::keyClicks(edit, keys);
}

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

using EditDialog = TDialogFixture;

TEST_F(EditDialog, StartsWithZeroTimesClearBoxesFrequencyAndTodaysDateInTheSpinEdits) {
  EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Aktion editieren"));
  EXPECT_EQ(dlg.size(), QSize(418, 318));
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

TEST_F(EditDialog, CommandsReplaceTheCommandWordAndKeepTheArguments) {
  auto pick = [&](const QString &item) {
    dlg.CommandBoxChange(dlg.CommandBox->findText(item));
    return dlg.ActionEdit->text();
  };
  EXPECT_EQ(pick(QStringLiteral("Copy")), QStringLiteral("%Copy "));
  EXPECT_EQ(pick(QStringLiteral("Move")), QStringLiteral("%Move  "));
  dlg.ActionEdit->setText(QStringLiteral("%Copy a.txt b.txt"));
  EXPECT_EQ(pick(QStringLiteral("Delete")), QStringLiteral("%Delete  a.txt b.txt"));
  dlg.ActionEdit->setText(QStringLiteral("%Copy"));
  EXPECT_EQ(pick(QStringLiteral("Exec")), QStringLiteral("%Exec"));
  dlg.ActionEdit->setText(QStringLiteral("notepad.exe"));
  EXPECT_EQ(pick(QStringLiteral("Copy")), QStringLiteral("%Copy notepad.exe"));
  EXPECT_EQ(pick(QStringLiteral("LZHCopy")), QStringLiteral("%LZHCopy  notepad.exe"));
}

TEST_F(EditDialog, APlaceholderReplacesOnlyTheSelectionAndPutsTheCaretAfterIt) {
  dlg.ActionEdit->setText(QStringLiteral("%Copy a.txt b-XXX.txt"));
  dlg.ActionEdit->setSelection(14, 3);
  dlg.CommandBoxChange(dlg.CommandBox->findText(QStringLiteral("Year")));
  EXPECT_EQ(dlg.ActionEdit->text(), QStringLiteral("%Copy a.txt b-%Year%.txt"));
  EXPECT_EQ(dlg.ActionEdit->cursorPosition(), 20);
  dlg.CommandBoxChange(dlg.CommandBox->findText(QStringLiteral("Temp")));
  EXPECT_EQ(dlg.ActionEdit->text(), QStringLiteral("%Copy a.txt b-%Year%%Temp%.txt"));
}

TEST_F(EditDialog, ASelectionLostToTheCommandListIsStillReplaced) {
  dlg.show();
  QApplication::setActiveWindow(&dlg);
  dlg.ActionEdit->setFocus();
  dlg.ActionEdit->setText(QStringLiteral("a XXX b"));
  dlg.ActionEdit->setSelection(2, 3);
  dlg.CommandBox->setFocus(Qt::MouseFocusReason); // the line edit drops its selection here
  dlg.CommandBoxChange(dlg.CommandBox->findText(QStringLiteral("Hour")));
  EXPECT_EQ(dlg.ActionEdit->text(), QStringLiteral("a %Hour% b"));
}

// Also a path with blanks stays unquoted: a leading quote would make the action a message.
TEST_F(EditDialog, APickedProgramPathIsWrittenAsItIsAlsoWithBlanks) {
  QString chosen;
  dlg.ChooseProgramFile = [&] { return chosen; };
  dlg.ActionEdit->setText(QStringLiteral("alt"));
  chosen = QString();
  dlg.OpenBtnClick();
  EXPECT_EQ(dlg.ActionEdit->text(), QStringLiteral("alt"));
  chosen = QStringLiteral("/usr/bin/xterm");
  dlg.OpenBtn->click();
  EXPECT_EQ(dlg.ActionEdit->text(), QStringLiteral("/usr/bin/xterm"));
  chosen = QStringLiteral("/home/a/Meine Programme/x");
  dlg.OpenBtnClick();
  EXPECT_EQ(dlg.ActionEdit->text(), QStringLiteral("/home/a/Meine Programme/x"));
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

TEST_F(EditDialog, OKAndCancelEndTheDialog) {
  dlg.ActionEdit->setText(QStringLiteral("xterm"));
  dlg.FreqEdit->SetText(QStringLiteral("00:01:00"));
  dlg.show();
  dlg.OKBtn->click();
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  dlg.show();
  QTest::keyClick(&dlg, Qt::Key_Escape);
  EXPECT_EQ(dlg.result(), QDialog::Rejected);
  EXPECT_FALSE(dlg.isVisible());
}

TEST(ProgramFileFilter, ProgrammeShowsFoldersAndExecutablesAlleShowsEverything) {
  QTemporaryDir dir;
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("Meine Programme")));
  for (const char *name : {"run.sh", "notes.txt"}) {
    QFile file(dir.filePath(QString::fromUtf8(name)));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\n");
  }
  QFile::setPermissions(dir.filePath(QStringLiteral("run.sh")),
                        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  QFile::setPermissions(dir.filePath(QStringLiteral("notes.txt")),
                        QFile::ReadOwner | QFile::WriteOwner);

  QFileSystemModel files;
  bool loaded = false;
  QObject::connect(&files, &QFileSystemModel::directoryLoaded, [&] { loaded = true; });
  const QModelIndex root = files.setRootPath(dir.path());
  ASSERT_TRUE(QTest::qWaitFor([&] { return loaded && files.rowCount(root) == 3; }, 30000));
  TProgramFileFilter filter;
  filter.setSourceModel(&files);
  auto shown = [&] {
    QStringList names;
    const QModelIndex parent = filter.mapFromSource(root);
    for (int row = 0; row < filter.rowCount(parent); ++row)
      names.append(filter.index(row, 0, parent).data().toString());
    names.sort();
    return names;
  };
  EXPECT_EQ(shown(), (QStringList{QStringLiteral("Meine Programme"), QStringLiteral("run.sh")}));
  filter.SetProgramsOnly(false);
  EXPECT_EQ(shown(), (QStringList{QStringLiteral("Meine Programme"), QStringLiteral("notes.txt"),
                                  QStringLiteral("run.sh")}));
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

TEST_F(EditDialog, OKRefusesAZeroFrequencyAndAnEmptyActionAndStaysOpen) {
  ShowActive(dlg);
  QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
  EXPECT_TRUE(dlg.isVisible());
  ASSERT_EQ(errors.size(), 1);
  EXPECT_EQ(errors.last(), QStringLiteral("Bei \"Frequenz\" muss der Abstand länger als 00:00:00 "
                                          "sein, sonst wird die Aktion nie ausgeführt."));
  EXPECT_EQ(QApplication::focusWidget(), dlg.FreqEdit);

  dlg.FreqEdit->setCursorPosition(0);
  QTest::keyClicks(dlg.FreqEdit, QStringLiteral("0005"));
  QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
  EXPECT_TRUE(dlg.isVisible());
  ASSERT_EQ(errors.size(), 2);
  EXPECT_EQ(errors.last(), QStringLiteral("Bitte geben Sie die auszuführende Aktion ein."));
  EXPECT_EQ(QApplication::focusWidget(), dlg.ActionEdit);

  // Blanks are no action either; Enter in the field is OK as well.
  QTest::keyClicks(dlg.ActionEdit, QStringLiteral("   "));
  QTest::keyClick(dlg.ActionEdit, Qt::Key_Return);
  EXPECT_TRUE(dlg.isVisible());
  EXPECT_EQ(errors.size(), 3);

  QTest::keyClicks(dlg.ActionEdit, QStringLiteral("xterm"));
  QTest::keyClick(dlg.ActionEdit, Qt::Key_Return);
  EXPECT_FALSE(dlg.isVisible());
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(dlg.FreqEdit->Text(), QStringLiteral("00:05:00"));
  EXPECT_EQ(errors.size(), 3);
}

TEST_F(EditDialog, AZeroIntervalIsNoHinderForTheOtherKinds) {
  dlg.ActionEdit->setText(QStringLiteral("xterm"));
  ShowActive(dlg);
  QTest::mouseClick(KindButton(dlg, tpDaily), Qt::LeftButton);
  QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_TRUE(errors.isEmpty());
}

// The refusal is a real warning window: Enter closes it, and the dialog stays open with
// everything typed into it.
TEST(EditDialogInputError, TheWarningClosesWithEnterAndTheDialogStaysOpen) {
  TEditActionDlg dlg;
  dlg.SetTimePointIndex(tpDaily);
  dlg.TimeEdit->SetText(QStringLiteral("07:15:00"));
  ShowActive(dlg);
  QString shown;
  QTimer::singleShot(0, [&shown] {
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    shown = box->windowTitle() + u'|' + box->text();
    QTest::keyClick(box, Qt::Key_Return);
  });
  QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
  EXPECT_EQ(shown,
            QStringLiteral("Aktion editieren|Bitte geben Sie die auszuführende Aktion ein."));
  EXPECT_TRUE(dlg.isVisible());
  EXPECT_NE(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(dlg.TimeEdit->Text(), QStringLiteral("07:15:00"));
}

// 255 characters, counted as characters: a character outside the basic plane (two UTF-16
// units) is one, and a key or a paste that would go beyond is refused whole.
TEST_F(EditDialog, TheActionFieldTakesAtMost255Characters) {
  dlg.SetTimePointIndex(tpDaily);
  ShowActive(dlg);
  dlg.ActionEdit->setFocus();
  QTest::keyClicks(dlg.ActionEdit, QString(254, u'x'));
  const QString smile = QString::fromUcs4(U"\U0001F600");
  QApplication::clipboard()->setText(smile);
  QTest::keyClick(dlg.ActionEdit, Qt::Key_V, Qt::ControlModifier);
  const QString full = QString(254, u'x') + smile;
  EXPECT_EQ(dlg.ActionEdit->text(), full);
  QTest::keyClicks(dlg.ActionEdit, QStringLiteral("y"));
  EXPECT_EQ(dlg.ActionEdit->text(), full);
  EXPECT_TRUE(QToolTip::isVisible());
  EXPECT_EQ(QToolTip::text(), QStringLiteral("Eine Aktion hat höchstens 255 Zeichen."));
  QApplication::clipboard()->setText(QStringLiteral("abc"));
  dlg.ActionEdit->setCursorPosition(10);
  QTest::keyClick(dlg.ActionEdit, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(dlg.ActionEdit->text(), full);
  QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_TRUE(errors.isEmpty());
}

TEST_F(EditDialog, ACommandThatMakesTheTextTooLongIsRefusedOnOKNotCut) {
  dlg.SetTimePointIndex(tpDaily);
  dlg.ActionEdit->setText(QString(252, u'a'));
  dlg.CommandBoxChange(dlg.CommandBox->findText(QStringLiteral("Copy")));
  ShowActive(dlg);
  QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
  EXPECT_TRUE(dlg.isVisible());
  ASSERT_EQ(errors.size(), 1);
  EXPECT_EQ(errors.last(),
            QStringLiteral("Die Aktion ist 258 Zeichen lang; erlaubt sind höchstens 255 Zeichen."));
  EXPECT_EQ(dlg.ActionEdit->text(), QStringLiteral("%Copy ") + QString(252, u'a'));
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
