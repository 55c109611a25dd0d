#include "cli/CliActionCommands.h"

#include "cli/CliDateTime.h"
#include "gui/moon/MoonPicture.h"
#include "moon/MoonPhase.h"
#include "moon/MoonPhaseName.h"
#include "platform/Clock.h"

#include <QSaveFile>

int CliMoon(const QStringList &args, QTextStream &out, QTextStream &err) {
  TDateTime moment = Now();
  QString pngFile;
  TMoonSize size = ms64;
  bool haveMoment = false;
  for (qsizetype i = 0; i < args.size(); ++i) {
    const QString &arg = args[i];
    if (arg == u"--png" || arg == u"--size") {
      if (i + 1 >= args.size()) {
        err << "moon: " << arg << " braucht einen Wert\n";
        return 2;
      }
      const QString value = args[++i];
      if (arg == u"--png") {
        pngFile = value;
      } else if (value == u"64" || value == u"32" || value == u"16") {
        size = value == u"64" ? ms64 : (value == u"32" ? ms32 : ms16);
      } else {
        err << "moon: --size muss 64, 32 oder 16 sein\n";
        return 2;
      }
    } else if (!haveMoment) {
      if (!ParseCliDateTime(arg, moment)) {
        err << "moon: unlesbares Datum \"" << arg << "\" (YYYY-MM-DD hh:mm:ss)\n";
        return 2;
      }
      haveMoment = true;
    } else {
      err << "moon: zu viele Argumente\n";
      return 2;
    }
  }
  const long double angle = NormalizeDegrees(PhaseAngle(moment));
  out << QString::number(static_cast<double>(angle), 'f', 6) << "\n"
      << QString::number(static_cast<double>(IlluminatedFraction(angle)), 'f', 4) << "\n"
      << MoonPhaseName(angle) << "\n";
  if (!pngFile.isEmpty()) {
    QSaveFile file(pngFile);
    if (!file.open(QIODevice::WriteOnly) || !ShadedMoonPicture(size, angle).save(&file, "PNG") ||
        !file.commit()) {
      err << "moon: " << pngFile << " kann nicht geschrieben werden\n";
      return 1;
    }
  }
  return 0;
}
