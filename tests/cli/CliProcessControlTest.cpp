// kronolab-cli's list commands and a call on its due second, with the built programs: each
// command handed to the scheduler that holds the file, and the run asleep until the call is due.
#include "CliProcessFixture.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>

namespace {

// The file's entries as a fresh start loads them.
std::vector<TActionEntry> EntriesOf(const QString &config) {
  TScheduler loaded;
  loaded.LoadConfiguration(config);
  return loaded.Actions();
}

} // namespace

// add, disable, enable, run-now and remove while kronolab-cli run or the tray program holds the
// file: each is applied by the holder, which saves at once, and nothing is lost at its end;
// without a holder the file is changed directly; a number no entry has is 2 with its reason.
TEST_F(CliProcess, ListCommandsGoThroughTheRunningSchedulerOrToTheFile) {
  const QString mark = Dir.filePath(QStringLiteral("gestartet"));
  const auto waitForMark = [&] {
    QElapsedTimer waited;
    waited.start();
    while (!QFileInfo::exists(mark) && waited.elapsed() < 60000)
      QThread::msleep(10);
    return QFileInfo::exists(mark);
  };
  const auto cli = [&](const QStringList &args, int status, const QByteArray &out = {}) {
    QProcess *process = nullptr;
    Run(process, QStringList{args.front(), Config} + args.mid(1));
    const QByteArray error = process->readAllStandardError();
    EXPECT_EQ(process->exitCode(), status) << args.join(u' ').toStdString() << error.data();
    EXPECT_EQ(process->readAllStandardOutput(), out) << args.join(u' ').toStdString();
    return QString::fromUtf8(error);
  };
  QProcessEnvironment tray = Environment;
  tray.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  for (const bool byTray : {false, true}) {
    SCOPED_TRACE(byTray ? "tray" : "run");
    QFile::remove(mark);
    WriteBytes(Config, Configuration({AtStart(QStringLiteral("/usr/bin/touch ") + mark)}));
    QProcess *holder = byTray ? Start({Config}, tray, QStringLiteral(KRONOLAB_PROGRAM))
                              : Start({QStringLiteral("run"), Config}, Environment);
    ASSERT_TRUE(waitForMark()) << "the first tick never came";
    cli({"add", "--kind", "täglich", "--at", "2026-12-01 08:00", "--weekdays", "Mo-Fr",
         "--late-limit", "1:00:00", "\"Guten Morgen\""},
        0, "2\n");
    const TActionEntry added = EntriesOf(Config).at(1);
    EXPECT_EQ(added.TimePoint, tpDaily);
    EXPECT_EQ(added.Weekdays, 0x1F);
    EXPECT_EQ(added.LateLimitMs, 3600000);
    EXPECT_EQ(added.IfRunning, irSkip);
    EXPECT_GT(added.StartFrom, 46000);
    cli({"disable", "2"}, 0);
    EXPECT_FALSE(EntriesOf(Config).at(1).Active);
    cli({"enable", "2"}, 0);
    EXPECT_TRUE(EntriesOf(Config).at(1).Active);
    EXPECT_GE(EntriesOf(Config).at(1).StartFrom, added.StartFrom);
    QFile::remove(mark);
    cli({"run-now", "1"}, 0);
    EXPECT_TRUE(waitForMark());
    cli({"remove", "1"}, 0);
    EXPECT_TRUE(cli({"remove", "5"}, 2).contains(QStringLiteral("keine Aktion Nr. 5")));
    kill(static_cast<pid_t>(holder->processId()), SIGTERM);
    ASSERT_TRUE(holder->waitForFinished(30000));
    ASSERT_EQ(EntriesOf(Config).size(), 1u);
    EXPECT_EQ(EntriesOf(Config)[0].Action.Text(), QStringLiteral("\"Guten Morgen\""));
  }
  // Without a holder: the file itself, under the lock.
  cli({"disable", "1"}, 0);
  EXPECT_FALSE(EntriesOf(Config)[0].Active);
  // A fresh account, whose configuration folder does not exist yet: add makes it.
  QProcessEnvironment fresh = Environment;
  fresh.insert(QStringLiteral("XDG_CONFIG_HOME"), Dir.filePath(QStringLiteral("neu/config")));
  QDir().mkpath(Dir.filePath(QStringLiteral("neu")));
  QProcess *added = nullptr;
  RunWith(added,
          {"add", "--kind", "0", "--at", "2026-12-01 08:00", "--every", "1:00:00", "/bin/true"},
          fresh);
  EXPECT_EQ(added->exitCode(), 0) << added->readAllStandardError().data();
  EXPECT_TRUE(QFileInfo::exists(
      Dir.filePath(QStringLiteral("neu/config/Kronolab-Software/kronolab/kronolab.ini"))));
}

// Sleeping until its due point, a run still makes a call due 3 s after its start on that point
// (within 0.2 s, by the journal's due point and start), and an end request is answered.
TEST_F(CliProcess, ACallDueInThreeSecondsStartsOnItsPoint) {
  const QDateTime due = QDateTime::fromMSecsSinceEpoch(
      (QDateTime::currentMSecsSinceEpoch() + 3999) / 1000 * 1000 + 2000);
  const double days = static_cast<double>(QDate(1899, 12, 30).daysTo(due.date())) +
                      due.time().msecsSinceStartOfDay() / 86400000.0;
  WriteBytes(Config, Configuration({{1,
                                     QString::number(days, 'f', 10),
                                     QString::number(days - 1, 'f', 10),
                                     {},
                                     false,
                                     false,
                                     QStringLiteral("\"geweckt")}}));
  QProcess *run = Start({QStringLiteral("run"), Config}, Environment);
  QByteArray seen;
  ASSERT_TRUE(WaitForOutput(run, "geweckt", seen)) << seen.toStdString();
  kill(static_cast<pid_t>(run->processId()), SIGTERM);
  ASSERT_TRUE(run->waitForFinished(20000));
  EXPECT_EQ(run->exitCode(), 0);
  QProcess *history = nullptr;
  Run(history, {QStringLiteral("history"), Config});
  const QList<QByteArray> fields = history->readAllStandardOutput().trimmed().split('\t');
  ASSERT_GE(fields.size(), 2);
  const auto moment = [](const QByteArray &text) {
    return QDateTime::fromString(QString::fromUtf8(text),
                                 QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
  };
  EXPECT_EQ(moment(fields[0]), due);
  const qint64 late = moment(fields[0]).msecsTo(moment(fields[1]));
  EXPECT_GE(late, 0);
  EXPECT_LE(late, 200) << fields[1].toStdString();
}
