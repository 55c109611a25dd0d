#include "cli/CliDateTime.h"

bool ParseCliDateTime(QString text, TDateTime &value) {
  text.replace(u'T', u' ');
  for (const char *format : {"yyyy-MM-dd HH:mm:ss.zzz", "yyyy-MM-dd HH:mm:ss"}) {
    const QDateTime moment = QDateTime::fromString(text, QString::fromLatin1(format));
    if (moment.isValid()) {
      value = DateTimeFromQDateTime(moment);
      return true;
    }
  }
  return false;
}

QString CliDateTimeText(TDateTime value) {
  return QDateTimeFromDateTime(value).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}
