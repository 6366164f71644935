#include "gui/GuiShowMessage.h"

#include "gui/DlgMessageBox.h"
#include "gui/QtDispatcher.h"
#include "quillog/Quillog.h"

CGuiShowMessage::CGuiShowMessage(CQtDispatcher* dispatcher) : dispatcher_(dispatcher) {}

// The dispatcher may be gone by now: only the waiters are released.
CGuiShowMessage::~CGuiShowMessage() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  cv_.notify_all();
}

void CGuiShowMessage::SetMainWindow(QWidget* window) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    window_ = window;
    ready_ = window != nullptr;
  }
  cv_.notify_all();
}

void CGuiShowMessage::Quit() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  cv_.notify_all();
  if (!dispatcher_->IsDispatcherThread()) return;
  for (QPointer<CDlgMessageBox>& box : open_) {
    if (box) box->reject();
  }
}

int CGuiShowMessage::Waiting() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return waiting_;
}

bool CGuiShowMessage::_wait_for_window() {
  std::unique_lock<std::mutex> lock(mutex_);
  ++waiting_;
  cv_.wait(lock, [this] { return ready_ || quit_; });
  --waiting_;
  return !quit_;
}

void CGuiShowMessage::Show(const std::wstring& caption, const std::wstring& text, ShowMessageIcon icon) {
  if (dispatcher_->IsDispatcherThread()) {
    // The GUI thread cannot wait for itself: without a main window yet the
    // box is shown on its own.
    _show_here(caption, text, icon);
    return;
  }
  bool shown = _wait_for_window() && dispatcher_->Send([&] { _show_here(caption, text, icon); });
  if (!shown) QuillogW(QUILLOG_WARNING, QLF_NONE, L"CGuiShowMessage::Show() : not shown at exit: %s", text);
}

void CGuiShowMessage::_show_here(const std::wstring& caption, const std::wstring& text, ShowMessageIcon icon) {
  QWidget* parent = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (quit_) return;
    parent = window_.data();
  }
  const QString q_caption = QString::fromStdWString(caption);
  const QString q_text = QString::fromStdWString(text);
  if (icon == SHOW_MESSAGE_ERROR) {
    CDlgMessageBoxError box(q_caption, q_text, parent);
    _exec(box);
    return;
  }
  CDlgMessageBox box(q_caption, q_text, icon, parent);
  _exec(box);
}

void CGuiShowMessage::_exec(CDlgMessageBox& box) {
  open_.emplace_back(&box);
  box.exec();
  std::erase_if(open_, [&](const QPointer<CDlgMessageBox>& p) { return p.isNull() || p.data() == &box; });
}
