// The edge length in pixels of the desktop's standard application icon.
#pragma once

// The system's standard icon edge (both width and height), in pixels.
int SystemIconSize();
