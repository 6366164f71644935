#include "gui/MibTreeIndex.h"

#include "quillog/Quillog.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace {

struct KindImage {
  const wchar_t* keyword;
  MibImage image;
};

constexpr KindImage kMacroImages[] = {
    {L"MODULE-IDENTITY", MIB_IMAGE_MODULE_IDENTITY},
    {L"OBJECT-IDENTITY", MIB_IMAGE_OBJECT_IDENTITY},
    {L"OBJECT-TYPE", MIB_IMAGE_OBJECT_TYPE},
    {L"NOTIFICATION-TYPE", MIB_IMAGE_NOTIFICATION_TYPE},
    {L"TRAP-TYPE", MIB_IMAGE_TRAP_TYPE},
    {L"TEXTUAL-CONVENTION", MIB_IMAGE_TEXTUAL_CONVENTION},
    {L"OBJECT-GROUP", MIB_IMAGE_OBJECT_GROUP},
    {L"NOTIFICATION-GROUP", MIB_IMAGE_NOTIFICATION_GROUP},
    {L"MODULE-COMPLIANCE", MIB_IMAGE_MODULE_COMPLIANCE},
    {L"AGENT-CAPABILITIES", MIB_IMAGE_AGENT_CAPABILITIES},
};

MibImage BaseTypeImage(uint32_t kind) {
  switch (kind) {
    case SMI_TYPE_OBJECT_IDENTIFIER: return MIB_IMAGE_OBJECT_IDENTIFIER;
    case SMI_TYPE_INTEGER:
    case SMI_TYPE_ENUMERATED: return MIB_IMAGE_INTEGER;
    case SMI_TYPE_OCTET_STRING: return MIB_IMAGE_OCTET_STRING;
    case SMI_TYPE_BITS:
    case SMI_TYPE_BIT_STRING: return MIB_IMAGE_BITS;
    case SMI_TYPE_SEQUENCE:
    case SMI_TYPE_SEQUENCE_OF: return MIB_IMAGE_SEQUENCE;
    default: return MIB_IMAGE_COUNT;
  }
}

void AppendLower(std::string& out, std::string_view text) {
  for (char c : text) out.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
}

std::string Lower(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendLower(out, text);
  return out;
}

// For OIDs of records (CSmiArcs) and parsed ones (SmiOid) alike.
template <typename A, typename B>
bool OidLess(const A& a, const B& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end());
}

template <typename A>
bool StartsWith(const A& oid, const SmiOid& prefix) {
  return oid.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), oid.begin());
}

// "1.3.6.1" or ".1.3.6.1"; false when a piece is not a decimal arc.
bool ParseOid(const std::string& text, SmiOid& oid) {
  size_t start = text.size() > 0 && text[0] == '.' ? 1 : 0;
  while (start <= text.size()) {
    size_t dot = text.find('.', start);
    if (dot == std::string::npos) dot = text.size();
    const size_t length = dot - start;
    if (length == 0 || length > 10) return false;
    int64_t arc = 0;
    for (size_t i = start; i < dot; ++i) arc = arc * 10 + (text[i] - '0');
    if (arc > UINT32_MAX) return false;
    oid.push_back(arc);
    start = dot + 1;
  }
  return !oid.empty();
}

// memmem: far faster than a first-character scan when that character
// (a line feed, a common letter) is everywhere.
size_t FindText(std::string_view text, const std::string& pattern, size_t from) {
  if (from >= text.size()) return std::string_view::npos;
  const void* hit = ::memmem(text.data() + from, text.size() - from, pattern.data(), pattern.size());
  return hit == nullptr ? std::string_view::npos : static_cast<size_t>(static_cast<const char*>(hit) - text.data());
}

bool IsOidText(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789.") == std::string::npos &&
         text.find_first_of("0123456789") != std::string::npos;
}

}  // namespace

MibImage MibImageOf(const CSmiObject* object) {
  if (object == nullptr) {
    QuillogW(QUILLOG_ERROR, 0, L"pData is NULL in _get_icon()");
    return MIB_IMAGE_UNKNOWN;
  }
  const CSmiType& type = object->type;
  if (type.kind == SMI_TYPE_MACRO) {
    for (const KindImage& entry : kMacroImages) {
      if (type.name == entry.keyword) return entry.image;
    }
    QuillogW(QUILLOG_WARNING, 0, L"Unknown type, unknown icon");
    return MIB_IMAGE_UNKNOWN;
  }
  const MibImage image = BaseTypeImage(type.kind);
  if (image != MIB_IMAGE_COUNT) return image;
  QuillogW(QUILLOG_WARNING, 0, L"Base type is unknown in _get_icon()");
  return MIB_IMAGE_UNKNOWN;
}

// ---------------------------------------------------------------- build

void CMibTreeIndex::Clear() {
  m_objects.clear();
  m_parent.clear();
  m_row.clear();
  m_image.clear();
  m_child_begin.clear();
  m_child_list.clear();
  m_names.clear();
  m_entry_begin.clear();
  m_entry_node.clear();
  m_entry_module.clear();
  m_modules.clear();
  m_module_by_text.clear();
  m_module_by_name.clear();
  m_image_by_kind.clear();
  m_module_begin.clear();
  m_module_entries.clear();
}

std::string_view CMibTreeIndex::_entry_name(uint32_t entry) const {
  const size_t begin = m_entry_begin[entry];
  const size_t end = entry + 1 < m_entry_begin.size() ? m_entry_begin[entry + 1] - 1 : m_names.size() - 1;
  return std::string_view(m_names).substr(begin, end - begin);
}

MibImage CMibTreeIndex::_image_of(const CSmiObject& object) {
  const CSmiType& type = object.type;
  if (type.kind == SMI_TYPE_MACRO) {
    for (const KindImage& entry : kMacroImages) {
      if (type.name == entry.keyword) return entry.image;
    }
  } else if (const MibImage image = BaseTypeImage(type.kind); image != MIB_IMAGE_COUNT) {
    return image;
  }
  // Without an image: logged once a build for each kind and macro.
  std::wstring key = std::to_wstring(type.kind) + L":" + type.name.str();
  auto it = m_image_by_kind.find(key);
  if (it == m_image_by_kind.end()) it = m_image_by_kind.emplace(key, MibImageOf(&object)).first;
  return it->second;
}

uint32_t CMibTreeIndex::_module_id(const CSmiSharedText& module) {
  if (auto it = m_module_by_text.find(module.c_str()); it != m_module_by_text.end()) return it->second;
  auto [named, added] = m_module_by_name.try_emplace(module.str(), static_cast<uint32_t>(m_modules.size()));
  if (added) {
    std::string lower;
    for (wchar_t c : module.str())
      lower.push_back(c >= L'A' && c <= L'Z' ? static_cast<char>(c - L'A' + L'a') : static_cast<char>(c));
    m_modules.push_back(std::move(lower));
  }
  m_module_by_text.emplace(module.c_str(), named->second);
  return named->second;
}

void CMibTreeIndex::Build(const CSmiTree& tree) {
  Clear();
  m_objects.push_back(nullptr);
  m_parent.push_back(kRoot);
  m_image.push_back(MIB_IMAGE_UNKNOWN);
  m_names.push_back('\n');

  // The object list is in OID order, so a node's parent is on the path
  // from the top to the node before it; anything else is looked up.
  std::vector<Node> path;
  const size_t count = tree.ObjectCount();
  for (size_t i = 0; i < count; ++i) {
    const CSmiObject& object = tree.ObjectAt(i);
    if (!object.visible) continue;
    const Node node = static_cast<Node>(m_objects.size());
    Node parent = kRoot;
    if (object.parent != nullptr) {
      auto on_path = std::find_if(path.rbegin(), path.rend(), [&](Node n) { return m_objects[n] == object.parent; });
      if (on_path != path.rend()) {
        path.erase(on_path.base(), path.end());
        parent = path.back();
      } else {
        parent = Find(object.parent);
      }
    }
    m_objects.push_back(&object);
    m_parent.push_back(parent);
    m_image.push_back(_image_of(object));
    for (const CSmiDeclaration& declaration : object.declarations) {
      if (declaration.name.empty()) continue;
      m_entry_begin.push_back(static_cast<uint32_t>(m_names.size()));
      m_entry_node.push_back(node);
      m_entry_module.push_back(_module_id(declaration.ModuleName()));
      AppendLower(m_names, declaration.name.Utf8());
      m_names.push_back('\n');
    }
    path.push_back(node);
  }

  m_module_by_text = {};
  m_module_by_name = {};
  m_image_by_kind = {};
  // Entries by module, for MODULE::name.
  m_module_begin.assign(m_modules.size() + 1, 0);
  for (uint32_t id : m_entry_module) ++m_module_begin[id + 1];
  for (size_t m = 1; m < m_module_begin.size(); ++m) m_module_begin[m] += m_module_begin[m - 1];
  m_module_entries.resize(m_entry_module.size());
  std::vector<uint32_t> slot(m_module_begin.begin(), m_module_begin.end() - 1);
  for (uint32_t e = 0; e < m_entry_module.size(); ++e) m_module_entries[slot[m_entry_module[e]]++] = e;

  // Children side by side, in OID order, counted first.
  const size_t slots = m_objects.size();
  m_child_begin.assign(slots + 1, 0);
  for (size_t n = 1; n < slots; ++n) ++m_child_begin[m_parent[n] + 1];
  for (size_t n = 1; n <= slots; ++n) m_child_begin[n] += m_child_begin[n - 1];
  m_child_list.resize(slots - 1);
  m_row.assign(slots, 0);
  std::vector<uint32_t> next(m_child_begin.begin(), m_child_begin.end() - 1);
  for (size_t n = 1; n < slots; ++n) {
    const uint32_t parent = m_parent[n];
    m_row[n] = next[parent] - m_child_begin[parent];
    m_child_list[next[parent]++] = static_cast<uint32_t>(n);
  }
}

int CMibTreeIndex::ChildCount(Node node) const {
  if (node >= m_objects.size() || m_child_begin.empty()) return 0;
  return static_cast<int>(m_child_begin[node + 1] - m_child_begin[node]);
}

CMibTreeIndex::Node CMibTreeIndex::Child(Node node, int row) const {
  if (row < 0 || row >= ChildCount(node)) return kRoot;
  return m_child_list[m_child_begin[node] + static_cast<uint32_t>(row)];
}

CMibTreeIndex::Node CMibTreeIndex::FindOid(const SmiOid& oid) const {
  if (Empty()) return kRoot;
  auto it = std::lower_bound(m_objects.begin() + 1, m_objects.end(), oid,
                             [](const CSmiObject* o, const SmiOid& value) { return OidLess(o->oid, value); });
  if (it == m_objects.end() || (*it)->oid != oid) return kRoot;
  return static_cast<Node>(it - m_objects.begin());
}

CMibTreeIndex::Node CMibTreeIndex::Find(const CSmiObject* object) const {
  if (object == nullptr) return kRoot;
  for (Node n = FindOid(object->oid.Vector()); IsNode(n) && m_objects[n]->oid == object->oid; ++n) {
    if (m_objects[n] == object) return n;
  }
  return kRoot;
}

size_t CMibTreeIndex::MemoryBytes() const {
  return m_objects.capacity() * sizeof(const CSmiObject*) +
         (m_parent.capacity() + m_row.capacity() + m_child_begin.capacity() + m_child_list.capacity() +
          m_entry_begin.capacity() + m_entry_node.capacity() + m_entry_module.capacity() + m_module_begin.capacity() +
          m_module_entries.capacity()) *
             sizeof(uint32_t) +
         m_image.capacity() + m_names.capacity();
}

// ---------------------------------------------------------------- search

// The entry holding a position of m_names, looked for from entry `from` on
// (positions only grow during a search): a few steps, else a binary search.
uint32_t CMibTreeIndex::_locate_entry(size_t position, uint32_t from) const {
  const uint32_t count = static_cast<uint32_t>(m_entry_begin.size());
  for (int step = 0; step < 8 && from + 1 < count; ++step, ++from) {
    if (m_entry_begin[from + 1] > position) return from;
  }
  auto it = std::upper_bound(m_entry_begin.begin() + from, m_entry_begin.end(), static_cast<uint32_t>(position));
  return static_cast<uint32_t>(it - m_entry_begin.begin() - 1);
}

std::vector<CMibTreeIndex::Node> CMibTreeIndex::Search(const std::string& text, size_t limit) const {
  std::vector<Node> out;
  std::string query(text);
  query.erase(0, query.find_first_not_of(" \t"));
  query.erase(query.find_last_not_of(" \t") + 1);
  if (query.empty() || Empty() || limit == 0 || query.find('\n') != std::string::npos) return out;
  if (IsOidText(query)) {
    _search_oid(query, limit, out);
    return out;
  }
  const size_t colons = query.find("::");
  if (colons != std::string::npos) {
    const std::string name = query.substr(colons + 2);
    if (!name.empty()) _search_name(Lower(name), Lower(query.substr(0, colons)), limit, out);
    return out;
  }
  _search_name(Lower(query), std::string(), limit, out);
  return out;
}

void CMibTreeIndex::_search_oid(const std::string& text, size_t limit, std::vector<Node>& out) const {
  SmiOid oid;
  if (!ParseOid(text, oid)) return;
  Node exact = FindOid(oid);
  if (exact != kRoot) {
    out.push_back(exact);
  } else {
    for (SmiOid prefix = oid; prefix.size() > 1 && out.empty();) {
      prefix.pop_back();
      if (Node up = FindOid(prefix); up != kRoot) out.push_back(up);
    }
  }
  // Then what lies under the OID, in order.
  auto it = std::upper_bound(m_objects.begin() + 1, m_objects.end(), oid,
                             [](const SmiOid& value, const CSmiObject* o) { return OidLess(value, o->oid); });
  for (; it != m_objects.end() && out.size() < limit && StartsWith((*it)->oid, oid); ++it) {
    out.push_back(static_cast<Node>(it - m_objects.begin()));
  }
}

void CMibTreeIndex::_search_name(const std::string& name, const std::string& module, size_t limit,
                                 std::vector<Node>& out) const {
  if (m_entry_begin.empty()) return;
  if (!module.empty()) {
    // Only the entries of that module, in the same three ranks.
    for (int rank = 0; rank < 3 && out.size() < limit; ++rank) {
      for (size_t id = 0; id < m_modules.size() && out.size() < limit; ++id) {
        if (m_modules[id] != module) continue;
        for (uint32_t i = m_module_begin[id]; i < m_module_begin[id + 1] && out.size() < limit; ++i) {
          const std::string_view entry = _entry_name(m_module_entries[i]);
          const bool whole = entry == name;
          const bool begins = !whole && entry.substr(0, name.size()) == name;
          const bool holds = !whole && !begins && entry.find(name) != std::string_view::npos;
          if (!(rank == 0 ? whole : rank == 1 ? begins : holds)) continue;
          const Node node = m_entry_node[m_module_entries[i]];
          if (std::find(out.begin(), out.end(), node) == out.end()) out.push_back(node);
        }
      }
    }
    return;
  }
  // Whole names, then names that begin with the text, then the others: one
  // pass each over the names, each pass ending once the list is full.
  const std::string_view all(m_names);
  const std::string patterns[] = {"\n" + name + "\n", "\n" + name, name};
  const size_t skip[] = {1, 1, 0};  // the pattern's offset into the entry
  for (int pass = 0; pass < 3 && out.size() < limit; ++pass) {
    const std::string& pattern = patterns[pass];
    uint32_t entry = 0;
    size_t position = 0;
    while (out.size() < limit && (position = FindText(all, pattern, position)) != std::string_view::npos) {
      entry = _locate_entry(position + skip[pass], entry);
      position = entry + 1 < m_entry_begin.size() ? m_entry_begin[entry + 1] - 1 : all.size();
      const Node node = m_entry_node[entry];
      if (std::find(out.begin(), out.end(), node) == out.end()) out.push_back(node);
    }
  }
}
