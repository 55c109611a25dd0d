#include "RunCli.h"
#include "TestFiles.h"
#include "cli/CliActionCommands.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Runs simulate with args; its exit status, with stdout and stderr in out and err.
int Simulate(const QStringList &args, QString &out, QString &err) {
  return CallCli(CliSimulate, args, out, err);
}

// A daily message at 08:00 last run yesterday, a weekly program on Thursdays at 12:30, a
// six-hourly copy from Tuesday 2026-06-09 21:00 that also runs at start, and a second daily
// entry at 08:00 that never ran.
const char FourEntries[] = "[General]\r\nInterval=1000\r\nCount=4\r\n\r\n"
                           "[Action1]\r\nTimePoint=2\r\nFirstDate= 4.61743333333333E+0004\r\n"
                           "LastDate= 4.61823333344907E+0004\r\nAction=\"Guten Morgen\"\r\n\r\n"
                           "[Action2]\r\nTimePoint=3\r\nFirstDate= 4.61775208333333E+0004\r\n"
                           "Action=prog --weekly\r\n\r\n"
                           "[Action3]\r\nTimePoint=0\r\nSuddenStart=1\r\n"
                           "Freq= 2.50000000000000E-0001\r\nFirstDate= 4.61828750000000E+0004\r\n"
                           "Action=%COPY /a/*.txt /b\r\n\r\n"
                           "[Action4]\r\nTimePoint=2\r\nFirstDate= 4.61743333333333E+0004\r\n"
                           "Action=prog --daily\r\n\r\n";

// Every minute of Wednesday and Thursday: the start-up call of the copy with its last grid
// point, each six-hourly point on time, the daily points at 08:00 (the second entry at the same
// point in the same tick, after the first), the weekly point on Thursday; nothing at Friday
// 00:00.
TEST(CliSimulate, TheBuiltProgramPrintsEveryCallOfTwoDaysMinuteByMinute) {
  QTemporaryDir dir;
  const QString config = dir.filePath(QStringLiteral("k.ini"));
  WriteBytes(config, FourEntries);
  const QString program = QStringLiteral(KRONOLAB_CLI_PROGRAM);
  QProcess process;
  process.start(program, {QStringLiteral("simulate"), config, QStringLiteral("--from"),
                          QStringLiteral("2026-06-10 00:00:00"), QStringLiteral("--to"),
                          QStringLiteral("2026-06-12T00:00:00.000"), QStringLiteral("--interval"),
                          QStringLiteral("60000")});
  ASSERT_TRUE(process.waitForFinished(60000)) << program.toStdString();
  EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
  const QByteArray expected =
      "2026-06-10 00:00:00.000 2026-06-09 21:00:00.000 #3 %COPY /a/*.txt /b\n"
      "2026-06-10 03:00:00.000 2026-06-10 03:00:00.000 #3 %COPY /a/*.txt /b\n"
      "2026-06-10 08:00:00.000 2026-06-10 08:00:00.000 #1 \"Guten Morgen\"\n"
      "2026-06-10 08:00:00.000 2026-06-10 08:00:00.000 #4 prog --daily\n"
      "2026-06-10 09:00:00.000 2026-06-10 09:00:00.000 #3 %COPY /a/*.txt /b\n"
      "2026-06-10 15:00:00.000 2026-06-10 15:00:00.000 #3 %COPY /a/*.txt /b\n"
      "2026-06-10 21:00:00.000 2026-06-10 21:00:00.000 #3 %COPY /a/*.txt /b\n"
      "2026-06-11 03:00:00.000 2026-06-11 03:00:00.000 #3 %COPY /a/*.txt /b\n"
      "2026-06-11 08:00:00.000 2026-06-11 08:00:00.000 #1 \"Guten Morgen\"\n"
      "2026-06-11 08:00:00.000 2026-06-11 08:00:00.000 #4 prog --daily\n"
      "2026-06-11 09:00:00.000 2026-06-11 09:00:00.000 #3 %COPY /a/*.txt /b\n"
      "2026-06-11 12:30:00.000 2026-06-11 12:30:00.000 #2 prog --weekly\n"
      "2026-06-11 15:00:00.000 2026-06-11 15:00:00.000 #3 %COPY /a/*.txt /b\n"
      "2026-06-11 21:00:00.000 2026-06-11 21:00:00.000 #3 %COPY /a/*.txt /b\n";
  EXPECT_EQ(process.readAllStandardOutput(), expected);
  // A dry run leaves the configuration as it was.
  EXPECT_EQ(ReadBytes(config), QByteArray(FourEntries));
}

// An hourly entry last run at 09:00 with AllCalls, first ticked at 13:30: every missed hour as
// a call of its own, oldest first, and nothing more at the following ticks; a long span stops.
TEST(CliSimulate, AllCallsMakesUpEveryMissedGridPointInOrder) {
  QTemporaryDir dir;
  const QString config = dir.filePath(QStringLiteral("k.ini"));
  WriteBytes(config, "[General]\nCount=1\n[Action1]\nTimePoint=0\nAllCalls=1\n"
                     "Freq= 4.16666666666667E-0002\nFirstDate= 4.61833333333333E+0004\n"
                     "LastDate= 4.61833750011574E+0004\nAction=prog\n");
  QString out, err;
  ASSERT_EQ(Simulate({config, QStringLiteral("--from"), QStringLiteral("2026-06-10 13:30:00"),
                      QStringLiteral("--to"), QStringLiteral("2026-06-10 13:50:00")},
                     out, err),
            0)
      << err.toStdString();
  EXPECT_EQ(out, QStringLiteral("2026-06-10 13:30:00.000 2026-06-10 10:00:00.000 #1 prog\n"
                                "2026-06-10 13:30:00.000 2026-06-10 11:00:00.000 #1 prog\n"
                                "2026-06-10 13:30:00.000 2026-06-10 12:00:00.000 #1 prog\n"
                                "2026-06-10 13:30:00.000 2026-06-10 13:00:00.000 #1 prog\n"));
  // Over two years the listing stops after 10000 calls, with one German note.
  out.clear();
  ASSERT_EQ(Simulate({config, "--from", "2026-06-10 13:30:00", "--to", "2028-06-10 13:30:00",
                      "--interval", "3600000"},
                     out, err),
            0);
  EXPECT_EQ(out.count(u'\n'), 10000);
  EXPECT_TRUE(err.startsWith("simulate: nach 10000 Aufrufen angehalten (Takt 2027-") &&
              err.count(u'\n') == 1)
      << err.toStdString();
}

// Nothing is carried out: the copy's files stay where they are and no log appears, though
// logging is on.
TEST(CliSimulate, ExecutesNothingAndWritesNoLog) {
  QTemporaryDir dir;
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("src")));
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("dst")));
  WriteBytes(dir.filePath(QStringLiteral("src/a.txt")), "eins");
  const QString config = dir.filePath(QStringLiteral("k.ini"));
  const QByteArray text =
      QStringLiteral("[General]\nLogging=1\nCount=1\n[Action1]\nTimePoint=0\n"
                     "SuddenStart=1\nFirstDate=46000\nAction=%COPY %1/src/*.txt "
                     "%1/dst\n")
          .arg(dir.path())
          .toUtf8();
  WriteBytes(config, text);
  QString out, err;
  ASSERT_EQ(Simulate({config, QStringLiteral("--from"), QStringLiteral("2026-06-10 13:30:00"),
                      QStringLiteral("--to"), QStringLiteral("2026-06-10 13:30:05")},
                     out, err),
            0);
  EXPECT_EQ(out.count(u'\n'), 1) << out.toStdString();
  EXPECT_TRUE(QDir(dir.filePath(QStringLiteral("dst"))).isEmpty());
  EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("k.log"))));
  EXPECT_EQ(ReadBytes(config), text);
}

// An entry with a date no calendar holds beside a good one: the dry run goes on, the good
// entry's calls are all there, and the bad one is told once, not at every tick.
TEST(CliSimulate, AnImpossibleEntryIsToldOnceAndTheOthersStillRun) {
  QTemporaryDir dir;
  const QString config = dir.filePath(QStringLiteral("k.ini"));
  WriteBytes(config, "[General]\nCount=2\n[Action1]\nTimePoint=2\nFirstDate=1E12\n"
                     "Action=kaputt\n[Action2]\nTimePoint=2\nFirstDate=46000.5\n"
                     "LastDate=0\nAction=gut\n");
  QString out, err;
  ASSERT_EQ(Simulate({config, QStringLiteral("--from"), QStringLiteral("2026-06-10 00:00:00"),
                      QStringLiteral("--to"), QStringLiteral("2026-06-12 00:00:00"),
                      QStringLiteral("--interval"), QStringLiteral("60000")},
                     out, err),
            0);
  // The load leaves the impossible entry out, so the good one is the list's first.
  EXPECT_EQ(out, QStringLiteral("2026-06-10 12:00:00.000 2026-06-10 12:00:00.000 #1 gut\n"
                                "2026-06-11 12:00:00.000 2026-06-11 12:00:00.000 #1 gut\n"))
      << err.toStdString();
  EXPECT_LE(err.count(u'\n'), 2) << err.toStdString();
}

// Bad usage is exit 2 with one line naming the fault, before any file is touched.
TEST(CliSimulate, BadUsageExitsWithTwoAndOneLine) {
  QTemporaryDir dir;
  const QString config = dir.filePath(QStringLiteral("k.ini"));
  WriteBytes(config, FourEntries);
  const QString from = QStringLiteral("--from"), to = QStringLiteral("--to");
  const QString t1 = QStringLiteral("2026-06-10 00:00:00"),
                t2 = QStringLiteral("2026-06-11 00:00:00");
  const QList<QStringList> cases = {
      {config, from, t1, to, t2, QStringLiteral("--tick"), QStringLiteral("5")},
      {config, from, QStringLiteral("10.06.2026 00:00:00"), to, t2},
      {config, from, QStringLiteral("2026-06-10 25:00:00"), to, t2},
      {config, to, t2},
      {config, from, t1},
      {config, from, t1, to},
      {config, from, t2, to, t1},
      {config, from, t1, to, t2, QStringLiteral("--interval"), QStringLiteral("0")},
      {config, from, t1, to, t2, QStringLiteral("--interval"), QStringLiteral("-1000")},
      {config, from, t1, to, t2, QStringLiteral("--interval"), QStringLiteral("1s")},
      {config, config, from, t1, to, t2},
      // Twenty-six years at one millisecond would never end.
      {config, from, QStringLiteral("2000-01-01 00:00:00"), to, t2, QStringLiteral("--interval"),
       QStringLiteral("1")},
  };
  for (const QStringList &args : cases) {
    QString out, err;
    EXPECT_EQ(Simulate(args, out, err), 2) << args.join(u' ').toStdString();
    EXPECT_EQ(err.count(u'\n'), 1) << err.toStdString();
    EXPECT_TRUE(err.startsWith(QStringLiteral("simulate: "))) << err.toStdString();
    EXPECT_TRUE(out.isEmpty());
  }
  // --to equal to --from is one tick, not bad usage.
  QString out, err;
  EXPECT_EQ(Simulate({config, from, t1, to, t1}, out, err), 0) << err.toStdString();
  EXPECT_EQ(out.count(u'\n'), 1);
}

// A named file that is missing or cannot be read is exit 1, naming the file.
TEST(CliSimulate, AMissingOrUnreadableConfigurationExitsWithOneNamingIt) {
  QTemporaryDir dir;
  for (const QString &name : {dir.filePath(QStringLiteral("fehlt.ini")), dir.path()}) {
    QString out, err;
    EXPECT_EQ(Simulate({name, QStringLiteral("--from"), QStringLiteral("2026-06-10 00:00:00"),
                        QStringLiteral("--to"), QStringLiteral("2026-06-10 00:01:00")},
                       out, err),
              1);
    EXPECT_TRUE(err.contains(name)) << err.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("fehlt.ini"))));
  }
}

} // namespace

// The built program with TZ=Europe/Berlin across both changes of 2026, ticking every real
// minute: a 10-minute entry from 01:00 (with and without "Alle") calls on through the repeated
// autumn hour (16 calls in 165 minutes) and never in the skipped spring hour (10 in 105); a
// daily entry at 02:30 runs once each day.
TEST(CliSimulate, TicksInRealTimeAcrossDaylightSavingChanges) {
  QTemporaryDir dir;
  const QString config = dir.filePath(QStringLiteral("k.ini"));
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("TZ"), QStringLiteral("Europe/Berlin"));
  for (const auto &[first, from, to, calls] :
       {std::tuple{"4.63200416666667E+0004", "2026-10-25 01:00:00", "2026-10-25 02:45:00", 16},
        std::tuple{"4.61100416666667E+0004", "2026-03-29 01:00:00", "2026-03-29 03:45:00", 10}}) {
    const QByteArray entry = QByteArray("TimePoint=0\nFreq= 6.94444444444444E-0003\nFirstDate= ") +
                             first + "\nAction=prog\n";
    WriteBytes(config, "[General]\nCount=3\n[Action1]\n" + entry + "[Action2]\nAllCalls=1\n" +
                           entry +
                           "[Action3]\nTimePoint=2\nFirstDate= 4.60231041666667E+0004\n"
                           "LastDate= 4.60231041666667E+0004\nAction=daily\n");
    const TCliRun run =
        RunCli({QStringLiteral("simulate"), config, QStringLiteral("--from"), from,
                QStringLiteral("--to"), to, QStringLiteral("--interval"), QStringLiteral("60000")},
               {}, env);
    EXPECT_EQ(run.Status, 0) << run.Err.toStdString();
    QStringList due[4]; // the due points' times of each entry
    for (const QString &line : run.Out.split(u'\n'))
      if (const QStringList f = line.split(u' '); f.size() == 6)
        due[f[4].mid(1).toInt() & 3].append(f[3].left(5));
    EXPECT_EQ(due[1].size(), calls) << due[1].join(u' ').toStdString();
    EXPECT_EQ(due[2], due[1]); // "Alle" makes up nothing the clock did not show
    EXPECT_EQ(due[1].count(QStringLiteral("02:00")), calls == 16 ? 2 : 0);
    EXPECT_EQ(due[3], QStringList{QStringLiteral("02:30")});
  }
}

// From Wednesday 2026-06-10 07:45 to Thursday 09:00: a daily entry on Wednesdays only runs once,
// one switched off never, and one due at 07:00 with a limit of half an hour is left out at the
// start (45 minutes late) but runs on Thursday.
TEST(CliSimulate, RunControlIsHonoured) {
  QTemporaryDir dir;
  const QString config = dir.filePath(QStringLiteral("k.ini"));
  WriteBytes(config, "[General]\nCount=3\n[Action1]\nTimePoint=2\nFirstDate=46174.3333333333\n"
                     "Action=mittwochs\nWeekdays=Mi\n[Action2]\nTimePoint=2\nFirstDate=46174.25\n"
                     "Action=aus\nActive=0\n[Action3]\nTimePoint=2\nFirstDate=46174.2916666667\n"
                     "Action=knapp\nLateLimit=00:30:00\n");
  QString out, err;
  ASSERT_EQ(Simulate({config, QStringLiteral("--from"), QStringLiteral("2026-06-10 07:45"),
                      QStringLiteral("--to"), QStringLiteral("2026-06-11 09:00:00"),
                      QStringLiteral("--interval"), QStringLiteral("60000")},
                     out, err),
            0)
      << err.toStdString();
  EXPECT_EQ(out, QStringLiteral("2026-06-10 08:00:00.000 2026-06-10 08:00:00.000 #1 mittwochs\n"
                                "2026-06-11 07:00:00.000 2026-06-11 07:00:00.000 #3 knapp\n"));
}
