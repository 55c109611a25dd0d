// What the tray host hands to the editor window and what it takes back after OK. Kept apart
// from both so that neither window's header needs the other's.
#pragma once

#include "base/ActionEntry.h"
#include "core/EditorSession.h"
#include "core/Scheduler.h"

#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>

// The scheduler's copies for the editor (core/EditorSession.h), with what the window needs
// besides: the journal to show, "Jetzt ausführen" and the open window itself.
struct TEditorSession : TListEditSession {
  // Whether another scheduler runs a file: the editor saves nothing there, since that one
  // would save over it when it ends.
  std::function<bool(const QString &file)> RunByAnother;
  // The open editor window while it runs (to bring it to the front).
  QPointer<QWidget> Form;
  // The run journal, for each row's last result and the history window; nullptr without.
  const TRunJournal *Journal = nullptr;
  // "Jetzt ausführen" through the scheduler's dispatcher.
  std::function<TManualRun(const TActionEntry &entry, std::int64_t journalId, int number)> RunNow;
  // "Verlauf" was opened from the editor: what failed is in view (the tray's mark goes).
  std::function<void()> HistoryShown;
  // Rows already holds a session kept when the program last ended: the window starts from
  // those rows, as changes not yet saved, instead of from Copies.
  bool Restored = false;
  // While the window runs: puts its rows, interval and chosen file into session and returns
  // true when it holds changes not yet taken with OK.
  std::function<bool(TListEditSession &session)> Unsaved;
};
