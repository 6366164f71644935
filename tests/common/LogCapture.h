// Captures every log record through quillog's posted receiver while alive.
#pragma once

#include "quillog/Quillog.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class LogCapture {
 public:
  struct Record {
    int level;
    uint32_t feature;
    std::wstring message;
  };

  // Captures with the given feature mask; the previous mask comes back after.
  explicit LogCapture(uint32_t mask = 0xFFFFFFFFu) : m_old_mask(QuillogGetFeatureLevel()) {
    Instance() = this;
    QuillogSetFeatureLevel(mask);
    QuillogSetPoster(&LogCapture::Post);
    QuillogPostSendMessageSet(1, 0x8001, 0, 0);
    QuillogPostSendMessageEnable();
  }
  ~LogCapture() {
    QuillogPostSendMessageDisable();
    QuillogSetPoster(nullptr);
    QuillogSetFeatureLevel(m_old_mask);
    Instance() = nullptr;
  }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  std::vector<Record> Records() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_records;
  }
  std::vector<std::wstring> Messages() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<std::wstring> out;
    for (const Record& r : m_records) out.push_back(r.message);
    return out;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_records.clear();
  }

  // Records with exactly this message (and of this level, when >= 0).
  size_t Count(const std::wstring& message, int level = -1) const {
    return CountIf([&](const Record& r) { return r.message == message && (level < 0 || r.level == level); });
  }
  bool Has(const std::wstring& message, int level = -1) const { return Count(message, level) > 0; }
  // Records whose message contains the piece (and of this level, when >= 0).
  size_t CountContaining(const std::wstring& piece, int level = -1) const {
    return CountIf([&](const Record& r) {
      return r.message.find(piece) != std::wstring::npos && (level < 0 || r.level == level);
    });
  }
  bool HasContaining(const std::wstring& piece, int level = -1) const { return CountContaining(piece, level) > 0; }
  size_t CountLevel(int level) const {
    return CountIf([&](const Record& r) { return r.level == level; });
  }
  // Index of the first record with exactly this message, -1 when none.
  long IndexOf(const std::wstring& message) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (size_t i = 0; i < m_records.size(); ++i) {
      if (m_records[i].message == message) return static_cast<long>(i);
    }
    return -1;
  }
  bool WaitFor(const std::wstring& message, int timeout_ms = 5000) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_cv.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] {
      for (const Record& r : m_records) {
        if (r.message == message) return true;
      }
      return false;
    });
  }

 private:
  template <typename Pred>
  size_t CountIf(Pred pred) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    size_t n = 0;
    for (const Record& r : m_records) n += pred(r) ? 1 : 0;
    return n;
  }
  static LogCapture*& Instance() {
    static LogCapture* instance = nullptr;
    return instance;
  }
  static bool Post(uint64_t, uint32_t, QuillogInfo* info) {
    if (LogCapture* self = Instance()) {
      std::lock_guard<std::mutex> lock(self->m_mutex);
      self->m_records.push_back(Record{info->level, info->feature, info->message});
      self->m_cv.notify_all();
    }
    QuillogReleaseInfo(info);
    return true;
  }

  uint32_t m_old_mask;
  mutable std::mutex m_mutex;
  mutable std::condition_variable m_cv;
  std::vector<Record> m_records;
};

// Polls `done` until it holds or the time-out passes.
template <typename Pred>
bool WaitUntil(Pred done, int timeout_ms = 5000) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}
