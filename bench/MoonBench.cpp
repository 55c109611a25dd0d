// Cost of the moon's part of one tick: SetDate and GetIcon of the 64-pixel moon control.
#include "gui/moon/Moon.h"
#include "moon/MoonPhase.h"

#include <QApplication>
#include <benchmark/benchmark.h>

namespace {

void BM_MoonSetDateAndGetIcon(benchmark::State &state) {
  TMoon moon;
  moon.SetMoonSize(ms64);
  TDateTime date = 46362.5;
  for (auto _ : state) {
    // A new moment each round, one second on, as consecutive ticks give.
    date += 1.0 / 86400;
    moon.SetDate(date);
    benchmark::DoNotOptimize(moon.GetIcon().cacheKey());
  }
}
BENCHMARK(BM_MoonSetDateAndGetIcon)->Unit(benchmark::kMicrosecond);

// The rarer tick whose shadow has moved by a pixel: the picture and the icon are made anew.
void BM_MoonSetDateAndNewIcon(benchmark::State &state) {
  TMoon moon;
  moon.SetMoonSize(ms64);
  TDateTime date = 46362.5;
  for (auto _ : state) {
    date += 1.0;
    moon.SetDate(date);
    benchmark::DoNotOptimize(moon.GetIcon().cacheKey());
  }
}
BENCHMARK(BM_MoonSetDateAndNewIcon)->Unit(benchmark::kMicrosecond);

// The phase series alone, as the picture's input is worked out.
void BM_PhaseAngle(benchmark::State &state) {
  TDateTime date = 46362.5;
  for (auto _ : state) {
    date += 1.0 / 86400;
    benchmark::DoNotOptimize(PhaseAngle(date));
  }
}
BENCHMARK(BM_PhaseAngle)->Unit(benchmark::kMicrosecond);

// Looking ahead for the next change of the 64-pixel picture, from moments spread over a month.
void BM_NextPictureChange(benchmark::State &state) {
  TDateTime date = 46362.5;
  for (auto _ : state) {
    date += 0.37;
    benchmark::DoNotOptimize(NextPictureChange(date, ms64));
  }
}
BENCHMARK(BM_NextPictureChange)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv) {
  // The control needs a GUI application, but no display.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
