#include "gui/widgets/Calendar.h"
#include "base/Errors.h"

#include "TestHelpers.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

TEST(Calendar, WeeksStartOnSunday) {
  TCalendar calendar;
  EXPECT_EQ(calendar.firstDayOfWeek(), Qt::Sunday);
}

TEST(Calendar, SettingTheDateDropsTheTimeShowsItAndSignals) {
  TCalendar calendar;
  QSignalSpy changes(&calendar, &TCalendar::Change);
  calendar.SetCalendarDate(At(2026, 3, 15, 13, 30));
  EXPECT_EQ(calendar.CalendarDate(), At(2026, 3, 15));
  EXPECT_EQ(calendar.selectedDate(), QDate(2026, 3, 15));
  EXPECT_EQ(changes.count(), 1);
}

TEST(Calendar, IgnoresOutOfRangeAndUnchangedValuesWithoutEvent) {
  TCalendar calendar;
  calendar.SetCalendarDate(At(2026, 4, 10));
  QSignalSpy changes(&calendar, &TCalendar::Change);
  calendar.SetYear(0);
  calendar.SetYear(2026);
  calendar.SetMonth(13);
  calendar.SetMonth(0);
  calendar.SetDay(31); // April has 30 days
  calendar.SetDay(-1);
  calendar.SetDay(10);
  EXPECT_EQ(calendar.CalendarDate(), At(2026, 4, 10));
  EXPECT_EQ(changes.count(), 0);
  calendar.SetDay(30);
  calendar.SetMonth(6);
  calendar.SetYear(2027);
  EXPECT_EQ(calendar.CalendarDate(), At(2027, 6, 30));
  EXPECT_EQ(changes.count(), 3);
}

TEST(Calendar, AMonthWithoutTheDayIsRefusedWithTheDateEncodingError) {
  TCalendar calendar;
  calendar.SetCalendarDate(At(2026, 1, 31));
  QSignalSpy changes(&calendar, &TCalendar::Change);
  try {
    calendar.SetMonth(2);
    FAIL() << "31 February was accepted";
  } catch (const EConvertError &error) {
    EXPECT_EQ(error.Message(), QStringLiteral("Ungültiges Argument für Codierung des Datums"));
  }
  EXPECT_EQ(calendar.CalendarDate(), At(2026, 1, 31));
  EXPECT_EQ(changes.count(), 0);
  // 29 February exists in leap years only.
  calendar.SetCalendarDate(At(2024, 2, 29));
  EXPECT_THROW(calendar.SetYear(2025), EConvertError);
  EXPECT_EQ(calendar.CalendarDate(), At(2024, 2, 29));
  EXPECT_THROW(calendar.SetYear(10000), EConvertError);
}

TEST(Calendar, ClickingADaySetsTheDate) {
  TCalendar calendar;
  calendar.SetCalendarDate(At(2026, 5, 1));
  QSignalSpy changes(&calendar, &TCalendar::Change);
  calendar.setSelectedDate(QDate(2026, 5, 20)); // what a click on the 20th does
  EXPECT_EQ(calendar.CalendarDate(), At(2026, 5, 20));
  EXPECT_EQ(changes.count(), 1);
}
