// Starting programs. A command line is split into program and arguments by the Windows
// rules and started directly, never through a shell, so no text in it is ever interpreted.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

// Results of LaunchProcess below 32, as the Windows program start reports them.
constexpr int ExecOutOfResources = 0; // out of memory or processes
constexpr int ExecFileNotFound = 2;   // no such program, on the search path or at the path
constexpr int ExecPathNotFound = 3;   // a folder of the program's path is missing
constexpr int ExecBadFormat = 11;     // the file is not executable or not a program
// Any result above this means the program was started.
constexpr int ExecStartedAbove = 31;

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

// Starts the command line's program with its arguments, in its own session, with folder
// (when not empty) as its working folder; our own current folder never changes. Returns at
// once without waiting: a value above ExecStartedAbove on success, else one of the Exec
// codes above; on success *processId (if given) is the program's process id. Raises
// EInOutError, starting nothing, when folder is not an enterable folder.
int LaunchProcess(const QString &folder, const QString &commandLine,
                  std::int64_t *processId = nullptr);

// How a program started by LaunchProcess ended.
struct TProcessEnd {
  std::int64_t ProcessId = 0;
  // Ended by a signal (Code is its number); otherwise Code is its exit status.
  bool Signaled = false;
  int Code = 0;
  // From the start to the moment its end was seen, in milliseconds (monotonic clock).
  std::int64_t RunMs = 0;
};

// Collects the exit status of started programs that have ended, so none stays a zombie.
// Where the system allows, a watcher thread collects each program the moment it ends, so
// that its run time is exact; this call catches the rest. LaunchProcess calls it too; the
// tick calls it once per tick.
void ReapFinishedProcesses();
// How many started programs have not yet been collected.
int UnreapedProcessCount();
// The end of the program with processId once it has been collected, taken out of the
// store; nothing while it runs or when it is not one of ours. The oldest ends that nobody
// takes are dropped once thousands have gathered.
std::optional<TProcessEnd> TakeProcessEnd(std::int64_t processId);
// The conventional name of a signal ("SIGKILL"), or its number as text when it has none.
QString SignalName(int signal);
