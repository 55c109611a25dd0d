#include "base/Errors.h"
#include "core/Scheduler.h"

#include "TestFiles.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

namespace {

class Configuration : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(FTemp.isValid()); }
  QString Path() const { return FTemp.filePath(QStringLiteral("kronolab.ini")); }
  QTemporaryDir FTemp;
  TScheduler FScheduler;
};

TEST_F(Configuration, SavesTheSchemaInItsKeyOrder) {
  TActionEntry entry;
  entry.TimePoint = tpDaily;
  entry.FirstDate = 45000.5;
  entry.LastDate = 45000.4;
  entry.Action = QStringLiteral("/usr/bin/backup");
  FScheduler.AddAction(entry);
  FScheduler.SaveConfiguration(Path());
  EXPECT_EQ(ReadBytes(Path()), QByteArray("[General]\r\nLogging=0\r\nNoShiftReaction=1\r\n"
                                          "Interval=1000\r\nCount=1\r\n"
                                          "DesktopNotifications=1\r\n\r\n"
                                          "[Action1]\r\nTimePoint=2\r\nSuddenStart=0\r\n"
                                          "AllCalls=0\r\nFreq= 0.00000000000000E+0000\r\n"
                                          "FirstDate= 4.50005000000000E+0004\r\n"
                                          "LastDate= 4.50004000000000E+0004\r\n"
                                          "Action=/usr/bin/backup\r\n\r\n"));
}

TEST_F(Configuration, RoundTripKeepsEveryFieldAndTheSettings) {
  TActionEntry a;
  a.TimePoint = tpFrequency;
  a.SuddenStart = true;
  a.AllCalls = true;
  a.Freq = 1.0 / 24;
  a.FirstDate = 45123.25;
  a.LastDate = 45124.125;
  a.Action = QStringLiteral("%Nachricht Grüße");
  FScheduler.AddAction(a);
  FScheduler.SetLogging(true);
  FScheduler.SetNoShiftReaction(false);
  FScheduler.SetInterval(250);
  FScheduler.SaveConfiguration(Path());

  TScheduler loaded;
  loaded.LoadConfiguration(Path());
  EXPECT_TRUE(loaded.Logging());
  EXPECT_FALSE(loaded.NoShiftReaction());
  EXPECT_EQ(loaded.Interval(), 250u);
  ASSERT_EQ(loaded.ActionList().Count(), 1);
  const TActionEntry &b = *loaded.ActionList()[0];
  EXPECT_EQ(b.TimePoint, tpFrequency);
  EXPECT_TRUE(b.SuddenStart);
  EXPECT_TRUE(b.DueFlag);
  EXPECT_TRUE(b.AllCalls);
  EXPECT_NEAR(b.Freq, 1.0 / 24, 1e-15); // 15 significant digits are kept
  EXPECT_EQ(b.FirstDate, 45123.25);
  EXPECT_EQ(b.LastDate, 45124.125);
  EXPECT_EQ(b.Action.Text(), QStringLiteral("%Nachricht Grüße"));
}

TEST_F(Configuration, AMissingFileLoadsEmptyWithDefaultSettings) {
  FScheduler.SetLogging(true);
  FScheduler.SetNoShiftReaction(false);
  FScheduler.SetInterval(5);
  TActionEntry old;
  old.FirstDate = 1;
  old.Action = QStringLiteral("x");
  FScheduler.AddAction(old);
  FScheduler.LoadConfiguration(Path());
  EXPECT_EQ(FScheduler.ActionList().Count(), 0);
  EXPECT_FALSE(FScheduler.Logging());
  EXPECT_TRUE(FScheduler.NoShiftReaction());
  EXPECT_EQ(FScheduler.Interval(), 1000u);
  EXPECT_FALSE(QFile::exists(Path()));
}

TEST_F(Configuration, ABadSectionIsSkippedAndTheRestRenumberedWhileStaleSectionsStay) {
  WriteBytes(Path(), "[General]\nCount=3\n[Action1]\nFirstDate=1\nAction=eins\n"
                     "[Action2]\nAction=zwei\n[Action3]\nFirstDate=3\nAction=drei\n"
                     "[Action4]\nFirstDate=4\nAction=vier\n[Fremd]\n; bleibt\n");
  FScheduler.LoadConfiguration(Path());
  ASSERT_EQ(FScheduler.ActionList().Count(), 2);
  EXPECT_EQ(FScheduler.ActionList()[0]->Action.Text(), QStringLiteral("eins"));
  EXPECT_EQ(FScheduler.ActionList()[1]->Action.Text(), QStringLiteral("drei"));
  EXPECT_EQ(FScheduler.ActionList()[1]->LastDate, 3); // defaults to FirstDate

  FScheduler.SaveConfiguration(Path());
  const QString text = QString::fromUtf8(ReadBytes(Path()));
  EXPECT_TRUE(text.contains(QStringLiteral("Count=2\r\n")));
  EXPECT_TRUE(text.contains(QStringLiteral("[Action2]\r\nAction=drei\r\n")));
  EXPECT_TRUE(text.contains(QStringLiteral("[Action3]\r\nFirstDate=3\r\nAction=drei\r\n")));
  EXPECT_TRUE(text.contains(QStringLiteral("[Fremd]\r\n; bleibt\r\n")));

  TScheduler again;
  again.LoadConfiguration(Path());
  EXPECT_EQ(again.ActionList().Count(), 2);
}

TEST_F(Configuration, AnOldDateKeyFillsFirstDateAndStaysOnSave) {
  WriteBytes(Path(), "[General]\nCount=1\n[Action1]\nDate=45000.5\nAction=a\n");
  FScheduler.LoadConfiguration(Path());
  ASSERT_EQ(FScheduler.ActionList().Count(), 1);
  EXPECT_EQ(FScheduler.ActionList()[0]->FirstDate, 45000.5);
  FScheduler.SaveConfiguration(Path());
  const QString text = QString::fromUtf8(ReadBytes(Path()));
  EXPECT_TRUE(text.contains(QStringLiteral("Date=45000.5\r\n")));
  EXPECT_TRUE(text.contains(QStringLiteral("FirstDate= 4.50005000000000E+0004\r\n")));
}

TEST_F(Configuration, EntriesWithoutDateOrActionAreDropped) {
  WriteBytes(Path(), "[General]\nCount=2\n[Action1]\nFirstDate=2\nAction=\n"
                     "[Action2]\nFirstDate=0\nDate=0\nAction=b\n");
  FScheduler.LoadConfiguration(Path());
  EXPECT_EQ(FScheduler.ActionList().Count(), 0);
}

TEST_F(Configuration, LongActionsAreCutAndTimePointKeepsItsLowByte) {
  const QByteArray action(300, 'a');
  WriteBytes(Path(),
             "[General]\nCount=1\n[Action1]\nTimePoint=258\nFirstDate=1\nAction=" + action + "\n");
  FScheduler.LoadConfiguration(Path());
  ASSERT_EQ(FScheduler.ActionList().Count(), 1);
  EXPECT_EQ(FScheduler.ActionList()[0]->Action.Text().size(), 255);
  EXPECT_EQ(FScheduler.ActionList()[0]->TimePoint, tpDaily);
}

TEST_F(Configuration, SavingFiveOverEightLeavesTheStaleSectionsButLoadsFive) {
  for (int i = 1; i <= 8; ++i) {
    TActionEntry e;
    e.FirstDate = i;
    e.Action = QStringLiteral("a%1").arg(i);
    FScheduler.AddAction(e);
  }
  FScheduler.SaveConfiguration(Path());
  std::vector<TActionEntry> five = FScheduler.Actions();
  five.resize(5);
  FScheduler.SetActions(five);
  FScheduler.SaveConfiguration(Path());
  EXPECT_TRUE(QString::fromUtf8(ReadBytes(Path())).contains(QStringLiteral("[Action8]")));
  TScheduler loaded;
  loaded.LoadConfiguration(Path());
  EXPECT_EQ(loaded.ActionList().Count(), 5);
}

TEST_F(Configuration, SavingTwiceWithoutChangesLeavesTheFileUntouched) {
  TActionEntry e;
  e.FirstDate = 45000;
  e.Action = QStringLiteral("x");
  FScheduler.AddAction(e);
  FScheduler.SaveConfiguration(Path());
  const QDateTime before = QFileInfo(Path()).lastModified();
  const auto inode = QFileInfo(Path()).fileTime(QFileDevice::FileMetadataChangeTime);
  QThread::msleep(20);
  FScheduler.SaveConfiguration(Path());
  EXPECT_EQ(QFileInfo(Path()).lastModified(), before);
  EXPECT_EQ(QFileInfo(Path()).fileTime(QFileDevice::FileMetadataChangeTime), inode);
}

// The run-control keys: a file without them loads and saves byte for byte as before; one with
// every key keeps them after the entry's other keys; set back to their defaults they leave.
TEST_F(Configuration, RunControlKeysAreWrittenOnlyWhenNotDefaultAndAfterAction) {
  const QByteArray head("[General]\r\nLogging=0\r\nNoShiftReaction=1\r\nInterval=1000\r\n"
                        "Count=1\r\nDesktopNotifications=1\r\n\r\n[Action1]\r\nTimePoint=2\r\n"
                        "SuddenStart=0\r\nAllCalls=0\r\nFreq= 0.00000000000000E+0000\r\n"
                        "FirstDate= 4.60003750000000E+0004\r\n"
                        "LastDate= 4.59993750000000E+0004\r\nAction=/usr/bin/backup\r\n");
  const QByteArray keys("Active=0\r\nWeekdays=Mo,Di,Mi,Do,Fr\r\nLateLimit=01:30:00\r\n"
                        "IfRunning=after\r\nTimeLimit=100:00:05\r\n"
                        "StartFrom= 4.60001250000000E+0004\r\n");
  WriteBytes(Path(), head + "\r\n");
  FScheduler.LoadConfiguration(Path());
  FScheduler.SaveConfiguration(Path());
  EXPECT_EQ(ReadBytes(Path()), head + "\r\n");
  const TActionEntry plain = *FScheduler.ActionList()[0];
  EXPECT_TRUE(plain.Active);
  EXPECT_EQ(plain.Weekdays, AllWeekdays);
  EXPECT_EQ(plain.IfRunning, irParallel);

  WriteBytes(Path(), head + keys + "\r\n");
  TScheduler loaded;
  loaded.LoadConfiguration(Path());
  const TActionEntry &b = *loaded.ActionList()[0];
  EXPECT_FALSE(b.Active);
  EXPECT_EQ(b.Weekdays, 0x1F);
  EXPECT_EQ(b.LateLimitMs, 5400000);
  EXPECT_EQ(b.IfRunning, irAfter);
  EXPECT_EQ(b.TimeLimitMs, 360005000);
  EXPECT_EQ(b.StartFrom, 46000.125);
  const QString copy = FTemp.filePath(QStringLiteral("kopie.ini"));
  loaded.SaveConfiguration(copy);
  EXPECT_EQ(ReadBytes(copy), head + keys + "\r\n");

  FScheduler.SetActions({plain});
  FScheduler.SaveConfiguration(copy);
  EXPECT_EQ(ReadBytes(copy), head + "\r\n");
}

// A load that fails keeps the running list: a wrong file chosen in "Aktionen laden..." must
// not empty it, or the next save would write the empty list over the configuration.
TEST_F(Configuration, AFailedSaveRaisesAndAFailedLoadKeepsTheList) {
  const QString missingFolder = FTemp.filePath(QStringLiteral("fehlt/kronolab.ini"));
  EXPECT_THROW(FScheduler.SaveConfiguration(missingFolder), EInOutError);

  ASSERT_TRUE(QDir().mkdir(Path())); // exists, but cannot be read as a file
  TActionEntry e;
  e.FirstDate = 1;
  e.Action = QStringLiteral("x");
  FScheduler.AddAction(e);
  FScheduler.SetInterval(77);
  EXPECT_THROW(FScheduler.LoadConfiguration(Path()), EInOutError);
  ASSERT_EQ(FScheduler.ActionList().Count(), 1);
  EXPECT_EQ(FScheduler.ActionList()[0]->Action.Text(), QStringLiteral("x"));
  EXPECT_EQ(FScheduler.Interval(), 77u);
}

} // namespace

namespace {

// A hand-edited Count far beyond the sections present loads at once, in the order of the
// section numbers, reading only canonical names "Action" + n (any case) with n up to Count.
TEST_F(Configuration, AHugeCountLoadsOnlyTheSectionsPresentInNumberOrder) {
  WriteBytes(Path(), "[General]\nCount=2147483647\n"
                     "[action2]\nFirstDate=46000\nAction=zwei\n"
                     "[Action2000000000]\nFirstDate=46000\nAction=weit\n"
                     "[ACTION1]\nFirstDate=46000\nAction=eins\n"
                     "[Action01]\nFirstDate=46000\nAction=null-eins\n"
                     "[Action0]\nFirstDate=46000\nAction=null\n"
                     "[Action-3]\nFirstDate=46000\nAction=minus\n");
  FScheduler.LoadConfiguration(Path());
  std::vector<QString> actions;
  for (const TActionEntry &entry : FScheduler.Actions())
    actions.push_back(entry.Action);
  EXPECT_EQ(actions, (std::vector<QString>{QStringLiteral("eins"), QStringLiteral("zwei"),
                                           QStringLiteral("weit")}));

  // Count still bounds what is read.
  WriteBytes(Path(), "[General]\nCount=1\n[Action2]\nFirstDate=46000\nAction=zwei\n"
                     "[Action1]\nFirstDate=46000\nAction=eins\n");
  FScheduler.LoadConfiguration(Path());
  ASSERT_EQ(FScheduler.ActionList().Count(), 1);
  EXPECT_EQ(FScheduler.ActionList()[0]->Action.Text(), QStringLiteral("eins"));
}

} // namespace
