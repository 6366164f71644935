#include "gui/LogInbox.h"

CLogInbox::CLogInbox() : write_block_(new Block), read_block_(write_block_) {}

CLogInbox::~CLogInbox() {
  std::vector<QuillogInfoPtr> rest;
  TakeAll(rest);
  // Everything taken: the reader stands in the writer's block.
  delete read_block_;
  for (Block* spare = _reuse(); spare != nullptr; spare = _reuse()) delete spare;
}

void CLogInbox::_retire(Block* block) {
  block->next_spare = spares_.load(std::memory_order_relaxed);
  while (!spares_.compare_exchange_weak(block->next_spare, block, std::memory_order_release,
                                        std::memory_order_relaxed)) {
  }
}

CLogInbox::Block* CLogInbox::_reuse() {
  Block* block = spares_.load(std::memory_order_acquire);
  while (block != nullptr &&
         !spares_.compare_exchange_weak(block, block->next_spare, std::memory_order_acquire, std::memory_order_acquire)) {
  }
  return block;
}

bool CLogInbox::Push(QuillogInfoPtr record) {
  if (write_index_ == kBlockSize) {
    Block* block = _reuse();
    if (block == nullptr) {
      block = new Block;
    } else {
      block->next.store(nullptr, std::memory_order_relaxed);
    }
    write_block_->next.store(block, std::memory_order_release);
    write_block_ = block;
    write_index_ = 0;
  }
  write_block_->records[write_index_++] = record.release();
  return count_.fetch_add(1, std::memory_order_acq_rel) == 0;
}

void CLogInbox::TakeAll(std::vector<QuillogInfoPtr>& out) {
  size_t waiting = count_.load(std::memory_order_acquire);
  while (waiting != 0) {
    out.reserve(out.size() + waiting);
    for (size_t i = 0; i < waiting; ++i) {
      if (read_index_ == kBlockSize) {
        Block* next = read_block_->next.load(std::memory_order_acquire);
        _retire(read_block_);
        read_block_ = next;
        read_index_ = 0;
      }
      out.emplace_back(read_block_->records[read_index_++]);
    }
    // A record pushed meanwhile found the count above zero and sent no
    // wake-up: take it now.
    waiting = count_.fetch_sub(waiting, std::memory_order_acq_rel) - waiting;
  }
}
