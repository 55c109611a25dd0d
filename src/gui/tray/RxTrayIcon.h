// TRxTrayIcon: the program's icon in the notification area, over QSystemTrayIcon, with a small
// window of its own in its place where the desktop has no notification area.
#pragma once

#include <QElapsedTimer>
#include <QIcon>
#include <QImage>
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
  // Tells the user, once, why the icon shows in a window of its own: when no notification
  // area has come NoTrayGraceMs after the icon became active (at login the panel often
  // starts after the programs).
  std::function<void(const QString &message)> OnNoTrayArea;
  // The user closed the window shown in place of the tray icon; without a handler it only
  // goes down to the task bar. The program's only presence goes with it, so the tray host
  // ends the program here.
  std::function<void()> OnFallbackClosed;
  // The icon has moved into a notification area (at the start too): what told the user there
  // was none no longer holds.
  std::function<void()> OnTrayArea;
  // The picture the window shown in place of the tray icon draws at its own edge (in device
  // pixels); without it the window shows the icon.
  std::function<QImage(int edge)> WindowPicture;
  // Whether the desktop has a notification area; a test may replace it.
  std::function<bool()> TrayAreaAvailable;
  int NoTrayGraceMs = 10000;
  // While active, the desktop is asked whether a notification area has come (the icon moves
  // into it and the window closes) or gone (after TrayLostGraceMs, in which a restarted panel
  // takes the icon back by itself, the window shows again): when it says that something
  // changed (the StatusNotifierWatcher's owner on D-Bus, the X11 tray selection's owner) where
  // DesktopSignals, else every TrayWatchMs.
  bool DesktopSignals = true;
  int TrayWatchMs = 10000;
  int TrayLostGraceMs = 3000;

  // How often the picture was handed to the desktop.
  int IconPushes() const { return FIconPushes; }
  // The window shown in place of the tray icon, or null.
  QWidget *FallbackWindow() const { return FFallback.data(); }
  // True while the icon shows in a notification area.
  bool InTray() const { return FTray != nullptr; }

  // True when two icons show the same picture at the tray's size.
  static bool SamePicture(const QIcon &a, const QIcon &b);

  // The tray reports a click: a left click waits for a possible second one, so a double
  // click (or a tray that sends it as two single clicks) opens once.
  void LeftClicked();
  void DoubleClicked();

private:
  void ShowInTray();
  void ShowFallback();
  void RemoveTray();
  void RemoveFallback();
  void RemoveAll();
  void PushIcon();
  void FireDblClick();
  // One look at the desktop: moves the icon between the notification area and the window.
  void WatchTrayArea();
  void NoTrayGraceOver();
  // A look shortly after the desktop told of a change (the toolkit learns of it too).
  void LookSoon();
  void ListenToDesktop();

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
  QTimer FTrayWatch;
  QTimer FNoTrayGrace;
  QTimer FLookSoon;
  QObject *FDesktopListeners = nullptr;
  // Since when the notification area the icon shows in has been missing; invalid while it is
  // there.
  QElapsedTimer FTrayLost;
};
