// The main of every test program that builds windows: one QApplication on
// the offscreen platform, so the toolbox's windows, menus and views can be
// built and driven without a display.
#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
