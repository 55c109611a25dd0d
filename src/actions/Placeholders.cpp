#include "actions/Placeholders.h"

#include "actions/CommandLineRules.h"
#include "base/ActionEntry.h"
#include "platform/PathSyntax.h"

#include <QRandomGenerator>

TRandomIndex &RandomIndexSource() {
  static TRandomIndex source = [](int count) {
    return static_cast<int>(QRandomGenerator::global()->bounded(count));
  };
  return source;
}

void ReplacePlaceholder(QString &text, const QString &placeholder, const QString &value) {
  if (placeholder.isEmpty())
    return;
  // The search goes on after the inserted value, so a value that happens to contain the
  // placeholder (a temporary folder named so) cannot make the replacement run forever.
  qsizetype from = 0;
  for (;;) {
    qsizetype at = text.indexOf(placeholder, from, Qt::CaseInsensitive);
    if (at < 0)
      return;
    text.replace(at, placeholder.size(), value);
    from = at + value.size();
  }
}

namespace {

// Replaces the random-file tokens; a percent sign of the pattern is written percentSign in
// text (the stand-in the caller put there), and so is one of the chosen name. mask follows
// text character for character and marks the inserted names.
void ExpandTokens(QString &text, TChosenName form, const QString &percentSign, TChosenMask &mask,
                  TPlatform &platform) {
  static const QString token = QStringLiteral("%RANDFILE");
  qsizetype from = 0;
  for (;;) {
    qsizetype p = text.indexOf(token, from, Qt::CaseInsensitive);
    if (p < 0)
      return;
    text.remove(p, token.size());
    mask.remove(p, token.size());
    qsizetype close = text.indexOf(u'%', p);
    qsizetype end = close < 0 ? text.size() : close;
    QString pattern = text.mid(p, end - p);
    qsizetype tokenLength = end - p + (close < 0 ? 0 : 1);
    mask.remove(p, tokenLength);
    if (pattern.isEmpty()) {
      text.remove(p, tokenLength);
      from = p;
      continue;
    }
    pattern.replace(percentSign, QStringLiteral("%"));
    if (!pattern.startsWith(RandomChoicePrefix))
      pattern.prepend(RandomChoicePrefix);
    ExpandFileArgument(pattern, platform);
    QString chosen = form == TChosenName::AsWord ? QuoteCommandWord(pattern) : pattern;
    // A percent sign in the chosen name must survive the percent rule that follows.
    chosen.replace(QStringLiteral("%"), percentSign);
    text.replace(p, tokenLength, chosen);
    mask.insert(p, chosen.size(), true);
    // Go on after the inserted name: a file name holding "%RANDFILE" is not a new token.
    from = p + chosen.size();
  }
}

// The percent rule; mask, when given, follows the text through it.
QString ResolveMaskedPercentSigns(const QString &text, TChosenMask *mask) {
  QString result;
  result.reserve(text.size());
  TChosenMask kept;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] != u'%') {
      result.append(text[i]);
    } else if (i + 1 < text.size() && text[i + 1] == u'%') {
      result.append(u'%');
      ++i;
    } else {
      continue;
    }
    if (mask)
      kept.append(mask->value(i));
  }
  if (mask)
    *mask = kept;
  return result;
}

} // namespace

TChosenName ChosenNameForm(const QString &storedAction) {
  return storedAction.startsWith(u'"') || storedAction.startsWith(u'\'') ? TChosenName::AsText
                                                                         : TChosenName::AsWord;
}

void ExpandRandomFileTokens(QString &text, TChosenName form, TPlatform &platform) {
  TChosenMask mask(text.size(), false);
  ExpandTokens(text, form, QStringLiteral("%%"), mask, platform);
}

QString ResolvePercentSigns(const QString &text) {
  return ResolveMaskedPercentSigns(text, nullptr);
}

void ExpandPlaceholders(QString &text, TDateTime now, TChosenName form, TChosenMask *chosen,
                        TPlatform &platform) {
  const TDateParts date = DecodeDate(now);
  const TTimeParts time = DecodeTime(now);
  const QString yyyy = QStringLiteral("%1").arg(date.Year, 4, 10, QLatin1Char('0'));
  const QString mm = TwoDigits(date.Month), dd = TwoDigits(date.Day);
  const QString hh = TwoDigits(time.Hour), nn = TwoDigits(time.Minute), ss = TwoDigits(time.Second);
  ReplacePlaceholder(text, QStringLiteral("%TIMESTAMP%"), yyyy + mm + dd + hh + nn + ss);
  ReplacePlaceholder(text, QStringLiteral("%FULLDAY%"), yyyy + mm + dd);
  ReplacePlaceholder(text, QStringLiteral("%DAY%"), dd);
  ReplacePlaceholder(text, QStringLiteral("%MONTH%"), mm);
  ReplacePlaceholder(text, QStringLiteral("%YEAR%"), yyyy);
  ReplacePlaceholder(text, QStringLiteral("%WEEKDAY%"), QString::number(DayOfWeek(now)));
  ReplacePlaceholder(text, QStringLiteral("%HOUR%"), hh);
  ReplacePlaceholder(text, QStringLiteral("%MINUTE%"), nn);
  ReplacePlaceholder(text, QStringLiteral("%SECOND%"), ss);
  ReplacePlaceholder(text, QStringLiteral("%FULLTIME%"), hh + nn + ss);
  // The percent signs of inserted values are held as a stand-in character until the percent
  // rule is done, so that neither that rule nor the end of a random-file pattern takes them
  // for the action's own: a character of the private use area that the texts do not hold.
  QString temp = platform.TempFolder();
  QChar standIn(0xE000);
  while (text.contains(standIn) || temp.contains(standIn))
    standIn = QChar(standIn.unicode() + 1);
  temp.replace(u'%', standIn);
  ReplacePlaceholder(text, QStringLiteral("%TEMP%"), temp);
  TChosenMask mask(text.size(), false);
  ExpandTokens(text, form, QString(standIn), mask, platform);
  text = ResolveMaskedPercentSigns(text, &mask);
  text.replace(standIn, u'%');
  if (chosen)
    *chosen = mask;
}

QStringList ExpandFileArgument(QString &argument, TPlatform &platform) {
  const bool random = argument.startsWith(RandomChoicePrefix);
  if (!random && !argument.contains(u'*') && !argument.contains(u'?'))
    return {argument};
  if (random)
    argument.remove(0, 1);
  const QString folder = FolderPart(argument);
  QStringList names;
  for (const QString &name : platform.FindEntries(folder, FileNamePart(argument)))
    names.append(folder + name);
  if (names.isEmpty())
    names.append(argument);
  if (random) {
    int index = RandomIndexSource()(static_cast<int>(names.size()));
    if (index < 0 || index >= names.size())
      index = 0;
    argument = names[index];
    names = QStringList{argument};
  }
  return names;
}
