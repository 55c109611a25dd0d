// The journal's file when it fails: damaged, foreign or newer, read-only, full, locked by
// another program, a FIFO or a link in its place; and whose it is.
#include "JournalFixture.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

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

// Failed calls not yet shown in "Verlauf" are still counted by the next run; a journal of
// layout 2 (before put-off messages and kept output) is brought up to date in place, its calls
// kept and its failures counted as seen, so that an update greets nobody with a mark.
TEST_F(Journal, UnseenFailuresOutliveTheRunAndAnOlderLayoutIsBroughtUpToDate) {
  const auto fail = [](TRunJournal &journal) {
    const std::int64_t entry = journal.EntryFor(QStringLiteral("k"), QStringLiteral("/bin/false"));
    const std::int64_t call = journal.RecordManualCall(entry, 1, QStringLiteral("/bin/false"), 0);
    journal.BeginCall(call, 46365, QStringLiteral("/bin/false"));
    journal.FinishCall(call, {TCallState::Failed, 0, 0, QStringLiteral("Nicht gefunden !"), 0});
  };
  for (const int run : {1, 2}) {
    TRunJournal journal;
    ASSERT_TRUE(journal.Open(JournalFile(), 46365));
    if (run == 1) {
      fail(journal), fail(journal);
      EXPECT_EQ(journal.UnseenFailures(), 2);
      continue;
    }
    EXPECT_EQ(journal.UnseenFailures(), 2);
    journal.FailuresSeen();
    fail(journal);
    EXPECT_EQ(journal.UnseenFailures(), 1);
  }
  {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("old"));
    db.setDatabaseName(JournalFile());
    ASSERT_TRUE(db.open());
    for (const char *statement :
         {"DROP TABLE marks", "DROP TABLE snoozes", "ALTER TABLE calls DROP COLUMN stdout",
          "ALTER TABLE calls DROP COLUMN stderr", "PRAGMA user_version=2"})
      ASSERT_TRUE(QSqlQuery(db).exec(QString::fromLatin1(statement))) << statement;
    db.close();
  }
  QSqlDatabase::removeDatabase(QStringLiteral("old"));
  TRunJournal journal;
  ASSERT_TRUE(journal.Open(JournalFile(), 46365));
  EXPECT_EQ(journal.CallCount(), 3);
  EXPECT_EQ(journal.UnseenFailures(), 0);
  EXPECT_NE(journal.AddSnooze({0, 46365, 46366, QStringLiteral("c"), QString(), QString()}), 0);
  fail(journal);
  EXPECT_EQ(journal.UnseenFailures(), 1);
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
