#include "cli/CliActionCommands.h"

#include "cli/CliArguments.h"
#include "cli/CliDateTime.h"
#include "cli/CliListChange.h"
#include "core/CmdLine.h"

namespace {

const TCliSyntax AddSyntax{
    QStringLiteral("add"),
    QStringLiteral("[KONFIGURATION] --kind ART --at ZEIT [OPTIONEN] AKTION"),
    QStringLiteral(
        "Fügt eine Aktion hinzu und gibt ihre Nummer aus. Sie gilt ab jetzt: Zeitpunkte vor "
        "dem Hinzufügen\nwerden nicht nachgeholt. Läuft Kronolab für die Konfiguration, "
        "übernimmt es die Änderung\nselbst. AKTION wie im Aktionsfenster: ein Programm, "
        "\"Nachricht\" oder %Befehl."),
    {{QStringLiteral("kind"), QStringLiteral("ART"),
      QStringLiteral("Frequenz, Einmalig, Täglich, Wöchentlich, Monatlich, Jährlich oder 0-5")},
     {QStringLiteral("at"), QStringLiteral("ZEIT"),
      QStringLiteral("Beginn bzw. Zeitpunkt, YYYY-MM-DD hh:mm[:ss], Ortszeit")},
     {QStringLiteral("every"), QStringLiteral("hh:mm:ss"),
      QStringLiteral("der Abstand einer Frequenz-Aktion")},
     {QStringLiteral("all-calls"), QString(),
      QStringLiteral("verpasste Aufrufe einer Frequenz-Aktion alle nachholen")},
     {QStringLiteral("at-start"), QString(), QStringLiteral("auch bei jedem Start ausführen")},
     {QStringLiteral("weekdays"), QStringLiteral("TAGE"),
      QStringLiteral("nur an diesen Tagen (Täglich), z. B. Mo-Fr oder Mo,Mi,Fr")},
     {QStringLiteral("late-limit"), QStringLiteral("hh:mm:ss"),
      QStringLiteral("nicht nachholen, wenn mehr als so viel zu spät")},
     {QStringLiteral("if-running"), QStringLiteral("WAS"),
      QStringLiteral("läuft das Programm noch: parallel, skip (Vorgabe) oder after")},
     {QStringLiteral("time-limit"), QStringLiteral("hh:mm:ss"),
      QStringLiteral("das Programm nach so langer Zeit beenden")},
     {QStringLiteral("off"), QString(), QStringLiteral("ausgeschaltet anlegen")}},
    2,
    false};

// The kind of a --kind value: the editor's word in any case (umlauts also as ae, oe) or 0-5.
std::optional<TTimePoint> KindOf(const QString &text) {
  static const char *const words[][2] = {
      {"frequenz", "frequenz"},        {"einmalig", "einmalig"},   {"täglich", "taeglich"},
      {"wöchentlich", "woechentlich"}, {"monatlich", "monatlich"}, {"jährlich", "jaehrlich"}};
  const QString word = text.trimmed().toLower();
  for (int kind = tpFrequency; kind <= tpYearly; ++kind)
    if (word == QString::number(kind) || word == QString::fromUtf8(words[kind][0]) ||
        word == QLatin1String(words[kind][1]))
      return static_cast<TTimePoint>(kind);
  return std::nullopt;
}

// Reads the options into entry; the reason when one is wrong.
QString ReadEntry(const TCliArguments &read, TActionEntry &entry) {
  const std::optional<TTimePoint> kind = KindOf(read.Value(QStringLiteral("kind")));
  if (!read.Has(QStringLiteral("kind")) || !kind)
    return QStringLiteral("--kind braucht Frequenz, Einmalig, Täglich, Wöchentlich, Monatlich, "
                          "Jährlich oder 0 bis 5");
  TDateTime at = 0;
  if (!ParseCliDateTime(read.Value(QStringLiteral("at")), at))
    return QStringLiteral("--at braucht einen Zeitpunkt YYYY-MM-DD hh:mm[:ss]");
  entry = NewActionEntry(*kind, at, read.Positionals.back());
  if (read.Positionals.back().size() > MaxActionLength)
    return QStringLiteral("die Aktion ist länger als %1 Zeichen").arg(MaxActionLength);
  const bool frequency = *kind == tpFrequency;
  if (frequency != read.Has(QStringLiteral("every")))
    return frequency ? QStringLiteral("eine Frequenz-Aktion braucht --every")
                     : QStringLiteral("--every gilt nur für Frequenz");
  if ((read.Has(QStringLiteral("all-calls")) && !frequency) ||
      (read.Has(QStringLiteral("weekdays")) && *kind != tpDaily))
    return read.Has(QStringLiteral("all-calls")) && !frequency
               ? QStringLiteral("--all-calls gilt nur für Frequenz")
               : QStringLiteral("--weekdays gilt nur für Täglich");
  bool ok = true;
  const auto duration = [&](const char *option, std::int64_t &ms) {
    if (ok && read.Has(QLatin1String(option)))
      ms = ParseDurationText(read.Value(QLatin1String(option)), &ok);
    return ok;
  };
  std::int64_t every = 0;
  if (!duration("every", every) || (frequency && every == 0))
    return QStringLiteral("--every braucht einen Abstand hh:mm:ss über 0");
  entry.Freq = static_cast<double>(every) / MSecsPerDay;
  if (!duration("late-limit", entry.LateLimitMs) || !duration("time-limit", entry.TimeLimitMs))
    return QStringLiteral("--late-limit und --time-limit brauchen eine Dauer hh:mm:ss");
  if (read.Has(QStringLiteral("weekdays")))
    entry.Weekdays = ParseWeekdays(read.Value(QStringLiteral("weekdays")), &ok);
  if (!ok)
    return QStringLiteral("--weekdays braucht Tage wie Mo-Fr oder Mo,Mi,Fr");
  // A new action does not pile up its program, as in the editor.
  entry.IfRunning = irSkip;
  if (read.Has(QStringLiteral("if-running")))
    entry.IfRunning = ParseIfRunning(read.Value(QStringLiteral("if-running")), &ok);
  if (!ok)
    return QStringLiteral("--if-running braucht parallel, skip oder after");
  entry.AllCalls = read.Has(QStringLiteral("all-calls"));
  entry.SuddenStart = read.Has(QStringLiteral("at-start"));
  entry.Active = !read.Has(QStringLiteral("off"));
  return {};
}

} // namespace

int CliAdd(const QStringList &args, QTextStream &out, QTextStream &err) {
  TCliArguments read;
  if (const std::optional<int> done = ReadCliArguments(AddSyntax, args, out, err, read))
    return *done;
  if (read.Positionals.isEmpty() || read.Positionals.back().trimmed().isEmpty()) {
    err << "add: AKTION fehlt (siehe kronolab-cli add --help)\n";
    return 2;
  }
  TListCommand command;
  if (const QString reason = ReadEntry(read, command.Entry); !reason.isEmpty()) {
    err << "add: " << reason << " (siehe kronolab-cli add --help)\n";
    return 2;
  }
  const QString config = read.Positionals.size() == 2 ? read.Positionals[0] : QString();
  if (config.startsWith(u'-')) {
    err << "add: " << NotAFileNameText(config) << "\n";
    return 2;
  }
  TListCommandResult result;
  const int status = DeliverListCommand(QStringLiteral("add"), config, command, err, result);
  if (status == 0)
    out << result.Number << "\n";
  return status;
}
