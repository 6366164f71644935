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
  if (m_frame) return true;
  ExecutablePath();
  InstallPath();
  ProgramDataPath();
  UserDataPath();

  QApplication::setApplicationName(QString::fromStdWString(ReadSettingString(SETTING_PRODUCT_NAME)));
  QApplication::setApplicationVersion(QString::fromStdWString(ProductVersionText()));
  QApplication::setDesktopFileName(QStringLiteral("tavelo-workbench"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/images/tavelo.svg")));

  m_dispatcher = std::make_unique<CQtDispatcher>();
  m_shower = std::make_unique<CGuiShowMessage>(m_dispatcher.get());
  m_previous_shower = SetShowMessage(m_shower.get());

  m_frame = std::make_unique<CMainFrame>(m_dispatcher.get());
  m_frame->show();
  m_shower->SetMainWindow(m_frame.get());
  m_signal_closer = std::make_unique<CSignalCloser>(m_frame.get());
  return true;
}

void CTaveloApp::ExitInstance() {
  if (!m_dispatcher) return;
  // Release every worker waiting on the GUI thread before any view or worker
  // is destroyed: a worker's destructor may wait for its thread.
  m_signal_closer.reset();
  m_shower->Quit();
  m_dispatcher->Quit();
  m_frame.reset();
  SetShowMessage(m_previous_shower);
  m_shower.reset();
  CMessageCenter::Clear();
  m_dispatcher.reset();
}

int CTaveloApp::Run(QApplication& app) {
  if (!InitInstance()) return 1;
  const int status = app.exec();
  ExitInstance();
  return status;
}
