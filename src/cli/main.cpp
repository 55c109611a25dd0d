// kronolab-cli: the scheduler's engine without windows. main only parses the subcommand and
// hands the rest of the arguments to its function.
#include "cli/CliActionCommands.h"
#include "platform/OwnFiles.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>
#include <cstdio>

namespace {

// One subcommand: its name, its function and its line in --help.
struct TCliCommand {
  const char *Name;
  int (*Run)(const QStringList &, QTextStream &, QTextStream &);
  const char *Usage;
};

const TCliCommand Commands[] = {
    {"expand", CliExpand, "expand TEXT [--at T]          TEXT after placeholder expansion at T"},
    {"history", CliHistory,
     "history [CONFIG] [--action N] [--failed] [--limit N]  the calls made, newest first:\n"
     "                                due, start, #entry, action, result, duration in ms"},
    {"list", CliList, "list [CONFIG]                 the actions with last run and next due point"},
    {"moon", CliMoon, "moon [T] [--png FILE] [--size 64|32|16]  moon phase at T, and its picture"},
    {"run", CliRun,
     "run [CONFIG [LOG]] [--ticks N]  the scheduler without windows (saves on exit)"},
    {"simulate", CliSimulate,
     "simulate [CONFIG] --from T --to T [--interval MS]  dry run: the calls each tick would "
     "make"},
};

void PrintHelp(QTextStream &out) {
  out << "Aufruf: kronolab-cli BEFEHL [ARGUMENTE]\n\nBefehle:\n";
  for (const TCliCommand &command : Commands)
    out << "  " << command.Usage << "\n";
  out << "\nDatum und Zeit: YYYY-MM-DD hh:mm:ss[.zzz] (auch mit T), Ortszeit.\n";
}

} // namespace

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  // A size limit (ulimit -f) is then a save error that is told, not a silent kill.
  IgnoreFileSizeSignal();
  QTextStream out(stdout);
  QTextStream err(stderr);
  QStringList args = QCoreApplication::arguments().mid(1);
  if (args.isEmpty() || args[0] == u"--help" || args[0] == u"-h" || args[0] == u"help") {
    PrintHelp(out);
    return args.isEmpty() ? 2 : 0;
  }
  const QString name = args.takeFirst();
  for (const TCliCommand &command : Commands)
    if (name == QLatin1String(command.Name)) {
      const int status = command.Run(args, out, err);
      out.flush();
      err.flush();
      return status;
    }
  err << "kronolab-cli: unbekannter Befehl \"" << name << "\" (siehe --help)\n";
  return 2;
}
