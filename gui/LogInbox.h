// CLogInbox: log records handed from any thread to the GUI thread.
//
// Records go into blocks of kBlockSize slots, and the reader hands each
// block it has emptied back to the writers for reuse, so the GUI thread
// frees nothing another thread allocated while lines pour in (such frees
// take that thread's malloc lock: a logging thread preempted while holding
// it stalled the GUI thread). The reader never waits for a writer; a push tells its writer
// when the inbox was empty: exactly then the reader needs a wake-up.
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
  static constexpr size_t kBlockSize = 1024;

  CLogInbox();
  // Releases what was never taken.
  ~CLogInbox();
  CLogInbox(const CLogInbox&) = delete;
  CLogInbox& operator=(const CLogInbox&) = delete;

  // Any thread, one push at a time (the callers serialize: quillog calls
  // its poster under its own lock). True when the inbox was empty before.
  bool Push(QuillogInfoPtr record);
  // The one reader: every record pushed so far, oldest first (appended to out).
  void TakeAll(std::vector<QuillogInfoPtr>& out);
  // Records waiting now.
  size_t Count() const { return m_count.load(std::memory_order_acquire); }

 private:
  struct Block {
    QuillogInfo* records[kBlockSize];
    std::atomic<Block*> next{nullptr};
    Block* next_spare = nullptr;
  };
  // The reader's emptied blocks; writers (one at a time) take them back.
  // One popper, one pusher: no ABA.
  void _retire(Block* block);
  Block* _reuse();
  // Writer side.
  Block* m_write_block;
  size_t m_write_index = 0;
  // Reader side.
  Block* m_read_block;
  size_t m_read_index = 0;
  // Pushed and not yet taken; a slot is written before the count grows.
  std::atomic<size_t> m_count{0};
  std::atomic<Block*> m_spares{nullptr};
};
