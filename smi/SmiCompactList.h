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
      : items_(std::move(other.items_)), size_(other.size_), capacity_(other.capacity_) {
    other.size_ = 0;
    other.capacity_ = 0;
  }
  CSmiCompactList& operator=(const CSmiCompactList& other) {
    if (this != &other) CopyFrom(other);
    return *this;
  }
  CSmiCompactList& operator=(CSmiCompactList&& other) noexcept {
    if (this == &other) return *this;
    items_ = std::move(other.items_);
    size_ = std::exchange(other.size_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
    return *this;
  }

  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  const T* begin() const { return items_.get(); }
  const T* end() const { return items_.get() + size_; }
  T* begin() { return items_.get(); }
  T* end() { return items_.get() + size_; }
  const T& front() const { return items_[0]; }
  T& front() { return items_[0]; }
  const T& operator[](size_t i) const { return items_[i]; }
  T& operator[](size_t i) { return items_[i]; }
  const T& at(size_t i) const {
    if (i >= size_) throw std::out_of_range("CSmiCompactList::at");
    return items_[i];
  }

  void push_back(T item) { emplace_back() = std::move(item); }
  T& emplace_back() {
    if (size_ == UINT32_MAX) throw std::length_error("CSmiCompactList too long");
    if (size_ == capacity_) Reallocate(capacity_ == 0 ? 1 : std::min<uint64_t>(uint64_t{capacity_} * 2, UINT32_MAX));
    return items_[size_++];
  }
  void clear() noexcept {
    items_.reset();
    size_ = 0;
    capacity_ = 0;
  }
  void shrink_to_fit() {
    if (size_ == 0) {
      clear();
    } else if (size_ < capacity_) {
      Reallocate(size_);
    }
  }

 private:
  void Reallocate(uint64_t capacity) {
    auto items = std::make_unique<T[]>(capacity);
    std::move(begin(), end(), items.get());
    items_ = std::move(items);
    capacity_ = static_cast<uint32_t>(capacity);
  }
  void CopyFrom(const CSmiCompactList& other) {
    std::unique_ptr<T[]> items = other.size_ ? std::make_unique<T[]>(other.size_) : nullptr;
    std::copy(other.begin(), other.end(), items.get());
    items_ = std::move(items);
    size_ = other.size_;
    capacity_ = other.size_;
  }

  std::unique_ptr<T[]> items_;
  uint32_t size_ = 0;
  uint32_t capacity_ = 0;
};
