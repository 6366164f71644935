// The SMI tree: every type and value assignment read from the loaded MIB
// modules, the modules registered so far and the symbols each file imports.
//
// The store keeps flat lists; the hierarchy is the OID order of the object
// list and each object's parent link. Lookups are backed by hash indexes
// (by OID, by name, by module key, by imported symbol) but give exactly the
// results of a walk over the lists in order: first match in list order.
//
// Every call must be made with the tree's lock held (CSmiTreeProtected).
// Pointers to objects stay valid until Reset (the objects live in chunks
// that never move and are only re-ordered by SortByOid).
//
// Loading a folder of modules and walking the tree (for example to build an
// OID name table):
//
//   SetMibSearchFolders({L"/path/to/mibs"});      // smi/MibFolders.h
//   CSmiTree tree;                                // or SmiTree(), the process tree
//   CSmiLoader loader(tree);                      // smi/SmiLoader.h
//   loader.SetKeepGoing(true);                    // skip modules that fail
//   loader.Load(keys, true, 1);                   // keys: CSmiModuleKey::FromString(name)
//   CSmiTreeProtected lock(tree);
//   tree.ForEachObject([](const CSmiObject& o) {
//     const CSmiDeclaration& d = o.declarations.front();
//     // o.OidText() ".1.3.6.1", SmiOidDotted(o.oid) "1.3.6.1", d.name.Wide(),
//     // d.ModuleName(), d.FilePath(), d.line (0 for built-in entries).
//   });
//
// The object list is in OID order after a load (SortByOid); objects whose
// OID stayed incomplete (IsComplete() false) are reported by the load and
// kept with their partial OID.
#pragma once

#include "kit/ZubCriticalSection.h"
#include "smi/SmiArcs.h"
#include "smi/SmiCompactList.h"
#include "smi/SmiNameIndex.h"
#include "smi/SmiText.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

// OID arcs. Decimal arcs from 0 to 4294967295 are kept exactly (a negative
// number in a value is kept as written); the parser warns about anything
// outside the 32-bit range instead of wrapping it.
using SmiOid = std::vector<int64_t>;

// ".1.3.6.1" (each arc preceded by a dot; empty for an empty OID).
std::wstring SmiOidText(const SmiOid& oid);
std::wstring SmiOidText(const CSmiArcs& oid);
// "1.3.6.1" (no leading dot).
std::wstring SmiOidDotted(const SmiOid& oid);
std::wstring SmiOidDotted(const CSmiArcs& oid);

enum SmiTypeKind : uint32_t {
  SMI_TYPE_NONE = 0,
  SMI_TYPE_NULL = 1,
  SMI_TYPE_BOOLEAN = 2,
  SMI_TYPE_REAL = 3,
  SMI_TYPE_INTEGER = 4,
  SMI_TYPE_OBJECT_IDENTIFIER = 5,
  SMI_TYPE_OCTET_STRING = 6,
  SMI_TYPE_BIT_STRING = 7,
  SMI_TYPE_BITS = 8,
  SMI_TYPE_SEQUENCE = 9,
  SMI_TYPE_SEQUENCE_OF = 10,
  SMI_TYPE_SET = 11,
  SMI_TYPE_SET_OF = 12,
  SMI_TYPE_CHOICE = 13,
  SMI_TYPE_ENUMERATED = 14,
  SMI_TYPE_SELECTION = 15,
  SMI_TYPE_ANY = 16,
  SMI_TYPE_REFERENCE = 17,
  SMI_TYPE_MACRO = 18,
};

// Status codes: "current" 1 ... "optional" 5; 0 when not set.
uint32_t SmiStatusCode(const std::wstring& text);  // 0 for an unknown text
const wchar_t* SmiStatusText(uint32_t code);       // "Unknown status" outside 1..5
// Access codes: "not-accessible" 1 ... "read-create" 7; 0 when not set.
uint32_t SmiAccessCode(const std::wstring& text);  // 0 for an unknown text
const wchar_t* SmiAccessText(uint32_t code);       // "Unknown access" outside 1..7

// An immutable text shared by its copies: a module's name and file path
// are held once for all the declarations and imports of the module. One
// pointer to a counted block (a shared_ptr takes two).
class CSmiSharedText {
 public:
  CSmiSharedText() = default;
  CSmiSharedText(const std::wstring& text) : m_block(text.empty() ? nullptr : new Block{{1}, text}) {}
  CSmiSharedText(const wchar_t* text) : CSmiSharedText(std::wstring(text)) {}
  CSmiSharedText(const CSmiSharedText& other) noexcept : m_block(other.m_block) { Retain(); }
  CSmiSharedText(CSmiSharedText&& other) noexcept : m_block(other.m_block) { other.m_block = nullptr; }
  CSmiSharedText& operator=(const CSmiSharedText& other) noexcept {
    CSmiSharedText copy(other);
    std::swap(m_block, copy.m_block);
    return *this;
  }
  CSmiSharedText& operator=(CSmiSharedText&& other) noexcept {
    std::swap(m_block, other.m_block);
    return *this;
  }
  ~CSmiSharedText() { Release(); }

  const std::wstring& str() const { return m_block ? m_block->text : Empty(); }
  operator const std::wstring&() const { return str(); }
  bool empty() const { return !m_block; }
  size_t size() const { return str().size(); }
  const wchar_t* c_str() const { return str().c_str(); }

  friend bool operator==(const CSmiSharedText& a, const CSmiSharedText& b) {
    return a.m_block == b.m_block || a.str() == b.str();
  }
  friend bool operator==(const CSmiSharedText& a, const std::wstring& b) { return a.str() == b; }
  friend bool operator==(const CSmiSharedText& a, const wchar_t* b) { return a.str() == b; }

 private:
  struct Block {
    std::atomic<uint32_t> copies;
    const std::wstring text;
  };
  void Retain() const {
    if (m_block) m_block->copies.fetch_add(1, std::memory_order_relaxed);
  }
  void Release() {
    if (m_block && m_block->copies.fetch_sub(1, std::memory_order_acq_rel) == 1) delete m_block;
  }
  static const std::wstring& Empty();
  Block* m_block = nullptr;
};

struct CSmiModuleKey;

// A module's name and file path, held once in the process for every record
// that names them: four bytes rather than two texts. Entries are never
// removed, so a ref stays readable after the tree that gave it is reset.
// Equal refs: equal texts (and back).
class CSmiModuleRef {
 public:
  CSmiModuleRef() = default;  // no module: empty texts
  explicit CSmiModuleRef(const CSmiModuleKey& key);
  // The ref of a key held already; false (and *ref unchanged) otherwise.
  static bool Find(const CSmiModuleKey& key, CSmiModuleRef* ref);

  const CSmiSharedText& ModuleName() const;
  const CSmiSharedText& FilePath() const;
  bool empty() const { return m_index == 0; }
  friend bool operator==(CSmiModuleRef a, CSmiModuleRef b) { return a.m_index == b.m_index; }

 private:
  uint32_t m_index = 0;
};

// Where a name was declared. Line 0 for the built-in entries.
struct CSmiDeclaration {
  CSmiName name;
  CSmiModuleRef module;
  int32_t line = 0;

  CSmiDeclaration() = default;
  CSmiDeclaration(CSmiName declared, CSmiModuleRef in, int32_t at) : name(std::move(declared)), module(in), line(at) {}
  CSmiDeclaration(CSmiName declared, const std::wstring& module_name, const std::wstring& file_path, int32_t at);

  const CSmiSharedText& ModuleName() const { return module.ModuleName(); }
  const CSmiSharedText& FilePath() const { return module.FilePath(); }
};

// The declarations of one object, in order. Nearly every object has one:
// it is kept in place, and only a second one moves them all to a block of
// their own (a vector would take a block for the first).
class CSmiDeclarations {
 public:
  CSmiDeclarations() noexcept {}
  CSmiDeclarations(std::initializer_list<CSmiDeclaration> list) {
    for (const CSmiDeclaration& d : list) push_back(d);
  }
  CSmiDeclarations(const CSmiDeclarations& other) {
    for (const CSmiDeclaration& d : other) push_back(d);
  }
  CSmiDeclarations(CSmiDeclarations&& other) noexcept { TakeFrom(other); }
  CSmiDeclarations& operator=(const CSmiDeclarations& other) {
    if (this == &other) return *this;
    CSmiDeclarations copy(other);
    return *this = std::move(copy);
  }
  CSmiDeclarations& operator=(CSmiDeclarations&& other) noexcept {
    if (this == &other) return *this;
    clear();
    TakeFrom(other);
    return *this;
  }
  ~CSmiDeclarations() { clear(); }

  size_t size() const { return m_size; }
  bool empty() const { return m_size == 0; }
  const CSmiDeclaration* begin() const { return Data(); }
  const CSmiDeclaration* end() const { return Data() + m_size; }
  CSmiDeclaration* begin() { return Data(); }
  CSmiDeclaration* end() { return Data() + m_size; }
  const CSmiDeclaration& front() const { return *Data(); }
  CSmiDeclaration& front() { return *Data(); }
  const CSmiDeclaration& operator[](size_t i) const { return Data()[i]; }
  CSmiDeclaration& operator[](size_t i) { return Data()[i]; }

  void push_back(CSmiDeclaration declaration);
  void clear() noexcept;
  void shrink_to_fit();

 private:
  bool InPlace() const { return m_capacity == 1; }
  CSmiDeclaration* Data() { return InPlace() ? &m_one : m_many.get(); }
  const CSmiDeclaration* Data() const { return InPlace() ? &m_one : m_many.get(); }
  void MoveToBlock(uint32_t capacity);
  void DestroyStorage() noexcept;
  void TakeFrom(CSmiDeclarations& other) noexcept;  // *this is empty

  union {
    CSmiDeclaration m_one;                      // alive when in place and m_size is 1
    std::unique_ptr<CSmiDeclaration[]> m_many;  // alive when not in place
  };
  uint32_t m_size = 0;
  uint32_t m_capacity = 1;  // 1: in place
};

// A module: its name and its file. Equal when both are equal.
struct CSmiModuleKey {
  std::wstring module_name;
  std::wstring file_path;

  // A text holding '/', '\\', ':' or '.' is a file path (the module name is
  // its base name up to the last dot); anything else is a module name whose
  // file is located in the MIB folders (empty path when none holds it).
  static CSmiModuleKey FromString(const std::wstring& text);
  // The key of the module kept in the file at path.
  static CSmiModuleKey FromPath(const std::wstring& path);

  bool operator==(const CSmiModuleKey& other) const = default;
};

struct CSmiModuleKeyHash {
  size_t operator()(const CSmiModuleKey& key) const;
};

// A type's name (a referenced type or a macro keyword), held once in the
// process for every type that names it: four bytes rather than a text.
// Entries are never removed. Reads as a wide text.
class CSmiTypeName {
 public:
  CSmiTypeName() = default;
  CSmiTypeName(std::wstring_view text);
  CSmiTypeName(const std::wstring& text) : CSmiTypeName(std::wstring_view(text)) {}
  CSmiTypeName(const wchar_t* text) : CSmiTypeName(std::wstring_view(text)) {}

  const std::wstring& str() const;
  operator const std::wstring&() const { return str(); }
  bool empty() const { return m_index == 0; }
  size_t size() const { return str().size(); }
  const wchar_t* c_str() const { return str().c_str(); }

  friend bool operator==(CSmiTypeName a, CSmiTypeName b) { return a.m_index == b.m_index; }
  friend bool operator==(CSmiTypeName a, const std::wstring& b) { return a.str() == b; }
  friend bool operator==(CSmiTypeName a, const wchar_t* b) { return a.str() == b; }

 private:
  uint32_t m_index = 0;
};

struct CSmiType {
  CSmiTypeName name;  // referenced type name, macro keyword, or empty
  uint32_t kind = SMI_TYPE_NONE;
  CSmiName constraint;               // e.g. "SIZE 0..255", "up(1), down(2)"
  CSmiCompactList<CSmiType> nested;  // only on an assignment's own type, flat

  // "INTEGER", "OCTET STRING", the name for kinds 17 and 18, "Unknown type"
  // otherwise; with_constraint adds " (constraint)" when there is one.
  std::wstring DisplayText(bool with_constraint) const;
};

// Tens of thousands are kept per load: the small fields share one word.
struct CSmiObject {
  CSmiArcs oid;
  CSmiType type;
  CSmiText description;
  CSmiObject* parent = nullptr;
  CSmiDeclarations declarations;
  // Where the arcs of the unknown OID name go (the tree keeps the name);
  // -1: OID complete.
  int32_t resolve_position = -1;
  uint8_t status = 0;  // SmiStatusCode
  uint8_t access = 0;  // SmiAccessCode
  bool visible = false;

  bool IsComplete() const { return resolve_position == -1; }
  // Name of the first declaration (empty when there is none).
  std::wstring Name() const;
  std::wstring OidText() const { return SmiOidText(oid); }
};

struct CSmiImport {
  CSmiSharedText module_name;  // importing module
  CSmiSharedText file_path;    // importing file
  CSmiName symbol;
  CSmiSharedText source_module_name;
  CSmiSharedText source_file_path;
};

// A module key with its texts shared, for the records of one module.
struct CSmiSharedKey {
  CSmiSharedText module_name;
  CSmiSharedText file_path;
  CSmiModuleRef ref;

  CSmiSharedKey() = default;
  explicit CSmiSharedKey(CSmiModuleRef held) : module_name(held.ModuleName()), file_path(held.FilePath()), ref(held) {}
  explicit CSmiSharedKey(const CSmiModuleKey& key) : CSmiSharedKey(CSmiModuleRef(key)) {}
};

class CSmiTree {
 public:
  CSmiTree();
  CSmiTree(const CSmiTree&) = delete;
  CSmiTree& operator=(const CSmiTree&) = delete;

  // The recursive lock "CSmiTreeProtected critical section"; take it
  // through CSmiTreeProtected.
  CZubCriticalSection& Lock() { return m_lock; }

  bool IsInitialised() const { return m_initialised; }
  void Reset();
  void ClearLinks();

  bool RegisterModule(const std::wstring& module_name_or_path);
  bool RegisterModule(const CSmiModuleKey& key);
  bool FindModule(const CSmiModuleKey& key) const;

  void AddType(CSmiObject record);
  // pending_name: the OID component name not known when the record was
  // read (its arcs go at resolve_position); empty when the OID is complete.
  void AddObject(CSmiObject record, CSmiName pending_name = CSmiName());

  CSmiObject* FindObjectByName(const std::wstring& name, const CSmiModuleKey& key) const;
  // The same; texts shared with the declarations compare at once.
  CSmiObject* FindObjectByName(const std::wstring& name, const CSmiSharedKey& key) const;
  CSmiObject* FindObjectByOid(const SmiOid& oid) const;

  void AddImport(const CSmiModuleKey& importer, const std::wstring& symbol);
  void AddImport(const CSmiSharedKey& importer, const std::wstring& symbol);
  void FinalizeImports(const std::wstring& module_name);
  void FinalizeImports(const CSmiModuleKey& source);

  bool TryResolve(CSmiObject& object);
  void Resolve();
  void AddMissingParents();
  void SortByOid();
  void LinkParents();
  void Finish();  // Resolve, AddMissingParents, SortByOid, LinkParents

  static void MarkVisible(CSmiObject& object);
  void MarkAllVisible();
  // Marks (with their ancestors) the objects declared in one of the modules.
  void MarkVisibleForModules(const std::vector<CSmiModuleKey>& modules);

  // The first type (in list order) reached from type by following named
  // references; stops on a reference cycle and returns the type reached.
  const CSmiType& FindTypeBase(const CSmiType& type) const;

  void Dump(uint32_t feature) const;
  void DumpImports() const;

  // Read access, in list order.
  size_t ObjectCount() const { return m_objects.size(); }
  const CSmiObject& ObjectAt(size_t i) const { return *m_objects[i]; }
  CSmiObject& ObjectAt(size_t i) { return *m_objects[i]; }
  size_t TypeCount() const { return m_types.size(); }
  const CSmiObject& TypeAt(size_t i) const { return *m_types[i]; }
  const std::vector<CSmiModuleKey>& Modules() const { return m_modules; }
  const std::vector<CSmiImport>& Imports() const { return m_imports; }
  void ForEachObject(const std::function<void(const CSmiObject&)>& fn) const;

 private:
  // The OID index: an open-addressing table of object positions with the
  // low 32 bits of their OID's hash; lookups take any OID prefix without
  // copying it.
  struct OidView {
    const CSmiArcs* arcs;
    size_t size;
  };
  struct OidSlot {
    uint32_t hash;
    uint32_t position;  // kNoPosition: empty
  };
  static constexpr uint32_t kNoPosition = UINT32_MAX;
  // Puts slot in the first empty place of its probe run (slots has one).
  static void PlaceSlot(std::vector<OidSlot>& slots, OidSlot slot);
  static uint32_t HashOid(OidView oid);
  void ClearOidIndex(size_t capacity);
  void GrowOidIndex();
  OidView ViewOf(uint32_t position) const { return ViewOf(m_objects[position]->oid); }
  static OidView ViewOf(const CSmiArcs& oid) { return OidView{&oid, oid.size()}; }
  int64_t FindOidPosition(OidView oid) const;
  int64_t FindOidPosition(OidView oid, uint32_t hash) const;
  static uint32_t HashImport(std::wstring_view module_name, std::wstring_view file_path, std::string_view symbol);
  void IndexImport(uint32_t position);
  // Calls fn with each import of symbol (UTF-8) by the module, in order,
  // until it returns true.
  template <typename Fn>
  void ForEachImportOf(const CSmiSharedText& module_name, const CSmiSharedText& file_path, std::string_view symbol,
                       Fn fn) const;

  void IndexObjectOid(uint32_t position);
  void IndexObjectOid(uint32_t position, uint32_t hash);  // position's OID is complete
  void IndexObjectName(uint32_t position, const CSmiName& name);
  void RemapObjectIndexes(const std::vector<uint32_t>& new_position);
  void ApplyNameRemap() const;
  bool TryResolve(CSmiObject& object, std::string_view pending_name);
  bool DeclarationMatches(const CSmiDeclaration& d, std::string_view name, const CSmiSharedText& module_name,
                          const CSmiSharedText& file_path) const;
  // name: UTF-8.
  CSmiObject* FindObjectByUtf8(std::string_view name, const CSmiSharedText& module_name,
                               const CSmiSharedText& file_path) const;
  CSmiObject* FindObjectByName(const std::wstring& name, const CSmiSharedText& module_name,
                               const CSmiSharedText& file_path) const;

  CZubCriticalSection m_lock{L"CSmiTreeProtected critical section"};
  bool m_initialised = false;
  // Records live in chunks that never move: one allocation per chunk
  // rather than one per record.
  class RecordStore {
   public:
    CSmiObject* Add(CSmiObject&& record);
    void Clear();

   private:
    static constexpr size_t kChunk = 256;
    std::vector<std::unique_ptr<CSmiObject[]>> m_chunks;
    size_t m_used = kChunk;  // in the last chunk
  };
  // The stored names' bytes; declared first, so it goes last.
  CSmiArena m_names;
  RecordStore m_records;
  std::vector<CSmiObject*> m_types;
  std::vector<CSmiObject*> m_objects;
  std::vector<CSmiModuleKey> m_modules;
  std::vector<CSmiImport> m_imports;

  // Indexes over the lists above.
  // First complete object of each OID.
  std::vector<OidSlot> m_oid_slots;  // a power of two, at most three quarters full
  size_t m_oid_count = 0;
  mutable CSmiNameIndex m_by_name;
  // After a sort, the name index is renumbered on its next use (old
  // position -> new); empty when it is up to date.
  mutable std::vector<uint32_t> m_name_remap;
  std::unordered_map<std::string, uint32_t> m_type_by_name;  // first type by name (UTF-8)
  std::unordered_set<CSmiModuleKey, CSmiModuleKeyHash> m_module_set;
  // Imported symbols by importing module, file and symbol: import
  // positions with their hash, compared with the imports themselves (no
  // copy of the texts). Linear probing keeps the imports of one key in the
  // order they were added.
  std::vector<OidSlot> m_import_slots;  // a power of two, at most three quarters full
  mutable std::string m_name_key;       // room for a looked-up name in UTF-8
  std::vector<uint32_t> m_unfinalized_imports;
  // The unknown OID name of each stored record whose OID is incomplete
  // (a few while loading): records do not carry a field for it.
  std::unordered_map<const CSmiObject*, CSmiName> m_pending_names;
  // Descriptions of the records above, packed as they come.
  CSmiTextPacker m_descriptions;
};

// The process-wide tree, created on first use.
CSmiTree& SmiTree();

// Holds the tree lock ("CSmiTreeProtected critical section") for its scope.
// Recursive: the owning thread may take it again.
class CSmiTreeProtected {
 public:
  explicit CSmiTreeProtected(CSmiTree& tree = SmiTree()) : m_guard(tree.Lock()) {}

 private:
  CZubLock m_guard;
};
