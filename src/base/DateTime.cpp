#include "base/DateTime.h"

#include "base/Errors.h"

#include <QLocale>
#include <cmath>

namespace {

// Day number of 1899-12-30 in Qt's Julian day count.
const qint64 ZeroDay = QDate(1899, 12, 30).toJulianDay();

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
  if (year < 1 || year > 9999)
    return false;
  const QDate date(year, month, day);
  if (!date.isValid())
    return false;
  value = static_cast<double>(date.toJulianDay() - ZeroDay);
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
  double whole = std::trunc(value);
  double ms = std::round(std::fabs(value - whole) * MSecsPerDay);
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
  const QDate date = QDate::fromJulianDay(DateTimeToTimeStamp(value).Date + ZeroDay);
  return {date.year(), date.month(), date.day()};
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
