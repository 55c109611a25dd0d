// How kronolab-cli's read-only subcommands find and load the configuration they work on.
#pragma once

#include <QString>
#include <QTextStream>

class TScheduler;

// Loads the configuration named by given (relative to the current folder), or the one the
// tray program would use when given is empty, exactly as start-up loads it. A named file
// that does not exist is an error here (the tray program would load it as empty); errors
// go to err as one line "command: message" (the message names the file), and so do the
// values the load could not take. True when loaded.
bool LoadCliConfiguration(const QString &command, const QString &given, TScheduler &scheduler,
                          QTextStream &err);
