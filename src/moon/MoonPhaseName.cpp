#include "moon/MoonPhaseName.h"

#include "moon/MoonPhase.h"

double IlluminatedFraction(double shadowAngle) {
  return (1 + DegCos(shadowAngle)) / 2;
}

QString MoonPhaseName(double shadowAngle) {
  const double s = NormalizeDegrees(shadowAngle);
  // The moon's age as an angle: 0 new moon, 90 first quarter, 180 full moon, 270 last quarter.
  // Waxing shadow angles run from 180 down to 0, waning ones from 360 down to 180.
  const double age = NormalizeDegrees(s < 180 ? 180 - s : 540 - s);
  // The four main phases get a band of 20 degrees (about a day and a half) around their exact
  // moment, the phases between them the rest.
  if (age < 10 || age >= 350)
    return QStringLiteral("Neumond");
  if (age < 80)
    return QStringLiteral("Zunehmende Sichel");
  if (age < 100)
    return QStringLiteral("Erstes Viertel");
  if (age < 170)
    return QStringLiteral("Zunehmender Mond");
  if (age < 190)
    return QStringLiteral("Vollmond");
  if (age < 260)
    return QStringLiteral("Abnehmender Mond");
  if (age < 280)
    return QStringLiteral("Letztes Viertel");
  return QStringLiteral("Abnehmende Sichel");
}
