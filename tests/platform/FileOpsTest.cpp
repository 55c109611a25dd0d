#include "platform/FileOps.h"
#include "platform/Folders.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class FileOps : public ::testing::Test {
protected:
  QTemporaryDir Dir;
  QString P(const char *name) { return Dir.filePath(QString::fromUtf8(name)); }
  void Write(const char *name, const QByteArray &bytes) {
    QFile f(P(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }
  QByteArray Read(const char *name) {
    QFile f(P(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
  }
};

TEST_F(FileOps, CopyReplacesTargetAndKeepsFileCopiedOntoItself) {
  Write("a.txt", "neu");
  Write("b.txt", "alt");
  EXPECT_TRUE(CopyFileReplacing(P("a.txt"), P("b.txt")));
  EXPECT_EQ(Read("b.txt"), "neu");
  EXPECT_TRUE(CopyFileReplacing(P("a.txt"), Dir.path() + "/./a.txt"));
  EXPECT_EQ(Read("a.txt"), "neu");
  EXPECT_EQ(QDir(Dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2); // no temp left
}

TEST_F(FileOps, FailedCopyLeavesTargetUntouchedAndSaysWhichStep) {
  Write("b.txt", "alt");
  TCopyFailure failure = TCopyFailure::None;
  EXPECT_FALSE(CopyFileReplacing(P("missing"), P("b.txt"), &failure));
  EXPECT_EQ(failure, TCopyFailure::OpenSource);
  EXPECT_EQ(Read("b.txt"), "alt");
  EXPECT_FALSE(CopyFileReplacing(P("b.txt"), P("nofolder/c.txt"), &failure));
  EXPECT_EQ(failure, TCopyFailure::CreateTarget);
  EXPECT_FALSE(CopyFileReplacing(Dir.path(), P("c.txt"), &failure)); // a folder as source
}

TEST_F(FileOps, MoveAndRenameNeverReplace) {
  Write("a.txt", "a");
  Write("b.txt", "b");
  EXPECT_FALSE(MoveFileNoReplace(P("a.txt"), P("b.txt")));
  EXPECT_EQ(Read("b.txt"), "b");
  EXPECT_FALSE(RenameFile(P("a.txt"), P("b.txt")));
  ASSERT_TRUE(QDir(Dir.path()).mkdir("sub"));
  EXPECT_TRUE(RenameFile(P("a.txt"), P("sub/a.txt")));
  EXPECT_EQ(Read("sub/a.txt"), "a");
  EXPECT_TRUE(MoveFileNoReplace(P("b.txt"), P("c.txt")));
  EXPECT_FALSE(QFile::exists(P("b.txt")));
}

TEST_F(FileOps, DeleteMkdirAndFolderTests) {
  Write("a.txt", "a");
  EXPECT_TRUE(DeleteFile(P("a.txt")));
  EXPECT_FALSE(DeleteFile(P("a.txt")));
  EXPECT_TRUE(CreateFolder(P(".hidden")));
  EXPECT_FALSE(CreateFolder(P(".hidden")));
  EXPECT_FALSE(CreateFolder(P("x/y")));
  EXPECT_FALSE(DeleteFile(P(".hidden")));
  EXPECT_TRUE(IsFolder(P(".hidden")));
  EXPECT_TRUE(IsFolder(P(".hidden/")));
  EXPECT_FALSE(IsFolder(P("a.txt")));
}

TEST(Folders, TempFolderFollowsTmpdirAndEndsWithSeparator) {
  QByteArray old = qgetenv("TMPDIR");
  qputenv("TMPDIR", "/var/tmp");
  EXPECT_EQ(TempFolder(), QStringLiteral("/var/tmp/"));
  qunsetenv("TMPDIR");
  EXPECT_EQ(TempFolder(), QStringLiteral("/tmp/"));
  if (!old.isEmpty())
    qputenv("TMPDIR", old);
}

} // namespace
