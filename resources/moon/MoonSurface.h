// The moon's face as our pictures show it: the large maria and the bright ray craters, shared by
// the generators of the moon pictures and of the program icon so that both show the same moon.
#pragma once

#include <algorithm>
#include <cmath>

namespace MoonSurface {

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

// The brightness (0 black .. 1 white) of the surface at disc coordinates (x, y).
inline double Brightness(double x, double y) {
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

} // namespace MoonSurface
