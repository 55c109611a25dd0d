// Small helpers the tests share.
#pragma once

#include "base/DateTime.h"

// A local date-time value from its calendar fields.
inline TDateTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
                    int msec = 0) {
  return ComposeDateTime(EncodeDate(year, month, day), EncodeTime(hour, minute, second, msec));
}

// Date-time values agree to well below a millisecond.
constexpr double MsTolerance = 0.01 / MSecsPerDay;
