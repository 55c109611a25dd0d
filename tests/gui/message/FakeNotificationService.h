// A notification service of the tests' own, on the private session bus the test program runs
// under (dbus-run-session): it records what it is sent and can report a click.
#pragma once

#include <QByteArray>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <memory>

// What the service received in one Notify call.
struct TReceived {
  QString AppName, Summary, Body, DesktopEntry;
  QStringList Actions;
  int ImageWidth = 0, ImageHeight = 0, Channels = 0;
  QByteArray Pixels;
  uint Id = 0; // the id the service answered with
};

// A notification service that records what it is sent, as a desktop's would show it.
class TFakeNotificationService : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
  QList<TReceived> Received;
  uint NextId = 41;

public slots:
  QStringList GetCapabilities() { return {QStringLiteral("body"), QStringLiteral("actions")}; }
  uint Notify(const QString &appName, uint, const QString &, const QString &summary,
              const QString &body, const QStringList &actions, const QVariantMap &hints, int) {
    TReceived r;
    r.AppName = appName;
    r.Summary = summary;
    r.Body = body;
    r.DesktopEntry = hints.value(QStringLiteral("desktop-entry")).toString();
    r.Actions = actions;
    const QVariant image = hints.value(QStringLiteral("image-data"));
    if (image.canConvert<QDBusArgument>()) {
      const QDBusArgument argument = image.value<QDBusArgument>();
      int rowStride = 0, bits = 0;
      bool alpha = false;
      argument.beginStructure();
      argument >> r.ImageWidth >> r.ImageHeight >> rowStride >> alpha >> bits >> r.Channels >>
          r.Pixels;
      argument.endStructure();
    }
    r.Id = ++NextId;
    Received.append(r);
    return r.Id;
  }
};

// The service registered on a connection of its own, as another process's would be.
class TNotificationServiceOnBus {
public:
  static inline const QString Service = QStringLiteral("org.freedesktop.Notifications");
  static inline const QString Path = QStringLiteral("/org/freedesktop/Notifications");

  // Whether it could take the service's name.
  bool Start() {
    Bus = std::make_unique<QDBusConnection>(
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("service")));
    return Bus->isConnected() &&
           Bus->registerObject(Path, &Fake, QDBusConnection::ExportAllSlots) &&
           Bus->registerService(Service);
  }
  void Stop() {
    if (!Bus)
      return;
    Bus->unregisterService(Service);
    Bus->unregisterObject(Path);
    Bus.reset();
    QDBusConnection::disconnectFromBus(QStringLiteral("service"));
  }
  ~TNotificationServiceOnBus() { Stop(); }
  // The user clicks action of notification id.
  void Click(uint id, const QString &action) {
    QDBusMessage signal =
        QDBusMessage::createSignal(Path, Service, QStringLiteral("ActionInvoked"));
    signal << id << action;
    Bus->send(signal);
  }

  TFakeNotificationService Fake;
  std::unique_ptr<QDBusConnection> Bus;
};
