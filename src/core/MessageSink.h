// Where the engine's messages go: the tray program's message window, the command-line
// tool's standard output, or a test's recorder.
#pragma once

#include <QString>

// Receives every message and error the engine has to tell the user.
class TMessageSink {
public:
  virtual ~TMessageSink() = default;
  // Shows message under an optional header line, in a window captioned caption.
  virtual void Show(const QString &caption, const QString &header, const QString &message) = 0;
};
