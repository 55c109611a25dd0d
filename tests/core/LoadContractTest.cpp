// A load is a contract: values no entry may hold never get past it, and the user is told of
// them once per load, entry by entry.
#include "actions/ActionsTestSupport.h"
#include "base/Errors.h"
#include "core/Scheduler.h"
#include "storage/ActionListFile.h"

#include "TestFiles.h"
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class LoadContract : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(FTemp.isValid());
    FScheduler.SetMessageSink(&FSink);
  }
  QString Path() const { return FTemp.filePath(QStringLiteral("kronolab.ini")); }
  // Writes a configuration of the given action sections (Count set to their number).
  void WriteSections(const QStringList &sections, const QString &general = QString()) {
    QString text = QStringLiteral("[General]\r\n%1Count=%2\r\n").arg(general).arg(sections.size());
    for (int n = 1; n <= sections.size(); ++n)
      text += QStringLiteral("[Action%1]\r\n%2\r\n").arg(n).arg(sections[n - 1]);
    WriteBytes(Path(), text.toUtf8());
  }
  QTemporaryDir FTemp;
  TRecordingSink FSink;
  TScheduler FScheduler;
};

// A date no calendar holds, beside good entries: the good ones load and are due as ever, the
// bad one is left out, and one message names it by number, action, key and value.
TEST_F(LoadContract, AnImpossibleDateDropsOnlyItsEntryWithOneMessage) {
  WriteSections({QStringLiteral("TimePoint=2\r\nFirstDate=46000.25\r\nAction=vorher"),
                 QStringLiteral("TimePoint=1\r\nFirstDate=1E12\r\nAction=kaputt"),
                 QStringLiteral("TimePoint=1\r\nFirstDate=-1e300\r\nDate=46001.5\r\nAction=alt"),
                 QStringLiteral("TimePoint=2\r\nFirstDate=1e999\r\nAction=unendlich"),
                 QStringLiteral("TimePoint=2\r\nFirstDate=46000.75\r\nAction=nachher")});
  FScheduler.LoadConfiguration(Path());
  ASSERT_EQ(FScheduler.ActionList().Count(), 3);
  EXPECT_EQ(FScheduler.ActionList()[0]->Action.Text(), QStringLiteral("vorher"));
  // A wrong FirstDate counts as a missing one, so the old "Date" stands in.
  EXPECT_EQ(FScheduler.ActionList()[1]->FirstDate, 46001.5);
  EXPECT_EQ(FScheduler.ActionList()[2]->Action.Text(), QStringLiteral("nachher"));

  ASSERT_EQ(FSink.Messages.size(), 1u);
  const QString &text = FSink.Messages[0].Message;
  EXPECT_TRUE(FSink.Messages[0].Header.contains(Path()));
  EXPECT_TRUE(text.contains(QStringLiteral("Aktion 2 („kaputt“): FirstDate=1E12 ist kein Datum")))
      << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("die Aktion wird ausgelassen")));
  EXPECT_TRUE(text.contains(QStringLiteral("Aktion 3 („alt“): FirstDate=-1e300 ist kein Datum der "
                                           "Jahre 1 bis 9999, es gilt Date.")));
  EXPECT_TRUE(text.contains(QStringLiteral("Aktion 4 („unendlich“): FirstDate=1e999 ist keine "
                                           "darstellbare Zahl")));
  EXPECT_FALSE(text.contains(QStringLiteral("vorher")));
  EXPECT_EQ(text.count(u'\n'), 2) << text.toStdString();

  // Nothing past the load meets the bad value: the due check and the next due point work. The
  // once entry written without LastDate runs (once) beside today's daily call.
  FScheduler.CollectDueActions(46002.5);
  EXPECT_EQ(FScheduler.DueList().Count(), 2);
  FScheduler.ActionList()[1]->DueFlag = false;
  FScheduler.CollectDueActions(46003.5);
  EXPECT_EQ(FScheduler.DueList().Count(), 1);
  EXPECT_GT(TScheduler::NextDuePoint(*FScheduler.ActionList()[2], 46002.5), 46002.5);
}

// Frequencies below a millisecond would ask for millions of calls a tick; negative, absurdly
// long and unrepresentable ones are no interval either. All read as 0, never due by time.
TEST_F(LoadContract, FrequenciesOutsideOneMillisecondTo9999YearsBecomeZero) {
  const QStringList bad = {QStringLiteral("1e-300"), QStringLiteral("1e-9"), QStringLiteral("-0.5"),
                           QStringLiteral("5e6"), QStringLiteral("1e400")};
  QStringList sections;
  for (const QString &freq : bad)
    sections.append(
        QStringLiteral("AllCalls=1\r\nFreq=%1\r\nFirstDate=46000\r\nAction=f%1").arg(freq));
  // Exactly one millisecond, as the editor writes it, and a long but real step stay.
  sections.append(QStringLiteral("Freq= 1.15740740740741E-0008\r\nFirstDate=46000\r\nAction=ms"));
  sections.append(QStringLiteral("Freq=3650\r\nFirstDate=46000\r\nAction=zehnjahre"));
  WriteSections(sections);
  FScheduler.LoadConfiguration(Path());
  ASSERT_EQ(FScheduler.ActionList().Count(), bad.size() + 2);
  for (int i = 0; i < bad.size(); ++i)
    EXPECT_EQ(FScheduler.ActionList()[i]->Freq, 0) << bad[i].toStdString();
  EXPECT_NEAR(FScheduler.ActionList()[5]->Freq, 1 / MSecsPerDay, 1e-20);
  EXPECT_EQ(FScheduler.ActionList()[6]->Freq, 3650);
  ASSERT_EQ(FSink.Messages.size(), 1u);
  for (const QString &freq : bad)
    EXPECT_TRUE(FSink.Messages[0].Message.contains(QStringLiteral("Freq=") + freq))
        << FSink.Messages[0].Message.toStdString();
  EXPECT_FALSE(FSink.Messages[0].Message.contains(QStringLiteral("„ms“")));
  EXPECT_FALSE(FSink.Messages[0].Message.contains(QStringLiteral("„zehnjahre“")));

  // A tick over such a list makes the one call of the millisecond entry and ends.
  FScheduler.CollectDueActions(46000.5);
  EXPECT_EQ(FScheduler.DueList().Count(), 1);
}

// The interval must be one the editor can show; outside 0 to 99:59:59 it is 1000 ms again.
// A wrong LastDate falls back to FirstDate, as a missing one does.
TEST_F(LoadContract, IntervalAndLastDateFallBackToTheirDefaults) {
  for (const char *interval : {"-5", "360000000", "0", "359999000"}) {
    SCOPED_TRACE(interval);
    FSink.Messages.clear();
    WriteSections({QStringLiteral("TimePoint=2\r\nFirstDate=46000.5\r\nLastDate=9e9\r\n"
                                  "Action=a")},
                  QStringLiteral("Interval=%1\r\n").arg(QLatin1String(interval)));
    FScheduler.LoadConfiguration(Path());
    const bool good = QByteArray(interval) == "0" || QByteArray(interval) == "359999000";
    EXPECT_EQ(FScheduler.Interval(), good ? QByteArray(interval).toUInt() : 1000u);
    ASSERT_EQ(FScheduler.ActionList().Count(), 1);
    EXPECT_EQ(FScheduler.ActionList()[0]->LastDate, 46000.5);
    ASSERT_EQ(FSink.Messages.size(), 1u);
    EXPECT_EQ(FSink.Messages[0].Message.contains(QStringLiteral("[General]: Interval=")), !good);
    EXPECT_TRUE(FSink.Messages[0].Message.contains(
        QStringLiteral("Aktion 1 („a“): LastDate=9e9 ist kein Datum der Jahre 1 bis 9999, es gilt "
                       "FirstDate.")));
  }
}

// A call at the calendar's very last moment records its run mark past it; what we saved that
// way loads back as it was, without a word.
TEST_F(LoadContract, ARunRecordedAtTheCalendarsLastMomentLoadsBackSilently) {
  WriteSections({QStringLiteral("TimePoint=1\r\nSuddenStart=1\r\nFirstDate=2958465.999999\r\n"
                                "Action=ende")});
  FScheduler.LoadConfiguration(Path());
  FScheduler.CollectDueActions(46000.5);
  ASSERT_EQ(FScheduler.DueList().Count(), 1);
  const TDateTime recorded = FScheduler.ActionList()[0]->LastDate;
  EXPECT_FALSE(IsEncodableDateTime(recorded));
  FScheduler.SaveConfiguration(Path());
  TScheduler reloaded;
  reloaded.SetMessageSink(&FSink);
  reloaded.LoadConfiguration(Path());
  EXPECT_TRUE(FSink.Messages.empty());
  ASSERT_EQ(reloaded.ActionList().Count(), 1);
  EXPECT_NEAR(reloaded.ActionList()[0]->LastDate, recorded, 1e-8);
}

// A good file says nothing; a file of thousands of bad entries says it in one message that
// stays readable.
TEST_F(LoadContract, AGoodFileTellsNothingAndManyBadEntriesMakeOneShortMessage) {
  WriteSections({QStringLiteral("FirstDate=46000\r\nLastDate=45999.9\r\nFreq=0.5\r\nAction=gut")});
  FScheduler.LoadConfiguration(Path());
  EXPECT_TRUE(FSink.Messages.empty());

  QStringList sections;
  for (int n = 0; n < 5000; ++n)
    sections.append(QStringLiteral("FirstDate=1e15\r\nAction=schlecht"));
  WriteSections(sections);
  FScheduler.LoadConfiguration(Path());
  EXPECT_EQ(FScheduler.ActionList().Count(), 0);
  ASSERT_EQ(FSink.Messages.size(), 1u);
  EXPECT_LT(FSink.Messages[0].Message.size(), 4000);
  EXPECT_TRUE(FSink.Messages[0].Message.contains(
      QStringLiteral("… und 4980 weitere Aktionen mit ungültigen Werten.\n")));
}

// A run-control value not of its kind keeps the default, is named once, and the entry still
// loads; the same keys in any case and in the forms people write load without a word.
TEST_F(LoadContract, RunControlValuesNotOfTheirKindKeepTheirDefaults) {
  const struct {
    const char *line;
    const char *told; // empty: loads silently
  } cases[] = {
      {"Active=ja", "Active=ja ist weder 0 noch 1, es gilt 1 (aktiv)"},
      {"Active=2", "Active=2 ist weder 0 noch 1"},
      {"Weekdays=Mo,Xy", "Weekdays=Mo,Xy ist keine Liste von Wochentagen"},
      {"Weekdays=", "Weekdays= ist keine Liste von Wochentagen wie Mo,Di,Mi,Do,Fr, es gilt jeder"},
      {"LateLimit=00:61:00", "LateLimit=00:61:00 ist keine Dauer hh:mm:ss"},
      {"TimeLimit=-1:00:00", "TimeLimit=-1:00:00 ist keine Dauer"},
      {"IfRunning=sometimes", "IfRunning=sometimes ist weder parallel noch skip noch after, es "
                              "gilt parallel"},
      {"StartFrom=1e12", "StartFrom=1e12 ist kein Datum der Jahre 1 bis 9999, es gilt 0"},
      {"weekdays=sa - so\r\nifrunning=SKIP\r\nlatelimit=2:05", ""},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.line);
    FSink.Messages.clear();
    WriteSections({QStringLiteral("TimePoint=2\r\nFirstDate=46000.5\r\nAction=a\r\n") +
                   QLatin1String(c.line)});
    FScheduler.LoadConfiguration(Path());
    ASSERT_EQ(FScheduler.ActionList().Count(), 1);
    const TActionEntry &e = *FScheduler.ActionList()[0];
    const bool silent = *c.told == 0;
    ASSERT_EQ(FSink.Messages.size(), silent ? 0u : 1u);
    if (!silent) {
      EXPECT_TRUE(FSink.Messages[0].Message.contains(QString::fromUtf8(c.told)))
          << FSink.Messages[0].Message.toStdString();
      EXPECT_TRUE(e.Active);
      EXPECT_EQ(e.Weekdays, AllWeekdays);
      EXPECT_EQ(e.LateLimitMs + e.TimeLimitMs + e.StartFrom, 0);
      EXPECT_EQ(e.IfRunning, irParallel);
    } else {
      EXPECT_EQ(e.Weekdays, 0x60);
      EXPECT_EQ(e.IfRunning, irSkip);
      EXPECT_EQ(e.LateLimitMs, 7500000);
    }
  }
}

// A file written with decimal commas (by an earlier version under a German locale) loads every
// entry with its values, and the next save writes points.
TEST_F(LoadContract, AFileWithDecimalCommasLoadsWholeAndIsSavedWithPoints) {
  WriteSections({QStringLiteral("TimePoint=0\r\nFreq= 4,16666666666667E-0002\r\n"
                                "FirstDate= 4,63643750000000E+0004\r\nLastDate=46364,5\r\n"
                                "Action=stündlich"),
                 QStringLiteral("TimePoint=2\r\nFirstDate= 4.60003750000000E+0004\r\nAction=b")});
  FScheduler.LoadConfiguration(Path());
  EXPECT_TRUE(FSink.Messages.empty());
  ASSERT_EQ(FScheduler.ActionList().Count(), 2);
  const TActionEntry &hourly = *FScheduler.ActionList()[0];
  EXPECT_DOUBLE_EQ(hourly.FirstDate, 46364.375);
  EXPECT_DOUBLE_EQ(hourly.LastDate, 46364.5);
  EXPECT_NEAR(hourly.Freq, 1.0 / 24, 1e-15);
  FScheduler.SaveConfiguration(Path());
  const QByteArray saved = ReadBytes(Path());
  EXPECT_TRUE(saved.contains("FirstDate= 4.63643750000000E+0004\r\n")) << saved.constData();
  EXPECT_FALSE(saved.contains(',')) << saved.constData();
}

// Entries left out for values that are no numbers at all are still named; a file none of whose
// actions could be read is not saved over, byte for byte, while another file still is.
TEST_F(LoadContract, AFileOfOnlyUnreadableEntriesIsNamedAndNeverSavedOver) {
  WriteSections({QStringLiteral("TimePoint=2\r\nFirstDate=gestern\r\nAction=a"),
                 QStringLiteral("TimePoint=2\r\nFirstDate=46000\r\nAction=")});
  const QByteArray before = ReadBytes(Path());
  const TLoadReport report = FScheduler.LoadConfiguration(Path());
  EXPECT_TRUE(report.Withheld);
  ASSERT_EQ(FSink.Messages.size(), 1u);
  const QString text = FSink.Messages[0].Message;
  for (const char *part : {"Aktion 1", "FirstDate fehlt oder ist keine Zahl", "Aktion 2",
                           "Action ist leer", "überschreibt die Datei nicht"})
    EXPECT_TRUE(text.contains(QString::fromUtf8(part))) << part << "\n" << text.toStdString();
  EXPECT_THROW(FScheduler.SaveConfiguration(Path()), EInOutError);
  EXPECT_EQ(ReadBytes(Path()), before);
  const QString other = FTemp.filePath(QStringLiteral("anders.ini"));
  FScheduler.SaveConfiguration(other);
  EXPECT_TRUE(QFileInfo::exists(other));
}

// The editor keeps every entry of a file it adds, but never with a value no entry may hold;
// it learns which values were replaced.
TEST_F(LoadContract, TheEditorsLoadKeepsEntriesButNotTheirImpossibleValues) {
  WriteSections({QStringLiteral("TimePoint=1\r\nFirstDate=1E12\r\nFreq=1e-300\r\nAction=kaputt"),
                 QStringLiteral("TimePoint=2\r\nFirstDate=46000.5\r\nAction=gut")},
                QStringLiteral("Interval=-1\r\n"));
  const TActionListContents contents = ReadActionListFile(Path());
  EXPECT_EQ(contents.IntervalMs, 1000);
  ASSERT_EQ(contents.Entries.size(), 2u);
  EXPECT_EQ(contents.Entries[0].FirstDate, 0);
  EXPECT_EQ(contents.Entries[0].LastDate, 0);
  EXPECT_EQ(contents.Entries[0].Freq, 0);
  EXPECT_EQ(contents.Entries[1].FirstDate, 46000.5);
  ASSERT_EQ(contents.Report.Entries.size(), 1u);
  EXPECT_EQ(contents.Report.Entries[0].Number, 1);
  EXPECT_EQ(contents.Report.Entries[0].Values.size(), 2u);
  EXPECT_FALSE(contents.Report.Entries[0].Dropped);
  EXPECT_TRUE(contents.Report.Text().contains(QStringLiteral("FirstDate=1E12 ist kein Datum der "
                                                             "Jahre 1 bis 9999, es gilt 0")));
  EXPECT_EQ(contents.Report.Settings.size(), 1u);
}

} // namespace
