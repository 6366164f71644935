// CRowOutbox: the rows a worker hands to its view, waiting in order until
// the view takes them. Each run of the worker has a number (unique in the
// process); rows are taken only with the number of the current run, so a
// late note of an earlier run finds nothing. Put tells when the outbox has
// just stopped being empty: that is when the worker announces it.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace outbox_detail {
// Run numbers shared by every outbox: 1 and up.
inline uint64_t NextRun() {
  static std::atomic<uint64_t> last{0};
  return last.fetch_add(1) + 1;
}
}  // namespace outbox_detail

template <typename Row>
class CRowOutbox {
 public:
  using Rows = std::vector<std::unique_ptr<Row>>;

  // Begins a run: rows of an earlier run nobody took are freed.
  uint64_t Begin() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_rows.clear();
    m_run.store(outbox_detail::NextRun());
    return m_run.load();
  }
  // The current run's number; 0 before the first Begin.
  uint64_t Run() const { return m_run.load(); }

  // Appends a row; true when the outbox was empty before.
  bool Put(std::unique_ptr<Row> row) {
    std::lock_guard<std::mutex> lock(m_lock);
    const bool was_empty = m_rows.empty();
    m_rows.push_back(std::move(row));
    return was_empty;
  }
  // Every waiting row, in order; none for another run's number.
  Rows Take(uint64_t run) {
    Rows rows;
    std::lock_guard<std::mutex> lock(m_lock);
    if (run != 0 && run == m_run.load()) rows.swap(m_rows);
    return rows;
  }
  // Frees the waiting rows (nobody will take them).
  void Drop() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_rows.clear();
  }

 private:
  std::mutex m_lock;
  Rows m_rows;
  std::atomic<uint64_t> m_run{0};
};
