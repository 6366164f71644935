#include "simulator/SimulatorLibrary.h"

#include "app/Settings.h"
#include "simulator/SimulatorFile.h"
#include "simulator/ThreadActionSimuler.h"
#include "tests/simulator/TestSupport.h"

#include <gtest/gtest.h>

using namespace simtest;

namespace {

std::vector<std::wstring> Names(const std::vector<CSimulatorEntry*>& entries) {
  std::vector<std::wstring> names;
  for (const CSimulatorEntry* e : entries) names.push_back(e->name);
  return names;
}

class LibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteSettingString(SETTING_VIEW_SIMULER_LAST_STARTED_SIMULATOR, L"");
    WriteSettingString(SETTING_VIEW_SIMULER_LAST_SELECTED_SIMULATOR, L"");
    for (const char* root : {"personal", "common", "legacy"}) fs::create_directories(m_dir.path() / root);
  }

  std::unique_ptr<CSimulatorLibrary> NewLibrary() {
    auto library = std::make_unique<CSimulatorLibrary>();
    library->SetRootFolders(m_dir.wpath("personal"), m_dir.wpath("common"), m_dir.wpath("legacy"));
    return library;
  }

  // Writes a simulator file; `values` OIDs get Octet String texts.
  void MakeSimulator(const std::string& relative, uint32_t port = 0,
                     std::vector<std::pair<std::wstring, std::wstring>> values = {}) {
    fs::create_directories((m_dir.path() / relative).parent_path());
    CSimulatorEntry s;
    s.kind = CSimulatorEntry::KindSimulator;
    s.path = m_dir.wpath(relative);
    s.recv_port = port;
    s.recv_community = L"public";
    s.recv_version1 = s.recv_version2c = true;
    for (auto& [oid, text] : values) ASSERT_TRUE(s.AddValue(oid, L"Octet String", text));
    ASSERT_TRUE(CSimulatorFile::Save(&s));
  }

  // What snmpget shows of sysName.0 at the port.
  // An answer is waited for long enough for a busy machine; silence briefly.
  static std::string Get(uint16_t port, const char* timeout = "2", const char* retries = "2") {
    return netsnmp::Output({"snmpget", "-v2c", "-c", "public", "-On", "-t", timeout, "-r", retries,
                            "127.0.0.1:" + std::to_string(port), "1.3.6.1.2.1.1.5.0"});
  }
  static std::string Served(const std::string& name) { return ".1.3.6.1.2.1.1.5.0 = STRING: \"" + name + "\"\n"; }
  static bool Silent(uint16_t port) { return Get(port, "0.5", "1").find("Timeout") != std::string::npos; }

  TempDir m_dir;
};

}  // namespace

TEST_F(LibraryTest, ScanStopsAtFiveSimulatorsInPersonalCommonLegacyOrder) {
  for (const char* file : {"personal/sub/s1.tav", "personal/s2.tav", "common/sub2/s3.tav", "common/s4.tav",
                           "legacy/x/s5.tav", "legacy/s6.tav", "legacy/s7.tav"})
    MakeSimulator(file);
  LogCapture log(0);
  auto library = NewLibrary();
  ASSERT_TRUE(library->BuildLibrary());
  EXPECT_EQ(Names(library->GetSimulators()), (std::vector<std::wstring>{L"s1", L"s2", L"s3", L"s4", L"s5"}));
  // The sixth is logged and everything after it in that folder is skipped.
  EXPECT_EQ(log.CountContaining(L"Maximum number of simulator is reached, ignoring it"), 1u);

  ASSERT_EQ(Names(library->GetRoots()), (std::vector<std::wstring>{L"Personal", L"Common", L"Legacy"}));
  const CSimulatorEntry* personal = library->GetRoots()[0];
  EXPECT_EQ(Names(personal->children), (std::vector<std::wstring>{L"sub", L"s2"}));
  EXPECT_EQ(Names(personal->children[0]->children), std::vector<std::wstring>{L"s1"});
  EXPECT_EQ(library->GetRoots()[2]->children.size(), 1u);  // only x with s5
  // Read lazily: selecting a simulator loads it and remembers it.
  CSimulatorEntry* s1 = personal->children[0]->children[0];
  EXPECT_FALSE(s1->loaded);
  ASSERT_TRUE(library->Select(s1));
  EXPECT_TRUE(s1->loaded);
  EXPECT_EQ(ReadSettingString(SETTING_VIEW_SIMULER_LAST_SELECTED_SIMULATOR), s1->path);
}

TEST_F(LibraryTest, NamesComeFromTheFileNameAndMissingRootsAreSkipped) {
  fs::remove_all(m_dir.path() / "common");
  for (const char* file : {"personal/a.b.tav", "personal/upper.TAV", "personal/.hidden.tav", "legacy/notes.txt"})
    MakeSimulator(file);
  fs::create_directories(m_dir.path() / "personal" / "folder.tav");
  auto library = NewLibrary();
  ASSERT_TRUE(library->BuildLibrary());
  EXPECT_EQ(Names(library->GetRoots()), (std::vector<std::wstring>{L"Personal", L"Legacy"}));
  EXPECT_EQ(Names(library->GetSimulators()), std::vector<std::wstring>{L"a.b"});
  CSimulatorEntry* folder = library->FindByPath(m_dir.wpath("personal/folder.tav"));
  ASSERT_NE(folder, nullptr);
  EXPECT_TRUE(folder->IsFolder());
}

TEST_F(LibraryTest, FolderOperationsAndTheirRefusals) {
  MakeSimulator("personal/keep/s.tav");
  BoxCapture boxes;
  auto library = NewLibrary();
  ASSERT_TRUE(library->BuildLibrary());
  CSimulatorEntry* personal = library->GetRoots()[0];
  library->Select(personal);
  EXPECT_TRUE(library->MayCreate());
  EXPECT_FALSE(library->MayRenameFolder());  // a root
  EXPECT_FALSE(library->MayDeleteFolder());

  ASSERT_TRUE(library->CreateFolder(L"fresh"));
  EXPECT_TRUE(fs::is_directory(m_dir.path() / "personal" / "fresh"));
  library->Select(library->GetRoots()[0]);
  EXPECT_FALSE(library->CreateFolder(L"../escape"));
  EXPECT_FALSE(library->CreateFolder(L"fresh"));
  EXPECT_FALSE(fs::exists(m_dir.path() / "escape"));

  library->Select(library->FindByPath(m_dir.wpath("personal/fresh")));
  EXPECT_FALSE(library->RenameFolder(L"keep"));  // never onto an existing folder
  EXPECT_TRUE(fs::exists(m_dir.path() / "personal" / "keep" / "s.tav"));
  ASSERT_TRUE(library->RenameFolder(L"renamed"));
  EXPECT_TRUE(fs::is_directory(m_dir.path() / "personal" / "renamed"));

  library->Select(library->FindByPath(m_dir.wpath("personal/keep")));
  EXPECT_FALSE(library->MayDeleteFolder());  // it has a child
  fs::create_directories(m_dir.path() / "personal" / "hidden-file");
  WriteBytes(m_dir.path() / "personal" / "hidden-file" / ".notes", {1});
  ASSERT_TRUE(library->BuildLibrary());
  library->Select(library->FindByPath(m_dir.wpath("personal/hidden-file")));
  EXPECT_FALSE(library->DeleteFolder());  // a file is left in it
  EXPECT_TRUE(fs::exists(m_dir.path() / "personal" / "hidden-file" / ".notes"));

  ASSERT_TRUE(library->BuildLibrary());
  CSimulatorEntry* renamed = library->FindByPath(m_dir.wpath("personal/renamed"));
  ASSERT_NE(renamed, nullptr);
  library->Select(renamed);
  ASSERT_TRUE(library->DeleteFolder());
  EXPECT_FALSE(fs::exists(m_dir.path() / "personal" / "renamed"));

  EXPECT_EQ(boxes.Texts(), (std::vector<std::wstring>{
                               L"Unable to create folder ../escape", L"Unable to create folder fresh",
                               L"Unable to rename folder 'fresh' to 'keep'", L"Unable to delete folder hidden-file"}));
}

TEST_F(LibraryTest, SimulatorCreateRenameDelete) {
  BoxCapture boxes;
  auto library = NewLibrary();
  ASSERT_TRUE(library->BuildLibrary());
  library->Select(library->GetRoots()[1]);
  SimulatorSettings settings;
  settings.name = L"router";
  settings.description = L"A router";
  settings.recv_community = L"secret";
  settings.send_community = L"traps";
  ASSERT_TRUE(library->CreateSimulator(settings));
  CSimulatorEntry check;
  check.path = m_dir.wpath("common/router.tav");
  ASSERT_TRUE(CSimulatorFile::Load(&check));
  EXPECT_EQ(check.description, L"A router");
  EXPECT_EQ(check.recv_community, L"secret");
  EXPECT_EQ(check.recv_port, 1161u);
  EXPECT_EQ(check.values.size(), 0u);
  library->Select(library->GetRoots()[1]);
  EXPECT_FALSE(library->CreateSimulator(settings));  // already there: never overwritten

  MakeSimulator("common/switch.tav", 0, {{L"1.3.6.1.2.1.1.5.0", L"sw"}});
  ASSERT_TRUE(library->BuildLibrary());
  library->Select(library->FindByPath(m_dir.wpath("common/router.tav")));
  EXPECT_FALSE(library->RenameSimulator(L"switch"));
  CSimulatorEntry sw;
  sw.path = m_dir.wpath("common/switch.tav");
  ASSERT_TRUE(CSimulatorFile::Load(&sw));
  EXPECT_EQ(sw.values.size(), 1u);  // the other simulator was not replaced
  ASSERT_TRUE(library->RenameSimulator(L"core"));
  EXPECT_TRUE(fs::exists(m_dir.path() / "common" / "core.tav"));
  EXPECT_FALSE(fs::exists(m_dir.path() / "common" / "router.tav"));

  library->Select(library->FindByPath(m_dir.wpath("common/core.tav")));
  ASSERT_TRUE(library->DeleteSimulator());
  EXPECT_FALSE(fs::exists(m_dir.path() / "common" / "core.tav"));
  EXPECT_EQ(boxes.Texts(), std::vector<std::wstring>{L"Unable to rename simulator 'router' to 'switch'"});
}

TEST_F(LibraryTest, StartAndStopRules) {
  const uint16_t port_a = FreeUdpPort();
  const uint16_t port_b = FreeUdpPort();
  MakeSimulator("personal/empty.tav", FreeUdpPort());
  MakeSimulator("personal/a.tav", port_a, {{L"1.3.6.1.2.1.1.5.0", L"agent-a"}});
  MakeSimulator("personal/b.tav", port_b, {{L"1.3.6.1.2.1.1.5.0", L"agent-b"}});
  BoxCapture boxes;
  auto library = NewLibrary();
  ASSERT_TRUE(library->BuildLibrary());
  CSimulatorEntry* empty = library->FindByPath(m_dir.wpath("personal/empty.tav"));
  CSimulatorEntry* a = library->FindByPath(m_dir.wpath("personal/a.tav"));
  CSimulatorEntry* b = library->FindByPath(m_dir.wpath("personal/b.tav"));

  library->Select(empty);
  EXPECT_FALSE(library->StartSelected());
  EXPECT_EQ(boxes.Texts(), std::vector<std::wstring>{L"Unable to start the simulator because it has no values"});
  EXPECT_FALSE(library->GetEngine().IsBusy());

  library->Select(a);
  ASSERT_TRUE(library->StartSelected());
  EXPECT_TRUE(a->running);
  EXPECT_EQ(Get(port_a), Served("agent-a"));
  EXPECT_EQ(ReadSettingString(SETTING_VIEW_SIMULER_LAST_STARTED_SIMULATOR), a->path);
  EXPECT_FALSE(library->StartSelected());  // already running
  // While one runs the library cannot change.
  library->Select(library->GetRoots()[0]);
  EXPECT_FALSE(library->MayCreate());
  EXPECT_FALSE(library->CreateFolder(L"nope"));
  library->Select(b);
  EXPECT_FALSE(library->MayRenameSimulator());
  EXPECT_FALSE(library->MayDeleteSimulator());

  // Starting a second stops the first.
  ASSERT_TRUE(library->StartSelected());
  EXPECT_FALSE(a->running);
  EXPECT_TRUE(b->running);
  int running = 0;
  for (auto* s : library->GetSimulators()) running += s->running ? 1 : 0;
  EXPECT_EQ(running, 1);
  EXPECT_EQ(Get(port_b), Served("agent-b"));
  EXPECT_TRUE(Silent(port_a));

  // A rebuild keeps the record that the engine serves.
  ASSERT_TRUE(library->BuildLibrary());
  EXPECT_EQ(library->FindByPath(m_dir.wpath("personal/b.tav")), b);
  EXPECT_TRUE(b->running);
  EXPECT_EQ(Get(port_b), Served("agent-b"));
  a = library->FindByPath(m_dir.wpath("personal/a.tav"));
  empty = library->FindByPath(m_dir.wpath("personal/empty.tav"));

  // Stop acts on the running simulator even when another entry is selected.
  library->Select(a);
  ASSERT_TRUE(library->StopSelected());
  EXPECT_FALSE(b->running);
  EXPECT_FALSE(library->GetEngine().IsBusy());
  EXPECT_EQ(ReadSettingString(SETTING_VIEW_SIMULER_LAST_STARTED_SIMULATOR), L"");
  EXPECT_TRUE(library->MayRenameSimulator());

  // Double click toggles.
  ASSERT_TRUE(library->ToggleSelected());
  EXPECT_TRUE(a->running);
  ASSERT_TRUE(library->ToggleSelected());
  EXPECT_FALSE(a->running);

  // Starting an empty simulator stops the running one, which is then not
  // marked running any more, nor started again at the next program start.
  ASSERT_TRUE(library->ToggleSelected());
  library->Select(empty);
  EXPECT_FALSE(library->StartSelected());
  EXPECT_FALSE(a->running);
  EXPECT_FALSE(library->IsAnyRunning());
  EXPECT_EQ(ReadSettingString(SETTING_VIEW_SIMULER_LAST_STARTED_SIMULATOR), L"");
  EXPECT_TRUE(Silent(port_a));
}

TEST_F(LibraryTest, TheSimulatorRunningAtExitIsStartedAgain) {
  const uint16_t port = FreeUdpPort();
  MakeSimulator("personal/a.tav", port, {{L"1.3.6.1.2.1.1.5.0", L"again"}});
  MakeSimulator("personal/b.tav", FreeUdpPort(), {{L"1.3.6.1.2.1.1.5.0", L"other"}});
  {
    auto library = NewLibrary();
    ASSERT_TRUE(library->Startup());
    library->Select(library->FindByPath(m_dir.wpath("personal/a.tav")));
    ASSERT_TRUE(library->StartSelected());
    library->Select(library->FindByPath(m_dir.wpath("personal/b.tav")));
  }  // program exit: the engine stops, the setting stays
  EXPECT_TRUE(Silent(port));
  LogCapture log(0);
  auto library = NewLibrary();
  ASSERT_TRUE(library->Startup());
  CSimulatorEntry* a = library->FindByPath(m_dir.wpath("personal/a.tav"));
  ASSERT_NE(a, nullptr);
  EXPECT_TRUE(a->running);
  EXPECT_EQ(Get(port), Served("again"));
  // Then the simulator selected last is selected again.
  EXPECT_EQ(library->GetSelected(), library->FindByPath(m_dir.wpath("personal/b.tav")));
  EXPECT_EQ(log.CountContaining(L"Reselecting simulator"), 2u);
  EXPECT_TRUE(log.HasContaining(L"Starting simulator a"));
}
