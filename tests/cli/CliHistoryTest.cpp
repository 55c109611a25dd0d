// kronolab-cli history over a journal a scheduler wrote: its lines, its filters and limit,
// bad usage, a configuration without a journal and a journal that cannot be read.
#include "RunCli.h"
#include "TestFiles.h"
#include "TestHelpers.h"
#include "cli/CliActionCommands.h"
#include "core/MessageSink.h"
#include "core/Scheduler.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

class CliHistory : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(Dir.isValid());
    Config = Dir.filePath(QStringLiteral("plan.ini"));
    TScheduler scheduler;
    scheduler.SetClock([] { return At(2026, 12, 6, 9); });
    scheduler.SetConfigFileName(Config);
    TActionEntry message = NewActionEntry(tpDaily, At(2026, 12, 1, 8), QStringLiteral("\"eins\""));
    TActionEntry program =
        NewActionEntry(tpDaily, At(2026, 12, 1, 8, 30), QStringLiteral("kronolab-kein-programm"));
    message.LastDate = program.LastDate = At(2026, 12, 5, 12);
    scheduler.SetActions({message, program});
    scheduler.OpenJournal();
    scheduler.TimerTimer();
    scheduler.RunNow(0);
    scheduler.SaveConfiguration(Config);
  }

  // Each output line's fields without the duration, which varies; the exit status last.
  QList<QStringList> Run(const QStringList &args, int *status = nullptr) {
    QString out, err;
    const int result = CallCli(::CliHistory, args, out, err);
    Errors = err;
    if (status)
      *status = result;
    QList<QStringList> lines;
    for (const QString &line : out.split(u'\n', Qt::SkipEmptyParts)) {
      QStringList fields = line.split(u'\t');
      EXPECT_EQ(fields.size(), 6) << line.toStdString();
      bool number = false;
      fields.takeLast().toLongLong(&number);
      EXPECT_TRUE(number) << line.toStdString();
      lines.append(fields);
    }
    return lines;
  }

  QTemporaryDir Dir;
  QString Config;
  QString Errors;
};

const QStringList ManualLine{"manuell", "2026-12-06 09:00:00.000", "#1", "\"eins\"",
                             "Nachricht angezeigt"};
const QStringList FailedLine{"2026-12-06 08:30:00.000", "2026-12-06 09:00:00.000", "#2",
                             "kronolab-kein-programm", "Fehlgeschlagen: Datei nicht gefunden !"};
const QStringList MessageLine{"2026-12-06 08:00:00.000", "2026-12-06 09:00:00.000", "#1",
                              "\"eins\"", "Nachricht angezeigt"};

TEST_F(CliHistory, PrintsEveryCallNewestFirstAndFiltersByActionFailureAndLimit) {
  int status = -1;
  EXPECT_EQ(Run({Config}, &status), (QList<QStringList>{ManualLine, FailedLine, MessageLine}));
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Run({Config, QStringLiteral("--failed")}), QList<QStringList>{FailedLine});
  EXPECT_EQ(Run({QStringLiteral("--action"), QStringLiteral("1"), Config}),
            (QList<QStringList>{ManualLine, MessageLine}));
  EXPECT_EQ(Run({Config, QStringLiteral("--limit"), QStringLiteral("2")}),
            (QList<QStringList>{ManualLine, FailedLine}));
  EXPECT_TRUE(Run({Config, QStringLiteral("--limit"), QStringLiteral("0")}).isEmpty());

  // The built program prints the same.
  QProcess process;
  process.start(QStringLiteral(KRONOLAB_CLI_PROGRAM),
                {QStringLiteral("history"), Config, QStringLiteral("--failed")});
  ASSERT_TRUE(process.waitForFinished(30000));
  EXPECT_EQ(process.exitCode(), 0);
  const QString printed = QString::fromUtf8(process.readAllStandardOutput());
  EXPECT_TRUE(printed.startsWith(FailedLine.join(u'\t') + u'\t')) << printed.toStdString();
}

// What a program printed follows its call's line, its errors under a heading of their own.
TEST_F(CliHistory, OutputShowsWhatAProgramPrintedUnderItsCall) {
  const QString config = Dir.filePath(QStringLiteral("druck.ini"));
  TScheduler scheduler;
  scheduler.SetClock([] { return At(2026, 12, 6, 9); });
  scheduler.SetConfigFileName(config);
  TActionEntry program = NewActionEntry(tpDaily, At(2026, 12, 1, 8),
                                        QStringLiteral(R"(/bin/sh -c "echo hallo; echo weh >&2")"));
  program.LastDate = At(2026, 12, 5, 12);
  scheduler.SetActions({program});
  scheduler.OpenJournal();
  scheduler.TimerTimer();
  scheduler.SaveConfiguration(config);
  QElapsedTimer waited;
  waited.start();
  while (scheduler.Journal()->Calls({}, INT64_MAX, 1).at(0).State == TCallState::Running &&
         waited.elapsed() < 30000) {
    QEventLoop loop;
    QTimer::singleShot(100, &loop, &QEventLoop::quit);
    loop.exec();
  }
  QString out, err;
  EXPECT_EQ(CallCli(::CliHistory, {config, QStringLiteral("--output")}, out, err), 0);
  EXPECT_TRUE(out.endsWith(QStringLiteral("\tBeendet mit Status 0\t%1\n| hallo\n| \n"
                                          "| Fehlerausgabe:\n| weh\n")
                               .arg(scheduler.Journal()->Calls({}, INT64_MAX, 1).at(0).DurationMs)))
      << out.toStdString();
}

TEST_F(CliHistory, BadUsageExitsWithTwoAndOneLine) {
  for (const QStringList &args :
       {QStringList{Config, QStringLiteral("--action"), QStringLiteral("3")},
        QStringList{Config, QStringLiteral("--action"), QStringLiteral("0")},
        QStringList{Config, QStringLiteral("--limit"), QStringLiteral("viele")},
        QStringList{Config, QStringLiteral("--limit")}, QStringList{QStringLiteral("-x")},
        QStringList{Config, Config}}) {
    int status = -1;
    EXPECT_TRUE(Run(args, &status).isEmpty());
    EXPECT_EQ(status, 2) << args.join(u' ').toStdString();
    EXPECT_EQ(Errors.count(u'\n'), 1) << Errors.toStdString();
    EXPECT_TRUE(Errors.startsWith(QStringLiteral("history: ")));
  }
}

TEST_F(CliHistory, NoJournalPrintsNothingAndAnUnreadableOneExitsWithOne) {
  const QString other = Dir.filePath(QStringLiteral("neu.ini"));
  WriteBytes(other, "[General]\r\nCount=0\r\n");
  int status = -1;
  EXPECT_TRUE(Run({other}, &status).isEmpty());
  EXPECT_EQ(status, 0);
  WriteBytes(Dir.filePath(QStringLiteral("neu.sqlite")), QByteArray(3000, 'x'));
  EXPECT_TRUE(Run({other}, &status).isEmpty());
  EXPECT_EQ(status, 1);
  EXPECT_TRUE(Errors.contains(Dir.filePath(QStringLiteral("neu.sqlite")))) << Errors.toStdString();
  // Reading never sets anything aside: that is the scheduler's business.
  EXPECT_EQ(ReadBytes(Dir.filePath(QStringLiteral("neu.sqlite"))), QByteArray(3000, 'x'));
}

} // namespace
