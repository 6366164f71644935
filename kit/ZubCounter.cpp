#include "kit/ZubCounter.h"

#include "kit/ZubNoDestructor.h"

void CZubAtomicNumber::KeepMaximum(int32_t value) {
  int32_t seen = m_value.load();
  while (value > seen && !m_value.compare_exchange_weak(seen, value)) {
  }
}

void CZubAtomicNumber::KeepMinimum(int32_t value) {
  int32_t seen = m_value.load();
  while (value < seen && !m_value.compare_exchange_weak(seen, value)) {
  }
}

void CZubCounter::Set(int32_t value) {
  m_current.Exchange(value);
  _track(value);
}

void CZubCounter::_track(int32_t value) {
  m_minimum.KeepMinimum(value);
  m_maximum.KeepMaximum(value);
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
