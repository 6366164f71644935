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

  CQtDispatcher* dispatcher_;
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  QPointer<QWidget> window_;
  bool ready_ = false;
  bool quit_ = false;
  int waiting_ = 0;
  std::vector<QPointer<CDlgMessageBox>> open_;  // GUI thread only
};
