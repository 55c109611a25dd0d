// What the scheduler hands to an editor of its action list and takes back after OK, without
// any window: the tray's editor and tests fill the same structs.
#pragma once

#include "base/ActionEntry.h"

#include <QString>
#include <cstdint>
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

// The copies of the action list an editor works on, and what it gives back with OK.
struct TListEditSession {
  std::vector<TActionEntry> Copies;
  // Each copy's entry in the journal, parallel to Copies (0: none yet).
  std::vector<std::int64_t> JournalIds;
  // The interval the editor shows; after OK, the one it gives back (0 is refused).
  std::uint64_t IntervalMs = 0;
  // The configuration file; the editor's load and save-as buttons change it.
  QString ConfigFileName;
  // Which action list the copies came from, so that only runs recorded in that very list
  // are carried over to the rows.
  std::uint64_t ListGeneration = 0;
  // Filled by the editor when it ends with OK.
  std::vector<TEditorRow> Rows;
};

// Whether the editor changed what decides when an entry is due: its kind, date, time,
// frequency or weekdays, or switched it on. Such an entry starts from the moment it is taken:
// no call for the due points before it.
bool TimeRuleChanged(const TActionEntry &before, const TActionEntry &after);

// What taking the editor's OK did, for the window to show.
struct TEditorOutcome {
  // The interval given was 0 and is one minute now.
  bool IntervalCorrected = false;
  // Why the configuration stayed where it was although the editor chose another file
  // (already told through the sink); empty when it followed.
  QString ConfigRefused;
  // The list was saved into the configuration (a failure was reported through the sink).
  bool Saved = false;
};

// The editor's "Aktiv" switch on one entry. Switching an entry on starts it from now, so that
// the due points of the time it was off are not made up. Returns whether the entry changed.
bool SetEntryActive(TActionEntry &entry, bool active, TDateTime now);
