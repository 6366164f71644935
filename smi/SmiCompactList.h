// A list for records kept by the ten thousand: one pointer (a vector takes
// three), to a block holding the two 32-bit counts and then the items; an
// empty list has no block. A list may move its block into an arena (which
// must then outlive it): such a block is not freed with the list, and the
// list grows into a heap block again. Works with a type not complete yet, as a
// record's list of records of its own type.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <stdexcept>
#include <utility>

template <typename T>
class CSmiCompactList {
 public:
  CSmiCompactList() noexcept = default;
  CSmiCompactList(const CSmiCompactList& other) { CopyFrom(other); }
  CSmiCompactList(CSmiCompactList&& other) noexcept : m_block(std::exchange(other.m_block, nullptr)) {}
  CSmiCompactList& operator=(const CSmiCompactList& other) {
    if (this != &other) CopyFrom(other);
    return *this;
  }
  CSmiCompactList& operator=(CSmiCompactList&& other) noexcept {
    if (this == &other) return *this;
    clear();
    m_block = std::exchange(other.m_block, nullptr);
    return *this;
  }
  ~CSmiCompactList() { clear(); }

  size_t size() const { return m_block ? m_block->size : 0; }
  bool empty() const { return size() == 0; }
  const T* begin() const { return Items(); }
  const T* end() const { return Items() + size(); }
  T* begin() { return Items(); }
  T* end() { return Items() + size(); }
  const T& front() const { return Items()[0]; }
  T& front() { return Items()[0]; }
  const T& operator[](size_t i) const { return Items()[i]; }
  T& operator[](size_t i) { return Items()[i]; }
  const T& at(size_t i) const {
    if (i >= size()) throw std::out_of_range("CSmiCompactList::at");
    return Items()[i];
  }

  void push_back(T item) { emplace_back() = std::move(item); }
  T& emplace_back() {
    const uint32_t count = static_cast<uint32_t>(size());
    if (count == UINT32_MAX) throw std::length_error("CSmiCompactList too long");
    if (!m_block || count == m_block->capacity || InArena())
      Reallocate(count == 0 ? 1 : std::min<uint64_t>(uint64_t{count} * 2, UINT32_MAX));
    T* item = new (Items() + count) T();
    ++m_block->size;
    return *item;
  }
  void clear() noexcept {
    if (!m_block) return;
    std::destroy(begin(), end());
    if (!InArena()) Free(m_block);
    m_block = nullptr;
  }
  // Moves the items into a block of the exact size from arena (Allocate(size,
  // align)) and frees the list's own block.
  template <typename Arena>
  void MoveInto(Arena& arena) {
    if (empty() || InArena()) return;
    const uint32_t count = m_block->size;
    void* memory = arena.Allocate(ItemsOffset() + count * sizeof(T), std::max(alignof(T), alignof(Header)));
    Header* block = new (memory) Header{0, kInArena};
    std::uninitialized_move(begin(), end(), ItemsOf(block));
    block->size = count;
    clear();
    m_block = block;
  }
  bool InArena() const { return m_block && m_block->capacity == kInArena; }
  void shrink_to_fit() {
    if (empty()) {
      clear();
    } else if (!InArena() && m_block->size < m_block->capacity) {
      Reallocate(m_block->size);
    }
  }

 private:
  struct Header {
    uint32_t size;
    uint32_t capacity;  // kInArena: the block is an arena's
  };
  static constexpr uint32_t kInArena = 0;
  // The items start after the header, aligned for T (known once T is complete).
  static constexpr size_t ItemsOffset() { return (sizeof(Header) + alignof(T) - 1) / alignof(T) * alignof(T); }
  T* Items() const {
    if (!m_block) return nullptr;
    return std::launder(reinterpret_cast<T*>(reinterpret_cast<char*>(m_block) + ItemsOffset()));
  }
  static Header* Allocate(uint64_t capacity) {
    static_assert(alignof(T) <= __STDCPP_DEFAULT_NEW_ALIGNMENT__);
    void* memory = ::operator new(ItemsOffset() + capacity * sizeof(T));
    return new (memory) Header{0, static_cast<uint32_t>(capacity)};
  }
  static void Free(Header* block) noexcept { ::operator delete(block); }
  static T* ItemsOf(Header* block) {
    return std::launder(reinterpret_cast<T*>(reinterpret_cast<char*>(block) + ItemsOffset()));
  }
  // A new block of capacity items; the items move over.
  void Reallocate(uint64_t capacity) {
    Header* block = Allocate(capacity);
    if (m_block) {
      std::uninitialized_move(begin(), end(), ItemsOf(block));
      block->size = m_block->size;
      clear();
    }
    m_block = block;
  }
  void CopyFrom(const CSmiCompactList& other) {
    if (other.empty()) {
      clear();
      return;
    }
    Header* block = Allocate(other.size());
    try {
      std::uninitialized_copy(other.begin(), other.end(), ItemsOf(block));
    } catch (...) {
      Free(block);
      throw;
    }
    block->size = static_cast<uint32_t>(other.size());
    clear();
    m_block = block;
  }

  Header* m_block = nullptr;
};
