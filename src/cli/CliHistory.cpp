#include "cli/CliActionCommands.h"

#include "cli/CliConfig.h"
#include "cli/CliDateTime.h"
#include "core/RunJournal.h"
#include "core/Scheduler.h"

#include <QFileInfo>
#include <limits>

namespace {

// Calls are read in pages, so that a long history never sits in memory at once.
constexpr int PageSize = 1000;

// One field of a line: tabs and line breaks would split it, so they become blanks.
QString Field(QString text) {
  for (QChar &c : text)
    if (c == u'\t' || c == u'\n' || c == u'\r')
      c = u' ';
  return text;
}

// The value after an option: a whole number from least on; false (told on err) otherwise.
bool NumberAfter(const QStringList &args, qsizetype &i, long long least, long long &value,
                 QTextStream &err) {
  bool ok = false;
  value = i + 1 < args.size() ? args[i + 1].toLongLong(&ok) : 0;
  if (!ok || value < least) {
    err << "history: " << args[i] << " braucht eine ganze Zahl ab " << least << "\n";
    return false;
  }
  ++i;
  return true;
}

} // namespace

int CliHistory(const QStringList &args, QTextStream &out, QTextStream &err) {
  QString config;
  bool haveConfig = false;
  TCallFilter filter;
  long long action = 0;
  long long limit = std::numeric_limits<long long>::max();
  for (qsizetype i = 0; i < args.size(); ++i) {
    const QString &arg = args[i];
    if (arg == u"--action") {
      if (!NumberAfter(args, i, 1, action, err))
        return 2;
    } else if (arg == u"--limit") {
      if (!NumberAfter(args, i, 0, limit, err))
        return 2;
    } else if (arg == u"--failed") {
      filter.FailedOnly = true;
    } else if (arg == u"--help") {
      out << "Aufruf: kronolab-cli history [CONFIG] [--action N] [--failed] [--limit N]\n"
             "Die Aufrufe des Verlaufs, der neueste zuerst, einer je Zeile, durch Tabulatoren "
             "getrennt:\nFälligkeit (\"manuell\" für \"Jetzt ausführen\"), Beginn (\"-\" wenn "
             "nie begonnen), #Aktionsnummer,\nAktion, Ergebnis, Dauer in ms (\"-\" solange "
             "unbekannt).\n"
             "  --action N  nur die Aufrufe der Aktion N der Konfiguration\n"
             "  --failed    nur Fehlschläge\n"
             "  --limit N   höchstens N Aufrufe\n";
      return 0;
    } else if (arg == u"--version") {
      out << "kronolab-cli " << KRONOLAB_VERSION << "\n";
      return 0;
    } else if (arg.startsWith(u'-')) {
      err << "history: unbekannte Option " << arg << "\n";
      return 2;
    } else if (!haveConfig) {
      config = arg;
      haveConfig = true;
    } else {
      err << "history: zu viele Argumente\n";
      return 2;
    }
  }
  TScheduler scheduler;
  if (!LoadCliConfiguration(QStringLiteral("history"), config, scheduler, err))
    return 1;
  if (action > scheduler.ActionList.Count()) {
    err << "history: --action " << action << ": die Konfiguration hat "
        << scheduler.ActionList.Count() << " Aktionen\n";
    return 2;
  }

  const QString fileName = TRunJournal::FileNameFor(scheduler.ConfigFileName);
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
    for (int i = 0; i < scheduler.ActionList.Count(); ++i)
      entries.push_back(scheduler.ActionList[i]);
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
    }
    limit -= static_cast<long long>(calls.size());
    before = calls.back().Id;
  }
  return 0;
}
