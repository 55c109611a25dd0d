// The program icon: our moon, two thirds lit, drawn afresh at each size the desktop asks for, so
// that every size is sharp instead of a scaled copy of a large picture.
#pragma once

#include <QImage>

// The edge lengths (pixels) of the icon in the desktop's icon theme folders.
inline constexpr int ProgramIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

// Below this edge length the disc is all or nothing per pixel (no half-transparent edge), so a
// small icon does not blur; from it on the edge is smoothed, where steps would show.
inline constexpr int SmoothEdgeFromSize = 48;

// The icon at edge × edge pixels (ARGB32, transparent around the disc). Deterministic: the
// same edge always gives the same pixels, which the committed PNGs are checked against.
QImage DrawProgramIcon(int edge);
