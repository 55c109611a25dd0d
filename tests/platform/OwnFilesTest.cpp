// Files that are ours alone: what we refuse to read, how the log is appended to.
#include "platform/OwnFiles.h"

#include "TestFiles.h"
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::int64_t Limit = 1024 * 1024;

QByteArray Native(const QString &path) {
  return QFile::encodeName(path);
}

class OwnFiles : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(FTemp.isValid());
    FOldMask = umask(022);
  }
  void TearDown() override { umask(FOldMask); }
  QString Path(const QString &name) const { return FTemp.filePath(name); }
  QTemporaryDir FTemp;
  mode_t FOldMask = 0;
};

// Whoever may change the file, or a folder above it, could make us start his programs: such
// a file is refused before a byte of it is read, as sshd refuses such files.
TEST_F(OwnFiles, AFileOthersMayChangeIsRefusedWithTheFolderToBlame) {
  const QString file = Path(QStringLiteral("a/b/k.ini"));
  ASSERT_TRUE(QDir().mkpath(Path(QStringLiteral("a/b"))));
  WriteBytes(file, "[General]\n");
  TOwnFileContents read = ReadOwnFile(file, Limit);
  EXPECT_TRUE(read.Ok());
  EXPECT_EQ(read.Bytes, "[General]\n");

  for (const mode_t mode : {0666, 0620, 0602}) {
    ASSERT_EQ(chmod(Native(file).constData(), mode), 0);
    read = ReadOwnFile(file, Limit);
    EXPECT_EQ(read.Refusal, TFileRefusal::WritableByOthers) << std::oct << mode;
    EXPECT_TRUE(read.Bytes.isEmpty());
  }
  ASSERT_EQ(chmod(Native(file).constData(), 0644), 0);

  // A folder anyone may write, two levels up: named as the culprit. With the sticky bit (as
  // /tmp has) nobody may replace another's entries, so it is fine.
  ASSERT_EQ(chmod(Native(Path(QStringLiteral("a"))).constData(), 0777), 0);
  read = ReadOwnFile(file, Limit);
  EXPECT_EQ(read.Refusal, TFileRefusal::FolderWritableByOthers);
  EXPECT_EQ(read.Culprit, Path(QStringLiteral("a")));
  // A missing file in such a folder is refused too: we would create it there.
  EXPECT_EQ(ReadOwnFile(Path(QStringLiteral("a/neu.ini")), Limit).Refusal,
            TFileRefusal::FolderWritableByOthers);
  ASSERT_EQ(chmod(Native(Path(QStringLiteral("a"))).constData(), 01777), 0);
  EXPECT_TRUE(ReadOwnFile(file, Limit).Ok());

  // Reached through a link from a safe folder, the real folder still counts.
  ASSERT_EQ(chmod(Native(Path(QStringLiteral("a/b"))).constData(), 0775), 0);
  ASSERT_TRUE(QFile::link(file, Path(QStringLiteral("link.ini"))));
  read = ReadOwnFile(Path(QStringLiteral("link.ini")), Limit);
  EXPECT_EQ(read.Refusal, TFileRefusal::FolderWritableByOthers);
  EXPECT_EQ(read.Culprit, Path(QStringLiteral("a/b")));
}

// A file or folder of another user (not root) is refused; only root can make one here.
TEST_F(OwnFiles, AnotherUsersFileOrFolderIsRefused) {
  if (geteuid() != 0)
    GTEST_SKIP() << "only root can give a file to another user";
  ASSERT_TRUE(QDir().mkpath(Path(QStringLiteral("fremd"))));
  const QString file = Path(QStringLiteral("k.ini"));
  WriteBytes(file, "[General]\n");
  ASSERT_EQ(chown(Native(file).constData(), 65534, 65534), 0);
  EXPECT_EQ(ReadOwnFile(file, Limit).Refusal, TFileRefusal::ForeignOwner);

  const QString inside = Path(QStringLiteral("fremd/k.ini"));
  WriteBytes(inside, "[General]\n");
  ASSERT_EQ(chown(Native(Path(QStringLiteral("fremd"))).constData(), 65534, 65534), 0);
  const TOwnFileContents read = ReadOwnFile(inside, Limit);
  EXPECT_EQ(read.Refusal, TFileRefusal::FolderForeignOwner);
  EXPECT_EQ(read.Culprit, Path(QStringLiteral("fremd")));
}

// A FIFO, a device, a folder and a file beyond the limit are refused at once: none of them
// may hold the scheduler up or fill its memory.
TEST_F(OwnFiles, OnlyRegularFilesWithinTheLimitAreRead) {
  const QString fifo = Path(QStringLiteral("fifo"));
  ASSERT_EQ(mkfifo(Native(fifo).constData(), 0600), 0);
  const QString big = Path(QStringLiteral("gross.ini"));
  WriteBytes(big, "");
  ASSERT_EQ(truncate(Native(big).constData(), Limit + 1), 0);
  QElapsedTimer timer;
  timer.start();
  EXPECT_EQ(ReadOwnFile(fifo, Limit).Refusal, TFileRefusal::NotRegular);
  EXPECT_EQ(ReadOwnFile(QStringLiteral("/dev/zero"), Limit).Refusal, TFileRefusal::NotRegular);
  EXPECT_EQ(ReadOwnFile(FTemp.path(), Limit).Refusal, TFileRefusal::NotRegular);
  EXPECT_EQ(ReadOwnFile(big, Limit).Refusal, TFileRefusal::TooLarge);
  ASSERT_EQ(truncate(Native(big).constData(), Limit), 0);
  EXPECT_TRUE(ReadOwnFile(big, Limit).Ok());
  EXPECT_LT(timer.elapsed(), 2000);

  const TOwnFileContents missing = ReadOwnFile(Path(QStringLiteral("fehlt.ini")), Limit);
  EXPECT_TRUE(missing.Ok());
  EXPECT_FALSE(missing.Exists);
}

// The log: created owner-only under umask 022, appended to, and never followed through a
// link, written into a FIFO (nor waited on) or into another user's file.
TEST_F(OwnFiles, TheLogIsAppendedOnlyToARegularFileOfOurs) {
  const QString log = Path(QStringLiteral("k.log"));
  EXPECT_TRUE(AppendOwnFile(log, "eins\r\n").Ok());
  EXPECT_TRUE(AppendOwnFile(log, "zwei\r\n").Ok());
  EXPECT_EQ(ReadBytes(log), "eins\r\nzwei\r\n");
  struct stat st {};
  ASSERT_EQ(stat(Native(log).constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);

  const QString target = Path(QStringLiteral("ziel"));
  WriteBytes(target, "fremd\n");
  ASSERT_TRUE(QFile::link(target, Path(QStringLiteral("link.log"))));
  EXPECT_EQ(AppendOwnFile(Path(QStringLiteral("link.log")), "x").Refusal, TFileRefusal::Link);
  ASSERT_TRUE(QFile::link(Path(QStringLiteral("neu")), Path(QStringLiteral("dangling.log"))));
  EXPECT_EQ(AppendOwnFile(Path(QStringLiteral("dangling.log")), "x").Refusal, TFileRefusal::Link);
  EXPECT_FALSE(QFile::exists(Path(QStringLiteral("neu"))));
  EXPECT_EQ(ReadBytes(target), "fremd\n");

  const QString fifo = Path(QStringLiteral("fifo.log"));
  ASSERT_EQ(mkfifo(Native(fifo).constData(), 0600), 0);
  QElapsedTimer timer;
  timer.start();
  EXPECT_EQ(AppendOwnFile(fifo, "x").Refusal, TFileRefusal::NotRegular);
  // With a reader at the other end the FIFO opens, and is refused all the same.
  const int reader = open(Native(fifo).constData(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  EXPECT_EQ(AppendOwnFile(fifo, "x").Refusal, TFileRefusal::NotRegular);
  char byte = 0;
  EXPECT_LE(read(reader, &byte, 1), 0);
  close(reader);
  EXPECT_LT(timer.elapsed(), 2000);

  if (geteuid() == 0) {
    ASSERT_EQ(chown(Native(log).constData(), 65534, 65534), 0);
    EXPECT_EQ(AppendOwnFile(log, "drei\r\n").Refusal, TFileRefusal::ForeignOwner);
    EXPECT_EQ(ReadBytes(log), "eins\r\nzwei\r\n");
  }
}

} // namespace
