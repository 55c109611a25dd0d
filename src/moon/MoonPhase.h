// The moon's phase from the positions of sun and moon (Meeus, Astronomical Algorithms: the sun
// after chapter 25 at low accuracy, the moon after chapter 47, the phase angle after chapter 48).
// All angles are in degrees.
#pragma once

#include "core/DateTime.h"

// A geocentric position on the ecliptic.
struct TEclipticPosition {
  long double Longitude = 0; // λ, degrees
  long double Latitude = 0;  // β, degrees
  long double Distance = 0;  // kilometres
};

// The sums of the moon's periodic terms, additive terms included (millionths of a degree for
// longitude and latitude, metres for the distance).
struct TLunarSums {
  long double Longitude = 0; // Σl
  long double Latitude = 0;  // Σb
  long double Distance = 0;  // Σr
};

// x reduced to [0, 360).
long double NormalizeDegrees(long double x);
// Sine of an angle in degrees.
long double DegSin(long double x);
// Cosine of an angle in degrees.
long double DegCos(long double x);
// The Julian Day of a date-time value; 0 at or before 14 October 1582.
long double ToJulianDay(TDateTime x);
// The sun's position at low accuracy.
TEclipticPosition SolarPosition(TDateTime x);
// The periodic-term sums behind LunarPosition, exposed so they can be checked on their own.
TLunarSums LunarSums(TDateTime x);
// The moon's position.
TEclipticPosition LunarPosition(TDateTime x);
// The signed phase angle: about 0 at full moon, ±180 at new moon, negative while waning.
long double PhaseAngle(TDateTime x);
