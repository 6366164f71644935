#include "smi/ThreadActionLoadMib.h"

#include <algorithm>
#include <chrono>
#include <exception>

#include "app/MessageCenter.h"
#include "app/Settings.h"
#include "app/ShowMessage.h"
#include "kit/ZubThreadPool.h"
#include "quillog/Quillog.h"

namespace {
const wchar_t* const kSender = L"CThreadActionLoadMib";
}

CThreadActionLoadMib::CThreadActionLoadMib(CSmiTree& tree) : tree_(tree), loader_(tree) {}

CThreadActionLoadMib::~CThreadActionLoadMib() {
  // Nobody will see the rest of the load: stop it rather than wait for it.
  Stop();
  {
    std::unique_lock<std::mutex> lock(idle_mutex_);
    idle_cv_.wait(lock, [this] { return !IsRunning(); });
  }
  // Its thread still lets go of the action after OnEnd.
  while (!WaitReleased(1000)) {
  }
}

bool CThreadActionLoadMib::WaitIdle(uint32_t timeout_ms) const {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  {
    std::unique_lock<std::mutex> lock(idle_mutex_);
    if (!idle_cv_.wait_until(lock, deadline, [this] { return !IsRunning(); })) return false;
  }
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  return WaitReleased(static_cast<uint32_t>(std::max<int64_t>(left.count(), 0)));
}

bool CThreadActionLoadMib::Start(bool reset, const std::vector<CSmiModuleKey>& modules) {
  // Marked running here, before the thread exists, so that a second Start
  // can never hand the same action to a second thread.
  bool expected = false;
  if (!running_.compare_exchange_strong(expected, true)) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"MIB reader thread is already running...");
    return false;
  }
  modules_ = modules;
  reset_ = reset;
  loader_.ClearCancel();
  if (CZubThreadPool::RunAction(this, false, nullptr, 0) == 0xFFFFFFFFu) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"Unable to start MIB reader thread");
    std::lock_guard<std::mutex> lock(idle_mutex_);
    running_.store(false, std::memory_order_release);
    idle_cv_.notify_all();
    return false;
  }
  return true;
}

void CThreadActionLoadMib::OnBegin() {
  SendViewMessage(kSender, MSG_VIEW_BROWSER, MSG_VIEW_BROWSER_LOAD_STARTED, 0);
  running_.store(true, std::memory_order_release);
  const uint32_t display_module_mode = ReadSettingDword(SETTING_VIEW_MIB_BROWSER_DISPLAY_MODULE_MODE);
  bool loaded = false;
  try {
    loaded = loader_.Load(modules_, reset_, display_module_mode);
  } catch (const std::exception& e) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CThreadActionLoadMib::OnBegin() : %S", e.what());
    CSmiTreeProtected lock(tree_);
    tree_.Reset();
    return;
  }
  // Shown once the tree lock is released, so that the views can repaint.
  if (!loaded && !loader_.ErrorText().empty())
    ShowMessageBox(loader_.ErrorText(), L"Warning", SHOW_MESSAGE_ERROR);
}

void CThreadActionLoadMib::OnAction(uint32_t, uintptr_t, uintptr_t, uintptr_t) {}

void CThreadActionLoadMib::OnEnd() {
  SendViewMessage(kSender, MSG_VIEW_BROWSER, MSG_VIEW_BROWSER_LOAD_FINISHED, 0);
  modules_.clear();
  reset_ = true;
  // Notified under the lock: a destructor waiting for the end cannot run
  // before this thread is done with the members.
  std::lock_guard<std::mutex> lock(idle_mutex_);
  running_.store(false, std::memory_order_release);
  idle_cv_.notify_all();
}
