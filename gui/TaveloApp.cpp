#include "gui/TaveloApp.h"

#include <QApplication>
#include <QMainWindow>

void CTaveloApp::InitResources() { Q_INIT_RESOURCE(gui); }

CTaveloApp::CTaveloApp() = default;
CTaveloApp::~CTaveloApp() = default;

int CTaveloApp::Run(QApplication& app) {
  QMainWindow window;
  window.setWindowTitle(QStringLiteral("Tavelo"));
  window.show();
  return app.exec();
}
