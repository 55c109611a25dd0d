// TRxTrayIcon: the program's icon in the notification area, over QSystemTrayIcon, with a small
// window of its own in its place where the desktop has no notification area.
#pragma once

#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

class QSystemTrayIcon;
class QLabel;
class QWidget;

// The tray icon: Active shows or removes it, Hint is its tooltip, Icon its picture (copied),
// PopupMenu opens on a right click, OnDblClick runs on a double click and on a lone left click.
class TRxTrayIcon : public QObject {
  Q_OBJECT
public:
  explicit TRxTrayIcon(QObject *parent = nullptr);
  ~TRxTrayIcon() override;

  bool Active() const { return FActive; }
  void SetActive(bool value);
  QString Hint() const { return FHint; }
  void SetHint(const QString &value);
  QIcon Icon() const { return FIcon; }
  // Keeps a copy; the desktop is told only when the picture differs from the one it shows.
  void SetIcon(const QIcon &value);
  // Not owned.
  QMenu *PopupMenu() const { return FPopupMenu; }
  void SetPopupMenu(QMenu *menu);

  std::function<void()> OnDblClick;
  // Tells the user, once, why the icon shows in a window of its own.
  std::function<void(const QString &message)> OnNoTrayArea;
  // Whether the desktop has a notification area; a test may replace it.
  std::function<bool()> TrayAreaAvailable;

  // How often the picture was handed to the desktop.
  int IconPushes() const { return FIconPushes; }
  // The window shown in place of the tray icon, or null.
  QWidget *FallbackWindow() const { return FFallback.data(); }

  // True when two icons show the same picture at the tray's size.
  static bool SamePicture(const QIcon &a, const QIcon &b);

  // The tray reports a click: a left click waits for a possible second one, so a double
  // click (or a tray that sends it as two single clicks) opens once.
  void LeftClicked();
  void DoubleClicked();

private:
  void ShowInTray();
  void ShowFallback();
  void RemoveAll();
  void PushIcon();
  void FireDblClick();

  bool FActive = false;
  QString FHint;
  QIcon FIcon;
  QIcon FPushedIcon;
  int FIconPushes = 0;
  QPointer<QMenu> FPopupMenu;
  std::unique_ptr<QSystemTrayIcon> FTray;
  QPointer<QWidget> FFallback;
  QLabel *FFallbackPicture = nullptr;
  bool FToldNoTray = false;
  QTimer FClickTimer;
};
