// The tray program's entry: one scheduler per configuration file, the tray host, the loop.
#include "base/ApplicationId.h"
#include "core/CmdLine.h"
#include "core/InstanceLock.h"
#include "gui/tray/SysTrayIconForm.h"
#include "platform/ExitSignals.h"
#include "platform/OwnFiles.h"

#include <QDir>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {
TSysTrayIconForm *Host = nullptr;

// Qt ends the process with exit() when the connection to the display breaks, as when the
// session's X server goes at logout: the runs recorded since the last save are saved first.
void SaveWhenTheDisplayIsGone() {
  if (Host)
    Host->SaveOnExit();
}

// What Qt says while the application object is made: held back, so that Qt's English account
// of a display it cannot reach does not stand before our German one.
struct THeldMessage {
  QtMsgType Type;
  QByteArray Category;
  QString Text;
};
std::vector<THeldMessage> HeldMessages;

// Without a desktop Qt ends the program with abort() and the advice to reinstall it; nothing
// is loaded or locked yet, so we end at once with the German reason instead.
[[noreturn]] void EndWithoutDesktop() {
  const QString display = qEnvironmentVariable("WAYLAND_DISPLAY").isEmpty()
                              ? qEnvironmentVariable("DISPLAY")
                              : qEnvironmentVariable("WAYLAND_DISPLAY");
  const QString which = display.isEmpty()
                            ? QStringLiteral("keine ist eingestellt (DISPLAY, WAYLAND_DISPLAY)")
                            : QStringLiteral("„%1“ ist nicht erreichbar").arg(display);
  const QString text =
      QStringLiteral("kronolab: Kronolab braucht eine Arbeitsfläche (X11 oder Wayland), aber %1. "
                     "Ohne Arbeitsfläche führt „kronolab-cli run“ die Aktionen aus.\n")
          .arg(which);
  std::fputs(text.toLocal8Bit().constData(), stderr);
  std::fflush(stderr);
  std::_Exit(1);
}

void HoldStartupMessage(QtMsgType type, const QMessageLogContext &context, const QString &text) {
  if (type == QtFatalMsg)
    EndWithoutDesktop();
  HeldMessages.push_back({type, QByteArray(context.category), text});
}

// Tells the messages held while the application object was made, as Qt would have.
void TellHeldMessages() {
  for (const THeldMessage &held : HeldMessages) {
    const QMessageLogger logger(nullptr, 0, nullptr, held.Category.constData());
    switch (held.Type) {
    case QtDebugMsg:
      logger.debug("%s", qUtf8Printable(held.Text));
      break;
    case QtInfoMsg:
      logger.info("%s", qUtf8Printable(held.Text));
      break;
    case QtCriticalMsg:
      logger.critical("%s", qUtf8Printable(held.Text));
      break;
    default:
      logger.warning("%s", qUtf8Printable(held.Text));
      break;
    }
  }
  HeldMessages.clear();
}
} // namespace

int main(int argc, char **argv) {
  // The command line first: --help and --version need no display and touch no file.
  QStringList arguments;
  for (int i = 1; i < argc; ++i)
    arguments.append(QString::fromLocal8Bit(argv[i]));
  const TTrayCommandLine commandLine = ParseTrayCommandLine(arguments);
  switch (commandLine.Kind) {
  case TTrayCommandLine::Help:
    std::fputs(TrayHelpText().toLocal8Bit().constData(), stdout);
    return 0;
  case TTrayCommandLine::Version:
    std::printf("kronolab %s\n", KRONOLAB_VERSION);
    return 0;
  case TTrayCommandLine::Error:
    std::fprintf(stderr, "kronolab: %s\n", qPrintable(commandLine.Message));
    return 2;
  case TTrayCommandLine::Run:
    break;
  }

  const QtMessageHandler qtHandler = qInstallMessageHandler(HoldStartupMessage);
  TApplication app(argc, argv);
  qInstallMessageHandler(qtHandler);
  TellHeldMessages();
  // A size limit (ulimit -f) is then a save error that is told, not a silent kill.
  IgnoreFileSizeSignal();
  QApplication::setApplicationName(QStringLiteral("Kronolab"));
  // No display name: Qt would append it to every caption ("Fehler — Kronolab"), and the
  // captions are the program's own.
  QApplication::setApplicationVersion(QStringLiteral(KRONOLAB_VERSION));
  QApplication::setDesktopFileName(QString::fromLatin1(ApplicationId));
  // The help file is found by its name beside the program or in the installed data folder.
  app.setProperty("HelpFile", QStringLiteral("Kronolab.hlp"));
  RegisterProgramPictures();
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/kronolab/kronolab.png")));
  // The message window, the editor and the dialogs come and go; the program lives on in
  // the tray until "&Beenden".
  QApplication::setQuitOnLastWindowClosed(false);
  // The whole user interface is German, the file dialogs and standard buttons of Qt too.
  QTranslator qtTexts;
  if (qtTexts.load(QLocale(QLocale::German), QStringLiteral("qtbase"), QStringLiteral("_"),
                   QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QCoreApplication::installTranslator(&qtTexts);

  const TStartupArgs args{commandLine.Arguments, QDir::currentPath()};

  // A second start for the same configuration opens the running one's editor and ends.
  std::unique_ptr<TInstanceLock> lock;
  try {
    const TStartupFiles files = StartupFileNames(args.Arguments, args.CurrentFolder);
    lock = std::make_unique<TInstanceLock>(files.ConfigFileName);
    if (!lock->TryAcquire(TInstanceLock::ShowEditorRequest)) {
      if (!lock->ErrorText().isEmpty()) {
        std::fprintf(stderr, "kronolab: %s\n", qPrintable(lock->ErrorText()));
        return 1;
      }
      std::fprintf(stderr, "kronolab: Kronolab läuft schon für %s%s\n",
                   qPrintable(files.ConfigFileName),
                   lock->HandedOver() ? "; dort öffnen sich die Aktionen." : ".");
      return 0;
    }
  } catch (const std::exception &) {
    // The host reports the same error when it fixes the file names.
  }

  TSysTrayIconForm host(args, [](TSysTrayIconForm &) {});
  if (lock) {
    lock->OnRequest = [&host](const QByteArray &request) {
      if (request == TInstanceLock::ShowEditorRequest)
        host.HandOverRequest();
    };
    lock->OnCommand = [&host](const QByteArray &request) {
      return host.AnswerListCommand(request);
    };
    host.Seams().FollowConfigFile = [&lock](const QString &newFile) {
      if (lock->Follow(newFile))
        return QString();
      if (!lock->ErrorText().isEmpty())
        return lock->ErrorText() +
               QStringLiteral(" Die Konfiguration bleibt \"%1\".").arg(lock->ConfigFileName());
      return QStringLiteral("Für \"%1\" läuft schon ein anderes Kronolab; die Konfiguration "
                            "bleibt \"%2\".")
          .arg(newFile, lock->ConfigFileName());
    };
    host.Seams().RunByAnother = [&lock](const QString &file) { return lock->RunByAnother(file); };
  }
  // Ending any other way than "&Beenden" must not lose the runs recorded since the last save,
  // and no open window or question may keep the program from ending.
  WatchExitSignals([&host](int) { host.EndWithoutAsking(); });
  app.OnQuitRequest = [&host] { host.EndWithoutAsking(); };
  QObject::connect(&app, &QGuiApplication::commitDataRequest, &host,
                   [&host](QSessionManager &) { host.SaveOnExit(); });
  QObject::connect(&app, &QCoreApplication::aboutToQuit, &host, [&host] { host.SaveOnExit(); });
  Host = &host;
  std::atexit(SaveWhenTheDisplayIsGone);
  host.FormShow();
  const int result = QApplication::exec();
  Host = nullptr;
  return result;
}
