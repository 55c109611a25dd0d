// How kronolab-cli's list commands reach the configuration: handed to the scheduler that runs
// it (tray program or run), or applied to the file under its lock; never two writers.
#pragma once

#include "core/ListCommands.h"

#include <QString>
#include <QTextStream>

// Applies command to the configuration named by given (empty: the tray program's): hands it
// to the scheduler running that configuration, or, when none does, takes the lock and
// changes the file itself. Problems go to err as one line "command: ..."; the exit status is
// returned (0 done, 2 no entry of that number, 1 anything else) and result holds the outcome.
int DeliverListCommand(const QString &commandName, const QString &given,
                       const TListCommand &command, QTextStream &err, TListCommandResult &result);
