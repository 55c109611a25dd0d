// When the moon's picture can next look different, so that the program wakes for it then and
// not before.
#pragma once

#include "base/DateTime.h"

// The earliest moment after now at which the moon's picture of size pixels may differ from the
// one of now; never later than the true change.
TDateTime NextPictureChange(TDateTime now, int size);
