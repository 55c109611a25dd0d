#include "moon/MoonPhase.h"

#include "moon/LunarTerms.h"

#include <cmath>
#include <numbers>

namespace {

constexpr long double Pi = std::numbers::pi_v<long double>;
constexpr long double AstronomicalUnit = 149597869.0L;
// 14 October 1582; earlier moments all map to Julian Day 0.
constexpr long double CalendarStart = -115859.0L;

long double Centuries(TDateTime x) {
  return (ToJulianDay(x) - 2451545.0L) / 36525.0L;
}

// The mean elements the lunar series are built on.
struct TLunarElements {
  long double LPrime, D, M, MPrime, F, A1, A2, A3, E;
};

TLunarElements Elements(long double t) {
  const long double t2 = t * t, t3 = t2 * t, t4 = t3 * t;
  TLunarElements el{};
  el.LPrime =
      218.3164591L + 481267.88134236L * t - 0.0013268L * t2 + t3 / 538841.0L - t4 / 65194000.0L;
  el.D = 297.8502042L + 445267.1115168L * t - 0.00163L * t2 + t3 / 545868.0L - t4 / 113065000.0L;
  el.M = 357.5291092L + 35999.0502909L * t - 0.0001536L * t2 + t3 / 24490000.0L;
  el.MPrime = 134.9634114L + 477198.8676313L * t + 0.008997L * t2 + t3 / 69699.0L - t4 / 1471200.0L;
  el.F = 93.2720993L + 483202.0175273L * t - 0.0034029L * t2 - t3 / 3526000.0L + t4 / 863310000.0L;
  el.A1 = 119.75L + 131.849L * t;
  el.A2 = 53.09L + 479264.29L * t;
  el.A3 = 313.45L + 481266.484L * t;
  el.E = 1.0L - 0.002516L * t - 0.0000074L * t2;
  return el;
}

long double EccentricityFactor(int m, long double e) {
  const int am = m < 0 ? -m : m;
  return am == 1 ? e : (am == 2 ? e * e : 1.0L);
}

} // namespace

long double NormalizeDegrees(long double x) {
  long double result = x - 360.0L * std::nearbyintl(x / 360.0L);
  while (result < 0)
    result += 360.0L;
  // A tiny negative remainder can round up to 360 itself.
  if (result >= 360.0L)
    result = 0;
  return result;
}

long double DegSin(long double x) {
  return std::sin(NormalizeDegrees(x) * Pi / 180.0L);
}

long double DegCos(long double x) {
  return std::cos(NormalizeDegrees(x) * Pi / 180.0L);
}

long double ToJulianDay(TDateTime x) {
  if (x <= CalendarStart)
    return 0;
  // Before 1899-12-30 a value's fraction counts forward from the start of its day, so
  // -1.25 is 06:00 on the 29th; make it a linear day count before adding the offset.
  long double linear = x;
  if (x < 0) {
    const long double day = std::trunc(static_cast<long double>(x));
    linear = day + (day - x);
  }
  return linear + 2415018.5L;
}

TEclipticPosition SolarPosition(TDateTime x) {
  const long double t = Centuries(x), t2 = t * t, t3 = t2 * t;
  const long double m = 357.5291L + 35999.0503L * t - 0.0001559L * t2 - 0.00000048L * t3;
  const long double q = (1.9146L - 0.004817L * t - 0.000014L * t2) * DegSin(m) +
                        (0.019993L - 0.000101L * t) * DegSin(2 * m) + 0.00029L * DegSin(3 * m);
  const long double trueLongitude =
      NormalizeDegrees(280.46645L + 36000.76983L * t + 0.0003032L * t2 + q);
  const long double e = 0.016708617L - 0.000042037L * t - 0.0000001236L * t2;
  const long double r = 1.000001018L * (1 - e * e) / (1 + e * DegCos(m + q)) * AstronomicalUnit;
  const long double omega = 125.04452L - 1934.136261L * t + 0.0020708L * t2 + t3 / 450000.0L;
  TEclipticPosition pos;
  pos.Longitude = NormalizeDegrees(trueLongitude - 0.00569L - 0.00478L * DegSin(omega) -
                                   0.0056916111L / (r / AstronomicalUnit));
  pos.Latitude = 0;
  pos.Distance = r;
  return pos;
}

TLunarSums LunarSums(TDateTime x) {
  const TLunarElements el = Elements(Centuries(x));
  TLunarSums sums;
  for (const auto &term : MoonTerms::LongitudeDistance) {
    const long double a = term.D * el.D + term.M * el.M + term.MPrime * el.MPrime + term.F * el.F;
    const long double factor = EccentricityFactor(term.M, el.E);
    sums.SumL += term.ScaleL * factor * DegSin(a);
    sums.SumR += term.ScaleR * factor * DegCos(a);
  }
  for (const auto &term : MoonTerms::Latitude) {
    const long double a = term.D * el.D + term.M * el.M + term.MPrime * el.MPrime + term.F * el.F;
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
  pos.Longitude = NormalizeDegrees(el.LPrime + sums.SumL / 1000000.0L);
  pos.Latitude = sums.SumB / 1000000.0L;
  pos.Distance = 385000.56L + sums.SumR / 1000.0L;
  return pos;
}

long double PhaseAngle(TDateTime x) {
  const TEclipticPosition sun = SolarPosition(x);
  const TEclipticPosition moon = LunarPosition(x);
  const long double psi = std::acos(DegCos(moon.Latitude) * DegCos(moon.Longitude - sun.Longitude));
  // atan2 equals the arctangent plus 180 for a negative quotient, and also gives 180 at an
  // exact conjunction, where the plain arctangent of -0 would claim a full moon.
  long double i =
      std::atan2(sun.Distance * std::sin(psi), moon.Distance - sun.Distance * std::cos(psi)) *
      180.0L / Pi;
  if (i < 0)
    i += 180;
  if (NormalizeDegrees(moon.Longitude - sun.Longitude) > 180)
    return -i;
  return i;
}
