// The values the run journal holds and hands over: a call's state and record, a history's
// filter, a call's result, the calls of a tick and an entry's baseline.
#pragma once

#include "base/DateTime.h"

#include <QByteArray>
#include <QString>
#include <cstdint>

// What became of a call. The numbers are stored in the journal and never change meaning.
enum class TCallState : int {
  Recorded = 0,   // committed by the due check, not yet begun
  NotStarted = 1, // never begun: the scheduler ended first, or an error ended the tick
  Begun = 2,      // being carried out
  Done = 3,       // message shown, internal command done, or nothing to do
  Failed = 4,     // could not be carried out (Detail says why)
  Running = 5,    // program started (ProcessId), its end not yet seen
  Exited = 6,     // program ended with exit status Code
  Signaled = 7,   // program ended by signal Code
  Unknown = 8,    // the scheduler ended while carrying it out, or before the program ended
};

// One call as the journal holds it.
struct TCallRecord {
  std::int64_t Id = 0;
  std::int64_t EntryId = 0;
  // The entry's number in the action list when it was called (1 = first).
  int EntryNumber = 0;
  // The stored action text, before placeholder expansion.
  QString Action;
  // The expanded text that was carried out (empty until begun).
  QString Command;
  // Carried out at the user's request ("Jetzt ausführen"), outside the schedule.
  bool Manual = false;
  TDateTime Due = 0;            // the call's own due point; 0 for a manual call
  TDateTime Started = 0;        // when it was carried out; 0 when it never was
  std::int64_t DurationMs = -1; // -1 while unknown
  TCallState State = TCallState::Recorded;
  std::int64_t ProcessId = 0;
  int Code = 0; // exit status or signal number
  QString Detail;
  bool Failed = false;
};

// The text "Verlauf" shows for a program stopped at its time limit.
inline QString TimeLimitText() {
  return QStringLiteral("Abgebrochen: Zeitlimit");
}
// The text of a call not started because the entry's previous program still ran.
inline QString StillRunningText() {
  return QStringLiteral("Übersprungen: läuft noch");
}

// What a program wrote: the tails of its standard output and error.
struct TCallOutput {
  QByteArray Output;
  QByteArray Errors;
};

// A message the user put off ("Später erinnern"), to be shown again at Due.
struct TSnooze {
  std::int64_t Id = 0; // the journal's; 0 when not kept there
  TDateTime Made = 0;
  TDateTime Due = 0;
  QString Caption;
  QString Header;
  QString Message;
};

// Which calls a history shows: all, one entry's, failures only.
struct TCallFilter {
  std::int64_t EntryId = 0; // 0: every entry
  bool FailedOnly = false;
};

// What carrying out a call gave, as the dispatcher hands it to the journal.
struct TCallResult {
  TCallState State = TCallState::Done;
  std::int64_t ProcessId = 0;
  int Code = 0;
  QString Detail;
  std::int64_t DurationMs = -1;
};

// One call the due check has put into DueList.
struct TDueCall {
  QString Key; // the entry's identity (EntryKeys)
  QString Action;
  int EntryNumber = 0;
  TDateTime Due = 0;
};

// What the journal should start an entry from after the user has set the list.
struct TBaselineEntry {
  QString Key;
  QString Action;
  TDateTime LastDate = 0;
  // The journal's entry it was edited from, so that its history stays with it; 0 for none.
  std::int64_t EntryId = 0;
};
