#include "gui/widgets/Calendar.h"

#include "TestHelpers.h"

#include <QAbstractItemView>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

// Clicks the cell of the calendar's page that shows day number day of the month shown.
bool ClickDay(TCalendar &calendar, int day) {
  auto *view = calendar.findChild<QAbstractItemView *>(QStringLiteral("qt_calendar_calendarview"));
  if (!view)
    return false;
  const QAbstractItemModel *model = view->model();
  // Days of the neighbouring months share the page; the month's own days are the ones in
  // the row range where the number runs 1, 2, ... without a gap.
  bool inMonth = false;
  for (int row = 0; row < model->rowCount(); ++row)
    for (int col = 0; col < model->columnCount(); ++col) {
      const QModelIndex index = model->index(row, col);
      const int number = index.data().toInt();
      if (number == 1)
        inMonth = !inMonth;
      if (inMonth && number == day) {
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
        return true;
      }
    }
  return false;
}

} // namespace

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
  EXPECT_EQ(calendar.yearShown(), 2026);
  EXPECT_EQ(calendar.monthShown(), 3);
  EXPECT_EQ(changes.count(), 1);
}

TEST(Calendar, ADayTheMonthLacksBecomesItsLastDay) {
  TCalendar calendar;
  calendar.SetCalendarDate(At(2026, 1, 31));
  QSignalSpy changes(&calendar, &TCalendar::Change);
  calendar.SetDateParts(2026, 2, 31);
  EXPECT_EQ(calendar.CalendarDate(), At(2026, 2, 28));
  EXPECT_EQ(calendar.selectedDate(), QDate(2026, 2, 28));
  calendar.SetDateParts(2026, 4, 31);
  EXPECT_EQ(calendar.CalendarDate(), At(2026, 4, 30));
  // 29 February exists in leap years only.
  calendar.SetDateParts(2024, 2, 29);
  EXPECT_EQ(calendar.CalendarDate(), At(2024, 2, 29));
  calendar.SetDateParts(2025, 2, 29);
  EXPECT_EQ(calendar.CalendarDate(), At(2025, 2, 28));
  EXPECT_EQ(changes.count(), 4);
  // The date it already holds fires nothing.
  calendar.SetDateParts(2025, 2, 30);
  EXPECT_EQ(changes.count(), 4);
}

TEST(Calendar, FieldsOutsideTheirRangeAreHeldToTheirLimits) {
  TCalendar calendar;
  calendar.SetDateParts(0, 0, 0);
  EXPECT_EQ(calendar.CalendarDate(), At(1, 1, 1));
  calendar.SetDateParts(10000, 13, 40);
  EXPECT_EQ(calendar.CalendarDate(), At(9999, 12, 31));
  calendar.SetDateParts(2026, -3, -1);
  EXPECT_EQ(calendar.CalendarDate(), At(2026, 1, 1));
}

// The arrows of the title page through the months; the date goes along, so the page shown
// and the date held never differ.
TEST(Calendar, PagingToAnotherMonthTakesTheDayAlong) {
  TCalendar calendar;
  calendar.show();
  calendar.SetCalendarDate(At(2026, 1, 31));
  QSignalSpy changes(&calendar, &TCalendar::Change);
  auto *next = calendar.findChild<QToolButton *>(QStringLiteral("qt_calendar_nextmonth"));
  auto *previous = calendar.findChild<QToolButton *>(QStringLiteral("qt_calendar_prevmonth"));
  ASSERT_NE(next, nullptr);
  ASSERT_NE(previous, nullptr);
  QTest::mouseClick(next, Qt::LeftButton);
  EXPECT_EQ(calendar.CalendarDate(), At(2026, 2, 28));
  EXPECT_EQ(calendar.monthShown(), 2);
  QTest::mouseClick(next, Qt::LeftButton);
  EXPECT_EQ(calendar.CalendarDate(), At(2026, 3, 28));
  QTest::mouseClick(previous, Qt::LeftButton);
  QTest::mouseClick(previous, Qt::LeftButton);
  QTest::mouseClick(previous, Qt::LeftButton);
  EXPECT_EQ(calendar.CalendarDate(), At(2025, 12, 28));
  EXPECT_EQ(calendar.yearShown(), 2025);
  EXPECT_EQ(changes.count(), 5);
}

TEST(Calendar, ClickingADaySetsTheDate) {
  TCalendar calendar;
  calendar.show();
  calendar.SetCalendarDate(At(2026, 5, 1));
  QSignalSpy changes(&calendar, &TCalendar::Change);
  ASSERT_TRUE(ClickDay(calendar, 20));
  EXPECT_EQ(calendar.CalendarDate(), At(2026, 5, 20));
  EXPECT_EQ(changes.count(), 1);
}
