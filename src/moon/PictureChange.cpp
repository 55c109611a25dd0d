#include "moon/PictureChange.h"

namespace {
// The shadow moves about 12 degrees a day, so a picture of at most 64 pixels changes far less
// often than this; looking again after it is cheap and never late enough to show.
constexpr TDateTime LookAgainAfter = 10.0 / 1440;
} // namespace

TDateTime NextPictureChange(TDateTime now, int size) {
  (void)size;
  return now + LookAgainAfter;
}
