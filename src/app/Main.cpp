// The tray program's entry: one scheduler per configuration file, the tray host, the loop.
#include "core/CmdLine.h"
#include "core/InstanceLock.h"
#include "gui/tray/SysTrFrm.h"
#include "platform/ExitSignals.h"

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
  TApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kronolab"));
  // No display name: Qt would append it to every caption ("Fehler — Kronolab"), and the
  // captions are the program's own.
  QApplication::setApplicationVersion(QStringLiteral(KRONOLAB_VERSION));
  QApplication::setDesktopFileName(QStringLiteral("kronolab"));
  // The help file is found by its name beside the program or in the installed data folder.
  app.setProperty("HelpFile", QStringLiteral("Kronolab.hlp"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/kronolab/kronolab.png")));
  // The message window, the editor and the dialogs come and go; the program lives on in
  // the tray until "&Beenden".
  QApplication::setQuitOnLastWindowClosed(false);
  // The whole user interface is German, the file dialogs and standard buttons of Qt too.
  QTranslator qtTexts;
  if (qtTexts.load(QLocale(QLocale::German), QStringLiteral("qtbase"), QStringLiteral("_"),
                   QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QCoreApplication::installTranslator(&qtTexts);

  const TStartupArgs args{QCoreApplication::arguments().mid(1), QDir::currentPath()};

  // A second start for the same configuration opens the running one's editor and ends.
  std::unique_ptr<TInstanceLock> lock;
  try {
    const TStartupFiles files = StartupFileNames(args.Arguments, args.CurrentFolder);
    lock = std::make_unique<TInstanceLock>(files.ConfigFileName);
    if (!lock->TryAcquire(TInstanceLock::ShowEditorRequest)) {
      std::fprintf(stderr, "kronolab: Kronolab läuft schon für %s%s\n",
                   qPrintable(files.ConfigFileName),
                   lock->HandedOver() ? "; dort öffnen sich die Aktionen." : ".");
      return 0;
    }
  } catch (const std::exception &) {
    // The host reports the same error when it fixes the file names.
  }

  TSysTrayIconForm host(args, [](TSysTrayIconForm &) {});
  if (lock)
    lock->OnRequest = [&host](const QByteArray &request) {
      if (request == TInstanceLock::ShowEditorRequest)
        host.HandOverRequest();
    };
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
