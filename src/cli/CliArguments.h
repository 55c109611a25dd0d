// How kronolab-cli's subcommands read their command lines: one description of each
// subcommand's syntax, read by QCommandLineParser, and the German help made from it.
#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <optional>
#include <vector>

// One option of a subcommand.
struct TCliOption {
  QString Name;        // long name, without dashes
  QString ValueName;   // the value's name in the help; empty for a switch
  QString Description; // German, one line
  bool IsFile = false; // the value names a file: it may not start with "-"
};

// What a subcommand takes on its command line.
struct TCliSyntax {
  QString Command;   // "run"
  QString Arguments; // the arguments in the usage line, e.g. "[KONFIGURATION] [--ticks N]"
  QString Description;
  std::vector<TCliOption> Options;
  int MaxPositionals = 0;
  // Positional arguments are file names: one that starts with "-" is refused (after "--"
  // too), so a mistyped option never becomes a file. False for a text (expand's TEXT).
  bool PositionalsAreFiles = true;
};

// A subcommand's arguments as read.
struct TCliArguments {
  QStringList Positionals;
  // The value of each option given (the last one, when given twice); switches as given.
  QHash<QString, QString> Values;
  QSet<QString> Switches;

  bool Has(const QString &option) const {
    return Values.contains(option) || Switches.contains(option);
  }
  QString Value(const QString &option) const { return Values.value(option); }
  QString Positional(int i) const { return i < Positionals.size() ? Positionals[i] : QString(); }
};

// Reads args (the words after the subcommand) by syntax into read. Returns the exit status
// when the command is done already: 0 after printing its help (--help) or the version
// (--version) on out, 2 after one line on err naming what is wrong. Empty when the command
// is to run.
std::optional<int> ReadCliArguments(const TCliSyntax &syntax, const QStringList &args,
                                    QTextStream &out, QTextStream &err, TCliArguments &read);

// The German help of a subcommand.
QString CliHelpText(const TCliSyntax &syntax);

// The version line of kronolab-cli.
QString CliVersionText();
