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
  if (text.size() > m_capacity - m_used || m_used >= kBlock) {
    if (m_blocks.size() > (UINT32_MAX >> kOffsetBits)) throw std::length_error("index keys too many");
    // A key longer than a block has one of its own, at offset 0.
    m_capacity = std::max(kBlock, text.size());
    m_blocks.push_back(std::make_unique_for_overwrite<char[]>(m_capacity));
    m_used = 0;
  }
  char* at = m_blocks.back().get() + m_used;
  std::copy(text.begin(), text.end(), at);
  const uint32_t handle = static_cast<uint32_t>(((m_blocks.size() - 1) << kOffsetBits) | m_used);
  m_used += text.size();
  return handle;
}

void CSmiKeyArena::Clear() {
  m_blocks.clear();
  m_capacity = 0;
  m_used = 0;
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
  m_slots.assign(slots, Slot{0, kNoPosition});
  m_entries.clear();
  m_rests.clear();
}

size_t CSmiNameIndex::Probe(std::string_view name, uint32_t hash) const {
  const size_t mask = m_slots.size() - 1;
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    const Slot& slot = m_slots[i];
    if (slot.entry == kNoPosition) return i;
    if (slot.hash == hash && KeyOf(m_entries[slot.entry]) == name) return i;
  }
}

bool CSmiNameIndex::Find(std::string_view name, Positions& found) const {
  if (m_slots.empty()) return false;
  const Slot& slot = m_slots[Probe(name, Hash(name))];
  if (slot.entry == kNoPosition) return false;
  const Entry& entry = m_entries[slot.entry];
  found.first = entry.first;
  found.rest = entry.rest == kNoPosition ? std::span<const uint32_t>() : std::span<const uint32_t>(m_rests[entry.rest]);
  return true;
}

void CSmiNameIndex::Insert(const CSmiName& name, uint32_t position) {
  if ((m_entries.size() + 1) * 4 > m_slots.size() * 3) Grow();
  const uint32_t hash = Hash(name.Utf8());
  Slot& slot = m_slots[Probe(name.Utf8(), hash)];
  if (slot.entry == kNoPosition) {
    slot = Slot{hash, static_cast<uint32_t>(m_entries.size())};
    m_entries.push_back(Entry{name.Block(), position, kNoPosition});
    return;
  }
  Entry& entry = m_entries[slot.entry];
  if (position == entry.first) return;
  if (entry.rest == kNoPosition) {
    entry.rest = static_cast<uint32_t>(m_rests.size());
    m_rests.emplace_back();
  }
  InsertInto(entry, m_rests[entry.rest], position);
}

void CSmiNameIndex::Grow() {
  const size_t size = m_slots.empty() ? 16 : m_slots.size() * 2;
  m_slots.assign(size, Slot{0, kNoPosition});
  const size_t mask = size - 1;
  for (uint32_t e = 0; e < m_entries.size(); ++e) {
    const uint32_t hash = Hash(KeyOf(m_entries[e]));
    size_t i = hash & mask;
    while (m_slots[i].entry != kNoPosition) i = (i + 1) & mask;
    m_slots[i] = Slot{hash, e};
  }
}

void CSmiNameIndex::Remap(const std::vector<uint32_t>& new_position) {
  for (Entry& entry : m_entries) {
    entry.first = new_position[entry.first];
    if (entry.rest == kNoPosition) continue;
    std::vector<uint32_t>& rest = m_rests[entry.rest];
    for (uint32_t& p : rest) p = new_position[p];
    rest.push_back(entry.first);
    std::sort(rest.begin(), rest.end());
    entry.first = rest.front();
    rest.erase(rest.begin());
  }
}
