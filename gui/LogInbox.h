// CLogInbox: log records handed from any thread to the GUI thread.
//
// Writers push onto a lock-free stack; the one reader takes the whole stack
// at once and gets the records oldest first. The reader never waits for a
// writer, so a burst of lines cannot stall the GUI thread, and a push tells
// its writer when the inbox was empty: exactly then the reader needs a wake-up.
#pragma once

#include "quillog/Quillog.h"

#include <atomic>
#include <cstddef>
#include <memory>
#include <vector>

// Hands a record back to the logging library.
struct QuillogInfoReleaser {
  void operator()(QuillogInfo* record) const { QuillogReleaseInfo(record); }
};
using QuillogInfoPtr = std::unique_ptr<QuillogInfo, QuillogInfoReleaser>;

class CLogInbox {
 public:
  CLogInbox() = default;
  // Releases what was never taken.
  ~CLogInbox();
  CLogInbox(const CLogInbox&) = delete;
  CLogInbox& operator=(const CLogInbox&) = delete;

  // Any thread. True when the inbox was empty before this record.
  bool Push(QuillogInfoPtr record);
  // The reader: every record pushed so far, oldest first (appended to out).
  void TakeAll(std::vector<QuillogInfoPtr>& out);
  // The reader: records waiting now.
  size_t Count() const;

 private:
  struct Node {
    QuillogInfoPtr record;
    Node* next = nullptr;
  };
  std::atomic<Node*> head_{nullptr};
};
