#include "core/IniHelp.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Each case starts without a cached location and restores the environment it changes.
class ConfigLocation : public ::testing::Test {
protected:
  void SetUp() override {
    ResetConfigFileLocation();
    ASSERT_TRUE(FTemp.isValid());
    FOldAppData = qgetenv("APPDATA");
    FHadAppData = qEnvironmentVariableIsSet("APPDATA");
    FProgram = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
  }
  void TearDown() override {
    ResetConfigFileLocation();
    if (FHadAppData)
      qputenv("APPDATA", FOldAppData);
    else
      qunsetenv("APPDATA");
  }
  // kronolab.ini in the running program's folder.
  QString BesideProgram() const {
    return QFileInfo(FProgram).absolutePath() + QStringLiteral("/kronolab.ini");
  }
  QTemporaryDir FTemp;
  QByteArray FOldAppData;
  bool FHadAppData = false;
  QString FProgram;
};

// Whatever the running program is called, it uses the tray program's configuration.
TEST_F(ConfigLocation, CreatesVendorAndProgramFoldersBelowAppData) {
  qputenv("APPDATA", FTemp.path().toUtf8());
  const QString expected =
      FTemp.path() + QStringLiteral("/Kronolab-Software/kronolab/kronolab.ini");
  if (QFile::exists(BesideProgram()))
    GTEST_SKIP() << "a configuration lies beside the test program";
  EXPECT_EQ(ConfigFileLocation(), expected);
  const QFileInfo folder(QFileInfo(expected).absolutePath());
  EXPECT_TRUE(folder.isDir());
  EXPECT_EQ(folder.permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteOther),
            QFile::Permissions());
  // Cached: a changed environment no longer matters.
  qputenv("APPDATA", FTemp.filePath(QStringLiteral("anders")).toUtf8());
  EXPECT_EQ(ConfigFileLocation(), expected);
}

TEST_F(ConfigLocation, AFileBesideTheProgramWins) {
  const QString beside = BesideProgram();
  QFile file(beside);
  if (!file.open(QIODevice::WriteOnly))
    GTEST_SKIP() << "the program folder is not writable";
  file.close();
  qputenv("APPDATA", FTemp.path().toUtf8());
  EXPECT_EQ(ConfigFileLocation(), beside);
  QFile::remove(beside);
  EXPECT_FALSE(QFileInfo::exists(FTemp.filePath(QStringLiteral("Kronolab-Software"))));
}

TEST_F(ConfigLocation, SetReplacesTheCachedPathAndEmptyMeansRecompute) {
  SetConfigFileLocation(QStringLiteral("/eigen.ini"));
  EXPECT_EQ(ConfigFileLocation(), QStringLiteral("/eigen.ini"));
  qputenv("APPDATA", FTemp.path().toUtf8());
  SetConfigFileLocation(QString());
  EXPECT_NE(ConfigFileLocation(), QStringLiteral("/eigen.ini"));
}

} // namespace
