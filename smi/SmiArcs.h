// The OID arcs of a record, read as a range of int64_t. Arcs take 32 bits
// each; an OID with an arc outside 0..4294967295 (bad input, kept as
// written) keeps all its arcs in 64 bits. One pointer and two counts, and
// one block of the exact size once compacted, which a tree may move into its
// arena (the arena must then outlive it; a copy takes a block of its own).
#pragma once

#include "smi/SmiText.h"

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
      : m_words(std::move(other.m_words)), m_size(other.m_size), m_wide(other.m_wide), m_capacity(other.m_capacity) {
    other.m_size = 0;
    other.m_wide = 0;
    other.m_capacity = 0;
  }
  CSmiArcs& operator=(const CSmiArcs& other) {
    if (this != &other) CopyFrom(other);
    return *this;
  }
  CSmiArcs& operator=(CSmiArcs&& other) noexcept {
    if (this == &other) return *this;
    m_words = std::move(other.m_words);
    m_size = other.m_size;
    m_wide = other.m_wide;
    m_capacity = other.m_capacity;
    other.m_size = 0;
    other.m_wide = 0;
    other.m_capacity = 0;
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
    if (!m_wide) return Words()[i];
    int64_t arc = 0;
    std::memcpy(&arc, Words() + 2 * i, sizeof arc);
    return arc;
  }
  int64_t front() const { return (*this)[0]; }
  int64_t back() const { return (*this)[m_size - 1]; }
  Iterator begin() const { return Iterator(this, 0); }
  Iterator end() const { return Iterator(this, static_cast<std::ptrdiff_t>(m_size)); }
  // True when every arc takes 32 bits.
  bool Narrow() const { return !m_wide; }
  std::vector<int64_t> Vector() const { return std::vector<int64_t>(begin(), end()); }

  void push_back(int64_t arc) {
    if (!m_wide && !Fits(arc)) Widen();
    if ((size_t{m_size} + 1) * WordsPerArc() > m_capacity) Reallocate(m_size < 4 ? 4 : size_t{m_size} * 2);
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
    m_words.reset();
    m_size = 0;
    m_wide = 0;
    m_capacity = 0;
  }
  void shrink_to_fit() {
    if (m_size == 0) {
      clear();
    } else if (size_t{m_size} * WordsPerArc() < m_capacity) {
      Reallocate(m_size);
    }
  }

  // Moves the arcs into the arena, compacted, and frees their own block.
  void MoveInto(CSmiArena& arena) {
    if (!m_words || InArena()) return;
    const size_t words = size_t{m_size} * WordsPerArc();
    if (words == 0) {
      clear();
      return;
    }
    char* at = arena.Allocate(words * sizeof(uint32_t), alignof(uint64_t));
    std::memcpy(at, Words(), words * sizeof(uint32_t));
    m_words.reset(reinterpret_cast<uint32_t*>(reinterpret_cast<uintptr_t>(at) | 1));
    m_capacity = static_cast<uint32_t>(words);
  }
  bool InArena() const { return (reinterpret_cast<uintptr_t>(m_words.get()) & 1) != 0; }

  friend bool operator==(const CSmiArcs& a, const CSmiArcs& b) {
    if (a.m_size != b.m_size) return false;
    if (!a.m_wide && !b.m_wide) return std::memcmp(a.Words(), b.Words(), a.m_size * sizeof(uint32_t)) == 0;
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
  static bool Fits(int64_t arc) { return arc >= 0 && arc <= int64_t{UINT32_MAX}; }
  size_t WordsPerArc() const { return m_wide ? 2 : 1; }
  void Store(size_t i, int64_t arc) {
    if (m_wide) {
      std::memcpy(Words() + 2 * i, &arc, sizeof arc);
    } else {
      Words()[i] = static_cast<uint32_t>(arc);
    }
  }
  // Room for capacity arcs in the current width.
  void Reallocate(size_t capacity) {
    const size_t words = capacity * WordsPerArc();
    auto block = std::make_unique_for_overwrite<uint32_t[]>(words);
    if (m_size) std::memcpy(block.get(), Words(), size_t{m_size} * WordsPerArc() * sizeof(uint32_t));
    m_words.reset(block.release());
    m_capacity = static_cast<uint32_t>(words);
  }
  void Widen() {
    const std::vector<int64_t> arcs = Vector();
    m_wide = 1;
    m_words.reset(std::make_unique_for_overwrite<uint32_t[]>(2 * (arcs.size() + 1)).release());
    m_capacity = static_cast<uint32_t>(2 * (arcs.size() + 1));
    for (size_t i = 0; i < arcs.size(); ++i) Store(i, arcs[i]);
  }
  void CopyFrom(const CSmiArcs& other) {
    const size_t words = size_t{other.m_size} * other.WordsPerArc();
    std::unique_ptr<uint32_t[]> block = words ? std::make_unique_for_overwrite<uint32_t[]>(words) : nullptr;
    if (words) std::memcpy(block.get(), other.Words(), words * sizeof(uint32_t));
    m_words.reset(block.release());
    m_size = other.m_size;
    m_wide = other.m_wide;
    m_capacity = static_cast<uint32_t>(words);
  }

  // A block in an arena is tagged in its lowest bit and not freed here.
  struct Deleter {
    void operator()(uint32_t* words) const {
      if (!(reinterpret_cast<uintptr_t>(words) & 1)) delete[] words;
    }
  };
  uint32_t* Words() const {
    return reinterpret_cast<uint32_t*>(reinterpret_cast<uintptr_t>(m_words.get()) & ~uintptr_t{1});
  }

  std::unique_ptr<uint32_t[], Deleter> m_words;
  uint32_t m_size : 31 = 0;
  uint32_t m_wide : 1 = 0;
  uint32_t m_capacity = 0;  // words
};
