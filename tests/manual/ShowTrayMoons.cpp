// Puts three moon icons into the notification area, as the tray shows them at new moon, at
// the first quarter and at full moon (left to right), until closed; for looking at them on
// dark and light panels by eye (for instance under Xvfb with trayer, see tools/screenshots.sh).
#include "TestHelpers.h"
#include "gui/moon/Moon.h"
#include "gui/tray/RxTrayIcon.h"

#include <QApplication>
#include <QLocale>
#include <memory>
#include <vector>

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  // New moon 8 April 2024 20:21, first quarter 15 April 2024 21:13, full moon 25 March 2024.
  const TDateTime phases[] = {At(2024, 4, 8, 20, 21), At(2024, 4, 15, 21, 13),
                              At(2024, 3, 25, 8, 0)};
  std::vector<std::unique_ptr<TRxTrayIcon>> icons;
  TMoon moon;
  for (TDateTime phase : phases) {
    moon.SetDate(phase);
    auto icon = std::make_unique<TRxTrayIcon>();
    icon->SetHint(DateTimeText(phase));
    icon->SetIcon(QIcon(moon.GetIcon()));
    icon->SetActive(true);
    icons.push_back(std::move(icon));
  }
  return QApplication::exec();
}
