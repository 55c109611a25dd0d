// The run journal as the scheduler meets it: real SQLite files in a temporary folder, real
// programs, failures produced for real (damaged and foreign files, read-only and full file
// systems, a lock held by another connection), and a fixed "now".
// This header holds the fixture and the entries that the journal's test files share.
#pragma once

#include "TestHelpers.h"
#include "actions/ActionsTestSupport.h"
#include "core/Scheduler.h"

#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

constexpr double Second = 1.0 / 86400;

// A frequency entry whose grid starts at first, where its last run is too.
inline TActionEntry Frequency(const QString &action, TDateTime first, double freq, bool allCalls) {
  TActionEntry entry = NewActionEntry(tpFrequency, first, action);
  entry.Freq = freq;
  entry.AllCalls = allCalls;
  entry.LastDate = first;
  return entry;
}

// Due once at the next tick; minute tells entries of one tick apart.
inline TActionEntry AtStart(const QString &action, int minute = 0) {
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
