// One QApplication for the whole test program, on the offscreen platform.
#include "gui/TaveloApp.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // Qt wants a private runtime folder; never the user's real one.
  char runtime[] = "/tmp/tavelo-gui-runtime-XXXXXX";
  if (mkdtemp(runtime)) setenv("XDG_RUNTIME_DIR", runtime, 1);
  QApplication app(argc, argv);
  CTaveloApp::InitResources();
  testing::InitGoogleTest(&argc, argv);
  const int status = RUN_ALL_TESTS();
  rmdir(runtime);
  return status;
}
