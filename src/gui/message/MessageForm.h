// The message window: one non-modal, always-on-top window that collects every message and
// error while it stays open. TMessageFormSink is the tray program's TMessageSink.
#pragma once

#include "core/MessageSink.h"

#include <QElapsedTimer>
#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <vector>

class QPlainTextEdit;
class QPushButton;
class QWidget;
class TDesktopNotifier;

// Swallows the events of one key that are still coming after it closed the message window
// (a held key's repeats and its final release), until the key has been quiet for a moment or
// is pressed anew. Deletes itself.
class TKeyRepeatGuard : public QObject {
public:
  explicit TKeyRepeatGuard(int key);
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  // Longer than the pause between two repeats of a held key.
  static constexpr int QuietMs = 300;
  int FKey;
  QElapsedTimer FQuiet;
  QTimer FCheck;
};

// The window itself; created on the first message, destroyed when closed.
class TMessageForm : public QWidget {
  Q_OBJECT
public:
  explicit TMessageForm(QWidget *parent = nullptr);
  ~TMessageForm() override;

  QPlainTextEdit *MsgMemo = nullptr;
  QWidget *BottomPanel = nullptr;
  QPushButton *CloseBtn = nullptr;
  // "Später erinnern": a menu of delays; shown only when OnSnooze is set.
  QPushButton *SnoozeBtn = nullptr;

  // Called once, when the window closes (or is destroyed unclosed): the tray host forgets it
  // and hides the task-bar entry here. Not at its destruction only: a window closed while a
  // modal window runs is destroyed only after that one ends, and a message meanwhile must
  // open a new window rather than go to the closed one.
  std::function<void()> OnClosed;

  // Appends header (when not empty), message and two empty lines; replaces the caption.
  void AddMessage(const QString &caption, const QString &header, const QString &message);
  // Takes back a message AddMessage showed (its latest showing); a window left empty closes.
  // False when the window does not hold it.
  bool RemoveMessage(const QString &header, const QString &message);

  // One message the window shows, as it came.
  struct TShownMessage {
    QString Caption, Header, Message;
  };
  // Puts the window's messages off by delay; the window closes after it.
  std::function<void(const std::vector<TShownMessage> &messages, TSnoozeDelay delay)> OnSnooze;
  void
  SetSnoozeHandler(std::function<void(const std::vector<TShownMessage> &, TSnoozeDelay)> onSnooze);
  // The menu's choice: hands the messages over and closes.
  void SnoozeChosen(TSnoozeDelay delay);

protected:
  void resizeEvent(QResizeEvent *event) override;
  void closeEvent(QCloseEvent *event) override;
  bool event(QEvent *event) override;
  bool eventFilter(QObject *watched, QEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;
  void keyReleaseEvent(QKeyEvent *event) override;

private:
  void BottomPanelResize();
  void CloseBtnClick();
  // Keeps the window usable while a modal window (the editor, a dialog, a question) is open:
  // it becomes that window's transient, which the modal window does not block.
  void StayReachable();
  void TellClosed();

  // Enter, Return and Escape: true when the event was one of them (and is taken).
  bool ClosingKey(QKeyEvent *event);

  // The key (Enter, Return or Escape) pressed in this window, whose release closes it.
  int FClosingKey = 0;
  std::vector<TShownMessage> FMessages;
};

// Shows each message in the single message window, creating a fresh one when none is open,
// and hands it to the desktop's notifications as well.
class TMessageFormSink : public TMessageSink {
public:
  TMessageFormSink() = default;
  // The window goes with its sink: closed later, it would tell a sink that is gone.
  ~TMessageFormSink() override;
  TMessageFormSink(const TMessageFormSink &) = delete;
  TMessageFormSink &operator=(const TMessageFormSink &) = delete;
  void Show(const QString &caption, const QString &header, const QString &message) override;
  // Hands the failure to OnCallFailed; the error messages the call showed just before get no
  // notification of their own, since the failure's says the same.
  void CallFailed(int entryNumber, const QString &action, const QString &result,
                  std::int64_t callId) override;
  // Brings the open message window to the front (a click on a notification).
  void RaiseWindow();
  // Takes back a message that no longer holds (its notification too, if not yet sent).
  void Withdraw(const QString &header, const QString &message);
  // A click on a message's notification: the window that showed it comes to the front, or,
  // when that one was closed, a new one shows the message again.
  void ShowAgain(const QPointer<TMessageForm> &shownIn, const QString &caption,
                 const QString &header, const QString &message);
  // Not owned; null for no notifications.
  TDesktopNotifier *Notifier = nullptr;
  // Told of every failed call (the tray host counts them and sends their notification).
  std::function<void(int entryNumber, const QString &action, const QString &result,
                     std::int64_t callId)>
      OnCallFailed;
  // The picture a notification shows (the moon of the moment).
  std::function<QImage()> NotificationIcon;
  // The open window, or null.
  TMessageForm *MessageForm() const { return FForm.data(); }
  // Called whenever a window closes (after it has been forgotten).
  std::function<void()> OnWindowClosed;
  // Puts one message off (the scheduler keeps it); null: the window offers no snooze.
  std::function<void(const QString &caption, const QString &header, const QString &message,
                     TSnoozeDelay delay)>
      Snooze;

private:
  // A message's notification, sent once the dispatch that showed it has ended.
  struct TPendingNote {
    QString Caption, Body;
    std::function<void()> OnClick;
  };
  // The open window, a new one when none is; raised.
  TMessageForm *OpenWindow();
  void SendPendingNotes();

  QPointer<TMessageForm> FForm;
  std::vector<TPendingNote> FPendingNotes;
};
