#include "gui/tray/FailureMark.h"

#include <QImage>
#include <QList>
#include <QPainter>
#include <QPixmap>
#include <QSize>
#include <algorithm>

namespace {

// Sizes drawn when the icon names none (a picture made at run time).
constexpr int DefaultSizes[] = {16, 22, 24, 32, 48, 64};
// A long action is cut in the notification; the history shows it whole.
constexpr int MaxShownAction = 100;

QPixmap Marked(const QPixmap &picture) {
  QImage image = picture.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
  const qreal side = std::min(image.width(), image.height());
  // Half the picture, so that it still reads at a panel's 16 pixels.
  const qreal d = side * 0.5;
  const QRectF disc(image.width() - d, image.height() - d, d, d);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  // A white rim keeps the disc apart from a dark moon and a dark panel alike.
  painter.setPen(QPen(Qt::white, std::max<qreal>(1.0, d / 10)));
  painter.setBrush(QColor(0xd0, 0x10, 0x10));
  painter.drawEllipse(disc.adjusted(0.5, 0.5, -0.5, -0.5));
  // The exclamation mark, drawn rather than typed: no font renders it at six pixels.
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::white);
  const qreal w = std::max<qreal>(1.0, d / 7);
  const qreal x = disc.center().x() - w / 2;
  painter.drawRect(QRectF(x, disc.top() + d * 0.2, w, d * 0.38));
  painter.drawRect(QRectF(x, disc.top() + d * 0.66, w, w));
  painter.end();
  return QPixmap::fromImage(image);
}

} // namespace

QIcon FailureMarkedIcon(const QIcon &icon) {
  QList<QSize> sizes = icon.availableSizes();
  if (sizes.isEmpty())
    for (const int side : DefaultSizes)
      sizes.append(QSize(side, side));
  QIcon marked;
  for (const QSize &size : sizes) {
    const QPixmap picture = icon.pixmap(size);
    if (!picture.isNull())
      marked.addPixmap(Marked(picture));
  }
  return marked;
}

QString FailureCountText(int failedCalls) {
  if (failedCalls <= 0)
    return QString();
  if (failedCalls == 1)
    return QStringLiteral("1 Aufruf fehlgeschlagen (seit „Verlauf“ zuletzt geöffnet wurde)");
  return QStringLiteral("%1 Aufrufe fehlgeschlagen (seit „Verlauf“ zuletzt geöffnet wurde)")
      .arg(failedCalls);
}

QString FailureNotificationText(int entryNumber, const QString &action, const QString &result) {
  QString shown = action;
  if (shown.size() > MaxShownAction)
    shown = shown.left(MaxShownAction - 1) + QStringLiteral("…");
  const QString what = entryNumber > 0
                           ? QStringLiteral("Aktion %1: „%2“").arg(entryNumber).arg(shown)
                           : QStringLiteral("Aktion „%1“").arg(shown);
  return what + u'\n' + result;
}
