// remove, enable, disable and run-now: the editor's row operations on entry N from a terminal.
#include "cli/CliActionCommands.h"

#include "cli/CliArguments.h"
#include "cli/CliListChange.h"

namespace {

// The syntax of a row command.
TCliSyntax RowSyntax(const QString &command, const QString &description) {
  return {command,
          QStringLiteral("[KONFIGURATION] N"),
          description + QStringLiteral("\nN ist die Nummer, die kronolab-cli list zeigt. Läuft "
                                       "Kronolab für die Konfiguration,\nübernimmt es die "
                                       "Änderung selbst."),
          {},
          2};
}

int RowCommand(const TCliSyntax &syntax, TListCommand::TKind kind, const QStringList &args,
               QTextStream &out, QTextStream &err) {
  TCliArguments read;
  if (const std::optional<int> done = ReadCliArguments(syntax, args, out, err, read))
    return *done;
  bool ok = false;
  TListCommand command;
  command.Kind = kind;
  command.Number = read.Positionals.value(read.Positionals.size() - 1).toInt(&ok);
  if (!ok || command.Number < 1) {
    err << syntax.Command << ": N fehlt oder ist keine Nummer ab 1 (siehe kronolab-cli "
        << syntax.Command << " --help)\n";
    return 2;
  }
  TListCommandResult result;
  return DeliverListCommand(syntax.Command,
                            read.Positionals.size() == 2 ? read.Positionals[0] : QString(), command,
                            err, result);
}

} // namespace

int CliRemove(const QStringList &args, QTextStream &out, QTextStream &err) {
  static const TCliSyntax syntax =
      RowSyntax(QStringLiteral("remove"), QStringLiteral("Entfernt die Aktion Nr. N."));
  return RowCommand(syntax, TListCommand::Remove, args, out, err);
}

int CliEnable(const QStringList &args, QTextStream &out, QTextStream &err) {
  static const TCliSyntax syntax = RowSyntax(
      QStringLiteral("enable"), QStringLiteral("Schaltet die Aktion Nr. N ein; die Zeit, in der "
                                               "sie aus war, wird nicht nachgeholt."));
  return RowCommand(syntax, TListCommand::Enable, args, out, err);
}

int CliDisable(const QStringList &args, QTextStream &out, QTextStream &err) {
  static const TCliSyntax syntax = RowSyntax(
      QStringLiteral("disable"),
      QStringLiteral("Schaltet die Aktion Nr. N aus: sie bleibt in der Liste, wird aber nie "
                     "fällig."));
  return RowCommand(syntax, TListCommand::Disable, args, out, err);
}

int CliRunNow(const QStringList &args, QTextStream &out, QTextStream &err) {
  static const TCliSyntax syntax = RowSyntax(
      QStringLiteral("run-now"),
      QStringLiteral("Führt die Aktion Nr. N jetzt aus, wie \"Jetzt ausführen\"; ihr Zeitplan "
                     "bleibt, wie er ist.\nOhne laufendes Kronolab geschieht es hier."));
  return RowCommand(syntax, TListCommand::RunNow, args, out, err);
}
