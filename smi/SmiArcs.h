// The OID arcs of a record, read as a range of int64_t. Arcs take 32 bits
// each while the list is built; an OID with an arc outside 0..4294967295
// (bad input, kept as written) keeps all its arcs in 64 bits. One pointer
// and two counts, and one block of the exact size once compacted, which a
// tree may move into its arena, there in one or two bytes an arc when its
// arcs are that small (the arena must then outlive it; a copy takes a
// block of its own).
#pragma once

#include "smi/SmiText.h"

#include <algorithm>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <vector>

class CSmiArcs {
 public:
  class Iterator {
   public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = int64_t;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = int64_t;

    Iterator() = default;
    Iterator(const CSmiArcs* arcs, difference_type i) : m_arcs(arcs), m_i(i) {}
    int64_t operator*() const { return (*m_arcs)[static_cast<size_t>(m_i)]; }
    int64_t operator[](difference_type n) const { return (*m_arcs)[static_cast<size_t>(m_i + n)]; }
    Iterator& operator++() {
      ++m_i;
      return *this;
    }
    Iterator operator++(int) { return Iterator(m_arcs, m_i++); }
    Iterator& operator--() {
      --m_i;
      return *this;
    }
    Iterator operator--(int) { return Iterator(m_arcs, m_i--); }
    Iterator& operator+=(difference_type n) {
      m_i += n;
      return *this;
    }
    Iterator& operator-=(difference_type n) {
      m_i -= n;
      return *this;
    }
    friend Iterator operator+(Iterator it, difference_type n) { return it += n; }
    friend Iterator operator+(difference_type n, Iterator it) { return it += n; }
    friend Iterator operator-(Iterator it, difference_type n) { return it -= n; }
    friend difference_type operator-(const Iterator& a, const Iterator& b) { return a.m_i - b.m_i; }
    friend bool operator==(const Iterator& a, const Iterator& b) { return a.m_i == b.m_i; }
    friend auto operator<=>(const Iterator& a, const Iterator& b) { return a.m_i <=> b.m_i; }

   private:
    const CSmiArcs* m_arcs = nullptr;
    difference_type m_i = 0;
  };
  using const_iterator = Iterator;
  using iterator = Iterator;
  using value_type = int64_t;

  CSmiArcs() = default;
  explicit CSmiArcs(const std::vector<int64_t>& arcs) { assign(arcs.begin(), arcs.end()); }
  CSmiArcs(const CSmiArcs& other) { CopyFrom(other); }
  CSmiArcs(CSmiArcs&& other) noexcept
      : m_bytes(std::move(other.m_bytes)), m_size(other.m_size), m_form(other.m_form), m_capacity(other.m_capacity) {
    other.Forget();
  }
  CSmiArcs& operator=(const CSmiArcs& other) {
    if (this != &other) CopyFrom(other);
    return *this;
  }
  CSmiArcs& operator=(CSmiArcs&& other) noexcept {
    if (this == &other) return *this;
    m_bytes = std::move(other.m_bytes);
    m_size = other.m_size;
    m_form = other.m_form;
    m_capacity = other.m_capacity;
    other.Forget();
    return *this;
  }
  CSmiArcs& operator=(const std::vector<int64_t>& arcs) {
    assign(arcs.begin(), arcs.end());
    return *this;
  }
  CSmiArcs& operator=(std::initializer_list<int64_t> arcs) {
    assign(arcs.begin(), arcs.end());
    return *this;
  }

  size_t size() const { return m_size; }
  bool empty() const { return m_size == 0; }
  int64_t operator[](size_t i) const {
    const unsigned char* at = Bytes() + i * BytesPerArc(m_form);
    switch (m_form) {
      case kForm8: return *at;
      case kForm16: return Load<uint16_t>(at);
      case kForm32: return Load<uint32_t>(at);
      default: return Load<int64_t>(at);
    }
  }
  int64_t front() const { return (*this)[0]; }
  int64_t back() const { return (*this)[m_size - 1]; }
  Iterator begin() const { return Iterator(this, 0); }
  Iterator end() const { return Iterator(this, static_cast<std::ptrdiff_t>(m_size)); }
  // True when every arc fits in 32 bits.
  bool Narrow() const { return m_form != kForm64; }
  std::vector<int64_t> Vector() const { return std::vector<int64_t>(begin(), end()); }

  void push_back(int64_t arc) {
    if (m_form == kForm8 || m_form == kForm16) Reform(kForm32);
    if (m_form == kForm32 && !Fits(arc)) Reform(kForm64);
    const size_t width = BytesPerArc(m_form);
    if ((size_t{m_size} + 1) * width > m_capacity) Reallocate(m_size < 4 ? 4 : size_t{m_size} * 2);
    Store(m_size++, arc);
  }
  template <typename It>
  void append(It first, It last) {
    for (; first != last; ++first) push_back(*first);
  }
  template <typename It>
  void assign(It first, It last) {
    clear();
    append(first, last);
  }
  // Inserts [first, last) before arc at (not taken from this list).
  template <typename It>
  void insert(size_t at, It first, It last) {
    std::vector<int64_t> all = Vector();
    all.insert(all.begin() + static_cast<std::ptrdiff_t>(at), first, last);
    assign(all.begin(), all.end());
  }
  void clear() noexcept {
    m_bytes.reset();
    Forget();
  }
  void shrink_to_fit() {
    if (m_size == 0) {
      clear();
    } else if (size_t{m_size} * BytesPerArc(m_form) < m_capacity) {
      Reallocate(m_size);
    }
  }

  // Moves the arcs into the arena in the fewest bytes an arc that hold
  // them all (one, two or four; eight for an arc outside 32 bits), and
  // frees their own block.
  void MoveInto(CSmiArena& arena) {
    if (!m_bytes || InArena()) return;
    if (m_size == 0) {
      clear();
      return;
    }
    const uint32_t form = m_form == kForm64 ? kForm64 : SmallestForm();
    const size_t width = BytesPerArc(form);
    auto* at = reinterpret_cast<unsigned char*>(arena.Allocate(m_size * width, width < 2 ? 2 : width));
    for (size_t i = 0; i < m_size; ++i) Store(at, form, i, (*this)[i]);
    m_bytes.reset(SmiArenaTagged(at));
    m_form = form;
    m_capacity = static_cast<uint32_t>(m_size * width);
  }
  bool InArena() const { return SmiInArena(m_bytes.get()); }

  friend bool operator==(const CSmiArcs& a, const CSmiArcs& b) {
    if (a.m_size != b.m_size) return false;
    if (a.m_form == b.m_form) return std::memcmp(a.Bytes(), b.Bytes(), a.m_size * BytesPerArc(a.m_form)) == 0;
    for (size_t i = 0; i < a.m_size; ++i)
      if (a[i] != b[i]) return false;
    return true;
  }
  friend bool operator==(const CSmiArcs& a, const std::vector<int64_t>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < b.size(); ++i)
      if (a[i] != b[i]) return false;
    return true;
  }

 private:
  // How an arc is kept: a list being built takes 32 or 64 bits an arc, a
  // moved one the fewest bytes that hold its largest arc.
  enum : uint32_t { kForm32 = 0, kForm64 = 1, kForm8 = 2, kForm16 = 3 };
  static size_t BytesPerArc(uint32_t form) {
    constexpr uint8_t kBytes[] = {4, 8, 1, 2};
    return kBytes[form];
  }
  template <typename T>
  static int64_t Load(const unsigned char* at) {
    T value;
    std::memcpy(&value, at, sizeof value);
    return static_cast<int64_t>(value);
  }
  static void Store(unsigned char* bytes, uint32_t form, size_t i, int64_t arc) {
    unsigned char* at = bytes + i * BytesPerArc(form);
    if (form == kForm8) {
      *at = static_cast<unsigned char>(arc);
    } else if (form == kForm16) {
      const auto value = static_cast<uint16_t>(arc);
      std::memcpy(at, &value, sizeof value);
    } else if (form == kForm32) {
      const auto value = static_cast<uint32_t>(arc);
      std::memcpy(at, &value, sizeof value);
    } else {
      std::memcpy(at, &arc, sizeof arc);
    }
  }
  void Store(size_t i, int64_t arc) { Store(Bytes(), m_form, i, arc); }
  static bool Fits(int64_t arc) { return arc >= 0 && arc <= int64_t{UINT32_MAX}; }
  uint32_t SmallestForm() const {
    int64_t largest = 0;
    for (size_t i = 0; i < m_size; ++i) largest = std::max(largest, (*this)[i]);
    if (largest <= UINT8_MAX) return kForm8;
    return largest <= UINT16_MAX ? kForm16 : kForm32;
  }
  // Room for capacity arcs in the current form.
  void Reallocate(size_t capacity) {
    const size_t bytes = capacity * BytesPerArc(m_form);
    auto block = std::make_unique_for_overwrite<unsigned char[]>(bytes);
    if (m_size) std::memcpy(block.get(), Bytes(), size_t{m_size} * BytesPerArc(m_form));
    m_bytes.reset(block.release());
    m_capacity = static_cast<uint32_t>(bytes);
  }
  // The same arcs in another form, in a block of their own with room for
  // one more.
  void Reform(uint32_t form) {
    const size_t bytes = (size_t{m_size} + 1) * BytesPerArc(form);
    auto block = std::make_unique_for_overwrite<unsigned char[]>(bytes);
    for (size_t i = 0; i < m_size; ++i) Store(block.get(), form, i, (*this)[i]);
    m_bytes.reset(block.release());
    m_form = form;
    m_capacity = static_cast<uint32_t>(bytes);
  }
  void CopyFrom(const CSmiArcs& other) {
    const size_t bytes = size_t{other.m_size} * BytesPerArc(other.m_form);
    std::unique_ptr<unsigned char[]> block = bytes ? std::make_unique_for_overwrite<unsigned char[]>(bytes) : nullptr;
    if (bytes) std::memcpy(block.get(), other.Bytes(), bytes);
    m_bytes.reset(block.release());
    m_size = other.m_size;
    m_form = other.m_form;
    m_capacity = static_cast<uint32_t>(bytes);
  }
  void Forget() noexcept {
    m_size = 0;
    m_form = kForm32;
    m_capacity = 0;
  }

  unsigned char* Bytes() const { return SmiUntagged(m_bytes.get()); }

  std::unique_ptr<unsigned char[], CSmiBlockDeleter<unsigned char>> m_bytes;
  uint32_t m_size : 30 = 0;
  uint32_t m_form : 2 = kForm32;
  uint32_t m_capacity = 0;  // bytes
};
