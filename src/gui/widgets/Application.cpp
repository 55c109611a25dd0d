#include "gui/widgets/Application.h"

#include <QEvent>
#include <stdexcept>

// Q_INIT_RESOURCE must be used outside any namespace.
static void InitProgramPictures() {
  Q_INIT_RESOURCE(kronolab);
}

void RegisterProgramPictures() {
  static const bool registered = (InitProgramPictures(), true);
  (void)registered;
}

bool TApplication::notify(QObject *receiver, QEvent *event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception &error) {
    if (OnException)
      OnException(error);
  } catch (...) {
    if (OnException)
      OnException(std::runtime_error("Unbekannter Fehler"));
  }
  return false;
}

bool TApplication::event(QEvent *event) {
  if (event->type() == QEvent::Quit && OnQuitRequest) {
    event->accept();
    OnQuitRequest();
    return true;
  }
  return QApplication::event(event);
}

void ReportAppException(const std::exception &error) {
  auto *app = dynamic_cast<TApplication *>(QCoreApplication::instance());
  if (app && app->OnException)
    app->OnException(error);
  else
    qWarning("%s", error.what());
}

QFont DesktopFont(int pixelSize) {
  QFont font = QApplication::font();
  font.setPixelSize(pixelSize);
  return font;
}
