// The Windows command-line rules an action's text is written in: how a line splits into
// program and arguments, and how a word is quoted so that it splits back whole.
#pragma once

#include <QString>
#include <QStringList>

// Reads a command line character by character by the Windows rules for backslashes: before a
// double quote every two backslashes stand for one, and an odd one left over makes the quote
// a literal character; elsewhere a backslash is itself.
class TCommandLineReader {
public:
  // Reads text from position pos on; text must outlive the reader.
  explicit TCommandLineReader(const QString &text, qsizetype pos = 0) : FText(text), FPos(pos) {}
  // The next character: false at the end; groupingQuote tells a double quote that groups
  // (and is dropped) from a literal one.
  bool Next(QChar &c, bool &groupingQuote);
  // Where reading goes on in the text (after the last character returned by Next).
  qsizetype Position() const { return FPos; }

private:
  const QString &FText;
  qsizetype FPos;
  int FPendingBackslashes = 0;
  bool FPendingQuote = false;
};

// Splits a command line: blanks and tabs separate words, double quotes group a run that
// holds blanks and are removed ("" gives an empty word), backslashes as TCommandLineReader.
QStringList SplitCommandLine(const QString &commandLine);
// The text that SplitCommandLine (and a quoted argument of an internal command) reads back as
// exactly the one word given: the word itself when it holds no blank, tab or double quote.
QString QuoteCommandWord(const QString &word);

// Program and arguments of a command line (program first). When its first word names no
// executable file, the longest part of the line up to a blank that does is taken as the
// program, the rest split into arguments, as the Windows program start reads an unquoted path
// with blanks: "/opt/Meine Programme/start -x" starts "/opt/Meine Programme/start". A name
// without a folder is looked up on PATH. Without such a part, the plain split.
QStringList ProgramAndArguments(const QString &commandLine);
