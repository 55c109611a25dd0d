#include "gui/widgets/Application.h"

#include <QEvent>
#include <QFontInfo>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <algorithm>
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
  // The classic sizes are meant for a 13-pixel desktop font; a user who chose a larger one
  // gets every size grown in proportion, never a smaller one.
  const int desktop = QFontInfo(font).pixelSize();
  font.setPixelSize(desktop > 13 ? (pixelSize * desktop + 6) / 13 : pixelSize);
  return font;
}

void PlaceOnScreen(QWidget *window, const QWidget *owner, QPoint wanted) {
  const QScreen *screen = owner->screen();
  if (!screen) {
    window->move(wanted);
    return;
  }
  // Before it is shown a window has no frame of its own; the owner's tells how large it is,
  // or, while the owner's is not yet known either, the style's title bar.
  QSize frame = owner->frameGeometry().size() - owner->size();
  if (frame.isNull())
    frame = QSize(0, window->style()->pixelMetric(QStyle::PM_TitleBarHeight));
  const QRect room = screen->availableGeometry();
  const QSize size = window->size().boundedTo(room.size() - frame);
  window->resize(size);
  window->move(std::max(room.left(), std::min(wanted.x(), room.x() + room.width() - size.width() -
                                                              frame.width())),
               std::max(room.top(), std::min(wanted.y(), room.y() + room.height() - size.height() -
                                                             frame.height())));
}

QSize StartingSize(const QWidget *window, QSize classic) {
  QSize size = classic.expandedTo(window->minimumSizeHint());
  if (window->hasHeightForWidth())
    size.setHeight(std::max(size.height(), window->heightForWidth(size.width())));
  if (const QScreen *screen = window->screen())
    size = size.boundedTo(screen->availableGeometry().size());
  return size;
}
