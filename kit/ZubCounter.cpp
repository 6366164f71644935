#include "kit/ZubCounter.h"

void CZubCounter::Set(int32_t value) {
  m_current.Exchange(value);
  if (value < m_minimum.Get()) m_minimum.Exchange(value);
  if (value > m_maximum.Get()) m_maximum.Exchange(value);
}

void CZubCounter::Reset() {
  m_current.Exchange(0);
  m_maximum.Exchange(0);
  m_minimum.Exchange(0);
}

// Counters are trivially destructible in effect (atomics only) and are
// zero-initialised before any code runs.
CZubCounter& ZubCounterMemoryBlocks() {
  static CZubCounter counter;
  return counter;
}

CZubCounter& ZubCounterHandles() {
  static CZubCounter counter;
  return counter;
}

CZubCounter& ZubCounterThreads() {
  static CZubCounter counter;
  return counter;
}

CZubCounter& ZubCounterSockets() {
  static CZubCounter counter;
  return counter;
}
