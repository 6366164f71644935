// Interlocked numbers and the process-wide diagnostic counters.
#pragma once

#include <atomic>
#include <cstdint>

// One signed 32-bit value changed only by atomic exchange.
class CZubAtomicNumber {
 public:
  explicit CZubAtomicNumber(int32_t value = 0) : m_value(value) {}
  virtual ~CZubAtomicNumber() = default;
  CZubAtomicNumber(const CZubAtomicNumber&) = delete;
  CZubAtomicNumber& operator=(const CZubAtomicNumber&) = delete;

  int32_t Get() const { return m_value.load(); }
  // Stores the value and returns the previous one.
  int32_t Exchange(int32_t value) { return m_value.exchange(value); }
  // Adds in one atomic step and returns the new value.
  int32_t Add(int32_t delta) { return m_value.fetch_add(delta) + delta; }
  // Raises (lowers) the value to `value` unless it is already above (below).
  void KeepMaximum(int32_t value);
  void KeepMinimum(int32_t value);

 private:
  std::atomic<int32_t> m_value;
};

// Current, maximum and minimum of a diagnostic quantity. Raise and Lower
// are atomic steps, so threads that start and leave together never lose
// one; Set stores a value over whatever concurrent steps did.
class CZubCounter {
 public:
  CZubCounter() = default;

  void Set(int32_t value);
  void Reset();
  void Raise() { _track(m_current.Add(1)); }
  void Lower() { _track(m_current.Add(-1)); }

  int32_t GetCurrent() const { return m_current.Get(); }
  int32_t GetMaximum() const { return m_maximum.Get(); }
  int32_t GetMinimum() const { return m_minimum.Get(); }

 private:
  void _track(int32_t value);

  CZubAtomicNumber m_current;
  CZubAtomicNumber m_maximum;
  CZubAtomicNumber m_minimum;
};

// Process-wide counters, all 0 at start-up.
CZubCounter& ZubCounterMemoryBlocks();  // blocks from Alloc not yet freed
CZubCounter& ZubCounterHandles();       // valid handles held by CZubHandle objects
CZubCounter& ZubCounterThreads();       // worker threads inside their dispatch loop
CZubCounter& ZubCounterSockets();       // open sockets
