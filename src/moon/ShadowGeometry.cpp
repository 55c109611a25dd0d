#include "moon/ShadowGeometry.h"

#include <cmath>

#include "moon/MoonPhase.h"

std::vector<TShadowSpan> ShadowSpans(long double shadowAngle, int cx, int cy, int r) {
  std::vector<TShadowSpan> spans;
  if (r < 0)
    return spans;
  spans.reserve(2 * static_cast<std::size_t>(r) + 2);
  // k runs from 1 at full moon to -1 at new moon: where the terminator crosses each row, as a
  // fraction of the row's half width.
  const long double k = DegCos(shadowAngle);
  const bool waning = shadowAngle >= 180;
  for (int e = 0; e <= r; ++e) {
    const long double w =
        std::sqrt(static_cast<long double>(r) * r - static_cast<long double>(e) * e);
    // nearbyint rounds halves to even.
    const int halfWidth = static_cast<int>(std::nearbyint(w));
    const int terminator = static_cast<int>(std::nearbyint(k * w));
    const int first = waning ? cx + terminator : cx - halfWidth;
    const int last = waning ? cx + halfWidth : cx - terminator;
    spans.push_back({cy - e, first, last});
    spans.push_back({cy + e, first, last});
  }
  return spans;
}
