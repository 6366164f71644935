// The SMI tree's name index: for each name (its UTF-8 bytes), the ascending positions of the
// objects declared with it. Keys are the names' own blocks, not copies: a
// name inserted must live as long as the index holds it. An open-addressing table of (hash, entry):
// a name not in the index is told from the table alone, without touching
// any key, and the entries and their keys lie in the order they came.
#pragma once

#include "smi/SmiText.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

// Copies of index keys, packed in blocks that never move (one allocation
// per block rather than one per key; keys read together stay together).
class CSmiKeyArena {
 public:
  std::string_view Keep(std::string_view text);
  // The same, told by a 32-bit handle (block and offset) instead of a pointer.
  uint32_t KeepHandle(std::string_view text);
  std::string_view At(uint32_t handle, uint32_t size) const {
    return std::string_view(m_blocks[handle >> kOffsetBits].get() + (handle & kOffsetMask), size);
  }
  void Clear();

 private:
  static constexpr uint32_t kOffsetBits = 16;
  static constexpr uint32_t kOffsetMask = (1u << kOffsetBits) - 1;
  static constexpr size_t kBlock = size_t{1} << kOffsetBits;  // bytes
  std::vector<std::unique_ptr<char[]>> m_blocks;
  size_t m_capacity = 0;  // of the last block
  size_t m_used = 0;      // in the last block
};

class CSmiNameIndex {
 public:
  static constexpr uint32_t kNoPosition = UINT32_MAX;

  // The positions of one name, ascending: first, then the rest (most names
  // have one).
  struct Positions {
    uint32_t first = kNoPosition;
    std::span<const uint32_t> rest;
  };

  // Empties the index, with room for about `expected` names.
  void Clear(size_t expected);
  // False when name is not in the index.
  bool Find(std::string_view name, Positions& found) const;
  // Adds position to name's positions (name kept as the key on first sight).
  void Insert(const CSmiName& name, uint32_t position);
  // Renumbers every position (old position -> new).
  void Remap(const std::vector<uint32_t>& new_position);

 private:
  struct Slot {
    uint32_t hash;
    uint32_t entry;  // kNoPosition: empty
  };
  // 16 bytes: the key by its name's block, the other positions by index.
  struct Entry {
    const char* key;
    uint32_t first;
    uint32_t rest;  // into m_rests; kNoPosition: none
  };
  static uint32_t Hash(std::string_view name);
  static std::string_view KeyOf(const Entry& entry) { return CSmiName::Utf8Of(entry.key); }
  // The slot holding name, or the empty slot where it would go.
  size_t Probe(std::string_view name, uint32_t hash) const;
  void Grow();
  static void InsertInto(Entry& entry, std::vector<uint32_t>& rest, uint32_t position);

  std::vector<Slot> m_slots;                   // a power of two, at most three quarters full
  std::deque<Entry> m_entries;                 // no copy of them all as they grow
  std::vector<std::vector<uint32_t>> m_rests;  // ascending, all above their entry's first
};
