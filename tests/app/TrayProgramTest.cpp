// The built tray program as the user starts it, on a real X server (xvfb-run): a file it
// cannot read and a file with one impossible entry.
#include "TestFiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <cstdio>
#include <functional>
#include <gtest/gtest.h>

namespace {

// An X server for the test's programs: xvfb-run holding a sleeper, whose display and
// authority the programs are given. Without xvfb-run, Qt's offscreen platform stands in.
class TXServer {
public:
  TXServer() {
    if (QStandardPaths::findExecutable(QStringLiteral("xvfb-run")).isEmpty())
      return;
    // The shell tells its own process id, which the sleeper takes over.
    FServer.start(QStringLiteral("xvfb-run"),
                  {QStringLiteral("-a"), QStringLiteral("sh"), QStringLiteral("-c"),
                   QStringLiteral("echo \"$DISPLAY $XAUTHORITY $$\"; exec sleep 600")});
    if (!FServer.waitForReadyRead(30000))
      return;
    const QStringList words = QString::fromLocal8Bit(FServer.readLine()).trimmed().split(u' ');
    if (words.size() == 3) {
      Display = words[0];
      Authority = words[1];
      FSleeper = words[2].toLongLong();
    }
  }
  ~TXServer() {
    // Ending the sleeper makes xvfb-run stop its server and clean up.
    if (FSleeper > 0)
      kill(static_cast<pid_t>(FSleeper), SIGTERM);
    if (FServer.state() != QProcess::NotRunning && !FServer.waitForFinished(10000))
      FServer.kill();
  }
  // The environment for a program on this server.
  QProcessEnvironment Environment(const QString &home) const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home);
    env.remove(QStringLiteral("XDG_CONFIG_HOME"));
    env.remove(QStringLiteral("APPDATA"));
    if (Display.isEmpty()) {
      env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    } else {
      env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
      env.insert(QStringLiteral("DISPLAY"), Display);
      env.insert(QStringLiteral("XAUTHORITY"), Authority);
    }
    return env;
  }
  QString Display, Authority;

private:
  QProcess FServer;
  qint64 FSleeper = 0;
};

// Whether process pid catches SIGTERM yet: the program has set up its orderly end.
bool CatchesSigterm(qint64 pid) {
  QFile status(QStringLiteral("/proc/%1/status").arg(pid));
  if (!status.open(QIODevice::ReadOnly))
    return false;
  for (const QByteArray &line : status.readAll().split('\n'))
    if (line.startsWith("SigCgt:"))
      return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (SIGTERM - 1)) & 1;
  return false;
}

// Waits up to timeoutMs for condition.
bool WaitFor(const std::function<bool()> &condition, int timeoutMs = 30000) {
  QElapsedTimer timer;
  timer.start();
  while (!condition()) {
    if (timer.elapsed() > timeoutMs)
      return false;
    QThread::msleep(50);
  }
  return true;
}

class TrayProgram : public ::testing::Test {
protected:
  // One server for all cases, made once the application object exists.
  static void SetUpTestSuite() {
    FServer = new TXServer;
    if (FServer->Display.isEmpty())
      std::fprintf(stderr, "Kein X-Server (xvfb-run): die Programme laufen auf \"offscreen\".\n");
  }
  static void TearDownTestSuite() {
    delete FServer;
    FServer = nullptr;
  }
  void SetUp() override { ASSERT_TRUE(FTemp.isValid()); }
  // Starts the tray program on config and waits until it handles SIGTERM.
  void Start(const QString &config) {
    FProgram.setProcessEnvironment(FServer->Environment(FTemp.path()));
    FProgram.start(QStringLiteral(KRONOLAB_PROGRAM), {config});
    ASSERT_TRUE(FProgram.waitForStarted());
    ASSERT_TRUE(WaitFor([&] { return CatchesSigterm(FProgram.processId()); }));
  }
  // Ends the program as the system does; its standard error.
  QString Stop() {
    kill(static_cast<pid_t>(FProgram.processId()), SIGTERM);
    EXPECT_TRUE(FProgram.waitForFinished(30000));
    EXPECT_EQ(FProgram.exitStatus(), QProcess::NormalExit);
    return QString::fromUtf8(FProgram.readAllStandardError());
  }
  QString Path(const QString &name) const { return FTemp.filePath(name); }

  static TXServer *FServer;
  QTemporaryDir FTemp;
  QProcess FProgram;
};
TXServer *TrayProgram::FServer = nullptr;

// A configuration full of NUL bytes: the tray runs with an empty list, and its end by SIGTERM
// says in German why it leaves the file as it was.
TEST_F(TrayProgram, AnUnreadableConfigurationIsLeftAsItWasOnSigterm) {
  const QString config = Path(QStringLiteral("k.ini"));
  const QString marker = Path(QStringLiteral("lief"));
  const QByteArray bytes =
      QStringLiteral("[General]\r\nCount=1\r\n[Action1]\r\nSuddenStart=1\r\nFirstDate=46000\r\n"
                     "Action=%MKDIR %1\r\n")
          .arg(marker)
          .toUtf8()
          .replace('\n', QByteArray("\n\0", 2));
  WriteBytes(config, bytes);
  Start(config);
  const QString err = Stop();
  EXPECT_TRUE(err.contains(
      QStringLiteral("Die Datei „%1“ wird weder gelesen noch überschrieben").arg(config)))
      << err.toStdString();
  EXPECT_EQ(ReadBytes(config), bytes);
  EXPECT_FALSE(QFileInfo::exists(marker));
}

// A date no calendar holds in the first entry: the second still runs at start, the tray
// keeps running, and its end saves the run.
TEST_F(TrayProgram, AHugeDateBesideAGoodEntryStillRunsTheGoodOne) {
  const QString config = Path(QStringLiteral("k.ini"));
  const QString bad = Path(QStringLiteral("schlecht"));
  const QString good = Path(QStringLiteral("gut"));
  WriteBytes(config,
             QStringLiteral("[General]\r\nCount=2\r\n"
                            "[Action1]\r\nSuddenStart=1\r\nTimePoint=2\r\nFirstDate=1E12\r\n"
                            "Action=%MKDIR %1\r\n"
                            "[Action2]\r\nSuddenStart=1\r\nTimePoint=2\r\n"
                            "FirstDate=46000.5\r\nAction=%MKDIR %2\r\n")
                 .arg(bad, good)
                 .toUtf8());
  Start(config);
  EXPECT_TRUE(WaitFor([&] { return QFileInfo::exists(good); }));
  EXPECT_EQ(FProgram.state(), QProcess::Running);
  const QString err = Stop();
  EXPECT_EQ(FProgram.exitCode(), 0) << err.toStdString();
  EXPECT_FALSE(QFileInfo::exists(bad));
  EXPECT_TRUE(ReadBytes(config).contains("LastDate="));
}

} // namespace
