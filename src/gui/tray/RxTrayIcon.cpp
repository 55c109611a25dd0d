#include "gui/tray/RxTrayIcon.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QStyleHints>
#include <QSystemTrayIcon>
#include <QToolButton>
#include <algorithm>
#include <xcb/xcb.h>

namespace {
constexpr int TrayPictureSize = 64;

// The window shown where there is no notification area: the moon, the tooltip's text and a
// menu button; a right click opens the menu, a double click on the picture acts like one on
// the tray icon.
class TTrayFallbackWindow : public QWidget {
public:
  TTrayFallbackWindow(TRxTrayIcon *icon)
      : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                             Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                             Qt::WindowCloseButtonHint),
        FIcon(icon) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    setWindowTitle(QStringLiteral("Kronolab"));
    auto *layout = new QHBoxLayout(this);
    // Its size follows its text; the window manager cannot squeeze the title.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    Picture = new QLabel(this);
    // As tall as four lines of its text, so the moon grows with the desktop's font.
    const int edge = std::max(TrayPictureSize, 4 * fontMetrics().height());
    Picture->setFixedSize(edge, edge);
    layout->addWidget(Picture, 0, Qt::AlignTop);
    auto *column = new QVBoxLayout;
    HintLabel = new QLabel(this);
    HintLabel->setTextFormat(Qt::PlainText);
    HintLabel->setWordWrap(true);
    // Wide enough that window managers show the whole title beside their buttons, and that
    // a line of the tooltip such as a date and time is not broken.
    HintLabel->setMinimumWidth(fontMetrics().horizontalAdvance(QString(40, u'x')));
    HintLabel->setMaximumWidth(fontMetrics().horizontalAdvance(QString(56, u'x')));
    column->addWidget(HintLabel);
    auto *button = new QToolButton(this);
    button->setText(QStringLiteral("Menü"));
    button->setPopupMode(QToolButton::InstantPopup);
    MenuButton = button;
    column->addWidget(button, 0, Qt::AlignLeft);
    column->addStretch();
    layout->addLayout(column);
  }
  QLabel *Picture = nullptr;
  QLabel *HintLabel = nullptr;
  QToolButton *MenuButton = nullptr;

protected:
  void contextMenuEvent(QContextMenuEvent *event) override {
    if (FIcon->PopupMenu())
      FIcon->PopupMenu()->popup(event->globalPos());
  }
  void mouseDoubleClickEvent(QMouseEvent *event) override {
    if (event->button() == Qt::LeftButton)
      FIcon->DoubleClicked();
  }
  void closeEvent(QCloseEvent *event) override {
    // Qt closes every window when the program ends: then it goes.
    if (!event->spontaneous())
      return;
    // The user's close box. The window is the program's only presence, so its owner ends
    // the program (or, without one, it goes down to the task bar); asked outside this event,
    // because ending may first ask a question.
    event->ignore();
    if (!FIcon->OnFallbackClosed) {
      showMinimized();
      return;
    }
    QTimer::singleShot(0, FIcon, [icon = FIcon] {
      if (icon->OnFallbackClosed)
        icon->OnFallbackClosed();
    });
  }

private:
  TRxTrayIcon *FIcon;
};

// Hears the X11 events by which a notification area comes (its MANAGER message to the root
// window) or goes (its window destroyed), and passes them on as a hint to look again.
class TTrayEventFilter : public QObject, public QAbstractNativeEventFilter {
public:
  TTrayEventFilter(QObject *parent, std::function<void()> onHint)
      : QObject(parent), FOnHint(std::move(onHint)) {
    QCoreApplication::instance()->installNativeEventFilter(this);
  }
  ~TTrayEventFilter() override {
    if (QCoreApplication::instance())
      QCoreApplication::instance()->removeNativeEventFilter(this);
  }
  bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override {
    if (eventType != "xcb_generic_event_t")
      return false;
    const auto type = static_cast<const xcb_generic_event_t *>(message)->response_type & 0x7F;
    if (type == XCB_CLIENT_MESSAGE || type == XCB_DESTROY_NOTIFY)
      FOnHint();
    return false; // the toolkit handles it as always
  }

private:
  std::function<void()> FOnHint;
};

TTrayFallbackWindow *AsFallback(QWidget *window) {
  return static_cast<TTrayFallbackWindow *>(window);
}
} // namespace

TRxTrayIcon::TRxTrayIcon(QObject *parent)
    : QObject(parent), TrayAreaAvailable([] { return QSystemTrayIcon::isSystemTrayAvailable(); }) {
  FClickTimer.setSingleShot(true);
  connect(&FClickTimer, &QTimer::timeout, this, &TRxTrayIcon::FireDblClick);
  connect(&FTrayWatch, &QTimer::timeout, this, &TRxTrayIcon::WatchTrayArea);
  FNoTrayGrace.setSingleShot(true);
  connect(&FNoTrayGrace, &QTimer::timeout, this, &TRxTrayIcon::NoTrayGraceOver);
  FLookSoon.setSingleShot(true);
  connect(&FLookSoon, &QTimer::timeout, this, &TRxTrayIcon::WatchTrayArea);
  // Without a session bus and an X11 display nothing tells of a notification area.
  DesktopSignals = QDBusConnection::sessionBus().isConnected() ||
                   QGuiApplication::platformName() == QStringLiteral("xcb");
}

void TRxTrayIcon::ListenToDesktop() {
  if (FDesktopListeners)
    return;
  FDesktopListeners = new QObject(this);
  auto *watcher = new QDBusServiceWatcher(
      QStringLiteral("org.kde.StatusNotifierWatcher"), QDBusConnection::sessionBus(),
      QDBusServiceWatcher::WatchForOwnerChange, FDesktopListeners);
  connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this, &TRxTrayIcon::LookSoon);
  if (QGuiApplication::platformName() == QStringLiteral("xcb"))
    new TTrayEventFilter(FDesktopListeners, [this] { LookSoon(); });
}

void TRxTrayIcon::LookSoon() {
  // Events come in bursts, and the toolkit's own view of the area follows them.
  if (FActive && !FLookSoon.isActive())
    FLookSoon.start(100);
}

TRxTrayIcon::~TRxTrayIcon() {
  RemoveAll();
}

void TRxTrayIcon::SetActive(bool value) {
  if (value == FActive)
    return;
  FActive = value;
  if (!FActive) {
    RemoveAll();
    return;
  }
  if (TrayAreaAvailable())
    ShowInTray();
  else
    ShowFallback();
  if (DesktopSignals)
    ListenToDesktop();
  else
    FTrayWatch.start(TrayWatchMs);
  if (!FToldNoTray)
    FNoTrayGrace.start(NoTrayGraceMs);
}

void TRxTrayIcon::WatchTrayArea() {
  if (!FActive)
    return;
  const bool available = TrayAreaAvailable();
  if (available) {
    FTrayLost.invalidate();
    if (!FTray) {
      RemoveFallback();
      ShowInTray();
    }
    return;
  }
  if (!FTray) {
    if (!FFallback)
      ShowFallback();
    return;
  }
  // Gone from under the icon: a panel that restarts takes it back by itself, so the window
  // comes only when the area stays away.
  if (!FTrayLost.isValid())
    FTrayLost.start();
  if (FTrayLost.hasExpired(TrayLostGraceMs)) {
    FTrayLost.invalidate();
    RemoveTray();
    ShowFallback();
  } else if (DesktopSignals) {
    FLookSoon.start(static_cast<int>(TrayLostGraceMs - FTrayLost.elapsed()) + 50);
  }
}

void TRxTrayIcon::NoTrayGraceOver() {
  if (!FActive || FTray || FToldNoTray || !OnNoTrayArea)
    return;
  FToldNoTray = true;
  OnNoTrayArea(QStringLiteral(
      "Dieser Desktop hat keinen Infobereich (Systemabschnitt der Kontrollleiste), in dem "
      "Kronolab sein Symbol zeigen könnte.\nKronolab zeigt sich deshalb in einem kleinen "
      "eigenen Fenster mit dem Mond; ein Rechtsklick oder die Schaltfläche „Menü“ öffnet "
      "dort das Menü, ein Doppelklick auf den Mond die Aktionen. Erscheint später ein "
      "Infobereich, zieht Kronolab dorthin um."));
}

void TRxTrayIcon::SetHint(const QString &value) {
  if (value == FHint)
    return;
  FHint = value;
  if (FTray)
    FTray->setToolTip(value);
  if (FFallback)
    AsFallback(FFallback)->HintLabel->setText(value);
}

void TRxTrayIcon::SetIcon(const QIcon &value) {
  FIcon = QIcon(value);
  if (FActive)
    PushIcon();
}

void TRxTrayIcon::SetPopupMenu(QMenu *menu) {
  FPopupMenu = menu;
  if (FTray)
    FTray->setContextMenu(menu);
  if (FFallback)
    AsFallback(FFallback)->MenuButton->setMenu(menu);
}

bool TRxTrayIcon::SamePicture(const QIcon &a, const QIcon &b) {
  if (a.isNull() || b.isNull())
    return a.isNull() == b.isNull();
  if (a.cacheKey() == b.cacheKey())
    return true;
  const QSize size(TrayPictureSize, TrayPictureSize);
  return a.pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32) ==
         b.pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32);
}

void TRxTrayIcon::PushIcon() {
  if (FIconPushes > 0 && SamePicture(FIcon, FPushedIcon))
    return;
  FPushedIcon = FIcon;
  ++FIconPushes;
  if (FTray)
    FTray->setIcon(FIcon);
  if (FFallback) {
    QLabel *picture = AsFallback(FFallback)->Picture;
    if (WindowPicture) {
      // Drawn for the window's own size and the screen's pixels, never an icon blown up.
      const qreal ratio = picture->devicePixelRatioF();
      QPixmap pixmap = QPixmap::fromImage(WindowPicture(qRound(picture->width() * ratio)));
      pixmap.setDevicePixelRatio(ratio);
      picture->setPixmap(pixmap);
    } else {
      picture->setPixmap(FIcon.pixmap(picture->size()));
    }
    FFallback->setWindowIcon(FIcon);
  }
}

void TRxTrayIcon::ShowInTray() {
  FTray = std::make_unique<QSystemTrayIcon>();
  FTray->setToolTip(FHint);
  FTray->setContextMenu(FPopupMenu);
  connect(FTray.get(), &QSystemTrayIcon::activated, this,
          [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger)
              LeftClicked();
            else if (reason == QSystemTrayIcon::DoubleClick)
              DoubleClicked();
          });
  FIconPushes = 0;
  PushIcon();
  FTray->show();
  if (OnTrayArea)
    OnTrayArea();
}

void TRxTrayIcon::ShowFallback() {
  auto *window = new TTrayFallbackWindow(this);
  FFallback = window;
  window->HintLabel->setText(FHint);
  window->MenuButton->setMenu(FPopupMenu);
  FIconPushes = 0;
  PushIcon();
  window->show();
}

void TRxTrayIcon::RemoveTray() {
  if (FTray) {
    FTray->hide();
    FTray.reset();
  }
}

void TRxTrayIcon::RemoveFallback() {
  delete FFallback.data();
}

void TRxTrayIcon::RemoveAll() {
  FClickTimer.stop();
  FTrayWatch.stop();
  FNoTrayGrace.stop();
  FLookSoon.stop();
  delete FDesktopListeners;
  FDesktopListeners = nullptr;
  FTrayLost.invalidate();
  RemoveTray();
  RemoveFallback();
}

void TRxTrayIcon::LeftClicked() {
  if (FClickTimer.isActive()) {
    DoubleClicked(); // the second single click of a double click
    return;
  }
  FClickTimer.start(QApplication::styleHints()->mouseDoubleClickInterval());
}

void TRxTrayIcon::DoubleClicked() {
  FClickTimer.stop();
  FireDblClick();
}

void TRxTrayIcon::FireDblClick() {
  if (OnDblClick)
    OnDblClick();
}
