#include "kit/ZubThreadAction.h"

#include <chrono>

CZubThreadAction::~CZubThreadAction() = default;

void CZubThreadAction::_attach() {
  std::lock_guard<std::mutex> lock(m_attach_lock);
  ++m_attached;
}

void CZubThreadAction::_detach() {
  // Notified under the lock: a waiter may destroy the action as soon as it
  // gets the lock back, and this thread touches nothing after unlocking.
  std::lock_guard<std::mutex> lock(m_attach_lock);
  if (m_attached > 0) --m_attached;
  if (m_attached == 0) m_attach_cv.notify_all();
}

bool CZubThreadAction::IsAttached() const {
  std::lock_guard<std::mutex> lock(m_attach_lock);
  return m_attached > 0;
}

bool CZubThreadAction::WaitReleased(uint32_t timeout_ms) const {
  std::unique_lock<std::mutex> lock(m_attach_lock);
  return m_attach_cv.wait_for(lock, std::chrono::milliseconds(timeout_ms), [this] { return m_attached == 0; });
}
