// Opening the history window over a journal of 100 000 calls: the window, its filter and
// the first page of calls, shown and painted.
#include "core/journal/RunJournal.h"
#include "gui/editor/HistoryForm.h"
#include "gui/editor/HistoryModel.h"

#include <QApplication>
#include <QDir>
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
