#include "kit/ZubCounter.h"

#include "kit/ZubNoDestructor.h"

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

// Never destroyed: detached worker threads may still count while the
// process exits.
CZubCounter& ZubCounterMemoryBlocks() {
  static ZubNoDestructor<CZubCounter> counter;
  return counter.get();
}

CZubCounter& ZubCounterHandles() {
  static ZubNoDestructor<CZubCounter> counter;
  return counter.get();
}

CZubCounter& ZubCounterThreads() {
  static ZubNoDestructor<CZubCounter> counter;
  return counter.get();
}

CZubCounter& ZubCounterSockets() {
  static ZubNoDestructor<CZubCounter> counter;
  return counter.get();
}
