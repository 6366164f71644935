// Collects the log lines written while it lives (through the posted receiver).
#pragma once

#include "quillog/Quillog.h"

#include <mutex>
#include <string>
#include <vector>

class LogCapture {
 public:
  LogCapture() {
    Lines().clear();
    QuillogSetPoster(&LogCapture::Receive);
    QuillogPostSendMessageSet(1, 0x8001, 0, 0);
    QuillogPostSendMessageEnable();
  }
  ~LogCapture() {
    QuillogPostSendMessageDisable();
    QuillogSetPoster(nullptr);
  }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  // Every line so far, oldest first.
  std::vector<std::wstring> Take() {
    std::lock_guard<std::mutex> lock(Mutex());
    std::vector<std::wstring> lines;
    lines.swap(Lines());
    return lines;
  }
  bool Has(const std::wstring& line) {
    std::lock_guard<std::mutex> lock(Mutex());
    for (const auto& l : Lines()) {
      if (l == line) return true;
    }
    return false;
  }
  size_t Count() {
    std::lock_guard<std::mutex> lock(Mutex());
    return Lines().size();
  }
  void Clear() { Take(); }

 private:
  static std::vector<std::wstring>& Lines() {
    static std::vector<std::wstring> lines;
    return lines;
  }
  static std::mutex& Mutex() {
    static std::mutex mutex;
    return mutex;
  }
  static bool Receive(uint64_t, uint32_t, QuillogInfo* record) {
    {
      std::lock_guard<std::mutex> lock(Mutex());
      Lines().push_back(record->message);
    }
    QuillogReleaseInfo(record);
    return true;
  }
};
