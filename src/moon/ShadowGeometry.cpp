#include "moon/ShadowGeometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "moon/MoonPhase.h"

std::vector<TShadowSpan> ShadowSpans(double shadowAngle, int cx, int cy, int r) {
  std::vector<TShadowSpan> spans;
  if (r < 0)
    return spans;
  spans.reserve(2 * static_cast<std::size_t>(r) + 2);
  // k runs from 1 at full moon to -1 at new moon: where the terminator crosses each row, as a
  // fraction of the row's half width.
  const double k = DegCos(shadowAngle);
  const bool waning = shadowAngle >= 180;
  for (int e = 0; e <= r; ++e) {
    const double w = std::sqrt(static_cast<double>(r) * r - static_cast<double>(e) * e);
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

namespace {

// Faster than the phase angle and the gap of longitudes ever move, in degrees a day: the moon
// runs at most about 15.4 degrees a day against the stars and the sun about 1, and the phase
// angle follows their distance on the sky within a fraction of a percent.
constexpr double MaxPhaseRate = 18;
constexpr double OneSecond = 1.0 / 86400;

// How far the shadow angle may move before a row's terminator column or the lit side changes.
double RoomToMove(const TPhase &phase, int r) {
  const double angle = NormalizeDegrees(phase.Angle);
  const double k = DegCos(angle);
  double low = -1, high = 1;
  for (int e = 0; e <= r; ++e) {
    const double w = std::sqrt(static_cast<double>(r) * r - static_cast<double>(e) * e);
    if (w <= 0)
      continue;
    const double terminator = std::nearbyint(k * w);
    low = std::max(low, (terminator - 0.5) / w);
    high = std::min(high, (terminator + 0.5) / w);
  }
  // Within a half of the circle the angle moves k monotonically; its band of k is an arc.
  const double folded = angle < 180 ? angle : 360 - angle;
  const double toBand = std::min(folded - std::acos(std::min(high, 1.0)) * 180 / std::numbers::pi,
                                 std::acos(std::max(low, -1.0)) * 180 / std::numbers::pi - folded);
  // The lit side turns over where the gap of longitudes passes 0 or 180.
  const double gap = std::fmod(phase.LongitudeGap, 180);
  return std::max(0.0, std::min({toBand, gap, 180 - gap}));
}

} // namespace

TDateTime NextShadowChange(TDateTime now, int r) {
  const auto spansAt = [r](const TPhase &phase) {
    return ShadowSpans(NormalizeDegrees(phase.Angle), 0, 0, r);
  };
  const std::vector<TShadowSpan> shown = spansAt(PhaseAt(now));
  TDateTime t = now;
  // Each step goes as far as the fastest phase could in the room left, so it never passes the
  // change; the room shrinks by about half a step, and a few dozen steps reach the second.
  for (int step = 0; step < 200; ++step) {
    const TPhase phase = PhaseAt(t);
    if (spansAt(phase) != shown)
      return t;
    const double days = RoomToMove(phase, r) / MaxPhaseRate;
    if (days < OneSecond)
      return t + OneSecond;
    t += days;
  }
  return t;
}
