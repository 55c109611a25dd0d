// The one main of every test program: German texts and Berlin time, as our users have them,
// whatever the machine running the tests is set to.
#include <QCoreApplication>
#include <QLocale>
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>

#ifdef KRONOLAB_TEST_GUI
#include <QApplication>
#endif

int main(int argc, char **argv) {
  setenv("TZ", "Europe/Berlin", 0);
  tzset();
  ::testing::InitGoogleTest(&argc, argv);
#ifdef KRONOLAB_TEST_GUI
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
#else
  QCoreApplication app(argc, argv);
#endif
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  return RUN_ALL_TESTS();
}
