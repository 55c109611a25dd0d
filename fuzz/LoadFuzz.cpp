// libFuzzer target over the whole life of a configuration: any bytes as the file, loaded as
// start-up loads it, the due check at a few moments, saved to a file of its own and loaded
// back. Aborts when a value no entry may hold gets past the load, when the due check raises,
// when the due list is out of order, or when what we saved does not load back as it was.
#include "base/Errors.h"
#include "core/Scheduler.h"
#include "storage/ActionListFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sys/stat.h>

namespace {

// The folder of this fuzzing process: the input and the saved file.
const QTemporaryDir &Folder() {
  static const QTemporaryDir *const folder = [] {
    umask(077); // files that others could change would be refused
    return new QTemporaryDir;
  }();
  return *folder;
}

void Require(bool condition) {
  if (!condition)
    std::abort();
}

// Every value of a loaded entry lies where the load promises it.
void CheckLoaded(const TScheduler &scheduler) {
  Require(scheduler.Interval() <= MaxIntervalMs);
  for (int i = 0; i < scheduler.ActionList().Count(); ++i) {
    const TActionEntry &entry = *scheduler.ActionList()[i];
    Require(entry.FirstDate != 0 && IsEncodableDateTime(entry.FirstDate));
    Require(IsEncodableDateTime(entry.LastDate) || IsEncodableDateTime(entry.LastDate - RunMark));
    Require(entry.Freq == 0 || (entry.Freq >= 1 / MSecsPerDay && entry.Freq <= 3652058));
    Require(!entry.Action.IsEmpty() && entry.Action.Text().size() <= MaxActionLength);
    Require(entry.DueFlag == entry.SuddenStart);
  }
}

// Loads fileName into scheduler; false when the file as a whole was refused.
bool Load(TScheduler &scheduler, const QString &fileName, TLoadReport &report) {
  try {
    report = scheduler.LoadConfiguration(fileName);
    return true;
  } catch (const EInOutError &) {
    Require(scheduler.ActionList().Count() == 0);
    return false;
  }
}

bool Near(double a, double b) {
  return a == b || std::fabs(a - b) <= 1e-13 * std::max(std::fabs(a), std::fabs(b));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const QString input = Folder().filePath(QStringLiteral("eingabe.ini"));
  const QString saved = Folder().filePath(QStringLiteral("gesichert.ini"));
  {
    QFile file(input);
    Require(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size));
  }
  QFile::remove(saved);

  TScheduler scheduler;
  TLoadReport report;
  if (!Load(scheduler, input, report))
    return 0;
  CheckLoaded(scheduler);

  // Moments around the first entry and fixed ones across a month, a leap day and a year end.
  std::vector<TDateTime> moments = {46000.5, 46022.999, 46082.25, 46387.0};
  if (scheduler.ActionList().Count() > 0) {
    const TDateTime first = scheduler.ActionList()[0]->FirstDate;
    for (const double offset : {0.0, 1.0 / 86400, 1.5, 400.0})
      if (IsEncodableDateTime(first + offset))
        moments.push_back(first + offset);
  }
  for (const TDateTime now : moments) {
    try {
      scheduler.CollectDueActions(now);
    } catch (...) {
      std::abort(); // nothing a load lets through may make the due check raise
    }
    const TGeneralList &due = scheduler.DueList();
    for (int i = 1; i < due.Count(); ++i)
      Require(due.Value<double>(i - 1) <= due.Value<double>(i));
    for (int i = 0; i < due.Count(); ++i)
      TScheduler::TakeDueCall(*scheduler.DueEntry(i));
  }

  scheduler.SaveConfiguration(saved);
  TScheduler reloaded;
  TLoadReport again;
  Require(Load(reloaded, saved, again));
  // Our own file loads back whole and without a word of complaint.
  Require(again.IsEmpty());
  Require(reloaded.ActionList().Count() == scheduler.ActionList().Count());
  Require(reloaded.Interval() == scheduler.Interval());
  for (int i = 0; i < scheduler.ActionList().Count(); ++i) {
    const TActionEntry &a = *scheduler.ActionList()[i];
    const TActionEntry &b = *reloaded.ActionList()[i];
    Require(a.TimePoint == b.TimePoint && a.AllCalls == b.AllCalls && a.Action == b.Action);
    Require(Near(a.Freq, b.Freq) && Near(a.FirstDate, b.FirstDate) && Near(a.LastDate, b.LastDate));
  }
  return 0;
}
