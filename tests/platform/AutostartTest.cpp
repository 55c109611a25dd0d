#include "platform/Autostart.h"

#include "TestFiles.h"
#include "base/Errors.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

// The autostart folder below a temporary XDG_CONFIG_HOME.
class Autostart : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(Home.isValid());
    FOldConfigHome = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", Home.filePath(QStringLiteral("cfg")).toUtf8());
  }
  void TearDown() override { qputenv("XDG_CONFIG_HOME", FOldConfigHome); }

  QTemporaryDir Home;
  QByteArray FOldConfigHome;
};

TEST_F(Autostart, SwitchingOnWritesAPrivateEntryForTheProgramAndOffRemovesIt) {
  const QString file = Home.filePath("cfg/autostart/io.github.kronolab.Kronolab.desktop");
  EXPECT_EQ(AutostartFilePath(), file);
  EXPECT_FALSE(AutostartEnabled());

  SetAutostart(true, QStringLiteral("/opt/Meine Programme/kronolab"),
               {QStringLiteral("/home/anna/Plan $1.ini"), QStringLiteral("/home/anna/100%.log")});
  ASSERT_TRUE(QFileInfo::exists(file));
  EXPECT_TRUE(AutostartEnabled());
  struct stat info {};
  ASSERT_EQ(stat(QFile::encodeName(file).constData(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  const QString text = QString::fromUtf8(ReadBytes(file));
  EXPECT_TRUE(text.startsWith("[Desktop Entry]\n"));
  EXPECT_TRUE(
      text.contains("\nExec=\"/opt/Meine Programme/kronolab\" \"/home/anna/Plan \\\\$1.ini\" "
                    "/home/anna/100%%.log\n"))
      << qPrintable(text);

  // A desktop entry the desktop's validator accepts, where it is installed.
  const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
  if (!validator.isEmpty()) {
    QProcess check;
    check.start(validator, {file});
    ASSERT_TRUE(check.waitForFinished(30000));
    EXPECT_EQ(check.exitCode(), 0) << check.readAllStandardOutput().toStdString();
    EXPECT_TRUE(check.readAllStandardOutput().trimmed().isEmpty());
  }

  SetAutostart(false, QString(), {});
  EXPECT_FALSE(QFileInfo::exists(file));
  EXPECT_FALSE(AutostartEnabled());
  SetAutostart(false, QString(), {}); // nothing to remove is no error
}

TEST_F(Autostart, AnEntryTheDesktopSwitchedOffCountsAsOff) {
  SetAutostart(true, QStringLiteral("/usr/bin/kronolab"), {});
  QString text = QString::fromUtf8(ReadBytes(AutostartFilePath()));
  WriteBytes(AutostartFilePath(), (text + "Hidden=true\n").toUtf8());
  EXPECT_FALSE(AutostartEnabled());
  WriteBytes(
      AutostartFilePath(),
      text.replace("X-GNOME-Autostart-enabled=true", "X-GNOME-Autostart-enabled=false").toUtf8());
  EXPECT_FALSE(AutostartEnabled());
}

TEST_F(Autostart, ExecWordsAreQuotedAndEscapedByTheDesktopEntryRules) {
  EXPECT_EQ(DesktopExecLine("/usr/bin/kronolab", {}), "/usr/bin/kronolab");
  // Inside quotes ", `, $ and \ take a backslash; the file's own string escape then doubles
  // every backslash.
  EXPECT_EQ(DesktopExecLine("/a b/k", {"x\"y", "c:\\d", "`w`", ""}),
            "\"/a b/k\" \"x\\\\\"y\" \"c:\\\\\\\\d\" \"\\\\`w\\\\`\" \"\"");
}

TEST_F(Autostart, AFolderThatCannotBeMadeIsReportedNamingTheEntry) {
  // XDG_CONFIG_HOME is a file: the autostart folder cannot be made below it.
  WriteBytes(Home.filePath("cfg"), "kein Ordner");
  try {
    SetAutostart(true, QStringLiteral("/usr/bin/kronolab"), {});
    FAIL() << "no error";
  } catch (const EInOutError &error) {
    EXPECT_TRUE(error.Message().contains(AutostartFilePath()));
  }
}

} // namespace
