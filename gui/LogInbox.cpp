#include "gui/LogInbox.h"

CLogInbox::~CLogInbox() {
  std::vector<QuillogInfoPtr> rest;
  TakeAll(rest);
}

bool CLogInbox::Push(QuillogInfoPtr record) {
  auto node = std::make_unique<Node>();
  node->record = std::move(record);
  node->next = head_.load(std::memory_order_relaxed);
  while (!head_.compare_exchange_weak(node->next, node.get(), std::memory_order_release, std::memory_order_relaxed)) {
  }
  return node.release()->next == nullptr;
}

void CLogInbox::TakeAll(std::vector<QuillogInfoPtr>& out) {
  Node* node = head_.exchange(nullptr, std::memory_order_acquire);
  // The stack holds the newest first: reverse it.
  Node* oldest_first = nullptr;
  size_t count = 0;
  while (node != nullptr) {
    Node* next = node->next;
    node->next = oldest_first;
    oldest_first = node;
    node = next;
    ++count;
  }
  out.reserve(out.size() + count);
  while (oldest_first != nullptr) {
    std::unique_ptr<Node> owned(oldest_first);
    oldest_first = owned->next;
    out.push_back(std::move(owned->record));
  }
}

size_t CLogInbox::Count() const {
  size_t count = 0;
  for (const Node* node = head_.load(std::memory_order_acquire); node != nullptr; node = node->next) ++count;
  return count;
}
