// The editor's OK, the menu's save and the pause as the scheduler decides them, without a window.
#include "core/MessageSink.h"
#include "core/Scheduler.h"

#include "TestHelpers.h"
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class TSinkCount : public TMessageSink {
public:
  void Show(const QString &, const QString &, const QString &message) override {
    Last = message;
    ++Count;
  }
  QString Last;
  int Count = 0;
};

TActionEntry Daily(const QString &action, TDateTime last) {
  TActionEntry entry = NewActionEntry(tpDaily, At(2026, 1, 1, 8, 0, 0), action);
  entry.LastDate = last;
  return entry;
}

} // namespace

// Each case: what the editor gives back, whether another scheduler holds the chosen file,
// and whether the list was replaced while the editor was open.
TEST(EditorSession, TheEditorsOkIsTakenAsTheSchedulerDecides) {
  const TDateTime before = At(2026, 12, 7, 8, 0, 0);
  const TDateTime during = At(2026, 12, 8, 8, 0, 0);
  struct TCase {
    const char *Name;
    std::uint64_t IntervalMs;
    bool OtherFile, Refused, LastDateChanged, ListReplaced;
    unsigned Interval;
    bool Corrected, Moved;
    TDateTime LastDate;
  } cases[] = {
      {"same file", 5000, false, false, false, false, 5000, false, false, during},
      {"interval 0", 0, false, false, false, false, 60000, true, false, during},
      {"moved", 2000, true, false, false, false, 2000, false, true, during},
      {"lock refused", 2000, true, true, false, false, 2000, false, false, during},
      {"last run set by user", 1000, false, false, true, false, 1000, false, false, before},
      {"list replaced", 1000, false, false, false, true, 1000, false, false, before},
  };
  for (const TCase &c : cases) {
    SCOPED_TRACE(c.Name);
    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("k.ini"));
    const QString other = dir.filePath(QStringLiteral("anders.ini"));
    TSinkCount sink;
    TScheduler scheduler;
    scheduler.SetMessageSink(&sink);
    scheduler.SetConfigFileName(config);
    scheduler.SetActions({Daily(QStringLiteral("a"), before)});
    TListEditSession session = scheduler.BeginListEdit();
    EXPECT_EQ(session.IntervalMs, 1000u);
    // A tick records a run while the editor is open (or the menu loads another list).
    if (c.ListReplaced)
      scheduler.SetActions({Daily(QStringLiteral("a"), before)});
    scheduler.ActionList()[0]->LastDate = during;
    session.Rows = {{session.Copies[0], 0, c.LastDateChanged}};
    session.IntervalMs = c.IntervalMs;
    if (c.OtherFile)
      session.ConfigFileName = other;
    const TEditorOutcome outcome = scheduler.TakeEditorSession(session, [&](const QString &) {
      return c.Refused ? QStringLiteral("Für anders.ini läuft schon ein anderes Kronolab.")
                       : QString();
    });
    EXPECT_EQ(outcome.IntervalCorrected, c.Corrected);
    EXPECT_EQ(outcome.ConfigRefused.isEmpty(), !c.Refused);
    EXPECT_TRUE(outcome.Saved);
    EXPECT_EQ(scheduler.Interval(), c.Interval);
    EXPECT_EQ(scheduler.ConfigFileName(), c.Moved ? other : config);
    EXPECT_EQ(QFileInfo::exists(other), c.Moved);
    EXPECT_EQ(sink.Count, c.Refused ? 1 : 0);
    ASSERT_EQ(scheduler.ActionList().Count(), 1);
    EXPECT_DOUBLE_EQ(scheduler.ActionList()[0]->LastDate, c.LastDate);
  }
}

// The menu's save refuses a file another scheduler runs; a save that fails is reported and
// the editor's list is kept; Shift pauses at start only when the switch allows it.
TEST(EditorSession, SavesAndThePauseFollowTheirRules) {
  QTemporaryDir dir;
  TSinkCount sink;
  TScheduler scheduler;
  scheduler.SetMessageSink(&sink);
  const QString file = dir.filePath(QStringLiteral("k.ini"));
  EXPECT_FALSE(scheduler.SaveActionFile(file, [](const QString &) { return true; }));
  EXPECT_EQ(sink.Count, 1);
  EXPECT_FALSE(QFileInfo::exists(file));
  EXPECT_TRUE(scheduler.SaveActionFile(file, [](const QString &) { return false; }));
  EXPECT_TRUE(QFileInfo::exists(file));

  TListEditSession session = scheduler.BeginListEdit();
  session.ConfigFileName = dir.filePath(QStringLiteral("fehlt/k.ini"));
  session.Rows = {{Daily(QStringLiteral("neu"), 0), -1, false}};
  EXPECT_FALSE(scheduler.TakeEditorSession(session, nullptr).Saved);
  EXPECT_TRUE(sink.Last.contains(QStringLiteral("fehlt/k.ini"))) << qPrintable(sink.Last);
  EXPECT_EQ(scheduler.ActionList().Count(), 1);
  EXPECT_FALSE(scheduler.RunNowByJournalId(0).Done);

  EXPECT_FALSE(scheduler.PauseForShiftAtStart(true)); // NoShiftReaction by default
  scheduler.SetNoShiftReaction(false);
  EXPECT_FALSE(scheduler.PauseForShiftAtStart(false));
  EXPECT_EQ(scheduler.TimerInterval(), 1000u);
  EXPECT_TRUE(scheduler.PauseForShiftAtStart(true));
  EXPECT_EQ(scheduler.TimerInterval(), 0u);
  EXPECT_TRUE(sink.Last.contains(QStringLiteral("Umschalttaste")));
}
