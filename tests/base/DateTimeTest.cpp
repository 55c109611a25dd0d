#include "TestHelpers.h"
#include "base/Errors.h"
#include "platform/Clock.h"

#include <QLocale>
#include <gtest/gtest.h>

TEST(DateTime, EncodesDaysSince30December1899) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
  EXPECT_EQ(EncodeDate(2000, 1, 1), 36526.0);
  EXPECT_EQ(EncodeDate(1992, 4, 12), 33706.0);
  EXPECT_EQ(EncodeDate(1899, 12, 29), -1.0);
  EXPECT_DOUBLE_EQ(EncodeTime(12, 0, 0, 0), 0.5);
  EXPECT_DOUBLE_EQ(EncodeTime(0, 0, 0, 100), RunMark);
}

TEST(DateTime, RefusesDatesAndTimesThatDoNotExist) {
  EXPECT_THROW(EncodeDate(2026, 2, 29), EConvertError);
  EXPECT_THROW(EncodeDate(2026, 13, 1), EConvertError);
  EXPECT_THROW(EncodeDate(0, 1, 1), EConvertError);
  EXPECT_THROW(EncodeTime(24, 0, 0, 0), EConvertError);
  try {
    EncodeDate(2026, 4, 31);
    FAIL();
  } catch (const EConvertError &error) {
    EXPECT_EQ(error.Message(), QStringLiteral("Ungültiges Argument für Codierung des Datums"));
  }
  TDateTime value = 7;
  EXPECT_FALSE(TryEncodeDate(2025, 2, 29, value));
  EXPECT_EQ(value, 7);
}

TEST(DateTime, NegativeValuesCountTheTimeForwardFromTheirDay) {
  // −1.25 is 29 December 1899, 06:00, as in OLE Automation dates.
  const TDateParts date = DecodeDate(-1.25);
  EXPECT_EQ(date.Year, 1899);
  EXPECT_EQ(date.Month, 12);
  EXPECT_EQ(date.Day, 29);
  EXPECT_EQ(DecodeTime(-1.25).Hour, 6);
  EXPECT_DOUBLE_EQ(ComposeDateTime(-1, 0.25), -1.25);
  EXPECT_DOUBLE_EQ(At(1899, 12, 29, 6), -1.25);
}

TEST(DateTime, DecodesMillisecondsAndRoundsUpToTheNextDay) {
  const TTimeParts time = DecodeTime(At(2026, 12, 6, 22, 50, 7, 123));
  EXPECT_EQ(time.Hour, 22);
  EXPECT_EQ(time.Minute, 50);
  EXPECT_EQ(time.Second, 7);
  EXPECT_EQ(time.MSec, 123);
  // A fraction a hair below midnight rounds to the next day, not to hour 24.
  const TDateTime almost = EncodeDate(2026, 12, 6) + (MSecsPerDay - 0.2) / MSecsPerDay;
  EXPECT_EQ(DecodeDate(almost).Day, 7);
  EXPECT_EQ(DecodeTime(almost).Hour, 0);
}

TEST(DateTime, WeekdaysRunFromSundayOneToSaturdaySeven) {
  EXPECT_EQ(DayOfWeek(EncodeDate(1899, 12, 30)), 7); // Saturday
  EXPECT_EQ(DayOfWeek(EncodeDate(2026, 12, 6)), 1);  // Sunday
  EXPECT_EQ(DayOfWeek(EncodeDate(2026, 12, 7)), 2);  // Monday
  EXPECT_EQ(DayOfWeek(At(2026, 12, 12, 23, 59)), 7); // Saturday
  EXPECT_EQ(DayOfWeek(EncodeDate(1899, 12, 24)), 1); // Sunday, a negative value
}

TEST(DateTime, GermanTextsUseFourDigitYearsAndNoTimeZone) {
  EXPECT_EQ(DateText(At(2026, 12, 6, 22, 50)), QStringLiteral("06.12.2026"));
  EXPECT_EQ(TimeText(At(2026, 12, 6, 22, 50)), QStringLiteral("22:50:00"));
  EXPECT_EQ(DateTimeText(At(2026, 12, 6, 22, 50, 0, 100)), QStringLiteral("06.12.2026 22:50:00"));
  // Exactly at midnight the time is left out; a tenth of a second later it is not.
  EXPECT_EQ(DateTimeText(At(2026, 12, 1)), QStringLiteral("01.12.2026"));
  EXPECT_EQ(DateTimeText(At(2026, 12, 1, 0, 0, 0, 100)), QStringLiteral("01.12.2026 00:00:00"));
}

TEST(DateTime, TextsReadBackAsTheSameMoment) {
  const TDateTime moment = At(2026, 12, 6, 22, 50, 7);
  EXPECT_DOUBLE_EQ(StrToDate(DateText(moment)), EncodeDate(2026, 12, 6));
  EXPECT_NEAR(StrToTime(TimeText(moment)), TimeOf(moment), MsTolerance);
  EXPECT_NEAR(StrToDateTime(DateTimeText(moment)), moment, MsTolerance);
  EXPECT_DOUBLE_EQ(StrToDateTime(DateTimeText(At(2026, 12, 1))), At(2026, 12, 1));
  EXPECT_THROW(StrToDate(QStringLiteral("32.13.2026")), EConvertError);
  EXPECT_THROW(StrToDateTime(QStringLiteral("heute")), EConvertError);
}

TEST(DateTime, OtherLocalesRoundTripToo) {
  const QLocale saved;
  for (const QLocale &locale :
       {QLocale(QLocale::English, QLocale::UnitedStates), QLocale(QLocale::French, QLocale::France),
        QLocale(QLocale::Japanese, QLocale::Japan)}) {
    QLocale::setDefault(locale);
    const TDateTime moment = At(2031, 3, 9, 14, 5, 30);
    EXPECT_NEAR(StrToDateTime(DateTimeText(moment)), moment, MsTolerance)
        << locale.name().toStdString() << " " << DateTimeText(moment).toStdString();
    EXPECT_TRUE(DateText(moment).contains(QStringLiteral("2031")));
  }
  QLocale::setDefault(saved);
}

TEST(DateTime, NowCarriesMillisecondsAndFollowsTheWallClock) {
  const QDateTime before = QDateTime::currentDateTime();
  const TDateTime now = Now();
  const QDateTime after = QDateTime::currentDateTime();
  EXPECT_GE(now, DateTimeFromQDateTime(before) - MsTolerance);
  EXPECT_LE(now, DateTimeFromQDateTime(after) + MsTolerance);
  EXPECT_EQ(QDateTimeFromDateTime(At(2026, 7, 1, 8, 0, 0, 250)),
            QDateTime(QDate(2026, 7, 1), QTime(8, 0, 0, 250)));
}

// Every 61st day of the calendar, leap days and its first and last day among them, decodes
// to the date Qt's calendar gives it and encodes back to the same day.
TEST(DateTime, DecodesEveryDayOfTheCalendarAsQtDoes) {
  std::vector<TDateTime> days{EncodeDate(1, 1, 1), EncodeDate(9999, 12, 31),
                              EncodeDate(2000, 2, 29), EncodeDate(1900, 3, 1),
                              EncodeDate(1899, 12, 30) - 0.75};
  for (TDateTime day = EncodeDate(1, 1, 1); day < EncodeDate(9999, 12, 31); day += 61)
    days.push_back(day);
  for (const TDateTime day : days) {
    const QDate expected = QDateTimeFromDateTime(day).date();
    const TDateParts parts = DecodeDate(day);
    ASSERT_EQ(QDate(parts.Year, parts.Month, parts.Day), expected) << day;
    ASSERT_EQ(EncodeDate(parts.Year, parts.Month, parts.Day), DateOf(day)) << day;
  }
}
