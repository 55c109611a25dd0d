// The moon's phase from the positions of sun and moon (Meeus, Astronomical Algorithms:
// sun chapter 25 low accuracy, moon chapter 47, phase angle chapter 48). Angles in degrees.
// Summed in double: long double changes the angle by less than 1e-6 degree, nothing a picture
// or the command line shows, at several times the cost.
#pragma once

#include "base/DateTime.h"

// A geocentric ecliptic position: longitude and latitude in degrees, distance in kilometres.
struct TEclipticPosition {
  double Longitude = 0;
  double Latitude = 0;
  double Distance = 0;
};

// The periodic sums of the moon (additive terms included): longitude and latitude in
// 1e-6 degree, distance in 1e-3 km.
struct TLunarSums {
  double SumL = 0, SumB = 0, SumR = 0;
};

// x reduced to [0, 360): x - 360 n with n the nearest whole number to x / 360 (halves to even).
double NormalizeDegrees(double x);
// Sine and cosine of an angle in degrees, reduced first.
double DegSin(double x);
double DegCos(double x);
// The Julian Day of a date-time value; 0 at or before 14 October 1582.
double ToJulianDay(TDateTime x);
// The sun's position at x (low accuracy; latitude 0).
TEclipticPosition SolarPosition(TDateTime x);
// The moon's periodic sums at x, exposed for checking against published examples.
TLunarSums LunarSums(TDateTime x);
// The moon's position at x.
TEclipticPosition LunarPosition(TDateTime x);
// The signed phase angle at x: about 0 at full moon, about +-180 at new moon, negative
// while waning.
double PhaseAngle(TDateTime x);
// The signed phase angle and the moon's longitude less the sun's in [0, 360): the angle's
// sign turns where that passes 0 and 180.
struct TPhase {
  double Angle = 0;
  double LongitudeGap = 0;
};
TPhase PhaseAt(TDateTime x);
