// Date-times on kronolab-cli's command line and in its output: local time,
// "YYYY-MM-DD hh:mm[:ss[.zzz]]" (or with 'T' between date and time).
#pragma once

#include "base/DateTime.h"

#include <QString>

// Reads a command-line date-time; false when the text is no such moment.
bool ParseCliDateTime(QString text, TDateTime &value);
// A date-time as "YYYY-MM-DD hh:mm:ss.zzz".
QString CliDateTimeText(TDateTime value);
