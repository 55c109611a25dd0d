// The tray program's entry: one scheduler per configuration file, the tray host, the loop.
#include "base/ApplicationId.h"
#include "core/CmdLine.h"
#include "core/InstanceLock.h"
#include "gui/tray/SysTrFrm.h"
#include "platform/ExitSignals.h"
#include "platform/OwnFiles.h"

#include <QDir>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>

namespace {
TSysTrayIconForm *Host = nullptr;

// Qt ends the process with exit() when the connection to the display breaks, as when the
// session's X server goes at logout: the runs recorded since the last save are saved first.
void SaveWhenTheDisplayIsGone() {
  if (Host)
    Host->SaveOnExit();
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

  TApplication app(argc, argv);
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
    host.Seams.FollowConfigFile = [&lock](const QString &newFile) {
      if (lock->Follow(newFile))
        return QString();
      if (!lock->ErrorText().isEmpty())
        return lock->ErrorText() +
               QStringLiteral(" Die Konfiguration bleibt \"%1\".").arg(lock->ConfigFileName());
      return QStringLiteral("Für \"%1\" läuft schon ein anderes Kronolab; die Konfiguration "
                            "bleibt \"%2\".")
          .arg(newFile, lock->ConfigFileName());
    };
    host.Seams.RunByAnother = [&lock](const QString &file) { return lock->RunByAnother(file); };
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
