// The internal commands (COPY, MOVE, LZHCOPY, DELETE, RENAME, MKDIR, EXEC): their argument
// splitting and their file work. The scheduler runs them through RunCommand and tells the
// user what fails.
#pragma once

#include <QString>
#include <functional>

// The three pieces of a command's argument part.
struct TCommandArguments {
  QString First, Second, Remainder;
};

// Splits an argument part into first, second and remainder: blanks separate, a double
// quote groups a token up to the next quote (the quotes are dropped; inside, a backslash
// before a quote escapes it as on a command line); the remainder is the rest as written.
TCommandArguments SplitArguments(const QString &text);

// The command word (upper case) and the argument part of an expanded command text.
struct TCommandText {
  QString Word, Arguments;
};
TCommandText SplitCommandWord(const QString &text);

// What a command needs of whoever runs it.
struct TCommandHost {
  // Tells the user that one file could not be copied or moved (a message, the run goes on).
  std::function<void(const QString &message)> ReportFailure;
  // Starts a program for EXEC; folder (may be empty) becomes its working folder.
  std::function<void(const QString &folder, const QString &commandLine)> LaunchProgram;
};

// Carries out an expanded command text without its leading percent sign. An unknown command
// word does nothing. Raises EInOutError when LZHCOPY fails.
void RunCommand(const QString &text, const TCommandHost &host);
