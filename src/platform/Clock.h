// The wall clock. The engine reads the time only here, and everything that decides takes
// "now" as a parameter, so tests never depend on the real clock.
#pragma once

#include "base/DateTime.h"

// The local wall-clock time with milliseconds as a date-time value.
TDateTime Now();
