// The command-line tool run by the tests: a subcommand called in this process, or the built
// kronolab-cli as a process; arguments in, exit status and output back.
#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <functional>
#include <gtest/gtest.h>

// Calls one subcommand's function in this process (command(args, out, err) as the program's
// main does); its exit status, with what it wrote to stdout and stderr in out and err.
template <class Command>
int CallCli(Command command, const QStringList &args, QString &out, QString &err) {
  QTextStream o(&out), e(&err);
  const int status = command(args, o, e);
  o.flush();
  e.flush();
  return status;
}

// How one run of the program ended.
struct TCliRun {
  int Status = -1;
  bool Crashed = false; // ended by a signal
  QString Out, Err;
  qint64 Ms = 0;
};

// Runs kronolab-cli with args; inChild runs in the child before the program starts (umask,
// limits). env, when given, replaces the environment.
inline TCliRun RunCli(const QStringList &args, const std::function<void()> &inChild = {},
                      const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment()) {
  QProcess process;
  process.setProcessEnvironment(env);
  if (inChild)
    process.setChildProcessModifier(inChild);
  QElapsedTimer timer;
  timer.start();
  process.start(QStringLiteral(KRONOLAB_CLI_PROGRAM), args);
  TCliRun run;
  if (!process.waitForFinished(60000)) {
    process.kill();
    process.waitForFinished();
    ADD_FAILURE() << "kronolab-cli did not end: " << args.join(u' ').toStdString();
  }
  run.Ms = timer.elapsed();
  run.Crashed = process.exitStatus() != QProcess::NormalExit;
  run.Status = process.exitCode();
  run.Out = QString::fromUtf8(process.readAllStandardOutput());
  run.Err = QString::fromUtf8(process.readAllStandardError());
  return run;
}
