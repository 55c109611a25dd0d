// Draws the program icon at every size of the desktop's icon theme. Run once after changing the
// drawing; the PNGs it writes are committed (a test compares them with the drawing):
//   kronolab_program_icons resources
// writes resources/icons/hicolor/<N>x<N>/apps/io.github.kronolab.Kronolab.png for each size
// and resources/kronolab.png (the 128 pixel one, which the program shows as its window icon).
#include "ProgramIcon.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QString>
#include <QTextStream>

int main(int argc, char *argv[]) {
  QCoreApplication app(argc, argv);
  const QDir resources(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
  QTextStream err(stderr);
  const auto write = [&](const QImage &icon, const QString &relative) {
    const QString file = resources.filePath(relative);
    if (QDir().mkpath(QFileInfo(file).path()) && icon.save(file))
      return true;
    err << "Cannot write " << file << "\n";
    return false;
  };
  for (const int edge : ProgramIconSizes) {
    const QString folder = QStringLiteral("icons/hicolor/%1x%1/apps/").arg(edge);
    if (!write(DrawProgramIcon(edge), folder + QStringLiteral("io.github.kronolab.Kronolab.png")))
      return 1;
  }
  return write(DrawProgramIcon(128), QStringLiteral("kronolab.png")) ? 0 : 1;
}
