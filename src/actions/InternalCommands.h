// The internal commands (COPY, MOVE, LZHCOPY, DELETE, RENAME, MKDIR, EXEC): their argument
// splitting and their file work. The scheduler runs them through RunCommand and tells the
// user what fails.
#pragma once

#include "platform/Platform.h"

#include <QList>
#include <QString>
#include <functional>

// The three pieces of a command's argument part.
struct TCommandArguments {
  QString First, Second, Remainder;
  // Whether the first or second token holds a name chosen at random: such a token names
  // exactly that one file, never a pattern or another random choice.
  bool FirstChosen = false, SecondChosen = false;
};

// Splits an argument part into first, second and remainder: blanks separate, a double
// quote groups a token up to the next quote (the quotes are dropped; inside, a backslash
// before a quote escapes it as on a command line); the remainder is the rest as written.
// chosen marks the characters of text that came from a random choice (may be empty).
TCommandArguments SplitArguments(const QString &text, const QList<bool> &chosen = {});

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
  // Where the files are searched, copied, moved and deleted; not owned.
  TPlatform *Platform = &SystemPlatform();
};

// Carries out an expanded command text without its leading percent sign; chosen marks its
// characters that came from a random choice (as ExpandPlaceholders gives them; may be
// empty). An unknown command word does nothing. Raises EInOutError when LZHCOPY fails.
void RunCommand(const QString &text, const TCommandHost &host, const QList<bool> &chosen = {});
