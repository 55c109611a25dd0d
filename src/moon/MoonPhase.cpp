#include "moon/MoonPhase.h"

#include "moon/LunarTerms.h"

#include <cmath>
#include <numbers>

namespace {

constexpr double Pi = std::numbers::pi_v<double>;
constexpr double AstronomicalUnit = 149597869.0;
// 14 October 1582; earlier moments all map to Julian Day 0.
constexpr double CalendarStart = -115859.0;

double Centuries(TDateTime x) {
  return (ToJulianDay(x) - 2451545.0) / 36525.0;
}

// The mean elements the lunar series are built on.
struct TLunarElements {
  double LPrime, D, M, MPrime, F, A1, A2, A3, E;
};

TLunarElements Elements(double t) {
  const double t2 = t * t, t3 = t2 * t, t4 = t3 * t;
  TLunarElements el{};
  el.LPrime = 218.3164591 + 481267.88134236 * t - 0.0013268 * t2 + t3 / 538841.0 - t4 / 65194000.0;
  el.D = 297.8502042 + 445267.1115168 * t - 0.00163 * t2 + t3 / 545868.0 - t4 / 113065000.0;
  el.M = 357.5291092 + 35999.0502909 * t - 0.0001536 * t2 + t3 / 24490000.0;
  el.MPrime = 134.9634114 + 477198.8676313 * t + 0.008997 * t2 + t3 / 69699.0 - t4 / 1471200.0;
  el.F = 93.2720993 + 483202.0175273 * t - 0.0034029 * t2 - t3 / 3526000.0 + t4 / 863310000.0;
  el.A1 = 119.75 + 131.849 * t;
  el.A2 = 53.09 + 479264.29 * t;
  el.A3 = 313.45 + 481266.484 * t;
  el.E = 1.0 - 0.002516 * t - 0.0000074 * t2;
  return el;
}

double EccentricityFactor(int m, double e) {
  const int am = m < 0 ? -m : m;
  return am == 1 ? e : (am == 2 ? e * e : 1.0);
}

} // namespace

double NormalizeDegrees(double x) {
  double result = x - 360.0 * std::nearbyint(x / 360.0);
  while (result < 0)
    result += 360.0;
  // A tiny negative remainder can round up to 360 itself.
  if (result >= 360.0)
    result = 0;
  return result;
}

double DegSin(double x) {
  return std::sin(NormalizeDegrees(x) * Pi / 180.0);
}

double DegCos(double x) {
  return std::cos(NormalizeDegrees(x) * Pi / 180.0);
}

double ToJulianDay(TDateTime x) {
  if (x <= CalendarStart)
    return 0;
  // Before 1899-12-30 a value's fraction counts forward from the start of its day, so
  // -1.25 is 06:00 on the 29th; make it a linear day count before adding the offset.
  double linear = x;
  if (x < 0) {
    const double day = std::trunc(static_cast<double>(x));
    linear = day + (day - x);
  }
  return linear + 2415018.5;
}

TEclipticPosition SolarPosition(TDateTime x) {
  const double t = Centuries(x), t2 = t * t, t3 = t2 * t;
  const double m = 357.5291 + 35999.0503 * t - 0.0001559 * t2 - 0.00000048 * t3;
  const double q = (1.9146 - 0.004817 * t - 0.000014 * t2) * DegSin(m) +
                   (0.019993 - 0.000101 * t) * DegSin(2 * m) + 0.00029 * DegSin(3 * m);
  const double trueLongitude = NormalizeDegrees(280.46645 + 36000.76983 * t + 0.0003032 * t2 + q);
  const double e = 0.016708617 - 0.000042037 * t - 0.0000001236 * t2;
  const double r = 1.000001018 * (1 - e * e) / (1 + e * DegCos(m + q)) * AstronomicalUnit;
  const double omega = 125.04452 - 1934.136261 * t + 0.0020708 * t2 + t3 / 450000.0;
  TEclipticPosition pos;
  pos.Longitude = NormalizeDegrees(trueLongitude - 0.00569 - 0.00478 * DegSin(omega) -
                                   0.0056916111 / (r / AstronomicalUnit));
  pos.Latitude = 0;
  pos.Distance = r;
  return pos;
}

TLunarSums LunarSums(TDateTime x) {
  const TLunarElements el = Elements(Centuries(x));
  TLunarSums sums;
  for (const auto &term : MoonTerms::LongitudeDistance) {
    const double a = term.D * el.D + term.M * el.M + term.MPrime * el.MPrime + term.F * el.F;
    const double factor = EccentricityFactor(term.M, el.E);
    sums.SumL += term.ScaleL * factor * DegSin(a);
    sums.SumR += term.ScaleR * factor * DegCos(a);
  }
  for (const auto &term : MoonTerms::Latitude) {
    const double a = term.D * el.D + term.M * el.M + term.MPrime * el.MPrime + term.F * el.F;
    sums.SumB += term.ScaleB * EccentricityFactor(term.M, el.E) * DegSin(a);
  }
  sums.SumL += 3958 * DegSin(el.A1) + 1962 * DegSin(el.LPrime - el.F) + 318 * DegSin(el.A2);
  sums.SumB += -2235 * DegSin(el.LPrime) + 382 * DegSin(el.A3) + 175 * DegSin(el.A1 - el.F) +
               175 * DegSin(el.A1 + el.F) + 127 * DegSin(el.LPrime - el.MPrime) -
               115 * DegSin(el.LPrime + el.MPrime);
  return sums;
}

TEclipticPosition LunarPosition(TDateTime x) {
  const TLunarElements el = Elements(Centuries(x));
  const TLunarSums sums = LunarSums(x);
  TEclipticPosition pos;
  pos.Longitude = NormalizeDegrees(el.LPrime + sums.SumL / 1000000.0);
  pos.Latitude = sums.SumB / 1000000.0;
  pos.Distance = 385000.56 + sums.SumR / 1000.0;
  return pos;
}

TPhase PhaseAt(TDateTime x) {
  const TEclipticPosition sun = SolarPosition(x);
  const TEclipticPosition moon = LunarPosition(x);
  const double psi = std::acos(DegCos(moon.Latitude) * DegCos(moon.Longitude - sun.Longitude));
  // atan2 equals the arctangent plus 180 for a negative quotient, and also gives 180 at an
  // exact conjunction, where the plain arctangent of -0 would claim a full moon.
  double i =
      std::atan2(sun.Distance * std::sin(psi), moon.Distance - sun.Distance * std::cos(psi)) *
      180.0 / Pi;
  if (i < 0)
    i += 180;
  TPhase phase;
  phase.LongitudeGap = NormalizeDegrees(moon.Longitude - sun.Longitude);
  phase.Angle = phase.LongitudeGap > 180 ? -i : i;
  return phase;
}

double PhaseAngle(TDateTime x) {
  return PhaseAt(x).Angle;
}
