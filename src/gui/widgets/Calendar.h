// TCalendar: a month calendar whose weeks start on Sunday, holding one date that it changes
// only when told to or when the user clicks a day. Year, month and day can be set one at a
// time; a date that does not exist is refused with the runtime's date-encoding error.
#pragma once

#include "base/DateTime.h"

#include <QCalendarWidget>

// Month calendar over QCalendarWidget with the date rules of the edit dialog.
class TCalendar : public QCalendarWidget {
  Q_OBJECT
public:
  explicit TCalendar(QWidget *parent = nullptr);

  // The date as a whole day number.
  TDateTime CalendarDate() const { return FDate; }
  // Sets the date (its time of day dropped), shows it and fires Change.
  void SetCalendarDate(TDateTime date);

  int Year() const { return DecodeDate(FDate).Year; }
  int Month() const { return DecodeDate(FDate).Month; }
  int Day() const { return DecodeDate(FDate).Day; }
  // Each of these ignores, without an event, a value below 1, a month above 12, a day above
  // the length of the shown month and the value the date already has. Otherwise the date
  // is rebuilt from year, month and day; a date that does not exist (31 February) raises
  // EConvertError "Ungültiges Argument für Codierung des Datums" and keeps the date.
  void SetYear(int year);
  void SetMonth(int month);
  void SetDay(int day);

signals:
  // The date changed (set by code or by a click on a day).
  void Change();

private:
  void Rebuild(int year, int month, int day);
  void Show();
  void UserSelected();

  TDateTime FDate = 0;
  bool FShowing = false;
};
