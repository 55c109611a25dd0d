#include "cli/CliActionCommands.h"

#include "actions/Placeholders.h"
#include "cli/CliDateTime.h"
#include "platform/Clock.h"

#include <QDateTime>

int CliExpand(const QStringList &args, QTextStream &out, QTextStream &err) {
  QString text;
  bool haveText = false;
  TDateTime at = 0;
  bool haveAt = false;
  for (qsizetype i = 0; i < args.size(); ++i) {
    if (args[i] == u"--at") {
      if (i + 1 >= args.size() || !ParseCliDateTime(args[i + 1], at)) {
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
  // As the dispatcher expands it: chosen names quoted for programs and commands.
  ExpandPlaceholders(text, haveAt ? at : Now(), ChosenNameForm(text));
  out << text << "\n";
  return 0;
}
