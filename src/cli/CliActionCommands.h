// kronolab-cli's subcommands, one function each; main only parses and dispatches to them.
#pragma once

#include "base/DateTime.h"

#include <QStringList>
#include <QTextStream>

// expand TEXT [--at T]: prints TEXT after placeholder expansion at T (default now).
int CliExpand(const QStringList &args, QTextStream &out, QTextStream &err);
// run [CONFIG [LOG]] [--ticks N]: the scheduler without windows; saves the configuration
// after N ticks, on SIGINT and on SIGTERM. Exit 1 when loading or saving fails.
int CliRun(const QStringList &args, QTextStream &out, QTextStream &err);
// moon [T] [--png FILE] [--size 64|32|16]: the shadow angle, the lit fraction and the
// phase's German name at T (default now); writes the shaded picture as PNG.
int CliMoon(const QStringList &args, QTextStream &out, QTextStream &err);
// list [CONFIG]: the interval, then per entry its number, time point, time of day, last run,
// next due point ("-" for never) and action, tab-separated. Exit 1 when CONFIG cannot be read.
int CliList(const QStringList &args, QTextStream &out, QTextStream &err);
// list with a fixed "now" for the next due points.
int CliListAt(const QStringList &args, QTextStream &out, QTextStream &err, TDateTime now);
// history [CONFIG] [--action N] [--failed] [--limit N]: the run journal, newest first, one
// line a call: due point ("manuell" for a call the user asked for), start ("-" when it never
// began), "#" and the entry's number at the time, the stored action, the result, the
// duration in milliseconds ("-" while unknown); tab-separated. --action N keeps the calls of
// the configuration's entry N, --failed the failures. Nothing is printed when the
// configuration has no journal yet. Exit 2 on bad usage, 1 when CONFIG or the journal cannot
// be read.
int CliHistory(const QStringList &args, QTextStream &out, QTextStream &err);
// simulate [CONFIG] --from T --to T [--interval MS]: a dry run of the due check at every tick
// from T to T; one line "<tick> <due point> #<entry number> <action>" per dispatched call.
// Executes and saves nothing. Exit 2 on bad usage, 1 when CONFIG cannot be read.
int CliSimulate(const QStringList &args, QTextStream &out, QTextStream &err);
// add [CONFIG] --kind KIND --at T [options] ACTION: a new entry starting from now; prints its
// number. remove|enable|disable|run-now [CONFIG] N: the editor's row operations. Each is handed
// to a scheduler running CONFIG, else the file is changed under its lock. Exit 2 on bad usage
// (and for a number no entry has), 1 when the change could not be made.
int CliAdd(const QStringList &args, QTextStream &out, QTextStream &err);
int CliRemove(const QStringList &args, QTextStream &out, QTextStream &err);
int CliEnable(const QStringList &args, QTextStream &out, QTextStream &err);
int CliDisable(const QStringList &args, QTextStream &out, QTextStream &err);
int CliRunNow(const QStringList &args, QTextStream &out, QTextStream &err);
