// The tray program as its user meets it: the built `kronolab` started as a process on a private
// X server with a window manager, with and without a notification area, ended every way there
// is, driven by real key and mouse events.
#include "TestFiles.h"
#include "XSession.h"
#include "base/DateTime.h"
#include "core/Scheduler.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cmath>
#include <csignal>
#include <gtest/gtest.h>

namespace {

// The user's limit: ending takes at most a second; a sanitized program then still scans its
// heap for leaks, which takes about as long again.
#ifdef KRONOLAB_SANITIZED
constexpr qint64 EndWithinMs = 1000 + 2000;
#else
constexpr qint64 EndWithinMs = 1000;
#endif

class TrayProgram : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(Temp.isValid());
    Config = Temp.filePath(QStringLiteral("k.ini"));
    Ran = Temp.filePath(QStringLiteral("lief"));
    // One action, made when the program starts: its run is recorded in LastDate, which only
    // a save at the end brings into the file.
    WriteBytes(Config, QStringLiteral("[General]\r\nInterval=100\r\nCount=1\r\n\r\n"
                                      "[Action1]\r\nTimePoint=1\r\nSuddenStart=1\r\n"
                                      "FirstDate= 7.30000000000000E+0004\r\n"
                                      "LastDate= 7.30000000000000E+0004\r\n"
                                      "Action=%MKDIR %1\r\n\r\n")
                           .arg(Ran)
                           .toUtf8());
  }

  void TearDown() override {
    if (Program.state() != QProcess::NotRunning) {
      Program.kill();
      Program.waitForFinished(3000);
    }
  }

  // A display with a window manager, and a notification area when tray is true.
  void StartDisplay(bool tray) {
    ASSERT_TRUE(X.Start()) << X.Error.toStdString();
    if (tray) {
      ASSERT_TRUE(X.StartTray());
    }
  }

  // Starts kronolab on the configuration and waits until it has made its start action.
  void StartProgram(QProcess &program) {
    QProcessEnvironment env = Session->Environment();
    env.insert(QStringLiteral("HOME"), Temp.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), Temp.filePath(QStringLiteral(".config")));
    env.remove(QStringLiteral("APPDATA"));
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(QStringLiteral(KRONOLAB_PATH), {Config});
    ASSERT_TRUE(program.waitForStarted(30000));
  }
  void StartProgram() {
    StartProgram(Program);
    ASSERT_TRUE(WaitUntil([&] { return QFileInfo(Ran).isDir(); }, 60000))
        << "the start action did not run";
  }

  // Milliseconds from now until the program has ended (waiting up to limit), or -1. It must
  // end as a program does, not by a crash.
  qint64 MsUntilEnded(int limit = 30000) {
    QElapsedTimer timer;
    timer.start();
    if (!WaitUntil([&] { return Program.state() == QProcess::NotRunning; }, limit))
      return -1;
    const qint64 ms = timer.elapsed();
    EXPECT_EQ(Program.exitStatus(), QProcess::NormalExit) << "crashed";
    return ms;
  }

  // True when the file holds the start action's run: the program saved on its way out.
  bool SavedTheRun() const {
    TScheduler saved;
    saved.LoadConfiguration(Config);
    // The run of a once-only entry is recorded as its due point plus the run mark.
    return saved.ActionList().Count() == 1 &&
           std::abs(saved.ActionList()[0]->LastDate - (73000 + RunMark)) < RunMark / 2;
  }

  // The visible top-level windows titled exactly title.
  QStringList Windows(const QString &title) const {
    const QString ids = XDoTool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                 QStringLiteral("--name"), u'^' + title + u'$'},
                                X.Display);
    return ids.isEmpty() ? QStringList() : ids.split(u'\n');
  }
  // How many windows of the program are on screen (a menu is one).
  qsizetype ProgramWindows() const {
    const QString ids = XDoTool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                 QStringLiteral("--pid"), QString::number(Program.processId())},
                                X.Display);
    return ids.isEmpty() ? 0 : ids.split(u'\n').size();
  }
  // The window shown in place of the tray icon (titled like the program), or empty.
  QString FallbackWindow() const { return Windows(QStringLiteral("Kronolab")).value(0); }

  // Opens the menu with a right click at (x, y) of window and chooses "&Beenden" by its key.
  void ChooseBeenden(const QString &window, int x, int y) {
    const qsizetype windows = ProgramWindows();
    XDoTool({QStringLiteral("mousemove"), QStringLiteral("--window"), window, QString::number(x),
             QString::number(y), QStringLiteral("click"), QStringLiteral("3")},
            X.Display);
    // The menu takes the keyboard once it is open (a window more of the program's); its
    // mnemonic ends the program.
    WaitUntil([&] { return ProgramWindows() > windows; });
    XDoTool({QStringLiteral("key"), QStringLiteral("b")}, X.Display);
  }

  // Ends the program with signal and checks that it saved and ended in time.
  void EndsBySignal(int signal) {
    ::kill(static_cast<pid_t>(Program.processId()), signal);
    const qint64 ms = MsUntilEnded();
    ASSERT_GE(ms, 0) << "still running after the signal";
    EXPECT_LE(ms, EndWithinMs);
    EXPECT_EQ(Program.exitCode(), 0);
    EXPECT_TRUE(SavedTheRun());
  }

  // The first visible window titled exactly title, once it is there (empty: none came).
  QString Shown(const QString &title) {
    QString id;
    WaitUntil([&] { return !(id = Windows(title).value(0)).isEmpty(); });
    return id;
  }
  // Sends keys to window once the window manager has made it active and the X focus is there:
  // its key bindings (Alt+F4) act on the window it holds active.
  void Keys(const QString &window, const QStringList &keys) {
    XDoTool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), window}, X.Display);
    EXPECT_TRUE(WaitUntil([&] {
      return ActivatedByWindowManager(window.toULongLong(), X.Display);
    })) << "window "
        << window.toStdString() << " never active";
    XDoTool(QStringList{QStringLiteral("key")} + keys, X.Display);
  }
  // The program's windows on screen with their titles, for a failure's message.
  std::string ShownWindows() const {
    QStringList shown;
    const QString ids = XDoTool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                 QStringLiteral("--pid"), QString::number(Program.processId())},
                                X.Display);
    for (const QString &id : ids.split(u'\n', Qt::SkipEmptyParts))
      shown << id + QStringLiteral(" „") +
                   XDoTool({QStringLiteral("getwindowname"), id}, X.Display) + u'“';
    return shown.join(QStringLiteral(", ")).toStdString();
  }

  QTemporaryDir Temp;
  QString Config, Ran;
  TXSession X;
  // The display the program starts on.
  TXSession *Session = &X;
  QProcess Program;
};

TEST_F(TrayProgram, WithoutATrayBeendenInTheWindowsMenuSavesAndEndsWithinASecond) {
  ASSERT_NO_FATAL_FAILURE(StartDisplay(false));
  StartProgram();
  QString window;
  ASSERT_TRUE(WaitUntil([&] { return !(window = FallbackWindow()).isEmpty(); }));
  ChooseBeenden(window, 30, 30);
  const qint64 ms = MsUntilEnded();
  ASSERT_GE(ms, 0) << "still running after Beenden";
  EXPECT_LE(ms, EndWithinMs);
  EXPECT_EQ(Program.exitCode(), 0);
  EXPECT_TRUE(SavedTheRun());
}

TEST_F(TrayProgram, WithoutATrayTheWindowsCloseBoxSavesAndEnds) {
  ASSERT_NO_FATAL_FAILURE(StartDisplay(false));
  StartProgram();
  QString window;
  ASSERT_TRUE(WaitUntil([&] { return !(window = FallbackWindow()).isEmpty(); }));
  CloseByWindowManager(window, X.Display);
  const qint64 ms = MsUntilEnded();
  ASSERT_GE(ms, 0) << "still running after closing its window " << window.toStdString()
                   << "; shown: " << ShownWindows();
  EXPECT_LE(ms, EndWithinMs);
  EXPECT_EQ(Program.exitCode(), 0);
  EXPECT_TRUE(SavedTheRun());
}

TEST_F(TrayProgram, TermIntAndHupSaveAndEndWithoutATray) {
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(testing::Message() << "signal " << signal);
    TXSession x;
    Session = &x;
    ASSERT_TRUE(x.Start()) << x.Error.toStdString();
    SetUp();
    QDir(Ran).removeRecursively();
    StartProgram();
    EndsBySignal(signal);
  }
}

TEST_F(TrayProgram, TermIntAndHupSaveAndEndInTheTray) {
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(testing::Message() << "signal " << signal);
    TXSession x;
    Session = &x;
    ASSERT_TRUE(x.Start()) << x.Error.toStdString();
    ASSERT_TRUE(x.StartTray());
    SetUp();
    QDir(Ran).removeRecursively();
    StartProgram();
    ASSERT_TRUE(WaitUntil([&] { return x.TrayPanelWidth() > 2; })) << "not in the tray";
    EndsBySignal(signal);
  }
}

TEST_F(TrayProgram, InTheTrayBeendenInTheIconsMenuSavesAndEnds) {
  ASSERT_NO_FATAL_FAILURE(StartDisplay(true));
  StartProgram();
  ASSERT_TRUE(WaitUntil([&] { return X.TrayPanelWidth() > 2; })) << "the icon did not dock";
  EXPECT_TRUE(FallbackWindow().isEmpty());
  ChooseBeenden(X.TrayPanel(), 10, 16);
  const qint64 ms = MsUntilEnded();
  ASSERT_GE(ms, 0) << "still running after Beenden";
  EXPECT_LE(ms, EndWithinMs);
  EXPECT_EQ(Program.exitCode(), 0);
  EXPECT_TRUE(SavedTheRun());
}

// At login the panel often starts after the programs, and a panel may restart.
TEST_F(TrayProgram, ATrayThatComesLaterTakesTheIconAndTheWindowComesBackWhenItGoes) {
  ASSERT_NO_FATAL_FAILURE(StartDisplay(false));
  StartProgram();
  ASSERT_TRUE(WaitUntil([&] { return !FallbackWindow().isEmpty(); }));

  ASSERT_TRUE(X.StartTray());
  EXPECT_TRUE(WaitUntil([&] { return X.TrayPanelWidth() > 2 && FallbackWindow().isEmpty(); }))
      << "the icon did not move into the new tray";

  X.StopTray();
  EXPECT_TRUE(WaitUntil([&] { return !FallbackWindow().isEmpty(); }))
      << "no window after the tray went";

  ASSERT_TRUE(X.StartTray());
  EXPECT_TRUE(WaitUntil([&] { return X.TrayPanelWidth() > 2 && FallbackWindow().isEmpty(); }))
      << "the icon did not move into the restarted tray";
  // No message about a missing tray: one came within the grace period.
  EXPECT_TRUE(Windows(QStringLiteral("Kronolab")).isEmpty());

  EndsBySignal(SIGTERM);
}

// With the switch on, Shift held at the start pauses the program, and it says so.
TEST_F(TrayProgram, ShiftAtTheStartPausesAndSaysSo) {
  QByteArray config = ReadBytes(Config);
  config.replace("[General]\r\n", "[General]\r\nNoShiftReaction=0\r\n");
  WriteBytes(Config, config);
  ASSERT_NO_FATAL_FAILURE(StartDisplay(true));
  XDoTool({QStringLiteral("keydown"), QStringLiteral("shift")}, X.Display);
  StartProgram(Program);
  // The notice is the only window titled like the program: the icon is in the tray.
  const bool told = WaitUntil([&] { return !Windows(QStringLiteral("Kronolab")).isEmpty(); });
  XDoTool({QStringLiteral("keyup"), QStringLiteral("shift")}, X.Display);
  EXPECT_TRUE(told) << "no notice";
  Pause(1000);
  EXPECT_FALSE(QFileInfo::exists(Ran)) << "ran although paused";
  ::kill(static_cast<pid_t>(Program.processId()), SIGTERM);
  EXPECT_GE(MsUntilEnded(), 0);
  // Saved with the switch as it was and no run recorded.
  TScheduler saved;
  saved.LoadConfiguration(Config);
  EXPECT_FALSE(saved.NoShiftReaction());
  EXPECT_FALSE(SavedTheRun());
}

// The session ends: the X server goes, and Qt ends the program at once.
TEST_F(TrayProgram, TheDisplayGoingAwaySavesAndEnds) {
  ASSERT_NO_FATAL_FAILURE(StartDisplay(false));
  StartProgram();
  ASSERT_TRUE(WaitUntil([&] { return !FallbackWindow().isEmpty(); }));
  X.StopServer();
  const qint64 ms = MsUntilEnded();
  ASSERT_GE(ms, 0) << "still running without its display";
  EXPECT_LE(ms, EndWithinMs);
  EXPECT_TRUE(SavedTheRun());
}

// An open editor (a modal window) ends with the program; its unconfirmed edits are dropped.
TEST_F(TrayProgram, TermEndsAlsoWhileTheEditorIsOpen) {
  ASSERT_NO_FATAL_FAILURE(StartDisplay(false));
  StartProgram();
  // A second start hands over to the running one, which opens its editor.
  QProcess second;
  StartProgram(second);
  ASSERT_TRUE(second.waitForFinished(30000));
  ASSERT_TRUE(WaitUntil([&] {
    return !XDoTool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                     QStringLiteral("--name"), QStringLiteral("^Kronolab -- ")},
                    X.Display)
                .isEmpty();
  })) << "no editor";
  EndsBySignal(SIGTERM);
}

// "&Beenden" in the tray's menu, then the close box of the window shown once the tray is gone,
// ten times each while busy processes hold both cores: each ends within a second of the key.
TEST_F(TrayProgram, TwentyQuitsFromTheMenuAndTheCloseBoxEachEndWithinASecond) {
  ASSERT_NO_FATAL_FAILURE(StartDisplay(true));
  QProcess busy[2];
  for (QProcess &process : busy)
    process.start(QStringLiteral("sh"),
                  {QStringLiteral("-c"), QStringLiteral("while :; do :; done")});
  for (int quit = 0; quit < 20; ++quit) {
    SCOPED_TRACE(testing::Message() << "quit " << quit);
    if (quit == 10)
      X.StopTray();
    QDir(Ran).removeRecursively();
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    if (quit < 10 && WaitUntil([&] { return X.TrayPanelWidth() > 2; }))
      ChooseBeenden(X.TrayPanel(), 10, 16);
    else
      Keys(Shown(QStringLiteral("Kronolab")), {QStringLiteral("alt+F4")});
    const qint64 ms = MsUntilEnded();
    EXPECT_TRUE(ms >= 0 && ms <= EndWithinMs) << ms << " ms";
    EXPECT_TRUE(Program.exitCode() == 0 && SavedTheRun());
  }
  for (QProcess &process : busy)
    process.kill(), process.waitForFinished(3000);
}

// An edit not taken with OK when the program ends is kept (0600) and offered at the next start:
// Nein drops it, Ja opens the editor on it, unsaved until OK; either answer removes the file.
TEST_F(TrayProgram, AnEditOpenAtTheEndIsKeptAndOfferedAtTheNextStart) {
  ASSERT_NO_FATAL_FAILURE(StartDisplay(true));
  const QString kept = Config + QStringLiteral(".unsaved"),
                editor = QStringLiteral("Kronolab -- ") + Config;
  const auto unchanged = [](const QString &file) {
    return ReadBytes(file).contains("Interval=100\r\n");
  };
  for (const bool restore : {false, true}) {
    SCOPED_TRACE(restore ? "Ja" : "Nein");
    QDir(Ran).removeRecursively();
    StartProgram();
    QProcess second; // asks the running one for its editor
    StartProgram(second);
    // A digit typed into the interval field (by its mnemonic): a change not yet taken.
    Keys(Shown(editor), {QStringLiteral("alt+i"), QStringLiteral("5")});
    EndsBySignal(SIGTERM);
    ASSERT_TRUE(QFileInfo::exists(kept)) << "the edit was lost";
    EXPECT_FALSE(QFileInfo(kept).permissions() & 0x0077) << "others may read it";
    EXPECT_TRUE(!unchanged(kept) && unchanged(Config)) << "not kept, or applied without asking";
    QDir(Ran).removeRecursively();
    StartProgram();
    Keys(Shown(QStringLiteral("Kronolab")), {restore ? QStringLiteral("j") : QStringLiteral("n")});
    EXPECT_TRUE(WaitUntil([&] { return !QFileInfo::exists(kept); })) << "kept after the answer";
    if (restore) {
      const QString window = Shown(editor);
      EXPECT_TRUE(unchanged(Config)) << "saved before OK";
      Keys(window, {QStringLiteral("Return")});
      EXPECT_TRUE(WaitUntil([&] { return !unchanged(Config); })) << "OK did not take it";
    }
    EndsBySignal(SIGTERM);
    EXPECT_TRUE(unchanged(Config) != restore && !QFileInfo::exists(kept));
  }
}

} // namespace
