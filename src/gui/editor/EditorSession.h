// What the tray host hands to the editor window and what it takes back after OK. Kept apart
// from both so that neither window's header needs the other's.
#pragma once

#include "base/ActionEntry.h"
#include "core/Scheduler.h"

#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <vector>

// One row the editor gives back: the entry, the copy it started from (an index into the
// copies it was given, -1 for a new row), whether the user set its last run himself, and
// its entry in the run journal (0: none yet), so that an edited entry keeps its history.
struct TEditorRow {
  TActionEntry Entry;
  int Origin = -1;
  bool LastDateChanged = false;
  std::int64_t JournalId = 0;
};

// What the tray hands to the editor and what it gives back after OK.
struct TEditorSession {
  std::vector<TActionEntry> Copies;
  std::uint64_t IntervalMs = 0;
  // The configuration file; the editor's load and save-as buttons change it.
  QString ConfigFileName;
  // Whether another scheduler runs a file: the editor saves nothing there, since that one
  // would save over it when it ends.
  std::function<bool(const QString &file)> RunByAnother;
  // Filled by the editor when it ends with OK.
  std::vector<TEditorRow> Rows;
  // The open editor window while it runs (to bring it to the front).
  QPointer<QWidget> Form;

  // The run journal, for each row's last result and the history window; nullptr without.
  const TRunJournal *Journal = nullptr;
  // Each copy's entry in the journal, parallel to Copies (0: none yet).
  std::vector<std::int64_t> JournalIds;
  // "Jetzt ausführen" through the scheduler's dispatcher.
  std::function<TManualRun(const TActionEntry &entry, std::int64_t journalId, int number)> RunNow;
};
