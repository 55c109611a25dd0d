// Draws the full-moon pictures and their icon masks that the moon control paints its shadow on.
// Run once after changing the drawing; the PNGs it writes are committed next to it:
//   kronolab_moon_pictures resources/moon
// The disc of each picture follows the same row rule as the shadow (half width of row e is the
// rounded square root of r² - e²), so the shadow always covers exactly the lit disc.
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QString>
#include <QTextStream>

#include "MoonSurface.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// One size of picture: edge length, disc centre and radius, and the names of its files.
struct TPictureSize {
  int Edge, CentreX, CentreY, Radius;
  const char *Picture;
  const char *Mask;
};

constexpr TPictureSize Sizes[] = {
    {64, 31, 28, 28, "MOON_LARGE", "MOON_BW_LARGE"},
    {32, 15, 14, 14, "MOON_SMALL", "MOON_BW_SMALL"},
    {16, 7, 7, 7, "MOON_TINY", "MOON_BW_TINY"},
};

// Half width of disc row e (rows counted from the centre), as the shadow uses it.
int HalfWidth(int radius, int e) {
  return static_cast<int>(std::nearbyint(std::sqrt(double(radius * radius - e * e))));
}

// The 16-colour palette: black, then greys up to white.
QList<QRgb> GreyPalette() {
  QList<QRgb> palette;
  for (int i = 0; i < 16; ++i)
    palette.append(qRgb(i * 17, i * 17, i * 17));
  return palette;
}

// Samples each pixel at 4 by 4 points so the small pictures keep some of the maria.
int GreyIndex(const TPictureSize &size, int column, int row) {
  double sum = 0;
  for (int sy = 0; sy < 4; ++sy)
    for (int sx = 0; sx < 4; ++sx) {
      const double x = (column - size.CentreX + (sx + 0.5) / 4 - 0.5) / (size.Radius + 0.5);
      const double y = (row - size.CentreY + (sy + 0.5) / 4 - 0.5) / (size.Radius + 0.5);
      sum += MoonSurface::Brightness(x, y);
    }
  // Index 0 is the black background; the disc uses 4 (dark grey) to 15 (white).
  return std::clamp(4 + static_cast<int>(std::lround(sum / 16 * 11)), 4, 15);
}

bool WritePictures(const TPictureSize &size, const QDir &folder) {
  QImage picture(size.Edge, size.Edge, QImage::Format_Indexed8);
  picture.setColorTable(GreyPalette());
  picture.fill(0);
  QImage mask(size.Edge, size.Edge, QImage::Format_Mono);
  mask.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
  mask.fill(0); // white: transparent around the disc
  for (int e = -size.Radius; e <= size.Radius; ++e) {
    const int row = size.CentreY + e;
    const int w = HalfWidth(size.Radius, std::abs(e));
    for (int column = size.CentreX - w; column <= size.CentreX + w; ++column) {
      picture.setPixel(column, row, static_cast<uint>(GreyIndex(size, column, row)));
      mask.setPixel(column, row, 1);
    }
  }
  // Indexed8 with a 16-entry table is written as a 4-bit PNG.
  return picture.save(folder.filePath(QString::fromLatin1(size.Picture) + ".png")) &&
         mask.save(folder.filePath(QString::fromLatin1(size.Mask) + ".png"));
}

} // namespace

int main(int argc, char *argv[]) {
  QCoreApplication app(argc, argv);
  const QDir folder(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
  QTextStream err(stderr);
  for (const TPictureSize &size : Sizes)
    if (!WritePictures(size, folder)) {
      err << "Cannot write the pictures for " << size.Picture << " into " << folder.path() << "\n";
      return 1;
    }
  return 0;
}
