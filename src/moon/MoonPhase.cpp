#include "moon/MoonPhase.h"

#include <array>
#include <cmath>
#include <cstdlib>
#include <numbers>

namespace {

constexpr long double Pi = std::numbers::pi_v<long double>;
constexpr long double AstronomicalUnit = 149597869.0L; // kilometres
// 14 October 1582, the last day before the Gregorian calendar; earlier moments get Julian Day 0.
constexpr TDateTime LastJulianDate = -115859;

// One row of the periodic terms: multiples of D, M, M', F and the coefficients.
struct TLongitudeDistanceTerm {
  int D, M, MPrime, F;
  long Longitude, Distance;
};
struct TLatitudeTerm {
  int D, M, MPrime, F;
  long Latitude;
};

// Meeus Table 47.A: longitude (millionths of a degree) and distance (metres).
constexpr std::array<TLongitudeDistanceTerm, 60> LongitudeDistanceTerms{{
    {0, 0, 1, 0, 6288774, -20905355},
    {2, 0, -1, 0, 1274027, -3699111},
    {2, 0, 0, 0, 658314, -2955968},
    {0, 0, 2, 0, 213618, -569925},
    {0, 1, 0, 0, -185116, 48888},
    {0, 0, 0, 2, -114332, -3149},
    {2, 0, -2, 0, 58793, 246158},
    {2, -1, -1, 0, 57066, -152138},
    {2, 0, 1, 0, 53322, -170733},
    {2, -1, 0, 0, 45758, -204586},
    {0, 1, -1, 0, -40923, -129620},
    {1, 0, 0, 0, -34720, 108743},
    {0, 1, 1, 0, -30383, 104755},
    {2, 0, 0, -2, 15327, 10321},
    {0, 0, 1, 2, -12528, 0},
    {0, 0, 1, -2, 10980, 79661},
    {4, 0, -1, 0, 10675, -34782},
    {0, 0, 3, 0, 10034, -23210},
    {4, 0, -2, 0, 8548, -21636},
    {2, 1, -1, 0, -7888, 24208},
    {2, 1, 0, 0, -6766, 30824},
    {1, 0, -1, 0, -5163, -8379},
    {1, 1, 0, 0, 4987, -16675},
    {2, -1, 1, 0, 4036, -12831},
    {2, 0, 2, 0, 3994, -10445},
    {4, 0, 0, 0, 3861, -11650},
    {2, 0, -3, 0, 3665, 14403},
    {0, 1, -2, 0, -2689, -7003},
    {2, 0, -1, 2, -2602, 0},
    {2, -1, -2, 0, 2390, 10056},
    {1, 0, 1, 0, -2348, 6322},
    {2, -2, 0, 0, 2236, -9884},
    {0, 1, 2, 0, -2120, 5751},
    {0, 2, 0, 0, -2069, 0},
    {2, -2, -1, 0, 2048, -4950},
    {2, 0, 1, -2, -1773, 4130},
    {2, 0, 0, 2, -1595, 0},
    {4, -1, -1, 0, 1215, -3958},
    {0, 0, 2, 2, -1110, 0},
    {3, 0, -1, 0, -892, 3258},
    {2, 1, 1, 0, -810, 2616},
    {4, -1, -2, 0, 759, -1897},
    {0, 2, -1, 0, -713, -2117},
    {2, 2, -1, 0, -700, 2354},
    {2, 1, -2, 0, 691, 0},
    {2, -1, 0, -2, 596, 0},
    {4, 0, 1, 0, 549, -1423},
    {0, 0, 4, 0, 537, -1117},
    {4, -1, 0, 0, 520, -1571},
    {1, 0, -2, 0, -487, -1739},
    {2, 1, 0, -2, -399, 0},
    {0, 0, 2, -2, -381, -4421},
    {1, 1, 1, 0, 351, 0},
    {3, 0, -2, 0, -340, 0},
    {4, 0, -3, 0, 330, 0},
    {2, -1, 2, 0, 327, 0},
    {0, 2, 1, 0, -323, 1165},
    {1, 1, -1, 0, 299, 0},
    {2, 0, 3, 0, 294, 0},
    {2, 0, -1, -2, 0, 8752},
}};

// Meeus Table 47.B: latitude (millionths of a degree).
constexpr std::array<TLatitudeTerm, 60> LatitudeTerms{{
    {0, 0, 0, 1, 5128122}, {0, 0, 1, 1, 280602},  {0, 0, 1, -1, 277693}, {2, 0, 0, -1, 173237},
    {2, 0, -1, 1, 55413},  {2, 0, -1, -1, 46271}, {2, 0, 0, 1, 32573},   {0, 0, 2, 1, 17198},
    {2, 0, 1, -1, 9266},   {0, 0, 2, -1, 8822},   {2, -1, 0, -1, 8216},  {2, 0, -2, -1, 4324},
    {2, 0, 1, 1, 4200},    {2, 1, 0, -1, -3359},  {2, -1, -1, 1, 2463},  {2, -1, 0, 1, 2211},
    {2, -1, -1, -1, 2065}, {0, 1, -1, -1, -1870}, {4, 0, -1, -1, 1828},  {0, 1, 0, 1, -1794},
    {0, 0, 0, 3, -1749},   {0, 1, -1, 1, -1565},  {1, 0, 0, 1, -1491},   {0, 1, 1, 1, -1475},
    {0, 1, 1, -1, -1410},  {0, 1, 0, -1, -1344},  {1, 0, 0, -1, -1335},  {0, 0, 3, 1, 1107},
    {4, 0, 0, -1, 1021},   {4, 0, -1, 1, 833},    {0, 0, 1, -3, 777},    {4, 0, -2, 1, 671},
    {2, 0, 0, -3, 607},    {2, 0, 2, -1, 596},    {2, -1, 1, -1, 491},   {2, 0, -2, 1, -451},
    {0, 0, 3, -1, 439},    {2, 0, 2, 1, 422},     {2, 0, -3, -1, 421},   {2, 1, -1, 1, -366},
    {2, 1, 0, 1, -351},    {4, 0, 0, 1, 331},     {2, -1, 1, 1, 315},    {2, -2, 0, -1, 302},
    {0, 0, 1, 3, -283},    {2, 1, 1, -1, -229},   {1, 1, 0, -1, 223},    {1, 1, 0, 1, 223},
    {0, 1, -2, -1, -220},  {2, 1, -1, -1, -220},  {1, 0, 1, 1, -185},    {2, -1, -2, -1, 181},
    {0, 1, 2, 1, -177},    {4, 0, -2, -1, 176},   {4, -1, -1, -1, 166},  {1, 0, 1, -1, -164},
    {4, 0, 1, -1, 132},    {1, 0, -1, -1, -119},  {4, -1, 0, -1, 115},   {2, -2, 0, 1, 107},
}};

// Julian centuries since J2000.0.
long double Centuries(TDateTime x) {
  return (ToJulianDay(x) - 2451545.0L) / 36525.0L;
}

// The factor for terms that depend on the earth's orbital eccentricity.
long double EccentricityFactor(int m, long double e) {
  switch (std::abs(m)) {
  case 1:
    return e;
  case 2:
    return e * e;
  default:
    return 1;
  }
}

// The moon's mean elements for one moment.
struct TLunarElements {
  long double LPrime, D, M, MPrime, F, A1, A2, A3, E;
};

TLunarElements LunarElements(TDateTime x) {
  const long double t = Centuries(x);
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
  el.E = 1 - 0.002516L * t - 0.0000074L * t2;
  return el;
}

} // namespace

long double NormalizeDegrees(long double x) {
  // nearbyintl rounds halves to even in the default rounding mode.
  long double result = x - 360.0L * std::nearbyint(x / 360.0L);
  while (result < 0)
    result += 360.0L;
  // A tiny negative value plus 360 can round up to exactly 360.
  if (result >= 360.0L)
    result -= 360.0L;
  return result;
}

long double DegSin(long double x) {
  return std::sin(NormalizeDegrees(x) * Pi / 180.0L);
}

long double DegCos(long double x) {
  return std::cos(NormalizeDegrees(x) * Pi / 180.0L);
}

long double ToJulianDay(TDateTime x) {
  if (x <= LastJulianDate)
    return 0;
  // 36526 is 1 January 2000, Julian Day 2451544.5.
  return static_cast<long double>(x) + 2451544.5L - 36526.0L;
}

TEclipticPosition SolarPosition(TDateTime x) {
  const long double t = Centuries(x);
  const long double t2 = t * t;
  const long double m = 357.5291L + 35999.0503L * t - 0.0001559L * t2 - 0.00000048L * t2 * t;
  const long double q = (1.9146L - 0.004817L * t - 0.000014L * t2) * DegSin(m) +
                        (0.019993L - 0.000101L * t) * DegSin(2 * m) + 0.00029L * DegSin(3 * m);
  const long double trueLongitude =
      NormalizeDegrees(280.46645L + 36000.76983L * t + 0.0003032L * t2 + q);
  const long double e = 0.016708617L - 0.000042037L * t - 0.0000001236L * t2;
  const long double r = 1.000001018L * (1 - e * e) / (1 + e * DegCos(m + q)) * AstronomicalUnit;
  const long double omega = 125.04452L - 1934.136261L * t + 0.0020708L * t2 + t2 * t / 450000.0L;
  TEclipticPosition pos;
  // Nutation, plus the aberration 20.4898" / R with R in astronomical units.
  pos.Longitude = NormalizeDegrees(trueLongitude - 0.00569L - 0.00478L * DegSin(omega) -
                                   0.0056916111L / (r / AstronomicalUnit));
  pos.Latitude = 0;
  pos.Distance = r;
  return pos;
}

TLunarSums LunarSums(TDateTime x) {
  const TLunarElements el = LunarElements(x);
  TLunarSums sums;
  for (const auto &term : LongitudeDistanceTerms) {
    const long double a = term.D * el.D + term.M * el.M + term.MPrime * el.MPrime + term.F * el.F;
    const long double factor = EccentricityFactor(term.M, el.E);
    sums.Longitude += term.Longitude * factor * DegSin(a);
    sums.Distance += term.Distance * factor * DegCos(a);
  }
  for (const auto &term : LatitudeTerms) {
    const long double a = term.D * el.D + term.M * el.M + term.MPrime * el.MPrime + term.F * el.F;
    sums.Latitude += term.Latitude * EccentricityFactor(term.M, el.E) * DegSin(a);
  }
  // Venus, Jupiter and the flattening of the earth.
  sums.Longitude += 3958 * DegSin(el.A1) + 1962 * DegSin(el.LPrime - el.F) + 318 * DegSin(el.A2);
  sums.Latitude += -2235 * DegSin(el.LPrime) + 382 * DegSin(el.A3) + 175 * DegSin(el.A1 - el.F) +
                   175 * DegSin(el.A1 + el.F) + 127 * DegSin(el.LPrime - el.MPrime) -
                   115 * DegSin(el.LPrime + el.MPrime);
  return sums;
}

TEclipticPosition LunarPosition(TDateTime x) {
  const TLunarElements el = LunarElements(x);
  const TLunarSums sums = LunarSums(x);
  TEclipticPosition pos;
  pos.Longitude = NormalizeDegrees(el.LPrime + sums.Longitude / 1000000.0L);
  pos.Latitude = sums.Latitude / 1000000.0L;
  pos.Distance = 385000.56L + sums.Distance / 1000.0L;
  return pos;
}

long double PhaseAngle(TDateTime x) {
  const TEclipticPosition sun = SolarPosition(x);
  const TEclipticPosition moon = LunarPosition(x);
  const long double elongation =
      std::acos(DegCos(moon.Latitude) * DegCos(moon.Longitude - sun.Longitude));
  const long double q =
      sun.Distance * std::sin(elongation) / (moon.Distance - sun.Distance * std::cos(elongation));
  long double i = std::atan(q) * 180.0L / Pi;
  if (i < 0)
    i += 180.0L;
  if (NormalizeDegrees(moon.Longitude - sun.Longitude) > 180.0L)
    return -i;
  return i;
}
