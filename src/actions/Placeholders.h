// Placeholder expansion of action texts (dates, times, the temporary folder, random-file
// tokens and the percent rule) and the file arguments of the internal commands.
#pragma once

#include "base/DateTime.h"
#include "platform/Platform.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

// Draws an index from 0 to count - 1 for a random file choice (count >= 1).
using TRandomIndex = std::function<int(int count)>;
// The generator every random choice uses; a uniform system generator unless a test sets a
// seeded one.
TRandomIndex &RandomIndexSource();

// How a file name chosen at random enters an action text: as it is (a message shows it), or
// as one word of a command line, quoted when it holds blanks or quotes, so that a program or
// an internal command gets it as exactly one argument whatever the name holds.
enum class TChosenName { AsText, AsWord };
// The form a stored action text needs: AsText for a message (it begins with a double quote or
// an apostrophe), AsWord for a program call or an internal command.
TChosenName ChosenNameForm(const QString &storedAction);

// One flag per character of an expanded action text: true where the character belongs to a
// name chosen at random, so that the internal commands can take that name as exactly one file.
using TChosenMask = QList<bool>;

// Replaces every occurrence of placeholder in text, in any case, by value.
void ReplacePlaceholder(QString &text, const QString &placeholder, const QString &value);
// Replaces every "%RANDFILE<pattern>%" token by one file chosen at random among the
// pattern's matches (the pattern itself when nothing matches); an empty pattern vanishes.
// A percent sign in the chosen name is doubled, so that it survives ResolvePercentSigns.
// platform (here and below) is where folders are searched and the temporary folder asked.
void ExpandRandomFileTokens(QString &text, TChosenName form = TChosenName::AsText,
                            TPlatform &platform = SystemPlatform());
// Resolves percent signs: "%%" becomes "%", every other "%" is removed.
QString ResolvePercentSigns(const QString &text);
// Expands the date and time placeholders from the one moment now, then the temporary
// folder, then the random-file tokens, then resolves the percent signs. The values put in
// (the temporary folder, chosen names) keep their own percent signs. chosen, when given,
// receives which characters of the result came from a random choice.
void ExpandPlaceholders(QString &text, TDateTime now, TChosenName form = TChosenName::AsText,
                        TChosenMask *chosen = nullptr, TPlatform &platform = SystemPlatform());

// The files a file argument names: a plain name gives itself; a pattern with '*' or '?'
// gives every match (folder part in front), or itself when nothing matches; a pattern
// after RandomChoicePrefix gives one random match and argument becomes that name. A bare
// pattern searches the current folder and gives bare names.
QStringList ExpandFileArgument(QString &argument, TPlatform &platform = SystemPlatform());
