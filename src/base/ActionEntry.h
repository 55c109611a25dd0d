// One scheduled action (TActionEntry), its time-point kinds, and the small time-text
// functions that the scheduler, the configuration files and the editor share.
#pragma once

#include "base/DateTime.h"

#include <QString>
#include <cstdint>

// The time-point kind of an entry. Held in one byte: a hand-edited file may give any value
// 0 to 255, and a value above tpYearly is kept but never due.
enum TTimePoint : std::uint8_t {
  tpFrequency = 0,
  tpOnce = 1,
  tpDaily = 2,
  tpWeekly = 3,
  tpMonthly = 4,
  tpYearly = 5,
};

// What the scheduler does when a program action falls due while its last call still runs.
enum TIfRunning : std::uint8_t { irParallel = 0, irSkip = 1, irAfter = 2 };

// A weekday mask with every day set: bit 0 = Monday ... bit 6 = Sunday.
constexpr std::uint8_t AllWeekdays = 0x7F;

// Longest action text, in characters.
constexpr int MaxActionLength = 255;

// Cuts a text to at most MaxActionLength characters without splitting a surrogate pair.
QString CutActionText(const QString &text);

// The action text of an entry: every assignment cuts the text to MaxActionLength
// characters, so no entry ever holds a longer one.
class TActionText {
public:
  TActionText() = default;
  TActionText(const QString &text) : FText(CutActionText(text)) {} // NOLINT: implicit on purpose
  TActionText &operator=(const QString &text) {
    FText = CutActionText(text);
    return *this;
  }
  operator const QString &() const { return FText; } // NOLINT: reads like the text it holds
  const QString &Text() const { return FText; }
  bool IsEmpty() const { return FText.isEmpty(); }
  bool operator==(const TActionText &other) const = default;

private:
  QString FText;
};

// One scheduled action; a value type, copied whole (into the editor, into CurrentAction).
struct TActionEntry {
  TTimePoint TimePoint = tpFrequency;
  bool SuddenStart = false; // due once whenever the entry enters the action list
  bool AllCalls = false;    // tpFrequency only: make up every missed call, not just the latest
  double Freq = 0;          // tpFrequency only: interval as a fraction of a day; 0 = never due
  TDateTime FirstDate = 0;  // moment (tpOnce), grid start (tpFrequency), else time of day etc.
  TDateTime LastDate = 0;   // due point of the last recorded call plus RunMark
  TActionText Action;       // what is to be done, at most MaxActionLength characters
  bool DueFlag = false;     // run time only: dispatch this entry in the current tick
  // Run time only: the instant (UTC ms) of the tick that recorded the last call, which tells
  // the two occurrences of a repeated wall-clock time apart; 0 when unknown.
  std::int64_t LastCallUtcMs = 0;

  // Run control. Each is written to the file only when it differs from its default, so a
  // file of an older version loads and saves unchanged.
  bool Active = true;                  // off: never due; file key Active=0
  std::uint8_t Weekdays = AllWeekdays; // tpDaily only; file key Weekdays=Mo,Di,Mi,Do,Fr
  std::int64_t LateLimitMs = 0;        // 0 = no limit; file key LateLimit=hh:mm:ss
  TIfRunning IfRunning = irParallel;   // file key IfRunning=skip|after
  std::int64_t TimeLimitMs = 0;        // 0 = none; file key TimeLimit=hh:mm:ss
  TDateTime StartFrom = 0;             // no call for due points before this moment; 0 = no bound;
                                       // file key StartFrom=<days since 1899-12-30, like FirstDate>

  bool operator==(const TActionEntry &other) const = default;
};

// A fresh entry as the editor creates it: LastDate lies 0.1 day before FirstDate, so a
// tpOnce entry still runs at its FirstDate.
TActionEntry NewActionEntry(TTimePoint kind, TDateTime firstDate, const QString &action);
// True when entry's LastDate records no call: it still holds a value that only creating or
// loading an entry gives (none, FirstDate, FirstDate - 0.1 day), or, for the kinds whose due
// points never lie before FirstDate (tpFrequency, tpOnce), lies before its first point.
bool NeverRun(const TActionEntry &entry);

// n in decimal, with one "0" in front when it is below 10 (7 -> "07", 123 -> "123").
QString TwoDigits(int n);
// Milliseconds as "hh:mm:ss"; hours are not reduced modulo 24, milliseconds dropped.
QString MsToTimeText(std::int64_t ms);
// An "hh:mm:ss" text as milliseconds; blanks read as "0", no ":" gives 0, fields are not
// range-checked. Raises EConvertError when a field is not a number.
std::int64_t TimeTextToMs(const QString &text);
// The editor's display text of a time point (the empty text for an unknown kind); a daily
// entry on some weekdays only names them ("Täglich Mo–Fr").
QString TimePointText(TTimePoint kind, TDateTime date, std::uint8_t weekdays = AllWeekdays);

// The weekday bit of a date (bit 0 = Monday ... bit 6 = Sunday).
std::uint8_t WeekdayBit(TDateTime date);
// A weekday mask as the file holds it: German two-letter names from Monday on, separated by
// commas without blanks ("Mo,Di,Mi,Do,Fr"); the empty text for no day.
QString WeekdaysText(std::uint8_t mask);
// A weekday list as a user or a file writes it: two-letter German names in any case, separated
// by commas and/or blanks, and ranges "Mo-Fr" or "Mo–Fr" (a range may wrap past Sunday).
// ok is false, and 0 returned, for anything else or for no day at all.
std::uint8_t ParseWeekdays(const QString &text, bool *ok);
// A weekday mask for people: runs of two or more days as ranges ("Mo–Fr", "Sa–So"), the rest
// listed ("Mo, Mi, Fr"); the empty text for no day.
QString WeekdaysDisplayText(std::uint8_t mask);

// The longest duration the run-control fields take, 99999:59:59.
constexpr std::int64_t MaxDurationMs = 99999 * 3600000LL + 59 * 60000 + 59 * 1000;
// A strict "hh:mm:ss" (or "hh:mm") duration: hours 0 to 99999, minutes and seconds 0 to 59,
// digits only. ok is false, and 0 returned, for anything else.
std::int64_t ParseDurationText(const QString &text, bool *ok);

// The file's word for a still-running rule: "parallel", "skip" or "after".
QString IfRunningText(TIfRunning value);
// The still-running rule of a word of IfRunningText, in any case; ok false for another word.
TIfRunning ParseIfRunning(const QString &text, bool *ok);
