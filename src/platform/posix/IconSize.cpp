#include "platform/IconSize.h"

// Linux desktops have no single system icon metric; tray hosts and window managers scale
// whatever they get. 32 pixels is the size they all show sharply.
int SystemIconSize() {
  return 32;
}
