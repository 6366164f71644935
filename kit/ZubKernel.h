// The kit's kernel objects behind handles: events, completion queues and
// the handle table. Internal to the kit.
#pragma once

#include "kit/ZubHandle.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace zubkernel {

class Object {
 public:
  virtual ~Object() = default;
  // Raw wait result (ZUB_WAIT_OBJECT_0, ZUB_WAIT_TIMEOUT, ZUB_WAIT_FAILED).
  virtual uint32_t Wait(uint32_t timeout_ms) = 0;
};

class Event : public Object {
 public:
  explicit Event(bool manual_reset) : m_manual(manual_reset) {}

  void Set();
  void Reset();
  // Releases the threads waiting now; leaves the event unsignalled.
  void Pulse();
  // Runs `update` under the lock, then pulses.
  void PulseAfter(const std::function<void()>& update);
  uint32_t Wait(uint32_t timeout_ms) override { return WaitUnless(timeout_ms, nullptr); }
  // Returns ZUB_WAIT_OBJECT_0 at once when `ready` (called under the lock) holds.
  uint32_t WaitUnless(uint32_t timeout_ms, const std::function<bool()>* ready);

 private:
  void _pulse_locked();

  std::mutex m_mutex;
  std::condition_variable m_cv;
  const bool m_manual;
  bool m_signaled = false;
  uint64_t m_generation = 0;
};

struct Packet {
  uint32_t bytes = 0;
  uintptr_t key = 0;
  uintptr_t overlapped = 0;
  uint32_t error = 0;
};

class Queue : public Object {
 public:
  void Post(const Packet& packet);
  // 0 with a packet, ZUB_WAIT_TIMEOUT, or ZUB_WAIT_FAILED once shut.
  uint32_t Dequeue(uint32_t timeout_ms, Packet* packet);
  // Wakes every waiter; later dequeues fail.
  void Shut();
  // Waits until a packet is queued (does not take it).
  uint32_t Wait(uint32_t timeout_ms) override;

 private:
  std::mutex m_mutex;
  std::condition_variable m_cv;
  std::deque<Packet> m_packets;
  bool m_shut = false;
};

// Handle table: values are multiples of 4, never re-used in a run.
ZubHandleValue Insert(std::shared_ptr<Object> object);
std::shared_ptr<Object> Find(ZubHandleValue handle);
template <typename T>
std::shared_ptr<T> FindAs(ZubHandleValue handle) {
  return std::dynamic_pointer_cast<T>(Find(handle));
}
// Removes the handle; the object lives on while a waiter still holds it.
std::shared_ptr<Object> Remove(ZubHandleValue handle);

}  // namespace zubkernel
