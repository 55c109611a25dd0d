#include "cli/CliActionCommands.h"

#include "cli/CliArguments.h"
#include "core/InstanceLock.h"

#include "base/Errors.h"
#include "core/CmdLine.h"
#include "core/MessageSink.h"
#include "core/Scheduler.h"
#include "storage/BigIniFile.h"

#include "platform/ExitSignals.h"

#include <QDir>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdint>

namespace {

// Prints every message as "caption: header" and its lines.
class TStdoutSink : public TMessageSink {
public:
  explicit TStdoutSink(QTextStream &out) : FOut(out) {}
  void Show(const QString &caption, const QString &header, const QString &message) override {
    FOut << caption << ": " << header << "\n";
    QString text = message;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    FOut << text << "\n";
    FOut.flush();
  }

private:
  QTextStream &FOut;
};

// Waits for the next point of the grid start + k × interval (as the tray's timer keeps its
// ticks: one that ran long makes the next come at the following grid point, never shifted by
// its run time), or until an end request comes; true for the latter. kronolab-cli's list
// commands are answered meanwhile.
bool WaitForNextTick(const QElapsedTimer &started, unsigned interval, TInstanceLock &lock) {
  for (;;) {
    const qint64 elapsed = started.elapsed();
    const qint64 next = (elapsed / interval + 1) * static_cast<qint64>(interval);
    if (WaitForExitSignal(static_cast<int>(std::min<qint64>(next - elapsed, INT32_MAX)),
                          lock.ListeningDescriptor()))
      return true;
    lock.ServeWaitingCallers();
    if (started.elapsed() >= next)
      return false;
  }
}

const TCliSyntax RunSyntax{
    QStringLiteral("run"),
    QStringLiteral("[KONFIGURATION [PROTOKOLL]] [--ticks N]"),
    QStringLiteral(
        "Der Zeitplaner ohne Fenster: führt die Aktionen aus wie das Programm im Infobereich,\n"
        "Nachrichten erscheinen auf der Standardausgabe. Sichert die Konfiguration wie "
        "\"Beenden\" nach\nN Takten und bei SIGINT (Strg+C), SIGTERM und SIGHUP. Ohne "
        "KONFIGURATION die des Programms\nim Infobereich; für jede Konfiguration läuft nur "
        "ein Kronolab."),
    {{QStringLiteral("ticks"), QStringLiteral("N"), QStringLiteral("endet nach N Takten")}},
    2};

} // namespace

int CliRun(const QStringList &args, QTextStream &out, QTextStream &err) {
  TCliArguments read;
  if (const std::optional<int> done = ReadCliArguments(RunSyntax, args, out, err, read))
    return *done;
  long ticks = -1;
  if (read.Has(QStringLiteral("ticks"))) {
    bool ok = false;
    ticks = read.Value(QStringLiteral("ticks")).toLong(&ok);
    if (!ok || ticks < 0) {
      err << "run: --ticks braucht eine Zahl ab 0\n";
      return 2;
    }
  }
  const QStringList files = read.Positionals;
  TScheduler scheduler;
  TStdoutSink sink(out);
  scheduler.SetMessageSink(&sink);
  try {
    // The same file-name rules as the tray program's start.
    const TStartupFiles names = StartupFileNames(files, QDir::currentPath());
    scheduler.SetConfigFileName(names.ConfigFileName);
    scheduler.SetLogFileName(names.LogFileName);
  } catch (const std::exception &error) {
    err << "run: " << ErrorMessage(error) << "\n";
    return 1;
  }
  // One scheduler per configuration file, whether tray program or this command. Without an
  // event loop it answers between its ticks, and only kronolab-cli's list commands: a later
  // tray start is told "no" and ends.
  TInstanceLock lock(scheduler.ConfigFileName());
  lock.PolledRequests = true;
  lock.OnCommand = [&scheduler](const QByteArray &request) -> std::optional<QByteArray> {
    const std::optional<TListCommand> command = ParseListCommandRequest(request);
    if (!command)
      return std::nullopt;
    return ListCommandAnswer(scheduler.ApplyListCommand(*command, scheduler.Clock()));
  };
  if (!lock.TryAcquire({})) {
    if (!lock.ErrorText().isEmpty())
      err << "run: " << lock.ErrorText() << "\n";
    else
      err << "run: " << scheduler.ConfigFileName()
          << ": Kronolab läuft schon für diese Konfiguration\n";
    return 1;
  }
  RemoveStaleSaveFiles(scheduler.ConfigFileName());
  try {
    scheduler.LoadConfiguration(scheduler.ConfigFileName());
  } catch (const std::exception &error) {
    err << "run: " << ErrorMessage(error) << "\n";
    return 1;
  }
  // Calls recorded before a crash are not made again.
  scheduler.OpenJournal();
  scheduler.MergeJournalLastDates();

  HoldExitSignals();
  if (scheduler.Interval() == 0) {
    // A timer of interval 0 never fires: no tick will ever come.
    err << "run: Intervall 0 in der Konfiguration, der Zeitgeber feuert nie\n";
    err.flush();
    // Ticks that never come are not waited for; without --ticks it waits to be ended.
    while (ticks < 0 && !WaitForExitSignal(-1, lock.ListeningDescriptor()))
      lock.ServeWaitingCallers();
  } else {
    QElapsedTimer started;
    started.start();
    for (long done = 0; done != ticks;) {
      scheduler.TimerTimer();
      lock.Refresh(); // another program may have saved a new file in its place
      out.flush();
      if (++done == ticks || WaitForNextTick(started, scheduler.Interval(), lock))
        break;
    }
  }
  ReleaseExitSignals();

  try {
    scheduler.SaveConfiguration(scheduler.ConfigFileName());
  } catch (const std::exception &error) {
    err << "run: " << ErrorMessage(error) << "\n";
    return 1;
  }
  return 0;
}
