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
  CSimulatorEntry* Find(CSimulatorLibrary& library, const std::string& relative) {
    return library.FindByPath(m_dir.wpath(relative));
  }

  // A simulator file serving sysName.0 as `name` (no value when empty).
  void MakeSimulator(const std::string& relative, uint16_t port = 0, const std::wstring& name = L"") {
    fs::create_directories((m_dir.path() / relative).parent_path());
    CSimulatorEntry s;
    s.kind = CSimulatorEntry::KindSimulator;
    s.path = m_dir.wpath(relative);
    s.recv_port = port;
    s.recv_community = L"public";
    s.recv_version1 = s.recv_version2c = true;
    ASSERT_TRUE(name.empty() || s.AddValue(L"1.3.6.1.2.1.1.5.0", L"Octet String", name));
    ASSERT_TRUE(CSimulatorFile::Save(&s));
  }

  // snmpget of sysName.0; silence is waited for briefly.
  static std::string Get(uint16_t port, const char* timeout = "2", const char* retries = "2") {
    return netsnmp::Output({"snmpget", "-v2c", "-c", "public", "-On", "-t", timeout, "-r", retries,
                            "127.0.0.1:" + std::to_string(port), "1.3.6.1.2.1.1.5.0"});
  }
  static std::string Served(const std::string& name) { return ".1.3.6.1.2.1.1.5.0 = STRING: \"" + name + "\"\n"; }
  static bool Silent(uint16_t port) { return Get(port, "0.5", "1").find("Timeout") != std::string::npos; }

  TempDir m_dir;
};

}  // namespace

// Past five, the rest is skipped and logged; a missing root is left out.
TEST_F(LibraryTest, ScanStopsAtFiveSimulatorsInPersonalCommonLegacyOrder) {
  for (const char* file : {"personal/sub/s1.tav", "personal/s2.tav", "common/sub2/a.b.tav", "common/s4.tav",
                           "legacy/x/s5.tav", "legacy/s6.tav", "legacy/s7.tav"})
    MakeSimulator(file);
  LogCapture log(0);
  auto library = NewLibrary();
  ASSERT_TRUE(library->BuildLibrary());
  EXPECT_EQ(Names(library->GetSimulators()), (std::vector<std::wstring>{L"s1", L"s2", L"a.b", L"s4", L"s5"}));
  EXPECT_EQ(log.CountContaining(L"Maximum number of simulator is reached, ignoring it"), 1u);
  const CSimulatorEntry* personal = library->GetRoots()[0];
  EXPECT_EQ(Names(personal->children), (std::vector<std::wstring>{L"sub", L"s2"}));
  EXPECT_EQ(library->GetRoots()[2]->children.size(), 1u);  // only x with s5
  fs::remove_all(m_dir.path() / "common");
  ASSERT_TRUE(library->BuildLibrary());
  EXPECT_EQ(Names(library->GetRoots()), (std::vector<std::wstring>{L"Personal", L"Legacy"}));
}

// Nothing is ever created, renamed or deleted over what is there.
TEST_F(LibraryTest, FolderAndSimulatorChangesNeverReplaceWhatIsThere) {
  MakeSimulator("personal/keep/s.tav");
  MakeSimulator("personal/switch.tav", 0, L"sw");
  fs::create_directories(m_dir.path() / "personal" / "hidden-file");
  WriteBytes(m_dir.path() / "personal" / "hidden-file" / ".notes", {1});
  BoxCapture boxes;
  auto library = NewLibrary();
  ASSERT_TRUE(library->BuildLibrary());
  library->Select(library->GetRoots()[0]);
  EXPECT_FALSE(library->CreateFolder(L"../escape"));
  EXPECT_FALSE(library->CreateFolder(L"keep"));
  SimulatorSettings settings;
  settings.name = L"switch";
  EXPECT_FALSE(library->CreateSimulator(settings));
  settings.name = L"router";
  settings.recv_community = L"secret";
  settings.send_community = L"traps";
  ASSERT_TRUE(library->CreateSimulator(settings));
  CSimulatorEntry router;
  router.path = m_dir.wpath("personal/router.tav");
  ASSERT_TRUE(CSimulatorFile::Load(&router));
  EXPECT_EQ(router.recv_community + L"/" + router.send_community, L"secret/traps");
  EXPECT_EQ(router.recv_port, 1161u);
  ASSERT_TRUE(library->BuildLibrary());
  library->Select(Find(*library, "personal/router.tav"));
  EXPECT_FALSE(library->RenameSimulator(L"switch"));
  library->Select(Find(*library, "personal/hidden-file"));
  EXPECT_FALSE(library->RenameFolder(L"keep"));
  EXPECT_FALSE(library->DeleteFolder());
  EXPECT_FALSE(fs::exists(m_dir.path() / "escape"));
  EXPECT_TRUE(fs::exists(m_dir.path() / "personal" / "keep" / "s.tav"));
  EXPECT_TRUE(fs::exists(m_dir.path() / "personal" / "hidden-file" / ".notes"));
  CSimulatorEntry sw;
  sw.path = m_dir.wpath("personal/switch.tav");
  ASSERT_TRUE(CSimulatorFile::Load(&sw));
  EXPECT_EQ(sw.values.size(), 1u);
  library->Select(Find(*library, "personal/router.tav"));
  ASSERT_TRUE(library->RenameSimulator(L"core"));
  library->Select(Find(*library, "personal/core.tav"));
  ASSERT_TRUE(library->DeleteSimulator());
  EXPECT_FALSE(fs::exists(m_dir.path() / "personal" / "core.tav"));
  EXPECT_FALSE(fs::exists(m_dir.path() / "personal" / "router.tav"));
}

TEST_F(LibraryTest, StartAndStopRules) {
  const uint16_t port_a = FreeUdpPort();
  const uint16_t port_b = FreeUdpPort();
  MakeSimulator("personal/empty.tav", FreeUdpPort());
  MakeSimulator("personal/a.tav", port_a, L"agent-a");
  MakeSimulator("personal/b.tav", port_b, L"agent-b");
  BoxCapture boxes;
  auto library = NewLibrary();
  ASSERT_TRUE(library->BuildLibrary());
  CSimulatorEntry* empty = Find(*library, "personal/empty.tav");
  CSimulatorEntry* a = Find(*library, "personal/a.tav");
  CSimulatorEntry* b = Find(*library, "personal/b.tav");

  library->Select(empty);
  EXPECT_FALSE(library->StartSelected());
  EXPECT_EQ(boxes.Texts(), std::vector<std::wstring>{L"Unable to start the simulator because it has no values"});
  library->Select(a);
  ASSERT_TRUE(library->StartSelected());
  EXPECT_EQ(Get(port_a), Served("agent-a"));
  EXPECT_EQ(ReadSettingString(SETTING_VIEW_SIMULER_LAST_STARTED_SIMULATOR), a->path);
  // While one runs the library cannot change.
  library->Select(library->GetRoots()[0]);
  EXPECT_FALSE(library->CreateFolder(L"nope"));
  library->Select(b);
  EXPECT_FALSE(library->MayDeleteSimulator());

  // Starting a second stops the first; a rebuild keeps the record served.
  ASSERT_TRUE(library->StartSelected());
  EXPECT_FALSE(a->running);
  EXPECT_TRUE(Silent(port_a));
  ASSERT_TRUE(library->BuildLibrary());
  EXPECT_EQ(Find(*library, "personal/b.tav"), b);
  EXPECT_TRUE(b->running);
  EXPECT_EQ(Get(port_b), Served("agent-b"));
  a = Find(*library, "personal/a.tav");
  empty = Find(*library, "personal/empty.tav");

  // Stop acts on the running simulator even when another entry is selected.
  library->Select(a);
  ASSERT_TRUE(library->StopSelected());
  EXPECT_FALSE(b->running);
  EXPECT_FALSE(library->GetEngine().IsBusy());
  EXPECT_EQ(ReadSettingString(SETTING_VIEW_SIMULER_LAST_STARTED_SIMULATOR), L"");

  // Starting an empty simulator stops the running one, which is then not
  // started again at the next program start either.
  ASSERT_TRUE(library->ToggleSelected());
  EXPECT_TRUE(a->running);
  library->Select(empty);
  EXPECT_FALSE(library->StartSelected());
  EXPECT_FALSE(library->IsAnyRunning());
  EXPECT_EQ(ReadSettingString(SETTING_VIEW_SIMULER_LAST_STARTED_SIMULATOR), L"");
  EXPECT_TRUE(Silent(port_a));
}

TEST_F(LibraryTest, TheSimulatorRunningAtExitIsStartedAgain) {
  const uint16_t port = FreeUdpPort();
  MakeSimulator("personal/a.tav", port, L"again");
  MakeSimulator("personal/b.tav", FreeUdpPort(), L"other");
  {
    auto library = NewLibrary();
    ASSERT_TRUE(library->Startup());
    library->Select(Find(*library, "personal/a.tav"));
    ASSERT_TRUE(library->StartSelected());
    library->Select(Find(*library, "personal/b.tav"));
  }  // program exit: the engine stops, the setting stays
  EXPECT_TRUE(Silent(port));
  LogCapture log(0);
  auto library = NewLibrary();
  ASSERT_TRUE(library->Startup());
  CSimulatorEntry* a = Find(*library, "personal/a.tav");
  ASSERT_NE(a, nullptr);
  EXPECT_TRUE(a->running);
  EXPECT_EQ(Get(port), Served("again"));
  EXPECT_EQ(library->GetSelected(), Find(*library, "personal/b.tav"));
}
