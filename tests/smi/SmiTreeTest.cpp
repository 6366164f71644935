#include "smi/SmiTree.h"

#include "SmiTestSupport.h"

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

CSmiObject Record(const std::wstring& name, SmiOid oid, const std::wstring& module = L"M", int line = 1) {
  CSmiObject r;
  r.oid = std::move(oid);
  r.type.kind = SMI_TYPE_OBJECT_IDENTIFIER;
  r.declarations.push_back(CSmiDeclaration{name, module, L"/m/" + module + L".mib", line});
  return r;
}

// A record whose OID begins with a name not known yet.
CSmiObject Pending(const std::wstring& name, SmiOid tail, const std::wstring& module = L"M") {
  CSmiObject r = Record(name, std::move(tail), module);
  r.resolve_position = 0;
  return r;
}

// A type declared in module M, of the given kind, name (a reference) and constraint.
CSmiObject TypeRecord(const std::wstring& declared, SmiTypeKind kind, const std::wstring& name,
                      const std::wstring& constraint = L"") {
  CSmiObject t;
  t.type = CSmiType{name, kind, constraint, {}};
  t.declarations.push_back(CSmiDeclaration{declared, L"M", L"/m/M.mib", 3});
  return t;
}

class SmiTreeTest : public ::testing::Test {
 protected:
  void SetUp() override { m_tree.Reset(); }
  const CSmiObject* ByName(const std::wstring& name) const { return Named(m_tree, name); }
  const std::wstring& OidOf(const std::wstring& name) {
    m_text = m_tree.FindObjectByName(name, M)->OidText();
    return m_text;
  }
  CSmiModuleKey M{L"M", L"/m/M.mib"};
  CSmiTree m_tree;
  std::wstring m_text;
};

TEST_F(SmiTreeTest, ResetHoldsRootsAndBuiltinTypes) {
  m_tree.AddObject(Record(L"x", {1, 3}));
  m_tree.RegisterModule(M);
  m_tree.Reset();
  ASSERT_EQ(m_tree.ObjectCount(), 3u);
  EXPECT_EQ(m_tree.ObjectAt(0).Name(), L"ccitt");
  EXPECT_EQ(m_tree.ObjectAt(1).OidText(), L".1");
  EXPECT_EQ(m_tree.ObjectAt(2).Name(), L"iso-ccitt");
  ASSERT_EQ(m_tree.TypeCount(), 2u);
  EXPECT_EQ(m_tree.TypeAt(0).Name(), L"Counter32");
  EXPECT_EQ(m_tree.TypeAt(1).type.DisplayText(true), L"INTEGER");
  EXPECT_TRUE(m_tree.Modules().empty());
}

TEST_F(SmiTreeTest, DuplicateOidsMergeDeclarationsKeepingTheFirstRecord) {
  CSmiObject first = Record(L"a", {1, 3, 6}, L"M", 10);
  first.description = L"first";
  CSmiObject second = Record(L"b", {1, 3, 6}, L"N", 20);
  second.description = L"second";
  m_tree.AddObject(first);
  m_tree.AddObject(second);
  ASSERT_EQ(m_tree.ObjectCount(), 4u);
  second = CSmiObject();
  // Names made afterwards take the room of any freed one.
  for (int64_t i = 0; i < 50; ++i) m_tree.AddObject(Record(L"c", {1, 3, 7, i}));
  const CSmiObject* o = m_tree.FindObjectByOid({1, 3, 6});
  ASSERT_NE(o, nullptr);
  EXPECT_EQ(o->description, L"first");
  ASSERT_EQ(o->declarations.size(), 2u);
  EXPECT_EQ(o->declarations[1].name, L"b");
  EXPECT_EQ(m_tree.FindObjectByName(L"b", CSmiModuleKey{L"N", L"/m/N.mib"}), o);
  EXPECT_EQ(m_tree.FindObjectByName(L"b", M), nullptr);
  EXPECT_EQ(m_tree.FindObjectByName(L"c", M), m_tree.FindObjectByOid({1, 3, 7, 0}));
}

// One declaration is kept in place, more in a block.
TEST_F(SmiTreeTest, DeclarationsKeepTheirOrderThroughGrowthCopiesAndMoves) {
  const std::vector<std::wstring> names = {L"a", L"b", L"c", L"d", L"e"};
  for (size_t i = 0; i < names.size(); ++i) m_tree.AddObject(Record(names[i], {1, 3, 9}, L"M", static_cast<int>(i)));
  const CSmiObject* o = m_tree.FindObjectByOid({1, 3, 9});
  auto names_of = [](const CSmiDeclarations& list) {
    std::vector<std::wstring> out;
    for (const CSmiDeclaration& d : list) out.push_back(d.name.Wide());
    return out;
  };
  EXPECT_EQ(names_of(o->declarations), names);
  for (size_t kept : {0, 1, 2, 5}) {
    CSmiDeclarations list;
    for (size_t i = 0; i < kept; ++i) list.push_back(o->declarations[i]);
    list.shrink_to_fit();
    const std::vector<std::wstring> want(names.begin(), names.begin() + static_cast<std::ptrdiff_t>(kept));
    CSmiDeclarations copy = list;
    CSmiDeclarations moved = std::move(list);
    copy = moved;  // over a list that holds the same
    moved = CSmiDeclarations{};
    EXPECT_EQ(names_of(copy), want) << kept;
  }
}

TEST(SmiCompactList, NestedTypesKeepTheirOrderThroughGrowthCopiesAndMoves) {
  auto texts_of = [](const CSmiCompactList<CSmiType>& list) {
    std::vector<std::wstring> out;
    for (const CSmiType& t : list) out.push_back(t.DisplayText(true));
    return out;
  };
  const CSmiType extra{L"Extra", SMI_TYPE_REFERENCE, L"", {}};
  for (size_t count : {0, 1, 17}) {
    CSmiType type;
    std::vector<std::wstring> want;
    for (size_t i = 0; i < count; ++i) {
      type.nested.push_back(
          CSmiType{L"T" + std::to_wstring(i), SMI_TYPE_REFERENCE, L"SIZE 0.." + std::to_wstring(i), {}});
      want.push_back(L"T" + std::to_wstring(i) + L" (SIZE 0.." + std::to_wstring(i) + L")");
    }
    type.nested.shrink_to_fit();
    EXPECT_EQ(texts_of(type.nested), want) << count;
    {
      // In an arena: reads back, grows into a heap block, copies outlive it.
      CSmiArena arena;
      CSmiType in_arena = type;
      in_arena.nested.MoveInto(arena);
      EXPECT_EQ(in_arena.nested.InArena(), count > 0);
      EXPECT_EQ(texts_of(in_arena.nested), want) << count;
      CSmiType copied = in_arena;
      CSmiType grown = in_arena;
      grown.nested.MoveInto(arena);
      grown.nested.push_back(extra);
      EXPECT_FALSE(grown.nested.InArena());
      in_arena = CSmiType();
      arena.Clear();
      EXPECT_EQ(texts_of(copied.nested), want) << count;
      ASSERT_EQ(grown.nested.size(), count + 1);
      EXPECT_EQ(grown.nested[count].DisplayText(false), L"Extra");
    }
    CSmiType copy = type;
    type.nested.push_back(extra);
    CSmiType moved = std::move(copy);
    EXPECT_EQ(texts_of(moved.nested), want) << count;  // the copy had its own items
    moved.nested = type.nested;                        // over a list of its own
    EXPECT_EQ(moved.nested.size(), count + 1);
    EXPECT_THROW(CSmiCompactList<CSmiType>().at(0), std::out_of_range);
  }
}

TEST(SmiCompactList, ItemsInAnArenaAreDestroyedOnce) {
  auto shared = std::make_shared<int>(7);
  CSmiArena arena;
  {
    CSmiCompactList<std::shared_ptr<int>> list;
    for (int i = 0; i < 5; ++i) list.push_back(shared);
    list.MoveInto(arena);
    EXPECT_EQ(shared.use_count(), 6);
    list.push_back(shared);  // moves back to the heap
    list.MoveInto(arena);
    EXPECT_EQ(shared.use_count(), 7);
  }
  EXPECT_EQ(shared.use_count(), 1);
}

TEST_F(SmiTreeTest, FirstMatchingObjectDecidesEvenWhenPending) {
  m_tree.AddObject(Pending(L"dup", {9}), L"nowhere");
  m_tree.AddObject(Record(L"dup", {1, 9}));
  EXPECT_EQ(m_tree.FindObjectByName(L"dup", M), nullptr);
}

TEST_F(SmiTreeTest, ResolveCompletesChainsAndReportsTheRest) {
  LogCapture log(0);
  m_tree.AddObject(Pending(L"a", {1}), L"b");
  m_tree.AddObject(Pending(L"b", {2}), L"c");
  m_tree.AddObject(Pending(L"c", {3}), L"d");
  m_tree.AddObject(Record(L"d", {1, 3}));
  m_tree.AddObject(Pending(L"lost", {4}), L"undefined");
  m_tree.Resolve();
  EXPECT_EQ(ByName(L"a")->OidText(), L".1.3.3.2.1");
  EXPECT_TRUE(ByName(L"a")->IsComplete());
  EXPECT_FALSE(ByName(L"lost")->IsComplete());
  EXPECT_EQ(log.Count(L"There are OID to resolve but I can't resolve them"), 1u);
  EXPECT_EQ(log.Count(L"OID 'lost' (/m/M.mib/1) is not resolved"), 1u);
  // The name stays known to the tree: a later load step completes it.
  m_tree.AddObject(Record(L"undefined", {1, 5}));
  m_tree.Finish();
  EXPECT_EQ(ByName(L"lost")->OidText(), L".1.5.4");
}

TEST_F(SmiTreeTest, ImportedNamesResolveThroughTheImportList) {
  m_tree.AddObject(Record(L"base", {1, 3, 6}, L"S"));
  m_tree.AddImport(M, L"base");
  m_tree.FinalizeImports(L"/m/S.mib");
  m_tree.AddObject(Pending(L"child", {7}), L"base");
  EXPECT_EQ(ByName(L"child")->OidText(), L".1.3.6.7");
  EXPECT_EQ(m_tree.Imports()[0].source_module_name, L"S");
}

TEST_F(SmiTreeTest, MissingParentsAreAddedOnceSortedAndLinked) {
  m_tree.AddObject(Record(L"leaf", {1, 3, 6, 1, 4, 1, 9999, 1}));
  m_tree.AddObject(Record(L"leaf2", {1, 3, 6, 1, 4, 1, 9999, 2}));
  m_tree.AddObject(Record(L"internet", {1, 3, 6, 1}));
  m_tree.Finish();
  size_t no_name = 0;
  for (size_t i = 0; i < m_tree.ObjectCount(); ++i) no_name += m_tree.ObjectAt(i).Name() == L"no-name";
  EXPECT_EQ(no_name, 5u);  // 1.3, 1.3.6, 1.3.6.1.4, 1.3.6.1.4.1 and 1.3.6.1.4.1.9999
  for (size_t i = 1; i < m_tree.ObjectCount(); ++i) {
    const CSmiArcs& a = m_tree.ObjectAt(i - 1).oid;
    const CSmiArcs& b = m_tree.ObjectAt(i).oid;
    EXPECT_TRUE(std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end())) << i;
    // Linked to the first object of its parent OID.
    if (b.size() < 2) continue;
    EXPECT_EQ(m_tree.ObjectAt(i).parent, m_tree.FindObjectByOid(SmiOid(b.begin(), b.end() - 1))) << i;
  }
  CSmiTree::MarkVisible(*m_tree.FindObjectByOid({1, 3, 6, 1, 4, 1, 9999, 2}));
  EXPECT_TRUE(m_tree.FindObjectByOid({1, 3})->visible);
  EXPECT_FALSE(m_tree.FindObjectByOid({1, 3, 6, 1, 4, 1, 9999, 1})->visible);
}

// p is read first but completed last: it stays the first object of 1.3.5.
TEST_F(SmiTreeTest, AnObjectResolvedOntoAnExistingOidComesFirstAfterSorting) {
  m_tree.AddObject(Pending(L"p", {5}), L"base");
  m_tree.AddObject(Record(L"q", {1, 3, 5}));
  m_tree.AddObject(Record(L"child", {1, 3, 5, 1}));
  m_tree.AddObject(Record(L"base", {1, 3}));
  m_tree.Finish();
  const CSmiObject* first = m_tree.FindObjectByOid({1, 3, 5});
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->Name(), L"p");
  EXPECT_EQ(m_tree.FindObjectByOid({1, 3, 5, 1})->parent, first);
  EXPECT_EQ(OidOf(L"q"), L".1.3.5");
}

TEST_F(SmiTreeTest, NameLookupsFollowTheListOrderAcrossSorts) {
  m_tree.AddObject(Record(L"x", {1, 3, 9}));
  m_tree.AddObject(Record(L"x", {1, 3, 2}));
  EXPECT_EQ(OidOf(L"x"), L".1.3.9");  // read first
  m_tree.Finish();
  EXPECT_EQ(OidOf(L"x"), L".1.3.2");  // first in OID order
  // Two sorts with no lookup between them.
  m_tree.AddObject(Record(L"z", {1, 3, 0}));
  m_tree.Finish();
  m_tree.AddObject(Record(L"w", {1, 2}));
  m_tree.Finish();
  EXPECT_EQ(OidOf(L"x"), L".1.3.2");
  EXPECT_EQ(OidOf(L"z"), L".1.3.0");
  // A name declared again on an object earlier in the list: that one wins.
  m_tree.AddObject(Record(L"v", {1, 3, 9, 1}));
  m_tree.AddObject(Record(L"v", {1, 3, 0}));  // merges into z
  m_tree.Finish();
  EXPECT_EQ(OidOf(L"v"), L".1.3.0");
}

TEST_F(SmiTreeTest, ManyObjectsStayFoundByOidAndFirstOneWins) {
  constexpr int64_t kCount = 70000;  // more than the index first holds
  for (int64_t i = 0; i < kCount; ++i) m_tree.AddObject(Record(L"o", {1, 3, i % 7, i}));
  m_tree.AddObject(Pending(L"late", {2, 2}), L"three");
  m_tree.AddObject(Record(L"three", {1, 3}));
  m_tree.AddObject(Record(L"dup", {1, 3, 5, 5}));  // merges into o 5
  m_tree.Finish();
  for (int64_t i = 0; i < kCount; i += 997)
    ASSERT_EQ(m_tree.FindObjectByOid({1, 3, i % 7, i})->oid, (SmiOid{1, 3, i % 7, i}));
  EXPECT_EQ(m_tree.FindObjectByOid({1, 3, 5, 5})->declarations.size(), 2u);
  EXPECT_EQ(m_tree.FindObjectByOid({1, 3, 2, 2})->Name(), L"o");  // before late, which resolves onto it
  EXPECT_EQ(OidOf(L"late"), L".1.3.2.2");
  EXPECT_EQ(m_tree.FindObjectByOid({1, 3, 6, 5}), nullptr);
  EXPECT_EQ(m_tree.FindObjectByOid({1, 3, 2, 5, 0}), nullptr);
  EXPECT_EQ(m_tree.FindObjectByOid({}), nullptr);
}

TEST_F(SmiTreeTest, VisibleModulesMatchNameAndFile) {
  m_tree.AddObject(Record(L"mine", {1, 3, 1}, L"M"));
  CSmiObject other = Record(L"other", {1, 3, 2}, L"M");
  other.declarations[0].module = CSmiModuleRef(CSmiModuleKey{L"M", L"/elsewhere/M.mib"});
  m_tree.AddObject(other);
  m_tree.AddObject(Record(L"n", {1, 3, 3}, L"N"));
  m_tree.Finish();
  m_tree.MarkVisibleForModules({CSmiModuleKey{L"N", L"/m/N.mib"}, M});
  EXPECT_TRUE(ByName(L"mine")->visible);
  EXPECT_TRUE(ByName(L"n")->visible);
  EXPECT_TRUE(ByName(L"iso")->visible);  // an ancestor
  EXPECT_FALSE(ByName(L"other")->visible);
  EXPECT_FALSE(ByName(L"ccitt")->visible);
}

// Names of every length around the one kept in one byte, every code point,
// many in an arena (some longer than its chunk); copies outlive the arena.
TEST(SmiName, NamesReadBackInTheirBlockOrAnArena) {
  const std::wstring texts[] = {L"caf\u00e9",
                                std::wstring(1, static_cast<wchar_t>(0x1F600)),
                                std::wstring(1, static_cast<wchar_t>(0x7FFFFFFF)),
                                std::wstring(1, static_cast<wchar_t>(-1)),
                                std::wstring(1, L'\0') + L"x",
                                std::wstring(254, L'a'),
                                std::wstring(255, L'b'),
                                std::wstring(253, L'c') + L"\u00e9",
                                std::wstring(70000, L'd'),
                                L""};
  for (const std::wstring& text : texts) {
    const CSmiName name(text);
    EXPECT_EQ(name.Wide(), text);
    EXPECT_TRUE(name == text);
    EXPECT_FALSE(name == text + L"a");
    EXPECT_EQ(name.empty(), text.empty());
    EXPECT_EQ(name == text.substr(0, text.size() / 2), text.empty());
  }
  EXPECT_EQ(CSmiName(L"caf\u00e9").Utf8(), "caf\xc3\xa9");
  EXPECT_FALSE(CSmiName(L"caf\u00e9") == L"caf\u00e8");

  CSmiArena arena;
  std::vector<CSmiName> names;
  std::vector<std::wstring> written;
  for (int i = 0; i < 20000; ++i) {
    const size_t length = i % 1000 == 0 ? 40000 + i : i % 300;
    written.push_back(std::wstring(length, static_cast<wchar_t>(L'a' + i % 26)) + std::to_wstring(i));
    names.emplace_back(written.back());
    names.back().MoveInto(arena);
  }
  EXPECT_GT(arena.Chunks(), 2u);
  for (size_t i = 0; i < names.size(); ++i) ASSERT_EQ(names[i].Wide(), written[i]) << i;
  // A moved name keeps its block; a copy and a grown name take their own.
  const char* block = names[5].Block();
  CSmiName moved = std::move(names[5]);
  EXPECT_EQ(moved.Block(), block);
  CSmiName copy = moved;
  CSmiName grown = names[6];
  grown += L"!";
  arena.Clear();
  EXPECT_FALSE(copy.InArena());
  EXPECT_EQ(copy.Wide(), written[5]);
  EXPECT_EQ(grown.Wide(), written[6] + L"!");
  names.clear();  // frees nothing of the arena's
}

TEST_F(SmiTreeTest, ModuleRefsAndTypeNamesAreOnePerTextAndOutliveTheTree) {
  EXPECT_TRUE(CSmiTypeName(L"").empty());
  EXPECT_EQ(CSmiTypeName(L"").str(), L"");
  EXPECT_EQ(CSmiTypeName(L"DisplayString"), CSmiTypeName(std::wstring(L"DisplayString")));
  EXPECT_FALSE(CSmiTypeName(L"DisplayString") == CSmiTypeName(L"DisplayStrinG"));
  EXPECT_EQ(CSmiTypeName(L"Gauge32").str(), L"Gauge32");
  EXPECT_TRUE(CSmiModuleRef(CSmiModuleKey{}).empty());
  EXPECT_EQ(CSmiModuleRef(CSmiModuleKey{L"A", L"/x/B.mib"}), CSmiModuleRef(CSmiModuleKey{L"A", L"/x/B.mib"}));
  EXPECT_FALSE(CSmiModuleRef(CSmiModuleKey{L"A", L"B"}) == CSmiModuleRef(CSmiModuleKey{L"B", L"A"}));
  EXPECT_FALSE(CSmiModuleRef(CSmiModuleKey{L"A", L""}) == CSmiModuleRef(CSmiModuleKey{L"", L"A"}));

  // A lookup by a key no record names finds the built-ins and adds no entry.
  const CSmiModuleKey unseen{L"UNSEEN-MIB", L"/nowhere/UNSEEN-MIB.mib"};
  CSmiModuleRef ref;
  EXPECT_NE(m_tree.FindObjectByName(L"iso", unseen), nullptr);
  EXPECT_FALSE(CSmiModuleRef::Find(unseen, &ref));
  EXPECT_TRUE(ref.empty());

  m_tree.AddObject(Record(L"x", {1, 3, 9}, L"KEPT"));
  const CSmiObject* x = ByName(L"x");
  ASSERT_NE(x, nullptr);
  const CSmiDeclarations copied = x->declarations;
  EXPECT_NE(m_tree.FindObjectByName(L"x", CSmiModuleKey{L"KEPT", L"/m/KEPT.mib"}), nullptr);
  m_tree.Reset();
  EXPECT_EQ(copied[0].ModuleName(), L"KEPT");
  EXPECT_EQ(copied[0].FilePath(), L"/m/KEPT.mib");

  // Two threads adding the same keys past the first chunk of entries get
  // the same refs, each reading back its own texts.
  constexpr int kKeys = 5000;
  auto add = [](std::vector<CSmiModuleRef>& refs, std::vector<CSmiTypeName>& names) {
    for (int i = 0; i < kKeys; ++i) {
      refs.push_back(CSmiModuleRef(CSmiModuleKey{L"T" + std::to_wstring(i), L"/t/" + std::to_wstring(i)}));
      names.push_back(CSmiTypeName(L"Type" + std::to_wstring(i)));
    }
  };
  std::vector<CSmiModuleRef> a_refs, b_refs;
  std::vector<CSmiTypeName> a_names, b_names;
  std::thread a(add, std::ref(a_refs), std::ref(a_names));
  std::thread b(add, std::ref(b_refs), std::ref(b_names));
  a.join();
  b.join();
  for (int i = 0; i < kKeys; ++i) {
    ASSERT_EQ(a_refs[i], b_refs[i]) << i;
    ASSERT_EQ(a_refs[i].ModuleName(), L"T" + std::to_wstring(i));
    ASSERT_EQ(b_refs[i].FilePath(), L"/t/" + std::to_wstring(i));
    ASSERT_EQ(a_names[i], b_names[i]) << i;
    ASSERT_EQ(b_names[i].str(), L"Type" + std::to_wstring(i));
  }
}

TEST(SmiArcs, StoredFormsHoldTheirLargestArcAndReadBackAsBuilt) {
  CSmiArena arena;
  CSmiName odd(L"a");
  odd.MoveInto(arena);
  // Largest arcs at and just past the end of each form.
  const int64_t kLargest[] = {0,  255, 256, 65535, 65536, int64_t{UINT32_MAX}, int64_t{UINT32_MAX} + 1,
                              -1, 1,   127, 32768};
  std::vector<SmiOid> oids;
  std::vector<CSmiArcs> stored;
  for (int64_t largest : kLargest) {
    for (size_t at : {size_t{0}, size_t{3}}) {
      SmiOid oid{1, 3, 6, 1};
      oid.insert(oid.begin() + static_cast<std::ptrdiff_t>(at), largest);
      oids.push_back(oid);
      stored.emplace_back(oid);
      odd.MoveInto(arena);
      stored.back().MoveInto(arena);
    }
  }
  for (size_t i = 0; i < stored.size(); ++i) {
    const CSmiArcs built(oids[i]);
    ASSERT_EQ(stored[i].Vector(), oids[i]) << i;
    EXPECT_TRUE(stored[i] == built) << i;
    EXPECT_TRUE(built == stored[i]) << i;
    EXPECT_EQ(stored[i].Narrow(), built.Narrow()) << i;
    // Copies compare equal and stay when the arena goes; grown lists take
    // any arc.
    CSmiArcs copy = stored[i];
    EXPECT_TRUE(copy == stored[i]) << i;
    CSmiArcs grown = stored[i];
    grown.push_back(70000);
    grown.push_back(int64_t{1} << 35);
    SmiOid expected = oids[i];
    expected.push_back(70000);
    expected.push_back(int64_t{1} << 35);
    EXPECT_EQ(grown.Vector(), expected) << i;
    EXPECT_FALSE(grown.InArena());
  }
  // Lists that differ only past a form's end differ.
  EXPECT_FALSE(stored[2] == stored[4]);  // 255 and 256
  EXPECT_FALSE(stored[6] == CSmiArcs(SmiOid{65535 + 65536, 1, 3, 6, 1}));
  std::vector<CSmiArcs> copies(stored.begin(), stored.end());
  arena.Clear();
  for (size_t i = 0; i < copies.size(); ++i) ASSERT_EQ(copies[i].Vector(), oids[i]) << i;
  stored.clear();
}

// Enough texts for several packed blocks, one longer than a block, wide
// ones (kept as they are) and empty ones.
TEST_F(SmiTreeTest, PackedTextsReadBackAsSet) {
  std::vector<std::wstring> written;
  std::vector<CSmiText> texts(3000);
  CSmiTextPacker packer;
  for (size_t i = 0; i < texts.size(); ++i) {
    std::wstring text = L"text " + std::to_wstring(i) + std::wstring(i % 50, L'a' + static_cast<wchar_t>(i % 26));
    if (i == 7) text = std::wstring(100000, L'\u00e9');
    if (i == 8) text = L"\u20ac " + std::to_wstring(i);
    if (i == 9) text = L"\u20ac";
    if (i % 100 == 3) text.clear();
    texts[i] = text;
    written.push_back(text);
    packer.Add(texts[i]);
  }
  packer.Flush();
  const CSmiText copy = texts[1234];
  // Read out of order, and compared across blocks.
  for (size_t i = texts.size(); i-- > 0;) ASSERT_EQ(texts[i].Wide(), written[i]) << "text " << i;
  for (size_t i = 0; i < texts.size(); ++i) ASSERT_TRUE(texts[i] == written[i]) << "text " << i;
  EXPECT_EQ(copy, texts[1234]);
  EXPECT_FALSE(texts[10] == texts[2010]);
  EXPECT_TRUE(texts[3].empty());
  EXPECT_FALSE(texts[9] == L"\u00ac");  // not cut to a byte
  EXPECT_FALSE(CSmiText(L"\u20ac") == CSmiText(L"\u00ac"));
}

TEST_F(SmiTreeTest, SharedTextCopiesOutliveTheirOriginalsOnEveryThread) {
  auto original = std::make_unique<CSmiSharedText>(L"IF-MIB");
  CSmiSharedText copy = *original;
  CSmiSharedText moved = std::move(copy);
  CSmiSharedText& alias = moved;
  moved = alias;
  original.reset();
  EXPECT_EQ(moved.str(), L"IF-MIB");
  std::vector<CSmiText> texts(200);
  CSmiTextPacker packer;
  for (size_t i = 0; i < texts.size(); ++i) {
    texts[i] = L"description " + std::to_wstring(i);
    packer.Add(texts[i]);
  }
  packer.Flush();
  // Copies taken and dropped on two threads at once leave every count right.
  auto churn = [&] {
    for (int round = 0; round < 200; ++round) {
      std::vector<CSmiSharedText> names(20, moved);
      std::vector<CSmiText> kept(texts.begin(), texts.end());
    }
  };
  std::thread a(churn);
  std::thread b(churn);
  a.join();
  b.join();
  texts.erase(texts.begin(), texts.begin() + 100);
  EXPECT_EQ(moved.str(), L"IF-MIB");
  for (size_t i = 0; i < texts.size(); ++i) ASSERT_EQ(texts[i].Wide(), L"description " + std::to_wstring(i + 100));
}

TEST_F(SmiTreeTest, SortOrderComparesArcsThenLength) {
  auto order = [&] {
    m_tree.SortByOid();
    std::wstring names;
    for (size_t i = 0; i < m_tree.ObjectCount(); ++i) names += m_tree.ObjectAt(i).Name() + L" ";
    return names;
  };
  m_tree.AddObject(Record(L"c", {1, 3, 6, 1, 10}));
  m_tree.AddObject(Record(L"b", {1, 3, 6, 1, 2, 1}));
  m_tree.AddObject(Record(L"a", {1, 3, 6, 1, 2}));
  m_tree.AddObject(Record(L"big", {1, 3, 6, 1, 4294967295LL}));
  EXPECT_EQ(order(), L"ccitt iso a b c big iso-ccitt ");
  EXPECT_EQ(m_tree.FindObjectByOid({1, 3, 6, 1, 10})->Name(), L"c");  // found after the objects moved
  // Arcs outside the 32-bit range keep their order and are told apart by value.
  m_tree.Reset();
  m_tree.AddObject(Record(L"wide", {1, 3, 6, 5000000000LL}));
  m_tree.AddObject(Record(L"top", {1, 3, 6, 4294967295LL}));
  m_tree.AddObject(Record(L"negative", {1, 3, 6, -1}));
  m_tree.AddObject(Record(L"low", {1, 3, 6, 0}));
  EXPECT_EQ(order(), L"ccitt iso negative low top wide iso-ccitt ");
  EXPECT_EQ(SmiOidDotted({0, 5000000000LL, 4294967295LL, INT64_MIN}), L"0.5000000000.4294967295.-9223372036854775808");
  EXPECT_EQ(m_tree.FindObjectByOid({1, 3, 6, 5000000000LL})->Name(), L"wide");
  EXPECT_EQ(m_tree.FindObjectByOid({1, 3, 6, -1})->Name(), L"negative");
  EXPECT_EQ(m_tree.FindObjectByOid({1, 3, 6, 705032704}), nullptr);  // 5000000000 wrapped
}

TEST_F(SmiTreeTest, FindTypeBaseFollowsReferencesAndStopsOnCycles) {
  m_tree.AddType(TypeRecord(L"Small", SMI_TYPE_MACRO, L"TEXTUAL-CONVENTION"));
  m_tree.AddType(TypeRecord(L"Alias", SMI_TYPE_REFERENCE, L"Small"));
  EXPECT_EQ(m_tree.FindTypeBase(CSmiType{L"Alias", SMI_TYPE_REFERENCE, L"", {}}).name, L"TEXTUAL-CONVENTION");
  m_tree.AddType(TypeRecord(L"LoopA", SMI_TYPE_REFERENCE, L"LoopB"));
  m_tree.AddType(TypeRecord(L"LoopB", SMI_TYPE_REFERENCE, L"LoopA"));
  const std::wstring reached = m_tree.FindTypeBase(CSmiType{L"LoopA", SMI_TYPE_REFERENCE, L"", {}}).name;
  EXPECT_TRUE(reached == L"LoopA" || reached == L"LoopB");
}

TEST_F(SmiTreeTest, ModuleKeysFromPathsAndNames) {
  const CSmiModuleKey key = CSmiModuleKey::FromString(L"/x.y/IF-MIB.mib");
  EXPECT_EQ(key.module_name, L"IF-MIB");
  EXPECT_EQ(key.file_path, L"/x.y/IF-MIB.mib");
  EXPECT_TRUE(m_tree.RegisterModule(key));
  EXPECT_FALSE(m_tree.RegisterModule(key));
  EXPECT_FALSE(m_tree.FindModule(CSmiModuleKey{L"IF-MIB", L"/other/IF-MIB.mib"}));
}

}  // namespace
