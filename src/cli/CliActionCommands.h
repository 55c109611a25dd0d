// kronolab-cli's "expand" and "run" subcommands; main only parses and dispatches to them.
#pragma once

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
