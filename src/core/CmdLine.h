// The command line at start-up: TCommandLineHandler with its "-i" option, and the rules that
// turn the arguments into the configuration and log file names of the tray program.
#pragma once

#include <QString>
#include <QStringList>

// Reads "-i NAME" from the arguments; without it the configuration's default location.
class TCommandLineHandler {
public:
  // Reads the running program's arguments (without the program itself).
  TCommandLineHandler();
  // Reads the given arguments; "-i" (exact case) makes the next argument IniFileName and
  // stores it as the configuration location. Raises what ConfigFileLocation raises.
  explicit TCommandLineHandler(const QStringList &arguments);

  QString IniFileName;
  // The arguments that belong to no option, in order.
  QStringList Parameters;
};

// The configuration and log file of one start.
struct TStartupFiles {
  QString ConfigFileName;
  QString LogFileName;
};

// The file names a start uses: the first argument as configuration file and the second (unless
// it is "-i") as log file, both made absolute against currentFolder; without a first argument (or
// an empty one) the command line handler's answer; the log defaults to the configuration's name
// with
// ".log". Raises EInOutError when the default location cannot be created.
TStartupFiles StartupFileNames(const QStringList &arguments, const QString &currentFolder);

// fileName with the extension of its last component replaced by (or given) extension.
QString ChangeFileExt(const QString &fileName, const QString &extension);

// What the tray program's command line asks for.
struct TTrayCommandLine {
  enum TKind { Run, Help, Version, Error } Kind = Run;
  // For Run: the arguments in the form StartupFileNames takes them (CONFIG, LOG, "-i" NAME).
  QStringList Arguments;
  // For Error: the one-line German reason.
  QString Message;
};

// Parses the tray program's arguments (without the program itself): positional CONFIG and
// LOG, "-i FILE", -h/--help, -v/--version. An argument that starts with "-" is never a file
// name: an unknown option is an error. A "-i" without a name has no effect; positional
// arguments after the second are ignored.
TTrayCommandLine ParseTrayCommandLine(const QStringList &arguments);

// Why an argument that starts with "-" is no file name: a mistyped option must never create a
// file of that name. German, one line, naming the way to give such a file.
QString NotAFileNameText(const QString &argument);

// The German help text of the tray program.
QString TrayHelpText();
