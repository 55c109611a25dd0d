// The argument splitting of the internal commands (COPY, MOVE, LZHCOPY, DELETE, RENAME,
// MKDIR, EXEC); TScheduler::RunInternalCommand carries them out.
#pragma once

#include <QString>

// The three pieces of a command's argument part.
struct TCommandArguments {
  QString First, Second, Remainder;
};

// Splits an argument part into first, second and remainder: blanks separate, a double
// quote groups a token up to the next quote (the quotes are dropped); the remainder is the
// rest as written.
TCommandArguments SplitArguments(const QString &text);

// The command word (upper case) and the argument part of an expanded command text.
struct TCommandText {
  QString Word, Arguments;
};
TCommandText SplitCommandWord(const QString &text);
