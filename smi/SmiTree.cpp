#include "smi/SmiTree.h"

#include "quillog/Quillog.h"
#include "smi/MibFolders.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <cstddef>
#include <mutex>
#include <new>
#include <stdexcept>

// Trace lines whose arguments cost something are only built when wanted.
#define SMI_TRACE(feature, ...)                                                    \
  do {                                                                             \
    if (quillog::FeatureOn(feature)) QuillogW(QUILLOG_INFO, feature, __VA_ARGS__); \
  } while (0)

namespace {

const wchar_t* const kStatusTexts[] = {L"current", L"deprecated", L"mandatory", L"obsolete", L"optional"};
const wchar_t* const kAccessTexts[] = {L"not-accessible", L"not-implemented", L"accessible-for-notify",
                                       L"read-only",      L"write-only",      L"read-write",
                                       L"read-create"};
const wchar_t* const kKindTexts[] = {L"NULL",         L"BOOLEAN",    L"REAL",   L"INTEGER",    L"OBJECT IDENTIFIER",
                                     L"OCTET STRING", L"BIT STRING", L"BIT",    L"SEQUENCE",   L"SEQUENCE OF",
                                     L"SET",          L"SET OF",     L"CHOICE", L"ENUMERATED", L"SELECTION",
                                     L"ANY"};

const std::wstring kEmpty;
constexpr size_t kExpectedObjects = 40000;

// A record is built a piece at a time, so its containers have spare room;
// once it is in the tree they keep just what they hold.
void Compact(CSmiObject& record, CSmiArena& names) {
  record.oid.shrink_to_fit();
  record.type.nested.shrink_to_fit();
  record.declarations.shrink_to_fit();
  record.oid.MoveInto(names);
  record.type.nested.MoveInto(names);
  record.type.constraint.MoveInto(names);
  for (CSmiType& nested : record.type.nested) nested.constraint.MoveInto(names);
  for (CSmiDeclaration& d : record.declarations) d.name.MoveInto(names);
}

CSmiObject BuiltinRecord(const wchar_t* name, int64_t arc, uint32_t kind) {
  CSmiObject record;
  record.oid = {arc};
  record.type.kind = kind;
  record.declarations.push_back(CSmiDeclaration{name, CSmiModuleRef(), 0});
  return record;
}

std::string_view Utf8Of(const std::wstring& text, std::string& room) {
  room.clear();
  SmiAppendUtf8(text, room);
  return room;
}

}  // namespace

namespace {

template <typename Arcs>
std::wstring OidText(const Arcs& oid) {
  // Written digit by digit: std::to_wstring goes through a wide printf.
  std::wstring text;
  text.reserve(oid.size() * 4);
  char digits[24];
  for (int64_t arc : oid) {
    text.push_back(L'.');
    const std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, arc);
    text.append(digits, end.ptr);
  }
  return text;
}

std::wstring Undotted(std::wstring text) { return text.empty() ? text : text.substr(1); }

}  // namespace

std::wstring SmiOidText(const SmiOid& oid) { return OidText(oid); }
std::wstring SmiOidText(const CSmiArcs& oid) { return OidText(oid); }
std::wstring SmiOidDotted(const SmiOid& oid) { return Undotted(OidText(oid)); }
std::wstring SmiOidDotted(const CSmiArcs& oid) { return Undotted(OidText(oid)); }

uint32_t SmiStatusCode(const std::wstring& text) {
  for (uint32_t i = 0; i < 5; ++i)
    if (text == kStatusTexts[i]) return i + 1;
  return 0;
}

const wchar_t* SmiStatusText(uint32_t code) {
  return code >= 1 && code <= 5 ? kStatusTexts[code - 1] : L"Unknown status";
}

uint32_t SmiAccessCode(const std::wstring& text) {
  for (uint32_t i = 0; i < 7; ++i)
    if (text == kAccessTexts[i]) return i + 1;
  return 0;
}

const wchar_t* SmiAccessText(uint32_t code) {
  return code >= 1 && code <= 7 ? kAccessTexts[code - 1] : L"Unknown access";
}

CSmiModuleKey CSmiModuleKey::FromPath(const std::wstring& path) {
  CSmiModuleKey key;
  key.file_path = path;
  const size_t slash = path.find_last_of(L"/\\");
  std::wstring base = slash == std::wstring::npos ? path : path.substr(slash + 1);
  const size_t dot = base.rfind(L'.');
  if (dot != std::wstring::npos) base.erase(dot);
  key.module_name = std::move(base);
  return key;
}

CSmiModuleKey CSmiModuleKey::FromString(const std::wstring& text) {
  if (text.find_first_of(L"/\\:.") != std::wstring::npos) return FromPath(text);
  return CSmiModuleKey{text, LocateModuleFile(text)};
}

size_t CSmiModuleKeyHash::operator()(const CSmiModuleKey& key) const {
  const size_t a = std::hash<std::wstring>()(key.module_name);
  const size_t b = std::hash<std::wstring>()(key.file_path);
  return a ^ (b + 0x9e3779b97f4a7c15ULL + (a << 6) + (a >> 2));
}

namespace {

// Texts held once in the process, by index (module keys, type names).
// Entries sit in chunks that never move, reached through a fixed table, so
// an index is read without the lock; entry 0 is the empty one.
template <typename Entry>
class InternTable {
 public:
  InternTable() { m_chunks[0].store(NewChunk(), std::memory_order_release); }
  InternTable(const InternTable&) = delete;
  InternTable& operator=(const InternTable&) = delete;

  const Entry& At(uint32_t index) const {
    return m_chunks[index >> kChunkBits].load(std::memory_order_acquire)[index & (kChunk - 1)];
  }

  // The index of the entry is() takes for the key hashed; when there is
  // none and add, a new entry make() fills.
  template <typename Is, typename Make>
  bool Find(size_t hash, Is is, Make make, bool add, uint32_t* index) {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto [it, end] = m_by_hash.equal_range(hash); it != end; ++it) {
      if (!is(At(it->second))) continue;
      *index = it->second;
      return true;
    }
    if (!add) return false;
    *index = Append(make);
    m_by_hash.emplace(hash, *index);
    return true;
  }

 private:
  static constexpr uint32_t kChunkBits = 12;
  static constexpr uint32_t kChunk = 1u << kChunkBits;
  static constexpr uint32_t kMaxChunks = 1024;

  Entry* NewChunk() {
    m_owned.push_back(std::make_unique<Entry[]>(kChunk));
    return m_owned.back().get();
  }

  template <typename Make>
  uint32_t Append(Make make) {
    const uint32_t index = m_size;
    const uint32_t chunk = index >> kChunkBits;
    if (chunk >= kMaxChunks) throw std::length_error("too many MIB module or type names in one process");
    if (!m_chunks[chunk].load(std::memory_order_relaxed)) m_chunks[chunk].store(NewChunk(), std::memory_order_release);
    make(m_chunks[chunk].load(std::memory_order_relaxed)[index & (kChunk - 1)]);
    ++m_size;
    return index;
  }

  std::mutex m_mutex;
  std::array<std::atomic<Entry*>, kMaxChunks> m_chunks{};
  std::vector<std::unique_ptr<Entry[]>> m_owned;
  std::unordered_multimap<size_t, uint32_t> m_by_hash;
  uint32_t m_size = 1;  // entry 0: empty
};

// A module's texts as the process holds them once.
struct ModuleTexts {
  CSmiSharedText module_name;
  CSmiSharedText file_path;
};

InternTable<ModuleTexts>& ModuleTable() {
  static InternTable<ModuleTexts> table;
  return table;
}

InternTable<CSmiSharedText>& TypeNameTable() {
  static InternTable<CSmiSharedText> table;
  return table;
}

bool FindModule(const CSmiModuleKey& key, bool add, uint32_t* index) {
  if (key.module_name.empty() && key.file_path.empty()) {
    *index = 0;
    return true;
  }
  const auto is = [&](const ModuleTexts& held) {
    return held.module_name == key.module_name && held.file_path == key.file_path;
  };
  const auto make = [&](ModuleTexts& entry) {
    entry.module_name = CSmiSharedText(key.module_name);
    entry.file_path = CSmiSharedText(key.file_path);
  };
  return ModuleTable().Find(CSmiModuleKeyHash()(key), is, make, add, index);
}

}  // namespace

CSmiModuleRef::CSmiModuleRef(const CSmiModuleKey& key) { FindModule(key, true, &m_index); }

bool CSmiModuleRef::Find(const CSmiModuleKey& key, CSmiModuleRef* ref) { return FindModule(key, false, &ref->m_index); }

const CSmiSharedText& CSmiModuleRef::ModuleName() const { return ModuleTable().At(m_index).module_name; }

const CSmiSharedText& CSmiModuleRef::FilePath() const { return ModuleTable().At(m_index).file_path; }

CSmiTypeName::CSmiTypeName(std::wstring_view text) {
  if (text.empty()) return;
  const auto is = [&](const CSmiSharedText& held) { return std::wstring_view(held.str()) == text; };
  const auto make = [&](CSmiSharedText& entry) { entry = CSmiSharedText(std::wstring(text)); };
  TypeNameTable().Find(std::hash<std::wstring_view>()(text), is, make, true, &m_index);
}

const std::wstring& CSmiTypeName::str() const { return TypeNameTable().At(m_index).str(); }

CSmiDeclaration::CSmiDeclaration(CSmiName declared, const std::wstring& module_name, const std::wstring& file_path,
                                 int32_t at)
    : name(std::move(declared)), module(CSmiModuleKey{module_name, file_path}), line(at) {}

std::wstring CSmiType::DisplayText(bool with_constraint) const {
  std::wstring text;
  if (kind >= SMI_TYPE_NULL && kind <= SMI_TYPE_ANY) {
    text = kKindTexts[kind - 1];
  } else if (kind == SMI_TYPE_REFERENCE || kind == SMI_TYPE_MACRO) {
    text = name;
  } else {
    text = L"Unknown type";
  }
  if (with_constraint && !constraint.empty()) text += L" (" + constraint.Wide() + L")";
  return text;
}

void CSmiDeclarations::push_back(CSmiDeclaration declaration) {
  if (InPlace() && m_size == 0) {
    new (&m_one) CSmiDeclaration(std::move(declaration));
    m_size = 1;
    return;
  }
  if (m_size == m_capacity) MoveToBlock(m_capacity * 2);
  Data()[m_size++] = std::move(declaration);
}

void CSmiDeclarations::MoveToBlock(uint32_t capacity) {
  auto block = std::make_unique<CSmiDeclaration[]>(capacity);
  std::move(begin(), end(), block.get());
  const uint32_t size = m_size;
  DestroyStorage();
  new (&m_many) std::unique_ptr<CSmiDeclaration[]>(std::move(block));
  m_size = size;
  m_capacity = capacity;
}

void CSmiDeclarations::DestroyStorage() noexcept {
  if (!InPlace()) {
    m_many.~unique_ptr();
  } else if (m_size == 1) {
    m_one.~CSmiDeclaration();
  }
  m_size = 0;
  m_capacity = 1;
}

void CSmiDeclarations::clear() noexcept { DestroyStorage(); }

void CSmiDeclarations::shrink_to_fit() {
  if (!InPlace() && m_size < m_capacity) MoveToBlock(m_size);
}

void CSmiDeclarations::TakeFrom(CSmiDeclarations& other) noexcept {
  if (other.InPlace()) {
    if (other.m_size == 1) {
      new (&m_one) CSmiDeclaration(std::move(other.m_one));
      m_size = 1;
    }
  } else {
    new (&m_many) std::unique_ptr<CSmiDeclaration[]>(std::move(other.m_many));
    m_size = other.m_size;
    m_capacity = other.m_capacity;
  }
  other.DestroyStorage();
}

std::wstring CSmiObject::Name() const {
  return declarations.empty() ? std::wstring() : declarations.front().name.Wide();
}

uint32_t CSmiTree::HashOid(OidView oid) {
  uint64_t h = oid.size;
  const CSmiArcs& arcs = *oid.arcs;
  for (size_t i = 0; i < oid.size; ++i)
    h ^= static_cast<uint64_t>(arcs[i]) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdULL;
  h ^= h >> 33;
  return static_cast<uint32_t>(h);
}

namespace {
// Arcs of two prefixes; one is most often a whole record's OID.
bool SameOid(const CSmiArcs& a, size_t an, const CSmiArcs& b, size_t bn) {
  if (an != bn) return false;
  for (size_t i = 0; i < an; ++i)
    if (a[i] != b[i]) return false;
  return true;
}
}  // namespace

void CSmiTree::ClearOidIndex(size_t capacity) {
  size_t slots = 16;
  while (slots * 3 < capacity * 4) slots *= 2;
  m_oid_slots.assign(slots, OidSlot{0, kNoPosition});
  m_oid_count = 0;
}

void CSmiTree::PlaceSlot(std::vector<OidSlot>& slots, OidSlot slot) {
  const size_t mask = slots.size() - 1;
  size_t i = slot.hash & mask;
  while (slots[i].position != kNoPosition) i = (i + 1) & mask;
  slots[i] = slot;
}

void CSmiTree::GrowOidIndex() {
  std::vector<OidSlot> old = std::move(m_oid_slots);
  m_oid_slots.assign(old.size() * 2, OidSlot{0, kNoPosition});
  for (const OidSlot& slot : old)
    if (slot.position != kNoPosition) PlaceSlot(m_oid_slots, slot);
}

int64_t CSmiTree::FindOidPosition(OidView oid) const { return FindOidPosition(oid, HashOid(oid)); }

int64_t CSmiTree::FindOidPosition(OidView oid, uint32_t hash) const {
  if (m_oid_slots.empty()) return -1;
  const size_t mask = m_oid_slots.size() - 1;
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    const OidSlot& slot = m_oid_slots[i];
    if (slot.position == kNoPosition) return -1;
    if (slot.hash != hash) continue;
    const CSmiArcs& found = m_objects[slot.position]->oid;
    if (SameOid(found, found.size(), *oid.arcs, oid.size)) return slot.position;
  }
}

const std::wstring& CSmiSharedText::Empty() { return kEmpty; }

CSmiTree::CSmiTree() = default;

CSmiTree& SmiTree() {
  // Built in static storage and never destroyed: freeing a large tree at exit
  // only costs time, and what it holds stays reachable for leak checkers.
  alignas(CSmiTree) static std::byte storage[sizeof(CSmiTree)];
  static CSmiTree* const tree = ::new (storage) CSmiTree;
  return *tree;
}

void CSmiTree::Reset() {
  m_descriptions.Clear();
  m_objects.clear();
  m_types.clear();
  m_records.Clear();
  m_modules.clear();
  m_imports.clear();
  ClearOidIndex(kExpectedObjects);
  // Room for a typical load (a few hundred modules) without growing.
  m_by_name.Clear(kExpectedObjects);
  m_name_remap.clear();
  m_type_by_name.clear();
  m_module_set.clear();
  m_import_slots.clear();
  m_pending_names.clear();
  m_unfinalized_imports.clear();
  m_names.Clear();  // after everything that holds a name
  AddObject(BuiltinRecord(L"ccitt", 0, SMI_TYPE_OBJECT_IDENTIFIER));
  AddObject(BuiltinRecord(L"iso", 1, SMI_TYPE_OBJECT_IDENTIFIER));
  AddObject(BuiltinRecord(L"iso-ccitt", 2, SMI_TYPE_OBJECT_IDENTIFIER));
  AddType(BuiltinRecord(L"Counter32", 0, SMI_TYPE_INTEGER));
  AddType(BuiltinRecord(L"TimeTicks", 0, SMI_TYPE_INTEGER));
  m_initialised = true;
}

void CSmiTree::ClearLinks() {
  for (auto& object : m_objects) object->parent = nullptr;
}

bool CSmiTree::RegisterModule(const std::wstring& module_name_or_path) {
  return RegisterModule(CSmiModuleKey::FromString(module_name_or_path));
}

bool CSmiTree::RegisterModule(const CSmiModuleKey& key) {
  if (!m_module_set.insert(key).second) return false;
  m_modules.push_back(key);
  return true;
}

bool CSmiTree::FindModule(const CSmiModuleKey& key) const { return m_module_set.count(key) != 0; }

void CSmiTree::AddType(CSmiObject record) {
  const uint32_t position = static_cast<uint32_t>(m_types.size());
  m_type_by_name.emplace(
      record.declarations.empty() ? std::string() : std::string(record.declarations.front().name.Utf8()), position);
  m_types.push_back(m_records.Add(std::move(record)));
  Compact(*m_types.back(), m_names);
  m_descriptions.Add(m_types.back()->description);
}

void CSmiTree::IndexObjectOid(uint32_t position) {
  if (!m_objects[position]->IsComplete()) return;
  IndexObjectOid(position, HashOid(ViewOf(position)));
}

void CSmiTree::IndexObjectOid(uint32_t position, uint32_t hash) {
  if ((m_oid_count + 1) * 4 > m_oid_slots.size() * 3) {
    if (m_oid_slots.empty()) {
      ClearOidIndex(kExpectedObjects);
    } else {
      GrowOidIndex();
    }
  }
  const OidView oid = ViewOf(position);
  const size_t mask = m_oid_slots.size() - 1;
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    OidSlot& slot = m_oid_slots[i];
    if (slot.position == kNoPosition) {
      slot = OidSlot{hash, position};
      ++m_oid_count;
      return;
    }
    if (slot.hash != hash) continue;
    const CSmiArcs& found = m_objects[slot.position]->oid;
    if (!SameOid(found, found.size(), *oid.arcs, oid.size)) continue;
    // The index keeps the first object of an OID.
    if (position < slot.position) slot.position = position;
    return;
  }
}

void CSmiTree::IndexObjectName(uint32_t position, const CSmiName& name) {
  ApplyNameRemap();
  m_by_name.Insert(name, position);
}

void CSmiTree::ApplyNameRemap() const {
  if (m_name_remap.empty()) return;
  m_by_name.Remap(m_name_remap);
  m_name_remap.clear();
}

void CSmiTree::RemapObjectIndexes(const std::vector<uint32_t>& new_position) {
  if (m_name_remap.empty()) {
    m_name_remap = new_position;
  } else {
    for (uint32_t& p : m_name_remap) p = new_position[p];
  }
  // A stable sort keeps objects of one OID in their order, so the first
  // object of each OID stays the first: only its position changes. The
  // OID (the hash) is unchanged.
  for (OidSlot& slot : m_oid_slots)
    if (slot.position != kNoPosition) slot.position = new_position[slot.position];
}

void CSmiTree::AddObject(CSmiObject copy, CSmiName pending_name) {
  SMI_TRACE(QLF_PROGRAM_SMI, L"Adding SMI object '%s'", copy.Name());
  // A complete OID is hashed once, for the lookup and for the index.
  bool hashed = false;
  uint32_t hash = 0;
  if (copy.IsComplete() || TryResolve(copy, pending_name.Utf8())) {
    hash = HashOid(ViewOf(copy.oid));
    hashed = true;
    const int64_t found = FindOidPosition(ViewOf(copy.oid), hash);
    if (found >= 0) {
      const uint32_t found_position = static_cast<uint32_t>(found);
      CSmiObject& existing = *m_objects[found_position];
      if (quillog::FeatureOn(QLF_PROGRAM_SMI)) {
        const CSmiDeclaration& old_decl = existing.declarations.front();
        const CSmiDeclaration& new_decl = copy.declarations.front();
        QuillogW(QUILLOG_INFO, QLF_PROGRAM_SMI, L"SMI object '%s' is already existing", copy.Name());
        QuillogW(QUILLOG_INFO, QLF_PROGRAM_SMI, L"Existing object %s=%s is declared in File '%s' at Line %d",
                 old_decl.name.Wide(), existing.OidText(), old_decl.ModuleName(), old_decl.line);
        QuillogW(QUILLOG_INFO, QLF_PROGRAM_SMI, L"New object %s=%s is declared in File '%s' at Line %d",
                 new_decl.name.Wide(), copy.OidText(), new_decl.ModuleName(), new_decl.line);
      }
      if (!copy.declarations.empty()) {
        // The index keeps the stored name, not the copy's.
        existing.declarations.push_back(std::move(copy.declarations.front()));
        existing.declarations[existing.declarations.size() - 1].name.MoveInto(m_names);
        IndexObjectName(found_position, existing.declarations[existing.declarations.size() - 1].name);
      }
      return;
    }
  }
  const uint32_t position = static_cast<uint32_t>(m_objects.size());
  m_objects.push_back(m_records.Add(std::move(copy)));
  Compact(*m_objects.back(), m_names);
  m_descriptions.Add(m_objects.back()->description);
  if (hashed) {
    IndexObjectOid(position, hash);
  } else {
    m_pending_names[m_objects.back()] = std::move(pending_name);
    IndexObjectOid(position);
  }
  for (const CSmiDeclaration& d : m_objects[position]->declarations) IndexObjectName(position, d.name);
}

bool CSmiTree::DeclarationMatches(const CSmiDeclaration& d, std::string_view name, const CSmiSharedText& module_name,
                                  const CSmiSharedText& file_path) const {
  if (d.name.Utf8() != name) return false;
  if (d.name.empty() || d.ModuleName().empty() || d.line == 0) return true;
  return d.ModuleName() == module_name && d.FilePath() == file_path;
}

CSmiObject* CSmiTree::FindObjectByName(const std::wstring& name, const CSmiModuleKey& key) const {
  // A lookup does not add its key to the module table.
  CSmiModuleRef held;
  if (CSmiModuleRef::Find(key, &held)) return FindObjectByName(name, CSmiSharedKey(held));
  return FindObjectByName(name, CSmiSharedText(key.module_name), CSmiSharedText(key.file_path));
}

CSmiObject* CSmiTree::FindObjectByName(const std::wstring& name, const CSmiSharedKey& key) const {
  return FindObjectByName(name, key.module_name, key.file_path);
}

CSmiObject* CSmiTree::FindObjectByName(const std::wstring& name, const CSmiSharedText& module_name,
                                       const CSmiSharedText& file_path) const {
  return FindObjectByUtf8(Utf8Of(name, m_name_key), module_name, file_path);
}

CSmiObject* CSmiTree::FindObjectByUtf8(std::string_view name, const CSmiSharedText& module_name,
                                       const CSmiSharedText& file_path) const {
  ApplyNameRemap();
  CSmiNameIndex::Positions positions;
  if (!m_by_name.Find(name, positions)) return nullptr;
  // The first object (in list order) with a matching declaration decides.
  auto matches = [&](uint32_t position) {
    for (const CSmiDeclaration& d : m_objects[position]->declarations)
      if (DeclarationMatches(d, name, module_name, file_path)) return true;
    return false;
  };
  if (matches(positions.first)) return m_objects[positions.first]->IsComplete() ? m_objects[positions.first] : nullptr;
  for (uint32_t position : positions.rest)
    if (matches(position)) return m_objects[position]->IsComplete() ? m_objects[position] : nullptr;
  return nullptr;
}

CSmiObject* CSmiTree::FindObjectByOid(const SmiOid& oid) const {
  const CSmiArcs arcs(oid);
  const int64_t position = FindOidPosition(ViewOf(arcs));
  return position < 0 ? nullptr : m_objects[static_cast<size_t>(position)];
}

void CSmiTree::AddImport(const CSmiModuleKey& importer, const std::wstring& symbol) {
  AddImport(CSmiSharedKey(importer), symbol);
}

void CSmiTree::AddImport(const CSmiSharedKey& importer, const std::wstring& symbol) {
  const uint32_t position = static_cast<uint32_t>(m_imports.size());
  m_imports.push_back(CSmiImport{importer.module_name, importer.file_path, CSmiName(symbol), {}, {}});
  m_imports.back().symbol.MoveInto(m_names);
  IndexImport(position);
  m_unfinalized_imports.push_back(position);
}

uint32_t CSmiTree::HashImport(std::wstring_view module_name, std::wstring_view file_path, std::string_view symbol) {
  size_t hash = std::hash<std::string_view>()(symbol);
  for (const size_t part : {std::hash<std::wstring_view>()(module_name), std::hash<std::wstring_view>()(file_path)})
    hash ^= part + 0x9e3779b97f4a7c15ULL + (hash << 6) + (hash >> 2);
  return static_cast<uint32_t>(hash);
}

void CSmiTree::IndexImport(uint32_t position) {
  if ((position + 1) * size_t{4} > m_import_slots.size() * 3) {
    // Every import is indexed: the table is rebuilt in import order, so
    // the imports of one key stay in order along their probe run.
    std::vector<uint32_t> hashes(position);
    for (const OidSlot& slot : m_import_slots)
      if (slot.position != kNoPosition) hashes[slot.position] = slot.hash;
    m_import_slots.assign(std::max<size_t>(1024, m_import_slots.size() * 2), OidSlot{0, kNoPosition});
    for (uint32_t p = 0; p < position; ++p) PlaceSlot(m_import_slots, OidSlot{hashes[p], p});
  }
  const CSmiImport& import = m_imports[position];
  PlaceSlot(m_import_slots,
            OidSlot{HashImport(import.module_name.str(), import.file_path.str(), import.symbol.Utf8()), position});
}

template <typename Fn>
void CSmiTree::ForEachImportOf(const CSmiSharedText& module_name, const CSmiSharedText& file_path,
                               std::string_view symbol, Fn fn) const {
  if (m_import_slots.empty()) return;
  const uint32_t hash = HashImport(module_name.str(), file_path.str(), symbol);
  const size_t mask = m_import_slots.size() - 1;
  for (size_t i = hash & mask; m_import_slots[i].position != kNoPosition; i = (i + 1) & mask) {
    const OidSlot& slot = m_import_slots[i];
    if (slot.hash != hash) continue;
    const CSmiImport& import = m_imports[slot.position];
    if (import.symbol.Utf8() != symbol || !(import.module_name == module_name) || !(import.file_path == file_path))
      continue;
    if (fn(import)) return;
  }
}

void CSmiTree::FinalizeImports(const std::wstring& module_name) {
  if (m_unfinalized_imports.empty()) return;
  FinalizeImports(CSmiModuleKey::FromString(module_name));
}

void CSmiTree::FinalizeImports(const CSmiModuleKey& source) {
  if (m_unfinalized_imports.empty()) return;
  const CSmiSharedKey shared(source);
  for (uint32_t position : m_unfinalized_imports) {
    m_imports[position].source_module_name = shared.module_name;
    m_imports[position].source_file_path = shared.file_path;
  }
  m_unfinalized_imports.clear();
}

bool CSmiTree::TryResolve(CSmiObject& object) {
  if (object.resolve_position == -1) return false;
  const auto it = m_pending_names.find(&object);
  const std::string_view pending = it == m_pending_names.end() ? std::string_view() : it->second.Utf8();
  if (!TryResolve(object, pending)) return false;
  if (it != m_pending_names.end()) m_pending_names.erase(it);
  return true;
}

bool CSmiTree::TryResolve(CSmiObject& object, std::string_view pending) {
  if (object.resolve_position == -1) return false;
  SMI_TRACE(QLF_PROGRAM_SMI, L"Trying to finish OID resolution of '%s'...", object.Name());
  static const CSmiDeclaration kNoDeclaration;
  const CSmiDeclaration& first = object.declarations.empty() ? kNoDeclaration : object.declarations.front();
  const CSmiObject* found = FindObjectByUtf8(pending, first.ModuleName(), first.FilePath());
  if (!found) {
    ForEachImportOf(first.ModuleName(), first.FilePath(), pending, [&](const CSmiImport& import) {
      found = FindObjectByUtf8(pending, import.source_module_name, import.source_file_path);
      return found != nullptr;
    });
  }
  if (!found) {
    SMI_TRACE(QLF_PROGRAM_SMI, L"OID '%s' cannot yet be resolved", object.Name());
    return false;
  }
  const size_t at = std::min<size_t>(static_cast<size_t>(object.resolve_position), object.oid.size());
  const CSmiArcs prefix = found->oid;  // found may be object itself only when complete
  object.oid.insert(at, prefix.begin(), prefix.end());
  object.resolve_position = -1;
  SMI_TRACE(QLF_PROGRAM_SMI, L"OID '%s' is resolved", object.Name());
  return true;
}

void CSmiTree::Resolve() {
  for (;;) {
    if (m_objects.empty()) {
      SMI_TRACE(QLF_PROGRAM_SMI, L"no more OID to resolve");
      return;
    }
    size_t pending = 0;
    size_t resolved = 0;
    for (uint32_t i = 0; i < m_objects.size(); ++i) {
      CSmiObject& object = *m_objects[i];
      if (object.resolve_position == -1) continue;
      ++pending;
      if (TryResolve(object)) {
        object.oid.shrink_to_fit();
        ++resolved;
        IndexObjectOid(i);
      }
    }
    if (pending == 0) {
      SMI_TRACE(QLF_PROGRAM_SMI, L"no more OID to resolve");
      return;
    }
    if (resolved > 0) continue;
    Dump(0);
    DumpImports();
    for (const auto& object : m_objects) {
      if (object->resolve_position == -1) continue;
      CSmiDeclaration first;
      if (!object->declarations.empty()) first = object->declarations.front();
      QuillogW(QUILLOG_WARNING, QLF_NONE, L"OID '%s' (%s/%d) is not resolved", first.name.Wide(), first.FilePath(),
               first.line);
    }
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"There are OID to resolve but I can't resolve them");
    return;
  }
}

void CSmiTree::AddMissingParents() {
  // Objects added here are at the end of the list: their own parents are
  // added with them, so looking at them again finds those at once.
  for (size_t i = 0; i < m_objects.size(); ++i) {
    CSmiObject* object = m_objects[i];  // records never move; the list may
    if (object->oid.empty()) {
      QuillogW(QUILLOG_ERROR, QLF_NONE, L"OID of SMI object '%s' is not set", object->Name());
      continue;
    }
    for (size_t length = object->oid.size() - 1; length >= 1; --length) {
      // An indexed parent is in the list too: its own missing parents are
      // found when its turn comes.
      const int64_t found = FindOidPosition(OidView{&object->oid, length});
      if (found >= 0) {
        // The parent link, as LinkParents would set it: the first object of
        // an OID stays the first through the additions and the sort.
        if (length + 1 == object->oid.size() && !object->parent) object->parent = m_objects[static_cast<size_t>(found)];
        break;
      }
      CSmiObject record;
      record.oid.assign(object->oid.begin(), object->oid.begin() + static_cast<std::ptrdiff_t>(length));
      SMI_TRACE(QLF_PROGRAM_SMI, L"Adding missing parent %s of Object '%s'", SmiOidText(record.oid), object->Name());
      record.type.kind = SMI_TYPE_OBJECT_IDENTIFIER;
      record.declarations.push_back(CSmiDeclaration{L"no-name", CSmiModuleRef(), 0});
      AddObject(std::move(record));
    }
  }
}

namespace {

// Empty OIDs go first (logged) so that the order stays a strict weak order.
bool OidLess(const CSmiArcs& x, const CSmiArcs& y) {
  if (x.empty() || y.empty()) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Size is 0");
    return x.empty() && !y.empty();
  }
  const size_t n = std::min(x.size(), y.size());
  for (size_t i = 0; i < n; ++i) {
    if (x[i] != y[i]) return x[i] < y[i];
  }
  if (x.size() == y.size()) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Sizes are equal for OID %s and %s", SmiOidText(x), SmiOidText(y));
    return false;
  }
  return x.size() < y.size();
}

}  // namespace

void CSmiTree::SortByOid() {
  // The records are compared where they are: a side copy of every arc was
  // the largest block of a whole collection's load.
  std::vector<uint32_t> order(m_objects.size());
  for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [this](uint32_t a, uint32_t b) { return OidLess(m_objects[a]->oid, m_objects[b]->oid); });
  std::vector<uint32_t> new_position(m_objects.size());
  for (uint32_t i = 0; i < order.size(); ++i) new_position[order[i]] = i;
  order = {};
  // The list is permuted in place, one cycle at a time (no sorted copy of
  // it): positions are below 2^31, the top bit marks the moved ones.
  constexpr uint32_t kMoved = 0x80000000u;
  for (uint32_t start = 0; start < new_position.size(); ++start) {
    if (new_position[start] & kMoved) continue;
    CSmiObject* carried = m_objects[start];
    uint32_t at = start;
    do {
      const uint32_t to = new_position[at];
      new_position[at] |= kMoved;
      std::swap(carried, m_objects[to]);
      at = to;
    } while (at != start);
  }
  for (uint32_t& p : new_position) p &= ~kMoved;
  RemapObjectIndexes(new_position);
}

void CSmiTree::LinkParents() {
  for (const auto& object : m_objects) {
    if (object->oid.empty()) {
      QuillogW(QUILLOG_ERROR, QLF_NONE, L"OID of SMI object '%s' is not set", object->Name());
      continue;
    }
    if (object->parent) continue;
    if (object->oid.size() == 1) continue;
    const int64_t parent = FindOidPosition(OidView{&object->oid, object->oid.size() - 1});
    if (parent >= 0) {
      object->parent = m_objects[static_cast<size_t>(parent)];
      continue;
    }
    const SmiOid prefix(object->oid.begin(), object->oid.end() - 1);  // for the message
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"Parent %s of Object '%s' does not exists", SmiOidText(prefix),
             object->Name());
  }
}

void CSmiTree::Finish() {
  Resolve();
  AddMissingParents();
  SortByOid();
  LinkParents();
  m_descriptions.Flush();
}

void CSmiTree::MarkVisible(CSmiObject& object) {
  object.visible = true;
  for (CSmiObject* p = object.parent; p && !p->visible; p = p->parent) p->visible = true;
}

void CSmiTree::MarkAllVisible() {
  for (auto& object : m_objects) object->visible = true;
}

void CSmiTree::MarkVisibleForModules(const std::vector<CSmiModuleKey>& modules) {
  std::unordered_set<CSmiModuleKey, CSmiModuleKeyHash> wanted(modules.begin(), modules.end());
  // Declarations of one module share their texts: the answer for the last
  // pair of texts seen is kept.
  const std::wstring* last_module = nullptr;
  const std::wstring* last_path = nullptr;
  bool last_wanted = false;
  for (auto& object : m_objects) {
    for (const CSmiDeclaration& d : object->declarations) {
      const std::wstring& module = d.ModuleName();
      const std::wstring& path = d.FilePath();
      if (&module != last_module || &path != last_path) {
        last_module = &module;
        last_path = &path;
        last_wanted = wanted.count(CSmiModuleKey{module, path}) != 0;
      }
      if (last_wanted) {
        MarkVisible(*object);
        break;
      }
    }
  }
}

const CSmiType& CSmiTree::FindTypeBase(const CSmiType& type) const {
  std::unordered_set<const CSmiType*> seen;
  const CSmiType* current = &type;
  for (;;) {
    SMI_TRACE(QLF_PROGRAM_SMI, L"Searching for Type name %s", current->DisplayText(false));
    if (!seen.insert(current).second) return *current;  // reference cycle
    if (current->name.empty()) {
      if (current->kind == SMI_TYPE_CHOICE && current->nested.size() == 1) {
        current = &current->nested.front();
        continue;
      }
      return *current;
    }
    if (!current->nested.empty()) return *current;
    auto it = m_type_by_name.find(std::string(Utf8Of(current->DisplayText(false), m_name_key)));
    if (it == m_type_by_name.end()) return *current;
    current = &m_types[it->second]->type;
  }
}

void CSmiTree::Dump(uint32_t feature) const {
  if ((QuillogGetFeatureLevel() & feature) != feature) return;
  QuillogW(QUILLOG_INFO, feature, L"Dump of MIB tree");
  QuillogW(QUILLOG_INFO, feature, L"----------------");
  QuillogW(QUILLOG_INFO, feature, L"Modules list (%d)", static_cast<int>(m_modules.size()));
  for (const CSmiModuleKey& key : m_modules) QuillogW(QUILLOG_INFO, feature, L"\t%s", key.module_name);
  QuillogW(QUILLOG_INFO, feature, L"Mib Object list (%d)", static_cast<int>(m_objects.size()));
  for (const auto& object : m_objects) {
    CSmiDeclaration first;
    if (!object->declarations.empty()) first = object->declarations.front();
    QuillogW(QUILLOG_INFO, feature, L"   %s, %s=%s, visible=%s ==> %s (%d)", first.name.Wide(),
             object->type.DisplayText(true), object->OidText(), object->visible ? L"true" : L"false",
             first.ModuleName(), first.line);
  }
}

void CSmiTree::DumpImports() const {
  QuillogW(QUILLOG_INFO, QLF_NONE, L"Dump of imported symbols");
  QuillogW(QUILLOG_INFO, QLF_NONE, L"------------------------");
  for (const CSmiImport& import : m_imports)
    QuillogW(QUILLOG_INFO, QLF_NONE, L"File=%s, Symbol=%s, From=%s", import.module_name, import.symbol.Wide(),
             import.source_module_name);
}

CSmiObject* CSmiTree::RecordStore::Add(CSmiObject&& record) {
  if (m_used == kChunk) {
    m_chunks.push_back(std::make_unique<CSmiObject[]>(kChunk));
    m_used = 0;
  }
  CSmiObject* at = &m_chunks.back()[m_used++];
  *at = std::move(record);
  return at;
}

void CSmiTree::RecordStore::Clear() {
  m_chunks.clear();
  m_used = kChunk;
}

void CSmiTree::ForEachObject(const std::function<void(const CSmiObject&)>& fn) const {
  for (const auto& object : m_objects) fn(*object);
}
