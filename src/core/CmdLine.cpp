#include "core/CmdLine.h"

#include "core/IniHelp.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

TCommandLineHandler::TCommandLineHandler()
    : TCommandLineHandler(QCoreApplication::arguments().mid(1)) {}

TCommandLineHandler::TCommandLineHandler(const QStringList &arguments) {
  bool expecting = false;
  for (const QString &argument : arguments) {
    if (argument == QLatin1String("-i")) {
      expecting = true;
    } else if (expecting) {
      IniFileName = argument; // taken as given, not made absolute
      expecting = false;
    } else {
      Parameters.append(argument);
    }
  }
  if (!IniFileName.isEmpty())
    SetConfigFileLocation(IniFileName);
  else
    IniFileName = ConfigFileLocation();
}

QString ChangeFileExt(const QString &fileName, const QString &extension) {
  const qsizetype slash = fileName.lastIndexOf(u'/');
  const qsizetype dot = fileName.lastIndexOf(u'.');
  if (dot > slash)
    return fileName.left(dot) + extension;
  return fileName + extension;
}

namespace {
QString Expanded(const QString &name, const QString &currentFolder) {
  return QDir::cleanPath(QDir(currentFolder).absoluteFilePath(name));
}
} // namespace

TStartupFiles StartupFileNames(const QStringList &arguments, const QString &currentFolder) {
  TStartupFiles files;
  if (!arguments.isEmpty() && !arguments[0].isEmpty())
    files.ConfigFileName = Expanded(arguments[0], currentFolder);
  // "-i" in second place is the option that follows an empty first argument, not a log
  // file of that name in the current folder.
  if (arguments.size() >= 2 && !arguments[1].isEmpty() && arguments[1] != QLatin1String("-i"))
    files.LogFileName = Expanded(arguments[1], currentFolder);
  if (files.ConfigFileName.isEmpty()) {
    const TCommandLineHandler handler(arguments);
    files.ConfigFileName = handler.IniFileName;
  }
  if (files.LogFileName.isEmpty() && !files.ConfigFileName.isEmpty())
    files.LogFileName = ChangeFileExt(files.ConfigFileName, QStringLiteral(".log"));
  return files;
}

namespace {

// A file name must not look like an option: "-x" as a configuration would be a typing error
// that silently creates a file of that name.
QString OptionLikeName(const QStringList &names) {
  for (const QString &name : names)
    if (name.startsWith(u'-'))
      return name;
  return {};
}

// Qt's own options, which the application object takes from the command line itself (a
// session manager restarts a program with "-session ID"): the ones with a value, then those
// without.
const QStringList QtOptionsWithValue = {
    QStringLiteral("-platform"),        QStringLiteral("-platformpluginpath"),
    QStringLiteral("-platformtheme"),   QStringLiteral("-plugin"),
    QStringLiteral("-display"),         QStringLiteral("-geometry"),
    QStringLiteral("-qwindowgeometry"), QStringLiteral("-title"),
    QStringLiteral("-qwindowtitle"),    QStringLiteral("-qwindowicon"),
    QStringLiteral("-style"),           QStringLiteral("-stylesheet"),
    QStringLiteral("-session"),         QStringLiteral("-name"),
    QStringLiteral("-visual"),          QStringLiteral("-ncols"),
    QStringLiteral("-qmljsdebugger")};
const QStringList QtFlags = {QStringLiteral("-reverse"), QStringLiteral("-widgetcount"),
                             QStringLiteral("-nograb"),  QStringLiteral("-dograb"),
                             QStringLiteral("-sync"),    QStringLiteral("-cmap")};

QStringList WithoutQtOptions(const QStringList &arguments) {
  QStringList rest;
  for (qsizetype i = 0; i < arguments.size(); ++i) {
    const QString &argument = arguments[i];
    if (argument == u"--")
      return rest + arguments.mid(i); // after "--" nothing is an option
    // Qt accepts both "-style" and "--style".
    const QString single = argument.startsWith(QStringLiteral("--")) ? argument.mid(1) : argument;
    if (QtOptionsWithValue.contains(single) && i + 1 < arguments.size())
      ++i;
    else if (!QtFlags.contains(single))
      rest.append(argument);
  }
  return rest;
}

} // namespace

TTrayCommandLine ParseTrayCommandLine(const QStringList &arguments) {
  TTrayCommandLine result;
  QStringList given = WithoutQtOptions(arguments);
  // A trailing "-i" without a name has no effect, as it never had.
  if (!given.isEmpty() && given.back() == QLatin1String("-i"))
    given.removeLast();
  QCommandLineParser parser;
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  const QCommandLineOption ini(QStringLiteral("i"), QString(), QStringLiteral("DATEI"));
  const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
  const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
  parser.addOptions({ini, help, version});
  given.prepend(QStringLiteral("kronolab"));
  if (!parser.parse(given)) {
    result.Kind = TTrayCommandLine::Error;
    const QStringList unknown = parser.unknownOptionNames();
    result.Message = unknown.isEmpty() ? QStringLiteral("ungültige Argumente (siehe --help)")
                                       : QStringLiteral("unbekannte Option \"%1%2\" (siehe --help)")
                                             .arg(unknown[0].size() == 1 ? QStringLiteral("-")
                                                                         : QStringLiteral("--"),
                                                  unknown[0]);
    return result;
  }
  if (parser.isSet(help)) {
    result.Kind = TTrayCommandLine::Help;
    return result;
  }
  if (parser.isSet(version)) {
    result.Kind = TTrayCommandLine::Version;
    return result;
  }
  const QStringList files = parser.positionalArguments().mid(0, 2);
  const QString optionLike = OptionLikeName(files + parser.values(ini));
  if (!optionLike.isEmpty()) {
    result.Kind = TTrayCommandLine::Error;
    result.Message = NotAFileNameText(optionLike);
    return result;
  }
  result.Arguments = files;
  if (parser.isSet(ini)) {
    // The handler reads "-i" after the positional ones; the configuration must be empty for
    // it to count, as it always had to be.
    if (result.Arguments.isEmpty())
      result.Arguments.append(QString());
    result.Arguments << QStringLiteral("-i") << parser.values(ini).back();
  }
  return result;
}

QString NotAFileNameText(const QString &argument) {
  return QStringLiteral("„%1“ ist kein Dateiname (eine Datei dieses Namens: ./%1)").arg(argument);
}

QString TrayHelpText() {
  return QStringLiteral(
      "Aufruf: kronolab [KONFIGURATION [PROTOKOLL]] [-i DATEI]\n"
      "Kronolab, der persönliche Zeitplaner im Infobereich.\n"
      "\n"
      "  KONFIGURATION  die Konfigurationsdatei; ohne sie kronolab.ini neben dem Programm,\n"
      "                 sonst $XDG_CONFIG_HOME (oder ~/.config)/Kronolab-Software/kronolab/"
      "kronolab.ini\n"
      "  PROTOKOLL      die Protokolldatei; ohne sie die Konfiguration mit der Endung .log\n"
      "  -i DATEI       die Konfigurationsdatei, wenn KONFIGURATION fehlt oder leer ist\n"
      "  -h, --help     zeigt diese Hilfe\n"
      "  -v, --version  zeigt die Version\n"
      "\n"
      "Für jede Konfiguration läuft nur ein Kronolab; ein zweiter Start öffnet die Aktionen\n"
      "des laufenden. Ohne Fenster: kronolab-cli run (siehe kronolab-cli --help).\n");
}
