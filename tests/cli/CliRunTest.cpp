#include "RunCli.h"
#include "TestFiles.h"
#include "cli/CliActionCommands.h"
#include "core/Scheduler.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A configuration whose one action copies every .txt of src into dst when the program starts.
QByteArray CopyConfiguration(const QString &root) {
  return QStringLiteral("[General]\r\nLogging=1\r\nInterval=50\r\nCount=1\r\n\r\n"
                        "[Action1]\r\nTimePoint=0\r\nSuddenStart=1\r\nAllCalls=0\r\n"
                        "Freq= 0.00000000000000E+0000\r\nFirstDate= 4.60000000000000E+0004\r\n"
                        "Action=%COPY %1/src/*.txt %1/dst\r\n\r\n")
      .arg(root)
      .toUtf8();
}

TEST(CliRun, TicksCopyTheFilesLogTheActionAndSaveTheNewLastRun) {
  QTemporaryDir dir;
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("src")));
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("dst")));
  WriteBytes(dir.filePath(QStringLiteral("src/a.txt")), "eins");
  WriteBytes(dir.filePath(QStringLiteral("src/b.txt")), "zwei");
  const QString config = dir.filePath(QStringLiteral("k.ini"));
  WriteBytes(config, CopyConfiguration(dir.path()));

  QString out, err;
  EXPECT_EQ(CallCli(CliRun, {config, QStringLiteral("--ticks"), QStringLiteral("3")}, out, err), 0);
  EXPECT_TRUE(err.isEmpty() || !err.contains(QStringLiteral("run:"))) << err.toStdString();

  EXPECT_EQ(ReadBytes(dir.filePath(QStringLiteral("dst/a.txt"))), "eins");
  EXPECT_EQ(ReadBytes(dir.filePath(QStringLiteral("dst/b.txt"))), "zwei");
  // One log line for the one run (the SuddenStart call), beside the configuration.
  const QByteArray log = ReadBytes(dir.filePath(QStringLiteral("k.log")));
  EXPECT_EQ(log.count("\r\n"), 1) << log.toStdString();
  EXPECT_TRUE(log.contains("%COPY"));
  // The run is recorded: LastDate is FirstDate plus the run mark, read back as saved.
  TScheduler reloaded;
  reloaded.LoadConfiguration(config);
  ASSERT_EQ(reloaded.ActionList().Count(), 1);
  EXPECT_NEAR(reloaded.ActionList()[0]->LastDate, 46000 + RunMark, 1e-9);
}

TEST(CliRun, AnUnreadableConfigurationExitsWithOne) {
  QTemporaryDir dir;
  QString out, err;
  // A folder where the file should be cannot be read as a configuration.
  EXPECT_EQ(CallCli(CliRun, {dir.path(), QStringLiteral("--ticks"), QStringLiteral("1")}, out, err),
            1);
}

} // namespace
