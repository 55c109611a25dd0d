// The moon pictures: the full moon of each size with the dark part of the disc painted over
// it, and the icon image made from it. Qt Gui only, no widget: the command-line tool draws
// its pictures with this alone.
#pragma once

#include "moon/ShadowGeometry.h"

#include <QImage>
#include <vector>

// Picture sizes of the moon control, largest first.
enum TMoonSize { ms64, ms32, ms16 };

// The edge length in pixels of a picture size.
int MoonPictureEdge(TMoonSize size);

// The picture size whose images an icon of edge pixels uses: 16 and 64 their own, every
// other edge the 32-pixel one.
TMoonSize MoonSizeForIcon(int edge);

// The dark rows of the disc of a picture size at shadowAngle.
std::vector<TShadowSpan> MoonShadowSpans(TMoonSize size, long double shadowAngle);

// The full-moon picture of a size with the dark part for shadowAngle painted black.
QImage ShadedMoonPicture(TMoonSize size, long double shadowAngle);

// The icon image for an icon edge of edge pixels: 16, 32 and 64 use their own pictures, every
// other edge the 32-pixel one in the top-left corner, transparent elsewhere.
QImage MoonIconImage(int edge, long double shadowAngle);
