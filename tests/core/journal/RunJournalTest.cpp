// The run journal as the scheduler meets it: real SQLite files in a temporary folder, real
// programs, failures produced for real (damaged and foreign files, read-only and full file
// systems, a lock held by another connection), and a fixed "now".
#include "TestFiles.h"
#include "TestHelpers.h"
#include "actions/ActionsTestSupport.h"
#include "core/FakePlatform.h"
#include "core/Scheduler.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr double Second = 1.0 / 86400;

TActionEntry Frequency(const QString &action, TDateTime first, double freq, bool allCalls) {
  TActionEntry entry = NewActionEntry(tpFrequency, first, action);
  entry.Freq = freq;
  entry.AllCalls = allCalls;
  entry.LastDate = first;
  return entry;
}

// Due once at the next tick; minute tells entries of one tick apart.
TActionEntry AtStart(const QString &action, int minute = 0) {
  TActionEntry entry = NewActionEntry(tpOnce, At(2026, 1, 1, 8, minute), action);
  entry.SuddenStart = true;
  return entry;
}

class Journal : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(Dir.isValid()); }

  QString Config() const { return Dir.filePath(QStringLiteral("kronolab.ini")); }
  QString JournalFile() const { return Dir.filePath(QStringLiteral("kronolab.sqlite")); }

  // A scheduler as start-up makes it: the configuration (entries saved into it first when
  // given), then the journal and its LastDates.
  std::unique_ptr<TScheduler> Start(const std::vector<TActionEntry> &entries = {},
                                    const TRunJournalOptions &options = {},
                                    TPlatform &platform = SystemPlatform()) {
    auto scheduler = std::make_unique<TScheduler>(platform);
    scheduler->SetMessageSink(&Sink);
    scheduler->SetClock([this] { return Now; });
    scheduler->SetConfigFileName(Config());
    scheduler->SetLogFileName(Dir.filePath(QStringLiteral("kronolab.log")));
    if (!entries.empty()) {
      scheduler->SetActions(entries);
      scheduler->SaveConfiguration(Config());
    }
    scheduler->LoadConfiguration(Config());
    scheduler->OpenJournal(options);
    scheduler->MergeJournalLastDates();
    return scheduler;
  }

  // Every call in the journal, oldest first.
  static std::vector<TCallRecord> CallsOf(const TScheduler &scheduler, TCallFilter filter = {}) {
    std::vector<TCallRecord> calls = scheduler.Journal()->Calls(filter, INT64_MAX, 1000000);
    std::reverse(calls.begin(), calls.end());
    return calls;
  }

  // The messages about the journal itself.
  QStringList JournalMessages() const {
    QStringList texts;
    for (const TRecordedMessage &message : Sink.Messages)
      if (message.Header == u"Verlauf")
        texts.append(message.Message);
    return texts;
  }

  int ShownMessages() const {
    return static_cast<int>(
        std::count_if(Sink.Messages.begin(), Sink.Messages.end(), [](const TRecordedMessage &m) {
          return m.Caption.startsWith(u"Nachricht von");
        }));
  }

  QTemporaryDir Dir;
  TRecordingSink Sink;
  TDateTime Now = At(2026, 12, 6, 13, 30, 0, 500);
};

TEST_F(Journal, EveryCatchUpCallIsCommittedWithItsOwnDuePointBeforeItRuns) {
  auto scheduler =
      Start({Frequency(QStringLiteral("\"Stunde\""), At(2026, 12, 6, 9), 1.0 / 24, true)});
  scheduler->SetLogging(true);
  // While each message is shown, a second reader already finds its call committed.
  std::vector<std::vector<TCallRecord>> seen;
  struct TPeekingSink : TMessageSink {
    std::function<void()> Peek;
    void Show(const QString &, const QString &, const QString &) override { Peek(); }
  } peeking;
  peeking.Peek = [&] {
    TRunJournal reader;
    ASSERT_TRUE(reader.OpenForReading(JournalFile())) << reader.Problem().toStdString();
    seen.push_back(reader.Calls({}, INT64_MAX, 100));
  };
  scheduler->SetMessageSink(&peeking);
  scheduler->TimerTimer();

  const std::vector<TCallRecord> calls = CallsOf(*scheduler);
  ASSERT_EQ(calls.size(), 4u);
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(calls[i].Due, At(2026, 12, 6, 10 + i), MsTolerance);
    EXPECT_EQ(calls[i].State, TCallState::Done);
    EXPECT_EQ(CallResultText(calls[i]), QStringLiteral("Nachricht angezeigt"));
    EXPECT_EQ(calls[i].EntryNumber, 1);
    EXPECT_NEAR(calls[i].Started, Now, MsTolerance);
  }
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[0].size(), 4u); // the whole tick in one transaction, before the first call
  EXPECT_EQ(seen[0].front().State, TCallState::Recorded);
  EXPECT_EQ(seen[0].back().State, TCallState::Begun);
  // The log keeps its one line per call with the entry's LastDate, as it always had.
  const QString line =
      "06.12.2026 13:30:00 ; \"Stunde\" ;06.12.2026 09:00:00 ; 06.12.2026 13:00:00\r\n";
  EXPECT_EQ(QString::fromUtf8(ReadBytes(scheduler->LogFileName())), line + line + line + line);
  EXPECT_TRUE(JournalMessages().isEmpty());
}

TEST_F(Journal, AfterACrashTheJournalsLaterLastDateKeepsTheCallFromBeingMadeAgain) {
  // A grid start with a fraction that the configuration's text does not hold exactly.
  const TDateTime first = At(2026, 12, 6, 9) + 0.123456789 * Second;
  const TActionEntry entry = Frequency(QStringLiteral("\"Takt\""), first, 1.0 / 24, false);
  Now = At(2026, 12, 6, 10, 0, 1);
  auto crashed = Start({entry});
  crashed->TimerTimer();
  ASSERT_EQ(ShownMessages(), 1);
  crashed.reset(); // gone without saving its configuration

  // Without the journal the restarted scheduler would make the call again...
  TScheduler without;
  without.LoadConfiguration(Config());
  without.CollectDueActions(Now + Second);
  EXPECT_EQ(without.DueList().Count(), 1);
  // ...with it, it does not.
  Now += Second;
  auto restarted = Start();
  EXPECT_NEAR(restarted->ActionList()[0]->LastDate, first + 1.0 / 24 + RunMark, MsTolerance);
  restarted->TimerTimer();
  EXPECT_EQ(ShownMessages(), 1);
  EXPECT_EQ(CallsOf(*restarted).size(), 1u);
}

TEST_F(Journal, CallsAnEarlierRunLeftOpenAreShownAsSuchAndNotMadeAgain) {
  const TActionEntry entry =
      Frequency(QStringLiteral("\"Takt\""), At(2026, 12, 6, 9), Second, false);
  Now = At(2026, 12, 6, 10);
  {
    // An earlier run died after recording three calls: one never begun, one begun, one a
    // program still running.
    auto earlier = Start({entry});
    TRunJournal &journal = *earlier->Journal();
    const QString key = EntryKeys({earlier->ActionList()[0]}).front();
    const std::vector<std::int64_t> ids =
        journal.RecordCalls({{key, entry.Action, 1, Now - 2 * Second},
                             {key, entry.Action, 1, Now - Second},
                             {key, entry.Action, 1, Now}},
                            Now);
    ASSERT_EQ(ids.size(), 3u);
    journal.BeginCall(ids[1], Now, entry.Action);
    journal.BeginCall(ids[2], Now, entry.Action);
    journal.FinishCall(ids[2], {TCallState::Running, 4242, 0, QString(), -1});
  }
  Now += 0.5 * Second;
  auto restarted = Start();
  restarted->TimerTimer();
  EXPECT_EQ(ShownMessages(), 0);
  const std::vector<TCallRecord> calls = CallsOf(*restarted);
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].State, TCallState::NotStarted);
  EXPECT_EQ(CallResultText(calls[0]),
            QStringLiteral("Nicht ausgeführt: Kronolab wurde vor dem Start beendet"));
  EXPECT_TRUE(calls[0].Failed);
  EXPECT_EQ(calls[1].State, TCallState::Unknown);
  EXPECT_TRUE(calls[1].Failed);
  EXPECT_EQ(calls[2].State, TCallState::Unknown);
  EXPECT_FALSE(calls[2].Failed); // the program may well have done its work
}

TEST_F(Journal, TheEditorsBaselineDecidesForEditedEntriesWhichKeepTheirHistory) {
  const TActionEntry daily =
      NewActionEntry(tpDaily, At(2026, 12, 1, 8), QStringLiteral("\"früh\""));
  const TActionEntry other =
      NewActionEntry(tpDaily, At(2026, 12, 1, 9), QStringLiteral("\"später\""));
  Now = At(2026, 12, 6, 9, 30);
  auto scheduler = Start({daily, other});
  scheduler->TimerTimer();
  ASSERT_EQ(ShownMessages(), 2);
  const std::vector<std::int64_t> ids = scheduler->JournalEntryIds();
  ASSERT_NE(ids[0], 0);

  // The editor's OK: the first entry's last run reset, the second's text changed.
  std::vector<TActionEntry> edited = scheduler->Actions();
  edited[0].LastDate = edited[0].FirstDate;
  edited[1].Action = QStringLiteral("\"viel später\"");
  scheduler->SetActions(edited);
  scheduler->SaveConfiguration(Config());
  scheduler->JournalBaseline(ids);
  scheduler.reset();

  auto restarted = Start();
  EXPECT_NEAR(restarted->ActionList()[0]->LastDate, daily.FirstDate, MsTolerance);
  restarted->TimerTimer();
  EXPECT_EQ(ShownMessages(), 3); // the reset entry runs again, the edited one not
  const std::vector<std::int64_t> after = restarted->JournalEntryIds();
  EXPECT_EQ(after, ids);
  EXPECT_EQ(CallsOf(*restarted, {after[1], false}).size(), 1u);
  EXPECT_EQ(CallsOf(*restarted, {after[0], false}).size(), 2u);
}

TEST_F(Journal, ProgramsAreRecordedWithProcessIdEndAndDurationOrTheirStartError) {
  TFakePlatform platform;
  platform.LaunchResults = {101, 102, 103, ExecPathNotFound};
  platform.Ends = {
      {101, {101, false, 0, 300}}, {102, {102, false, 3, 5}}, {103, {103, true, 15, 5}}};
  auto scheduler =
      Start({AtStart("a", 0), AtStart("b", 1), AtStart("c", 2), AtStart("d", 3)}, {}, platform);
  scheduler->TimerTimer(); // starts them
  scheduler->TimerTimer(); // sees them ended
  const std::vector<TCallRecord> calls = CallsOf(*scheduler);
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[0].State, TCallState::Exited);
  EXPECT_EQ(calls[0].Code, 0);
  EXPECT_FALSE(calls[0].Failed);
  EXPECT_EQ(calls[0].ProcessId, 101);
  EXPECT_EQ(calls[0].DurationMs, 300);
  EXPECT_EQ(CallResultText(calls[1]), QStringLiteral("Beendet mit Status 3"));
  EXPECT_TRUE(calls[1].Failed);
  EXPECT_EQ(CallResultText(calls[2]), QStringLiteral("Abgebrochen durch Signal 15 (SIGTERM)"));
  EXPECT_TRUE(calls[2].Failed);
  EXPECT_EQ(calls[3].State, TCallState::Failed);
  EXPECT_EQ(calls[3].Detail, QStringLiteral("Pfad nicht gefunden !"));
  EXPECT_EQ(calls[3].ProcessId, 0);
}

TEST_F(Journal, FailuresInsideAnInternalCommandAreKeptWithTheirCall) {
  for (const char *name : {"src", "dst"})
    ASSERT_TRUE(QDir(Dir.path()).mkdir(QString::fromLatin1(name)));
  for (const char *name : {"src/a.txt", "src/b.txt", "dst/a.txt", "dst/b.txt"})
    WriteBytes(Dir.filePath(QString::fromLatin1(name)), "x");
  auto scheduler = Start({AtStart(QStringLiteral("%MOVE %1/src/*.txt %1/dst").arg(Dir.path()))});
  scheduler->TimerTimer();
  const std::vector<TCallRecord> calls = CallsOf(*scheduler);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].State, TCallState::Failed);
  const QStringList lines = calls[0].Detail.split(u'\n');
  ASSERT_EQ(lines.size(), 2);
  EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Verschieben von ")));
  EXPECT_TRUE(lines[0].endsWith(QStringLiteral(" mißlungen!")));
  // Each failed file is still told at once.
  EXPECT_EQ(Sink.Messages.size(), 2u);
}

TEST_F(Journal, RunNowIsAManualCallThatLeavesLastDateAndDueFlagAlone) {
  TActionEntry entry = AtStart(QStringLiteral("\"jetzt\""));
  entry.LastDate = At(2025, 5, 5, 5, 5, 5);
  auto scheduler = Start({entry});
  const TManualRun run = scheduler->RunNow(0);
  EXPECT_TRUE(run.Done);
  EXPECT_EQ(ShownMessages(), 1);
  EXPECT_DOUBLE_EQ(scheduler->ActionList()[0]->LastDate, entry.LastDate);
  EXPECT_TRUE(scheduler->ActionList()[0]->DueFlag);
  std::vector<TCallRecord> calls = CallsOf(*scheduler);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_TRUE(calls[0].Manual);
  EXPECT_EQ(calls[0].Due, 0);
  EXPECT_EQ(calls[0].Id, run.CallId);
  EXPECT_EQ(calls[0].EntryId, scheduler->JournalEntryIds()[0]);

  // The start call it was waiting for still comes; a "run now" asked for inside a tick is
  // refused rather than interleaved.
  TManualRun nested;
  struct TNestingSink : TMessageSink {
    std::function<void()> During;
    void Show(const QString &, const QString &, const QString &) override { During(); }
  } nesting;
  nesting.During = [&] { nested = scheduler->RunNow(0); };
  scheduler->SetMessageSink(&nesting);
  scheduler->TimerTimer();
  EXPECT_FALSE(nested.Done);
  calls = CallsOf(*scheduler);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_FALSE(calls[1].Manual);
}

TEST_F(Journal, PruningKeepsTheNewestCallsOrTheRecentDaysWhicheverHoldMore) {
  TRunJournalOptions options;
  options.MaxCalls = 3;
  options.MaxAgeDays = 10;
  const auto record = [&](TRunJournal &journal, TDateTime when, int count) {
    std::vector<TDueCall> calls(static_cast<std::size_t>(count),
                                TDueCall{QStringLiteral("k"), QStringLiteral("a"), 1, when});
    ASSERT_EQ(journal.RecordCalls(calls, when).size(), static_cast<std::size_t>(count));
  };
  const auto survivors = [&](int old, int recent) -> std::vector<std::int64_t> {
    QFile::remove(JournalFile());
    {
      TRunJournal journal;
      EXPECT_TRUE(journal.Open(JournalFile(), Now, options));
      record(journal, Now - 30, old);
      record(journal, Now - 1, recent);
    }
    TRunJournal reopened;
    EXPECT_TRUE(reopened.Open(JournalFile(), Now, options));
    std::vector<std::int64_t> ids;
    for (const TCallRecord &call : reopened.Calls({}, INT64_MAX, 100))
      ids.insert(ids.begin(), call.Id);
    return ids;
  };
  EXPECT_EQ(survivors(5, 2), (std::vector<std::int64_t>{5, 6, 7}));
  EXPECT_EQ(survivors(2, 5), (std::vector<std::int64_t>{3, 4, 5, 6, 7}));
}

// A long catch-up is written many rows to a statement: each id must still name its call.
TEST_F(Journal, TheIdsOfALargeTickNameTheirOwnCalls) {
  TRunJournal journal;
  ASSERT_TRUE(journal.Open(JournalFile(), Now));
  std::vector<TDueCall> calls;
  for (int k = 0; k < 150; ++k)
    calls.push_back({QStringLiteral("k%1").arg(k % 3), QStringLiteral("a"), k % 3 + 1, Now + k});
  const std::vector<std::int64_t> ids = journal.RecordCalls(calls, Now);
  ASSERT_EQ(ids.size(), calls.size());
  for (std::size_t i = 0; i < ids.size(); ++i) {
    const std::optional<TCallRecord> call = journal.Call(ids[i]);
    ASSERT_TRUE(call.has_value());
    EXPECT_EQ(call->Due, calls[i].Due);
    EXPECT_EQ(call->EntryNumber, calls[i].EntryNumber);
  }
  EXPECT_EQ(journal.EntryLastDate(QStringLiteral("k2")), Now + 149 + RunMark);
}

TEST_F(Journal, ADamagedJournalIsSetAsideAndANewOneBegun) {
  {
    auto first = Start({AtStart(QStringLiteral("\"a\""))});
    first->TimerTimer();
  }
  // A page in the middle overwritten: the file still opens, but its check fails.
  QByteArray bytes = ReadBytes(JournalFile());
  ASSERT_GT(bytes.size(), 8192);
  for (int i = 4096; i < 8192; ++i)
    bytes[i] = static_cast<char>(i * 7);
  WriteBytes(JournalFile(), bytes);
  auto second = Start();
  const QStringList messages = JournalMessages();
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].contains(QStringLiteral("war beschädigt"))) << messages[0].toStdString();
  const QStringList aside =
      QDir(Dir.path()).entryList({QStringLiteral("kronolab.sqlite.defekt-*")}, QDir::Files);
  ASSERT_EQ(aside.size(), 1);
  EXPECT_EQ(ReadBytes(Dir.filePath(aside[0])), bytes);
  second->TimerTimer();
  EXPECT_EQ(CallsOf(*second).size(), 1u);
  EXPECT_TRUE(second->Journal()->CanWrite());

  // Not a database at all, and another program's database: both kept, neither overwritten.
  second.reset();
  WriteBytes(JournalFile(), QByteArray(5000, 'x'));
  Start();
  {
    QFile::remove(JournalFile());
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
    db.setDatabaseName(JournalFile());
    ASSERT_TRUE(db.open());
    QSqlQuery(db).exec(QStringLiteral("CREATE TABLE notes(text)"));
    db.close();
  }
  QSqlDatabase::removeDatabase(QStringLiteral("other"));
  const QByteArray foreign = ReadBytes(JournalFile());
  Start();
  const QStringList all = JournalMessages();
  ASSERT_EQ(all.size(), 3);
  EXPECT_TRUE(all[2].contains(QStringLiteral("kein Verlauf von Kronolab")));
  const QStringList kept =
      QDir(Dir.path()).entryList({QStringLiteral("kronolab.sqlite.defekt-*")}, QDir::Files);
  ASSERT_EQ(kept.size(), 3);
  EXPECT_TRUE(std::any_of(kept.begin(), kept.end(), [&](const QString &name) {
    return ReadBytes(Dir.filePath(name)) == foreign;
  }));
}

TEST_F(Journal, ANewerJournalIsLeftAsItIs) {
  {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("newer"));
    db.setDatabaseName(JournalFile());
    ASSERT_TRUE(db.open());
    QSqlQuery(db).exec(QStringLiteral("PRAGMA application_id=%1").arg(0x4B726F6E));
    QSqlQuery(db).exec(
        QStringLiteral("PRAGMA user_version=%1").arg(TRunJournal::SchemaVersion + 1));
    QSqlQuery(db).exec(QStringLiteral("CREATE TABLE future(x)"));
    db.close();
  }
  QSqlDatabase::removeDatabase(QStringLiteral("newer"));
  const QByteArray before = ReadBytes(JournalFile());
  auto scheduler = Start({AtStart(QStringLiteral("\"a\""))});
  scheduler->TimerTimer();
  EXPECT_EQ(ShownMessages(), 1);
  ASSERT_EQ(JournalMessages().size(), 1);
  EXPECT_TRUE(JournalMessages()[0].contains(QStringLiteral("neueren Version")));
  scheduler.reset();
  EXPECT_EQ(ReadBytes(JournalFile()), before);
}

// Root can write any file, so the read-only case uses a file system mounted read-only.
class ReadOnlyFolder {
public:
  explicit ReadOnlyFolder(const QString &path) : FPath(path) {}
  ~ReadOnlyFolder() {
    if (FMounted)
      umount(FPath.toUtf8().constData());
  }
  bool Mount() {
    FMounted = mount("tmpfs", FPath.toUtf8().constData(), "tmpfs", 0, "size=4m,mode=0700") == 0;
    return FMounted;
  }
  bool MakeReadOnly() {
    return mount(nullptr, FPath.toUtf8().constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) ==
           0;
  }

private:
  QString FPath;
  bool FMounted = false;
};

TEST_F(Journal, AReadOnlyJournalNeverStopsTheSchedulerAndStillPreventsRepeats) {
  if (geteuid() != 0)
    GTEST_SKIP() << "needs root to mount a read-only file system";
  const QString folder = Dir.filePath(QStringLiteral("ro"));
  ASSERT_TRUE(QDir().mkpath(folder));
  ReadOnlyFolder mount(folder);
  if (!mount.Mount())
    GTEST_SKIP() << "cannot mount tmpfs here";
  const QString config = folder + QStringLiteral("/kronolab.ini");
  const TActionEntry entry =
      Frequency(QStringLiteral("\"Takt\""), At(2026, 12, 6, 9), Second, false);
  Now = At(2026, 12, 6, 10, 0, 0, 500);
  const auto start = [&] {
    auto scheduler = std::make_unique<TScheduler>();
    scheduler->SetMessageSink(&Sink);
    scheduler->SetClock([this] { return Now; });
    scheduler->SetConfigFileName(config);
    scheduler->LoadConfiguration(config);
    scheduler->OpenJournal({30000, 180, 0, 200});
    scheduler->MergeJournalLastDates();
    return scheduler;
  };
  {
    TScheduler writer;
    writer.SetActions({entry});
    writer.SaveConfiguration(config);
    auto first = start();
    first->TimerTimer();
  }
  ASSERT_TRUE(mount.MakeReadOnly());
  auto scheduler = start();
  EXPECT_NEAR(scheduler->ActionList()[0]->LastDate, At(2026, 12, 6, 10, 0, 0, 100), MsTolerance);
  scheduler->TimerTimer(); // the same second: nothing to make again
  EXPECT_EQ(ShownMessages(), 1);
  for (int i = 1; i <= 3; ++i) {
    Now += Second;
    scheduler->TimerTimer();
  }
  EXPECT_EQ(ShownMessages(), 4);
  const QStringList messages = JournalMessages();
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].contains(QStringLiteral("schreibgeschützt")))
      << messages[0].toStdString();
}

TEST_F(Journal, AFullDiskNeverStopsTheSchedulerAndIsToldOnce) {
  if (geteuid() != 0)
    GTEST_SKIP() << "needs root to mount a small file system";
  const QString folder = Dir.filePath(QStringLiteral("full"));
  ASSERT_TRUE(QDir().mkpath(folder));
  ReadOnlyFolder mount(folder);
  if (!mount.Mount())
    GTEST_SKIP() << "cannot mount tmpfs here";
  const QString config = folder + QStringLiteral("/kronolab.ini");
  TScheduler scheduler;
  scheduler.SetMessageSink(&Sink);
  scheduler.SetClock([this] { return Now; });
  scheduler.SetConfigFileName(config);
  // Every minute of a day made up at once: far more than the disk has room for.
  scheduler.SetActions(
      {Frequency(QStringLiteral("\"Minute\""), Now - 1 - 0.5 / 1440, 1.0 / 1440, true)});
  scheduler.OpenJournal({100000, 180, 0, 200});
  ASSERT_TRUE(scheduler.Journal()->CanWrite());
  {
    QFile filler(folder + QStringLiteral("/filler"));
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
    const QByteArray block(65536, 'f');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
  }
  // A slow machine leaves part of the day to further ticks at the same moment (the tick's
  // time budget); they make up the rest.
  for (int tick = 0; tick < 1440 && ShownMessages() < 1440; ++tick)
    scheduler.TimerTimer();
  EXPECT_EQ(ShownMessages(), 1440);
  Now += 1.0 / 1440;
  scheduler.TimerTimer();
  EXPECT_EQ(ShownMessages(), 1441);
  const QStringList messages = JournalMessages();
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].contains(QStringLiteral("Datenträger ist voll")))
      << messages[0].toStdString();
}

// Another program (a backup) locks the journal for five ticks of a one-second entry that
// makes every call. Within the patience the calls wait and nothing is told; the scheduler is
// killed meanwhile, and the next start makes each second once, recorded. Without patience the
// calls run during the lock, the user is told once, and they are recorded once it is free.
TEST_F(Journal, ALockOfAnotherProgramHoldsTheCallsUntilFreeAndNoCallIsMadeTwice) {
  for (const int patienceMs : {60000, 0}) {
    SCOPED_TRACE(patienceMs);
    for (const char *suffix : {"", "-wal", "-shm"})
      QFile::remove(JournalFile() + QString::fromLatin1(suffix));
    Sink.Messages.clear();
    Now = At(2026, 12, 6, 13, 30, 0, 500);
    TRunJournalOptions options;
    options.LockPatienceMs = patienceMs;
    auto scheduler =
        Start({Frequency(QStringLiteral("\"Takt\""), At(2026, 12, 6, 13, 29, 58), Second, true)},
              options);
    int whileLocked = 0;
    {
      QSqlDatabase other =
          QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("locker"));
      other.setDatabaseName(JournalFile());
      ASSERT_TRUE(other.open());
      ASSERT_TRUE(QSqlQuery(other).exec(QStringLiteral("BEGIN EXCLUSIVE")));
      for (int tick = 0; tick < 5; ++tick, Now += Second)
        scheduler->TimerTimer();
      whileLocked = ShownMessages();
      QSqlQuery(other).exec(QStringLiteral("ROLLBACK"));
      other.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("locker"));
    if (patienceMs > 0) {
      EXPECT_EQ(whileLocked, 0);
      EXPECT_TRUE(JournalMessages().isEmpty());
      scheduler.reset(); // killed: nothing saved
      scheduler = Start({}, options);
    } else {
      EXPECT_EQ(whileLocked, 6);
      ASSERT_EQ(JournalMessages().size(), 1);
      EXPECT_TRUE(JournalMessages()[0].contains(QStringLiteral("gesperrt")));
    }
    scheduler->TimerTimer();
    // Every second from the first due point to now, once each, made and recorded.
    const std::vector<TCallRecord> calls = CallsOf(*scheduler);
    ASSERT_EQ(calls.size(), 7u);
    EXPECT_EQ(ShownMessages(), 7);
    for (std::size_t i = 0; i < calls.size(); ++i) {
      EXPECT_NEAR(calls[i].Due, At(2026, 12, 6, 13, 29, 59) + static_cast<double>(i) * Second,
                  MsTolerance)
          << i;
      const bool madeLocked = patienceMs == 0 && i < 6;
      EXPECT_EQ(calls[i].State, madeLocked ? TCallState::Unknown : TCallState::Done) << i;
    }
  }
}

// A FIFO, a link or a FIFO for the write-ahead log in the journal's place: the scheduler sets
// it aside untouched (a link's target keeps its bytes), says so in German, and records its
// calls in a new journal.
TEST_F(Journal, AFifoOrLinkInTheJournalsPlaceIsSetAsideAndTheSchedulerGoesOn) {
  const QString target = Dir.filePath(QStringLiteral("fremd.db"));
  const struct {
    const char *Suffix;
    bool Link;
  } cases[] = {{"", false}, {"", true}, {"-wal", false}};
  for (const auto &c : cases) {
    SCOPED_TRACE(std::string(c.Suffix) + (c.Link ? " link" : " fifo"));
    for (const QString &name :
         QDir(Dir.path())
             .entryList({QStringLiteral("kronolab.sqlite*")}, QDir::AllEntries | QDir::System))
      QFile::remove(Dir.filePath(name));
    Sink.Messages.clear();
    const QByteArray place = (JournalFile() + QString::fromLatin1(c.Suffix)).toUtf8();
    WriteBytes(target, "fremde Daten");
    if (c.Link)
      ASSERT_EQ(symlink(target.toUtf8().constData(), place.constData()), 0);
    else
      ASSERT_EQ(mkfifo(place.constData(), 0600), 0);
    auto scheduler = Start({AtStart(QStringLiteral("\"weiter\""))});
    scheduler->TimerTimer();
    EXPECT_EQ(ShownMessages(), 1);
    EXPECT_EQ(CallsOf(*scheduler).size(), 1u);
    ASSERT_EQ(JournalMessages().size(), 1);
    EXPECT_TRUE(JournalMessages()[0].contains(QStringLiteral("beiseitegelegt")))
        << JournalMessages()[0].toStdString();
    const QStringList aside = QDir(Dir.path())
                                  .entryList({QStringLiteral("kronolab.sqlite.defekt-*")},
                                             QDir::AllEntries | QDir::System);
    struct stat info {};
    const QString moved = Dir.filePath(aside.filter(QString::fromLatin1(c.Suffix)).value(0));
    ASSERT_EQ(lstat(moved.toUtf8().constData(), &info), 0) << aside.join(u' ').toStdString();
    EXPECT_TRUE(c.Link ? S_ISLNK(info.st_mode) : S_ISFIFO(info.st_mode));
    EXPECT_EQ(ReadBytes(target), "fremde Daten");
  }
}

// Old calls go while the scheduler runs: once a day, a bounded number of rows at a time.
TEST_F(Journal, PruningWhileRunningGoesInSmallStepsOnceADay) {
  TRunJournal journal;
  ASSERT_TRUE(journal.Open(JournalFile(), Now, {10, 1, 30000, 200, 60000, 100}));
  const std::vector<TDueCall> calls(1000, {QStringLiteral("k"), QStringLiteral("a"), 1, Now});
  ASSERT_EQ(journal.RecordCalls(calls, Now).size(), 1000u);
  // Not yet a day after the start's pruning, then a day later, and again the same day.
  for (const double day : {0.9, 2.0, 2.5}) {
    std::int64_t before = journal.CallCount(), steps = 0;
    do {
      journal.PruneStep(Now + day, 0);
      EXPECT_LE(before - journal.CallCount(), 100) << day;
      before = journal.CallCount();
    } while (journal.Pruning() && ++steps < 100);
    EXPECT_EQ(journal.CallCount(), day == 0.9 ? 1000 : 10) << day;
    EXPECT_GE(steps, day == 2.0 ? 9 : 0) << day;
  }
}

TEST_F(Journal, TheJournalsFilesAreTheUsersAloneAndEachSchedulerKeepsItsOwn) {
  const mode_t old = umask(022);
  auto one = Start({AtStart(QStringLiteral("\"eins\""))});
  umask(old);
  one->TimerTimer();
  for (const char *suffix : {"", "-wal", "-shm"}) {
    const QString file = JournalFile() + QString::fromLatin1(suffix);
    struct stat info {};
    ASSERT_EQ(stat(file.toUtf8().constData(), &info), 0) << file.toStdString();
    EXPECT_EQ(info.st_mode & 0777, 0600u) << file.toStdString();
  }
  QTemporaryDir otherDir;
  TScheduler two;
  two.SetMessageSink(&Sink);
  two.SetClock([this] { return Now; });
  two.SetConfigFileName(otherDir.filePath(QStringLiteral("plan.ini")));
  two.SetActions({AtStart(QStringLiteral("\"zwei\""), 0), AtStart(QStringLiteral("\"drei\""), 1)});
  two.OpenJournal();
  EXPECT_EQ(two.Journal()->FileName(), otherDir.filePath(QStringLiteral("plan.sqlite")));
  two.TimerTimer();
  EXPECT_EQ(CallsOf(*one).size(), 1u);
  EXPECT_EQ(CallsOf(two).size(), 2u);
}

} // namespace

namespace {

// A tick out of time leaves its last calls to the next ticks: they are not kept as made, so
// each due point is in the journal once and done, and a crash between the ticks (a scheduler
// started anew from the files) makes the calls the first tick did not get to.
TEST_F(Journal, CallsATickLeavesToTheNextAreRecordedOnceAndSurviveACrash) {
  auto scheduler =
      Start({Frequency(QStringLiteral("\"Stunde\""), At(2026, 12, 6, 9), 1.0 / 24, true)});
  scheduler->SetTickTimeBudgetMs(0); // one call a tick
  scheduler->TimerTimer();
  ASSERT_EQ(ShownMessages(), 1);
  std::vector<TCallRecord> calls = CallsOf(*scheduler);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_NEAR(calls[0].Due, At(2026, 12, 6, 10), MsTolerance);

  // The process dies here; the next start takes LastDate from the journal.
  scheduler.reset();
  auto again = Start();
  again->SetTickTimeBudgetMs(0);
  for (int tick = 0; tick < 5; ++tick)
    again->TimerTimer();
  EXPECT_EQ(ShownMessages(), 4);
  calls = CallsOf(*again);
  ASSERT_EQ(calls.size(), 4u);
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(calls[i].Due, At(2026, 12, 6, 10 + i), MsTolerance) << i;
    EXPECT_EQ(calls[i].State, TCallState::Done) << i;
  }
}

} // namespace
