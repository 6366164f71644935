// The SMI tree's name index: for each name (its UTF-8 bytes), the ascending positions of the
// objects declared with it. An open-addressing table of (hash, entry):
// a name not in the index is told from the table alone, without touching
// any key, and the entries and their keys lie in the order they came.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

// Copies of index keys, packed in blocks that never move (one allocation
// per block rather than one per key; keys read together stay together).
class CSmiKeyArena {
 public:
  std::string_view Keep(std::string_view text);
  void Clear();

 private:
  static constexpr size_t kBlock = 65536;  // bytes
  std::vector<std::unique_ptr<char[]>> blocks_;
  size_t capacity_ = 0;  // of the last block
  size_t used_ = 0;      // in the last block
};

class CSmiNameIndex {
 public:
  static constexpr uint32_t kNoPosition = UINT32_MAX;

  // Ascending positions; the first is kept inline (most names have one).
  struct Positions {
    uint32_t first = kNoPosition;
    std::vector<uint32_t> rest;  // ascending, all above first
    void Insert(uint32_t position);
    void Remap(const std::vector<uint32_t>& new_position);
  };

  // Empties the index, with room for about `expected` names.
  void Clear(size_t expected);
  const Positions* Find(std::string_view name) const;
  // The positions of name, added empty (the key copied) on first sight.
  Positions& FindOrAdd(std::string_view name);
  // Renumbers every position (old position -> new).
  void Remap(const std::vector<uint32_t>& new_position);

 private:
  struct Slot {
    uint32_t hash;
    uint32_t entry;  // kNoPosition: empty
  };
  struct Entry {
    std::string_view key;
    Positions positions;
  };
  static uint32_t Hash(std::string_view name);
  // The slot holding name, or the empty slot where it would go.
  size_t Probe(std::string_view name, uint32_t hash) const;
  void Grow();

  std::vector<Slot> slots_;  // a power of two, at most half full
  std::vector<Entry> entries_;
  CSmiKeyArena keys_;
};
