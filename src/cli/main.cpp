// kronolab-cli: the scheduler's engine without windows. main only reads the command and hands
// the rest of the arguments to its function, which reads them by its own syntax.
#include "cli/CliActionCommands.h"
#include "cli/CliArguments.h"
#include "platform/OwnFiles.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>

namespace {

// One subcommand: its name, its function and its line in the overview.
struct TCliCommand {
  const char *Name;
  int (*Run)(const QStringList &, QTextStream &, QTextStream &);
  const char *Summary;
};

const TCliCommand Commands[] = {
    {"list", CliList, "die Aktionen mit letztem und nächstem Lauf"},
    {"run", CliRun, "der Zeitplaner ohne Fenster"},
    {"simulate", CliSimulate, "ein Probelauf: welche Aufrufe jeder Takt machen würde"},
    {"history", CliHistory, "der Verlauf: was wann ausgeführt wurde und wie es ausging"},
    {"expand", CliExpand, "ein Aktionstext mit ersetzten Platzhaltern"},
    {"moon", CliMoon, "die Mondphase, auch als Bild"},
    {"add", CliAdd, "fügt eine Aktion hinzu"},
    {"remove", CliRemove, "entfernt eine Aktion"},
    {"enable", CliEnable, "schaltet eine Aktion ein"},
    {"disable", CliDisable, "schaltet eine Aktion aus"},
    {"run-now", CliRunNow, "führt eine Aktion jetzt aus"},
};

QString OverviewText() {
  QString text = QStringLiteral(
      "Aufruf: kronolab-cli BEFEHL [ARGUMENTE]\n"
      "Kronolab ohne Fenster: dieselbe Konfiguration, dasselbe Protokoll und derselbe Verlauf "
      "wie\ndas Programm im Infobereich.\n\nBefehle:\n");
  for (const TCliCommand &command : Commands)
    text += QStringLiteral("  %1%2\n")
                .arg(QString::fromLatin1(command.Name).leftJustified(10))
                .arg(QString::fromUtf8(command.Summary));
  text += QStringLiteral(
      "\nOptionen:\n"
      "  -h, --help     zeigt diese Hilfe; kronolab-cli BEFEHL --help die des Befehls\n"
      "  -v, --version  zeigt die Version\n\n"
      "Zeiten: YYYY-MM-DD hh:mm[:ss[.zzz]] (auch mit T dazwischen), Ortszeit.\n"
      "Die Datei: man 5 kronolab.ini.\n"
      "Ende: 0 bei Erfolg, 2 bei falschem Aufruf, 1 wenn eine Datei nicht gelesen oder "
      "geschrieben\nwerden kann.\n");
  return text;
}

} // namespace

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  // A size limit (ulimit -f) is then a save error that is told, not a silent kill.
  IgnoreFileSizeSignal();
  QTextStream out(stdout);
  QTextStream err(stderr);

  // Options before the command are kronolab-cli's own; from the command on, the command's.
  QCommandLineParser parser;
  parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
  const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
  const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
  parser.addOptions({help, version});
  if (!parser.parse(QCoreApplication::arguments())) {
    const QStringList unknown = parser.unknownOptionNames();
    err << "kronolab-cli: unbekannte Option \"" << (unknown.value(0).size() == 1 ? "-" : "--")
        << unknown.value(0) << "\" (siehe kronolab-cli --help)\n";
    return 2;
  }
  QStringList args = parser.positionalArguments();
  if (parser.isSet(help) || args.value(0) == u"help") {
    // "help BEFEHL" is the command's own help.
    if (args.size() >= 2 && args[0] == u"help")
      args = {args[1], QStringLiteral("--help")};
    else {
      out << OverviewText();
      return 0;
    }
  } else if (parser.isSet(version)) {
    out << CliVersionText();
    return 0;
  }
  if (args.isEmpty()) {
    err << "kronolab-cli: BEFEHL fehlt (siehe kronolab-cli --help)\n";
    return 2;
  }
  const QString name = args.takeFirst();
  for (const TCliCommand &command : Commands)
    if (name == QLatin1String(command.Name)) {
      const int status = command.Run(args, out, err);
      out.flush();
      err.flush();
      return status;
    }
  err << "kronolab-cli: unbekannter Befehl \"" << name << "\" (siehe kronolab-cli --help)\n";
  return 2;
}
