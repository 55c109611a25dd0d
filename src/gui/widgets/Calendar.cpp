#include "gui/widgets/Calendar.h"

TCalendar::TCalendar(QWidget *parent) : QCalendarWidget(parent) {
  setFirstDayOfWeek(Qt::Sunday);
  setGridVisible(false);
  setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
  setHorizontalHeaderFormat(QCalendarWidget::ShortDayNames);
  setMinimumDate(QDate(1, 1, 1));
  setMaximumDate(QDate(9999, 12, 31));
  const QDate today = QDate::currentDate();
  FDate = EncodeDate(today.year(), today.month(), today.day());
  Show();
  connect(this, &QCalendarWidget::selectionChanged, this, &TCalendar::UserSelected);
}

void TCalendar::SetCalendarDate(TDateTime date) {
  FDate = DateOf(date);
  Show();
  emit Change();
}

void TCalendar::SetYear(int year) {
  if (year < 1 || year == Year())
    return;
  Rebuild(year, Month(), Day());
}

void TCalendar::SetMonth(int month) {
  if (month < 1 || month > 12 || month == Month())
    return;
  Rebuild(Year(), month, Day());
}

void TCalendar::SetDay(int day) {
  if (day < 1 || day == Day() || day > DaysInMonth(Year(), Month()))
    return;
  Rebuild(Year(), Month(), day);
}

void TCalendar::Rebuild(int year, int month, int day) {
  FDate = EncodeDate(year, month, day); // raises before anything changes
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
  const TDateTime value = EncodeDate(date.year(), date.month(), date.day());
  if (value == FDate)
    return;
  FDate = value;
  emit Change();
}
