#include "platform/FileOps.h"
#include "platform/Folders.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

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

// A copy keeps the source's modification time and permissions, as a copy on Windows keeps
// its time.
TEST_F(FileOps, CopyKeepsModificationTimeAndPermissions) {
  Write("a.txt", "alt");
  Write("b.txt", "wird ersetzt");
  const timespec times[2] = {{978307200, 0}, {981173106, 123456789}};
  ASSERT_EQ(chmod(QFile::encodeName(P("a.txt")).constData(), 0640), 0);
  ASSERT_EQ(utimensat(AT_FDCWD, QFile::encodeName(P("a.txt")).constData(), times, 0), 0);
  ASSERT_TRUE(CopyFileReplacing(P("a.txt"), P("b.txt")));
  struct stat copy {};
  ASSERT_EQ(stat(QFile::encodeName(P("b.txt")).constData(), &copy), 0);
  EXPECT_EQ(copy.st_mtim.tv_sec, times[1].tv_sec);
  EXPECT_EQ(copy.st_mtim.tv_nsec, times[1].tv_nsec);
  EXPECT_EQ(copy.st_mode & 07777, 0640u);
}

// The calls a move makes, replaced for one test: a file system that refuses to link (vfat,
// exFAT) on the other side of a move across file systems.
class NoLinkFileSystem : public FileOps {
protected:
  void SetUp() override {
    FSaved = NoReplaceCalls();
    NoReplaceCalls().Link = [this](const char *, const char *) {
      ++LinkCalls;
      errno = EPERM;
      return -1;
    };
    // The first rename meets another file system; later ones are the real call.
    NoReplaceCalls().RenameNoReplace = [this](const char *from, const char *to) {
      if (Renames++ == 0) {
        errno = EXDEV;
        return -1;
      }
      return FSaved.RenameNoReplace(from, to);
    };
  }
  void TearDown() override { NoReplaceCalls() = FSaved; }
  TNoReplaceCalls FSaved;
  int LinkCalls = 0, Renames = 0;
};

TEST_F(NoLinkFileSystem, AMoveThatCannotLinkStillPutsTheCopyInPlaceWithoutReplacing) {
  Write("a.txt", "a");
  ASSERT_TRUE(MoveFileNoReplace(P("a.txt"), P("b.txt")));
  EXPECT_EQ(LinkCalls, 1);
  EXPECT_EQ(Read("b.txt"), "a");
  EXPECT_FALSE(QFile::exists(P("a.txt")));

  Renames = 0;
  Write("c.txt", "c");
  EXPECT_FALSE(MoveFileNoReplace(P("c.txt"), P("b.txt")));
  EXPECT_EQ(Read("b.txt"), "a");
  EXPECT_EQ(Read("c.txt"), "c");
  EXPECT_EQ(QDir(Dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2); // no temp left

  // Without RENAME_NOREPLACE either, the move still never replaces.
  NoReplaceCalls().RenameNoReplace = [](const char *, const char *) {
    errno = EINVAL;
    return -1;
  };
  EXPECT_FALSE(MoveFileNoReplace(P("c.txt"), P("b.txt")));
  EXPECT_EQ(Read("b.txt"), "a");
  EXPECT_TRUE(MoveFileNoReplace(P("c.txt"), P("d.txt")));
  EXPECT_EQ(Read("d.txt"), "c");
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
