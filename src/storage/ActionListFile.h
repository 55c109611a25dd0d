// The fields of one action section, read the one way the tray's configuration and the
// editor's action-list files share, and the editor's own load and save of a whole list.
#pragma once

#include "base/ActionEntry.h"
#include "storage/FileReports.h"
#include "storage/XIniFile.h"

#include <QString>
#include <cstdint>
#include <vector>

// The INI engine on a schedule file, the configuration or an action list. A file that holds
// text but neither [General] nor an [ActionN] section belongs to another program (every file
// we ever wrote has [General]); saving over it would lose all its lines before the first
// header, so it is refused like a file we cannot read: construction raises EInOutError and
// no flush writes it. An empty file, or one of blanks and comments only, is an empty list.
class TScheduleIniFile : public TXIniFile {
public:
  explicit TScheduleIniFile(const QString &fileName);
};

// The section name of entry n (1-based): "Action" + n.
QString ActionSection(int n);

// The numbers n from 1 to count for which the file holds a section "Action" + n, ascending.
// A missing section holds nothing but defaults; going by the sections present keeps a
// hand-edited Count of millions from meaning millions of lookups (or of empty entries).
std::vector<int> ActionSectionNumbers(TXIniFile &ini, int count);

// Reads one entry from section "Action" + n: every field, the older key "Date" standing in
// for a missing FirstDate, LastDate defaulting to FirstDate. Nothing is discarded here, but a
// value no entry may hold is replaced and recorded in problems (Number and Action filled in
// as well): FirstDate, Date or LastDate outside the years 1 to 9999 (LastDate, a due point
// plus the run mark, may lie that mark beyond) or not representable read as missing; a Freq
// outside 1 ms to 9999 years (0 excepted, "never by time") reads as 0. The run-control keys
// (Active, Weekdays, LateLimit, IfRunning, TimeLimit, StartFrom) keep their defaults when
// absent or not of their kind, the latter recorded as well.
TActionEntry ReadActionEntry(TXIniFile &ini, int n, TEntryProblems &problems);

// The longest tick interval: the most the editor's field "hh:mm:ss" can show, 99:59:59.
constexpr std::int64_t MaxIntervalMs = 99 * 3600000LL + 59 * 60000 + 59 * 1000;
// The interval of [General] in milliseconds: 1000 when missing or malformed, and 1000 with a
// problem recorded in report when it lies outside 0 to MaxIntervalMs.
std::int64_t ReadInterval(TXIniFile &ini, TLoadReport &report);

// The order in which a new section's keys are written: the tray's configuration and the
// editor's action-list files have each kept their own since their first versions.
enum class TSectionKeyOrder { Configuration, ActionList };

// Writes every field of entry into section; keys the section lacks are added in order. The
// run-control keys follow Action and are there only while they differ from their defaults.
void WriteActionEntry(TXIniFile &ini, const QString &section, const TActionEntry &entry,
                      TSectionKeyOrder order);

// What an action-list file holds for the editor.
struct TActionListContents {
  std::int64_t IntervalMs = 1000;
  // Every entry 1..Count whose section exists, none discarded (an empty action or a
  // FirstDate of 0 included).
  std::vector<TActionEntry> Entries;
  // The values that could not be taken; the editor tells the user.
  TLoadReport Report;
};

// Loads an action-list file for the editor; a missing file reads as empty. Raises
// EInOutError when the file exists but cannot be read or is not used (see TBigIniFile's
// LoadFromFile).
TActionListContents ReadActionListFile(const QString &fileName);

// Writes interval, count and the entries in the editor's key order into fileName, keeping
// what else the file holds ("Logging", "NoShiftReaction", other sections). Raises
// EInOutError naming the file when it cannot be written; the old file then stays as it was.
void WriteActionListFile(const QString &fileName, std::int64_t intervalMs,
                         const std::vector<TActionEntry> &entries);
