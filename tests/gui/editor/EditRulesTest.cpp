#include "gui/editor/EditRules.h"

#include <gtest/gtest.h>

namespace {

// Runs the check again after every correction, as the field's change event does.
QString Settled(QString text, bool limitHours, int *passes = nullptr) {
  int count = 0;
  for (QString next = CorrectedTimeText(text, limitHours); next != text;
       next = CorrectedTimeText(text, limitHours)) {
    text = next;
    ++count;
  }
  if (passes)
    *passes = count;
  return text;
}

} // namespace

TEST(EditRules, TimeFieldEndsInRangeAfterRepeatedPasses) {
  int passes = 0;
  EXPECT_EQ(Settled(QStringLiteral("24:75:80"), true, &passes), QStringLiteral("23:59:59"));
  EXPECT_EQ(passes, 3);
  EXPECT_EQ(Settled(QStringLiteral("25:00:00"), true), QStringLiteral("23:00:00"));
  EXPECT_EQ(Settled(QStringLiteral("30:00:00"), true), QStringLiteral("23:00:00"));
  EXPECT_EQ(Settled(QStringLiteral("12:34:56"), true), QStringLiteral("12:34:56"));
}

TEST(EditRules, IntervalFieldLimitsMinutesAndSecondsButNotHours) {
  EXPECT_EQ(Settled(QStringLiteral("00:75:00"), false), QStringLiteral("00:59:00"));
  EXPECT_EQ(Settled(QStringLiteral("00:60:00"), false), QStringLiteral("00:59:00"));
  EXPECT_EQ(Settled(QStringLiteral("00:99:99"), false), QStringLiteral("00:59:59"));
  EXPECT_EQ(Settled(QStringLiteral("72:00:00"), false), QStringLiteral("72:00:00"));
  // Blanks read as zeros; a pair that is no number is left alone.
  EXPECT_EQ(Settled(QStringLiteral("  :7 :  "), false), QStringLiteral("00:59:00"));
  EXPECT_EQ(Settled(QStringLiteral("ab:cd:ef"), true), QStringLiteral("ab:cd:ef"));
}

TEST(EditRules, CommandsReplaceTheCommandWordAndKeepTheArguments) {
  QString text = CommandBoxText(QString(), 0, 0, 0, nullptr);
  EXPECT_EQ(text, QStringLiteral("%Copy "));
  EXPECT_EQ(CommandBoxText(text, 1, 0, 0, nullptr), QStringLiteral("%Move  "));
  EXPECT_EQ(CommandBoxText(QStringLiteral("%Copy a.txt b.txt"), 3, 0, 0, nullptr),
            QStringLiteral("%Delete  a.txt b.txt"));
  EXPECT_EQ(CommandBoxText(QStringLiteral("%Copy"), 6, 0, 0, nullptr), QStringLiteral("%Exec"));
  EXPECT_EQ(CommandBoxText(QStringLiteral("notepad.exe"), 0, 0, 0, nullptr),
            QStringLiteral("%Copy notepad.exe"));
}

TEST(EditRules, PlaceholdersReplaceOnlyTheSelection) {
  int caret = -1;
  EXPECT_EQ(CommandBoxText(QStringLiteral("backup-"), 12, 7, 0, &caret),
            QStringLiteral("backup-%Year%"));
  EXPECT_EQ(caret, 13);
  EXPECT_EQ(CommandBoxText(QStringLiteral("a XX b"), 9, 2, 2, &caret), QStringLiteral("a %Day% b"));
  EXPECT_EQ(CommandBoxItems().size(), 19);
}
