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

// A dark patch of the surface, in disc coordinates (-1..1, y downwards).
struct TPatch {
  double X, Y, RadiusX, RadiusY, Darkness;
};

// The large maria as seen from the northern hemisphere, simplified to ellipses.
constexpr TPatch Maria[] = {
    {-0.38, -0.30, 0.30, 0.22, 0.30}, // Imbrium
    {0.05, -0.28, 0.20, 0.17, 0.28},  // Serenitatis
    {0.20, 0.02, 0.22, 0.18, 0.27},   // Tranquillitatis
    {0.55, -0.18, 0.13, 0.11, 0.32},  // Crisium
    {-0.62, 0.05, 0.22, 0.34, 0.26},  // Oceanus Procellarum
    {0.38, 0.30, 0.13, 0.15, 0.22},   // Fecunditatis
    {0.14, 0.38, 0.12, 0.10, 0.22},   // Nectaris
    {-0.30, 0.30, 0.15, 0.12, 0.20},  // Nubium
};

// Bright ray craters: a light spot with a darker rim.
constexpr TPatch Craters[] = {
    {-0.10, 0.72, 0.08, 0.08, 0.0},  // Tycho
    {-0.42, -0.02, 0.06, 0.06, 0.0}, // Copernicus
    {-0.72, -0.12, 0.05, 0.05, 0.0}, // Kepler
    {0.42, 0.52, 0.05, 0.05, 0.0},
};

// Half width of disc row e (rows counted from the centre), as the shadow uses it.
int HalfWidth(int radius, int e) {
  return static_cast<int>(std::nearbyint(std::sqrt(double(radius * radius - e * e))));
}

// The brightness (0 black .. 1 white) of the surface at disc coordinates (x, y).
double Brightness(double x, double y) {
  const double rr = std::min(1.0, x * x + y * y);
  double value = 0.95 - 0.15 * rr; // a little darker towards the limb
  for (const TPatch &p : Maria) {
    const double dx = (x - p.X) / p.RadiusX, dy = (y - p.Y) / p.RadiusY;
    const double d = dx * dx + dy * dy;
    if (d < 1)
      value -= p.Darkness * (1 - d * d);
  }
  for (const TPatch &c : Craters) {
    const double d = std::hypot(x - c.X, y - c.Y) / c.RadiusX;
    if (d < 0.6)
      value += 0.15;
    else if (d < 1.0)
      value -= 0.15;
  }
  return std::clamp(value, 0.0, 1.0);
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
      sum += Brightness(x, y);
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
