// What the tray host hands to the editor window and what it takes back after OK. Kept apart
// from both so that neither window's header needs the other's.
#pragma once

#include "base/ActionEntry.h"

#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <vector>

// One row the editor gives back: the entry, the copy it started from (an index into the
// copies it was given, -1 for a new row) and whether the user set its last run himself.
struct TEditorRow {
  TActionEntry Entry;
  int Origin = -1;
  bool LastDateChanged = false;
};

// What the tray hands to the editor and what it gives back after OK.
struct TEditorSession {
  std::vector<TActionEntry> Copies;
  std::uint64_t IntervalMs = 0;
  // The configuration file; the editor's load and save-as buttons change it.
  QString ConfigFileName;
  // Filled by the editor when it ends with OK.
  std::vector<TEditorRow> Rows;
  // The open editor window while it runs (to bring it to the front).
  QPointer<QWidget> Form;
};
