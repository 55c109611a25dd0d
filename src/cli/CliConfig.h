// How kronolab-cli's read-only subcommands find and load the configuration they work on.
#pragma once

#include "core/MessageSink.h"

#include <QString>
#include <QTextStream>
#include <optional>

class TScheduler;

// Tells the engine's messages on stderr, beside the command's own output, as "command: header"
// and the message's lines.
class TCliErrSink : public TMessageSink {
public:
  TCliErrSink(const QString &command, QTextStream &err) : FCommand(command), FErr(err) {}
  void Show(const QString &caption, const QString &header, const QString &message) override;

private:
  QString FCommand;
  QTextStream &FErr;
};

// The configuration file named by given (relative to the current folder), or the tray
// program's when given is empty; nullopt after telling err why not. A named file must exist
// unless mayBeNew.
std::optional<QString> CliConfigFileName(const QString &command, const QString &given,
                                         bool mayBeNew, QTextStream &err);

// Loads the configuration named by given (relative to the current folder), or the one the
// tray program would use when given is empty, exactly as start-up loads it. A named file
// that does not exist is an error here (the tray program would load it as empty); errors
// go to err as one line "command: message" (the message names the file), and so do the
// values the load could not take. True when loaded.
bool LoadCliConfiguration(const QString &command, const QString &given, TScheduler &scheduler,
                          QTextStream &err);
