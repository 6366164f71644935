// A list for records kept by the ten thousand: one pointer and two 32-bit
// counts (a vector takes three pointers). Works with a type not complete
// yet, as a record's list of records of its own type.
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
  CSmiCompactList(CSmiCompactList&& other) noexcept
      : m_items(std::move(other.m_items)), m_size(other.m_size), m_capacity(other.m_capacity) {
    other.m_size = 0;
    other.m_capacity = 0;
  }
  CSmiCompactList& operator=(const CSmiCompactList& other) {
    if (this != &other) CopyFrom(other);
    return *this;
  }
  CSmiCompactList& operator=(CSmiCompactList&& other) noexcept {
    if (this == &other) return *this;
    m_items = std::move(other.m_items);
    m_size = std::exchange(other.m_size, 0);
    m_capacity = std::exchange(other.m_capacity, 0);
    return *this;
  }

  size_t size() const { return m_size; }
  bool empty() const { return m_size == 0; }
  const T* begin() const { return m_items.get(); }
  const T* end() const { return m_items.get() + m_size; }
  T* begin() { return m_items.get(); }
  T* end() { return m_items.get() + m_size; }
  const T& front() const { return m_items[0]; }
  T& front() { return m_items[0]; }
  const T& operator[](size_t i) const { return m_items[i]; }
  T& operator[](size_t i) { return m_items[i]; }
  const T& at(size_t i) const {
    if (i >= m_size) throw std::out_of_range("CSmiCompactList::at");
    return m_items[i];
  }

  void push_back(T item) { emplace_back() = std::move(item); }
  T& emplace_back() {
    if (m_size == UINT32_MAX) throw std::length_error("CSmiCompactList too long");
    if (m_size == m_capacity)
      Reallocate(m_capacity == 0 ? 1 : std::min<uint64_t>(uint64_t{m_capacity} * 2, UINT32_MAX));
    return m_items[m_size++];
  }
  void clear() noexcept {
    m_items.reset();
    m_size = 0;
    m_capacity = 0;
  }
  void shrink_to_fit() {
    if (m_size == 0) {
      clear();
    } else if (m_size < m_capacity) {
      Reallocate(m_size);
    }
  }

 private:
  void Reallocate(uint64_t capacity) {
    auto items = std::make_unique<T[]>(capacity);
    std::move(begin(), end(), items.get());
    m_items = std::move(items);
    m_capacity = static_cast<uint32_t>(capacity);
  }
  void CopyFrom(const CSmiCompactList& other) {
    std::unique_ptr<T[]> items = other.m_size ? std::make_unique<T[]>(other.m_size) : nullptr;
    std::copy(other.begin(), other.end(), items.get());
    m_items = std::move(items);
    m_size = other.m_size;
    m_capacity = other.m_size;
  }

  std::unique_ptr<T[]> m_items;
  uint32_t m_size = 0;
  uint32_t m_capacity = 0;
};
