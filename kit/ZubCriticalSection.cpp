#include "kit/ZubCriticalSection.h"

#include "kit/ZubPointer.h"

#include <chrono>

uint32_t ZubGetTickCount() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

CZubCriticalSection::CZubCriticalSection(const wchar_t* name) : CZubName(name) {}

void CZubCriticalSection::Enter() {
  m_mutex.lock();
  m_tick.store(ZubGetTickCount(), std::memory_order_relaxed);
}

bool CZubCriticalSection::TryEnter() {
  if (!m_mutex.try_lock()) return false;
  m_tick.store(ZubGetTickCount(), std::memory_order_relaxed);
  return true;
}

void CZubCriticalSection::Leave() { m_mutex.unlock(); }

CZubLock::CZubLock(CZubCriticalSection* section) : m_section(section) {
  if (IsNull(section)) return;
  m_section->Enter();
}

CZubLock::~CZubLock() {
  if (m_section != nullptr) m_section->Leave();
}
