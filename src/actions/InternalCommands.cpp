#include "actions/InternalCommands.h"

#include "actions/Placeholders.h"
#include "base/Errors.h"
#include "platform/FileOps.h"
#include "platform/Folders.h"
#include "platform/PathSyntax.h"
#include "platform/Process.h"

namespace {

bool IsBlankOrControl(QChar c) {
  return c.unicode() <= 32;
}

void TrimStart(QString &text) {
  qsizetype i = 0;
  while (i < text.size() && IsBlankOrControl(text[i]))
    ++i;
  text.remove(0, i);
}

QString TakeToken(QString &text) {
  QString token;
  if (text.startsWith(u'"')) {
    // Up to the closing quote; inside, backslashes before a quote count as on a command
    // line, so that a name quoted by QuoteCommandWord comes back whole.
    TCommandLineReader reader(text, 1);
    QChar c;
    bool groupingQuote = false;
    while (reader.Next(c, groupingQuote) && !groupingQuote)
      token.append(c);
    text.remove(0, reader.Position());
  } else {
    qsizetype blank = text.indexOf(u' ');
    token = text.left(blank < 0 ? text.size() : blank);
    text.remove(0, blank < 0 ? text.size() : blank + 1);
  }
  return token;
}

} // namespace

TCommandArguments SplitArguments(const QString &text) {
  TCommandArguments result;
  QString rest = text;
  TrimStart(rest);
  while (!rest.isEmpty() && IsBlankOrControl(rest.back()))
    rest.chop(1);
  if (rest.isEmpty())
    return result;
  result.First = TakeToken(rest);
  TrimStart(rest);
  if (rest.isEmpty())
    return result;
  result.Second = TakeToken(rest);
  TrimStart(rest);
  result.Remainder = rest;
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
  if (IsFolder(second)) {
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

void ByteCopy(const QString &source, const QString &target) {
  TCopyFailure failure = TCopyFailure::None;
  if (CopyFileReplacing(source, target, &failure))
    return;
  switch (failure) {
  case TCopyFailure::OpenSource:
    throw EInOutError(QStringLiteral("Die Datei \"%1\" kann nicht geöffnet werden.").arg(source));
  case TCopyFailure::CreateTarget:
    throw EInOutError(QStringLiteral("Die Datei \"%1\" kann nicht erstellt werden.").arg(target));
  default:
    throw EInOutError(
        QStringLiteral("Fehler beim Kopieren von \"%1\" nach \"%2\".").arg(source, target));
  }
}

} // namespace

void RunCommand(const QString &text, const TCommandHost &host) {
  const TCommandText command = SplitCommandWord(text);
  TCommandArguments args = SplitArguments(command.Arguments);
  const QStringList names = ExpandFileArgument(args.First);
  const QString &first = args.First, &second = args.Second;
  const bool noArguments = command.Arguments.isEmpty();

  if (command.Word == u"COPY") {
    if (first != second && !noArguments)
      TransferFiles(host, names, first, second, QStringLiteral("Kopieren"),
                    [](const QString &a, const QString &b) { return CopyFileReplacing(a, b); });
  } else if (command.Word == u"MOVE") {
    if (first != second && !noArguments)
      TransferFiles(host, names, first, second, QStringLiteral("Verschieben"),
                    [](const QString &a, const QString &b) { return MoveFileNoReplace(a, b); });
  } else if (command.Word == u"LZHCOPY") {
    if (first != second && !noArguments)
      ByteCopy(first, second);
  } else if (command.Word == u"DELETE") {
    if (!noArguments)
      for (const QString &name : names)
        DeleteFile(name);
  } else if (command.Word == u"RENAME") {
    if (first != second && !noArguments)
      RenameFile(first, second);
  } else if (command.Word == u"MKDIR") {
    if (!noArguments)
      CreateFolder(first);
  } else if (command.Word == u"EXEC") {
    // The program lost its quotes in the splitting; a name with blanks or quotes gets them
    // back, so the launch takes it as one word.
    host.LaunchProgram(first, QuoteCommandWord(second) + u' ' + args.Remainder);
  }
}
