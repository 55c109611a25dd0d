// The moon pictures: the full moon of each size with the dark part of the disc painted over
// it, and the icon image made from it. Qt Gui only, no widget: the command-line tool draws
// its pictures with this alone.
#pragma once

#include "base/DateTime.h"
#include "moon/ShadowGeometry.h"

#include <QImage>
#include <QPoint>
#include <QRgb>
#include <vector>

// The dark side of the moon: ash grey, as earthshine lights it, never black, so that the moon
// near new moon stays visible on a dark panel.
inline constexpr QRgb MoonShadowColour = qRgb(64, 64, 72);
// The disc's edge is drawn halfway towards this grey where it is lit and in this grey where it
// is dark, a rim that shows the disc on light and dark panels at every phase (on a #202020
// panel the dark side's rim stands out by more than 3:1).
inline constexpr QRgb MoonRimColour = qRgb(150, 150, 150);

// Picture sizes of the moon control, largest first.
enum TMoonSize { ms64, ms32, ms16 };

// The edge length in pixels of a picture size.
int MoonPictureEdge(TMoonSize size);

// The picture size whose images an icon of edge pixels uses: 16 and 64 their own, every
// other edge the 32-pixel one.
TMoonSize MoonSizeForIcon(int edge);

// The dark rows of the disc of a picture size at shadowAngle.
std::vector<TShadowSpan> MoonShadowSpans(TMoonSize size, long double shadowAngle);

// The first moment after now at which the picture of a size may differ from the one at now
// (never more than a second late; see NextShadowChange): when a tray or window showing the moon
// needs to look again.
TDateTime NextPictureChange(TDateTime now, TMoonSize size);
// The first moment after now at which any of the pictures (every icon size) may change.
TDateTime NextMoonPictureChange(TDateTime now);

// The pixels of the disc's edge of a picture size: those of the disc beside one outside it.
const std::vector<QPoint> &MoonRimPixels(TMoonSize size);

// The full-moon picture of a size with the dark part for shadowAngle painted in the shadow
// colour and the disc's rim drawn.
QImage ShadedMoonPicture(TMoonSize size, long double shadowAngle);

// The icon image for an icon edge of edge pixels: 16, 32 and 64 use their own pictures, every
// other edge the 32-pixel one in the top-left corner, transparent elsewhere.
QImage MoonIconImage(int edge, long double shadowAngle);

// The moon at any edge: 16, 32 and 64 as drawn, every other edge the largest picture, masked,
// scaled smoothly to edge × edge pixels with its rim drawn again at that size.
QImage MoonPictureAt(int edge, long double shadowAngle);
