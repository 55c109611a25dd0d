#include "gui/widgets/TimeEdit.h"
#include "base/ActionEntry.h"
#include "gui/widgets/RxSpinEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QKeySequence>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// The field's text has the shape hh:mm:ss and converts to milliseconds.
::testing::AssertionResult HasTimeShape(const TMaskTimeEdit &edit) {
  static const QRegularExpression shape(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d$"));
  if (!shape.match(edit.Text()).hasMatch())
    return ::testing::AssertionFailure()
           << "the field shows \"" << edit.Text().toStdString() << "\"";
  try {
    TimeTextToMs(edit.Text());
  } catch (const std::exception &error) {
    return ::testing::AssertionFailure() << error.what();
  }
  return ::testing::AssertionSuccess();
}

// Presses a key combination as the keyboard sends it.
void Press(QWidget *widget, const QKeySequence &keys) {
  const QKeyCombination combination = keys[0];
  QTest::keyClick(widget, combination.key(), combination.keyboardModifiers());
}

} // namespace

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
  // A zero typed over a digit is a change too.
  edit.setCursorPosition(1);
  QTest::keyClick(&edit, Qt::Key_0);
  EXPECT_EQ(edit.Text(), QStringLiteral("00:02:03"));
  EXPECT_EQ(changes.count(), 2);
}

// Every key combination the platform binds to an editing command, at every caret position,
// with and without a selection: the field keeps its shape and its text still converts.
TEST(TimeEdit, EveryEditingKeyOfThePlatformKeepsTheShape) {
  const QList<QKeySequence::StandardKey> commands = {QKeySequence::Backspace,
                                                     QKeySequence::Delete,
                                                     QKeySequence::DeleteEndOfLine,
                                                     QKeySequence::DeleteStartOfWord,
                                                     QKeySequence::DeleteEndOfWord,
                                                     QKeySequence::DeleteCompleteLine,
                                                     QKeySequence::Cut,
                                                     QKeySequence::Paste,
                                                     QKeySequence::Undo,
                                                     QKeySequence::Redo,
                                                     QKeySequence::InsertLineSeparator,
                                                     QKeySequence::InsertParagraphSeparator};
  QApplication::clipboard()->setText(QStringLiteral("x7:-"));
  int pressed = 0;
  for (const QKeySequence::StandardKey command : commands)
    for (const QKeySequence &keys : QKeySequence::keyBindings(command))
      for (int caret = 0; caret <= 8; ++caret)
        for (const bool select : {false, true}) {
          TMaskTimeEdit edit;
          edit.SetText(QStringLiteral("12:34:56"));
          QTest::keyClicks(&edit, QStringLiteral("9")); // something to undo
          edit.setCursorPosition(caret);
          if (select)
            edit.setSelection(caret, 8 - caret);
          Press(&edit, keys);
          EXPECT_TRUE(HasTimeShape(edit)) << keys.toString().toStdString() << " at " << caret;
          ++pressed;
        }
  EXPECT_GT(pressed, 0);
}

// Ctrl+K deletes to the end of the line on X11; in the time field it leaves zeros.
TEST(TimeEdit, CtrlKOnX11LeavesZerosToTheEnd) {
  if (!QKeySequence::keyBindings(QKeySequence::DeleteEndOfLine)
           .contains(QKeySequence(Qt::CTRL | Qt::Key_K)))
    GTEST_SKIP() << "this platform has no X11 key bindings; run under an X server (xcb)";
  TMaskTimeEdit edit;
  edit.SetText(QStringLiteral("12:34:56"));
  edit.setCursorPosition(4);
  QTest::keyClick(&edit, Qt::Key_K, Qt::ControlModifier);
  EXPECT_EQ(edit.Text(), QStringLiteral("12:30:00"));
  EXPECT_EQ(TimeTextToMs(edit.Text()), (12 * 3600 + 30 * 60) * 1000LL);
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

// The digits of a number being typed are not values of their own: Change comes when the
// number is finished (Enter), while a step arrives at once.
TEST(RxSpinEdit, TypedNumbersChangeTheValueOnlyWhenFinished) {
  TRxSpinEdit spin;
  spin.SetValue(12);
  QSignalSpy changes(&spin, &TRxSpinEdit::Change);
  spin.selectAll();
  QTest::keyClicks(&spin, QStringLiteral("11"));
  EXPECT_EQ(changes.count(), 0);
  QTest::keyClick(&spin, Qt::Key_Return);
  EXPECT_EQ(spin.Value(), 11);
  EXPECT_EQ(changes.count(), 1);
  QTest::keyClick(&spin, Qt::Key_Up);
  EXPECT_EQ(spin.Value(), 12);
  EXPECT_EQ(changes.count(), 2);
}
