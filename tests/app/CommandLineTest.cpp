// The tray program's command line, as a process: help, version and bad arguments end at once,
// without a display, and touch no file.
#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct TRun {
  int Status = -1;
  QString Out, Err;
};

// Runs the built tray program in a fresh HOME without a display (or with an X display name).
TRun RunTray(const QTemporaryDir &home, const QStringList &arguments,
             const QString &display = QString()) {
  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("HOME"), home.path());
  env.remove(QStringLiteral("APPDATA"));
  env.remove(QStringLiteral("XDG_CONFIG_HOME"));
  env.remove(QStringLiteral("DISPLAY"));
  env.remove(QStringLiteral("WAYLAND_DISPLAY"));
  env.remove(QStringLiteral("QT_QPA_PLATFORM"));
  if (!display.isEmpty())
    env.insert(QStringLiteral("DISPLAY"), display);
  process.setProcessEnvironment(env);
  process.setWorkingDirectory(home.path());
  process.start(QStringLiteral(KRONOLAB_PATH), arguments);
  TRun run;
  if (!process.waitForFinished(30000)) {
    process.kill();
    process.waitForFinished();
    return run;
  }
  run.Status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
  run.Out = QString::fromLocal8Bit(process.readAllStandardOutput());
  run.Err = QString::fromLocal8Bit(process.readAllStandardError());
  return run;
}

// Every file and folder below root.
QStringList Everything(const QString &root) {
  QStringList found;
  QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                  QDirIterator::Subdirectories);
  while (it.hasNext())
    found.append(it.next());
  return found;
}

// Without a display: help and version answer, a start ends with the reason; nothing is created.
TEST(TrayProgramCommandLine, HelpAndVersionAnswerWithoutADisplayAndCreateNothing) {
  QTemporaryDir home;
  const TRun help = RunTray(home, {QStringLiteral("--help")});
  EXPECT_EQ(help.Status, 0) << help.Err.toStdString();
  EXPECT_TRUE(help.Out.startsWith("Aufruf: kronolab [KONFIGURATION [PROTOKOLL]]"));
  const TRun version = RunTray(home, {QStringLiteral("--version")});
  EXPECT_EQ(version.Status, 0);
  EXPECT_EQ(version.Out, QStringLiteral("kronolab " KRONOLAB_VERSION "\n"));
  // A start without a desktop, or with one out of reach, ends with 1 and the German reason:
  // no abort, no advice of Qt's to reinstall.
  for (const QString &display : {QString(), QStringLiteral(":4711")}) {
    const TRun run = RunTray(home, {}, display);
    EXPECT_EQ(run.Status, 1);
    EXPECT_TRUE(run.Err.startsWith("kronolab: Kronolab braucht eine Arbeitsfläche") &&
                run.Err.endsWith("führt „kronolab-cli run“ die Aktionen aus.\n") &&
                run.Err.count('\n') == 1)
        << run.Err.toStdString();
  }
  EXPECT_EQ(Everything(home.path()), QStringList());
}

TEST(TrayProgramCommandLine, AnOptionItDoesNotKnowIsRefusedAndNeverBecomesAFile) {
  QTemporaryDir home;
  for (const QStringList &args : {QStringList{"--hilfe"}, {"-x", "plan.ini"}, {"run", "--", "-"}}) {
    const TRun run = RunTray(home, args);
    EXPECT_EQ(run.Status, 2) << args.join(' ').toStdString();
    EXPECT_TRUE(run.Err.startsWith("kronolab: ")) << run.Err.toStdString();
    EXPECT_EQ(run.Err.count('\n'), 1);
  }
  EXPECT_EQ(Everything(home.path()), QStringList());
}

} // namespace
