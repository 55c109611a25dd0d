// Starting programs: a program and its arguments are started directly, never through a shell,
// so no text in them is ever interpreted (actions/CommandLineRules splits an action's text).
#pragma once

#include <QByteArray>
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

// True when name is an executable regular file: a name with a slash as a path, one without
// looked up on the folders of PATH, as the program start itself searches.
bool NamesProgram(const QString &name);

// How much of a program's standard output, and as much of its standard error, is kept: the
// end of each, as that is where a failing program says why.
constexpr int KeptOutputBytes = 64 * 1024;

// Starts the program (the first of words) with the other words as its arguments, in its own
// session (so it leads its own process group), standard output and error captured, with folder
// (when not empty) as its working folder; our own current folder never changes. Returns at once
// without waiting: a value above ExecStartedAbove on success, else one of the Exec codes above; on
// success *processId (if given) is the program's process id. Raises EInOutError, starting nothing,
// when folder is not an enterable folder.
int LaunchProcess(const QString &folder, const QStringList &words,
                  std::int64_t *processId = nullptr);

// How a program started by LaunchProcess ended.
struct TProcessEnd {
  std::int64_t ProcessId = 0;
  // Ended by a signal (Code is its number); otherwise Code is its exit status.
  bool Signaled = false;
  int Code = 0;
  // From the start to the moment its end was seen, in milliseconds (monotonic clock).
  std::int64_t RunMs = 0;
  // The last KeptOutputBytes of its standard output and standard error, as written until it
  // ended (what programs it left behind write later is read and dropped).
  QByteArray Output{};
  QByteArray Errors{};
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
// Asks the process group that the program processId leads to end (SIGTERM), or ends it
// (force: SIGKILL). True when at least one member was still there.
bool StopProcessGroup(std::int64_t processId, bool force);
// A descriptor that becomes readable whenever the end of a started program has been collected
// and stays so until ReapFinishedProcesses is called, so that an event loop learns of ends
// without polling; -1 where the system has none.
int ProcessEndEvents();
// The conventional name of a signal ("SIGKILL"), or its number as text when it has none.
QString SignalName(int signal);
