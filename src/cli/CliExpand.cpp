#include "cli/CliActionCommands.h"

#include "actions/Placeholders.h"
#include "platform/Clock.h"

#include <QDateTime>

namespace {

// A local date-time of the command line: "YYYY-MM-DD hh:mm:ss[.zzz]", or with 'T'.
bool ParseMoment(QString text, TDateTime &value) {
  text.replace(u'T', u' ');
  for (const char *format : {"yyyy-MM-dd HH:mm:ss.zzz", "yyyy-MM-dd HH:mm:ss"}) {
    QDateTime moment = QDateTime::fromString(text, QString::fromLatin1(format));
    if (moment.isValid()) {
      value = DateTimeFromQDateTime(moment);
      return true;
    }
  }
  return false;
}

} // namespace

int CliExpand(const QStringList &args, QTextStream &out, QTextStream &err) {
  QString text;
  bool haveText = false;
  TDateTime at = 0;
  bool haveAt = false;
  for (qsizetype i = 0; i < args.size(); ++i) {
    if (args[i] == u"--at") {
      if (i + 1 >= args.size() || !ParseMoment(args[i + 1], at)) {
        err << "expand: --at braucht eine Zeit der Form YYYY-MM-DD hh:mm:ss[.zzz]\n";
        return 2;
      }
      haveAt = true;
      ++i;
    } else if (!haveText) {
      text = args[i];
      haveText = true;
    } else {
      err << "expand: zu viele Argumente\n";
      return 2;
    }
  }
  if (!haveText) {
    err << "expand: TEXT fehlt\n";
    return 2;
  }
  ExpandPlaceholders(text, haveAt ? at : Now());
  out << text << "\n";
  return 0;
}
