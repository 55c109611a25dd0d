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
// The editor's display text of a time point (the empty text for an unknown kind).
QString TimePointText(TTimePoint kind, TDateTime date);
