// Where the engine's messages go: the tray program's message window, the command-line
// tool's standard output, or a test's recorder.
#pragma once

#include "base/DateTime.h"

#include <QString>

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
};
