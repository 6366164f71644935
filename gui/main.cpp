// tavelo-workbench: the SNMP workbench's window.
#include "gui/TaveloApp.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  // Answered before Qt starts: no window, no display needed.
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("tavelo-workbench %s\n", TAVELO_VERSION);
    return 0;
  }
  QApplication app(argc, argv);
  CTaveloApp::InitResources();
  CTaveloApp tavelo;
  return tavelo.Run(app);
}
