#include "platform/Clock.h"

TDateTime Now() {
  return DateTimeFromQDateTime(QDateTime::currentDateTime());
}
