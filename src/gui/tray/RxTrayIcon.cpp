#include "gui/tray/RxTrayIcon.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QStyleHints>
#include <QSystemTrayIcon>
#include <QToolButton>

namespace {
constexpr int TrayPictureSize = 64;

// The window shown where there is no notification area: the moon and a menu button; a
// right click opens the menu, a double click on the picture acts like one on the tray icon.
class TTrayFallbackWindow : public QWidget {
public:
  TTrayFallbackWindow(TRxTrayIcon *icon) : QWidget(nullptr, Qt::Window), FIcon(icon) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    setWindowTitle(QStringLiteral("Kronolab"));
    auto *layout = new QHBoxLayout(this);
    Picture = new QLabel(this);
    Picture->setFixedSize(TrayPictureSize, TrayPictureSize);
    layout->addWidget(Picture);
    auto *button = new QToolButton(this);
    button->setText(QStringLiteral("Menü"));
    button->setPopupMode(QToolButton::InstantPopup);
    MenuButton = button;
    layout->addWidget(button);
  }
  QLabel *Picture = nullptr;
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
    // The window is the program's only presence; closing it would leave no way back.
    showMinimized();
    event->ignore();
  }

private:
  TRxTrayIcon *FIcon;
};
} // namespace

TRxTrayIcon::TRxTrayIcon(QObject *parent)
    : QObject(parent), TrayAreaAvailable([] { return QSystemTrayIcon::isSystemTrayAvailable(); }) {
  FClickTimer.setSingleShot(true);
  connect(&FClickTimer, &QTimer::timeout, this, &TRxTrayIcon::FireDblClick);
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
}

void TRxTrayIcon::SetHint(const QString &value) {
  FHint = value;
  if (FTray)
    FTray->setToolTip(value);
  if (FFallback)
    FFallback->setToolTip(value);
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
    static_cast<TTrayFallbackWindow *>(FFallback.data())->MenuButton->setMenu(menu);
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
    static_cast<TTrayFallbackWindow *>(FFallback.data())
        ->Picture->setPixmap(FIcon.pixmap(TrayPictureSize, TrayPictureSize));
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
}

void TRxTrayIcon::ShowFallback() {
  auto *window = new TTrayFallbackWindow(this);
  FFallback = window;
  window->setToolTip(FHint);
  window->MenuButton->setMenu(FPopupMenu);
  FIconPushes = 0;
  PushIcon();
  window->show();
  if (!FToldNoTray && OnNoTrayArea) {
    FToldNoTray = true;
    OnNoTrayArea(QStringLiteral(
        "Dieser Desktop hat keinen Infobereich (Systemabschnitt der Kontrollleiste), in dem "
        "Kronolab sein Symbol zeigen könnte.\nKronolab zeigt sich deshalb in einem kleinen "
        "eigenen Fenster mit dem Mond; ein Rechtsklick oder die Schaltfläche \"Menü\" öffnet "
        "dort das Menü, ein Doppelklick auf den Mond die Aktionen."));
  }
}

void TRxTrayIcon::RemoveAll() {
  FClickTimer.stop();
  if (FTray) {
    FTray->hide();
    FTray.reset();
  }
  delete FFallback.data();
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
