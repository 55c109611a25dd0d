#include "cli/CliDateTime.h"

#include "platform/Clock.h"

// Date and time are read and written apart: a local date-time in the skipped spring hour is
// no valid QDateTime, yet it is a due point the scheduler can hold and the user can name.
bool ParseCliDateTime(QString text, TDateTime &value) {
  text.replace(u'T', u' ');
  const qsizetype blank = text.indexOf(u' ');
  if (blank < 0)
    return false;
  const QDate date = QDate::fromString(text.left(blank), QStringLiteral("yyyy-MM-dd"));
  for (const char *format : {"HH:mm:ss.zzz", "HH:mm:ss", "HH:mm"}) {
    const QTime time = QTime::fromString(text.mid(blank + 1), QString::fromLatin1(format));
    if (date.isValid() && time.isValid()) {
      value = DateTimeFromQDateTime(QDateTime(date, time));
      return true;
    }
  }
  return false;
}

namespace {

// Writes number with width digits, zeros in front, at text and returns the position after it.
char16_t *PutDigits(char16_t *text, int number, int width) {
  for (int i = width - 1; i >= 0; --i, number /= 10)
    text[i] = static_cast<char16_t>(u'0' + number % 10);
  return text + width;
}

} // namespace

QString CliDateTimeText(TDateTime value) {
  // A long history prints two of these a line: the fields are taken from the value itself,
  // without asking the zone, whenever the local clock shows it as it is.
  if (IsEncodableDateTime(value) && !LocalInstantsOf(value).empty()) {
    // One taking apart for both: the date of the whole day, the time from its milliseconds.
    const TTimeStamp stamp = DateTimeToTimeStamp(value);
    const TDateParts date = DecodeDate(static_cast<TDateTime>(stamp.Date));
    const TTimeParts time{stamp.Time / 3600000, stamp.Time / 60000 % 60, stamp.Time / 1000 % 60,
                          stamp.Time % 1000};
    char16_t text[23];
    char16_t *at = PutDigits(text, date.Year, 4);
    *at++ = u'-';
    at = PutDigits(at, date.Month, 2);
    *at++ = u'-';
    at = PutDigits(at, date.Day, 2);
    *at++ = u' ';
    at = PutDigits(at, time.Hour, 2);
    *at++ = u':';
    at = PutDigits(at, time.Minute, 2);
    *at++ = u':';
    at = PutDigits(at, time.Second, 2);
    *at++ = u'.';
    PutDigits(at, time.MSec, 3);
    return QString(reinterpret_cast<const QChar *>(text), 23);
  }
  // A value the clock skips reads as the time Qt moves it to, as it always has.
  const QDateTime moment = QDateTimeFromDateTime(value);
  return moment.date().toString(QStringLiteral("yyyy-MM-dd")) + u' ' +
         moment.time().toString(QStringLiteral("HH:mm:ss.zzz"));
}
