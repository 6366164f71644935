// tavelo-workbench: the SNMP workbench's window.
#include "gui/TaveloApp.h"

#include <QApplication>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  CTaveloApp::InitResources();
  CTaveloApp tavelo;
  return tavelo.Run(app);
}
