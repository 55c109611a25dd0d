// The fixture of the tests that run the built kronolab-cli and kronolab as users meet them: a
// temporary folder, a configuration written there, and the programs started and ended.
#pragma once

#include "TestFiles.h"
#include "core/Scheduler.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

inline const QString Cli = QStringLiteral(KRONOLAB_CLI_PROGRAM);

// One action section of a configuration.
struct TSection {
  int TimePoint = 1;
  QString FirstDate = QStringLiteral("46000");
  QString LastDate;
  QString Freq;
  bool SuddenStart = false;
  bool AllCalls = false;
  QString Action;
};

inline QByteArray Configuration(const QList<TSection> &sections, int interval = 1000,
                                bool logging = false) {
  QString text = QStringLiteral("[General]\nLogging=%1\nInterval=%2\nCount=%3\n")
                     .arg(logging ? 1 : 0)
                     .arg(interval)
                     .arg(sections.size());
  for (qsizetype i = 0; i < sections.size(); ++i) {
    const TSection &s = sections[i];
    text += QStringLiteral("[Action%1]\nTimePoint=%2\nSuddenStart=%3\nAllCalls=%4\nFirstDate=%5\n")
                .arg(i + 1)
                .arg(s.TimePoint)
                .arg(s.SuddenStart ? 1 : 0)
                .arg(s.AllCalls ? 1 : 0)
                .arg(s.FirstDate);
    if (!s.LastDate.isEmpty())
      text += QStringLiteral("LastDate=%1\n").arg(s.LastDate);
    if (!s.Freq.isEmpty())
      text += QStringLiteral("Freq=%1\n").arg(s.Freq);
    text += QStringLiteral("Action=%1\n").arg(s.Action);
  }
  return text.toUtf8();
}

// A once-only entry long past that also runs at start: due at the first tick.
inline TSection AtStart(const QString &action) {
  return {1, QStringLiteral("46000"), {}, {}, true, false, action};
}

// A message that the run prints at its first tick, so that the test knows it is running.
inline const TSection Ready = AtStart(QStringLiteral("\"bereit\""));

// Runs the built programs in a temporary folder with a configuration folder of their own, and
// ends whatever a test left running.
class CliProcess : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(Dir.isValid());
    Config = Dir.filePath(QStringLiteral("k.ini"));
    Environment = QProcessEnvironment::systemEnvironment();
    ASSERT_TRUE(QDir(Dir.path()).mkdir(QStringLiteral("config")));
    Environment.insert(QStringLiteral("XDG_CONFIG_HOME"), Dir.filePath(QStringLiteral("config")));
    Environment.remove(QStringLiteral("APPDATA"));
  }
  void TearDown() override {
    for (QProcess *process : Running) {
      process->kill();
      process->waitForFinished();
      delete process;
    }
  }

  // Starts kronolab-cli (or another program) with args; owned by the fixture.
  QProcess *Start(const QStringList &args, const QProcessEnvironment &environment,
                  const QString &program = Cli) {
    auto *process = new QProcess;
    Running.append(process);
    process->setProcessEnvironment(environment);
    process->start(program, args);
    EXPECT_TRUE(process->waitForStarted());
    return process;
  }
  // Runs kronolab-cli to its end (at most timeoutMs); its run time in ms.
  qint64 Run(QProcess *&process, const QStringList &args, int timeoutMs = 30000) {
    return RunWith(process, args, Environment, timeoutMs);
  }
  qint64 RunWith(QProcess *&process, const QStringList &args,
                 const QProcessEnvironment &environment, int timeoutMs = 30000,
                 const QString &program = Cli) {
    QElapsedTimer spent;
    spent.start();
    process = Start(args, environment, program);
    EXPECT_TRUE(process->waitForFinished(timeoutMs)) << args.join(u' ').toStdString();
    return spent.elapsed();
  }
  // Waits until the running process has printed text on stdout.
  static bool WaitForOutput(QProcess *process, const QByteArray &text, QByteArray &seen) {
    QElapsedTimer waited;
    waited.start();
    while (!seen.contains(text) && waited.elapsed() < 20000) {
      process->waitForReadyRead(200);
      seen += process->readAllStandardOutput();
    }
    return seen.contains(text);
  }

  QTemporaryDir Dir;
  QString Config;
  QProcessEnvironment Environment;
  QList<QProcess *> Running;
};
