#include "smi/ThreadActionLoadMib.h"

#include "app/MessageCenter.h"
#include "app/Settings.h"
#include "app/ShowMessage.h"
#include "kit/ZubThreadPool.h"
#include "quillog/Quillog.h"

#include <algorithm>
#include <chrono>
#include <exception>

namespace {
const wchar_t* const kSender = L"CThreadActionLoadMib";
}

CThreadActionLoadMib::CThreadActionLoadMib(CSmiTree& tree) : m_tree(tree), m_loader(tree) {}

CThreadActionLoadMib::~CThreadActionLoadMib() {
  // Nobody will see the rest of the load: stop it rather than wait for it.
  Stop();
  {
    std::unique_lock<std::mutex> lock(m_idle_mutex);
    m_idle_cv.wait(lock, [this] { return !IsRunning(); });
  }
  // Its thread still lets go of the action after OnEnd.
  while (!WaitReleased(1000)) {
  }
}

bool CThreadActionLoadMib::WaitIdle(uint32_t timeout_ms) const {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  {
    std::unique_lock<std::mutex> lock(m_idle_mutex);
    if (!m_idle_cv.wait_until(lock, deadline, [this] { return !IsRunning(); })) return false;
  }
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  return WaitReleased(static_cast<uint32_t>(std::max<int64_t>(left.count(), 0)));
}

bool CThreadActionLoadMib::Start(bool reset, const std::vector<CSmiModuleKey>& modules) {
  // Marked running here, before the thread exists, so that a second Start
  // can never hand the same action to a second thread.
  bool expected = false;
  if (!m_running.compare_exchange_strong(expected, true)) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"MIB reader thread is already running...");
    return false;
  }
  m_modules = modules;
  m_reset = reset;
  m_loader.ClearCancel();
  if (CZubThreadPool::RunAction(this, false, nullptr, 0) == 0xFFFFFFFFu) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"Unable to start MIB reader thread");
    std::lock_guard<std::mutex> lock(m_idle_mutex);
    m_running.store(false, std::memory_order_release);
    m_idle_cv.notify_all();
    return false;
  }
  return true;
}

void CThreadActionLoadMib::OnBegin() {
  SendViewMessage(kSender, MSG_VIEW_BROWSER, MSG_VIEW_BROWSER_LOAD_STARTED, 0);
  m_running.store(true, std::memory_order_release);
  const uint32_t display_module_mode = ReadSettingDword(SETTING_VIEW_MIB_BROWSER_DISPLAY_MODULE_MODE);
  bool loaded = false;
  try {
    loaded = m_loader.Load(m_modules, m_reset, display_module_mode);
  } catch (const std::exception& e) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CThreadActionLoadMib::OnBegin() : %S", e.what());
    CSmiTreeProtected lock(m_tree);
    m_tree.Reset();
    return;
  }
  // Shown once the tree lock is released, so that the views can repaint.
  if (!loaded && !m_loader.ErrorText().empty()) ShowMessageBox(m_loader.ErrorText(), L"Warning", SHOW_MESSAGE_ERROR);
}

void CThreadActionLoadMib::OnAction(uint32_t, uintptr_t, uintptr_t, uintptr_t) {}

void CThreadActionLoadMib::OnEnd() {
  SendViewMessage(kSender, MSG_VIEW_BROWSER, MSG_VIEW_BROWSER_LOAD_FINISHED, 0);
  m_modules.clear();
  m_reset = true;
  // Notified under the lock: a destructor waiting for the end cannot run
  // before this thread is done with the members.
  std::lock_guard<std::mutex> lock(m_idle_mutex);
  m_running.store(false, std::memory_order_release);
  m_idle_cv.notify_all();
}
