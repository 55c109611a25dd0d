// Cost of the run journal: a tick with nothing due (with and without a journal), a tick with
// one call (recorded with a sync to disk, begun, finished), and a day of every-second
// catch-up calls recorded in one transaction. The journal lies in a folder on the disk
// (KRONOLAB_BENCH_DIR, else the system's temporary folder), as the user's would.
#include "core/MessageSink.h"
#include "core/Scheduler.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

constexpr double Second = 1.0 / 86400;

class TNoSink : public TMessageSink {
public:
  void Show(const QString &, const QString &, const QString &) override {}
};

QString BenchFolder() {
  const QByteArray chosen = qgetenv("KRONOLAB_BENCH_DIR");
  return chosen.isEmpty() ? QDir::tempPath() : QString::fromLocal8Bit(chosen);
}

// n entries of every kind, none of them due at now.
std::vector<TActionEntry> QuietList(int n, TDateTime now) {
  std::vector<TActionEntry> entries;
  for (int i = 0; i < n; ++i) {
    TActionEntry entry;
    entry.TimePoint = static_cast<TTimePoint>(i % 6);
    entry.Action = QStringLiteral("\"prog %1\"").arg(i);
    entry.FirstDate = now - 30 + (i % 100) * 0.001;
    entry.Freq = 1.0 / 24;
    entry.LastDate = now + 400;
    entries.push_back(entry);
  }
  return entries;
}

// The whole tick (due check, journal hooks, dispatch) when nothing is due; range(1) = 1
// with a journal open.
void BM_TickNothingDue(benchmark::State &state) {
  QTemporaryDir dir(BenchFolder() + QStringLiteral("/kronolab-bench-XXXXXX"));
  TScheduler scheduler;
  TNoSink sink;
  scheduler.SetMessageSink(&sink);
  const TDateTime now = 46364.5;
  scheduler.SetClock([now] { return now; });
  scheduler.SetConfigFileName(dir.filePath(QStringLiteral("kronolab.ini")));
  scheduler.SetActions(QuietList(static_cast<int>(state.range(0)), now));
  if (state.range(1) != 0)
    scheduler.OpenJournal();
  for (auto _ : state) {
    scheduler.TimerTimer();
    benchmark::DoNotOptimize(scheduler.DueList().Count());
  }
  state.SetLabel(state.range(1) != 0 ? "journal" : "no journal");
}
BENCHMARK(BM_TickNothingDue)->Args({10, 0})->Args({10, 1})->Args({1000, 0})->Args({1000, 1});

// A tick with one call of a message: the record synced to disk, begun, shown, finished.
void BM_TickWithOneCall(benchmark::State &state) {
  QTemporaryDir dir(BenchFolder() + QStringLiteral("/kronolab-bench-XXXXXX"));
  TScheduler scheduler;
  TNoSink sink;
  scheduler.SetMessageSink(&sink);
  TDateTime now = 46364.5 + 0.5 * Second;
  scheduler.SetClock([&now] { return now; });
  scheduler.SetConfigFileName(dir.filePath(QStringLiteral("kronolab.ini")));
  TActionEntry entry = NewActionEntry(tpFrequency, 46364, QStringLiteral("\"Takt\""));
  entry.Freq = Second;
  entry.LastDate = now - Second;
  scheduler.SetActions({entry});
  if (state.range(0) != 0)
    scheduler.OpenJournal();
  for (auto _ : state) {
    now += Second;
    scheduler.TimerTimer();
  }
  if (state.range(0) != 0)
    state.counters["calls"] = static_cast<double>(scheduler.Journal()->CallCount());
  state.SetLabel(state.range(0) != 0 ? "journal" : "no journal");
}
BENCHMARK(BM_TickWithOneCall)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A day away with a call every second and "Alle": 86 400 calls in one transaction, each
// time into a new journal, as after a day without the program.
void BM_RecordADayOfCatchUpCalls(benchmark::State &state) {
  TActionEntry entry = NewActionEntry(tpFrequency, 46364, QStringLiteral("%COPY /a/* /b"));
  entry.Freq = Second;
  entry.AllCalls = true;
  const QString key = EntryKeys({&entry}).front();
  std::vector<TDueCall> calls;
  for (int k = 1; k <= 86400; ++k)
    calls.push_back({key, entry.Action, 1, entry.FirstDate + k * Second});
  for (auto _ : state) {
    state.PauseTiming();
    QTemporaryDir dir(BenchFolder() + QStringLiteral("/kronolab-bench-XXXXXX"));
    auto journal = std::make_unique<TRunJournal>();
    journal->Open(dir.filePath(QStringLiteral("kronolab.sqlite")), 46365.5);
    state.ResumeTiming();
    const std::vector<std::int64_t> ids = journal->RecordCalls(calls, 46365.5);
    state.PauseTiming();
    if (ids.size() != calls.size())
      state.SkipWithError("not recorded");
    journal.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(calls.size()));
}
BENCHMARK(BM_RecordADayOfCatchUpCalls)->Unit(benchmark::kMillisecond)->Iterations(5);

// Opening at start-up a journal that holds 100 000 calls: the check of the file, the
// marking of calls an earlier run left open, the pruning.
void BM_OpenAFullJournal(benchmark::State &state) {
  QTemporaryDir dir(BenchFolder() + QStringLiteral("/kronolab-bench-XXXXXX"));
  const QString file = dir.filePath(QStringLiteral("kronolab.sqlite"));
  {
    std::vector<TDueCall> calls;
    for (int k = 0; k < 100000; ++k)
      calls.push_back({QStringLiteral("key %1").arg(k % 20), QStringLiteral("\"Aktion\""),
                       k % 20 + 1, 46300 + k * Second});
    TRunJournal journal;
    journal.Open(file, 46365.5);
    journal.RecordCalls(calls, 46365.5);
  }
  // The calls were left open; a first start marks them, later starts find nothing to mark.
  TRunJournal().Open(file, 46365.5);
  // range(0) = 1: a reader keeps the write-ahead log in place, as a run that ended without
  // closing leaves it, so that every start checks the whole file.
  TRunJournal reader;
  if (state.range(0) != 0)
    reader.OpenForReading(file);
  for (auto _ : state) {
    TRunJournal journal;
    if (!journal.Open(file, 46365.5))
      state.SkipWithError("not opened");
  }
  state.SetLabel(state.range(0) != 0 ? "after an unclean end" : "after a clean end");
}
BENCHMARK(BM_OpenAFullJournal)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
