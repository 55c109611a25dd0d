#include "base/ActionEntry.h"
#include "TestHelpers.h"
#include "base/Errors.h"

#include <gtest/gtest.h>

TEST(TimeText, TwoDigitsPadsOnlyBelowTen) {
  EXPECT_EQ(TwoDigits(7), QStringLiteral("07"));
  EXPECT_EQ(TwoDigits(0), QStringLiteral("00"));
  EXPECT_EQ(TwoDigits(12), QStringLiteral("12"));
  EXPECT_EQ(TwoDigits(123), QStringLiteral("123"));
}

TEST(TimeText, MillisecondsBecomeHoursMinutesSeconds) {
  EXPECT_EQ(MsToTimeText(0), QStringLiteral("00:00:00"));
  EXPECT_EQ(MsToTimeText(1000), QStringLiteral("00:00:01"));
  EXPECT_EQ(MsToTimeText(59999), QStringLiteral("00:00:59"));
  EXPECT_EQ(MsToTimeText(3600000), QStringLiteral("01:00:00"));
  // Hours are not reduced modulo 24.
  EXPECT_EQ(MsToTimeText(90000000), QStringLiteral("25:00:00"));
  EXPECT_EQ(MsToTimeText(360000000), QStringLiteral("100:00:00"));
}

TEST(TimeText, TimeTextsBecomeMilliseconds) {
  EXPECT_EQ(TimeTextToMs(QStringLiteral("00:01:00")), 60000);
  EXPECT_EQ(TimeTextToMs(QStringLiteral("01:02:03")), 3723000);
  EXPECT_EQ(TimeTextToMs(QStringLiteral("  :  :  ")), 0);
  EXPECT_EQ(TimeTextToMs(QStringLiteral("  :05:  ")), 300000);
  EXPECT_EQ(TimeTextToMs(QStringLiteral("120")), 0);
  EXPECT_EQ(TimeTextToMs(QString()), 0);
  // No field is checked against its range.
  EXPECT_EQ(TimeTextToMs(QStringLiteral("00:99:00")), 5940000);
  EXPECT_EQ(TimeTextToMs(QStringLiteral("100:00:00")), 360000000);
}

TEST(TimeText, AFieldThatIsNoNumberRaisesAConvertError) {
  EXPECT_THROW(TimeTextToMs(QStringLiteral("ab:00:00")), EConvertError);
  EXPECT_THROW(TimeTextToMs(QStringLiteral("00:x1:00")), EConvertError);
  EXPECT_THROW(TimeTextToMs(QStringLiteral("00:00:")), EConvertError);
}

TEST(TimeText, RoundTripDropsOnlyTheMilliseconds) {
  for (std::int64_t ms : {0LL, 999LL, 1000LL, 61001LL, 3599999LL, 86399999LL, 359999999LL})
    EXPECT_EQ(TimeTextToMs(MsToTimeText(ms)), ms / 1000 * 1000) << ms;
}

TEST(TimePointTexts, ShowTheKindInGerman) {
  const TDateTime monday = At(2026, 12, 7, 8, 0);
  EXPECT_EQ(TimePointText(tpFrequency, monday), QStringLiteral("Frequenz"));
  EXPECT_EQ(TimePointText(tpOnce, monday), QStringLiteral("07.12.2026"));
  EXPECT_EQ(TimePointText(tpDaily, monday), QStringLiteral("Täglich"));
  EXPECT_EQ(TimePointText(tpWeekly, monday), QStringLiteral("Montag"));
  EXPECT_EQ(TimePointText(tpWeekly, At(2026, 12, 6)), QStringLiteral("Sonntag"));
  EXPECT_EQ(TimePointText(tpMonthly, At(2026, 3, 5)), QStringLiteral("05. Tag"));
  EXPECT_EQ(TimePointText(tpMonthly, At(2026, 3, 1)), QStringLiteral("01. Tag"));
  EXPECT_EQ(TimePointText(tpYearly, At(2026, 3, 5)), QStringLiteral("März"));
  EXPECT_EQ(TimePointText(static_cast<TTimePoint>(6), monday), QString());
  EXPECT_EQ(TimePointText(static_cast<TTimePoint>(255), monday), QString());
}

TEST(ActionEntry, ActionTextIsCutTo255CharactersWithoutSplittingOne) {
  TActionEntry entry;
  entry.Action = QString(300, u'x');
  EXPECT_EQ(entry.Action.Text().size(), 255);
  // 254 letters and then a character outside the BMP (two UTF-16 units): it stays whole.
  const QString clef = QString::fromUcs4(U"\U0001D11E");
  entry.Action = QString(254, u'a') + clef + QStringLiteral("bc");
  EXPECT_EQ(entry.Action.Text().size(), 256);
  EXPECT_TRUE(entry.Action.Text().endsWith(clef));
  entry.Action = QString(255, u'a') + clef;
  EXPECT_EQ(entry.Action.Text(), QString(255, u'a'));
  // Umlauts are single characters.
  entry.Action = QString(255, u'ä') + u'ö';
  EXPECT_EQ(entry.Action.Text(), QString(255, u'ä'));
}

TEST(ActionEntry, CopiesAreWholeAndIndependent) {
  TActionEntry entry = NewActionEntry(tpOnce, At(2026, 12, 8, 10), QStringLiteral("\"Hallo\""));
  entry.SuddenStart = true;
  entry.DueFlag = true;
  TActionEntry copy = entry;
  EXPECT_EQ(copy, entry);
  copy.Action = QStringLiteral("anders");
  copy.LastDate = 1;
  EXPECT_EQ(entry.Action.Text(), QStringLiteral("\"Hallo\""));
  EXPECT_NE(copy, entry);
  // A new entry lies 0.1 day (2 h 24 min) before its FirstDate.
  EXPECT_NEAR(entry.LastDate, At(2026, 12, 8, 7, 36), MsTolerance);
  // A zeroed entry is "no action".
  EXPECT_TRUE(TActionEntry{}.Action.IsEmpty());
  EXPECT_EQ(TActionEntry{}.TimePoint, tpFrequency);
}

// Weekday lists as users and files write them, their canonical file text and display text.
TEST(Weekdays, ListsAndRangesParseAndShowBothWays) {
  const struct {
    const char *text;
    int mask; // -1: refused
    const char *file;
    const char *shown;
  } cases[] = {
      {"Mo,Di,Mi,Do,Fr", 0x1F, "Mo,Di,Mi,Do,Fr", "Mo–Fr"},
      {"mo-fr", 0x1F, "Mo,Di,Mi,Do,Fr", "Mo–Fr"},
      {"Mo – Fr", 0x1F, "Mo,Di,Mi,Do,Fr", "Mo–Fr"},
      {"Mo, Mi, Fr", 0x15, "Mo,Mi,Fr", "Mo, Mi, Fr"},
      {"SA,so", 0x60, "Sa,So", "Sa–So"},
      {"Fr-Mo", 0x71, "Mo,Fr,Sa,So", "Mo, Fr–So"},
      {"Mo-Mi Fr", 0x17, "Mo,Di,Mi,Fr", "Mo–Mi, Fr"},
      {"Mo-So", 0x7F, "Mo,Di,Mi,Do,Fr,Sa,So", "Mo–So"},
      {"", -1, "", ""},
      {"Mon", -1, "", ""},
      {"Mo-", -1, "", ""},
      {"Mo-Di-Mi", -1, "", ""},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.text);
    bool ok = true;
    const std::uint8_t mask = ParseWeekdays(QString::fromUtf8(c.text), &ok);
    EXPECT_EQ(ok, c.mask >= 0);
    EXPECT_EQ(mask, c.mask >= 0 ? c.mask : 0);
    EXPECT_EQ(WeekdaysText(mask), QString::fromUtf8(c.file));
    EXPECT_EQ(WeekdaysDisplayText(mask), QString::fromUtf8(c.shown));
  }
  // 7 December 2026 is a Monday.
  EXPECT_EQ(WeekdayBit(At(2026, 12, 7, 8, 0)), 0x01);
  EXPECT_EQ(WeekdayBit(At(2026, 12, 13)), 0x40);
  // The time-point text names a daily entry's days unless it runs every day.
  EXPECT_EQ(TimePointText(tpDaily, At(2026, 12, 7), 0x1F), QStringLiteral("Täglich Mo–Fr"));
  EXPECT_EQ(TimePointText(tpDaily, At(2026, 12, 7), AllWeekdays), QStringLiteral("Täglich"));
}

// Durations are strict: what the file and the command line take, and what they refuse.
TEST(Durations, OnlyWholeHoursMinutesSecondsInRangeAreTaken) {
  const struct {
    const char *text;
    std::int64_t ms; // -1: refused
  } cases[] = {{"01:30:00", 5400000},
               {"2:05", 7500000},
               {" 00:00:59 ", 59000},
               {"99999:59:59", MaxDurationMs},
               {"00:60:00", -1},
               {"00:00:60", -1},
               {"100000:00:00", -1},
               {"-1:00:00", -1},
               {"1:00:00.5", -1},
               {"90", -1},
               {"", -1}};
  for (const auto &c : cases) {
    bool ok = false;
    const std::int64_t ms = ParseDurationText(QString::fromUtf8(c.text), &ok);
    EXPECT_EQ(ok, c.ms >= 0) << c.text;
    EXPECT_EQ(ms, c.ms >= 0 ? c.ms : 0) << c.text;
  }
}
