#include "cli/CliActionCommands.h"

#include "cli/CliArguments.h"

#include "cli/CliDateTime.h"
#include "gui/moon/MoonPicture.h"
#include "moon/MoonPhase.h"
#include "moon/MoonPhaseName.h"
#include "platform/Clock.h"

#include <QSaveFile>

namespace {

const TCliSyntax MoonSyntax{
    QStringLiteral("moon"),
    QStringLiteral("[ZEIT] [--png DATEI] [--size 64|32|16]"),
    QStringLiteral("Gibt den Phasenwinkel des Mondes (Grad), den beleuchteten Anteil und den "
                   "Namen der Phase\nzum Zeitpunkt ZEIT (sonst jetzt) aus; mit --png auch sein "
                   "Bild."),
    {{QStringLiteral("png"), QStringLiteral("DATEI"),
      QStringLiteral("schreibt das Bild des Mondes als PNG"), true},
     {QStringLiteral("size"), QStringLiteral("PIXEL"),
      QStringLiteral("die Größe des Bildes: 64 (Vorgabe), 32 oder 16")}},
    1,
    false};

} // namespace

int CliMoon(const QStringList &args, QTextStream &out, QTextStream &err) {
  TCliArguments read;
  if (const std::optional<int> done = ReadCliArguments(MoonSyntax, args, out, err, read))
    return *done;
  TDateTime moment = Now();
  if (!read.Positionals.isEmpty() && !ParseCliDateTime(read.Positional(0), moment)) {
    err << "moon: unlesbares Datum \"" << read.Positional(0) << "\" (YYYY-MM-DD hh:mm:ss)\n";
    return 2;
  }
  const QString pngFile = read.Value(QStringLiteral("png"));
  TMoonSize size = ms64;
  if (read.Has(QStringLiteral("size"))) {
    const QString value = read.Value(QStringLiteral("size"));
    if (value != u"64" && value != u"32" && value != u"16") {
      err << "moon: --size muss 64, 32 oder 16 sein\n";
      return 2;
    }
    size = value == u"64" ? ms64 : (value == u"32" ? ms32 : ms16);
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
