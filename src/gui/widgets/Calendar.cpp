#include "gui/widgets/Calendar.h"

#include <algorithm>

TCalendar::TCalendar(QWidget *parent) : QCalendarWidget(parent) {
  setFirstDayOfWeek(Qt::Sunday);
  setGridVisible(false);
  setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
  setHorizontalHeaderFormat(QCalendarWidget::ShortDayNames);
  setMinimumDate(QDate(FirstYear, 1, 1));
  setMaximumDate(QDate(LastYear, 12, 31));
  const QDate today = QDate::currentDate();
  FDate = EncodeDate(today.year(), today.month(), today.day());
  Show();
  connect(this, &QCalendarWidget::selectionChanged, this, &TCalendar::UserSelected);
  connect(this, &QCalendarWidget::currentPageChanged, this, &TCalendar::UserPaged);
}

void TCalendar::SetCalendarDate(TDateTime date) {
  FDate = DateOf(date);
  Show();
  emit Change();
}

void TCalendar::SetDateParts(int year, int month, int day) {
  year = std::clamp(year, FirstYear, LastYear);
  month = std::clamp(month, 1, 12);
  day = std::clamp(day, 1, DaysInMonth(year, month));
  const TDateTime value = EncodeDate(year, month, day);
  if (value == FDate)
    return;
  FDate = value;
  Show();
  emit Change();
}

void TCalendar::Show() {
  FShowing = true;
  const TDateParts parts = DecodeDate(FDate);
  const QDate date(parts.Year, parts.Month, parts.Day);
  setSelectedDate(date);
  setCurrentPage(date.year(), date.month());
  FShowing = false;
}

void TCalendar::UserSelected() {
  if (FShowing)
    return;
  const QDate date = selectedDate();
  if (!date.isValid())
    return;
  SetDateParts(date.year(), date.month(), date.day());
}

void TCalendar::UserPaged(int year, int month) {
  // Paging with the arrows or the month and year of the title takes the day along, so the
  // page shown is always the month of the date held.
  if (FShowing)
    return;
  // A click on a day of the next or previous month pages there with that day selected.
  const QDate selected = selectedDate();
  const bool onPage = selected.year() == year && selected.month() == month;
  SetDateParts(year, month, onPage ? selected.day() : Day());
}
