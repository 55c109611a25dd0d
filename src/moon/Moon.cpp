#include "moon/Moon.h"

#include <QPainter>

#include <algorithm>
#include <array>

#include "moon/MoonPhase.h"
#include "moon/ShadowGeometry.h"
#include "platform/Clock.h"
#include "platform/IconSize.h"

// The pictures live in a static library, whose resources the linker would drop unless
// registered explicitly; Q_INIT_RESOURCE must be used outside any namespace.
static void RegisterMoonPictures() {
  Q_INIT_RESOURCE(moon);
}

namespace {

// Fixed facts of one picture size: edge, disc centre and radius, and the resource names.
struct TMoonSizeInfo {
  int Edge, CentreX, CentreY, Radius;
  const char *Picture;
  const char *Mask;
};

constexpr std::array<TMoonSizeInfo, 3> SizeInfo{{
    {64, 31, 28, 28, ":/moon/MOON_LARGE", ":/moon/MOON_BW_LARGE"},
    {32, 15, 14, 14, ":/moon/MOON_SMALL", ":/moon/MOON_BW_SMALL"},
    {16, 7, 7, 7, ":/moon/MOON_TINY", ":/moon/MOON_BW_TINY"},
}};

// The full-moon picture and mask of one size, loaded from the resources once: the tray and
// the editor repaint several times a second.
struct TMoonPictures {
  QImage Picture; // RGB32
  QImage Mask;    // RGB32, black on the disc
};

const TMoonPictures &Pictures(TMoonSize size) {
  static const std::array<TMoonPictures, 3> pictures = [] {
    RegisterMoonPictures();
    std::array<TMoonPictures, 3> loaded;
    for (std::size_t i = 0; i < SizeInfo.size(); ++i) {
      const TMoonSizeInfo &info = SizeInfo[i];
      loaded[i].Picture =
          QImage(QString::fromLatin1(info.Picture)).convertToFormat(QImage::Format_RGB32);
      loaded[i].Mask = QImage(QString::fromLatin1(info.Mask)).convertToFormat(QImage::Format_RGB32);
      // A missing resource would be a build fault; fall back to a black square rather than
      // painting on a null image.
      if (loaded[i].Picture.isNull()) {
        loaded[i].Picture = QImage(info.Edge, info.Edge, QImage::Format_RGB32);
        loaded[i].Picture.fill(Qt::black);
      }
      if (loaded[i].Mask.isNull()) {
        loaded[i].Mask = QImage(info.Edge, info.Edge, QImage::Format_RGB32);
        loaded[i].Mask.fill(Qt::white);
      }
    }
    return loaded;
  }();
  return pictures[static_cast<std::size_t>(size)];
}

std::vector<TShadowSpan> SpansOf(long double shadowAngle, const TMoonSizeInfo &info) {
  return ShadowSpans(shadowAngle, info.CentreX, info.CentreY, info.Radius);
}

// Paints the dark part of the disc black, one pixel row at a time.
void DrawShadow(QImage &image, long double shadowAngle, const TMoonSizeInfo &info) {
  QPainter painter(&image);
  for (const TShadowSpan &span : SpansOf(shadowAngle, info))
    painter.fillRect(span.FirstColumn, span.Row, span.LastColumn - span.FirstColumn + 1, 1,
                     Qt::black);
}

// The picture size whose images an icon of edge pixels uses.
TMoonSize SizeForIcon(int edge) {
  switch (edge) {
  case 16:
    return ms16;
  case 64:
    return ms64;
  default:
    return ms32;
  }
}

} // namespace

TMoon::TMoon(QWidget *parent) : QLabel(parent) {
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
  FMoonSize = ms64;
  FDate = Now();
  FShadowAngle = NormalizeDegrees(PhaseAngle(FDate));
  SetMoonSize(ms64);
}

void TMoon::SetDate(TDateTime value) {
  FDate = value;
  FShadowAngle = NormalizeDegrees(PhaseAngle(value));
  UpdatePicture();
}

void TMoon::SetMoonSize(TMoonSize size) {
  FMoonSize = size;
  const int edge = SizeInfo[static_cast<std::size_t>(size)].Edge;
  setFixedSize(edge, edge);
  UpdatePicture();
}

QImage ShadedMoonPicture(TMoonSize size, long double shadowAngle) {
  QImage picture = Pictures(size).Picture.copy();
  DrawShadow(picture, shadowAngle, SizeInfo[static_cast<std::size_t>(size)]);
  return picture;
}

void TMoon::UpdatePicture() {
  // A second moves the shadow by far less than a pixel: the picture is painted again only
  // when a row of its shadow changes.
  std::vector<TShadowSpan> spans =
      SpansOf(FShadowAngle, SizeInfo[static_cast<std::size_t>(FMoonSize)]);
  if (!FBitmap.isNull() && FBitmapSize == FMoonSize && spans == FBitmapSpans)
    return;
  FBitmapSpans = std::move(spans);
  FBitmapSize = FMoonSize;
  FBitmap = ShadedMoonPicture(FMoonSize, FShadowAngle);
  setPixmap(QPixmap::fromImage(FBitmap));
}

QImage TMoon::IconImage(int edge) const {
  const TMoonSize size = SizeForIcon(edge);
  const TMoonPictures &pictures = Pictures(size);
  // Colour image: the full moon copied into the top-left corner and shaded there.
  QImage colour;
  if (pictures.Picture.size() == QSize(edge, edge)) {
    colour = pictures.Picture.copy(); // the usual case, without a painter
  } else {
    colour = QImage(edge, edge, QImage::Format_RGB32);
    colour.fill(Qt::black);
    QPainter painter(&colour);
    painter.drawImage(0, 0, pictures.Picture);
  }
  DrawShadow(colour, FShadowAngle, SizeInfo[static_cast<std::size_t>(size)]);
  // Mask: white (and everything outside the copied square) is transparent.
  QImage icon = colour.convertToFormat(QImage::Format_ARGB32);
  // Read by scan line: pixel() per pixel was a good part of each tick's cost.
  const int maskWidth = std::min(edge, pictures.Mask.width());
  for (int y = 0; y < edge; ++y) {
    auto *line = reinterpret_cast<QRgb *>(icon.scanLine(y));
    const QRgb *mask = y < pictures.Mask.height()
                           ? reinterpret_cast<const QRgb *>(pictures.Mask.constScanLine(y))
                           : nullptr;
    for (int x = 0; x < edge; ++x)
      if (mask == nullptr || x >= maskWidth || qGray(mask[x]) >= 128)
        line[x] = qRgba(0, 0, 0, 0);
  }
  return icon;
}

const QIcon &TMoon::GetIcon() {
  const int edge = SystemIconSize();
  std::vector<TShadowSpan> spans =
      SpansOf(FShadowAngle, SizeInfo[static_cast<std::size_t>(SizeForIcon(edge))]);
  // Rebuilt only when its picture changes, so an unchanged icon keeps its cache key and the
  // tray is not asked to take the same picture again.
  if (FIcon.isNull() || edge != FIconEdge || spans != FIconSpans) {
    FIcon = QIcon(QPixmap::fromImage(IconImage(edge)));
    FIconEdge = edge;
    FIconSpans = std::move(spans);
  }
  return FIcon;
}
