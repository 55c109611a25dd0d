#include "cli/CliActionCommands.h"
#include "core/InstanceLock.h"

#include "base/Errors.h"
#include "core/CmdLine.h"
#include "core/MessageSink.h"
#include "core/Scheduler.h"

#include <QDir>
#include <csignal>
#include <ctime>

namespace {

volatile std::sig_atomic_t StopRequested = 0;

extern "C" void RequestStop(int) {
  StopRequested = 1;
}

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

// Sleeps ms milliseconds; a signal ends the sleep early (no SA_RESTART).
void Sleep(unsigned ms) {
  timespec span{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  nanosleep(&span, nullptr);
}

} // namespace

int CliRun(const QStringList &args, QTextStream &out, QTextStream &err) {
  QStringList files;
  long ticks = -1;
  for (qsizetype i = 0; i < args.size(); ++i) {
    if (args[i] == u"--ticks") {
      bool ok = false;
      ticks = i + 1 < args.size() ? args[i + 1].toLong(&ok) : -1;
      if (!ok || ticks < 0) {
        err << "run: --ticks braucht eine Zahl ab 0\n";
        return 2;
      }
      ++i;
    } else if (files.size() < 2) {
      files.append(args[i]);
    } else {
      err << "run: zu viele Argumente\n";
      return 2;
    }
  }
  TScheduler scheduler;
  TStdoutSink sink(out);
  scheduler.MessageSink = &sink;
  try {
    // The same file-name rules as the tray program's start.
    const TStartupFiles names = StartupFileNames(files, QDir::currentPath());
    scheduler.ConfigFileName = names.ConfigFileName;
    scheduler.LogFileName = names.LogFileName;
  } catch (const std::exception &error) {
    err << "run: " << ErrorMessage(error) << "\n";
    return 1;
  }
  // One scheduler per configuration file, whether tray program or this command.
  TInstanceLock lock(scheduler.ConfigFileName);
  if (!lock.TryAcquire("run")) {
    err << "run: " << scheduler.ConfigFileName
        << ": Kronolab läuft schon für diese Konfiguration\n";
    return 1;
  }
  try {
    scheduler.LoadConfiguration(scheduler.ConfigFileName);
  } catch (const std::exception &error) {
    err << "run: " << scheduler.ConfigFileName << ": " << ErrorMessage(error) << "\n";
    return 1;
  }
  // Calls recorded before a crash are not made again.
  scheduler.OpenJournal();
  scheduler.MergeJournalLastDates();

  struct sigaction action {};
  action.sa_handler = RequestStop;
  sigemptyset(&action.sa_mask);
  struct sigaction oldInt {
  }, oldTerm{};
  sigaction(SIGINT, &action, &oldInt);
  sigaction(SIGTERM, &action, &oldTerm);
  StopRequested = 0;
  for (long done = 0; !StopRequested && (ticks < 0 || done < ticks);) {
    if (scheduler.Interval == 0) {
      Sleep(1000); // a timer of interval 0 never fires
      continue;
    }
    scheduler.TimerTimer();
    out.flush();
    if (++done == ticks)
      break;
    Sleep(scheduler.Interval);
  }
  sigaction(SIGINT, &oldInt, nullptr);
  sigaction(SIGTERM, &oldTerm, nullptr);

  try {
    scheduler.SaveConfiguration(scheduler.ConfigFileName);
  } catch (const std::exception &error) {
    err << "run: " << scheduler.ConfigFileName << ": " << ErrorMessage(error) << "\n";
    return 1;
  }
  return 0;
}
