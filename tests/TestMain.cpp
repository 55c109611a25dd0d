// The one main of every test program: German texts for our own date and time displays. The
// locale of the C library and the time zone are left as the environment sets them, so the
// suite meets a decimal comma and daylight saving where users do; a test that needs a certain
// zone or clock change sets TZ itself.
#include <QCoreApplication>
#include <QLocale>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>

#ifdef KRONOLAB_TEST_GUI
#include <QApplication>
#endif

int main(int argc, char **argv) {
  ::testing::InitGoogleTest(&argc, argv);
#ifdef KRONOLAB_TEST_GUI
  // Windows are tested on a real X server (tests/xdisplay.sh starts one for each test), where
  // key bindings, focus, stacking and modality are those our users meet; listing the cases
  // needs no display.
  setenv("QT_QPA_PLATFORM", "xcb", 0);
  if (!::testing::GTEST_FLAG(list_tests) && qgetenv("QT_QPA_PLATFORM") == "xcb" &&
      qEnvironmentVariableIsEmpty("DISPLAY")) {
    std::fprintf(stderr,
                 "Window tests need an X server: run them through ctest, or as\n"
                 "  tests/xdisplay.sh %s [ARGS...]\n",
                 argv[0]);
    return 1;
  }
  QApplication app(argc, argv);
#else
  QCoreApplication app(argc, argv);
#endif
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  return RUN_ALL_TESTS();
}
