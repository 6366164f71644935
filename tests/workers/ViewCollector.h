// A test "view": a window on its own dispatcher thread that records every
// walker and trapper message and takes ownership of the data records.
#pragma once

#include "app/MessageCenter.h"
#include "app/PlainDispatcher.h"
#include "workers/TrapRecord.h"
#include "workers/WalkerResult.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

class ViewCollector : public CViewWindow {
 public:
  struct Message {
    uint32_t message;
    uintptr_t code;
    std::chrono::steady_clock::time_point at;
  };

  explicit ViewCollector(CViewDispatcher* dispatcher) : CViewWindow(dispatcher) {
    CMessageCenter::Subscribe(L"ViewCollector", this, MSG_VIEW_WALKER, 0);
    CMessageCenter::Subscribe(L"ViewCollector", this, MSG_VIEW_TRAPPER, 0);
  }

  intptr_t OnViewMessage(uint32_t message, uintptr_t code, uintptr_t payload) override {
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.push_back(Message{message, code, std::chrono::steady_clock::now()});
    if (message == MSG_VIEW_WALKER && payload != 0) {
      results_.emplace_back(reinterpret_cast<CWalkerResult*>(payload));
    } else if (message == MSG_VIEW_TRAPPER && payload != 0) {
      traps_.emplace_back(reinterpret_cast<CTrapRecord*>(payload));
    }
    cv_.notify_all();
    return 1;
  }

  // Waits until a message with this code has arrived `count` times.
  bool WaitFor(uint32_t message, uintptr_t code, size_t count = 1, int timeout_ms = 10000) {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return _count(message, code) >= count; });
  }
  bool WaitForTraps(size_t count, int timeout_ms = 10000) {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return traps_.size() >= count; });
  }
  size_t Count(uint32_t message, uintptr_t code) {
    std::lock_guard<std::mutex> lock(mutex_);
    return _count(message, code);
  }
  std::vector<uintptr_t> Codes(uint32_t message) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<uintptr_t> out;
    for (const Message& m : messages_)
      if (m.message == message) out.push_back(m.code);
    return out;
  }
  std::chrono::steady_clock::time_point TimeOf(uint32_t message, uintptr_t code) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const Message& m : messages_)
      if (m.message == message && m.code == code) return m.at;
    return {};
  }
  // The records, moved out (the collector no longer holds them).
  std::vector<std::unique_ptr<CWalkerResult>> TakeResults() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::move(results_);
  }
  std::vector<std::unique_ptr<CTrapRecord>> TakeTraps() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::move(traps_);
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.clear();
    results_.clear();
    traps_.clear();
  }

 private:
  size_t _count(uint32_t message, uintptr_t code) const {
    size_t n = 0;
    for (const Message& m : messages_)
      if (m.message == message && m.code == code) ++n;
    return n;
  }
  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<Message> messages_;
  std::vector<std::unique_ptr<CWalkerResult>> results_;
  std::vector<std::unique_ptr<CTrapRecord>> traps_;
};
