// Opening the history window over a journal of 100 000 calls: the window, its filter and
// the first page of calls, shown and painted.
#include "cli/CliActionCommands.h"
#include "core/Scheduler.h"
#include "core/journal/RunJournal.h"
#include "gui/editor/HistoryForm.h"
#include "gui/editor/HistoryModel.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTableView>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

constexpr double Second = 1.0 / 86400;
constexpr int Calls = 100000;
constexpr int Entries = 20;

void BM_OpenHistoryWindow(benchmark::State &state) {
  const QByteArray chosen = qgetenv("KRONOLAB_BENCH_DIR");
  QTemporaryDir dir((chosen.isEmpty() ? QDir::tempPath() : QString::fromLocal8Bit(chosen)) +
                    QStringLiteral("/kronolab-bench-XXXXXX"));
  TRunJournal journal;
  journal.Open(dir.filePath(QStringLiteral("kronolab.sqlite")), 46365.5);
  std::vector<TDueCall> calls;
  for (int k = 0; k < Calls; ++k) {
    const int entry = k % Entries;
    calls.push_back({QStringLiteral("key %1").arg(entry),
                     QStringLiteral("\"Aktion %1\"").arg(entry), entry + 1, 46300 + k * Second});
  }
  journal.RecordCalls(calls, 46365.5);
  std::vector<THistoryAction> actions;
  for (int entry = 0; entry < Entries; ++entry)
    actions.push_back({entry + 1, QStringLiteral("\"Aktion %1\"").arg(entry),
                       journal.FindEntry(QStringLiteral("key %1").arg(entry))});
  for (auto _ : state) {
    THistoryForm form(&journal);
    form.SetActions(actions);
    form.show();
    form.CallsView->viewport()->repaint();
    QApplication::processEvents();
    benchmark::DoNotOptimize(form.Model->rowCount());
  }
  state.counters["calls"] = static_cast<double>(journal.CallCount());
}
BENCHMARK(BM_OpenHistoryWindow)->Unit(benchmark::kMillisecond);

// kronolab-cli history over a journal of 100 000 calls, each begun and ended, written through
// the journal's own API beside a configuration of 20 entries; the lines go nowhere.
void BM_HistoryCommand(benchmark::State &state) {
  const QByteArray chosen = qgetenv("KRONOLAB_BENCH_DIR");
  QTemporaryDir dir((chosen.isEmpty() ? QDir::tempPath() : QString::fromLocal8Bit(chosen)) +
                    QStringLiteral("/kronolab-bench-XXXXXX"));
  // Kept when asked, for timing the built kronolab-cli over the same files.
  dir.setAutoRemove(qEnvironmentVariableIsEmpty("KRONOLAB_BENCH_KEEP"));
  const QString config = dir.filePath(QStringLiteral("kronolab.ini"));
  std::vector<TActionEntry> entries;
  for (int entry = 0; entry < Entries; ++entry)
    entries.push_back(NewActionEntry(tpDaily, 46300 + entry * Second,
                                     QStringLiteral("\"Aktion %1\"").arg(entry)));
  {
    TScheduler scheduler;
    scheduler.SetActions(entries);
    scheduler.SaveConfiguration(config);
  }
  {
    std::vector<const TActionEntry *> listed;
    for (const TActionEntry &entry : entries)
      listed.push_back(&entry);
    const std::vector<QString> keys = EntryKeys(listed);
    TRunJournal journal;
    journal.Open(TRunJournal::FileNameFor(config), 46365.5);
    std::vector<TDueCall> calls;
    for (int k = 0; k < Calls; ++k)
      calls.push_back({keys[static_cast<std::size_t>(k % Entries)],
                       entries[static_cast<std::size_t>(k % Entries)].Action, k % Entries + 1,
                       46300 + k * Second});
    const std::vector<std::int64_t> ids = journal.RecordCalls(calls, 46365.5);
    for (std::size_t k = 0; k < ids.size(); ++k) {
      journal.BeginCall(ids[k], calls[k].Due + 0.2 * Second, calls[k].Action);
      journal.FinishCall(ids[k], {TCallState::Done, 0, 0, QString(), 12});
    }
  }
  // Written to /dev/null as a terminal's pipe would take them, not gathered in memory.
  QFile nowhere(QStringLiteral("/dev/null"));
  if (!nowhere.open(QIODevice::WriteOnly))
    state.SkipWithError("/dev/null cannot be opened");
  for (auto _ : state) {
    QTextStream out(&nowhere), err(stderr);
    if (CliHistory({config}, out, err) != 0)
      state.SkipWithError("history failed");
    out.flush();
    benchmark::DoNotOptimize(nowhere.pos());
  }
}
BENCHMARK(BM_HistoryCommand)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
  // Without a display the window is drawn off screen; a display is used when named.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
