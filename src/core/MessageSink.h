// Where the engine's messages go: the tray program's message window, the command-line
// tool's standard output, or a test's recorder.
#pragma once

#include "base/DateTime.h"

#include <QString>
#include <cstdint>

// How long the user puts a message off ("Später erinnern").
enum class TSnoozeDelay { Minutes5, Minutes15, Hour1, Tomorrow };
// The wall-clock moment a message put off at now comes back; "Tomorrow" is the same time of
// day on the next day.
TDateTime SnoozeMoment(TSnoozeDelay delay, TDateTime now);

// Receives every message and error the engine has to tell the user.
class TMessageSink {
public:
  virtual ~TMessageSink() = default;
  // Shows message under an optional header line, in a window captioned caption.
  virtual void Show(const QString &caption, const QString &header, const QString &message) = 0;
  // A call failed (could not start, ended with a status other than 0 or by a signal):
  // entryNumber is its place in the list when called (0: unknown), action its stored text,
  // result the German result as "Verlauf" shows it, callId its record in the journal (0: none).
  // Comes after any message the failure showed. A sink that keeps no account ignores it.
  virtual void CallFailed(int entryNumber, const QString &action, const QString &result,
                          std::int64_t callId) {
    (void)entryNumber, (void)action, (void)result, (void)callId;
  }
};
