// One QApplication for the whole test program, on the offscreen platform.
#include <gtest/gtest.h>

#include "gui/TaveloApp.h"

#include <QApplication>

#include <cstdlib>

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  CTaveloApp::InitResources();
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
