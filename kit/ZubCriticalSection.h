// Recursive critical section with the tick count of its last entry, and
// its scoped lock.
#pragma once

#include "kit/ZubName.h"

#include <atomic>
#include <cstdint>
#include <mutex>

// Milliseconds of a steady clock, cut to 32 bits (wraps after ~49.7 days).
uint32_t ZubGetTickCount();

class CZubCriticalSection : public CZubName {
 public:
  explicit CZubCriticalSection(const wchar_t* name);
  ~CZubCriticalSection() override = default;
  CZubCriticalSection(const CZubCriticalSection&) = delete;
  CZubCriticalSection& operator=(const CZubCriticalSection&) = delete;

  void Enter();
  bool TryEnter();
  void Leave();
  // Tick count of the last entry; 0xFFFFFFFF until first entered.
  uint32_t GetLastEnterTick() const { return m_tick.load(std::memory_order_relaxed); }

 private:
  std::recursive_mutex m_mutex;
  std::atomic<uint32_t> m_tick{0xFFFFFFFFu};
};

// Enters on construction, leaves on destruction. A null section is logged
// and ignored.
class CZubLock {
 public:
  explicit CZubLock(CZubCriticalSection* section);
  explicit CZubLock(CZubCriticalSection& section) : CZubLock(&section) {}
  ~CZubLock();
  CZubLock(const CZubLock&) = delete;
  CZubLock& operator=(const CZubLock&) = delete;

 private:
  CZubCriticalSection* m_section;
};
