#include "actions/Placeholders.h"
#include "TestHelpers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>

namespace {

QString Expanded(QString text, TDateTime now = At(2026, 12, 6, 8, 5, 9)) {
  ExpandPlaceholders(text, now);
  return text;
}

TEST(Placeholders, DateAndTimeFromOneMomentInAnyCase) {
  EXPECT_EQ(Expanded("%TIMESTAMP%"), "20261206080509");
  EXPECT_EQ(Expanded("%fullday%-%Day%.%MONTH%.%year%"), "20261206-06.12.2026");
  EXPECT_EQ(Expanded("%HOUR%:%MINUTE%:%SECOND% %FULLTIME%"), "08:05:09 080509");
  EXPECT_EQ(Expanded("%WEEKDAY%"), "1");                               // a Sunday
  EXPECT_EQ(Expanded("%WEEKDAY%", At(2026, 12, 12, 23, 59, 59)), "7"); // a Saturday
}

TEST(Placeholders, PercentRuleKeepsPairsAndDropsTheRest) {
  EXPECT_EQ(Expanded("100%% Rabatt"), "100% Rabatt");
  EXPECT_EQ(Expanded("50% mehr"), "50 mehr");
  EXPECT_EQ(Expanded("%WINDIR%/notepad"), "WINDIR/notepad");
  EXPECT_EQ(Expanded("%COPY a b"), "COPY a b");
  EXPECT_EQ(Expanded("%%%"), "%");
  EXPECT_EQ(Expanded("%%%%"), "%%");
  EXPECT_EQ(Expanded("%"), "");
}

// The folder's value is inserted as it is: its own percent signs are kept, and a value that
// holds the placeholder does not make the replacement run for ever.
TEST(Placeholders, TempFolderEndsWithSeparatorKeepsItsPercentSignsAndCannotLoop) {
  QByteArray old = qgetenv("TMPDIR");
  qputenv("TMPDIR", "/x/%TEMP%");
  EXPECT_EQ(Expanded("%TEMP%a"), "/x/%TEMP%/a");
  qputenv("TMPDIR", "/tmp/50%");
  EXPECT_EQ(Expanded("%TEMP%%%b%c"), "/tmp/50%/%bc");
  old.isEmpty() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", old);
}

class RandomFiles : public ::testing::Test {
protected:
  QTemporaryDir Dir;
  std::mt19937 Engine{42};
  void SetUp() override {
    for (const char *name : {"a.jpg", "b.jpg", "c.jpg", "d.txt"}) {
      QFile f(Dir.filePath(name));
      ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    RandomIndexSource() = [this](int count) {
      return std::uniform_int_distribution<int>(0, count - 1)(Engine);
    };
  }
  void TearDown() override {
    RandomIndexSource() = [](int) { return 0; };
  }
};

TEST_F(RandomFiles, TokenChoosesOneMatchOrLeavesThePattern) {
  QStringList seen;
  for (int i = 0; i < 30; ++i) {
    QString text = Expanded("viewer %RANDFILE" + Dir.path() + "/*.jpg%");
    ASSERT_TRUE(text.startsWith("viewer " + Dir.path() + "/")) << text.toStdString();
    QString name = text.section(u'/', -1);
    EXPECT_TRUE(QStringList({"a.jpg", "b.jpg", "c.jpg"}).contains(name)) << name.toStdString();
    seen.append(name);
  }
  seen.removeDuplicates();
  EXPECT_EQ(seen.size(), 3);
  EXPECT_EQ(Expanded("viewer %RANDFILE" + Dir.path() + "/*.png%"),
            "viewer " + Dir.path() + "/*.png");
  EXPECT_EQ(Expanded("a%RANDFILE%b"), "ab");
  EXPECT_EQ(Expanded("%COPY %RANDFILE" + Dir.path() + "/*.txt% /z"),
            "COPY " + Dir.path() + "/d.txt /z");
}

TEST_F(RandomFiles, FileArgumentKinds) {
  QString plain = Dir.filePath("a.jpg");
  EXPECT_EQ(ExpandFileArgument(plain), QStringList{plain});
  QString pattern = Dir.path() + "/*.jpg";
  EXPECT_EQ(ExpandFileArgument(pattern),
            (QStringList{Dir.filePath("a.jpg"), Dir.filePath("b.jpg"), Dir.filePath("c.jpg")}));
  EXPECT_EQ(pattern, Dir.path() + "/*.jpg");
  QString random = "@" + Dir.path() + "/*.txt";
  EXPECT_EQ(ExpandFileArgument(random), QStringList{Dir.filePath("d.txt")});
  EXPECT_EQ(random, Dir.filePath("d.txt"));
  const QString before = QDir::currentPath();
  QDir::setCurrent(Dir.path());
  QString bare = "*.txt";
  EXPECT_EQ(ExpandFileArgument(bare), QStringList{"d.txt"});
  QDir::setCurrent(before);
}

} // namespace
