#include "cli/CliDateTime.h"

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

QString CliDateTimeText(TDateTime value) {
  const QDateTime moment = QDateTimeFromDateTime(value);
  return moment.date().toString(QStringLiteral("yyyy-MM-dd")) + u' ' +
         moment.time().toString(QStringLiteral("HH:mm:ss.zzz"));
}
