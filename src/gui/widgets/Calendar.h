// TCalendar: a month calendar whose weeks start on Sunday, holding one date that it changes
// only when told to or when the user picks a day or another month. Every date it is given
// is made one that exists, so it never refuses a date and never shows another than it holds.
#pragma once

#include "base/DateTime.h"

#include <QCalendarWidget>

// Month calendar over QCalendarWidget with the date rules of the edit dialog.
class TCalendar : public QCalendarWidget {
  Q_OBJECT
public:
  // The years a date can have.
  static constexpr int FirstYear = 1;
  static constexpr int LastYear = 9999;

  explicit TCalendar(QWidget *parent = nullptr);

  // The date as a whole day number.
  TDateTime CalendarDate() const { return FDate; }
  // Sets the date (its time of day dropped), shows it and fires Change.
  void SetCalendarDate(TDateTime date);

  int Year() const { return DecodeDate(FDate).Year; }
  int Month() const { return DecodeDate(FDate).Month; }
  int Day() const { return DecodeDate(FDate).Day; }
  // Sets the date from its three fields in one step: the year is held to FirstYear..LastYear,
  // the month to 1..12, and a day the month lacks becomes the month's last day (31 April is
  // 30 April, 29 February 2025 is 28 February). Fires Change only when the date changes.
  void SetDateParts(int year, int month, int day);

signals:
  // The date changed (set by code, by a click on a day or by paging to another month).
  void Change();

private:
  void Show();
  void UserSelected();
  void UserPaged(int year, int month);

  TDateTime FDate = 0;
  bool FShowing = false;
};
