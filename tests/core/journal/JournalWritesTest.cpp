// The calls a tick and the user make, recorded before they run with their results; the
// editor's baseline; calls a tick leaves to the next; pruning.
#include "JournalFixture.h"
#include "TestFiles.h"
#include "core/FakePlatform.h"

#include <QDir>

namespace {

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

// A start long after a reminder's time: the call too late is recorded, not made, beside a call
// in time of the same tick, and a restart (crashed, unsaved) does not record it again.
TEST_F(Journal, ACallTooLateIsRecordedAsLeftOutOnceAndNeverMade) {
  TActionEntry late = NewActionEntry(tpDaily, At(2026, 12, 1, 9), QStringLiteral("\"Neun\""));
  late.LateLimitMs = 3600000;
  TActionEntry timely = late;
  timely.FirstDate = At(2026, 12, 1, 13);
  timely.Action = QStringLiteral("\"Eins\"");
  auto crashed = Start({late, timely});
  crashed->TimerTimer();
  crashed.reset();
  auto restarted = Start();
  restarted->TimerTimer();
  const std::vector<TCallRecord> calls = CallsOf(*restarted);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(ShownMessages(), 1);
  EXPECT_EQ(calls[0].Action, QStringLiteral("\"Eins\""));
  EXPECT_EQ(calls[1].EntryNumber, 1);
  EXPECT_NEAR(calls[1].Due, At(2026, 12, 6, 9), MsTolerance);
  EXPECT_EQ(CallResultText(calls[1]), TooLateResultText());
  EXPECT_EQ(calls[1].Started, 0);
  EXPECT_FALSE(calls[1].Failed);
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
