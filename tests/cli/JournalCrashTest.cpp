// The scheduler killed at random moments and started again, over and over, as a crash, an
// out-of-memory kill or a power cut would end it: no grid point may ever be made twice.
#include "TestHelpers.h"
#include "core/Scheduler.h"
#include "core/journal/RunJournal.h"
#include "platform/Clock.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <map>
#include <random>

namespace {

constexpr double Second = 1.0 / 86400;

TActionEntry EverySecond(const QString &action, TDateTime first, bool allCalls) {
  TActionEntry entry = NewActionEntry(tpFrequency, first, action);
  entry.Freq = Second;
  entry.AllCalls = allCalls;
  entry.LastDate = first;
  return entry;
}

TEST(JournalCrash, KilledAtRandomAndRestartedTheSchedulerNeverMakesAGridPointTwice) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString config = dir.filePath(QStringLiteral("kronolab.ini"));
  {
    // Two entries every second from now on: one making up every missed call, one only
    // the latest.
    const TDateTime first = std::floor(Now() * 86400) / 86400;
    TScheduler writer;
    writer.SetActions({EverySecond(QStringLiteral("\"nur der letzte\""), first, false),
                       EverySecond(QStringLiteral("%MKDIR %1/alle").arg(dir.path()), first, true)});
    writer.SetInterval(100);
    writer.SetLogging(true);
    writer.SaveConfiguration(config);
  }

  const unsigned seed = static_cast<unsigned>(
      std::chrono::steady_clock::now().time_since_epoch().count() & 0xffffffff);
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> lifetimeMs(50, 2500);
  QElapsedTimer total;
  total.start();
  int kills = 0;
  while (total.elapsed() < KRONOLAB_CRASH_TEST_SECONDS * 1000) {
    QProcess scheduler;
    scheduler.setStandardOutputFile(QProcess::nullDevice());
    scheduler.start(QStringLiteral(KRONOLAB_CLI_PROGRAM), {QStringLiteral("run"), config});
    ASSERT_TRUE(scheduler.waitForStarted(30000));
    // At a random moment, also while it starts up, records or carries out a call.
    scheduler.waitForFinished(lifetimeMs(random));
    ASSERT_EQ(scheduler.state(), QProcess::Running)
        << scheduler.readAllStandardError().toStdString();
    kill(static_cast<pid_t>(scheduler.processId()), SIGKILL);
    ASSERT_TRUE(scheduler.waitForFinished(30000));
    ++kills;
  }

  TRunJournal journal;
  ASSERT_TRUE(journal.OpenForReading(dir.filePath(QStringLiteral("kronolab.sqlite"))))
      << journal.Problem().toStdString();
  std::map<std::int64_t, std::vector<TCallRecord>> byEntry;
  const std::vector<TCallRecord> calls = journal.Calls({}, INT64_MAX, 1000000);
  for (auto call = calls.rbegin(); call != calls.rend(); ++call)
    byEntry[call->EntryId].push_back(*call);
  ASSERT_EQ(byEntry.size(), 2u);
  int made = 0;
  for (const auto &[entry, entryCalls] : byEntry) {
    QSet<qint64> seen;
    for (const TCallRecord &call : entryCalls) {
      const qint64 due = std::llround(call.Due * 86400000);
      EXPECT_FALSE(seen.contains(due)) << "grid point recorded twice: " << due;
      seen.insert(due);
      made += call.State != TCallState::NotStarted ? 1 : 0;
    }
    // The entry that makes up every call has every grid point, each once, none skipped.
    if (entryCalls.front().Action.startsWith(u'%')) {
      for (std::size_t i = 1; i < entryCalls.size(); ++i)
        EXPECT_NEAR(entryCalls[i].Due - entryCalls[i - 1].Due, Second, MsTolerance);
    }
  }
  EXPECT_GT(kills, 10);
  EXPECT_GT(made, KRONOLAB_CRASH_TEST_SECONDS / 2);

  // The log, written after each call, says the same without the journal's help: the entry
  // without catch-up logs its own due point, and none appears twice.
  QFile log(dir.filePath(QStringLiteral("kronolab.log")));
  ASSERT_TRUE(log.open(QIODevice::ReadOnly));
  QStringList duePoints;
  for (const QString &line : QString::fromUtf8(log.readAll()).split(QStringLiteral("\r\n")))
    if (line.contains(QStringLiteral("nur der letzte")))
      duePoints.append(line.section(QStringLiteral(" ; "), -1));
  EXPECT_GT(duePoints.size(), 5);
  EXPECT_EQ(QSet<QString>(duePoints.begin(), duePoints.end()).size(), duePoints.size());
}

// A start reads every page of the journal only after a run that ended without closing it: not
// after `run` ended by itself, but after one killed with SIGKILL; and not again after that.
TEST(JournalCrash, TheWholeJournalIsCheckedAtStartOnlyAfterAnUncleanEnd) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString config = dir.filePath(QStringLiteral("kronolab.ini"));
  const QString file = dir.filePath(QStringLiteral("kronolab.sqlite"));
  {
    TScheduler writer;
    writer.SetActions({EverySecond(QStringLiteral("\"Takt\""), Now(), false)});
    writer.SetInterval(100);
    writer.SaveConfiguration(config);
  }
  const auto checkedAtStart = [&file] {
    TRunJournal journal;
    EXPECT_TRUE(journal.Open(file, Now())) << journal.Problem().toStdString();
    return journal.CheckedWholeFile();
  };
  QProcess run;
  run.setStandardOutputFile(QProcess::nullDevice());
  run.start(QStringLiteral(KRONOLAB_CLI_PROGRAM),
            {QStringLiteral("run"), config, QStringLiteral("--ticks"), QStringLiteral("3")});
  ASSERT_TRUE(run.waitForFinished(60000));
  ASSERT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString();
  EXPECT_FALSE(checkedAtStart());

  run.start(QStringLiteral(KRONOLAB_CLI_PROGRAM), {QStringLiteral("run"), config});
  ASSERT_TRUE(run.waitForStarted(30000));
  // Killed once it has the journal open: its write-ahead log is there.
  QElapsedTimer waited;
  waited.start();
  while (!QFile::exists(file + QStringLiteral("-wal")) && waited.elapsed() < 60000)
    run.waitForFinished(20);
  ASSERT_EQ(run.state(), QProcess::Running);
  kill(static_cast<pid_t>(run.processId()), SIGKILL);
  ASSERT_TRUE(run.waitForFinished(30000));
  EXPECT_TRUE(checkedAtStart());
  EXPECT_FALSE(checkedAtStart());
}

} // namespace
