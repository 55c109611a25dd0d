#include "base/DateTime.h"

#include "base/Errors.h"

#include <QLocale>
#include <cmath>

namespace {

// Day number of 1899-12-30 in Qt's Julian day count.
const qint64 ZeroDay = QDate(1899, 12, 30).toJulianDay();
// 1899-12-30 is day 693 899 after 0000-03-01, where the date arithmetic counts from.
constexpr std::int64_t DaysBeforeZeroDay = 693899;

// Removes every unquoted run of the given pattern letter from a Qt date/time format,
// with the blanks that separated it.
QString RemoveFormatLetter(const QString &format, QChar letter) {
  QString out;
  bool quoted = false;
  for (QChar c : format) {
    if (c == u'\'')
      quoted = !quoted;
    if (!quoted && c == letter)
      continue;
    out += c;
  }
  return out.simplified();
}

} // namespace

bool TryEncodeDate(int year, int month, int day, TDateTime &value) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month))
    return false;
  // Days since 0000-03-01 by 400-year cycles, as DecodeDate takes them apart.
  const std::int64_t y = year - (month <= 2 ? 1 : 0);
  const std::int64_t era = y / 400, yearOfEra = y % 400;
  const std::int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  value = static_cast<double>(era * 146097 + dayOfEra - DaysBeforeZeroDay);
  return true;
}

bool IsEncodableDateTime(TDateTime value) {
  // Checked on the double first: converting a far-off value to whole days would overflow.
  static const double first = EncodeDate(1, 1, 1);
  static const double last = EncodeDate(9999, 12, 31);
  if (!(value > first - 1 && value < last + 1))
    return false;
  const std::int64_t day = DateTimeToTimeStamp(value).Date;
  return day >= first && day <= last;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime value = 0;
  if (!TryEncodeDate(year, month, day, value))
    throw EConvertError(QStringLiteral("Ungültiges Argument für Codierung des Datums"));
  return value;
}

TDateTime EncodeTime(int hour, int minute, int second, int msec) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || msec < 0 ||
      msec > 999)
    throw EConvertError(QStringLiteral("Ungültiges Argument für Codierung der Zeit"));
  return (hour * 3600000.0 + minute * 60000.0 + second * 1000.0 + msec) / MSecsPerDay;
}

TDateTime ComposeDateTime(TDateTime date, TDateTime time) {
  return date >= 0 ? date + time : date - time;
}

TTimeStamp DateTimeToTimeStamp(TDateTime value) {
  TTimeStamp stamp;
  double whole = 0;
  double ms = 0;
  if (value > -1e9 && value < 1e9) {
    // By integer conversion, which truncates toward zero, rather than by calls into the maths
    // library: the due check takes values apart for every entry at every tick.
    whole = static_cast<double>(static_cast<std::int64_t>(value));
    const double fraction = (value >= 0 ? value - whole : whole - value) * MSecsPerDay;
    auto rounded = static_cast<std::int64_t>(fraction);
    if (fraction - static_cast<double>(rounded) >= 0.5)
      ++rounded; // halves away from zero, as std::round
    ms = static_cast<double>(rounded);
  } else {
    whole = std::trunc(value);
    ms = std::round(std::fabs(value - whole) * MSecsPerDay);
  }
  if (ms >= MSecsPerDay) {
    // The fraction rounded up to the next midnight.
    whole += value >= 0 ? 1 : -1;
    ms = 0;
  }
  stamp.Date = static_cast<std::int64_t>(whole);
  stamp.Time = static_cast<int>(ms);
  return stamp;
}

TDateParts DecodeDate(TDateTime value) {
  const std::int64_t day = DateTimeToTimeStamp(value).Date;
  // The due check decodes dates of every entry at every tick: the calendar's own days by
  // arithmetic on 400-year cycles of 146 097 days (counted from 0000-03-01, so that the
  // leap day ends a year), anything beyond by Qt.
  if (day < -693593 || day > 2958465) {
    const QDate date = QDate::fromJulianDay(day + ZeroDay);
    return {date.year(), date.month(), date.day()};
  }
  const std::int64_t z = day + DaysBeforeZeroDay;
  const std::int64_t era = z / 146097, dayOfEra = z % 146097;
  const std::int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t shiftedMonth = (5 * dayOfYear + 2) / 153; // 0 = March
  const int month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
  return {static_cast<int>(era * 400 + yearOfEra + (month <= 2 ? 1 : 0)), month,
          static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1)};
}

TTimeParts DecodeTime(TDateTime value) {
  const int ms = DateTimeToTimeStamp(value).Time;
  return {ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms % 1000};
}

TDateTime DateOf(TDateTime value) {
  return static_cast<double>(DateTimeToTimeStamp(value).Date);
}

TDateTime TimeOf(TDateTime value) {
  return DateTimeToTimeStamp(value).Time / MSecsPerDay;
}

int DayOfWeek(TDateTime value) {
  // 1899-12-30 was a Saturday (7).
  const std::int64_t day = DateTimeToTimeStamp(value).Date;
  return static_cast<int>(((day + 6) % 7 + 7) % 7) + 1;
}

int DaysInMonth(int year, int month) {
  if (month == 2 && year >= 1)
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0 ? 29 : 28;
  if (month >= 1 && month <= 12 && year >= 1)
    return month == 4 || month == 6 || month == 9 || month == 11 ? 30 : 31;
  return QDate(year, month, 1).daysInMonth();
}

TDateTime DateTimeFromQDateTime(const QDateTime &dateTime) {
  const double days = static_cast<double>(dateTime.date().toJulianDay() - ZeroDay);
  return ComposeDateTime(days, dateTime.time().msecsSinceStartOfDay() / MSecsPerDay);
}

QDateTime QDateTimeFromDateTime(TDateTime value) {
  const TTimeStamp stamp = DateTimeToTimeStamp(value);
  return QDateTime(QDate::fromJulianDay(stamp.Date + ZeroDay),
                   QTime::fromMSecsSinceStartOfDay(stamp.Time));
}

QString ShortDateFormat() {
  QString format = QLocale().dateFormat(QLocale::ShortFormat);
  if (!format.contains(QLatin1String("yyyy")))
    format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
  return format;
}

QString LongTimeFormat() {
  return RemoveFormatLetter(QLocale().timeFormat(QLocale::LongFormat), u't');
}

QString DateText(TDateTime value) {
  return QLocale().toString(QDateTimeFromDateTime(value).date(), ShortDateFormat());
}

QString TimeText(TDateTime value) {
  return QLocale().toString(QDateTimeFromDateTime(value).time(), LongTimeFormat());
}

QString DateTimeText(TDateTime value) {
  if (DateTimeToTimeStamp(value).Time == 0)
    return DateText(value);
  return DateText(value) + u' ' + TimeText(value);
}

TDateTime StrToDate(const QString &text) {
  const QDate date = QLocale().toDate(text.trimmed(), ShortDateFormat());
  if (!date.isValid())
    throw EConvertError(QStringLiteral("'%1' ist kein gültiges Datum").arg(text));
  return static_cast<double>(date.toJulianDay() - ZeroDay);
}

TDateTime StrToTime(const QString &text) {
  const QTime time = QLocale().toTime(text.trimmed(), LongTimeFormat());
  if (!time.isValid())
    throw EConvertError(QStringLiteral("'%1' ist keine gültige Zeit").arg(text));
  return time.msecsSinceStartOfDay() / MSecsPerDay;
}

TDateTime StrToDateTime(const QString &text) {
  const QString trimmed = text.trimmed();
  const QLocale locale;
  const QString dateFormat = ShortDateFormat();
  const QString timeFormat = LongTimeFormat();
  const QDate dateOnly = locale.toDate(trimmed, dateFormat);
  if (dateOnly.isValid())
    return static_cast<double>(dateOnly.toJulianDay() - ZeroDay);
  // Some locales put blanks inside their date format, so try every blank as the split.
  for (qsizetype blank = trimmed.indexOf(u' '); blank >= 0;
       blank = trimmed.indexOf(u' ', blank + 1)) {
    const QDate date = locale.toDate(trimmed.left(blank).trimmed(), dateFormat);
    const QTime time = locale.toTime(trimmed.mid(blank + 1).trimmed(), timeFormat);
    if (date.isValid() && time.isValid())
      return ComposeDateTime(static_cast<double>(date.toJulianDay() - ZeroDay),
                             time.msecsSinceStartOfDay() / MSecsPerDay);
  }
  throw EConvertError(QStringLiteral("'%1' ist kein gültiges Datum mit Zeit").arg(text));
}
