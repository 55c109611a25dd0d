// Date-time values as the whole program keeps them: a double counting days since
// 1899-12-30, the time of day as the fraction. Conversions to and from calendar fields,
// to QDateTime at the edges, and the user's locale texts of dates and times.
#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>
#include <cstdint>

// A date-time value: days since 1899-12-30 plus the fraction of the day.
using TDateTime = double;

constexpr double MSecsPerDay = 86400000.0;
// The run mark added to a recorded due point: 0.1 second.
constexpr double RunMark = 1.0 / 864000.0;

// Calendar fields of a date-time value.
struct TDateParts {
  int Year = 0, Month = 0, Day = 0;
};
struct TTimeParts {
  int Hour = 0, Minute = 0, Second = 0, MSec = 0;
};

// True for a valid Gregorian date (years 1 to 9999); sets value to its day number.
bool TryEncodeDate(int year, int month, int day, TDateTime &value);
// True when value is a moment of the years 1 to 9999, the dates EncodeDate can hold (the
// fraction rounded to whole milliseconds as DecodeDate rounds it). Never true for NaN or ±inf.
bool IsEncodableDateTime(TDateTime value);
// The day number of a date; raises EConvertError for a date that does not exist.
TDateTime EncodeDate(int year, int month, int day);
// The fraction of a day for a time of day; raises EConvertError outside 00:00:00.000-23:59:59.999.
TDateTime EncodeTime(int hour, int minute, int second, int msec);
// Joins a day number and a time fraction; for days before 1899-12-30 the time still counts
// forward from the start of that day (−1 and 0.25 give −1.25, 29 Dec 1899 06:00).
TDateTime ComposeDateTime(TDateTime date, TDateTime time);

// The whole milliseconds of a value: its day number (truncated toward zero) and the
// milliseconds since the start of that day (0 to 86 399 999).
struct TTimeStamp {
  std::int64_t Date = 0;
  int Time = 0;
};
TTimeStamp DateTimeToTimeStamp(TDateTime value);

TDateParts DecodeDate(TDateTime value);
TTimeParts DecodeTime(TDateTime value);
// The day number of the value at midnight (the time dropped).
TDateTime DateOf(TDateTime value);
// The time of day of the value, as a fraction of a day (0 to just below 1).
TDateTime TimeOf(TDateTime value);
// 1 = Sunday ... 7 = Saturday.
int DayOfWeek(TDateTime value);
// Number of days in the month, 28 to 31.
int DaysInMonth(int year, int month);

// Local wall-clock conversions, used only at the edges (clock, command line, editor).
TDateTime DateTimeFromQDateTime(const QDateTime &dateTime);
QDateTime QDateTimeFromDateTime(TDateTime value);

// The locale's short date format, its year always four digits, so every text we write
// reads back as the same date.
QString ShortDateFormat();
// The locale's long time format without the time-zone name.
QString LongTimeFormat();

// The user's locale texts of a date, a time and a date-time (time left out exactly at midnight).
QString DateText(TDateTime value);
QString TimeText(TDateTime value);
QString DateTimeText(TDateTime value);

// Read back what DateText, TimeText and DateTimeText write; raise EConvertError otherwise.
TDateTime StrToDate(const QString &text);
TDateTime StrToTime(const QString &text);
TDateTime StrToDateTime(const QString &text);
