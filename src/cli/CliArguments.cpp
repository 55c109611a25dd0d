#include "cli/CliArguments.h"

#include "core/CmdLine.h"

#include <QCommandLineParser>
#include <algorithm>

namespace {

QString DashName(const QString &name) {
  return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

// The reason that ends a reading, as one line; the caller prints it.
QString Reason(const TCliSyntax &syntax, const QString &what) {
  return QStringLiteral("%1: %2 (siehe kronolab-cli %1 --help)").arg(syntax.Command, what);
}

} // namespace

QString CliVersionText() {
  return QStringLiteral("kronolab-cli %1\n").arg(QStringLiteral(KRONOLAB_VERSION));
}

QString CliHelpText(const TCliSyntax &syntax) {
  QStringList lines;
  lines << QStringLiteral("Aufruf: kronolab-cli %1 %2").arg(syntax.Command, syntax.Arguments)
        << syntax.Description << QString() << QStringLiteral("Optionen:");
  std::vector<std::pair<QString, QString>> rows;
  for (const TCliOption &option : syntax.Options)
    rows.emplace_back(DashName(option.Name) +
                          (option.ValueName.isEmpty() ? QString() : u' ' + option.ValueName),
                      option.Description);
  rows.emplace_back(QStringLiteral("-h, --help"), QStringLiteral("zeigt diese Hilfe"));
  rows.emplace_back(QStringLiteral("-v, --version"), QStringLiteral("zeigt die Version"));
  qsizetype width = 0;
  for (const auto &row : rows)
    width = std::max(width, row.first.size());
  for (const auto &row : rows)
    lines << QStringLiteral("  ") + row.first.leftJustified(width + 2) + row.second;
  return lines.join(u'\n') + u'\n';
}

std::optional<int> ReadCliArguments(const TCliSyntax &syntax, const QStringList &args,
                                    QTextStream &out, QTextStream &err, TCliArguments &read) {
  QCommandLineParser parser;
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
  const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
  parser.addOption(help);
  parser.addOption(version);
  for (const TCliOption &option : syntax.Options)
    parser.addOption(QCommandLineOption(option.Name, option.Description, option.ValueName));
  const auto fail = [&](const QString &what) {
    err << Reason(syntax, what) << "\n";
    return 2;
  };

  if (!parser.parse(QStringList{QStringLiteral("kronolab-cli")} + args)) {
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty())
      return fail(QStringLiteral("unbekannte Option \"%1\"").arg(DashName(unknown.front())));
    // QCommandLineParser fails otherwise only on an option whose value is missing.
    for (const TCliOption &option : syntax.Options)
      if (!option.ValueName.isEmpty() && !args.isEmpty() &&
          (args.back() == DashName(option.Name) || args.back() == u'-' + option.Name))
        return fail(QStringLiteral("%1 braucht einen Wert").arg(DashName(option.Name)));
    return fail(QStringLiteral("ungültige Argumente"));
  }
  if (parser.isSet(help)) {
    out << CliHelpText(syntax);
    return 0;
  }
  if (parser.isSet(version)) {
    out << CliVersionText();
    return 0;
  }
  read.Positionals = parser.positionalArguments();
  if (read.Positionals.size() > syntax.MaxPositionals)
    return fail(QStringLiteral("zu viele Argumente"));
  for (const TCliOption &option : syntax.Options) {
    if (!parser.isSet(option.Name))
      continue;
    if (option.ValueName.isEmpty()) {
      read.Switches.insert(option.Name);
      continue;
    }
    const QString value = parser.values(option.Name).back();
    if (option.IsFile && value.startsWith(u'-'))
      return fail(NotAFileNameText(value));
    read.Values.insert(option.Name, value);
  }
  if (syntax.PositionalsAreFiles)
    for (const QString &name : read.Positionals)
      if (name.startsWith(u'-'))
        return fail(NotAFileNameText(name));
  return std::nullopt;
}
