// Cost of the due check per tick: a list where nothing is due, and one huge catch-up.
#include "core/Scheduler.h"

#include <benchmark/benchmark.h>
#include <cmath>

namespace {

constexpr double Second = 1.0 / 86400;

// n entries of every kind, none of them due at now.
void FillQuietList(TScheduler &scheduler, int n, TDateTime now) {
  std::vector<TActionEntry> entries;
  for (int i = 0; i < n; ++i) {
    TActionEntry entry;
    entry.TimePoint = static_cast<TTimePoint>(i % 6);
    entry.Action = QStringLiteral("prog %1").arg(i);
    entry.FirstDate = now - 30 + (i % 100) * 0.001;
    entry.Freq = 1.0 / 24;
    // Each period's point already recorded: nothing is due.
    entry.LastDate = now + 400;
    entries.push_back(entry);
  }
  scheduler.SetActions(entries);
}

void BM_CollectDueActionsNothingDue(benchmark::State &state) {
  TScheduler scheduler;
  const TDateTime now = 46364.5;
  FillQuietList(scheduler, static_cast<int>(state.range(0)), now);
  for (auto _ : state) {
    scheduler.CollectDueActions(now);
    benchmark::DoNotOptimize(scheduler.DueList().Count());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_CollectDueActionsNothingDue)->Arg(10)->Arg(1000)->Arg(100000);

// n entries of every kind as a user's list stands between two calls: each one's last call
// made, its next due point hours ahead.
std::vector<TActionEntry> IdleList(int n, TDateTime now) {
  std::vector<TActionEntry> entries;
  for (int i = 0; i < n; ++i) {
    const auto kind = static_cast<TTimePoint>(i % 6);
    // Due each day at 02:00 to 02:59, long past at now (noon).
    TActionEntry entry = NewActionEntry(kind, std::floor(now) - 30 + (2 + (i % 60) / 60.0) / 24,
                                        QStringLiteral("prog %1").arg(i));
    entry.Freq = 1.0 / 24;
    const double periods = std::floor((now - entry.FirstDate) / entry.Freq);
    entry.LastDate = kind == tpFrequency ? entry.FirstDate + periods * entry.Freq + RunMark
                                         : now - 0.25 + RunMark;
    if (kind == tpOnce)
      entry.LastDate = entry.FirstDate + RunMark;
    entries.push_back(entry);
  }
  return entries;
}

// The due check of a tick at which nothing is due, through the seam's clock, as the
// scheduler runs it between calls; range(0) entries.
void BM_IdleDueCheck(benchmark::State &state) {
  TScheduler scheduler;
  const TDateTime now = 46364.5 + 10 * Second;
  scheduler.SetActions(IdleList(static_cast<int>(state.range(0)), now));
  for (auto _ : state) {
    scheduler.CollectDueActions(now);
    if (scheduler.DueList().Count() != 0)
      state.SkipWithError("something was due");
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_IdleDueCheck)->Arg(20)->Arg(10000)->Unit(benchmark::kMicrosecond);

// A million missed calls: one tick collects as many as it may (the rest follow later).
void BM_CatchUpOfAMillionCalls(benchmark::State &state) {
  TScheduler scheduler;
  const TDateTime first = 46000;
  TActionEntry entry;
  entry.Freq = Second;
  entry.AllCalls = true;
  entry.FirstDate = first;
  entry.Action = QStringLiteral("prog");
  for (auto _ : state) {
    state.PauseTiming();
    entry.LastDate = first + 0.1 * Second;
    scheduler.SetActions({entry});
    state.ResumeTiming();
    scheduler.CollectDueActions(first + 1000000.5 * Second);
    benchmark::DoNotOptimize(scheduler.DueList().Count());
  }
  state.counters["calls"] = scheduler.DueList().Count();
  state.counters["bytes"] = static_cast<double>(scheduler.DueList().Capacity()) *
                            (scheduler.DueList().ElementSize() + sizeof(TListData));
}
BENCHMARK(BM_CatchUpOfAMillionCalls)->Unit(benchmark::kMillisecond);

// Catch-up calls that all fall on one point (an interval far below what a date-time value
// resolves): each goes in after the equal ones by binary search, not by a walk past them.
void BM_CatchUpOnOnePoint(benchmark::State &state) {
  TScheduler scheduler;
  TActionEntry entry;
  entry.Freq = 1e-300;
  entry.AllCalls = true;
  entry.FirstDate = 46000;
  entry.LastDate = 45999;
  entry.Action = QStringLiteral("prog");
  scheduler.SetTickTimeBudgetMs(60000); // the count ends the tick here, not the clock
  for (auto _ : state) {
    state.PauseTiming();
    scheduler.SetActions({entry});
    state.ResumeTiming();
    scheduler.CollectDueActions(46001);
    benchmark::DoNotOptimize(scheduler.DueList().Count());
  }
  state.counters["calls"] = scheduler.DueList().Count();
}
BENCHMARK(BM_CatchUpOnOnePoint)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
