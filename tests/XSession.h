// Driving a real X display from tests: waiting while the event loop runs, X tools (xdotool,
// xprop) run without stopping our own windows, and a private X server with a window manager and
// a notification area for tests that start the tray program as a process.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QThread>
#include <functional>

// Runs the event loop until condition holds or ms have passed; whether it holds. The default
// deadline is one that only a fault reaches, however busy the machine.
inline bool WaitUntil(const std::function<bool()> &condition, int ms = 30000) {
  QElapsedTimer timer;
  timer.start();
  while (!condition()) {
    if (timer.elapsed() > ms)
      return condition();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(5);
  }
  return true;
}

// Runs the event loop for ms.
inline void Pause(int ms) {
  WaitUntil([] { return false; }, ms);
}

// Runs an X tool on display (empty: the one of our environment) while our event loop goes on,
// so that our windows answer the window manager meanwhile. Its standard output, trimmed.
inline QString RunXTool(const QString &program, const QStringList &arguments,
                        const QString &display = QString(), int *exitCode = nullptr) {
  QProcess tool;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  if (!display.isEmpty())
    env.insert(QStringLiteral("DISPLAY"), display);
  tool.setProcessEnvironment(env);
  tool.start(program, arguments);
  WaitUntil([&] { return tool.state() == QProcess::NotRunning; }, 10000);
  if (tool.state() != QProcess::NotRunning) {
    tool.kill();
    tool.waitForFinished();
  }
  if (exitCode)
    *exitCode = tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
  return QString::fromLocal8Bit(tool.readAllStandardOutput()).trimmed();
}

// xdotool with the given arguments.
inline QString XDoTool(const QStringList &arguments, const QString &display = QString()) {
  return RunXTool(QStringLiteral("xdotool"), arguments, display);
}

// Asks the window manager to close the window with the given id, as a click on its close box
// does: the manager then asks the program to close that very window, whichever one has the
// keyboard.
inline void CloseByWindowManager(const QString &windowId, const QString &display = QString()) {
  RunXTool(QStringLiteral("wmctrl"), {QStringLiteral("-i"), QStringLiteral("-c"), windowId},
           display);
}

// True when the X server's keyboard focus is on the window with the given id (a window's
// winId()), which is where keys from xdotool go; Qt may call a window active earlier.
inline bool HasKeyboardFocus(unsigned long long windowId, const QString &display = QString()) {
  return XDoTool({QStringLiteral("getwindowfocus")}, display) == QString::number(windowId);
}

// True when the window manager itself has made the window active, so that its key bindings
// (Alt+F4) act on it; the X focus may reach a window before the manager has taken it over.
inline bool ActivatedByWindowManager(unsigned long long windowId,
                                     const QString &display = QString()) {
  return HasKeyboardFocus(windowId, display) &&
         XDoTool({QStringLiteral("getactivewindow")}, display) == QString::number(windowId);
}

// A private X server (Xvfb, 1280 × 1024) for one test, optionally with the openbox window
// manager and a notification area (trayer along the top edge, right-aligned). Everything it
// started ends with it.
class TXSession {
public:
  TXSession() = default;
  TXSession(const TXSession &) = delete;
  TXSession &operator=(const TXSession &) = delete;
  ~TXSession() {
    StopTray();
    Stop(FWindowManager);
    StopServer();
  }

  // Starts the server and, when asked, the window manager; false with Error set when not.
  bool Start(bool windowManager = true) {
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty()) {
      Error = QStringLiteral("Xvfb is missing; tools/deps.sh installs it");
      return false;
    }
    // -displayfd 1: the server picks a free display and writes its number to stdout.
    FServer.start(QStringLiteral("Xvfb"),
                  {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                   QStringLiteral("0"), QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                   QStringLiteral("tcp")});
    QByteArray number;
    const bool started = WaitUntil(
        [&] {
          number += FServer.readAllStandardOutput();
          return number.contains('\n') || FServer.state() == QProcess::NotRunning;
        },
        20000);
    if (!started || !number.contains('\n')) {
      Error = QStringLiteral("Xvfb did not start: ") +
              QString::fromLocal8Bit(FServer.readAllStandardError());
      return false;
    }
    Display = u':' + QString::fromLatin1(number.trimmed());
    if (!windowManager)
      return true;
    // A window manager that fails at its start (seen once under heavy load) is started again.
    for (int attempt = 0; attempt < 3; ++attempt) {
      Stop(FWindowManager);
      Launch(FWindowManager, QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
      bool ready = false;
      WaitUntil(
          [&] {
            ready = RunXTool(QStringLiteral("xprop"),
                             {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")},
                             Display)
                        .contains(QStringLiteral("window id"));
            return ready || FWindowManager.state() == QProcess::NotRunning;
          },
          20000);
      if (ready)
        return true;
    }
    Error = QStringLiteral("openbox did not start");
    return false;
  }

  // Starts the notification area and waits until its panel is there; false when it is not.
  bool StartTray() {
    Launch(FTray, QStringLiteral("trayer"),
           {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
            QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("request"),
            QStringLiteral("--height"), QStringLiteral("32"), QStringLiteral("--SetDockType"),
            QStringLiteral("true")});
    return WaitUntil([&] { return !TrayPanel().isEmpty(); }, 20000);
  }

  // Ends the notification area, as a crashing panel would.
  void StopTray() { Stop(FTray); }

  // Ends the X server, as the end of a session does.
  void StopServer() { Stop(FServer); }

  // The window id of the notification area's panel, or empty.
  QString TrayPanel() const {
    return RunXTool(
               QStringLiteral("xdotool"),
               {QStringLiteral("search"), QStringLiteral("--classname"), QStringLiteral("^panel$")},
               Display)
        .section(u'\n', 0, 0);
  }

  // The width of the notification area's panel: 2 pixels while it holds no icon.
  int TrayPanelWidth() const {
    const QString panel = TrayPanel();
    if (panel.isEmpty())
      return 0;
    const QString geometry =
        RunXTool(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"), panel}, Display);
    // "Geometry: 34x32"
    const qsizetype at = geometry.indexOf(QStringLiteral("Geometry: "));
    return at < 0 ? 0 : geometry.mid(at + 10).section(u'x', 0, 0).toInt();
  }

  // The environment for a program on this display.
  QProcessEnvironment
  Environment(QProcessEnvironment env = QProcessEnvironment::systemEnvironment()) const {
    env.insert(QStringLiteral("DISPLAY"), Display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("XAUTHORITY"));
    env.remove(QStringLiteral("SESSION_MANAGER"));
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    return env;
  }

  QString Display;
  QString Error;

private:
  void Launch(QProcess &process, const QString &program, const QStringList &arguments) {
    process.setProcessEnvironment(Environment());
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, arguments);
  }
  static void Stop(QProcess &process) {
    if (process.state() == QProcess::NotRunning)
      return;
    process.terminate();
    if (!process.waitForFinished(3000)) {
      process.kill();
      process.waitForFinished(3000);
    }
  }

  QProcess FServer, FWindowManager, FTray;
};
