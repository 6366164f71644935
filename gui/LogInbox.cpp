#include "gui/LogInbox.h"

CLogInbox::CLogInbox() : m_write_block(new Block), m_read_block(m_write_block) {}

CLogInbox::~CLogInbox() {
  std::vector<QuillogInfoPtr> rest;
  TakeAll(rest);
  // Everything taken: the reader stands in the writer's block.
  delete m_read_block;
  for (Block* spare = _reuse(); spare != nullptr; spare = _reuse()) delete spare;
}

void CLogInbox::_retire(Block* block) {
  block->next_spare = m_spares.load(std::memory_order_relaxed);
  while (
      !m_spares.compare_exchange_weak(block->next_spare, block, std::memory_order_release, std::memory_order_relaxed)) {
  }
}

CLogInbox::Block* CLogInbox::_reuse() {
  Block* block = m_spares.load(std::memory_order_acquire);
  while (block != nullptr && !m_spares.compare_exchange_weak(block, block->next_spare, std::memory_order_acquire,
                                                             std::memory_order_acquire)) {
  }
  return block;
}

bool CLogInbox::Push(QuillogInfoPtr record) {
  if (m_write_index == kBlockSize) {
    Block* block = _reuse();
    if (block == nullptr) {
      block = new Block;
    } else {
      block->next.store(nullptr, std::memory_order_relaxed);
    }
    m_write_block->next.store(block, std::memory_order_release);
    m_write_block = block;
    m_write_index = 0;
  }
  m_write_block->records[m_write_index++] = record.release();
  return m_count.fetch_add(1, std::memory_order_acq_rel) == 0;
}

void CLogInbox::TakeAll(std::vector<QuillogInfoPtr>& out) {
  size_t waiting = m_count.load(std::memory_order_acquire);
  while (waiting != 0) {
    out.reserve(out.size() + waiting);
    for (size_t i = 0; i < waiting; ++i) {
      if (m_read_index == kBlockSize) {
        Block* next = m_read_block->next.load(std::memory_order_acquire);
        _retire(m_read_block);
        m_read_block = next;
        m_read_index = 0;
      }
      out.emplace_back(m_read_block->records[m_read_index++]);
    }
    // A record pushed meanwhile found the count above zero and sent no
    // wake-up: take it now.
    waiting = m_count.fetch_sub(waiting, std::memory_order_acq_rel) - waiting;
  }
}
