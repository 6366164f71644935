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

class SmiTreeTest : public ::testing::Test {
 protected:
  void SetUp() override { m_tree.Reset(); }
  const CSmiObject* ByName(const std::wstring& name) const {
    for (size_t i = 0; i < m_tree.ObjectCount(); ++i)
      if (m_tree.ObjectAt(i).Name() == name) return &m_tree.ObjectAt(i);
    return nullptr;
  }
  CSmiModuleKey M{L"M", L"/m/M.mib"};
  CSmiTree m_tree;
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
  EXPECT_TRUE(m_tree.IsInitialised());
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
  // Both names now find it, each in its own module.
  EXPECT_EQ(m_tree.FindObjectByName(L"b", CSmiModuleKey{L"N", L"/m/N.mib"}), o);
  EXPECT_EQ(m_tree.FindObjectByName(L"b", M), nullptr);
  EXPECT_EQ(m_tree.FindObjectByName(L"iso", M), m_tree.FindObjectByOid({1}));
  EXPECT_EQ(m_tree.FindObjectByName(L"c", M), m_tree.FindObjectByOid({1, 3, 7, 0}));
}

TEST_F(SmiTreeTest, DeclarationsKeepTheirOrderThroughGrowthCopiesAndMoves) {
  const std::vector<std::wstring> names = {L"a", L"b", L"c", L"d", L"e"};
  for (size_t i = 0; i < names.size(); ++i) m_tree.AddObject(Record(names[i], {1, 3, 9}, L"M", static_cast<int>(i)));
  const CSmiObject* o = m_tree.FindObjectByOid({1, 3, 9});
  ASSERT_NE(o, nullptr);
  auto names_of = [](const CSmiDeclarations& list) {
    std::vector<std::wstring> out;
    for (const CSmiDeclaration& d : list) out.push_back(d.name.Wide());
    return out;
  };
  EXPECT_EQ(names_of(o->declarations), names);
  for (size_t kept = 0; kept <= names.size(); ++kept) {
    CSmiDeclarations list;
    for (size_t i = 0; i < kept; ++i) list.push_back(o->declarations[i]);
    list.shrink_to_fit();
    const std::vector<std::wstring> want(names.begin(), names.begin() + static_cast<std::ptrdiff_t>(kept));
    CSmiDeclarations copy = list;
    EXPECT_EQ(names_of(copy), want) << kept;
    CSmiDeclarations moved = std::move(list);
    EXPECT_EQ(names_of(moved), want) << kept;
    EXPECT_TRUE(list.empty()) << kept;
    copy = moved;  // over a list that holds the same
    moved = CSmiDeclarations{};
    EXPECT_EQ(names_of(copy), want) << kept;
    EXPECT_TRUE(moved.empty()) << kept;
  }
}

TEST(SmiCompactList, NestedTypesKeepTheirOrderThroughGrowthCopiesAndMoves) {
  auto texts_of = [](const CSmiCompactList<CSmiType>& list) {
    std::vector<std::wstring> out;
    for (const CSmiType& t : list) out.push_back(t.DisplayText(true));
    return out;
  };
  for (size_t count : {0, 1, 2, 3, 5, 17}) {
    CSmiType type;
    std::vector<std::wstring> want;
    for (size_t i = 0; i < count; ++i) {
      CSmiType& nested = type.nested.emplace_back();
      nested.kind = SMI_TYPE_REFERENCE;
      nested.name = L"T" + std::to_wstring(i);
      nested.constraint = L"SIZE 0.." + std::to_wstring(i);
      want.push_back(L"T" + std::to_wstring(i) + L" (SIZE 0.." + std::to_wstring(i) + L")");
    }
    EXPECT_EQ(texts_of(type.nested), want) << count;
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
      grown.nested.push_back(CSmiType{L"Extra", SMI_TYPE_REFERENCE, L"", {}});
      EXPECT_FALSE(grown.nested.InArena());
      in_arena = CSmiType();
      arena.Clear();
      EXPECT_EQ(texts_of(copied.nested), want) << count;
      ASSERT_EQ(grown.nested.size(), count + 1);
      EXPECT_EQ(grown.nested[count].DisplayText(false), L"Extra");
    }
    CSmiType copy = type;
    type.nested.push_back(CSmiType{L"Extra", SMI_TYPE_REFERENCE, L"", {}});
    EXPECT_EQ(texts_of(copy.nested), want) << count;  // the copy has its own items
    ASSERT_EQ(type.nested.size(), count + 1);
    EXPECT_EQ(type.nested[count].DisplayText(false), L"Extra");
    CSmiType moved = std::move(copy);
    EXPECT_TRUE(copy.nested.empty());
    EXPECT_EQ(texts_of(moved.nested), want) << count;
    moved.nested = type.nested;  // over a list of its own
    EXPECT_EQ(moved.nested.size(), count + 1);
    moved.nested = CSmiCompactList<CSmiType>();
    EXPECT_TRUE(moved.nested.empty());
    EXPECT_THROW(moved.nested.at(0), std::out_of_range);
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
    EXPECT_EQ(shared.use_count(), 7);
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
  const CSmiObject* leaf = m_tree.FindObjectByOid({1, 3, 6, 1, 4, 1, 9999, 1});
  ASSERT_NE(leaf, nullptr);
  ASSERT_NE(leaf->parent, nullptr);
  EXPECT_EQ(leaf->parent->OidText(), L".1.3.6.1.4.1.9999");
  for (size_t i = 1; i < m_tree.ObjectCount(); ++i) {
    const CSmiArcs& a = m_tree.ObjectAt(i - 1).oid;
    const CSmiArcs& b = m_tree.ObjectAt(i).oid;
    EXPECT_TRUE(std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end())) << i;
  }
  // Every object is linked to the first object of its parent OID.
  for (size_t i = 0; i < m_tree.ObjectCount(); ++i) {
    const CSmiObject& o = m_tree.ObjectAt(i);
    if (o.oid.size() < 2) continue;
    EXPECT_EQ(o.parent, m_tree.FindObjectByOid(SmiOid(o.oid.begin(), o.oid.end() - 1))) << i;
  }
  CSmiTree::MarkVisible(*m_tree.FindObjectByOid({1, 3, 6, 1, 4, 1, 9999, 2}));
  EXPECT_TRUE(m_tree.FindObjectByOid({1, 3})->visible);
  EXPECT_FALSE(m_tree.FindObjectByOid({1, 3, 6, 1, 4, 1, 9999, 1})->visible);
}

TEST_F(SmiTreeTest, AnObjectResolvedOntoAnExistingOidComesFirstAfterSorting) {
  // p is read first but completed last: it is the first object of 1.3.5
  // and stays so once the list is sorted.
  m_tree.AddObject(Pending(L"p", {5}), L"base");
  m_tree.AddObject(Record(L"q", {1, 3, 5}));
  m_tree.AddObject(Record(L"child", {1, 3, 5, 1}));
  m_tree.AddObject(Record(L"base", {1, 3}));
  m_tree.Finish();
  const CSmiObject* first = m_tree.FindObjectByOid({1, 3, 5});
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->Name(), L"p");
  ASSERT_NE(m_tree.FindObjectByOid({1, 3, 5, 1}), nullptr);
  EXPECT_EQ(m_tree.FindObjectByOid({1, 3, 5, 1})->parent, first);
  EXPECT_EQ(m_tree.FindObjectByName(L"q", M)->OidText(), L".1.3.5");
  EXPECT_EQ(m_tree.FindObjectByName(L"base", M), m_tree.FindObjectByOid({1, 3}));
}

TEST_F(SmiTreeTest, NameLookupsFollowTheListOrderAcrossSorts) {
  m_tree.AddObject(Record(L"x", {1, 3, 9}));
  m_tree.AddObject(Record(L"x", {1, 3, 2}));
  EXPECT_EQ(m_tree.FindObjectByName(L"x", M)->OidText(), L".1.3.9");  // read first
  m_tree.Finish();
  EXPECT_EQ(m_tree.FindObjectByName(L"x", M)->OidText(), L".1.3.2");  // first in OID order
  m_tree.AddObject(Record(L"x", {1, 3, 1}));
  m_tree.AddObject(Pending(L"y", {7}), L"x");
  m_tree.Finish();
  EXPECT_EQ(m_tree.FindObjectByName(L"x", M)->OidText(), L".1.3.1");
  EXPECT_EQ(m_tree.FindObjectByName(L"y", M)->OidText(), L".1.3.2.7");  // resolved before the sort
  // Two sorts with no lookup between them.
  m_tree.AddObject(Record(L"z", {1, 3, 0}));
  m_tree.Finish();
  m_tree.AddObject(Record(L"w", {1, 2}));
  m_tree.Finish();
  EXPECT_EQ(m_tree.FindObjectByName(L"x", M)->OidText(), L".1.3.1");
  EXPECT_EQ(m_tree.FindObjectByName(L"z", M)->OidText(), L".1.3.0");
  EXPECT_EQ(m_tree.FindObjectByName(L"w", M)->OidText(), L".1.2");
  // A name declared again on an object earlier in the list: that one wins.
  m_tree.Reset();
  m_tree.AddObject(Record(L"a", {1, 3, 1}));
  m_tree.AddObject(Record(L"v", {1, 3, 9}));
  m_tree.AddObject(Record(L"v", {1, 3, 1}));  // merges into a
  EXPECT_EQ(m_tree.FindObjectByName(L"v", M)->Name(), L"a");
  m_tree.AddObject(Record(L"v", {1, 3, 9, 1}));
  m_tree.Finish();
  EXPECT_EQ(m_tree.FindObjectByName(L"v", M)->OidText(), L".1.3.1");
}

TEST_F(SmiTreeTest, ManyObjectsStayFoundByOidAndFirstOneWins) {
  // More objects than the index first holds: it grows on the way.
  constexpr int64_t kCount = 70000;
  for (int64_t i = 0; i < kCount; ++i) m_tree.AddObject(Record(L"o", {1, 3, i % 7, i}));
  m_tree.AddObject(Pending(L"late", {2, 2}), L"three");
  m_tree.AddObject(Record(L"three", {1, 3}));
  m_tree.AddObject(Record(L"dup", {1, 3, 5, 5}));  // merges into o 5
  m_tree.Finish();
  for (int64_t i = 0; i < kCount; i += 997) {
    const CSmiObject* o = m_tree.FindObjectByOid({1, 3, i % 7, i});
    ASSERT_NE(o, nullptr) << i;
    EXPECT_EQ(o->oid, (SmiOid{1, 3, i % 7, i}));
  }
  EXPECT_EQ(m_tree.FindObjectByOid({1, 3, 5, 5})->declarations.size(), 2u);
  EXPECT_EQ(m_tree.FindObjectByOid({1, 3, 2, 2})->Name(), L"o");  // before late, which resolves onto it
  EXPECT_EQ(m_tree.FindObjectByName(L"late", M)->oid, (SmiOid{1, 3, 2, 2}));
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

TEST_F(SmiTreeTest, TextsReadBackAsSet) {
  CSmiText bytes = std::wstring(L"caf\u00e9\n\x01");
  EXPECT_EQ(bytes.Wide(), L"caf\u00e9\n\x01");
  EXPECT_EQ(bytes.size(), 6u);
  CSmiText wide = L"\u20ac 5";
  EXPECT_EQ(wide.Wide(), L"\u20ac 5");
  EXPECT_EQ(wide, std::wstring(L"\u20ac 5"));
  CSmiText copy = wide;  // a wide text is copied, not shared
  wide = L"\u20ac 6";
  EXPECT_EQ(copy, std::wstring(L"\u20ac 5"));
  EXPECT_FALSE(wide == L"\u00ac 5");  // not cut to a byte
  EXPECT_FALSE(bytes == L"caf\u00e9\n");
  EXPECT_EQ(CSmiText(L"ab"), CSmiText(std::wstring(L"ab")));
  wide = L"ab";
  EXPECT_EQ(wide, CSmiText(L"ab"));
  EXPECT_FALSE(CSmiText(L"\u20ac") == CSmiText(L"\u00ac"));
  EXPECT_TRUE(CSmiText().empty());
  const std::wstring back = bytes;
  EXPECT_EQ(back, bytes.Wide());
}

TEST_F(SmiTreeTest, NamesKeepEveryCharacter) {
  const std::wstring texts[] = {L"ifIndex", L"caf\u00e9", L"\u20ac", std::wstring(1, static_cast<wchar_t>(0x1F600)),
                                std::wstring(1, static_cast<wchar_t>(0x7FFFFFFF)),
                                std::wstring(1, static_cast<wchar_t>(-1)), std::wstring(1, L'\0') + L"x",
                                // Around the longest length kept in one byte.
                                std::wstring(254, L'a'), std::wstring(255, L'b'), std::wstring(253, L'c') + L"\u00e9",
                                std::wstring(70000, L'd'), L""};
  for (const std::wstring& text : texts) {
    const CSmiName name(text);
    EXPECT_EQ(name.Wide(), text);
    EXPECT_TRUE(name == text);
    EXPECT_FALSE(name == text + L"a");
    EXPECT_EQ(name.empty(), text.empty());
    if (!text.empty()) {
      EXPECT_FALSE(name == text.substr(0, text.size() / 2));
    }
  }
  EXPECT_EQ(CSmiName(L"caf\u00e9").Utf8(), "caf\xc3\xa9");
  EXPECT_FALSE(CSmiName(L"caf\u00e9") == L"caf\u00e8");
  EXPECT_FALSE(CSmiName(L"ab") == L"a");
  // Found by name whatever its characters.
  m_tree.AddObject(Record(L"caf\u00e9\u20ac", {1, 3, 9}));
  const CSmiObject* found = m_tree.FindObjectByName(L"caf\u00e9\u20ac", M);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->Name(), L"caf\u00e9\u20ac");
  EXPECT_EQ(m_tree.FindObjectByName(L"caf\u00e9\u20ad", M), nullptr);
}

TEST(SmiName, ArenaNamesReadBackAndCopiesOutliveTheArena) {
  CSmiArena arena;
  std::vector<CSmiName> names;
  std::vector<std::wstring> texts;
  // Enough to fill several chunks; some longer than a chunk takes, odd
  // lengths between them.
  for (int i = 0; i < 20000; ++i) {
    const size_t length = i % 1000 == 0 ? 40000 + i : i % 300;
    texts.push_back(std::wstring(length, static_cast<wchar_t>(L'a' + i % 26)) + std::to_wstring(i));
    names.emplace_back(texts.back());
    names.back().MoveInto(arena);
  }
  EXPECT_GT(arena.Chunks(), 2u);
  for (size_t i = 0; i < names.size(); ++i) {
    ASSERT_TRUE(names[i].InArena()) << i;
    ASSERT_EQ(names[i].Wide(), texts[i]) << i;
  }
  // A moved name keeps its block; a copy and a grown name take their own.
  const char* block = names[5].Block();
  CSmiName moved = std::move(names[5]);
  EXPECT_EQ(moved.Block(), block);
  CSmiName copy = moved;
  CSmiName grown = names[6];
  grown += L"!";
  CSmiName empty;
  empty.MoveInto(arena);
  EXPECT_TRUE(empty.empty());
  arena.Clear();
  EXPECT_FALSE(copy.InArena());
  EXPECT_EQ(copy.Wide(), texts[5]);
  EXPECT_EQ(grown.Wide(), texts[6] + L"!");
  // Freeing names whose bytes were in the arena frees nothing of theirs.
  names.clear();
}

TEST(SmiArcs, ArenaArcsReadBackGrowAndCopiesOutliveTheArena) {
  CSmiArena arena;
  CSmiName odd(L"abc");  // leaves the arena at an odd offset
  odd.MoveInto(arena);
  std::vector<SmiOid> oids;
  std::vector<CSmiArcs> arcs;
  for (int64_t i = 0; i < 5000; ++i) {
    SmiOid oid{1, 3, 6, i};
    for (int64_t k = 0; k < i % 13; ++k) oid.push_back(i * k);
    if (i % 500 == 7) oid.push_back(int64_t{1} << 40);  // 64-bit arcs
    if (i % 500 == 8) oid.push_back(-1);
    oids.push_back(oid);
    arcs.emplace_back(oid);
    arcs.back().MoveInto(arena);
  }
  for (size_t i = 0; i < arcs.size(); ++i) {
    ASSERT_TRUE(arcs[i].InArena()) << i;
    ASSERT_EQ(arcs[i].Vector(), oids[i]) << i;
  }
  EXPECT_TRUE(arcs[0] == CSmiArcs(oids[0]));
  EXPECT_FALSE(arcs[0] == arcs[1]);
  // Growing, widening and inserting leave the arena's block as it was.
  const CSmiArcs copy = arcs[2];
  const SmiOid copied = oids[2];
  arcs[2].push_back(9);
  arcs[3].push_back(int64_t{1} << 33);
  arcs[4].insert(1, oids[5].begin(), oids[5].end());
  EXPECT_EQ(arcs[1].Vector(), oids[1]);
  EXPECT_EQ(arcs[5].Vector(), oids[5]);
  oids[2].push_back(9);
  oids[3].push_back(int64_t{1} << 33);
  oids[4].insert(oids[4].begin() + 1, oids[5].begin(), oids[5].end());
  for (size_t i = 2; i <= 4; ++i) EXPECT_FALSE(arcs[i].InArena()) << i;
  arena.Clear();
  for (size_t i = 2; i <= 4; ++i) EXPECT_EQ(arcs[i].Vector(), oids[i]) << i;
  EXPECT_EQ(copy.Vector(), copied);
  arcs.clear();
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

TEST_F(SmiTreeTest, StoredNamesConstraintsAndSymbolsSurviveGrowthAndReset) {
  constexpr int kCount = 6000;
  for (int i = 0; i < kCount; ++i) {
    CSmiObject r = Record(L"object" + std::to_wstring(i), {1, 3, 6, i});
    r.type.constraint = CSmiName(L"SIZE (0.." + std::to_wstring(i) + L")");
    CSmiType nested;
    nested.constraint = CSmiName(L"item" + std::to_wstring(i) + L"(1)");
    r.type.nested.push_back(nested);
    m_tree.AddObject(std::move(r));
    m_tree.AddImport(M, L"Symbol" + std::to_wstring(i));
  }
  m_tree.AddObject(Record(L"second", {1, 3, 6, 7}));  // merges into object7
  m_tree.Finish();
  const CSmiObject* kept = nullptr;  // the last one checked
  for (int i = 0; i < kCount; i += 599) {
    const CSmiObject* o = m_tree.FindObjectByName(L"object" + std::to_wstring(i), M);
    ASSERT_NE(o, nullptr) << i;
    EXPECT_EQ(o->oid, (SmiOid{1, 3, 6, i}));
    EXPECT_EQ(o->type.constraint.Wide(), L"SIZE (0.." + std::to_wstring(i) + L")");
    ASSERT_EQ(o->type.nested.size(), 1u);
    EXPECT_EQ(o->type.nested.begin()->constraint.Wide(), L"item" + std::to_wstring(i) + L"(1)");
    kept = o;
  }
  const CSmiObject* merged = m_tree.FindObjectByName(L"second", M);
  ASSERT_NE(merged, nullptr);
  EXPECT_EQ(merged->Name(), L"object7");
  ASSERT_EQ(merged->declarations.size(), 2u);
  EXPECT_EQ(merged->declarations[1].name, L"second");
  const auto& imports = m_tree.Imports();
  ASSERT_EQ(imports.size(), static_cast<size_t>(kCount));
  EXPECT_EQ(imports[4321].symbol.Wide(), L"Symbol4321");
  // A copy taken from the tree reads back after the tree let go of it.
  const CSmiObject copy = *kept;
  m_tree.Reset();
  EXPECT_EQ(copy.Name(), L"object5990");
  EXPECT_EQ(copy.type.constraint.Wide(), L"SIZE (0..5990)");
  EXPECT_EQ(m_tree.FindObjectByName(L"object7", M), nullptr);
  m_tree.AddObject(Record(L"again", {1, 3, 6, 1}));
  EXPECT_EQ(m_tree.FindObjectByName(L"again", M)->Name(), L"again");
}

TEST_F(SmiTreeTest, PackedTextsReadBackAsSet) {
  // Enough texts for several packed blocks, one longer than a block, one
  // wide (kept as it is) and empty ones.
  std::vector<std::wstring> written;
  std::vector<CSmiText> texts(3000);
  CSmiTextPacker packer;
  for (size_t i = 0; i < texts.size(); ++i) {
    std::wstring text = L"text " + std::to_wstring(i) + std::wstring(i % 50, L'a' + static_cast<wchar_t>(i % 26));
    if (i == 7) text = std::wstring(100000, L'é');
    if (i == 8) text = L"\u20ac " + std::to_wstring(i);
    if (i == 9) text = L"\u20ac";
    if (i % 100 == 3) text.clear();
    texts[i] = text;
    written.push_back(text);
    packer.Add(texts[i]);
    EXPECT_EQ(texts[i].Wide(), text) << "before packing, text " << i;
  }
  packer.Flush();
  const CSmiText copy = texts[1234];
  for (size_t i = 0; i < texts.size(); ++i) {
    ASSERT_EQ(texts[i].size(), written[i].size()) << "text " << i;
    ASSERT_EQ(texts[i].Wide(), written[i]) << "text " << i;
  }
  // Read out of order, and compared across blocks.
  for (size_t i = texts.size(); i-- > 0;) ASSERT_TRUE(texts[i] == written[i]) << "text " << i;
  EXPECT_EQ(copy, texts[1234]);
  EXPECT_FALSE(texts[10] == texts[2010]);
  CSmiText same = written[2010];
  EXPECT_EQ(same, texts[2010]);
  EXPECT_EQ(texts[3].empty(), true);
}

TEST_F(SmiTreeTest, SharedTextCopiesOutliveTheirOriginalsOnEveryThread) {
  auto original = std::make_unique<CSmiSharedText>(L"IF-MIB");
  CSmiSharedText copy = *original;
  CSmiSharedText moved = std::move(copy);
  EXPECT_TRUE(copy.empty());
  CSmiSharedText& alias = moved;
  moved = alias;
  CSmiSharedText other = L"other";
  other = moved;
  original.reset();
  EXPECT_EQ(moved.str(), L"IF-MIB");
  EXPECT_EQ(other, moved);

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

TEST_F(SmiTreeTest, DescriptionsSurviveTheLoadsEnd) {
  for (int i = 0; i < 2000; ++i) {
    CSmiObject r = Record(L"o" + std::to_wstring(i), {1, 3, 6, 1, 2000 - i});
    r.description = L"about o" + std::to_wstring(i) + std::wstring(40, L' ') + L"end";
    m_tree.AddObject(std::move(r));
  }
  // Set anew before the texts are packed: the new text stays.
  m_tree.ObjectAt(m_tree.ObjectCount() - 1).description = L"changed";
  m_tree.Finish();
  EXPECT_EQ(ByName(L"o1999")->description.Wide(), L"changed");
  for (int i = 0; i < 1999; ++i) {
    const CSmiObject* o = ByName(L"o" + std::to_wstring(i));
    ASSERT_NE(o, nullptr);
    ASSERT_EQ(o->description.Wide(), L"about o" + std::to_wstring(i) + std::wstring(40, L' ') + L"end");
  }
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
  // Lookups still work after the objects moved.
  EXPECT_EQ(m_tree.FindObjectByName(L"b", M)->OidText(), L".1.3.6.1.2.1");
  EXPECT_EQ(m_tree.FindObjectByOid({1, 3, 6, 1, 10})->Name(), L"c");
  // Arcs outside the 32-bit range keep their order.
  m_tree.Reset();
  m_tree.AddObject(Record(L"wide", {1, 3, 6, 5000000000LL}));
  m_tree.AddObject(Record(L"top", {1, 3, 6, 4294967295LL}));
  m_tree.AddObject(Record(L"negative", {1, 3, 6, -1}));
  m_tree.AddObject(Record(L"low", {1, 3, 6, 0}));
  EXPECT_EQ(order(), L"ccitt iso negative low top wide iso-ccitt ");
  EXPECT_EQ(SmiOidText({1, 3, 6, -1}), L".1.3.6.-1");
  EXPECT_EQ(SmiOidDotted({0, 5000000000LL, 4294967295LL, INT64_MIN}), L"0.5000000000.4294967295.-9223372036854775808");
  EXPECT_EQ(SmiOidDotted(SmiOid{}), L"");
  // Records of 32-bit and of wider arcs are told apart by value only.
  EXPECT_EQ(m_tree.FindObjectByOid({1, 3, 6, 5000000000LL})->Name(), L"wide");
  EXPECT_EQ(m_tree.FindObjectByOid({1, 3, 6, -1})->Name(), L"negative");
  EXPECT_EQ(m_tree.FindObjectByOid({1, 3, 6, 4294967295LL})->Name(), L"top");
  EXPECT_EQ(m_tree.FindObjectByOid({1, 3, 6, 705032704}), nullptr);  // 5000000000 wrapped
  EXPECT_EQ(m_tree.FindObjectByName(L"negative", M)->oid, (SmiOid{1, 3, 6, -1}));
}

TEST_F(SmiTreeTest, FindTypeBaseFollowsReferencesAndStopsOnCycles) {
  CSmiObject tc;
  tc.type.kind = SMI_TYPE_MACRO;
  tc.type.name = L"TEXTUAL-CONVENTION";
  tc.type.nested.push_back(CSmiType{L"", SMI_TYPE_INTEGER, L"0..255", {}});
  tc.declarations.push_back(CSmiDeclaration{L"Small", L"M", L"/m/M.mib", 3});
  m_tree.AddType(tc);
  CSmiObject alias;
  alias.type = CSmiType{L"Small", SMI_TYPE_REFERENCE, L"", {}};
  alias.declarations.push_back(CSmiDeclaration{L"Alias", L"M", L"/m/M.mib", 4});
  m_tree.AddType(alias);
  const CSmiType ref{L"Alias", SMI_TYPE_REFERENCE, L"", {}};
  EXPECT_EQ(m_tree.FindTypeBase(ref).name, L"TEXTUAL-CONVENTION");

  CSmiObject loop_a;
  loop_a.type = CSmiType{L"LoopB", SMI_TYPE_REFERENCE, L"", {}};
  loop_a.declarations.push_back(CSmiDeclaration{L"LoopA", L"M", L"/m/M.mib", 5});
  CSmiObject loop_b;
  loop_b.type = CSmiType{L"LoopA", SMI_TYPE_REFERENCE, L"", {}};
  loop_b.declarations.push_back(CSmiDeclaration{L"LoopB", L"M", L"/m/M.mib", 6});
  m_tree.AddType(loop_a);
  m_tree.AddType(loop_b);
  const CSmiType start{L"LoopA", SMI_TYPE_REFERENCE, L"", {}};
  const std::wstring reached = m_tree.FindTypeBase(start).name;
  EXPECT_TRUE(reached == L"LoopA" || reached == L"LoopB");
}

TEST_F(SmiTreeTest, ModuleKeysFromPathsAndNames) {
  const CSmiModuleKey key = CSmiModuleKey::FromString(L"/x.y/IF-MIB.mib");
  EXPECT_EQ(key.module_name, L"IF-MIB");
  EXPECT_EQ(key.file_path, L"/x.y/IF-MIB.mib");
  EXPECT_TRUE(m_tree.RegisterModule(key));
  EXPECT_FALSE(m_tree.RegisterModule(key));
  EXPECT_TRUE(m_tree.FindModule(key));
  EXPECT_FALSE(m_tree.FindModule(CSmiModuleKey{L"IF-MIB", L"/other/IF-MIB.mib"}));
  EXPECT_STREQ(SmiAccessText(8), L"Unknown access");  // past the last code
  EXPECT_STREQ(SmiStatusText(0), L"Unknown status");
}

}  // namespace

namespace {

TEST(SmiNameIndex, GrowsKeepsEveryNameAndItsAscendingPositions) {
  CSmiNameIndex index;
  index.Clear(1);
  CSmiNameIndex::Positions p;
  EXPECT_FALSE(index.Find("none", p));
  // The index keeps the first name of each key: the later equal ones may go.
  std::vector<CSmiName> firsts;
  for (uint32_t i = 0; i < 1000; ++i) firsts.emplace_back(L"name" + std::to_wstring(i));
  for (uint32_t i = 0; i < 3000; ++i) {
    if (i < 1000) {
      index.Insert(firsts[i], 3000 - i);
    } else {
      index.Insert(CSmiName(L"name" + std::to_wstring(i % 1000)), 3000 - i);
    }
  }
  index.Insert(CSmiName(L"name5"), 2995);  // already there
  auto rest = [&] { return std::vector<uint32_t>(p.rest.begin(), p.rest.end()); };
  for (uint32_t n = 0; n < 1000; ++n) {
    ASSERT_TRUE(index.Find("name" + std::to_string(n), p)) << n;
    // Inserted as 3000-n, 2000-n, 1000-n: kept ascending.
    EXPECT_EQ(p.first, 1000 - n);
    EXPECT_EQ(rest(), (std::vector<uint32_t>{2000 - n, 3000 - n}));
  }
  EXPECT_FALSE(index.Find("name1000", p));
  EXPECT_FALSE(index.Find("name", p));
  // Renumbering reverses the order: still ascending afterwards.
  std::vector<uint32_t> reverse(3001);
  for (uint32_t i = 0; i <= 3000; ++i) reverse[i] = 3000 - i;
  index.Remap(reverse);
  ASSERT_TRUE(index.Find("name7", p));
  EXPECT_EQ(p.first, 7u);
  EXPECT_EQ(rest(), (std::vector<uint32_t>{1007, 2007}));
}

TEST(SmiNameIndex, KeysOfEveryLengthAndCharacter) {
  // Long keys, an empty one, and keys beyond ASCII (kept as UTF-8).
  CSmiNameIndex index;
  index.Clear(4);
  std::vector<std::wstring> keys;
  for (size_t i = 0; i < 400; ++i)
    keys.push_back(std::wstring(i * 37 % 1500, static_cast<wchar_t>(L'a' + i % 26)) + std::to_wstring(i));
  keys.push_back(std::wstring(70000, L'x'));
  keys.push_back(std::wstring(65536, L'y'));
  keys.push_back(L"");
  keys.push_back(L"after");
  keys.push_back(L"caf\u00e9-\u65e5");
  std::vector<CSmiName> names(keys.begin(), keys.end());
  for (size_t i = 0; i < names.size(); ++i) index.Insert(names[i], static_cast<uint32_t>(i));
  CSmiNameIndex::Positions p;
  for (size_t i = 0; i < keys.size(); ++i) {
    std::string utf8;
    SmiAppendUtf8(keys[i], utf8);
    ASSERT_TRUE(index.Find(utf8, p)) << i;
    EXPECT_EQ(p.first, i);
    EXPECT_TRUE(p.rest.empty());
  }
  EXPECT_FALSE(index.Find(std::string(70000, 'y'), p));
}

}  // namespace
