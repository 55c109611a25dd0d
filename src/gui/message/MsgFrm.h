// The message window: one non-modal, always-on-top window that collects every message and
// error while it stays open. TMessageFormSink is the tray program's TMessageSink.
#pragma once

#include "core/MessageSink.h"

#include <QImage>
#include <QPointer>
#include <QWidget>
#include <functional>

class QPlainTextEdit;
class QPushButton;
class QWidget;
class TDesktopNotifier;

// The window itself; created on the first message, destroyed when closed.
class TMessageForm : public QWidget {
  Q_OBJECT
public:
  explicit TMessageForm(QWidget *parent = nullptr);
  ~TMessageForm() override;

  QPlainTextEdit *MsgMemo = nullptr;
  QWidget *BottomPanel = nullptr;
  QPushButton *CloseBtn = nullptr;

  // Called while the window is being destroyed (the tray host forgets it and hides the
  // task-bar entry here).
  std::function<void()> OnDestroy;

  // Appends header (when not empty), message and two empty lines; replaces the caption.
  void AddMessage(const QString &caption, const QString &header, const QString &message);

protected:
  void resizeEvent(QResizeEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;

private:
  void BottomPanelResize();
  void CloseBtnClick();
};

// Shows each message in the single message window, creating a fresh one when none is open,
// and hands it to the desktop's notifications as well.
class TMessageFormSink : public TMessageSink {
public:
  void Show(const QString &caption, const QString &header, const QString &message) override;
  // Brings the open message window to the front (a click on a notification).
  void RaiseWindow();
  // Not owned; null for no notifications.
  TDesktopNotifier *Notifier = nullptr;
  // The picture a notification shows (the moon of the moment).
  std::function<QImage()> NotificationIcon;
  // The open window, or null.
  TMessageForm *MessageForm() const { return FForm.data(); }
  // Called whenever a window closes (after it has been forgotten).
  std::function<void()> OnWindowClosed;

private:
  QPointer<TMessageForm> FForm;
};
