#include "smi/SmiLoader.h"

#include "SmiTestSupport.h"
#include "smi/MibFolders.h"
#include "smi/SmiTree.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

const char* const kSmi = R"(SMI DEFINITIONS ::= BEGIN
org OBJECT IDENTIFIER ::= { iso 3 }
internet OBJECT IDENTIFIER ::= { org 6 1 }
END)";

const char* const kTc = R"(TC DEFINITIONS ::= BEGIN
IMPORTS internet FROM SMI;
tcRoot OBJECT IDENTIFIER ::= { internet 77 }
Small ::= TEXTUAL-CONVENTION STATUS current DESCRIPTION "s" SYNTAX INTEGER (0..9)
END)";

const char* const kIf = R"(IF DEFINITIONS ::= BEGIN
IMPORTS internet FROM SMI
        Small FROM TC;
ifRoot OBJECT IDENTIFIER ::= { internet 2 }
ifLeaf OBJECT-TYPE SYNTAX Small MAX-ACCESS read-only STATUS current ::= { ifRoot 1 }
END)";

class SmiLoaderTest : public SmiTempHome {
 protected:
  void SetUp() override {
    SmiTempHome::SetUp();
    WriteModule("SMI", kSmi);
    WriteModule("TC", kTc);
    WriteModule("IF", kIf);
  }
  bool Load(const std::wstring& list, bool reset = true, uint32_t mode = 1) {
    return m_loader.Load(ModuleKeysFromList(list), reset, mode);
  }
  const CSmiObject* Object(const std::wstring& name) const { return Named(m_tree, name); }

  CSmiTree m_tree;
  CSmiLoader m_loader{m_tree};
};

TEST_F(SmiLoaderTest, ImportsAreReadOnceAndOnlyListedModulesAreVisible) {
  LogCapture log(QLF_PROGRAM_LEX_FILE);
  ASSERT_TRUE(Load(L"IF")) << quillog::WideToUtf8(m_loader.ErrorText());
  EXPECT_EQ(log.CountContaining(L"Beginning of MIB file"), 3u);
  EXPECT_EQ(log.Count(L"Beginning of MIB file " + ModulePath("SMI")), 1u);
  ASSERT_NE(Object(L"ifLeaf"), nullptr);
  EXPECT_EQ(Object(L"ifLeaf")->OidText(), L".1.3.6.1.2.1");
  EXPECT_TRUE(Object(L"ifLeaf")->visible);
  EXPECT_TRUE(Object(L"internet")->visible);  // an ancestor
  EXPECT_FALSE(Object(L"tcRoot")->visible);
  EXPECT_EQ(m_tree.Modules().size(), 3u);
  EXPECT_EQ(m_loader.Scanner().Depth(), 0);
  EXPECT_EQ(m_loader.Scanner().TokenStringCount(), 0u);
  // Mode 0 with a reset shows everything.
  ASSERT_TRUE(Load(L"IF", true, 0));
  EXPECT_TRUE(Object(L"tcRoot")->visible);
}

TEST_F(SmiLoaderTest, AlreadyLoadedImportsOpenNoFile) {
  ASSERT_TRUE(Load(L"SMI"));
  LogCapture log(QLF_PROGRAM_LEX_FILE);
  // SMI is registered: loading TC opens TC's file only.
  ASSERT_TRUE(Load(L"TC", false)) << quillog::WideToUtf8(m_loader.ErrorText());
  EXPECT_EQ(log.CountContaining(L"Beginning of MIB file"), 1u);
  EXPECT_EQ(log.Count(L"Beginning of MIB file " + ModulePath("TC")), 1u);
  EXPECT_EQ(Object(L"tcRoot")->OidText(), L".1.3.6.1.77");
  EXPECT_NE(Object(L"org"), nullptr);
}

TEST_F(SmiLoaderTest, ImportCyclesAreParsedOnceEach) {
  WriteModule("CA", "CA DEFINITIONS ::= BEGIN IMPORTS b FROM CB; a OBJECT IDENTIFIER ::= { iso 10 } END");
  WriteModule("CB", "CB DEFINITIONS ::= BEGIN IMPORTS a FROM CA; b OBJECT IDENTIFIER ::= { a 1 } END");
  LogCapture log(QLF_PROGRAM_LEX_FILE);
  ASSERT_TRUE(Load(L"CA")) << quillog::WideToUtf8(m_loader.ErrorText());
  EXPECT_EQ(log.CountContaining(L"Beginning of MIB file"), 2u);
  EXPECT_EQ(Object(L"b")->OidText(), L".1.10.1");
}

TEST_F(SmiLoaderTest, SyntaxErrorInAnImportNamesTheImportedFileAndResets) {
  WriteModule("BAD", "BAD DEFINITIONS ::= BEGIN\nx OBJECT IDENTIFIER ::= { iso 1 }\n\ny INTEGER ::= END\nEND");
  WriteModule("USER", "USER DEFINITIONS ::= BEGIN IMPORTS x FROM BAD; END");
  ASSERT_TRUE(Load(L"SMI"));
  EXPECT_FALSE(Load(L"SMI;USER;IF"));
  EXPECT_EQ(m_loader.LastError().file_name, ModulePath("BAD"));
  EXPECT_EQ(m_loader.LastError().line, 4);
  EXPECT_EQ(m_loader.LastError().message.rfind(L"syntax error, unexpected TOK_END", 0), 0u);
  EXPECT_NE(m_loader.ErrorText().find(L"File:" + ModulePath("BAD") + L"\r\nLine:4"), std::wstring::npos);
  EXPECT_EQ(m_tree.ObjectCount(), 3u);  // reset; IF was not loaded
  EXPECT_TRUE(m_tree.Modules().empty());
  EXPECT_EQ(m_loader.Scanner().Depth(), 0);
  // The next load starts clean.
  ASSERT_TRUE(Load(L"IF"));
}

// Stops the loader when a log line holding the given text is written: the
// stop then arrives in the middle of a parse.
class StopOnLine : public LogCapture {
 public:
  StopOnLine(CSmiLoader& loader, const std::wstring& text) : LogCapture(QLF_PROGRAM_LEX_FILE) {
    Target() = {&loader, text};
    QuillogSetPoster(&StopOnLine::Post);
  }
  ~StopOnLine() { Target() = {}; }

 private:
  static std::pair<CSmiLoader*, std::wstring>& Target() {
    static std::pair<CSmiLoader*, std::wstring> target;
    return target;
  }
  static bool Post(uint64_t, uint32_t, QuillogInfo* record) {
    if (Target().first != nullptr && record->message.find(Target().second) != std::wstring::npos)
      Target().first->Cancel();
    QuillogReleaseInfo(record);
    return true;
  }
};

TEST_F(SmiLoaderTest, StopCutsTheModuleBeingParsedShortWithoutAnError) {
  {
    // IF imports SMI, then TC: the stop comes when TC's file is opened,
    // before any of TC or the rest of IF is read.
    StopOnLine stop(m_loader, L"Beginning of MIB file " + ModulePath("TC"));
    EXPECT_FALSE(Load(L"IF")) << "the load ran to its end";
  }
  EXPECT_TRUE(m_loader.ErrorText().empty()) << quillog::WideToUtf8(m_loader.ErrorText());
  EXPECT_EQ(Object(L"ifLeaf"), nullptr);
  EXPECT_EQ(Object(L"tcRoot"), nullptr);
  EXPECT_TRUE(m_tree.Modules().empty());
  EXPECT_EQ(m_loader.Scanner().Depth(), 0);
  EXPECT_EQ(m_loader.Scanner().TokenStringCount(), 0u);

  // Once cleared, the next load reads everything.
  m_loader.ClearCancel();
  ASSERT_TRUE(Load(L"IF")) << quillog::WideToUtf8(m_loader.ErrorText());
  EXPECT_NE(Object(L"ifLeaf"), nullptr);
}

TEST_F(SmiLoaderTest, MissingModulesAndFilesFailTheLoad) {
  LogCapture log(0);
  WriteModule("NEEDS", "NEEDS DEFINITIONS ::= BEGIN\nIMPORTS x FROM GONE;\nEND");
  EXPECT_FALSE(Load(L"NEEDS"));
  EXPECT_EQ(m_loader.LastError().message, L"Unable to open SMI file");
  EXPECT_EQ(m_loader.LastError().file_name, ModulePath("NEEDS"));
  EXPECT_EQ(log.Count(L"Unable to locate a file for the MIB module GONE"), 1u);
  EXPECT_FALSE(Load(L"NOWHERE"));
  EXPECT_EQ(log.Count(L"Unable to open Mib module NOWHERE"), 1u);
  EXPECT_EQ(m_loader.Scanner().Depth(), 0);
  // Written since: the next load finds it (nothing of the failed one is kept).
  WriteModule("GONE", "GONE DEFINITIONS ::= BEGIN\nx OBJECT IDENTIFIER ::= { iso 7 }\nEND");
  EXPECT_TRUE(Load(L"NEEDS")) << quillog::WideToUtf8(m_loader.ErrorText());
}

TEST_F(SmiLoaderTest, OldModuleNamesAreReadFromTheirCurrentModule) {
  WriteModule("RFC1213-MIB",
              "RFC1213-MIB DEFINITIONS ::= BEGIN\nIMPORTS internet FROM SMI;\n"
              "mib-2 OBJECT IDENTIFIER ::= { internet 2 1 }\nEND");
  WriteModule("OLD",
              "OLD DEFINITIONS ::= BEGIN\nIMPORTS mib-2 FROM RFC-1213\n"
              "internet FROM SMI;\nold OBJECT IDENTIFIER ::= { mib-2 99 }\nEND");
  LogCapture log(0);
  ASSERT_TRUE(Load(L"OLD")) << quillog::WideToUtf8(m_loader.ErrorText());
  ASSERT_NE(Object(L"old"), nullptr);
  EXPECT_EQ(Object(L"old")->OidText(), L".1.3.6.1.2.1.99");
  EXPECT_TRUE(m_tree.FindModule(CSmiModuleKey{L"RFC1213-MIB", ModulePath("RFC1213-MIB")}));
  EXPECT_EQ(log.CountContaining(L"Unable to locate"), 0u);
}

TEST_F(SmiLoaderTest, DeepImportChainsAndLongTokensFailCleanly) {
  const int deep = CSmiScanner::kFileStackSize + 2;
  for (int i = 0; i < deep; ++i) {
    const std::string name = "D" + std::to_string(i);
    const std::string next = "D" + std::to_string(i + 1);
    WriteModule(name, name + " DEFINITIONS ::= BEGIN IMPORTS x FROM " + next + "; END");
  }
  const std::string last = "D" + std::to_string(deep);
  WriteModule(last, last + " DEFINITIONS ::= BEGIN x OBJECT IDENTIFIER ::= { iso 1 } END");
  EXPECT_FALSE(Load(L"D0"));
  EXPECT_NE(m_loader.LastError().message.find(L"nested"), std::wstring::npos);
  EXPECT_EQ(m_loader.Scanner().Depth(), 0);
  EXPECT_TRUE(Load(L"D5"));  // fewer files deep is fine

  WriteModule("LONG", "LONG DEFINITIONS ::= BEGIN " + std::string(20000, 'x') + " END");
  EXPECT_FALSE(Load(L"LONG"));
  EXPECT_NE(m_loader.LastError().message.find(L"16384"), std::wstring::npos);
  EXPECT_TRUE(Load(L"IF"));
}

TEST_F(SmiLoaderTest, TypeNamesOutliveTheLoadThatReadThem) {
  // Each load frees its caches at its end; the tree keeps the names it was given.
  ASSERT_TRUE(Load(L"TC"));
  ASSERT_TRUE(Load(L"IF", false));
  WriteModule("IF2",
              "IF2 DEFINITIONS ::= BEGIN\nIMPORTS internet FROM SMI Small FROM TC;\n"
              "if2Leaf OBJECT-TYPE SYNTAX Small MAX-ACCESS read-only STATUS current ::= { internet 9 }\nEND");
  ASSERT_TRUE(Load(L"IF2", false));
  for (const wchar_t* name : {L"ifLeaf", L"if2Leaf"}) {
    ASSERT_NE(Object(name), nullptr) << quillog::WideToUtf8(name);
    EXPECT_EQ(Object(name)->type.nested.at(0).DisplayText(false), L"Small");
  }
}

TEST_F(SmiLoaderTest, ArcsBeyond32BitsAreReportedNotWrapped) {
  LogCapture log(0);
  WriteModule("ARC",
              "ARC DEFINITIONS ::= BEGIN\nbig OBJECT IDENTIFIER ::= { iso 4294967295 }\n"
              "huge OBJECT IDENTIFIER ::= { iso 4294967296 }\n"
              "under OBJECT IDENTIFIER ::= { huge 7 }\nlater OBJECT IDENTIFIER ::= { after 99999999999 }\n"
              "after OBJECT IDENTIFIER ::= { big 1 }\nEND");
  ASSERT_TRUE(Load(L"ARC"));
  EXPECT_EQ(Object(L"big")->OidText(), L".1.4294967295");
  EXPECT_EQ(Object(L"huge")->OidText(), L".1.4294967296");
  // Wide arcs carry over to the OIDs built on them, resolved at once or later.
  EXPECT_EQ(Object(L"under")->OidText(), L".1.4294967296.7");
  EXPECT_EQ(Object(L"later")->OidText(), L".1.4294967295.1.99999999999");
  EXPECT_EQ(log.CountContaining(L"OID arc 4294967296 is outside the 32-bit range, File "), 1u);
  EXPECT_EQ(log.CountContaining(L"OID arc 4294967295"), 0u);
}

TEST_F(SmiLoaderTest, FoldersLocateAndListModules) {
  SetMibSearchFolders({});
  WriteFile(m_root + "/data/Tavelo/Mibs/IF-MIB.mib", "personal");
  WriteFile(m_root + "/share/Tavelo/Mibs/IF-MIB.mib", "common");
  WriteFile(m_root + "/share/Tavelo/Mibs/IF-MIB.v2.mib", "v2");
  std::filesystem::create_directories(m_root + "/share/Tavelo/Mibs/DIR-MIB.mib");
  EXPECT_EQ(LocateModuleFile(L"IF-MIB"), Wide(m_root + "/data/Tavelo/Mibs/IF-MIB.mib"));
  EXPECT_EQ(LocateModuleFile(L"DIR-MIB"), Wide(m_root + "/share/Tavelo/Mibs/DIR-MIB.mib"));
  EXPECT_EQ(LocateModuleFile(L"NONE-MIB"), L"");
  EXPECT_EQ(ListFolderModules(CommonMibsFolder()), (std::vector<std::wstring>{L"IF-MIB", L"IF-MIB"}));
  // The folder named like a module is found, but it does not load.
  EXPECT_FALSE(Load(L"DIR-MIB"));
}

// Every IETF module of the shared collection loads in one load.
TEST(SmiRealModules, IetfSetLoadsInOneLoad) {
  const std::string dir = TAVELO_MIBS_DIR;
  std::ifstream list(dir + "/IETF-MODULES.txt");
  if (!list) GTEST_SKIP() << "no MIB collection at " << dir;
  std::string names;
  for (std::string line; std::getline(list, line);)
    if (!line.empty()) names += line + ";";
  SetMibSearchFolders({quillog::Utf8ToWide(dir)});
  CSmiTree tree;
  CSmiLoader loader(tree);
  const bool ok = loader.Load(ModuleKeysFromList(quillog::Utf8ToWide(names)), true, 1);
  SetMibSearchFolders({});
  ASSERT_TRUE(ok) << quillog::WideToUtf8(loader.ErrorText());
  EXPECT_GE(tree.Modules().size(), 444u);
  CSmiTreeProtected lock(tree);
  const CSmiObject* if_index = tree.FindObjectByOid({1, 3, 6, 1, 2, 1, 2, 2, 1, 1});
  ASSERT_NE(if_index, nullptr);
  EXPECT_EQ(if_index->Name(), L"ifIndex");
  EXPECT_EQ(if_index->type.nested.at(0).DisplayText(true), L"InterfaceIndex");
  EXPECT_TRUE(std::any_of(tree.Imports().begin(), tree.Imports().end(), [](const CSmiImport& i) {
    return i.module_name == L"IF-MIB" && i.symbol == L"Counter32" && i.source_module_name == L"SNMPv2-SMI";
  }));
  size_t incomplete = 0;
  tree.ForEachObject([&](const CSmiObject& o) { incomplete += o.IsComplete() ? 0 : 1; });
  EXPECT_EQ(incomplete, 0u);
}

}  // namespace

TEST_F(SmiLoaderTest, DescriptionsReadBackAsWrittenUntilTheirFileChanges) {
  const std::string longText(40000, 'x');  // past the scanner's buffer
  const std::string path =
      WriteModule("DESC",
                  "DESC DEFINITIONS ::= BEGIN\nIMPORTS internet FROM SMI;\n"
                  "a OBJECT-IDENTITY STATUS current DESCRIPTION \"one \\ \xE9\ntwo\" ::= { internet 1 }\n"
                  "b OBJECT-IDENTITY STATUS current DESCRIPTION \"\" ::= { internet 2 }\n"
                  "c OBJECT-IDENTITY STATUS current DESCRIPTION \"" +
                      longText +
                      "\" ::= { internet 3 }\r\n"
                      "d OBJECT-IDENTITY STATUS current DESCRIPTION \"after\r\nCR LF\" ::= { internet 4 }\n"
                      "END");
  ASSERT_TRUE(Load(L"DESC;TC")) << quillog::WideToUtf8(m_loader.ErrorText());
  EXPECT_EQ(Object(L"a")->description, L"one \\ \u00e9\ntwo");
  EXPECT_TRUE(Object(L"b")->description.empty());
  const std::wstring longWide(longText.begin(), longText.end());
  EXPECT_TRUE(Object(L"c")->description == longWide);
  EXPECT_EQ(Object(L"d")->description, L"after\nCR LF");

  // Rewritten with the same size, then gone: a note, never another text.
  std::string changed = std::string(std::filesystem::file_size(path), ' ');
  SmiTempHome::WriteFile(path, changed);
  const std::wstring note(CSmiText::kFileChanged.begin(), CSmiText::kFileChanged.end());
  EXPECT_FALSE(Object(L"a")->description == L"one \\ \u00e9\ntwo");
  std::filesystem::remove(path);
  EXPECT_EQ(Object(L"a")->description.Wide(), note);
  // Kept in memory: longer than the read buffer, or read after a CR LF.
  EXPECT_TRUE(Object(L"c")->description == longWide);
  EXPECT_EQ(Object(L"d")->description, L"after\nCR LF");
  EXPECT_EQ(m_tree.TypeAt(2).description, L"s");  // another file
}
