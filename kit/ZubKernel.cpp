#include "kit/ZubKernel.h"

#include "kit/ZubNoDestructor.h"

#include <chrono>
#include <unordered_map>

namespace zubkernel {
namespace {

using Clock = std::chrono::steady_clock;

// Waits on `cv` until `pred` holds or the time-out passes; true when it holds.
template <typename Pred>
bool WaitPredicate(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, uint32_t timeout_ms, Pred pred) {
  if (timeout_ms == ZUB_INFINITE) {
    cv.wait(lock, pred);
    return true;
  }
  return cv.wait_until(lock, Clock::now() + std::chrono::milliseconds(timeout_ms), pred);
}

struct Table {
  std::mutex mutex;
  std::unordered_map<ZubHandleValue, std::shared_ptr<Object>> objects;
  ZubHandleValue next = 4;
};

Table& GetTable() {
  static ZubNoDestructor<Table> table;
  return table.get();
}

}  // namespace

void Event::Set() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_signaled = true;
  m_cv.notify_all();
}

void Event::Reset() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_signaled = false;
}

void Event::_pulse_locked() {
  ++m_generation;
  m_signaled = false;
  m_cv.notify_all();
}

void Event::Pulse() {
  std::lock_guard<std::mutex> lock(m_mutex);
  _pulse_locked();
}

void Event::PulseAfter(const std::function<void()>& update) {
  std::lock_guard<std::mutex> lock(m_mutex);
  update();
  _pulse_locked();
}

uint32_t Event::WaitUnless(uint32_t timeout_ms, const std::function<bool()>* ready) {
  std::unique_lock<std::mutex> lock(m_mutex);
  if (ready != nullptr && (*ready)()) return ZUB_WAIT_OBJECT_0;
  const uint64_t start = m_generation;
  const bool released = WaitPredicate(m_cv, lock, timeout_ms, [&] { return m_signaled || m_generation != start; });
  if (!released) return ZUB_WAIT_TIMEOUT;
  if (m_signaled && !m_manual) m_signaled = false;
  return ZUB_WAIT_OBJECT_0;
}

void Queue::Post(const Packet& packet) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_packets.push_back(packet);
  m_cv.notify_one();
}

uint32_t Queue::Dequeue(uint32_t timeout_ms, Packet* packet) {
  std::unique_lock<std::mutex> lock(m_mutex);
  if (!WaitPredicate(m_cv, lock, timeout_ms, [&] { return m_shut || !m_packets.empty(); })) return ZUB_WAIT_TIMEOUT;
  if (m_shut) return ZUB_WAIT_FAILED;
  *packet = m_packets.front();
  m_packets.pop_front();
  return ZUB_WAIT_OBJECT_0;
}

void Queue::Shut() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_shut = true;
  m_cv.notify_all();
}

uint32_t Queue::Wait(uint32_t timeout_ms) {
  std::unique_lock<std::mutex> lock(m_mutex);
  if (!WaitPredicate(m_cv, lock, timeout_ms, [&] { return m_shut || !m_packets.empty(); })) return ZUB_WAIT_TIMEOUT;
  return m_shut ? ZUB_WAIT_FAILED : ZUB_WAIT_OBJECT_0;
}

ZubHandleValue Insert(std::shared_ptr<Object> object) {
  Table& table = GetTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  const ZubHandleValue handle = table.next;
  table.next += 4;
  table.objects.emplace(handle, std::move(object));
  return handle;
}

std::shared_ptr<Object> Find(ZubHandleValue handle) {
  Table& table = GetTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  auto it = table.objects.find(handle);
  return it == table.objects.end() ? nullptr : it->second;
}

std::shared_ptr<Object> Remove(ZubHandleValue handle) {
  Table& table = GetTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  auto it = table.objects.find(handle);
  if (it == table.objects.end()) return nullptr;
  std::shared_ptr<Object> object = std::move(it->second);
  table.objects.erase(it);
  return object;
}

}  // namespace zubkernel

uint32_t ZubWaitForSingleObject(ZubHandleValue handle, uint32_t timeout_ms) {
  std::shared_ptr<zubkernel::Object> object = zubkernel::Find(handle);
  if (!object) return ZUB_WAIT_FAILED;
  return object->Wait(timeout_ms);
}

bool ZubCloseHandle(ZubHandleValue handle) {
  std::shared_ptr<zubkernel::Object> object = zubkernel::Remove(handle);
  if (!object) return false;
  if (auto queue = std::dynamic_pointer_cast<zubkernel::Queue>(object)) queue->Shut();
  return true;
}
