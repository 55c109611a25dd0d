#include "actions/InternalCommands.h"

#include "actions/CommandLineRules.h"
#include "actions/Placeholders.h"
#include "base/Errors.h"
#include "platform/PathSyntax.h"

namespace {

bool IsBlankOrControl(QChar c) {
  return c.unicode() <= 32;
}

qsizetype SkipBlanks(const QString &text, qsizetype pos) {
  while (pos < text.size() && IsBlankOrControl(text[pos]))
    ++pos;
  return pos;
}

// Reads the token at pos and moves pos past it and the character that ended it.
QString TakeToken(const QString &text, qsizetype &pos) {
  QString token;
  if (text[pos] == u'"') {
    // Up to the closing quote; inside, backslashes before a quote count as on a command
    // line, so that a name quoted by QuoteCommandWord comes back whole.
    TCommandLineReader reader(text, pos + 1);
    QChar c;
    bool groupingQuote = false;
    while (reader.Next(c, groupingQuote) && !groupingQuote)
      token.append(c);
    pos = reader.Position();
  } else {
    const qsizetype blank = text.indexOf(u' ', pos);
    const qsizetype end = blank < 0 ? text.size() : blank;
    token = text.mid(pos, end - pos);
    pos = blank < 0 ? end : end + 1;
  }
  return token;
}

} // namespace

TCommandArguments SplitArguments(const QString &text, const QList<bool> &chosen) {
  TCommandArguments result;
  qsizetype end = text.size();
  while (end > 0 && IsBlankOrControl(text[end - 1]))
    --end;
  const QString rest = text.left(end);
  // A token holding any character of a chosen name is taken whole as that name: the user's
  // own text around it cannot turn it back into a pattern.
  auto fromChosen = [&chosen](qsizetype from, qsizetype to) {
    for (qsizetype i = from; i < to; ++i)
      if (chosen.value(i))
        return true;
    return false;
  };
  qsizetype pos = SkipBlanks(rest, 0);
  if (pos >= rest.size())
    return result;
  qsizetype begin = pos;
  result.First = TakeToken(rest, pos);
  result.FirstChosen = fromChosen(begin, pos);
  pos = SkipBlanks(rest, pos);
  if (pos >= rest.size())
    return result;
  begin = pos;
  result.Second = TakeToken(rest, pos);
  result.SecondChosen = fromChosen(begin, pos);
  result.Remainder = rest.mid(SkipBlanks(rest, pos));
  return result;
}

TCommandText SplitCommandWord(const QString &text) {
  qsizetype blank = text.indexOf(u' ');
  if (blank < 0)
    return {text.toUpper(), QString()};
  return {text.left(blank).toUpper(), text.mid(blank + 1)};
}

namespace {

// Copies or moves every listed name into a folder, or first onto second, reporting each
// failed file in the message window.
template <typename Operation>
void TransferFiles(const TCommandHost &host, const QStringList &names, const QString &first,
                   const QString &second, const QString &verb, Operation operation) {
  auto report = [&](const QString &from, const QString &to) {
    host.ReportFailure(verb + QStringLiteral(" von ") + from + QStringLiteral(" nach ") + to +
                       QStringLiteral(" mißlungen!"));
  };
  if (host.Platform->IsFolder(second)) {
    const QString folder = WithTrailingSeparator(second);
    for (const QString &name : names) {
      const QString target = folder + FileNamePart(name);
      if (!operation(name, target))
        report(name, target);
    }
  } else if (!operation(first, second)) {
    report(first, second);
  }
}

void ByteCopy(TPlatform &platform, const QString &source, const QString &target) {
  TCopyFailure failure = TCopyFailure::None;
  if (platform.CopyFileReplacing(source, target, &failure))
    return;
  switch (failure) {
  case TCopyFailure::OpenSource:
    throw EInOutError(QStringLiteral("Die Datei „%1“ kann nicht geöffnet werden.").arg(source));
  case TCopyFailure::CreateTarget:
    throw EInOutError(QStringLiteral("Die Datei „%1“ kann nicht erstellt werden.").arg(target));
  default:
    throw EInOutError(
        QStringLiteral("Fehler beim Kopieren von „%1“ nach „%2“.").arg(source, target));
  }
}

} // namespace

void RunCommand(const QString &text, const TCommandHost &host, const QList<bool> &chosen) {
  TPlatform &platform = *host.Platform;
  const TCommandText command = SplitCommandWord(text);
  // The argument part is the tail of text, so its marks are the tail of chosen.
  TCommandArguments args =
      SplitArguments(command.Arguments, chosen.mid(text.size() - command.Arguments.size()));
  // A chosen name is that one file whatever it holds: no pattern, no second random choice.
  const QStringList names =
      args.FirstChosen ? QStringList{args.First} : ExpandFileArgument(args.First, platform);
  const QString &first = args.First, &second = args.Second;
  const bool noArguments = command.Arguments.isEmpty();

  if (command.Word == u"COPY") {
    if (first != second && !noArguments)
      TransferFiles(host, names, first, second, QStringLiteral("Kopieren"),
                    [&platform](const QString &a, const QString &b) {
                      return platform.CopyFileReplacing(a, b, nullptr);
                    });
  } else if (command.Word == u"MOVE") {
    if (first != second && !noArguments)
      TransferFiles(host, names, first, second, QStringLiteral("Verschieben"),
                    [&platform](const QString &a, const QString &b) {
                      return platform.MoveFileNoReplace(a, b);
                    });
  } else if (command.Word == u"LZHCOPY") {
    if (first != second && !noArguments)
      ByteCopy(platform, first, second);
  } else if (command.Word == u"DELETE") {
    if (!noArguments)
      for (const QString &name : names)
        platform.DeleteFile(name);
  } else if (command.Word == u"RENAME") {
    if (first != second && !noArguments)
      platform.RenameFile(first, second);
  } else if (command.Word == u"MKDIR") {
    if (!noArguments)
      platform.CreateFolder(first);
  } else if (command.Word == u"EXEC") {
    // The program lost its quotes in the splitting; a name with blanks or quotes gets them
    // back, so the launch takes it as one word.
    host.LaunchProgram(first, QuoteCommandWord(second) + u' ' + args.Remainder);
  }
}
