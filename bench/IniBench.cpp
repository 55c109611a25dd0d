// Cost of the configuration file at 10 000 actions: our load and read, the save after one
// change, and QSettings reading the same file, side by side.
#include "core/Scheduler.h"
#include "storage/XIniFile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

constexpr int ActionCount = 10000;

// The folder and the file of 10 000 actions, written once by the tray program's own save,
// so keys and their order are those the tray writes (about 90 000 lines).
const QString &BigConfiguration() {
  static QTemporaryDir dir;
  static const QString name = [] {
    const QString file = dir.filePath(QStringLiteral("kronolab.ini"));
    TScheduler scheduler;
    std::vector<TActionEntry> entries;
    for (int i = 0; i < ActionCount; ++i) {
      TActionEntry entry;
      entry.TimePoint = static_cast<TTimePoint>(i % 6);
      entry.SuddenStart = i % 7 == 0;
      entry.AllCalls = i % 2 == 0;
      entry.Freq = (i % 24 + 1) / 24.0;
      entry.FirstDate = 46000 + i * 0.0137;
      entry.LastDate = entry.FirstDate + 3.25;
      entry.Action = QStringLiteral("%COPY /home/anna/Daten/Projekt%1/*.txt /media/sicherung/%1 "
                                    "%TIMESTAMP%")
                         .arg(i);
      entries.push_back(entry);
    }
    scheduler.SetActions(entries);
    scheduler.SaveConfiguration(file);
    return file;
  }();
  return name;
}

void BM_LoadConfiguration(benchmark::State &state) {
  const QString &file = BigConfiguration();
  TScheduler scheduler;
  for (auto _ : state) {
    scheduler.LoadConfiguration(file);
    benchmark::DoNotOptimize(scheduler.ActionList().Count());
  }
  state.counters["actions"] = scheduler.ActionList().Count();
}
BENCHMARK(BM_LoadConfiguration)->Unit(benchmark::kMillisecond);

// The engine alone: load, then every key of every section as a string.
void BM_XIniFileLoadAndReadAll(benchmark::State &state) {
  const QString &file = BigConfiguration();
  qsizetype values = 0;
  for (auto _ : state) {
    TXIniFile ini(file);
    QStringList sections;
    ini.ReadSections(sections);
    values = 0;
    for (const QString &section : sections) {
      QStringList keys;
      ini.ReadSection(section, keys);
      for (const QString &key : keys)
        values += ini.ReadString(section, key, QString()).size();
    }
    benchmark::DoNotOptimize(values);
  }
  state.counters["chars"] = static_cast<double>(values);
}
BENCHMARK(BM_XIniFileLoadAndReadAll)->Unit(benchmark::kMillisecond);

// QSettings reading the same file and all its values. It keeps parsed files in a cache that
// it trusts while the file's time stamp is unchanged, so each round moves the time stamp.
void BM_QSettingsLoadAndReadAll(benchmark::State &state) {
  const QString &file = BigConfiguration();
  QDateTime stamp = QDateTime::currentDateTime();
  qsizetype values = 0;
  for (auto _ : state) {
    state.PauseTiming();
    {
      QFile touch(file);
      stamp = stamp.addSecs(1);
      if (!touch.open(QIODevice::ReadWrite) ||
          !touch.setFileTime(stamp, QFileDevice::FileModificationTime))
        state.SkipWithError("cannot move the file's time stamp");
    }
    state.ResumeTiming();
    QSettings settings(file, QSettings::IniFormat);
    values = 0;
    const QStringList keys = settings.allKeys();
    for (const QString &key : keys)
      values += settings.value(key).toString().size();
    benchmark::DoNotOptimize(values);
  }
  state.counters["keys"] = static_cast<double>(values);
}
BENCHMARK(BM_QSettingsLoadAndReadAll)->Unit(benchmark::kMillisecond);

// The tray's save after one entry ran: load what the file holds, write every key (one of
// them changed), rewrite the file.
void BM_SaveConfigurationAfterOneChange(benchmark::State &state) {
  const QString &file = BigConfiguration();
  TScheduler scheduler;
  scheduler.LoadConfiguration(file);
  TActionEntry &entry = *scheduler.ActionList()[ActionCount / 2];
  for (auto _ : state) {
    entry.LastDate += 1; // a new run each round, so the file must be written
    scheduler.SaveConfiguration(file);
  }
}
BENCHMARK(BM_SaveConfigurationAfterOneChange)->Unit(benchmark::kMillisecond);

// The engine alone: load, one WriteString, rewrite the file.
void BM_XIniFileSaveAfterOneWrite(benchmark::State &state) {
  const QString &file = BigConfiguration();
  int round = 0;
  for (auto _ : state) {
    TXIniFile ini(file);
    ini.WriteString(QStringLiteral("Action5000"), QStringLiteral("Action"),
                    QStringLiteral("prog %1").arg(++round));
    ini.UpdateFile();
  }
}
BENCHMARK(BM_XIniFileSaveAfterOneWrite)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
