// The changes to the action list that kronolab-cli makes from a terminal (add, remove, enable,
// disable, run-now), as one line each way over the instance's channel: a scheduler that runs
// the configuration applies them itself, so that the file has one writer.
#pragma once

#include "base/ActionEntry.h"

#include <QByteArray>
#include <QString>
#include <optional>

// One change to the action list.
struct TListCommand {
  enum TKind { Add, Remove, Enable, Disable, RunNow };
  TKind Kind = Add;
  int Number = 0;     // the entry's number, 1-based (not for Add)
  TActionEntry Entry; // the new entry (Add only); StartFrom is set where it is applied
};

// What applying a command gave.
struct TListCommandResult {
  bool Ok = false;
  int Number = 0;         // the entry's number; for Add the new one
  QString Error;          // German, one line, when not Ok
  bool BadNumber = false; // not Ok because no entry has that number
};

// The command as one request line for the instance's channel.
QByteArray ListCommandRequest(const TListCommand &command);
// The command of a request line; empty for a line that is none (another request).
std::optional<TListCommand> ParseListCommandRequest(const QByteArray &line);
// The result as one answer line, and back; an answer that is none reads as empty.
QByteArray ListCommandAnswer(const TListCommandResult &result);
std::optional<TListCommandResult> ParseListCommandAnswer(const QByteArray &line);
