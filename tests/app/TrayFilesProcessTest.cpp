// The built tray program as the user starts it, on a real X server of its own: a file it
// cannot read and a file with one impossible entry.
#include "TestFiles.h"
#include "XSession.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>

namespace {

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

class TrayProgramFiles : public ::testing::Test {
protected:
  // One server for all cases, made once the application object exists.
  static void SetUpTestSuite() {
    FServer = new TXSession;
    FServerStarted = FServer->Start(false);
  }
  static void TearDownTestSuite() {
    delete FServer;
    FServer = nullptr;
  }
  void SetUp() override {
    ASSERT_TRUE(FServerStarted) << FServer->Error.toStdString();
    ASSERT_TRUE(FTemp.isValid());
  }
  // Starts the tray program on config and waits until it handles SIGTERM.
  void Start(const QString &config) {
    QProcessEnvironment env = FServer->Environment();
    env.insert(QStringLiteral("HOME"), FTemp.path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), FTemp.path());
    env.remove(QStringLiteral("XDG_CONFIG_HOME"));
    env.remove(QStringLiteral("APPDATA"));
    FProgram.setProcessEnvironment(env);
    FProgram.start(QStringLiteral(KRONOLAB_PATH), {config});
    ASSERT_TRUE(FProgram.waitForStarted());
    ASSERT_TRUE(WaitUntil([&] { return CatchesSigterm(FProgram.processId()); }, 30000));
  }
  // Ends the program as the system does; its standard error.
  QString Stop() {
    kill(static_cast<pid_t>(FProgram.processId()), SIGTERM);
    EXPECT_TRUE(FProgram.waitForFinished(30000));
    EXPECT_EQ(FProgram.exitStatus(), QProcess::NormalExit);
    return QString::fromUtf8(FProgram.readAllStandardError());
  }
  QString Path(const QString &name) const { return FTemp.filePath(name); }

  static TXSession *FServer;
  static bool FServerStarted;
  QTemporaryDir FTemp;
  QProcess FProgram;
};
TXSession *TrayProgramFiles::FServer = nullptr;
bool TrayProgramFiles::FServerStarted = false;

// A configuration full of NUL bytes: the tray runs with an empty list, and its end by SIGTERM
// says in German why it leaves the file as it was.
TEST_F(TrayProgramFiles, AnUnreadableConfigurationIsLeftAsItWasOnSigterm) {
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
TEST_F(TrayProgramFiles, AHugeDateBesideAGoodEntryStillRunsTheGoodOne) {
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
  EXPECT_TRUE(WaitUntil([&] { return QFileInfo::exists(good); }, 30000));
  EXPECT_EQ(FProgram.state(), QProcess::Running);
  const QString err = Stop();
  EXPECT_EQ(FProgram.exitCode(), 0) << err.toStdString();
  EXPECT_FALSE(QFileInfo::exists(bad));
  EXPECT_TRUE(ReadBytes(config).contains("LastDate="));
}

} // namespace
