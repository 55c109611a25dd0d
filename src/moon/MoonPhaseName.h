// What a phase angle means to a reader: the lit share of the disc and the phase's German name,
// for the command-line tool.
#pragma once

#include <QString>

// The illuminated fraction (1 + cos i) / 2 of a shadow angle in degrees (0 to 1).
double IlluminatedFraction(double shadowAngle);
// The German name of the phase for a shadow angle in [0, 360).
QString MoonPhaseName(double shadowAngle);
