// Placeholder expansion of action texts (dates, times, the temporary folder, random-file
// tokens and the percent rule) and the file arguments of the internal commands.
#pragma once

#include "base/DateTime.h"

#include <QString>
#include <QStringList>
#include <functional>

// Draws an index from 0 to count - 1 for a random file choice (count >= 1).
using TRandomIndex = std::function<int(int count)>;
// The generator every random choice uses; a uniform system generator unless a test sets a
// seeded one.
TRandomIndex &RandomIndexSource();

// Replaces every occurrence of placeholder in text, in any case, by value.
void ReplacePlaceholder(QString &text, const QString &placeholder, const QString &value);
// Replaces every "%RANDFILE<pattern>%" token by one file chosen at random among the
// pattern's matches (the pattern itself when nothing matches); an empty pattern vanishes.
void ExpandRandomFileTokens(QString &text);
// Resolves percent signs: "%%" becomes "%", every other "%" is removed.
QString ResolvePercentSigns(const QString &text);
// Expands the date and time placeholders from the one moment now, then the temporary
// folder, then the random-file tokens, then resolves the percent signs.
void ExpandPlaceholders(QString &text, TDateTime now);

// The files a file argument names: a plain name gives itself; a pattern with '*' or '?'
// gives every match (folder part in front), or itself when nothing matches; a pattern
// after RandomChoicePrefix gives one random match and argument becomes that name. A bare
// pattern searches the current folder and gives bare names.
QStringList ExpandFileArgument(QString &argument);
