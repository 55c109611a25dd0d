#include "gui/message/DesktopNotifier.h"

#include "base/ApplicationId.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDir>
#include <QFileInfo>
#include <QVariantMap>

namespace {

const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
const QString Interface = QStringLiteral("org.freedesktop.Notifications");
const QString DefaultAction = QStringLiteral("default");
const QString DesktopId = QString::fromLatin1(ApplicationId);

// A picture as the notification service takes it: the "image-data" hint (iiibiiay).
struct TImageData {
  int Width = 0, Height = 0, RowStride = 0;
  bool HasAlpha = true;
  int BitsPerSample = 8, Channels = 4;
  QByteArray Pixels;
};

} // namespace

Q_DECLARE_METATYPE(TImageData)

namespace {

QDBusArgument &operator<<(QDBusArgument &argument, const TImageData &image) {
  argument.beginStructure();
  argument << image.Width << image.Height << image.RowStride << image.HasAlpha
           << image.BitsPerSample << image.Channels << image.Pixels;
  argument.endStructure();
  return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, TImageData &image) {
  argument.beginStructure();
  argument >> image.Width >> image.Height >> image.RowStride >> image.HasAlpha >>
      image.BitsPerSample >> image.Channels >> image.Pixels;
  argument.endStructure();
  return argument;
}

TImageData ImageData(const QImage &icon) {
  const QImage rgba = icon.convertToFormat(QImage::Format_RGBA8888);
  TImageData data;
  data.Width = rgba.width();
  data.Height = rgba.height();
  data.RowStride = static_cast<int>(rgba.bytesPerLine());
  data.Pixels = QByteArray(reinterpret_cast<const char *>(rgba.constBits()),
                           static_cast<qsizetype>(rgba.sizeInBytes()));
  return data;
}

// Whether a session bus is there to be reached. Without an address libdbus would try to
// launch a bus of its own (dbus-launch on X11); a scheduler started from cron or ssh must
// not leave a daemon behind for a notification nobody sees.
bool SessionBusKnown() {
  if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
    return true;
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}

// The body as plain text for a service that reads markup.
QString EscapedBody(const QString &text) {
  return text.toHtmlEscaped();
}

} // namespace

TDesktopNotifier::TDesktopNotifier(QObject *parent) : QObject(parent) {
  qDBusRegisterMetaType<TImageData>();
  if (!SessionBusKnown())
    return;
  QDBusConnection bus = QDBusConnection::sessionBus();
  FConnected = bus.isConnected();
  if (!FConnected)
    return;
  // Signals from whichever process owns the service name (its unique name is not known yet).
  bus.connect(QString(), Path, Interface, QStringLiteral("ActionInvoked"), this,
              SLOT(ActionInvoked(uint, QString)));
  bus.connect(QString(), Path, Interface, QStringLiteral("NotificationClosed"), this,
              SLOT(NotificationClosed(uint, uint)));
  auto *watcher =
      new QDBusPendingCallWatcher(bus.asyncCall(QDBusMessage::createMethodCall(
                                      Service, Path, Interface, QStringLiteral("GetCapabilities"))),
                                  this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
    const QDBusPendingReply<QStringList> reply = *w;
    if (!reply.isError())
      FBodyMarkup = reply.value().contains(QStringLiteral("body-markup"));
    w->deleteLater();
  });
}

void TDesktopNotifier::Notify(const QString &summary, const QString &body, const QImage &icon,
                              std::function<void()> onClick, const QString &actionLabel) {
  if (!Enabled || !FConnected)
    return;
  QVariantMap hints;
  hints.insert(QStringLiteral("desktop-entry"), DesktopId);
  if (!icon.isNull())
    hints.insert(QStringLiteral("image-data"), QVariant::fromValue(ImageData(icon)));
  QDBusMessage call =
      QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("Notify"));
  call << QStringLiteral("Kronolab") << 0u << DesktopId << summary
       << (FBodyMarkup ? EscapedBody(body) : body) << QStringList{DefaultAction, actionLabel}
       << hints << -1;
  auto *watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this,
          [this, onClick = std::move(onClick)](QDBusPendingCallWatcher *w) {
            const QDBusPendingReply<uint> reply = *w;
            if (!reply.isError())
              FOpen.insert(reply.value(), onClick);
            w->deleteLater();
          });
}

void TDesktopNotifier::ActionInvoked(uint id, const QString &actionKey) {
  // The signal reaches every client of the service; only our own notifications count.
  const auto open = FOpen.constFind(id);
  if (open == FOpen.cend() || actionKey != DefaultAction)
    return;
  // A copy: the handler may send notifications of its own meanwhile.
  const std::function<void()> onClick = *open;
  if (onClick)
    onClick();
  else if (OnActivated)
    OnActivated();
}

void TDesktopNotifier::NotificationClosed(uint id, uint) {
  FOpen.remove(id);
}
