// Which pixels of the moon's disc lie in shadow: the terminator is computed row by row, so the
// picture follows the phase continuously instead of choosing from a few fixed images.
#pragma once

#include "base/DateTime.h"

#include <vector>

// One horizontal run of dark pixels, both end columns included.
struct TShadowSpan {
  int Row = 0;
  int FirstColumn = 0;
  int LastColumn = 0;
  bool operator==(const TShadowSpan &) const = default;
};

// The spans to paint black over a disc with centre (cx, cy) and radius r for a shadow angle in
// [0, 360): below 180 the moon waxes and its left side is dark, from 180 on it wanes and its right
// side is dark. Row cy comes twice, as the upper and the lower half both include it.
std::vector<TShadowSpan> ShadowSpans(double shadowAngle, int cx, int cy, int r);
// The first moment after now at which the spans of a disc of radius r may differ from those at
// now: worked out from the fastest the phase can change, so never later than the change by more
// than a second, and usually a little early (a new look there finds the next one). now is a
// date-time value as PhaseAngle takes it.
TDateTime NextShadowChange(TDateTime now, int r);
