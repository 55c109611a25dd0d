#include "core/CmdLine.h"

#include "core/IniHelp.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Each start begins with no cached location and the environment the test sets.
class StartupFiles : public ::testing::Test {
protected:
  void SetUp() override {
    SetConfigFileLocation(QString());
    FOldAppData = qgetenv("APPDATA");
    FHadAppData = qEnvironmentVariableIsSet("APPDATA");
    ASSERT_TRUE(FTemp.isValid());
  }
  void TearDown() override {
    SetConfigFileLocation(QString());
    if (FHadAppData)
      qputenv("APPDATA", FOldAppData);
    else
      qunsetenv("APPDATA");
    if (!FBesideProgram.isEmpty())
      QFile::remove(FBesideProgram);
  }
  // The configuration file the program would find beside itself: named after the tray
  // program, whichever Kronolab program runs.
  QString BesideProgram() const {
    const QFileInfo program(QCoreApplication::applicationFilePath());
    return program.absolutePath() + QStringLiteral("/kronolab.ini");
  }
  QTemporaryDir FTemp;
  QString FBesideProgram;
  QByteArray FOldAppData;
  bool FHadAppData = false;
};

} // namespace

TEST_F(StartupFiles, NoArgumentsUseThePerUserFolderBelowAppData) {
  qputenv("APPDATA", FTemp.path().toUtf8());
  const TStartupFiles files = StartupFileNames({}, QStringLiteral("/"));
  const QFileInfo config(files.ConfigFileName);
  // Every Kronolab program (this test program too) uses the tray program's file.
  const QString base = QStringLiteral("kronolab");
  EXPECT_EQ(config.fileName(), base + QStringLiteral(".ini"));
  EXPECT_EQ(config.dir().dirName(), base);
  // The vendor folder lies directly below APPDATA, and both folders now exist.
  QDir vendor = config.dir();
  ASSERT_TRUE(vendor.cdUp());
  EXPECT_TRUE(vendor.exists());
  ASSERT_TRUE(vendor.cdUp());
  EXPECT_EQ(vendor.absolutePath(), QDir(FTemp.path()).absolutePath());
  EXPECT_TRUE(config.dir().exists());
  EXPECT_EQ(files.LogFileName, config.absolutePath() + u'/' + base + QStringLiteral(".log"));
}

TEST_F(StartupFiles, AFileBesideTheProgramWinsAndNothingIsCreatedBelowAppData) {
  qputenv("APPDATA", FTemp.path().toUtf8());
  FBesideProgram = BesideProgram();
  QFile beside(FBesideProgram);
  ASSERT_TRUE(beside.open(QIODevice::WriteOnly));
  beside.close();
  const TStartupFiles files = StartupFileNames({}, QStringLiteral("/"));
  EXPECT_EQ(files.ConfigFileName, FBesideProgram);
  EXPECT_TRUE(QDir(FTemp.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
}

TEST_F(StartupFiles, EmptyAppDataGivesTheFileBesideTheProgramEvenWhenMissing) {
  // On Linux "APPDATA" is empty only when APPDATA, XDG_CONFIG_HOME and HOME all are.
  const QByteArray oldXdg = qgetenv("XDG_CONFIG_HOME"), oldHome = qgetenv("HOME");
  qputenv("APPDATA", QByteArray());
  qputenv("XDG_CONFIG_HOME", QByteArray());
  qputenv("HOME", QByteArray());
  const TStartupFiles files = StartupFileNames({}, QStringLiteral("/"));
  qputenv("XDG_CONFIG_HOME", oldXdg);
  qputenv("HOME", oldHome);
  EXPECT_EQ(files.ConfigFileName, BesideProgram());
  EXPECT_EQ(files.LogFileName, ChangeFileExt(BesideProgram(), QStringLiteral(".log")));
}

TEST_F(StartupFiles, ARelativeFirstArgumentIsExpandedAgainstTheCurrentFolder) {
  const TStartupFiles files =
      StartupFileNames({QStringLiteral("sub/../plan.ini")}, QStringLiteral("/home/anna"));
  EXPECT_EQ(files.ConfigFileName, QStringLiteral("/home/anna/plan.ini"));
  EXPECT_EQ(files.LogFileName, QStringLiteral("/home/anna/plan.log"));
}

TEST_F(StartupFiles, TheSecondArgumentNamesTheLogWhateverTheFirst) {
  const TStartupFiles files = StartupFileNames(
      {QStringLiteral("/etc/plan.cfg"), QStringLiteral("logs/heute.txt"), QStringLiteral("x")},
      QStringLiteral("/var"));
  EXPECT_EQ(files.ConfigFileName, QStringLiteral("/etc/plan.cfg"));
  EXPECT_EQ(files.LogFileName, QStringLiteral("/var/logs/heute.txt"));
}

TEST_F(StartupFiles, DashIAfterAnEmptyFirstArgumentNamesTheConfigurationUnexpanded) {
  qputenv("APPDATA", FTemp.path().toUtf8());
  const TStartupFiles files = StartupFileNames(
      {QString(), QStringLiteral("-i"), QStringLiteral("eigene.ini")}, QStringLiteral("/var"));
  EXPECT_EQ(files.ConfigFileName, QStringLiteral("eigene.ini"));
  EXPECT_EQ(files.LogFileName, QStringLiteral("eigene.log"));
  EXPECT_EQ(ConfigFileLocation(), QStringLiteral("eigene.ini"));
}

TEST_F(StartupFiles, DashIAfterAFirstArgumentHasNoEffect) {
  const TStartupFiles files =
      StartupFileNames({QStringLiteral("a.ini"), QStringLiteral("-i"), QStringLiteral("b.ini")},
                       QStringLiteral("/x"));
  EXPECT_EQ(files.ConfigFileName, QStringLiteral("/x/a.ini"));
  EXPECT_EQ(files.LogFileName, QStringLiteral("/x/a.log"));
}

TEST(CommandLineHandler, LastDashIWinsATrailingOneIsIgnoredAndCaseMatters) {
  SetConfigFileLocation(QStringLiteral("/default.ini"));
  const TCommandLineHandler handler({QStringLiteral("-i"), QStringLiteral("eins.ini"),
                                     QStringLiteral("-I"), QStringLiteral("-i"),
                                     QStringLiteral("zwei.ini"), QStringLiteral("-i")});
  EXPECT_EQ(handler.IniFileName, QStringLiteral("zwei.ini"));
  EXPECT_EQ(handler.Parameters, QStringList{QStringLiteral("-I")});
  const TCommandLineHandler none({QStringLiteral("-i")});
  EXPECT_EQ(none.IniFileName, QStringLiteral("zwei.ini")); // the location set before
  SetConfigFileLocation(QString());
}

TEST(ChangeFileExt, ReplacesOnlyTheLastComponentsExtension) {
  EXPECT_EQ(ChangeFileExt(QStringLiteral("/a.b/plan"), QStringLiteral(".log")),
            QStringLiteral("/a.b/plan.log"));
  EXPECT_EQ(ChangeFileExt(QStringLiteral("/a/plan.x.ini"), QStringLiteral(".log")),
            QStringLiteral("/a/plan.x.log"));
}

namespace {

TEST(TrayCommandLine, FilesAndTheIniOptionReachTheStartupRules) {
  EXPECT_EQ(ParseTrayCommandLine({}).Arguments, QStringList());
  EXPECT_EQ(ParseTrayCommandLine({"plan.ini"}).Arguments, QStringList({"plan.ini"}));
  EXPECT_EQ(ParseTrayCommandLine({"plan.ini", "plan.log", "mehr"}).Arguments,
            QStringList({"plan.ini", "plan.log"}));
  // "-i" names the configuration when none is given by position, as after an empty first one.
  EXPECT_EQ(ParseTrayCommandLine({"-i", "/etc/k.ini"}).Arguments,
            QStringList({"", "-i", "/etc/k.ini"}));
  EXPECT_EQ(ParseTrayCommandLine({"", "-i", "a.ini", "-i", "b.ini"}).Arguments,
            QStringList({"", "-i", "b.ini"}));
  EXPECT_EQ(ParseTrayCommandLine({"plan.ini", "-i"}).Arguments, QStringList({"plan.ini"}));
  // Qt's own options are the application object's, never ours or a file.
  EXPECT_EQ(ParseTrayCommandLine({"-session", "1234abc", "plan.ini", "-reverse"}).Arguments,
            QStringList({"plan.ini"}));
  for (const QStringList &args :
       {QStringList{}, {"plan.ini"}, {"-i", "x.ini"}, {"", "p.log"}, {"-style", "Fusion"}})
    EXPECT_EQ(ParseTrayCommandLine(args).Kind, TTrayCommandLine::Run);
}

TEST(TrayCommandLine, HelpVersionAndAnythingThatLooksLikeAnOption) {
  for (const char *help : {"--help", "-h", "-help"})
    EXPECT_EQ(ParseTrayCommandLine({"plan.ini", help}).Kind, TTrayCommandLine::Help) << help;
  EXPECT_EQ(ParseTrayCommandLine({"--version"}).Kind, TTrayCommandLine::Version);
  EXPECT_EQ(ParseTrayCommandLine({"-v"}).Kind, TTrayCommandLine::Version);

  const TTrayCommandLine unknown = ParseTrayCommandLine({"--hepl"});
  EXPECT_EQ(unknown.Kind, TTrayCommandLine::Error);
  EXPECT_EQ(unknown.Message, "unbekannte Option \"--hepl\" (siehe --help)");
  EXPECT_EQ(ParseTrayCommandLine({"-x"}).Message, "unbekannte Option \"-x\" (siehe --help)");
  // Not even after "--" or as the value of "-i" does a dash start a file name.
  const TTrayCommandLine dashed = ParseTrayCommandLine({"--", "-plan.ini"});
  EXPECT_EQ(dashed.Kind, TTrayCommandLine::Error);
  EXPECT_TRUE(dashed.Message.contains("./-plan.ini"));
  EXPECT_EQ(ParseTrayCommandLine({"-i", "-"}).Kind, TTrayCommandLine::Error);
  EXPECT_EQ(ParseTrayCommandLine({"--"}).Kind, TTrayCommandLine::Run);
}

} // namespace
