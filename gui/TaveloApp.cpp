#include "gui/TaveloApp.h"

#include "app/Folders.h"
#include "app/MessageCenter.h"
#include "app/Settings.h"
#include "gui/GuiShowMessage.h"
#include "gui/MainFrame.h"
#include "gui/QtDispatcher.h"
#include "gui/SignalCloser.h"
#include "quillog/Quillog.h"

#include <QApplication>

void CTaveloApp::InitResources() { Q_INIT_RESOURCE(gui); }

CTaveloApp::CTaveloApp() {
  const std::wstring product = ReadSettingString(SETTING_PRODUCT_NAME);
  QuillogRegisterW(product.c_str());
  QuillogSetFeatureLevel(0);
  QuillogOutputEnable();
  const std::wstring log_folder = LogFolderPath();
  if (!log_folder.empty()) QuillogFileSetFolderNameW(log_folder.c_str());
}

CTaveloApp::~CTaveloApp() { ExitInstance(); }

bool CTaveloApp::InitInstance() {
  if (frame_) return true;
  ExecutablePath();
  InstallPath();
  ProgramDataPath();
  UserDataPath();

  QApplication::setApplicationName(QString::fromStdWString(ReadSettingString(SETTING_PRODUCT_NAME)));
  QApplication::setApplicationVersion(QString::fromStdWString(ProductVersionText()));
  QApplication::setDesktopFileName(QStringLiteral("tavelo-workbench"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/images/tavelo.svg")));

  dispatcher_ = std::make_unique<CQtDispatcher>();
  shower_ = std::make_unique<CGuiShowMessage>(dispatcher_.get());
  previous_shower_ = SetShowMessage(shower_.get());

  frame_ = std::make_unique<CMainFrame>(dispatcher_.get());
  frame_->show();
  shower_->SetMainWindow(frame_.get());
  signal_closer_ = std::make_unique<CSignalCloser>(frame_.get());
  return true;
}

void CTaveloApp::ExitInstance() {
  if (!dispatcher_) return;
  // Release every worker waiting on the GUI thread before any view or worker
  // is destroyed: a worker's destructor may wait for its thread.
  signal_closer_.reset();
  shower_->Quit();
  dispatcher_->Quit();
  frame_.reset();
  SetShowMessage(previous_shower_);
  shower_.reset();
  CMessageCenter::Clear();
  dispatcher_.reset();
}

int CTaveloApp::Run(QApplication& app) {
  if (!InitInstance()) return 1;
  const int status = app.exec();
  ExitInstance();
  return status;
}
