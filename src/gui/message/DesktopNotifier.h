// Desktop notifications: every message and error the program shows also goes to the
// desktop's notification service (org.freedesktop.Notifications on the session bus), where
// there is one. Nothing ever waits for the service: calls are asynchronous, and without a bus
// or a service the notifier does nothing.
#pragma once

#include <QHash>
#include <QImage>
#include <QObject>
#include <QString>
#include <functional>

// Sends notifications and tells when the user clicks one of ours.
class TDesktopNotifier : public QObject {
  Q_OBJECT
public:
  explicit TDesktopNotifier(QObject *parent = nullptr);

  // Sends one notification with summary, body and icon (may be null); returns at once. Does
  // nothing while Enabled is false or when there is no session bus. A click on it runs
  // onClick (when given, else OnActivated); actionLabel names its button.
  void Notify(const QString &summary, const QString &body, const QImage &icon,
              std::function<void()> onClick = nullptr,
              const QString &actionLabel = QStringLiteral("Anzeigen"));

  // The user's switch ("Desktop-Benachrichtigungen").
  bool Enabled = true;
  // Called when the user clicks (activates) one of our notifications.
  std::function<void()> OnActivated;
  // Whether a session bus could be reached; false means every Notify is dropped.
  bool Connected() const { return FConnected; }

private slots:
  void ActionInvoked(uint id, const QString &actionKey);
  void NotificationClosed(uint id, uint reason);

private:
  bool FConnected = false;
  // Whether the service shows markup in the body (asked once); then our text is escaped.
  bool FBodyMarkup = false;
  // The notifications of ours that are still open, by the id the service gave them, each
  // with what its click does (empty: OnActivated).
  QHash<uint, std::function<void()>> FOpen;
};
