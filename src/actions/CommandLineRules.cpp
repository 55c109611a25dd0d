#include "actions/CommandLineRules.h"

#include "platform/Process.h"

bool TCommandLineReader::Next(QChar &c, bool &groupingQuote) {
  groupingQuote = false;
  if (FPendingBackslashes > 0) {
    --FPendingBackslashes;
    c = u'\\';
    return true;
  }
  if (FPendingQuote) {
    FPendingQuote = false;
    c = u'"';
    return true;
  }
  if (FPos >= FText.size())
    return false;
  if (FText[FPos] == u'\\') {
    qsizetype run = 0;
    while (FPos + run < FText.size() && FText[FPos + run] == u'\\')
      ++run;
    FPos += run;
    const bool beforeQuote = FPos < FText.size() && FText[FPos] == u'"';
    FPendingBackslashes = static_cast<int>(beforeQuote ? run / 2 : run);
    if (beforeQuote && run % 2 == 1) {
      FPendingQuote = true;
      ++FPos;
    }
    return Next(c, groupingQuote);
  }
  c = FText[FPos++];
  groupingQuote = c == u'"';
  return true;
}

QStringList SplitCommandLine(const QString &commandLine) {
  QStringList words;
  QString word;
  bool inWord = false, quoted = false;
  TCommandLineReader reader(commandLine);
  QChar c;
  bool groupingQuote = false;
  while (reader.Next(c, groupingQuote)) {
    if (groupingQuote) {
      quoted = !quoted;
      inWord = true;
    } else if (!quoted && (c == u' ' || c == u'\t')) {
      if (inWord)
        words.append(word);
      word.clear();
      inWord = false;
    } else {
      word.append(c);
      inWord = true;
    }
  }
  if (inWord)
    words.append(word);
  return words;
}

QString QuoteCommandWord(const QString &word) {
  if (!word.isEmpty() && !word.contains(u' ') && !word.contains(u'\t') && !word.contains(u'"'))
    return word;
  QString quoted = QStringLiteral("\"");
  qsizetype backslashes = 0;
  for (QChar c : word) {
    if (c == u'\\') {
      ++backslashes;
      continue;
    }
    // Backslashes before a quote are doubled, and the quote gets one of its own.
    quoted += QString(c == u'"' ? 2 * backslashes + 1 : backslashes, u'\\');
    quoted += c;
    backslashes = 0;
  }
  // Before the closing quote they are doubled too, so that it still closes.
  quoted += QString(2 * backslashes, u'\\');
  quoted += u'"';
  return quoted;
}

QStringList ProgramAndArguments(const QString &commandLine) {
  QStringList words = SplitCommandLine(commandLine);
  if (words.isEmpty() || NamesProgram(words.first()))
    return words;
  // Only an unquoted start can hold a path with blanks: quotes group by themselves.
  const QString line = commandLine.trimmed();
  for (qsizetype end = line.lastIndexOf(u' '); end > 0; end = line.lastIndexOf(u' ', end - 1)) {
    const QString program = line.left(end);
    if (program.contains(u'"'))
      continue;
    if (NamesProgram(program))
      return QStringList{program} + SplitCommandLine(line.mid(end + 1));
  }
  return words;
}
