#include "cli/CliActionCommands.h"

#include "cli/CliArguments.h"

#include "cli/CliConfig.h"
#include "cli/CliDateTime.h"
#include "core/MessageSink.h"
#include "core/Scheduler.h"
#include "platform/Clock.h"

#include <QHash>
#include <cmath>

namespace {

// More ticks than this would run for hours and print without end; such a span is refused.
constexpr long long MaxSimulatedTicks = 10000000;
// A span with an "Alle" entry of a short frequency can make far more calls than anyone reads;
// the listing stops after this many, with a note.
constexpr long long MaxPrintedCalls = 10000;

// A dry run carries out nothing, so what reaches the user is the due check's report of an
// entry it passes over: one line on stderr.
class TErrorLineSink : public TMessageSink {
public:
  explicit TErrorLineSink(QTextStream &err) : FErr(err) {}
  void Show(const QString &, const QString &, const QString &message) override {
    FErr << "simulate: " << QString(message).replace(QStringLiteral("\r\n"), QStringLiteral(" "))
         << "\n";
  }

private:
  QTextStream &FErr;
};

const TCliSyntax SimulateSyntax{
    QStringLiteral("simulate"),
    QStringLiteral("[KONFIGURATION] --from ZEIT --to ZEIT [--interval MS]"),
    QStringLiteral("Ein Probelauf: prüft die Aktionen bei jedem Takt von --from bis --to, wie "
                   "der Zeitgeber es\ntäte, führt nichts aus und sichert nichts. Eine Zeile je "
                   "Aufruf:\n<Takt> <Fälligkeit> #<Aktionsnummer> <Aktion>."),
    {{QStringLiteral("from"), QStringLiteral("ZEIT"),
      QStringLiteral("der erste Takt, YYYY-MM-DD hh:mm:ss[.zzz], Ortszeit")},
     {QStringLiteral("to"), QStringLiteral("ZEIT"), QStringLiteral("der letzte Takt")},
     {QStringLiteral("interval"), QStringLiteral("MS"),
      QStringLiteral("der Abstand der Takte (sonst der der Konfiguration)")}},
    1};
} // namespace

int CliSimulate(const QStringList &args, QTextStream &out, QTextStream &err) {
  TCliArguments read;
  if (const std::optional<int> done = ReadCliArguments(SimulateSyntax, args, out, err, read))
    return *done;
  const QString config = read.Positional(0);
  long long interval = 0;
  if (read.Has(QStringLiteral("interval"))) {
    bool ok = false;
    interval = read.Value(QStringLiteral("interval")).toLongLong(&ok);
    if (!ok || interval <= 0) {
      err << "simulate: --interval braucht eine Zahl von Millisekunden über 0\n";
      return 2;
    }
  }
  if (!read.Has(QStringLiteral("from")) || !read.Has(QStringLiteral("to"))) {
    err << "simulate: --from und --to sind nötig\n";
    return 2;
  }
  TDateTime from = 0, to = 0;
  for (const auto &[option, moment] :
       {std::pair<QString, TDateTime *>{QStringLiteral("from"), &from},
        std::pair<QString, TDateTime *>{QStringLiteral("to"), &to}})
    if (!ParseCliDateTime(read.Value(option), *moment)) {
      err << "simulate: unlesbares Datum \"" << read.Value(option)
          << "\" (YYYY-MM-DD hh:mm:ss[.zzz])\n";
      return 2;
    }
  // Ticks follow real elapsed time, so a span across a change of daylight saving shows what
  // the clock shows: the repeated hour twice, the skipped one not at all. A --to that the
  // clock shows twice means its later showing, so that the span holds both.
  const TMoment start(from);
  const std::vector<std::int64_t> toInstants = LocalInstantsOf(to);
  const long long spanMs =
      (toInstants.empty() ? TMoment(to).UtcMs : toInstants.back()) - start.UtcMs;
  if (spanMs < 0) {
    err << "simulate: --to liegt vor --from\n";
    return 2;
  }

  TScheduler scheduler;
  TErrorLineSink sink(err);
  scheduler.SetMessageSink(&sink);
  if (!LoadCliConfiguration(QStringLiteral("simulate"), config, scheduler, err))
    return 1;
  if (interval == 0)
    interval = scheduler.Interval();
  if (interval == 0) {
    // The tray program's timer never fires at interval 0: nothing would ever run.
    err << "simulate: Intervall 0 in der Konfiguration, der Zeitgeber feuert nie\n";
    return 0;
  }
  const long long ticks = spanMs / interval + 1;
  if (ticks > MaxSimulatedTicks) {
    err << "simulate: " << ticks << " Takte sind zu viele (höchstens " << MaxSimulatedTicks
        << "); größeres --interval oder kürzere Spanne wählen\n";
    return 2;
  }

  QHash<const TActionEntry *, int> numbers;
  for (int i = 0; i < scheduler.ActionList().Count(); ++i)
    numbers.insert(scheduler.ActionList()[i], i + 1);
  long long printed = 0;
  for (long long k = 0; k < ticks; ++k) {
    // From the start each time, in whole milliseconds, so that rounding does not add up
    // over a long span and a tick on a whole minute lies exactly on it.
    const TMoment tick = MomentAt(start.UtcMs + k * interval);
    scheduler.SetClock([tick] { return tick; });
    scheduler.CollectDueActions(tick); // raises nothing; reports an unfit entry once
    const QString tickText = CliDateTimeText(tick.Wall);
    const int n = scheduler.DueList().Count();
    for (int i = 0; i < n; ++i) {
      TActionEntry &entry = *scheduler.DueEntry(i);
      if (printed++ == MaxPrintedCalls) {
        err << "simulate: nach " << MaxPrintedCalls << " Aufrufen angehalten (Takt " << tickText
            << "); für die weiteren Aufrufe --from später setzen\n";
        return 0;
      }
      out << tickText << " " << CliDateTimeText(scheduler.DueList().Value<double>(i)) << " #"
          << numbers.value(&entry) << " " << entry.Action.Text() << "\n";
      TScheduler::TakeDueCall(entry);
    }
  }
  return 0;
}
