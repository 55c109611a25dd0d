#include "cli/CliActionCommands.h"

#include "cli/CliArguments.h"

#include "actions/Placeholders.h"
#include "cli/CliDateTime.h"
#include "platform/Clock.h"

#include <QDateTime>

namespace {

const TCliSyntax ExpandSyntax{
    QStringLiteral("expand"),
    QStringLiteral("TEXT [--at ZEIT]"),
    QStringLiteral("Gibt TEXT aus, wie ihn Kronolab zum Zeitpunkt ZEIT (sonst jetzt) ausführen "
                   "würde:\nPlatzhalter wie %TIMESTAMP% ersetzt, eine zufällige Datei gewählt. Ein "
                   "TEXT, der mit \"-\" beginnt,\nsteht nach \"--\"."),
    {{QStringLiteral("at"), QStringLiteral("ZEIT"),
      QStringLiteral("der Zeitpunkt, YYYY-MM-DD hh:mm:ss[.zzz], Ortszeit")}},
    1,
    false};

} // namespace

int CliExpand(const QStringList &args, QTextStream &out, QTextStream &err) {
  TCliArguments read;
  if (const std::optional<int> done = ReadCliArguments(ExpandSyntax, args, out, err, read))
    return *done;
  if (read.Positionals.isEmpty()) {
    err << "expand: TEXT fehlt (siehe kronolab-cli expand --help)\n";
    return 2;
  }
  QString text = read.Positional(0);
  TDateTime at = Now();
  if (read.Has(QStringLiteral("at")) && !ParseCliDateTime(read.Value(QStringLiteral("at")), at)) {
    err << "expand: --at braucht eine Zeit der Form YYYY-MM-DD hh:mm:ss[.zzz]\n";
    return 2;
  }
  // As the dispatcher expands it: chosen names quoted for programs and commands.
  ExpandPlaceholders(text, at, ChosenNameForm(text));
  out << text << "\n";
  return 0;
}
