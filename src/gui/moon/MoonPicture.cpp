#include "gui/moon/MoonPicture.h"

#include <QPainter>
#include <QString>
#include <algorithm>
#include <array>
#include <utility>

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

const TMoonSizeInfo &InfoOf(TMoonSize size) {
  return SizeInfo[static_cast<std::size_t>(size)];
}

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

// Paints the dark part of the disc, one pixel row at a time, then the rim over the whole
// disc's edge. image is RGB32 or ARGB32.
void DrawShadow(QImage &image, long double shadowAngle, TMoonSize size) {
  for (const TShadowSpan &span : MoonShadowSpans(size, shadowAngle)) {
    if (span.Row < 0 || span.Row >= image.height())
      continue;
    auto *line = reinterpret_cast<QRgb *>(image.scanLine(span.Row));
    for (int x = std::max(span.FirstColumn, 0); x <= std::min(span.LastColumn, image.width() - 1);
         ++x)
      line[x] = MoonShadowColour;
  }
  for (const QPoint &p : MoonRimPixels(size)) {
    if (!image.valid(p))
      continue;
    const QRgb pixel = image.pixel(p);
    // Over the dark side the rim is the full grey: halfway from the ash grey it would stand
    // out from a dark panel by little more than the shadow itself.
    if ((pixel & RGB_MASK) == (MoonShadowColour & RGB_MASK)) {
      image.setPixel(p, MoonRimColour);
      continue;
    }
    image.setPixel(p, qRgb((qRed(pixel) + qRed(MoonRimColour)) / 2,
                           (qGreen(pixel) + qGreen(MoonRimColour)) / 2,
                           (qBlue(pixel) + qBlue(MoonRimColour)) / 2));
  }
}

} // namespace

int MoonPictureEdge(TMoonSize size) {
  return InfoOf(size).Edge;
}

TMoonSize MoonSizeForIcon(int edge) {
  switch (edge) {
  case 16:
    return ms16;
  case 64:
    return ms64;
  default:
    return ms32;
  }
}

std::vector<TShadowSpan> MoonShadowSpans(TMoonSize size, long double shadowAngle) {
  const TMoonSizeInfo &info = InfoOf(size);
  return ShadowSpans(shadowAngle, info.CentreX, info.CentreY, info.Radius);
}

TDateTime NextPictureChange(TDateTime now, TMoonSize size) {
  return NextShadowChange(now, InfoOf(size).Radius);
}

TDateTime NextMoonPictureChange(TDateTime now) {
  return std::min(
      {NextPictureChange(now, ms64), NextPictureChange(now, ms32), NextPictureChange(now, ms16)});
}

const std::vector<QPoint> &MoonRimPixels(TMoonSize size) {
  static const std::array<std::vector<QPoint>, 3> rims = [] {
    std::array<std::vector<QPoint>, 3> found;
    for (std::size_t i = 0; i < SizeInfo.size(); ++i) {
      const TMoonSizeInfo &info = SizeInfo[i];
      // The whole disc is the shadow of the new moon: the same rows the shadow fills.
      std::vector<std::pair<int, int>> rows(static_cast<std::size_t>(info.Edge), {1, 0});
      for (const TShadowSpan &span : ShadowSpans(180, info.CentreX, info.CentreY, info.Radius))
        if (span.Row >= 0 && span.Row < info.Edge)
          rows[static_cast<std::size_t>(span.Row)] = {span.FirstColumn, span.LastColumn};
      auto inDisc = [&](int x, int y) {
        if (y < 0 || y >= info.Edge)
          return false;
        const auto &[first, last] = rows[static_cast<std::size_t>(y)];
        return x >= first && x <= last;
      };
      for (int y = 0; y < info.Edge; ++y)
        for (int x = 0; x < info.Edge; ++x)
          if (inDisc(x, y) &&
              (!inDisc(x - 1, y) || !inDisc(x + 1, y) || !inDisc(x, y - 1) || !inDisc(x, y + 1)))
            found[i].push_back({x, y});
    }
    return found;
  }();
  return rims[static_cast<std::size_t>(size)];
}

QImage ShadedMoonPicture(TMoonSize size, long double shadowAngle) {
  QImage picture = Pictures(size).Picture.copy();
  DrawShadow(picture, shadowAngle, size);
  return picture;
}

QImage MoonIconImage(int edge, long double shadowAngle) {
  const TMoonSize size = MoonSizeForIcon(edge);
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
  DrawShadow(colour, shadowAngle, size);
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

QImage MoonPictureAt(int edge, long double shadowAngle) {
  if (edge == 16 || edge == 32 || edge == 64)
    return MoonIconImage(edge, shadowAngle); // drawn for that size
  const QImage large = MoonIconImage(MoonPictureEdge(ms64), shadowAngle);
  QImage scaled = large.scaled(edge, edge, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                      .convertToFormat(QImage::Format_ARGB32);
  // Smoothing blends the one-pixel rim into the dark side; it is drawn again along the
  // scaled disc's outermost whole pixels, as DrawShadow draws it.
  const auto opaque = [&scaled](int x, int y) {
    return scaled.valid(x, y) && qAlpha(scaled.pixel(x, y)) == 255;
  };
  std::vector<QPoint> rim;
  for (int y = 0; y < edge; ++y)
    for (int x = 0; x < edge; ++x)
      if (opaque(x, y) &&
          (!opaque(x - 1, y) || !opaque(x + 1, y) || !opaque(x, y - 1) || !opaque(x, y + 1)))
        rim.push_back({x, y});
  for (const QPoint &p : rim) {
    const QRgb pixel = scaled.pixel(p);
    scaled.setPixel(p, qGray(pixel) < qGray(MoonRimColour)
                           ? MoonRimColour
                           : qRgb((qRed(pixel) + qRed(MoonRimColour)) / 2,
                                  (qGreen(pixel) + qGreen(MoonRimColour)) / 2,
                                  (qBlue(pixel) + qBlue(MoonRimColour)) / 2));
  }
  return scaled;
}
