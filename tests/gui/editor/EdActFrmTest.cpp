#include "gui/editor/EdActFrm.h"

#include "base/DateTime.h"
#include "gui/widgets/Calendar.h"
#include "gui/widgets/RxSpinEdit.h"
#include "gui/widgets/TimeEdit.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

// A dialog whose refused dates are recorded instead of reported.
struct TDialogFixture : ::testing::Test {
  TDialogFixture() {
    dlg.OnError = [this](const std::exception &error) { errors.append(error.what()); };
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

TEST_F(EditDialog, Day31InAThirtyDayMonthIsIgnoredWithoutAnError) {
  dlg.SetTimePointIndex(4);
  dlg.Calendar->SetCalendarDate(EncodeDate(2026, 4, 12));
  const QString label = dlg.DateLabel->text();
  dlg.DayEdit->SetValue(31);
  EXPECT_DOUBLE_EQ(dlg.Calendar->CalendarDate(), EncodeDate(2026, 4, 12));
  EXPECT_EQ(dlg.DateLabel->text(), label);
  EXPECT_EQ(dlg.DayEdit->Value(), 31);
  EXPECT_TRUE(errors.isEmpty());
}

TEST_F(EditDialog, MonthWithoutTheDayIsRefusedThroughOnErrorAndTheCalendarKeepsItsDate) {
  dlg.SetTimePointIndex(1);
  dlg.Calendar->SetCalendarDate(EncodeDate(2026, 1, 31));
  const QString label = dlg.DateLabel->text();
  dlg.MonthEdit->SetValue(2);
  ASSERT_EQ(errors.size(), 1);
  EXPECT_EQ(errors.at(0), QStringLiteral("Ungültiges Argument für Codierung des Datums"));
  EXPECT_DOUBLE_EQ(dlg.Calendar->CalendarDate(), EncodeDate(2026, 1, 31));
  EXPECT_EQ(dlg.DateLabel->text(), label);
  // Changing the day first, then the month, works.
  dlg.MonthEdit->SetValue(1);
  dlg.DayEdit->SetValue(28);
  dlg.MonthEdit->SetValue(2);
  EXPECT_DOUBLE_EQ(dlg.Calendar->CalendarDate(), EncodeDate(2026, 2, 28));
  EXPECT_EQ(errors.size(), 1);
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
  ASSERT_TRUE(QTest::qWaitFor([&] { return loaded && files.rowCount(root) == 3; }, 5000));
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
