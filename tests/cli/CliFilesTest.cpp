// The built kronolab-cli against damaged, foreign and hostile files, full disks and size
// limits: it tells what happened in German, runs nothing it should not, and never writes
// over what it could not read.
#include "TestFiles.h"
#include "cli/RunCli.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

namespace {

// A configuration of the given action sections, CR LF and UTF-8 as we write it.
QString Configuration(const QStringList &sections, const QString &general = QString()) {
  QString text =
      QStringLiteral("[General]\r\n%1Count=%2\r\n\r\n").arg(general).arg(sections.size());
  for (int n = 1; n <= sections.size(); ++n)
    text += QStringLiteral("[Action%1]\r\n%2\r\n\r\n").arg(n).arg(sections[n - 1]);
  return text;
}

// An entry due at once at start: a message, whose text shows on standard output when it ran.
QString StartMessage(const QString &text) {
  return QStringLiteral("TimePoint=2\r\nSuddenStart=1\r\nFirstDate=46000.5\r\nAction=\"%1\"")
      .arg(text);
}

// An entry due at once at start that makes a folder: proof that the file's commands ran.
QString StartMkdir(const QString &folder) {
  return QStringLiteral("TimePoint=2\r\nSuddenStart=1\r\nFirstDate=46000.5\r\nAction=%MKDIR %1")
      .arg(folder);
}

mode_t Mode(const QString &path) {
  struct stat st {};
  return stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

class CliFiles : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(FTemp.isValid());
    FOldMask = umask(022);
  }
  void TearDown() override { umask(FOldMask); }
  QString Path(const QString &name = QStringLiteral("k.ini")) const { return FTemp.filePath(name); }
  QTemporaryDir FTemp;
  mode_t FOldMask = 0;
};

// Old Mac line ends and Notepad's "Unicode" are read and run; the save writes UTF-8, CR LF.
TEST_F(CliFiles, CrOnlyAndUtf16ConfigurationsRunAndAreSavedAsUtf8) {
  const QString text = Configuration({StartMessage(QStringLiteral("Grüße aus der Datei"))});
  QStringEncoder utf16(QStringConverter::Utf16LE);
  const struct {
    const char *Form;
    QByteArray Bytes;
  } forms[] = {
      {"CR only", QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\r")).toUtf8()},
      {"UTF-16 LE", QByteArray("\xFF\xFE") + QByteArray(utf16.encode(text))},
  };
  for (const auto &form : forms) {
    SCOPED_TRACE(form.Form);
    WriteBytes(Path(), form.Bytes);
    const TCliRun list = RunCli({QStringLiteral("list"), Path()});
    EXPECT_EQ(list.Status, 0) << list.Err.toStdString();
    EXPECT_TRUE(list.Out.contains(QStringLiteral("Grüße aus der Datei")));
    const TCliRun run =
        RunCli({QStringLiteral("run"), Path(), QStringLiteral("--ticks"), QStringLiteral("1")});
    EXPECT_EQ(run.Status, 0) << run.Err.toStdString();
    EXPECT_TRUE(run.Out.contains(QStringLiteral("Grüße aus der Datei"))) << run.Out.toStdString();
    const QByteArray saved = ReadBytes(Path());
    EXPECT_TRUE(saved.startsWith("[General]\r\n")) << saved.toStdString();
    EXPECT_TRUE(saved.contains("Action=\"Grüße aus der Datei\"\r\n"));
    EXPECT_TRUE(saved.contains("LastDate="));
    EXPECT_FALSE(saved.contains('\0'));
  }
}

// A binary, UTF-16 without its mark and another program's file: list, simulate and run say so
// in German and end with 1; no command of theirs runs and the bytes stay as they were.
TEST_F(CliFiles, FilesWeCannotReadAreNeitherRunNorWrittenOver) {
  const QString marker = Path(QStringLiteral("lief"));
  const QString text = Configuration({StartMkdir(marker)});
  QStringEncoder utf16(QStringConverter::Utf16LE);
  const QByteArray files[] = {
      QByteArray("\x1F\x8B\x08\0\0\0\0\0", 8) + text.toUtf8(),
      QByteArray(utf16.encode(text)),
      QStringLiteral("#!/bin/sh\nmkdir %1\n").arg(marker).toUtf8(),
  };
  for (const QByteArray &bytes : files) {
    SCOPED_TRACE(bytes.left(12).toHex().toStdString());
    WriteBytes(Path(), bytes);
    for (const QStringList &args :
         {QStringList{QStringLiteral("list"), Path()},
          QStringList{QStringLiteral("simulate"), Path(), QStringLiteral("--from"),
                      QStringLiteral("2026-01-01 00:00:00"), QStringLiteral("--to"),
                      QStringLiteral("2026-01-01 00:00:10")},
          QStringList{QStringLiteral("run"), Path(), QStringLiteral("--ticks"),
                      QStringLiteral("1")}}) {
      const TCliRun run = RunCli(args);
      EXPECT_FALSE(run.Crashed);
      EXPECT_EQ(run.Status, 1) << args[0].toStdString();
      EXPECT_TRUE(run.Err.contains(QStringLiteral("wird weder gelesen noch überschrieben")))
          << run.Err.toStdString();
    }
    EXPECT_EQ(ReadBytes(Path()), bytes);
    EXPECT_FALSE(QFileInfo::exists(marker));
  }
}

// One entry with a date no calendar holds beside a good one: list, simulate and run all go
// on; the good entry runs; the bad one is named once and never runs.
TEST_F(CliFiles, AHugeDateBesideAGoodEntryIsToldOnceAndTheGoodOneRuns) {
  const QString marker = Path(QStringLiteral("schlecht"));
  WriteBytes(Path(),
             Configuration({QStringLiteral("TimePoint=2\r\nSuddenStart=1\r\nFirstDate=1E12\r\n"
                                           "Action=%MKDIR %1")
                                .arg(marker),
                            StartMessage(QStringLiteral("Die gute Aktion"))})
                 .toUtf8());
  const TCliRun list = RunCli({QStringLiteral("list"), Path()});
  EXPECT_EQ(list.Status, 0);
  EXPECT_TRUE(list.Out.contains(QStringLiteral("Die gute Aktion")));
  EXPECT_EQ(list.Err.count(QStringLiteral("FirstDate=1E12")), 1) << list.Err.toStdString();
  EXPECT_TRUE(list.Err.contains(QStringLiteral("Aktion 1 („%MKDIR")));

  const TCliRun simulate = RunCli({QStringLiteral("simulate"), Path(), QStringLiteral("--from"),
                                   QStringLiteral("2026-01-01 00:00:00"), QStringLiteral("--to"),
                                   QStringLiteral("2026-01-03 00:00:00"),
                                   QStringLiteral("--interval"), QStringLiteral("3600000")});
  EXPECT_EQ(simulate.Status, 0) << simulate.Err.toStdString();
  EXPECT_TRUE(simulate.Out.contains(QStringLiteral("#1 \"Die gute Aktion\"")));

  const TCliRun run =
      RunCli({QStringLiteral("run"), Path(), QStringLiteral("--ticks"), QStringLiteral("3")});
  EXPECT_EQ(run.Status, 0) << run.Err.toStdString();
  EXPECT_EQ(run.Out.count(QStringLiteral("Die gute Aktion")), 1) << run.Out.toStdString();
  EXPECT_EQ(run.Out.count(QStringLiteral("FirstDate=1E12")), 1);
  EXPECT_FALSE(QFileInfo::exists(marker));
}

// Under umask 022 everything the program creates is ours alone: its folders 0700, the
// configuration and the log 0600.
TEST_F(CliFiles, WhatTheProgramCreatesIsOwnerOnlyUnderUmask022) {
  const auto umask022 = [] { umask(022); };
  // The default location, made from nothing below an empty home folder.
  ASSERT_TRUE(QDir().mkpath(Path(QStringLiteral("home"))));
  ASSERT_TRUE(QDir().mkpath(Path(QStringLiteral("laufzeit"))));
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove(QStringLiteral("APPDATA"));
  env.remove(QStringLiteral("XDG_CONFIG_HOME"));
  env.insert(QStringLiteral("HOME"), Path(QStringLiteral("home")));
  env.insert(QStringLiteral("XDG_RUNTIME_DIR"), Path(QStringLiteral("laufzeit")));
  const TCliRun first = RunCli(
      {QStringLiteral("run"), QStringLiteral("--ticks"), QStringLiteral("1")}, umask022, env);
  EXPECT_EQ(first.Status, 0) << first.Err.toStdString();
  int configurations = 0;
  for (QDirIterator it(Path(QStringLiteral("home")),
                       QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                       QDirIterator::Subdirectories);
       it.hasNext();) {
    const QString path = it.next();
    if (QFileInfo(path).isDir()) {
      EXPECT_EQ(Mode(path), 0700u) << path.toStdString();
    }
    if (path.endsWith(QStringLiteral(".ini"))) {
      ++configurations;
      EXPECT_EQ(Mode(path), 0600u) << path.toStdString();
    }
  }
  EXPECT_EQ(configurations, 1);

  // A named configuration created by the save, and the log of its run.
  const QString config = Path(QStringLiteral("neu.ini"));
  const QString log = Path(QStringLiteral("neu.log"));
  EXPECT_EQ(
      RunCli({QStringLiteral("run"), config, log, QStringLiteral("--ticks"), QStringLiteral("1")},
             umask022)
          .Status,
      0);
  EXPECT_EQ(Mode(config), 0600u);
  WriteBytes(config, Configuration({StartMessage(QStringLiteral("protokolliert"))},
                                   QStringLiteral("Logging=1\r\n"))
                         .toUtf8());
  ASSERT_EQ(chmod(QFile::encodeName(config).constData(), 0600), 0);
  const TCliRun logged =
      RunCli({QStringLiteral("run"), config, log, QStringLiteral("--ticks"), QStringLiteral("1")},
             umask022);
  EXPECT_EQ(logged.Status, 0) << logged.Err.toStdString();
  EXPECT_TRUE(ReadBytes(log).contains("protokolliert"));
  EXPECT_EQ(Mode(log), 0600u);
}

// A configuration others may change, or one in a folder others may write without the sticky
// bit, could make us run their commands: it is refused, naming the file, and nothing runs.
TEST_F(CliFiles, AConfigurationOthersMayChangeIsRefusedAndNothingOfItRuns) {
  const QString marker = Path(QStringLiteral("lief"));
  const QByteArray bytes = Configuration({StartMkdir(marker)}).toUtf8();
  ASSERT_TRUE(QDir().mkpath(Path(QStringLiteral("offen"))));
  ASSERT_EQ(chmod(QFile::encodeName(Path(QStringLiteral("offen"))).constData(), 0777), 0);
  const struct {
    QString File;
    mode_t FileMode;
    const char *Reason;
  } cases[] = {
      {Path(), 0666, "andere Benutzer dürfen sie ändern"},
      {Path(QStringLiteral("offen/k.ini")), 0600, "andere Benutzer dürfen im Ordner"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Reason);
    WriteBytes(c.File, bytes);
    ASSERT_EQ(chmod(QFile::encodeName(c.File).constData(), c.FileMode), 0);
    const TCliRun run =
        RunCli({QStringLiteral("run"), c.File, QStringLiteral("--ticks"), QStringLiteral("1")});
    EXPECT_EQ(run.Status, 1);
    EXPECT_TRUE(run.Err.contains(QString::fromUtf8(c.Reason))) << run.Err.toStdString();
    EXPECT_TRUE(run.Err.contains(c.File));
    EXPECT_EQ(RunCli({QStringLiteral("list"), c.File}).Status, 1);
    EXPECT_FALSE(QFileInfo::exists(marker));
    EXPECT_EQ(ReadBytes(c.File), bytes);
    EXPECT_EQ(Mode(c.File), c.FileMode);
  }
}

// A device, a FIFO and a file beyond 64 MB as configuration end the command at once.
TEST_F(CliFiles, ADeviceAFifoOrAHugeFileAsConfigurationEndsAtOnce) {
  const QString fifo = Path(QStringLiteral("fifo.ini"));
  ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  const QString huge = Path(QStringLiteral("gross.ini"));
  WriteBytes(huge, "[General]\r\n");
  ASSERT_EQ(truncate(QFile::encodeName(huge).constData(), 64LL * 1024 * 1024 + 1), 0);
  for (const QString &file : {QStringLiteral("/dev/zero"), fifo, huge}) {
    const TCliRun list = RunCli({QStringLiteral("list"), file});
    EXPECT_EQ(list.Status, 1) << file.toStdString();
    EXPECT_LT(list.Ms, 20000); // a read that blocked would never end
    EXPECT_TRUE(list.Err.contains(file));
    EXPECT_TRUE(list.Err.contains(QStringLiteral("keine gewöhnliche Datei")) ||
                list.Err.contains(QStringLiteral("mehr als 64 MB")))
        << list.Err.toStdString();
  }
}

// A FIFO as log: the run neither waits for a reader nor writes into it; it says why and goes
// on, and its runs are saved as ever.
TEST_F(CliFiles, AFifoAsLogIsToldWithoutBlockingAndTheRunGoesOn) {
  const QString fifo = Path(QStringLiteral("k.log"));
  ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  WriteBytes(Path(), Configuration({StartMessage(QStringLiteral("mit Protokoll"))},
                                   QStringLiteral("Logging=1\r\n"))
                         .toUtf8());
  const TCliRun run =
      RunCli({QStringLiteral("run"), Path(), fifo, QStringLiteral("--ticks"), QStringLiteral("2")});
  EXPECT_EQ(run.Status, 0) << run.Err.toStdString();
  EXPECT_LT(run.Ms, 20000);
  EXPECT_TRUE(run.Out.contains(QStringLiteral("mit Protokoll")));
  EXPECT_TRUE(run.Out.contains(QStringLiteral("Die Protokolldatei „%1“ kann nicht geschrieben "
                                              "werden: sie ist keine gewöhnliche Datei")
                                   .arg(fifo)))
      << run.Out.toStdString();
  EXPECT_TRUE(ReadBytes(Path()).contains("LastDate="));
}

// A full disk (a small tmpfs, as root): the save fails with the system's reason in German,
// the old file stays byte for byte and no temporary file is left; with room again the same
// run saves and says nothing.
TEST_F(CliFiles, AFullDiskLeavesTheOldFileAndSaysWhy) {
  if (geteuid() != 0)
    GTEST_SKIP() << "mounting a tmpfs needs root";
  const QString mount = Path(QStringLiteral("platte"));
  ASSERT_TRUE(QDir().mkpath(mount));
  if (QProcess::execute(QStringLiteral("mount"),
                        {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                         QStringLiteral("size=128k,mode=0700"), QStringLiteral("tmpfs"), mount}) !=
      0)
    GTEST_SKIP() << "no tmpfs could be mounted";
  const QString config = mount + QStringLiteral("/k.ini");
  const QByteArray bytes = Configuration({StartMessage(QStringLiteral("voll"))}).toUtf8();
  WriteBytes(config, bytes);
  ASSERT_EQ(chmod(QFile::encodeName(config).constData(), 0600), 0);
  {
    QFile filler(mount + QStringLiteral("/füller"));
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    const QByteArray block(4096, 'x');
    while (filler.write(block) == block.size()) {
    }
  }
  const TCliRun full =
      RunCli({QStringLiteral("run"), config, QStringLiteral("--ticks"), QStringLiteral("1")});
  EXPECT_EQ(full.Status, 1);
  EXPECT_TRUE(full.Err.contains(QStringLiteral("Die Datei „%1“ kann nicht geschrieben werden: "
                                               "Kein Speicherplatz auf dem Gerät")
                                    .arg(config)))
      << full.Err.toStdString();
  EXPECT_EQ(ReadBytes(config), bytes);
  // No temporary file of the save is left; the run journal beside it may have begun.
  QStringList left = QDir(mount).entryList(QDir::Files | QDir::Hidden);
  left.removeIf([](const QString &name) { return name.startsWith(QStringLiteral("k.sqlite")); });
  EXPECT_EQ(left, QStringList({QStringLiteral("füller"), QStringLiteral("k.ini")}));

  ASSERT_TRUE(QFile::remove(mount + QStringLiteral("/füller")));
  const TCliRun roomy =
      RunCli({QStringLiteral("run"), config, QStringLiteral("--ticks"), QStringLiteral("1")});
  EXPECT_EQ(roomy.Status, 0) << roomy.Err.toStdString();
  EXPECT_FALSE(roomy.Err.contains(QStringLiteral("run:"))) << roomy.Err.toStdString();
  EXPECT_TRUE(ReadBytes(config).contains("LastDate="));
  QProcess::execute(QStringLiteral("umount"), {mount});
}

// A file-size limit (ulimit -f) makes the save fail with a German reason instead of killing
// the program with SIGXFSZ; the old file stays.
TEST_F(CliFiles, AFileSizeLimitIsAnErrorNotAKill) {
  QStringList sections;
  for (int n = 0; n < 40; ++n)
    sections.append(StartMessage(QStringLiteral("Eintrag %1").arg(n)));
  const QByteArray bytes = Configuration(sections).toUtf8();
  ASSERT_GT(bytes.size(), 2000);
  WriteBytes(Path(), bytes);
  const TCliRun run =
      RunCli({QStringLiteral("run"), Path(), QStringLiteral("--ticks"), QStringLiteral("1")}, [] {
        const rlimit limit{1000, 1000};
        setrlimit(RLIMIT_FSIZE, &limit);
      });
  EXPECT_FALSE(run.Crashed);
  EXPECT_EQ(run.Status, 1);
  EXPECT_TRUE(run.Err.contains(QStringLiteral("überschreitet die erlaubte Dateigröße")))
      << run.Err.toStdString();
  EXPECT_EQ(ReadBytes(Path()), bytes);
}

// What a save killed between writing and renaming left beside the configuration is removed
// when the scheduler starts, if it is old; a read-only command leaves it.
TEST_F(CliFiles, TheLeftoverOfAKilledSaveIsRemovedWhenTheSchedulerStarts) {
  WriteBytes(Path(), Configuration({}).toUtf8());
  const QString old = Path(QStringLiteral("k.ini.Ab12Cd"));
  const QString fresh = Path(QStringLiteral("k.ini.Xy34Zw"));
  WriteBytes(old, QByteArray(872 * 1024, 'x'));
  WriteBytes(fresh, "x");
  const utimbuf twoHoursAgo{time(nullptr) - 7200, time(nullptr) - 7200};
  ASSERT_EQ(utime(QFile::encodeName(old).constData(), &twoHoursAgo), 0);
  EXPECT_EQ(RunCli({QStringLiteral("list"), Path()}).Status, 0);
  EXPECT_TRUE(QFileInfo::exists(old));
  EXPECT_EQ(RunCli({QStringLiteral("run"), Path(), QStringLiteral("--ticks"), QStringLiteral("1")})
                .Status,
            0);
  EXPECT_FALSE(QFileInfo::exists(old));
  EXPECT_TRUE(QFileInfo::exists(fresh));
}

} // namespace
