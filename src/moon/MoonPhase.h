// The moon's phase from the positions of sun and moon (Meeus, Astronomical Algorithms:
// sun chapter 25 low accuracy, moon chapter 47, phase angle chapter 48). Angles in degrees.
#pragma once

#include "base/DateTime.h"

// A geocentric ecliptic position: longitude and latitude in degrees, distance in kilometres.
struct TEclipticPosition {
  long double Longitude = 0;
  long double Latitude = 0;
  long double Distance = 0;
};

// The periodic sums of the moon (additive terms included): longitude and latitude in
// 1e-6 degree, distance in 1e-3 km.
struct TLunarSums {
  long double SumL = 0, SumB = 0, SumR = 0;
};

// x reduced to [0, 360): x - 360 n with n the nearest whole number to x / 360 (halves to even).
long double NormalizeDegrees(long double x);
// Sine and cosine of an angle in degrees, reduced first.
long double DegSin(long double x);
long double DegCos(long double x);
// The Julian Day of a date-time value; 0 at or before 14 October 1582.
long double ToJulianDay(TDateTime x);
// The sun's position at x (low accuracy; latitude 0).
TEclipticPosition SolarPosition(TDateTime x);
// The moon's periodic sums at x, exposed for checking against published examples.
TLunarSums LunarSums(TDateTime x);
// The moon's position at x.
TEclipticPosition LunarPosition(TDateTime x);
// The signed phase angle at x: about 0 at full moon, about +-180 at new moon, negative
// while waning.
long double PhaseAngle(TDateTime x);
