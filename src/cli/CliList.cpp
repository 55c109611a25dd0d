#include "cli/CliActionCommands.h"

#include "cli/CliArguments.h"

#include "cli/CliConfig.h"
#include "cli/CliDateTime.h"
#include "core/Scheduler.h"
#include "core/journal/RunJournal.h"
#include "platform/Clock.h"

int CliList(const QStringList &args, QTextStream &out, QTextStream &err) {
  return CliListAt(args, out, err, Now());
}

namespace {

const TCliSyntax ListSyntax{
    QStringLiteral("list"),
    QStringLiteral("[KONFIGURATION]"),
    QStringLiteral("Zeigt das Intervall und die Aktionen, wie das Aktionsfenster sie zeigt, mit "
                   "ihrem letzten\nund ihrem nächsten Lauf, durch Tabulatoren getrennt. Ohne "
                   "KONFIGURATION die des\nProgramms im Infobereich."),
    {},
    1};

} // namespace

int CliListAt(const QStringList &args, QTextStream &out, QTextStream &err, TDateTime now) {
  TCliArguments read;
  if (const std::optional<int> done = ReadCliArguments(ListSyntax, args, out, err, read))
    return *done;
  const QString config = read.Positional(0);
  TScheduler scheduler;
  if (!LoadCliConfiguration(QStringLiteral("list"), config, scheduler, err))
    return 1;
  // Calls the journal recorded after the file was last saved count here as they do for the
  // scheduler at its start, so that the next run shown is one it will really make. Without a
  // readable journal the file's own last runs are all there is.
  TRunJournal journal;
  if (journal.OpenForReading(TRunJournal::FileNameFor(scheduler.ConfigFileName())))
    scheduler.MergeJournalLastDates(journal);

  out << "Intervall: " << scheduler.Interval() << " ms ("
      << MsToTimeText(static_cast<std::int64_t>(scheduler.Interval())) << ")\n";
  // Tab-separated so that scripts can cut columns; the action last, as it may hold tabs.
  out << "Nr\tZeitpunkt\tUhrzeit\tLetzter Lauf\tNächster Lauf\tAktiv\tAktion\n";
  for (int i = 0; i < scheduler.ActionList().Count(); ++i) {
    const TActionEntry &entry = *scheduler.ActionList()[i];
    const TDateTime next = TScheduler::NextDuePoint(entry, now);
    out << i + 1 << "\t" << TimePointText(entry.TimePoint, entry.FirstDate, entry.Weekdays) << "\t"
        << TimeText(entry.FirstDate) << "\t"
        << (NeverRun(entry) ? QStringLiteral("nie") : CliDateTimeText(entry.LastDate)) << "\t"
        << (next == 0 ? QStringLiteral("-") : CliDateTimeText(next)) << "\t"
        << (entry.Active ? QStringLiteral("ja") : QStringLiteral("nein")) << "\t"
        << entry.Action.Text() << "\n";
  }
  return 0;
}
