#include "RunCli.h"
#include "TestFiles.h"
#include "TestHelpers.h"
#include "cli/CliActionCommands.h"
#include "core/Scheduler.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Runs list at now; its exit status, with stdout and stderr in out and err.
int List(const QStringList &args, TDateTime now, QString &out, QString &err) {
  return CallCli([now](const QStringList &a, QTextStream &o,
                       QTextStream &e) { return CliListAt(a, o, e, now); },
                 args, out, err);
}

// At Wednesday 2026-06-10 10:00: a daily entry not on Wednesdays waits for Thursday, a weekly
// one switched off is never due, the start-up call of a frequency entry takes the last grid point,
// a single call already made and a frequency of 0 are never due again. Entries loaded without a
// last run have never run.
TEST(CliList, ShowsEachEntryWithItsLastRunAndNextDuePoint) {
  QTemporaryDir dir;
  const QString config = dir.filePath(QStringLiteral("k.ini"));
  WriteBytes(config, "[General]\r\nInterval=60000\r\nCount=5\r\n\r\n"
                     "[Action1]\r\nTimePoint=2\r\nFirstDate= 4.61743333333333E+0004\r\n"
                     "LastDate= 4.61823333344907E+0004\r\nAction=\"Guten Morgen\"\r\n"
                     "Weekdays=mo,do-fr\r\n\r\n"
                     "[Action2]\r\nTimePoint=3\r\nFirstDate= 4.61775208333333E+0004\r\n"
                     "Action=prog --weekly\r\nActive=0\r\n\r\n"
                     "[Action3]\r\nTimePoint=0\r\nSuddenStart=1\r\n"
                     "Freq= 2.50000000000000E-0001\r\nFirstDate= 4.61828750000000E+0004\r\n"
                     "Action=%COPY /a/*.txt /b\r\n\r\n"
                     "[Action4]\r\nTimePoint=1\r\nFirstDate= 4.61784166666667E+0004\r\n"
                     "LastDate= 4.61784166678241E+0004\r\nAction=einmal\r\n\r\n"
                     "[Action5]\r\nTimePoint=0\r\nFreq=0\r\nFirstDate=46174\r\n"
                     "Action=nie\tmit Tab\r\n\r\n");
  QString out, err;
  ASSERT_EQ(List({config}, 46183 + 10.0 / 24, out, err), 0) << err.toStdString();
  EXPECT_EQ(out,
            QStringLiteral("Intervall: 60000 ms (00:01:00)\n"
                           "Nr\tZeitpunkt\tUhrzeit\tLetzter Lauf\tNächster Lauf\tAktiv\tAktion\n"
                           "1\tTäglich Mo, Do–Fr\t08:00:00\t2026-06-09 08:00:00.100\t2026-06-11 "
                           "08:00:00.000\tja\t\"Guten Morgen\"\n"
                           "2\tDonnerstag\t12:30:00\tnie\t-\tnein\tprog --weekly\n"
                           "3\tFrequenz\t21:00:00\tnie\t2026-06-10 09:00:00.000\tja\t%COPY "
                           "/a/*.txt /b\n"
                           "4\t05.06.2026\t10:00:00\t2026-06-05 10:00:00.100\t-\tja\teinmal\n"
                           "5\tFrequenz\t00:00:00\tnie\t-\tja\tnie\tmit Tab\n"));
}

// A call the journal recorded after the file was last saved (the scheduler was killed) moves
// the last and next run on, as the scheduler's next start does.
TEST(CliList, CallsOfTheJournalCount) {
  QTemporaryDir dir;
  const QString config = dir.filePath(QStringLiteral("plan.ini"));
  WriteBytes(config, "[General]\nCount=1\n[Action1]\nTimePoint=2\nFirstDate=46357.3333333333\n"
                     "LastDate=46361.3333345\nAction=\"jeden Tag\"\n"); // daily 08:00, run 5.12.
  TScheduler scheduler;
  scheduler.SetClock([] { return At(2026, 12, 6, 9); });
  scheduler.SetConfigFileName(config);
  scheduler.LoadConfiguration(config);
  scheduler.OpenJournal();
  scheduler.TimerTimer(); // the call of 6 December 08:00, in the journal only
  QString out, err;
  ASSERT_EQ(List({config}, At(2026, 12, 6, 9, 30), out, err), 0) << err.toStdString();
  EXPECT_TRUE(
      out.endsWith("\t2026-12-06 08:00:00.100\t2026-12-07 08:00:00.000\tja\t\"jeden Tag\"\n"))
      << out.toStdString();
}

TEST(CliList, BadUsageIsTwoAndAMissingFileIsOne) {
  QTemporaryDir dir;
  const QString missing = dir.filePath(QStringLiteral("fehlt.ini"));
  QString out, err;
  EXPECT_EQ(List({missing, QStringLiteral("--all")}, 46183, out, err), 2);
  EXPECT_EQ(List({missing, missing}, 46183, out, err), 2);
  err.clear();
  EXPECT_EQ(List({missing}, 46183, out, err), 1);
  EXPECT_TRUE(err.contains(missing)) << err.toStdString();
  EXPECT_TRUE(out.isEmpty());
}

} // namespace
