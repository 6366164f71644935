// Captures quillog lines in tests (through the posted-record receiver).
#pragma once

#include "quillog/Quillog.h"

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

class LogCapture {
 public:
  struct Line {
    int level;
    uint32_t feature;
    std::wstring message;
  };

  // Starts capturing with the given feature mask (restored afterwards).
  explicit LogCapture(uint32_t mask = 0) : old_mask_(QuillogGetFeatureLevel()) {
    {
      std::lock_guard<std::mutex> lock(Mutex());
      Lines().clear();
    }
    QuillogSetFeatureLevel(mask);
    QuillogSetPoster(&LogCapture::Poster);
    QuillogPostSendMessageSet(1, 0x8001, 0, 0);
    QuillogPostSendMessageEnable();
  }
  ~LogCapture() {
    QuillogPostSendMessageDisable();
    QuillogSetPoster(nullptr);
    QuillogSetFeatureLevel(old_mask_);
  }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  std::vector<Line> All() const {
    std::lock_guard<std::mutex> lock(Mutex());
    return Lines();
  }
  // Lines whose text contains the piece (and of the level, when >= 0).
  size_t Count(const std::wstring& piece, int level = -1) const {
    std::lock_guard<std::mutex> lock(Mutex());
    return std::count_if(Lines().begin(), Lines().end(), [&](const Line& l) {
      return l.message.find(piece) != std::wstring::npos && (level < 0 || l.level == level);
    });
  }
  size_t CountLevel(int level) const {
    std::lock_guard<std::mutex> lock(Mutex());
    return std::count_if(Lines().begin(), Lines().end(), [&](const Line& l) { return l.level == level; });
  }
  // Messages containing the piece, in order.
  std::vector<std::wstring> Matching(const std::wstring& piece) const {
    std::lock_guard<std::mutex> lock(Mutex());
    std::vector<std::wstring> out;
    for (const Line& l : Lines())
      if (l.message.find(piece) != std::wstring::npos) out.push_back(l.message);
    return out;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(Mutex());
    Lines().clear();
  }

 private:
  static std::mutex& Mutex() {
    static std::mutex m;
    return m;
  }
  static std::vector<Line>& Lines() {
    static std::vector<Line> lines;
    return lines;
  }
  static bool Poster(uint64_t, uint32_t, QuillogInfo* record) {
    {
      std::lock_guard<std::mutex> lock(Mutex());
      Lines().push_back(Line{record->level, record->feature, record->message});
    }
    QuillogReleaseInfo(record);
    return true;
  }
  uint32_t old_mask_;
};
