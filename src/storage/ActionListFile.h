// The fields of one action section, read the one way the tray's configuration and the
// editor's action-list files share, and the editor's own load and save of a whole list.
#pragma once

#include "base/ActionEntry.h"

#include <QString>
#include <cstdint>
#include <vector>

class TXIniFile;

// The section name of entry n (1-based): "Action" + n.
QString ActionSection(int n);

// The numbers n from 1 to count for which the file holds a section "Action" + n, ascending.
// A missing section holds nothing but defaults; going by the sections present keeps a
// hand-edited Count of millions from meaning millions of lookups (or of empty entries).
std::vector<int> ActionSectionNumbers(TXIniFile &ini, int count);

// Reads one entry from section: every field, the older key "Date" standing in for a missing
// FirstDate, LastDate defaulting to FirstDate. Nothing is discarded here.
TActionEntry ReadActionEntry(TXIniFile &ini, const QString &section);

// The order in which a new section's keys are written: the tray's configuration and the
// editor's action-list files have each kept their own since their first versions.
enum class TSectionKeyOrder { Configuration, ActionList };

// Writes every field of entry into section; keys the section lacks are added in order.
void WriteActionEntry(TXIniFile &ini, const QString &section, const TActionEntry &entry,
                      TSectionKeyOrder order);

// What an action-list file holds for the editor.
struct TActionListContents {
  std::int64_t IntervalMs = 1000;
  // Every entry 1..Count whose section exists, none discarded (an empty action or a
  // FirstDate of 0 included).
  std::vector<TActionEntry> Entries;
};

// Loads an action-list file for the editor; a missing file reads as empty. Raises
// EInOutError when the file exists but cannot be read.
TActionListContents ReadActionListFile(const QString &fileName);

// Writes interval, count and the entries in the editor's key order into fileName, keeping
// what else the file holds ("Logging", "NoShiftReaction", other sections). Raises
// EInOutError naming the file when it cannot be written; the old file then stays as it was.
void WriteActionListFile(const QString &fileName, std::int64_t intervalMs,
                         const std::vector<TActionEntry> &entries);
