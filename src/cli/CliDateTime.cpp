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
  for (const char *format : {"HH:mm:ss.zzz", "HH:mm:ss"}) {
    const QTime time = QTime::fromString(text.mid(blank + 1), QString::fromLatin1(format));
    if (date.isValid() && time.isValid()) {
      value = DateTimeFromQDateTime(QDateTime(date, time));
      return true;
    }
  }
  return false;
}

namespace {

// Appends number with at least width digits, zeros in front.
void AppendDigits(QString &text, int number, int width) {
  char digits[12];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + number % 10);
    number /= 10;
  } while (number > 0 || n < width);
  while (n > 0)
    text += QLatin1Char(digits[--n]);
}

} // namespace

QString CliDateTimeText(TDateTime value) {
  // A long history prints two of these a line: the fields are taken from the value itself,
  // without asking the zone, whenever the local clock shows it as it is.
  if (IsEncodableDateTime(value) && !LocalInstantsOf(value).empty()) {
    const TDateParts date = DecodeDate(value);
    const TTimeParts time = DecodeTime(value);
    QString text;
    text.reserve(23);
    AppendDigits(text, date.Year, 4);
    text += u'-';
    AppendDigits(text, date.Month, 2);
    text += u'-';
    AppendDigits(text, date.Day, 2);
    text += u' ';
    AppendDigits(text, time.Hour, 2);
    text += u':';
    AppendDigits(text, time.Minute, 2);
    text += u':';
    AppendDigits(text, time.Second, 2);
    text += u'.';
    AppendDigits(text, time.MSec, 3);
    return text;
  }
  // A value the clock skips reads as the time Qt moves it to, as it always has.
  const QDateTime moment = QDateTimeFromDateTime(value);
  return moment.date().toString(QStringLiteral("yyyy-MM-dd")) + u' ' +
         moment.time().toString(QStringLiteral("HH:mm:ss.zzz"));
}
