// The GUI's "show message": boxes asked for on any thread are shown on the
// GUI thread as a CDlgMessageBox over the main window while the caller
// waits. A worker asking before the main window exists waits until it does;
// once the program quits, boxes are refused at once (logged, not shown).
#pragma once

#include "app/ShowMessage.h"

#include <QPointer>
#include <QWidget>

#include <condition_variable>
#include <mutex>
#include <vector>

class CDlgMessageBox;
class CQtDispatcher;

class CGuiShowMessage : public CShowMessage {
 public:
  explicit CGuiShowMessage(CQtDispatcher* dispatcher);
  ~CGuiShowMessage() override;

  void Show(const std::wstring& caption, const std::wstring& text, ShowMessageIcon icon) override;

  // The window boxes are shown over; releases the callers waiting for it.
  void SetMainWindow(QWidget* window);
  // Refuses later boxes and releases every caller waiting for the window;
  // on the GUI thread it also closes the boxes that are open.
  void Quit();
  // Callers currently waiting for the main window (tests).
  int Waiting() const;

 private:
  bool _wait_for_window();
  void _show_here(const std::wstring& caption, const std::wstring& text, ShowMessageIcon icon);
  void _exec(CDlgMessageBox& box);

  CQtDispatcher* m_dispatcher;
  mutable std::mutex m_mutex;
  std::condition_variable m_cv;
  QPointer<QWidget> m_window;
  bool m_ready = false;
  bool m_quit = false;
  int m_waiting = 0;
  std::vector<QPointer<CDlgMessageBox>> m_open;  // GUI thread only
};
