#include "ProgramIcon.h"

#include "MoonSurface.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Where the terminator crosses each row, as a fraction of the row's half width: the left
// third of the moon in shadow, the waxing gibbous moon of an evening in spring.
constexpr double Terminator = 0.35;

// Samples per pixel and axis: enough that the maria survive at 16 pixels.
constexpr int Samples = 6;

struct TColour {
  double R = 0, G = 0, B = 0;
};

TColour Mix(const TColour &a, const TColour &b, double t) {
  return {a.R + (b.R - a.R) * t, a.G + (b.G - a.G) * t, a.B + (b.B - a.B) * t};
}

// The lit surface: a warm white with the maria as the moon pictures show them.
TColour LitColour(double brightness) {
  return {40 + 215 * brightness, 38 + 210 * brightness, 30 + 196 * brightness};
}

// The side in shadow, lit by the earth: ash-grey with a trace of blue, never black, so that
// the whole disc stays visible on a dark panel; the maria show only faintly.
TColour AshColour(double brightness) {
  return {52 + 44 * brightness, 57 + 46 * brightness, 68 + 50 * brightness};
}

// The faint light rim around the disc, lighter than the ash side, for dark backgrounds.
const TColour RimColour{150, 158, 176};

// The geometry of one size: disc centre and radius in pixels, and the rim's width.
struct TIconGeometry {
  int Edge;
  double Centre, Radius, RimWidth;
};

TIconGeometry GeometryFor(int edge) {
  // Small icons give the disc all the room but a pixel; large ones keep a margin, as the
  // icons around ours in a menu do.
  const double margin = edge <= 24 ? 1.0 : edge / 16.0;
  return {edge, edge / 2.0, edge / 2.0 - margin, std::max(1.0, edge / 48.0)};
}

// The disc by rows: the number of pixels that row y holds on each side of the vertical centre
// line, the rounded half width of the circle at the row's middle. Symmetric in both axes.
int RowHalfCount(const TIconGeometry &g, int y) {
  const double dy = y + 0.5 - g.Centre;
  const double ww = g.Radius * g.Radius - dy * dy;
  return ww <= 0 ? 0 : static_cast<int>(std::lround(std::sqrt(ww)));
}

bool InRowDisc(const TIconGeometry &g, int x, int y) {
  if (y < 0 || y >= g.Edge)
    return false;
  const int half = RowHalfCount(g, y);
  const int left = g.Edge / 2 - half;
  return x >= left && x < left + 2 * half + (g.Edge % 2);
}

// The colour at a point in disc coordinates (-1..1, y downwards), without the rim.
TColour SurfaceColour(double x, double y) {
  const double brightness = MoonSurface::Brightness(x, y);
  const double rowHalf = std::sqrt(std::max(0.0, 1 - y * y));
  // The terminator is a soft line: the surface darkens over a few hundredths of the disc.
  const double lit = std::clamp((x + Terminator * rowHalf) / 0.04 + 0.5, 0.0, 1.0);
  return Mix(AshColour(brightness), LitColour(brightness), lit);
}

} // namespace

QImage DrawProgramIcon(int edge) {
  const TIconGeometry g = GeometryFor(edge);
  const bool smooth = edge >= SmoothEdgeFromSize;
  QImage icon(edge, edge, QImage::Format_ARGB32);
  icon.fill(Qt::transparent);
  for (int y = 0; y < edge; ++y)
    for (int x = 0; x < edge; ++x) {
      // A small icon's rim is the outermost pixel of each row and column of the disc.
      const bool rowDisc = InRowDisc(g, x, y);
      const bool rowRim = rowDisc && !(InRowDisc(g, x - 1, y) && InRowDisc(g, x + 1, y) &&
                                       InRowDisc(g, x, y - 1) && InRowDisc(g, x, y + 1));
      if (!smooth && !rowDisc)
        continue;
      TColour sum;
      int inside = 0;
      for (int sy = 0; sy < Samples; ++sy)
        for (int sx = 0; sx < Samples; ++sx) {
          const double px = x + (sx + 0.5) / Samples - g.Centre;
          const double py = y + (sy + 0.5) / Samples - g.Centre;
          const double distance = std::hypot(px, py);
          if (smooth && distance > g.Radius)
            continue;
          TColour colour = SurfaceColour(px / g.Radius, py / g.Radius);
          const bool rim = smooth ? distance > g.Radius - g.RimWidth : rowRim;
          if (rim)
            colour = Mix(colour, RimColour, 0.55);
          sum.R += colour.R;
          sum.G += colour.G;
          sum.B += colour.B;
          ++inside;
        }
      if (inside == 0)
        continue;
      const int alpha =
          smooth ? static_cast<int>(std::lround(255.0 * inside / (Samples * Samples))) : 255;
      const auto channel = [inside](double total) {
        return std::clamp(static_cast<int>(std::lround(total / inside)), 0, 255);
      };
      icon.setPixel(x, y, qRgba(channel(sum.R), channel(sum.G), channel(sum.B), alpha));
    }
  return icon;
}
