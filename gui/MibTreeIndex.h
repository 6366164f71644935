// CMibTreeIndex: the MIB browser's view of the SMI tree. The visible objects
// in OID order, each with its parent, its row among its parent's children,
// its children and its image, plus a search over their names and OIDs.
//
// The index holds pointers into the tree, never copies of its objects. It is
// built once per load with the tree's lock held, and must be cleared before
// the tree changes again (a load start, Unload). Plain C++: no Qt.
#pragma once

#include "smi/SmiTree.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Images of the tree items: one per kind of definition, then plain nodes by
// base type.
enum MibImage : uint8_t {
  MIB_IMAGE_MODULE_IDENTITY,
  MIB_IMAGE_OBJECT_IDENTITY,
  MIB_IMAGE_OBJECT_TYPE,
  MIB_IMAGE_NOTIFICATION_TYPE,
  MIB_IMAGE_TRAP_TYPE,
  MIB_IMAGE_TEXTUAL_CONVENTION,
  MIB_IMAGE_OBJECT_GROUP,
  MIB_IMAGE_NOTIFICATION_GROUP,
  MIB_IMAGE_MODULE_COMPLIANCE,
  MIB_IMAGE_AGENT_CAPABILITIES,
  MIB_IMAGE_OBJECT_IDENTIFIER,
  MIB_IMAGE_INTEGER,
  MIB_IMAGE_OCTET_STRING,
  MIB_IMAGE_BITS,
  MIB_IMAGE_SEQUENCE,
  MIB_IMAGE_UNKNOWN,
  MIB_IMAGE_COUNT,
};

// The image of an object (logs the kinds and base types it has none for).
MibImage MibImageOf(const CSmiObject* object);

class CMibTreeIndex {
 public:
  // 1-based; 0 is the invisible root above the top-level nodes.
  using Node = uint32_t;
  static constexpr Node kRoot = 0;

  // Reads the tree: the caller holds its lock.
  void Build(const CSmiTree& tree);
  void Clear();

  bool Empty() const { return m_objects.size() <= 1; }
  size_t NodeCount() const { return m_objects.empty() ? 0 : m_objects.size() - 1; }
  bool IsNode(Node node) const { return node != kRoot && node < m_objects.size(); }

  const CSmiObject* Object(Node node) const { return IsNode(node) ? m_objects[node] : nullptr; }
  Node Parent(Node node) const { return IsNode(node) ? m_parent[node] : kRoot; }
  int Row(Node node) const { return IsNode(node) ? static_cast<int>(m_row[node]) : 0; }
  int ChildCount(Node node) const;
  Node Child(Node node, int row) const;
  MibImage Image(Node node) const { return IsNode(node) ? static_cast<MibImage>(m_image[node]) : MIB_IMAGE_UNKNOWN; }

  // The node of an object, of an OID; kRoot when none is shown.
  Node Find(const CSmiObject* object) const;
  Node FindOid(const SmiOid& oid) const;

  // Matches of a search text, best first, at most limit:
  //   "1.3.6.1.2.1.2.2.1.2"  that OID, else its nearest shown ancestor,
  //                          then the nodes under it;
  //   "IF-MIB::ifDescr"      the name in that module (case-insensitive);
  //   "descr"                whole names, then names that begin with the
  //                          text, then names that hold it (case-insensitive).
  std::vector<Node> Search(const std::string& text, size_t limit) const;

  // Bytes the index holds (benchmarks).
  size_t MemoryBytes() const;

 private:
  uint32_t _locate_entry(size_t position, uint32_t from) const;
  std::string_view _entry_name(uint32_t entry) const;
  uint32_t _module_id(const CSmiSharedText& module);
  // MibImageOf, worked out (and logged) once per kind and macro in a build.
  MibImage _image_of(const CSmiObject& object);
  void _search_oid(const std::string& text, size_t limit, std::vector<Node>& out) const;
  void _search_name(const std::string& name, const std::string& module, size_t limit, std::vector<Node>& out) const;

  // Indexed by node; slot 0 is the root.
  std::vector<const CSmiObject*> m_objects;
  std::vector<uint32_t> m_parent;
  std::vector<uint32_t> m_row;
  std::vector<uint8_t> m_image;
  // Children of node n: m_child_list[m_child_begin[n] .. m_child_begin[n + 1]).
  std::vector<uint32_t> m_child_begin;
  std::vector<uint32_t> m_child_list;
  // One name entry per declaration: the lower-case names, each between
  // line feeds ("\nsysdescr\nsysobjectid\n"); entry e starts at
  // m_entry_begin[e] and names node m_entry_node[e] of module m_entry_module[e].
  std::string m_names;
  std::vector<uint32_t> m_entry_begin;
  std::vector<uint32_t> m_entry_node;
  std::vector<uint32_t> m_entry_module;
  std::vector<std::string> m_modules;  // lower-case module names by id
  // Entries of module m: m_module_entries[m_module_begin[m] .. m_module_begin[m + 1]).
  std::vector<uint32_t> m_module_begin;
  std::vector<uint32_t> m_module_entries;
  // Build only: module ids by shared text, then by name.
  std::unordered_map<const wchar_t*, uint32_t> m_module_by_text;
  std::unordered_map<std::wstring, uint32_t> m_module_by_name;
  std::unordered_map<std::wstring, MibImage> m_image_by_kind;
};
