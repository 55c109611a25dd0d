#include "cli/CliActionCommands.h"

#include "cli/CliArguments.h"

#include "cli/CliConfig.h"
#include "cli/CliDateTime.h"
#include "core/Scheduler.h"
#include "core/journal/RunJournal.h"

#include <QFileInfo>
#include <limits>

namespace {

// Calls are read in pages, so that a long history never sits in memory at once.
constexpr int PageSize = 1000;

// One field of a line: tabs and line breaks would split it, so they become blanks.
QString Field(QString text) {
  if (!text.contains(u'\t') && !text.contains(u'\n') && !text.contains(u'\r'))
    return text; // nearly always: no copy
  for (QChar &c : text)
    if (c == u'\t' || c == u'\n' || c == u'\r')
      c = u' ';
  return text;
}

// The value after an option: a whole number from least on; false (told on err) otherwise.
const TCliSyntax HistorySyntax{
    QStringLiteral("history"),
    QStringLiteral("[KONFIGURATION] [--action N] [--failed] [--limit N] [--output]"),
    QStringLiteral(
        "Die Aufrufe des Verlaufs, der neueste zuerst, einer je Zeile, durch Tabulatoren "
        "getrennt:\nFälligkeit (\"manuell\" für \"Jetzt ausführen\"), Beginn (\"-\" wenn nie "
        "begonnen), #Aktionsnummer,\nAktion, Ergebnis, Dauer in ms (\"-\" solange unbekannt).\n"
        "Mit --output folgt jedem Aufruf eines Programms, das etwas ausgegeben hat, seine\n"
        "Ausgabe, jede Zeile eingerückt mit \"| \"."),
    {{QStringLiteral("action"), QStringLiteral("N"),
      QStringLiteral("nur die Aufrufe der Aktion N der Konfiguration")},
     {QStringLiteral("failed"), QString(), QStringLiteral("nur Fehlschläge")},
     {QStringLiteral("limit"), QStringLiteral("N"), QStringLiteral("höchstens N Aufrufe")},
     {QStringLiteral("output"), QString(),
      QStringLiteral("die aufbewahrte Ausgabe jedes Programms (die letzten 64 KiB)")}},
    1};

// The whole number of option, at least least; false after telling err when it is none.
bool NumberOf(const TCliArguments &read, const QString &option, long long least, long long &value,
              QTextStream &err) {
  if (!read.Has(option))
    return true;
  bool ok = false;
  value = read.Value(option).toLongLong(&ok);
  if (!ok || value < least) {
    err << "history: --" << option << " braucht eine ganze Zahl ab " << least << "\n";
    return false;
  }
  return true;
}

// A call's kept output under its line, each line marked so that it cannot be taken for a
// call's line.
void PrintOutput(const std::optional<TCallOutput> &output, QTextStream &out) {
  if (!output)
    return;
  QString text = CallOutputText(*output);
  if (text.endsWith(u'\n'))
    text.chop(1);
  for (const QString &line : text.split(u'\n'))
    out << "| " << line << "\n";
}

} // namespace

int CliHistory(const QStringList &args, QTextStream &out, QTextStream &err) {
  TCliArguments read;
  if (const std::optional<int> done = ReadCliArguments(HistorySyntax, args, out, err, read))
    return *done;
  const QString config = read.Positional(0);
  const bool withOutput = read.Has(QStringLiteral("output"));
  TCallFilter filter;
  filter.FailedOnly = read.Has(QStringLiteral("failed"));
  long long action = 0;
  long long limit = std::numeric_limits<long long>::max();
  if (!NumberOf(read, QStringLiteral("action"), 1, action, err) ||
      !NumberOf(read, QStringLiteral("limit"), 0, limit, err))
    return 2;
  TScheduler scheduler;
  if (!LoadCliConfiguration(QStringLiteral("history"), config, scheduler, err))
    return 1;
  if (action > scheduler.ActionList().Count()) {
    err << "history: --action " << action << ": die Konfiguration hat "
        << scheduler.ActionList().Count() << " Aktionen\n";
    return 2;
  }

  const QString fileName = TRunJournal::FileNameFor(scheduler.ConfigFileName());
  TRunJournal journal;
  if (!journal.OpenForReading(fileName)) {
    // A configuration that never ran has no history: nothing to print.
    if (!QFileInfo::exists(fileName))
      return 0;
    err << "history: " << fileName << ": " << journal.Problem() << "\n";
    return 1;
  }
  if (action > 0) {
    std::vector<const TActionEntry *> entries;
    for (int i = 0; i < scheduler.ActionList().Count(); ++i)
      entries.push_back(scheduler.ActionList()[i]);
    filter.EntryId = journal.FindEntry(EntryKeys(entries)[static_cast<std::size_t>(action - 1)]);
    if (filter.EntryId == 0)
      return 0;
  }

  std::int64_t before = std::numeric_limits<std::int64_t>::max();
  while (limit > 0) {
    const std::vector<TCallRecord> calls =
        journal.Calls(filter, before, static_cast<int>(std::min<long long>(limit, PageSize)));
    if (calls.empty())
      break;
    for (const TCallRecord &call : calls) {
      out << (call.Manual ? QStringLiteral("manuell") : CliDateTimeText(call.Due)) << "\t"
          << (call.Started == 0 ? QStringLiteral("-") : CliDateTimeText(call.Started)) << "\t#"
          << call.EntryNumber << "\t" << Field(call.Action) << "\t" << Field(CallResultText(call))
          << "\t" << (call.DurationMs < 0 ? QStringLiteral("-") : QString::number(call.DurationMs))
          << "\n";
      if (withOutput)
        PrintOutput(journal.CallOutput(call.Id), out);
    }
    limit -= static_cast<long long>(calls.size());
    before = calls.back().Id;
  }
  return 0;
}
