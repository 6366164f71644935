// The workbench program's application object: logging set-up on
// construction, then start-up and shut-down around the main window.
//
// Shut-down order: the show-message interface and the GUI dispatcher quit
// first (every worker blocked on the GUI thread is released), then the main
// window with its views and their workers is destroyed, then the message
// center is emptied.
#pragma once

#include <memory>

class CGuiShowMessage;
class CMainFrame;
class CQtDispatcher;
class CShowMessage;
class CSignalCloser;
class QApplication;

class CTaveloApp {
 public:
  // Registers with the logging library (product name, no feature, output
  // on, log file in the log folder).
  CTaveloApp();
  ~CTaveloApp();
  CTaveloApp(const CTaveloApp&) = delete;
  CTaveloApp& operator=(const CTaveloApp&) = delete;

  // Registers the program's images (the library is static: call once
  // before the first image is used).
  static void InitResources();

  // Logs the folders, installs the GUI dispatcher and show-message, creates
  // and shows the main window. Needs a QApplication.
  bool InitInstance();
  // Releases blocked senders, destroys the window, empties the center.
  void ExitInstance();
  // InitInstance, the event loop, ExitInstance; the program's status.
  int Run(QApplication& app);

  CMainFrame* MainFrame() const { return m_frame.get(); }
  CQtDispatcher* Dispatcher() const { return m_dispatcher.get(); }
  CGuiShowMessage* ShowMessage() const { return m_shower.get(); }

 private:
  std::unique_ptr<CQtDispatcher> m_dispatcher;
  std::unique_ptr<CGuiShowMessage> m_shower;
  std::unique_ptr<CMainFrame> m_frame;
  std::unique_ptr<CSignalCloser> m_signal_closer;
  CShowMessage* m_previous_shower = nullptr;
};
