// kronolab-cli run as users meet it: the built program started with real files, signals sent,
// a second scheduler tried through every way to the same file.
#include "CliProcessFixture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// One scheduler per file however it is reached: another spelling, a symbolic link, a hard link,
// the folder mounted elsewhere (as root), another or no runtime folder, and the tray program.
// Each second start is refused at once; the first saves when it is ended.
TEST_F(CliProcess, ASecondSchedulerIsRefusedAtOnceThroughEveryWayToTheFile) {
  WriteBytes(Config, Configuration({Ready}));
  ASSERT_TRUE(QDir(Dir.path()).mkdir(QStringLiteral("b")));
  const QString symlink = Dir.filePath(QStringLiteral("b/verweis.ini"));
  const QString hardLink = Dir.filePath(QStringLiteral("b/zweitname.ini"));
  ASSERT_TRUE(QFile::link(Config, symlink));
  ASSERT_EQ(link(QFile::encodeName(Config).constData(), QFile::encodeName(hardLink).constData()),
            0);

  QProcessEnvironment first = Environment;
  first.insert(QStringLiteral("XDG_RUNTIME_DIR"), Dir.filePath(QStringLiteral("b")));
  QProcess *holder = Start({QStringLiteral("run"), Config}, first);
  QByteArray seen;
  ASSERT_TRUE(WaitForOutput(holder, "bereit", seen)) << seen.toStdString();

  QProcessEnvironment otherRuntime = Environment, noRuntime = Environment;
  otherRuntime.insert(QStringLiteral("XDG_RUNTIME_DIR"), Dir.path());
  noRuntime.remove(QStringLiteral("XDG_RUNTIME_DIR"));
  struct TWay {
    QString Name, File;
    QProcessEnvironment Environment;
  };
  QList<TWay> ways = {
      {QStringLiteral("other runtime folder"), Config, otherRuntime},
      {QStringLiteral("no runtime folder"), Config, noRuntime},
      {QStringLiteral("other spelling"), Dir.path() + QStringLiteral("/b/../k.ini"), first},
      {QStringLiteral("symbolic link"), symlink, first},
      {QStringLiteral("hard link"), hardLink, otherRuntime}};
  QTemporaryDir view;
  const bool mounted = geteuid() == 0 && mount(QFile::encodeName(Dir.path()).constData(),
                                               QFile::encodeName(view.path()).constData(), nullptr,
                                               MS_BIND, nullptr) == 0;
  if (mounted)
    ways.append({QStringLiteral("bind mount"), view.filePath(QStringLiteral("k.ini")), noRuntime});
  // What starting the program costs at all on this machine now, to tell "at once" from a wait
  // (the longest of three runs: a busy machine varies).
  qint64 baseline = 0;
  for (int i = 0; i < 3; ++i) {
    QProcess *baselineRun = nullptr;
    baseline =
        std::max(baseline, RunWith(baselineRun, {QStringLiteral("list"), Config}, noRuntime));
  }
  for (const TWay &way : ways) {
    QProcess *second = nullptr;
    const qint64 ms = RunWith(
        second, {QStringLiteral("run"), way.File, QStringLiteral("--ticks"), QStringLiteral("1")},
        way.Environment);
    EXPECT_EQ(second->exitCode(), 1) << way.Name.toStdString();
    EXPECT_TRUE(second->readAllStandardError().contains("läuft schon")) << way.Name.toStdString();
    EXPECT_TRUE(second->readAllStandardOutput().isEmpty()) << way.Name.toStdString();
    EXPECT_LT(ms, baseline + 500) << way.Name.toStdString();
  }
  // The tray program started for the same file ends at once, too.
  QProcessEnvironment tray = noRuntime;
  tray.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  QProcess *trayStart = nullptr;
  const qint64 trayMs =
      RunWith(trayStart, {symlink}, tray, 30000, QStringLiteral(KRONOLAB_PROGRAM));
  EXPECT_TRUE(trayStart->readAllStandardError().contains("läuft schon"));
  EXPECT_LT(trayMs, baseline + 1500);
  if (mounted)
    umount(QFile::encodeName(view.path()).constData());

  kill(static_cast<pid_t>(holder->processId()), SIGTERM);
  ASSERT_TRUE(holder->waitForFinished(30000));
  EXPECT_EQ(holder->exitCode(), 0) << holder->readAllStandardError().toStdString();
  TScheduler saved;
  saved.LoadConfiguration(Config);
  ASSERT_EQ(saved.ActionList().Count(), 1);
  EXPECT_NEAR(saved.ActionList()[0]->LastDate, 46000 + RunMark, 1e-9);
  // Once it has ended, the file is free again.
  QProcess *next = nullptr;
  Run(next, {QStringLiteral("run"), hardLink, QStringLiteral("--ticks"), QStringLiteral("0")});
  EXPECT_EQ(next->exitCode(), 0) << next->readAllStandardError().toStdString();
}

// Without a file, kronolab-cli works on the tray program's configuration (and its lock).
TEST_F(CliProcess, WithoutAFileItUsesTheTrayProgramsConfiguration) {
  const QString trayConfig =
      Dir.filePath(QStringLiteral("config/Kronolab-Software/kronolab/kronolab.ini"));
  QProcess *list = nullptr;
  Run(list, {QStringLiteral("list")});
  EXPECT_EQ(list->exitCode(), 0);
  ASSERT_TRUE(QFileInfo(QFileInfo(trayConfig).absolutePath()).isDir());
  EXPECT_FALSE(
      QFileInfo::exists(Dir.filePath(QStringLiteral("config/Kronolab-Software/kronolab-cli"))));
  WriteBytes(trayConfig, Configuration({Ready}));
  Run(list, {QStringLiteral("list")});
  EXPECT_TRUE(list->readAllStandardOutput().contains("\"bereit\""));

  QProcess *holder = Start({QStringLiteral("run")}, Environment);
  QByteArray seen;
  ASSERT_TRUE(WaitForOutput(holder, "bereit", seen));
  QProcess *second = nullptr;
  Run(second, {QStringLiteral("run"), trayConfig, QStringLiteral("--ticks"), QStringLiteral("1")});
  EXPECT_EQ(second->exitCode(), 1);
  kill(static_cast<pid_t>(holder->processId()), SIGTERM);
  ASSERT_TRUE(holder->waitForFinished(30000));
  EXPECT_EQ(holder->exitCode(), 0);
}

// A grid far below a millisecond with every missed call wanted keeps every tick busy; SIGTERM
// is still answered within a second, and the runs recorded so far are saved.
TEST_F(CliProcess, ATinyFrequencyStillAnswersSigtermWithinASecondAndSaves) {
  for (const QString &freq : {QStringLiteral("1E-300"), QStringLiteral("1E-9")}) {
    TSection tiny{0,    QStringLiteral("46000"),  QStringLiteral("45999"), freq, false,
                  true, QStringLiteral("%NICHTS")};
    WriteBytes(Config, Configuration({Ready, tiny}));
    QProcess *run = Start({QStringLiteral("run"), Config}, Environment);
    QByteArray seen;
    ASSERT_TRUE(WaitForOutput(run, "bereit", seen));
    QThread::msleep(1500); // well inside the busy ticks
    QElapsedTimer answered;
    answered.start();
    kill(static_cast<pid_t>(run->processId()), SIGTERM);
    ASSERT_TRUE(run->waitForFinished(10000));
    EXPECT_LT(answered.elapsed(), 1000) << freq.toStdString();
    EXPECT_EQ(run->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run->exitCode(), 0) << run->readAllStandardError().toStdString();
    TScheduler saved;
    saved.LoadConfiguration(Config);
    ASSERT_GE(saved.ActionList().Count(), 1);
    EXPECT_NEAR(saved.ActionList()[0]->LastDate, 46000 + RunMark, 1e-9) << freq.toStdString();
  }
}

// The tray program runs the same ticks: busy with a tiny frequency, it still ends within a
// second of SIGTERM and saves.
TEST_F(CliProcess, TheTrayProgramAlsoAnswersSigtermWithinASecondAndSaves) {
  TSection tiny{
      0,    QStringLiteral("46000"),  QStringLiteral("45999"), QStringLiteral("1E-9"), false,
      true, QStringLiteral("%NICHTS")};
  // The start-up call leaves a mark, made after its tick has recorded it.
  const QString started = Dir.filePath(QStringLiteral("gestartet"));
  WriteBytes(Config,
             Configuration({AtStart(QStringLiteral("/usr/bin/touch \"") + started + u'"'), tiny}));
  QProcessEnvironment tray = Environment;
  tray.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  QProcess *run = Start({Config}, tray, QStringLiteral(KRONOLAB_PROGRAM));
  QElapsedTimer waited;
  waited.start();
  while (!QFileInfo::exists(started) && waited.elapsed() < 60000)
    QThread::msleep(10);
  ASSERT_TRUE(QFileInfo::exists(started)) << "the first tick never came";
  QElapsedTimer answered;
  answered.start();
  kill(static_cast<pid_t>(run->processId()), SIGTERM);
  ASSERT_TRUE(run->waitForFinished(10000));
  EXPECT_LT(answered.elapsed(), 1000);
  EXPECT_EQ(run->exitStatus(), QProcess::NormalExit);
  TScheduler saved;
  saved.LoadConfiguration(Config);
  ASSERT_GE(saved.ActionList().Count(), 1);
  EXPECT_NEAR(saved.ActionList()[0]->LastDate, 46000 + RunMark, 1e-9);
}

// Three daily entries at one point run in the first tick, in list order, and all three runs
// are saved.
TEST_F(CliProcess, ThreeEntriesAtOnePointRunInOneTick) {
  QList<TSection> daily;
  for (const char *word : {"eins", "zwei", "drei"})
    daily.append({2,
                  QStringLiteral("46000"),
                  QStringLiteral("0"),
                  {},
                  false,
                  false,
                  QStringLiteral("\"%1\"").arg(QLatin1String(word))});
  WriteBytes(Config, Configuration(daily, 1000, true));
  QProcess *run = nullptr;
  Run(run, {QStringLiteral("run"), Config, QStringLiteral("--ticks"), QStringLiteral("1")});
  EXPECT_EQ(run->exitCode(), 0);
  const QString out = QString::fromUtf8(run->readAllStandardOutput());
  const qsizetype one = out.indexOf(u"\neins\n"), two = out.indexOf(u"\nzwei\n"),
                  three = out.indexOf(u"\ndrei\n");
  EXPECT_TRUE(one >= 0 && one < two && two < three) << out.toStdString();
  EXPECT_EQ(ReadBytes(Dir.filePath(QStringLiteral("k.log"))).count("\r\n"), 3);
  TScheduler saved;
  saved.LoadConfiguration(Config);
  ASSERT_EQ(saved.ActionList().Count(), 3);
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(saved.ActionList()[i]->LastDate, saved.ActionList()[0]->LastDate);
  EXPECT_GT(saved.ActionList()[0]->LastDate, 46000);
}

// A FIFO in the journal's place: run sets it aside with a German message and goes on (its call
// made and recorded), and history over a FIFO ends at once, saying why.
TEST_F(CliProcess, AFifoAsJournalNeitherHoldsUpRunNorHistory) {
  WriteBytes(Config, Configuration({Ready}, 50));
  const QString journal = Dir.filePath(QStringLiteral("k.sqlite"));
  ASSERT_EQ(mkfifo(journal.toUtf8().constData(), 0600), 0);
  QProcess *run = nullptr;
  Run(run, {QStringLiteral("run"), Config, QStringLiteral("--ticks"), QStringLiteral("2")});
  EXPECT_EQ(run->exitCode(), 0);
  const QString out = QString::fromUtf8(run->readAllStandardOutput());
  EXPECT_TRUE(out.contains(u"bereit") && out.contains(u"beiseitegelegt")) << out.toStdString();
  QProcess *history = nullptr;
  Run(history, {QStringLiteral("history"), Config});
  EXPECT_EQ(history->exitCode(), 0);
  const QByteArray lines = history->readAllStandardOutput();
  EXPECT_EQ(lines.count('\n'), 1);
  EXPECT_TRUE(lines.contains("bereit")) << lines.toStdString();

  for (const char *suffix : {"", "-wal", "-shm"})
    QFile::remove(journal + QString::fromLatin1(suffix));
  ASSERT_EQ(mkfifo(journal.toUtf8().constData(), 0600), 0);
  Run(history, {QStringLiteral("history"), Config});
  EXPECT_EQ(history->exitCode(), 1);
  const QString why = QString::fromUtf8(history->readAllStandardError());
  EXPECT_TRUE(why.contains(u"keine gewöhnliche Datei")) << why.toStdString();
}

// A timer of interval 0 never fires: "--ticks" does not wait for ticks that never come.
TEST_F(CliProcess, IntervalZeroWithTicksEnds) {
  WriteBytes(Config, Configuration({Ready}, 0));
  QProcess *run = nullptr;
  const qint64 ms =
      Run(run, {QStringLiteral("run"), Config, QStringLiteral("--ticks"), QStringLiteral("3")});
  EXPECT_LT(ms, 20000); // waiting for a tick would take the whole 30 s
  EXPECT_EQ(run->exitCode(), 0);
  EXPECT_TRUE(run->readAllStandardError().contains("Intervall 0"));
  EXPECT_TRUE(run->readAllStandardOutput().isEmpty());
}

// Ticks that take a good part of the interval (each one makes up missed calls for its whole
// time budget) still start on the grid: six ticks of 700 ms take five intervals and one tick,
// not six intervals plus six ticks.
TEST_F(CliProcess, TicksKeepToTheGridWhateverTheyTake) {
  TSection busy{
      0,    QStringLiteral("46000"),  QStringLiteral("46000.00001"), QStringLiteral("1E-9"), false,
      true, QStringLiteral("%NICHTS")};
  WriteBytes(Config, Configuration({busy}, 700));
  QProcess *run = nullptr;
  const qint64 ms =
      Run(run, {QStringLiteral("run"), Config, QStringLiteral("--ticks"), QStringLiteral("6")});
  EXPECT_EQ(run->exitCode(), 0);
  // On the grid: 5 × 700 + one tick (at most 500) + the start; drifting: at least 5 × 700 +
  // 6 × 250.
  EXPECT_GT(ms, 3500);
  EXPECT_LT(ms, 4650);
}

// A file picked at random whose name holds blanks, an option or a quote reaches the program,
// EXEC's program and COPY as exactly one argument.
TEST_F(CliProcess, AChosenFileIsOneArgument) {
  const QString folder = Dir.filePath(QStringLiteral("wahl"));
  const QString target = Dir.filePath(QStringLiteral("ziel"));
  ASSERT_TRUE(QDir().mkdir(folder));
  ASSERT_TRUE(QDir().mkdir(target));
  const QString echo = Dir.filePath(QStringLiteral("echo.txt"));
  QProcessEnvironment environment = Environment;
  environment.insert(QStringLiteral("ARGECHO_OUT"), echo);
  for (const QString &name : {QStringLiteral("a --evil b"), QStringLiteral("sag \"hallo\" \\")}) {
    const QString chosen = folder + u'/' + name;
    WriteBytes(chosen, "inhalt");
    const QString token = QStringLiteral("%RANDFILE") + folder + QStringLiteral("/*%");
    WriteBytes(Config,
               Configuration({AtStart(QStringLiteral(ARGECHO_PATH " vorn ") + token + " hinten"),
                              AtStart(QStringLiteral("%COPY ") + token + u' ' + target)}));
    QProcess *run = nullptr;
    RunWith(run, {QStringLiteral("run"), Config, QStringLiteral("--ticks"), QStringLiteral("1")},
            environment);
    EXPECT_EQ(run->exitCode(), 0);
    QStringList lines;
    for (int i = 0; i < 3000 && lines.isEmpty(); ++i) {
      lines = QString::fromUtf8(ReadBytes(echo)).split(u'\n', Qt::SkipEmptyParts);
      QThread::msleep(10);
    }
    ASSERT_GE(lines.size(), 3) << name.toStdString();
    EXPECT_EQ(lines.mid(3),
              (QStringList{QStringLiteral("arg=vorn"), QStringLiteral("arg=") + chosen,
                           QStringLiteral("arg=hinten")}));
    EXPECT_EQ(ReadBytes(target + u'/' + name), "inhalt") << name.toStdString();
    EXPECT_TRUE(run->readAllStandardOutput().isEmpty()); // no failure reported
    QFile::remove(echo);
    QFile::remove(chosen);
  }
}

// COPY, LZHCOPY and MOVE onto another file system keep the file's modification time and permissions
// (a tmpfs mounted as root; skipped otherwise).
TEST_F(CliProcess, CopiesAndMovesAcrossFileSystemsKeepTimeAndMode) {
  if (geteuid() != 0)
    GTEST_SKIP() << "mounting needs root";
  QTemporaryDir other;
  ASSERT_TRUE(other.isValid());
  if (mount("tmpfs", QFile::encodeName(other.path()).constData(), "tmpfs", 0, "size=4m") != 0)
    GTEST_SKIP() << "tmpfs cannot be mounted here";
  const QString copied = Dir.filePath(QStringLiteral("kopie.txt"));
  const QString moved = Dir.filePath(QStringLiteral("weg.txt"));
  const timespec old[2] = {{978307200, 0}, {981173106, 123456789}}; // 2001
  for (const QString &file : {copied, moved}) {
    WriteBytes(file, "alt");
    ASSERT_EQ(chmod(QFile::encodeName(file).constData(), 0640), 0);
    ASSERT_EQ(utimensat(AT_FDCWD, QFile::encodeName(file).constData(), old, 0), 0);
  }
  const QString lzh = other.filePath(QStringLiteral("lzh.txt"));
  WriteBytes(Config,
             Configuration({AtStart(QStringLiteral("%COPY ") + copied + u' ' + other.path()),
                            AtStart(QStringLiteral("%LZHCOPY ") + copied + u' ' + lzh),
                            AtStart(QStringLiteral("%MOVE ") + moved + u' ' + other.path())}));
  QProcess *run = nullptr;
  Run(run, {QStringLiteral("run"), Config, QStringLiteral("--ticks"), QStringLiteral("1")});
  EXPECT_EQ(run->exitCode(), 0);
  EXPECT_TRUE(run->readAllStandardOutput().isEmpty());
  for (const char *name : {"kopie.txt", "lzh.txt", "weg.txt"}) {
    struct stat info {};
    ASSERT_EQ(stat(QFile::encodeName(other.filePath(QLatin1String(name))).constData(), &info), 0)
        << name;
    EXPECT_EQ(info.st_mtim.tv_sec, old[1].tv_sec) << name;
    EXPECT_EQ(info.st_mtim.tv_nsec, old[1].tv_nsec) << name;
    EXPECT_EQ(info.st_mode & 07777, 0640u) << name;
  }
  EXPECT_TRUE(QFileInfo::exists(copied));
  EXPECT_FALSE(QFileInfo::exists(moved));
  umount(QFile::encodeName(other.path()).constData());
}

} // namespace

// A German desktop from end to end: kronolab-cli and then the tray program run and save the
// file under de_DE.UTF-8, and after both restarts every action is still there, with its
// values, and every number in the file is written with a point.
TEST_F(CliProcess, AGermanLocaleKeepsEveryActionAcrossRestartsOfBothPrograms) {
  QList<TSection> sections{
      AtStart(QStringLiteral("%NICHTS")),
      {2, QStringLiteral("46000.375"), {}, {}, false, false, QStringLiteral("\"täglich\"")},
      {0,
       QStringLiteral("46000.25"),
       {},
       QStringLiteral("0.5"),
       false,
       true,
       QStringLiteral("\"halbtags\"")}};
  WriteBytes(Config, Configuration(sections, 1000, true));
  QProcessEnvironment german = Environment;
  german.insert(QStringLiteral("LANG"), QStringLiteral("de_DE.UTF-8"));
  german.insert(QStringLiteral("LC_ALL"), QStringLiteral("de_DE.UTF-8"));
  german.insert(QStringLiteral("TZ"), QStringLiteral("Europe/Berlin"));
  QProcess *run = nullptr;
  RunWith(run, {QStringLiteral("run"), Config, QStringLiteral("--ticks"), QStringLiteral("1")},
          german);
  EXPECT_EQ(run->exitCode(), 0) << run->readAllStandardError().constData();

  // The tray program's start-up call is logged: then it has loaded, and SIGTERM saves.
  const QString log = Dir.filePath(QStringLiteral("k.log"));
  const qint64 logged = QFileInfo(log).size();
  german.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  QProcess *tray = Start({Config}, german, QStringLiteral(KRONOLAB_PROGRAM));
  QElapsedTimer waited;
  waited.start();
  while (QFileInfo(log).size() == logged && waited.elapsed() < 30000)
    tray->waitForFinished(100);
  kill(static_cast<pid_t>(tray->processId()), SIGTERM);
  ASSERT_TRUE(tray->waitForFinished(30000));

  const QByteArray saved = ReadBytes(Config);
  EXPECT_FALSE(saved.contains(',')) << saved.constData();
  TScheduler reloaded;
  reloaded.LoadConfiguration(Config);
  ASSERT_EQ(reloaded.ActionList().Count(), 3) << saved.constData();
  EXPECT_DOUBLE_EQ(reloaded.ActionList()[1]->FirstDate, 46000.375);
  EXPECT_DOUBLE_EQ(reloaded.ActionList()[2]->Freq, 0.5);
  EXPECT_GT(reloaded.ActionList()[0]->LastDate, 46000);
  QProcess *list = nullptr;
  RunWith(list, {QStringLiteral("list"), Config}, german);
  const QString listed = QString::fromUtf8(list->readAllStandardOutput());
  EXPECT_TRUE(listed.contains(u"täglich") && listed.contains(u"halbtags")) << listed.toStdString();
}
