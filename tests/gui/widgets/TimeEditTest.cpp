#include "gui/widgets/TimeEdit.h"
#include "gui/widgets/RxSpinEdit.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

TEST(TimeEdit, ShorterNumbersAreAlignedRightPerPair) {
  EXPECT_EQ(TMaskTimeEdit::Normalized(QStringLiteral("9:5:3")), QStringLiteral("09:05:03"));
  EXPECT_EQ(TMaskTimeEdit::Normalized(QString()), QStringLiteral("00:00:00"));
  EXPECT_EQ(TMaskTimeEdit::Normalized(QStringLiteral("  :05:  ")), QStringLiteral("00:05:00"));
  EXPECT_EQ(TMaskTimeEdit::Normalized(QStringLiteral("12:30:00")), QStringLiteral("12:30:00"));
  EXPECT_EQ(TMaskTimeEdit::Normalized(QStringLiteral("1x:3")), QStringLiteral("10:03:00"));
}

TEST(TimeEdit, TypingOverwritesDigitsAndSkipsTheColons) {
  TMaskTimeEdit edit;
  edit.setCursorPosition(0);
  QTest::keyClicks(&edit, QStringLiteral("123456"));
  EXPECT_EQ(edit.Text(), QStringLiteral("12:34:56"));
  // Letters, blanks and further digits past the end change nothing.
  QTest::keyClicks(&edit, QStringLiteral("a 7"));
  EXPECT_EQ(edit.Text(), QStringLiteral("12:34:56"));
  // Backspace blanks the digit before the caret, stepping over a colon.
  edit.setCursorPosition(6);
  QTest::keyClick(&edit, Qt::Key_Backspace);
  EXPECT_EQ(edit.Text(), QStringLiteral("12:30:56"));
  EXPECT_EQ(edit.cursorPosition(), 4);
  edit.setCursorPosition(0);
  QTest::keyClick(&edit, Qt::Key_Delete);
  EXPECT_EQ(edit.Text(), QStringLiteral("02:30:56"));
  edit.DeleteKeyEnabled = false;
  QTest::keyClick(&edit, Qt::Key_Delete);
  EXPECT_EQ(edit.Text(), QStringLiteral("02:30:56"));
}

TEST(TimeEdit, TypingOverASelectionBlanksItFirst) {
  TMaskTimeEdit edit;
  edit.SetText(QStringLiteral("12:34:56"));
  edit.selectAll();
  QTest::keyClicks(&edit, QStringLiteral("7"));
  EXPECT_EQ(edit.Text(), QStringLiteral("70:00:00"));
}

TEST(TimeEdit, SetTextKeepsTheCaretAndFiresChangeOnlyOnChange) {
  TMaskTimeEdit edit;
  QSignalSpy changes(&edit, &TMaskTimeEdit::Change);
  edit.setCursorPosition(4);
  edit.SetText(QStringLiteral("1:2:3"));
  EXPECT_EQ(edit.Text(), QStringLiteral("01:02:03"));
  EXPECT_EQ(edit.cursorPosition(), 4);
  edit.SetText(QStringLiteral("01:02:03"));
  EXPECT_EQ(changes.count(), 1);
}

TEST(RxSpinEdit, HasNoLimitsAndSignalsOnlyRealChanges) {
  TRxSpinEdit spin;
  QSignalSpy changes(&spin, &TRxSpinEdit::Change);
  spin.SetValue(-5);
  spin.SetValue(-5);
  spin.SetValue(100000);
  EXPECT_EQ(spin.Value(), 100000);
  EXPECT_EQ(changes.count(), 2);
  spin.stepUp();
  EXPECT_EQ(spin.Value(), 100001);
}
