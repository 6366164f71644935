#include "gui/GuiShowMessage.h"

#include "gui/DlgMessageBox.h"
#include "gui/QtDispatcher.h"
#include "quillog/Quillog.h"

CGuiShowMessage::CGuiShowMessage(CQtDispatcher* dispatcher) : m_dispatcher(dispatcher) {}

// The dispatcher may be gone by now: only the waiters are released.
CGuiShowMessage::~CGuiShowMessage() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_quit = true;
  }
  m_cv.notify_all();
}

void CGuiShowMessage::SetMainWindow(QWidget* window) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_window = window;
    m_ready = window != nullptr;
  }
  m_cv.notify_all();
}

void CGuiShowMessage::Quit() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_quit = true;
  }
  m_cv.notify_all();
  if (!m_dispatcher->IsDispatcherThread()) return;
  for (QPointer<CDlgMessageBox>& box : m_open) {
    if (box) box->reject();
  }
}

int CGuiShowMessage::Waiting() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_waiting;
}

bool CGuiShowMessage::_wait_for_window() {
  std::unique_lock<std::mutex> lock(m_mutex);
  ++m_waiting;
  m_cv.wait(lock, [this] { return m_ready || m_quit; });
  --m_waiting;
  return !m_quit;
}

void CGuiShowMessage::Show(const std::wstring& caption, const std::wstring& text, ShowMessageIcon icon) {
  if (m_dispatcher->IsDispatcherThread()) {
    // The GUI thread cannot wait for itself: without a main window yet the
    // box is shown on its own.
    _show_here(caption, text, icon);
    return;
  }
  bool shown = _wait_for_window() && m_dispatcher->Send([&] { _show_here(caption, text, icon); });
  if (!shown) QuillogW(QUILLOG_WARNING, QLF_NONE, L"CGuiShowMessage::Show() : not shown at exit: %s", text);
}

void CGuiShowMessage::_show_here(const std::wstring& caption, const std::wstring& text, ShowMessageIcon icon) {
  QWidget* parent = nullptr;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_quit) return;
    parent = m_window.data();
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
  m_open.emplace_back(&box);
  box.exec();
  std::erase_if(m_open, [&](const QPointer<CDlgMessageBox>& p) { return p.isNull() || p.data() == &box; });
}
