#include "smi/SmiNameIndex.h"

#include <algorithm>
#include <functional>

std::string_view CSmiKeyArena::Keep(std::string_view text) {
  if (text.size() > capacity_ - used_) {
    capacity_ = std::max(kBlock, text.size());
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(capacity_));
    used_ = 0;
  }
  char* at = blocks_.back().get() + used_;
  std::copy(text.begin(), text.end(), at);
  used_ += text.size();
  return std::string_view(at, text.size());
}

void CSmiKeyArena::Clear() {
  blocks_.clear();
  capacity_ = 0;
  used_ = 0;
}

void CSmiNameIndex::Positions::Insert(uint32_t position) {
  if (first == kNoPosition) {
    first = position;
  } else if (position < first) {
    rest.insert(rest.begin(), first);
    first = position;
  } else if (position > first) {
    auto it = std::lower_bound(rest.begin(), rest.end(), position);
    if (it == rest.end() || *it != position) rest.insert(it, position);
  }
}

void CSmiNameIndex::Positions::Remap(const std::vector<uint32_t>& new_position) {
  first = new_position[first];
  if (rest.empty()) return;
  for (uint32_t& p : rest) p = new_position[p];
  rest.push_back(first);
  std::sort(rest.begin(), rest.end());
  first = rest.front();
  rest.erase(rest.begin());
}

uint32_t CSmiNameIndex::Hash(std::string_view name) {
  return static_cast<uint32_t>(std::hash<std::string_view>()(name));
}

void CSmiNameIndex::Clear(size_t expected) {
  size_t slots = 16;
  while (slots < expected * 2) slots *= 2;
  slots_.assign(slots, Slot{0, kNoPosition});
  entries_.clear();
  entries_.reserve(expected);
  keys_.Clear();
}

size_t CSmiNameIndex::Probe(std::string_view name, uint32_t hash) const {
  const size_t mask = slots_.size() - 1;
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    const Slot& slot = slots_[i];
    if (slot.entry == kNoPosition) return i;
    if (slot.hash == hash && entries_[slot.entry].key == name) return i;
  }
}

const CSmiNameIndex::Positions* CSmiNameIndex::Find(std::string_view name) const {
  if (slots_.empty()) return nullptr;
  const Slot& slot = slots_[Probe(name, Hash(name))];
  return slot.entry == kNoPosition ? nullptr : &entries_[slot.entry].positions;
}

CSmiNameIndex::Positions& CSmiNameIndex::FindOrAdd(std::string_view name) {
  if ((entries_.size() + 1) * 2 > slots_.size()) Grow();
  const uint32_t hash = Hash(name);
  Slot& slot = slots_[Probe(name, hash)];
  if (slot.entry != kNoPosition) return entries_[slot.entry].positions;
  slot = Slot{hash, static_cast<uint32_t>(entries_.size())};
  entries_.push_back(Entry{keys_.Keep(name), Positions()});
  return entries_.back().positions;
}

void CSmiNameIndex::Grow() {
  const size_t size = slots_.empty() ? 16 : slots_.size() * 2;
  slots_.assign(size, Slot{0, kNoPosition});
  const size_t mask = size - 1;
  for (uint32_t e = 0; e < entries_.size(); ++e) {
    const uint32_t hash = Hash(entries_[e].key);
    size_t i = hash & mask;
    while (slots_[i].entry != kNoPosition) i = (i + 1) & mask;
    slots_[i] = Slot{hash, e};
  }
}

void CSmiNameIndex::Remap(const std::vector<uint32_t>& new_position) {
  for (Entry& entry : entries_) entry.positions.Remap(new_position);
}
