#include "platform/DirSearch.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(Wildcard, StarAndQuestionMarkOnlyAndCaseSensitive) {
  EXPECT_TRUE(MatchesWildcard("bericht.txt", "*.txt"));
  EXPECT_TRUE(MatchesWildcard("a1.txt", "a?.txt"));
  EXPECT_FALSE(MatchesWildcard("a12.txt", "a?.txt"));
  EXPECT_FALSE(MatchesWildcard("A.TXT", "*.txt"));
  EXPECT_TRUE(MatchesWildcard("x[1].txt", "x[1].txt"));
  EXPECT_TRUE(MatchesWildcard("", "*"));
  EXPECT_FALSE(MatchesWildcard(QString(200, u'a'), QString(50, u'*') + "b"));
}

TEST(DirSearch, FindsDotNamesAndFoldersButNeverDotAndDotDot) {
  QTemporaryDir dir;
  for (const char *name : {"b.txt", ".versteckt", "a.TXT"}) {
    QFile f(dir.filePath(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  }
  ASSERT_TRUE(QDir(dir.path()).mkdir("sub"));
  EXPECT_EQ(FindEntries(dir.path(), "*"), (QStringList{".versteckt", "a.TXT", "b.txt", "sub"}));
  EXPECT_EQ(FindEntries(dir.path() + "/", "*.txt"), QStringList{"b.txt"});
  EXPECT_TRUE(FindEntries(dir.filePath("missing"), "*").isEmpty());
}
