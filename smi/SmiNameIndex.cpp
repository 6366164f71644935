#include "smi/SmiNameIndex.h"

#include <algorithm>
#include <functional>
#include <stdexcept>

std::string_view CSmiKeyArena::Keep(std::string_view text) {
  const uint32_t handle = KeepHandle(text);
  return At(handle, static_cast<uint32_t>(text.size()));
}

uint32_t CSmiKeyArena::KeepHandle(std::string_view text) {
  if (text.size() > UINT32_MAX) throw std::length_error("index key too long");
  if (text.size() > capacity_ - used_ || used_ >= kBlock) {
    if (blocks_.size() > (UINT32_MAX >> kOffsetBits)) throw std::length_error("index keys too many");
    // A key longer than a block has one of its own, at offset 0.
    capacity_ = std::max(kBlock, text.size());
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(capacity_));
    used_ = 0;
  }
  char* at = blocks_.back().get() + used_;
  std::copy(text.begin(), text.end(), at);
  const uint32_t handle = static_cast<uint32_t>(((blocks_.size() - 1) << kOffsetBits) | used_);
  used_ += text.size();
  return handle;
}

void CSmiKeyArena::Clear() {
  blocks_.clear();
  capacity_ = 0;
  used_ = 0;
}

void CSmiNameIndex::InsertInto(Entry& entry, std::vector<uint32_t>& rest, uint32_t position) {
  if (position < entry.first) {
    rest.insert(rest.begin(), entry.first);
    entry.first = position;
  } else if (position > entry.first) {
    auto it = std::lower_bound(rest.begin(), rest.end(), position);
    if (it == rest.end() || *it != position) rest.insert(it, position);
  }
}

uint32_t CSmiNameIndex::Hash(std::string_view name) {
  return static_cast<uint32_t>(std::hash<std::string_view>()(name));
}

void CSmiNameIndex::Clear(size_t expected) {
  size_t slots = 16;
  while (slots * 3 < expected * 4) slots *= 2;
  slots_.assign(slots, Slot{0, kNoPosition});
  entries_.clear();
  rests_.clear();
  keys_.Clear();
}

size_t CSmiNameIndex::Probe(std::string_view name, uint32_t hash) const {
  const size_t mask = slots_.size() - 1;
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    const Slot& slot = slots_[i];
    if (slot.entry == kNoPosition) return i;
    if (slot.hash == hash && KeyOf(entries_[slot.entry]) == name) return i;
  }
}

bool CSmiNameIndex::Find(std::string_view name, Positions& found) const {
  if (slots_.empty()) return false;
  const Slot& slot = slots_[Probe(name, Hash(name))];
  if (slot.entry == kNoPosition) return false;
  const Entry& entry = entries_[slot.entry];
  found.first = entry.first;
  found.rest = entry.rest == kNoPosition ? std::span<const uint32_t>() : std::span<const uint32_t>(rests_[entry.rest]);
  return true;
}

void CSmiNameIndex::Insert(std::string_view name, uint32_t position) {
  if ((entries_.size() + 1) * 4 > slots_.size() * 3) Grow();
  const uint32_t hash = Hash(name);
  Slot& slot = slots_[Probe(name, hash)];
  if (slot.entry == kNoPosition) {
    slot = Slot{hash, static_cast<uint32_t>(entries_.size())};
    entries_.push_back(Entry{keys_.KeepHandle(name), static_cast<uint32_t>(name.size()), position, kNoPosition});
    return;
  }
  Entry& entry = entries_[slot.entry];
  if (position == entry.first) return;
  if (entry.rest == kNoPosition) {
    entry.rest = static_cast<uint32_t>(rests_.size());
    rests_.emplace_back();
  }
  InsertInto(entry, rests_[entry.rest], position);
}

void CSmiNameIndex::Grow() {
  const size_t size = slots_.empty() ? 16 : slots_.size() * 2;
  slots_.assign(size, Slot{0, kNoPosition});
  const size_t mask = size - 1;
  for (uint32_t e = 0; e < entries_.size(); ++e) {
    const uint32_t hash = Hash(KeyOf(entries_[e]));
    size_t i = hash & mask;
    while (slots_[i].entry != kNoPosition) i = (i + 1) & mask;
    slots_[i] = Slot{hash, e};
  }
}

void CSmiNameIndex::Remap(const std::vector<uint32_t>& new_position) {
  for (Entry& entry : entries_) {
    entry.first = new_position[entry.first];
    if (entry.rest == kNoPosition) continue;
    std::vector<uint32_t>& rest = rests_[entry.rest];
    for (uint32_t& p : rest) p = new_position[p];
    rest.push_back(entry.first);
    std::sort(rest.begin(), rest.end());
    entry.first = rest.front();
    rest.erase(rest.begin());
  }
}
