#include "gui/ViewSimuler.h"

#include "gui/DlgNewName.h"
#include "gui/DlgSimulatorChooser.h"
#include "gui/DlgValueModify.h"
#include "gui/IpAddressEdit.h"
#include "gui/MainMenu.h"
#include "gui/SheetCreateSimulator.h"
#include "gui/ViewSimulerLeft.h"
#include "gui/ViewSimulerSummary.h"
#include "gui/ViewSimulerValue.h"
#include "gui/ViewWalker.h"
#include "simulator/SimulatorFile.h"
#include "simulator/ThreadActionSimuler.h"
#include "tests/common/BoxCapture.h"
#include "tests/common/LogCapture.h"
#include "tests/common/NetSnmp.h"
#include "tests/gui/GuiFixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

struct Value {
  const wchar_t* oid;
  const wchar_t* type;
  const wchar_t* text;
};

// The simulator file as stored on disk.
std::unique_ptr<CSimulatorEntry> Stored(const std::wstring& path) {
  auto entry = std::make_unique<CSimulatorEntry>();
  entry->kind = CSimulatorEntry::KindSimulator;
  entry->path = path;
  EXPECT_TRUE(CSimulatorFile::Load(entry.get())) << quillog::WideToUtf8(path);
  return entry;
}

std::vector<std::wstring> StoredOids(const std::wstring& path) {
  std::vector<std::wstring> oids;
  const auto stored = Stored(path);
  for (const CSimulatorValue& value : stored->values) oids.push_back(value.oid.GetText());
  return oids;
}

std::wstring StoredValue(const std::wstring& path, const std::wstring& oid) {
  const auto stored = Stored(path);
  for (const CSimulatorValue& value : stored->values) {
    if (value.oid.GetText() == oid) return value.value;
  }
  return L"<missing>";
}

}  // namespace

class SimulerTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    m_personal = m_home->wpath("data/Tavelo/Simulators");
    m_common = m_home->wpath("share/Tavelo/Simulators");
    fs::create_directories(m_personal);
    fs::create_directories(m_common);
  }
  void TearDown() override {
    m_walker.reset();
    m_frame.reset();
    GuiTest::TearDown();
  }

  // A simulator file with these values, answering on `port`.
  std::wstring MakeSimulator(const std::wstring& folder, const std::wstring& name, uint32_t port,
                             const std::vector<Value>& values) {
    CSimulatorEntry entry;
    entry.kind = CSimulatorEntry::KindSimulator;
    entry.path = folder + L"/" + name + L".tav";
    entry.description = L"about " + name;
    entry.recv_port = port;
    entry.recv_community = L"tumbol";
    entry.recv_version1 = entry.recv_version2c = true;
    entry.send_community = L"quinsar";
    entry.send_port = 162;
    entry.send_to_last_requester = true;
    entry.send_address = 0x7F000001;
    for (const Value& v : values) EXPECT_TRUE(entry.AddValue(v.oid, v.type, v.text));
    EXPECT_TRUE(CSimulatorFile::Save(&entry));
    return entry.path;
  }

  CFrameSimuler& NewFrame() {
    m_frame = std::make_unique<CFrameSimuler>(m_dispatcher.get());
    m_frame->Left()->Library().GetEngine().SetLocalAddress(L"127.0.0.1");
    m_frame->resize(900, 500);
    m_frame->show();
    Settle();
    return *m_frame;
  }
  // Lets the posted view messages arrive.
  void Settle() {
    for (int i = 0; i < 5; ++i) {
      QCoreApplication::sendPostedEvents();
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
  }
  // A Net-SNMP tool against the simulator on `port`; its output, or "failed: " and its errors.
  static std::string Tool(const std::string& tool, const std::string& version, uint16_t port,
                          std::vector<std::string> args, const std::string& community = "tumbol") {
    args.insert(args.begin(),
                {tool, version, "-c", community, "-On", "-r", "1", "-t", "1", "127.0.0.1:" + std::to_string(port)});
    std::string out, err;
    return netsnmp::Run(args, &out, &err) == 0 ? out : "failed: " + err;
  }
  CViewSimulerLeft& Left() { return *m_frame->Left(); }
  bool Select(const std::wstring& path) {
    CSimulatorEntry* entry = Left().Library().FindByPath(path);
    if (entry == nullptr) return false;
    Left().SelectEntry(entry);
    Settle();
    return Left().SelectedEntry() == entry;
  }
  bool Start(const std::wstring& path) {
    return Select(path) && Left().OnCommand(ID_SIMULATOR_START) && Left().SelectedEntry()->running;
  }
  void SelectRows(CViewSimulerValue& values, std::initializer_list<int> rows) {
    values.clearSelection();
    for (int row : rows) {
      values.selectionModel()->select(values.model()->index(row, 0),
                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
  }

  BoxCapture m_boxes;
  std::wstring m_personal;
  std::wstring m_common;
  std::unique_ptr<CFrameSimuler> m_frame;
  std::unique_ptr<CViewWalker> m_walker;
};

TEST_F(SimulerTest, TreeListsTheRootsAndCommandsFollowTheSelection) {
  fs::create_directories(fs::path(m_personal) / "lab");
  const std::wstring a =
      MakeSimulator(m_personal + L"/lab", L"a.b", 1161, {{L"1.3.6.1.2.1.1.5.0", L"Octet String", L"x"}});
  MakeSimulator(m_common, L"shared", 1162, {});
  NewFrame();
  CViewSimulerLeft& left = Left();
  ASSERT_EQ(left.NodeChildCount(kTreeRoot), 2);
  EXPECT_EQ(left.NodeText(left.NodeChild(kTreeRoot, 0)), "Personal");
  EXPECT_EQ(left.NodeText(left.NodeChild(kTreeRoot, 1)), "Common");
  const TreeNode lab = left.NodeChild(left.NodeChild(kTreeRoot, 0), 0);
  EXPECT_EQ(left.NodeText(lab), "lab");
  EXPECT_EQ(left.NodeText(left.NodeChild(lab, 0)), "a.b");

  struct Case {
    std::wstring path;
    std::vector<uint32_t> enabled, disabled;
  };
  const std::vector<Case> cases = {
      {m_personal, {ID_FOLDER_CREATE, ID_SIMULATOR_CREATE}, {ID_FOLDER_RENAME, ID_FOLDER_DELETE, ID_SIMULATOR_START}},
      {m_personal + L"/lab", {ID_FOLDER_RENAME, ID_FOLDER_CREATE}, {ID_FOLDER_DELETE, ID_SIMULATOR_RENAME}},
      {a, {ID_SIMULATOR_RENAME, ID_SIMULATOR_DELETE, ID_SIMULATOR_START}, {ID_FOLDER_CREATE, ID_SIMULATOR_CREATE}},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(Select(c.path));
    for (uint32_t id : c.enabled)
      EXPECT_TRUE(m_frame->IsCommandEnabled(id)) << id << " " << quillog::WideToUtf8(c.path);
    for (uint32_t id : c.disabled)
      EXPECT_FALSE(m_frame->IsCommandEnabled(id)) << id << " " << quillog::WideToUtf8(c.path);
  }
  // While a simulator runs the library cannot change.
  ASSERT_TRUE(Start(a));
  EXPECT_TRUE(left.NodeBold(CViewSimulerLeft::NodeOfEntry(left.SelectedEntry())));
  EXPECT_EQ(left.NodeImage(CViewSimulerLeft::NodeOfEntry(left.SelectedEntry())), CViewSimulerLeft::IMAGE_RUNNING);
  EXPECT_FALSE(m_frame->IsCommandEnabled(ID_SIMULATOR_DELETE));
  ASSERT_TRUE(Select(m_personal));
  EXPECT_FALSE(m_frame->IsCommandEnabled(ID_FOLDER_CREATE));
  EXPECT_TRUE(m_frame->IsCommandEnabled(ID_SIMULATOR_STOP));
  EXPECT_TRUE(m_frame->OnCommand(ID_SIMULATOR_STOP));
  EXPECT_EQ(left.Library().GetRunning(), nullptr);
}

TEST_F(SimulerTest, FolderCommandsAskANameAndKeepTheLibraryOnFailure) {
  NewFrame();
  ASSERT_TRUE(Select(m_personal));
  {
    auto watcher = AcceptNext<CDlgNewName>([](CDlgNewName& dialog) {
      EXPECT_EQ(dialog.windowTitle(), "Create a new folder");
      dialog.NameEdit()->setText(QStringLiteral("bench"));
    });
    EXPECT_TRUE(m_frame->OnCommand(ID_FOLDER_CREATE));
    EXPECT_TRUE(watcher->Seen());
  }
  EXPECT_TRUE(fs::is_directory(fs::path(m_personal) / "bench"));
  ASSERT_NE(Left().SelectedEntry(), nullptr);
  EXPECT_EQ(Left().SelectedEntry()->name, L"bench");
  {
    auto watcher = AcceptNext<CDlgNewName>([](CDlgNewName& dialog) {
      EXPECT_EQ(dialog.windowTitle(), "Rename a folder");
      EXPECT_EQ(dialog.NameEdit()->text(), "bench");
      dialog.NameEdit()->setText(QStringLiteral("a/b"));
    });
    EXPECT_FALSE(m_frame->OnCommand(ID_FOLDER_RENAME));
  }
  EXPECT_EQ(m_boxes.Texts(), std::vector<std::wstring>{L"Unable to rename folder 'bench' to 'a/b'"});
  EXPECT_TRUE(fs::is_directory(fs::path(m_personal) / "bench"));
  ASSERT_NE(Left().SelectedEntry(), nullptr) << "a refused rename keeps the selection";
  EXPECT_TRUE(m_frame->OnCommand(ID_FOLDER_DELETE));
  EXPECT_FALSE(fs::exists(fs::path(m_personal) / "bench"));
  EXPECT_EQ(Left().NodeChildCount(Left().NodeChild(kTreeRoot, 0)), 0);
}

// The simulator that ran at exit serves again, the last selected one is shown,
// and the splitter is read on creation and stored on destruction.
TEST_F(SimulerTest, StartUpRestartsTheLastStartedAndSelectsTheLastSelected) {
  const uint16_t port = netsnmp::FreeUdpPort();
  const std::wstring served =
      MakeSimulator(m_personal, L"served", port, {{L"1.3.6.1.2.1.1.5.0", L"Octet String", L"box"}});
  const std::wstring other = MakeSimulator(m_common, L"other", 1, {{L"1.3.6.1.2.1.1.5.0", L"Octet String", L"x"}});
  WriteSettingString(SETTING_VIEW_SIMULER_LAST_STARTED_SIMULATOR, served);
  WriteSettingString(SETTING_VIEW_SIMULER_LAST_SELECTED_SIMULATOR, other);
  WriteSettingDword(SETTING_VIEW_SIMULER_SPLITTER_X, -1, 230);
  NewFrame();
  CSimulatorEntry* running = Left().Library().GetRunning();
  ASSERT_NE(running, nullptr);
  EXPECT_EQ(running->path, served);
  EXPECT_EQ(Left().SelectedEntry()->path, other);
  EXPECT_EQ(m_frame->Values()->Shown(), Left().SelectedEntry());
  EXPECT_EQ(m_frame->sizes().front(), 230);
  EXPECT_EQ(Tool("snmpget", "-v2c", port, {"1.3.6.1.2.1.1.5.0"}), ".1.3.6.1.2.1.1.5.0 = STRING: \"box\"\n");
  m_frame->setSizes({260, 640});
  m_frame.reset();
  EXPECT_EQ(ReadSettingString(SETTING_VIEW_SIMULER_LAST_STARTED_SIMULATOR), served) << "kept for the next start";
  EXPECT_EQ(StoredDword(SETTING_VIEW_SIMULER_SPLITTER_X), 260u);
}

TEST_F(SimulerTest, SummaryEditsAreCheckedInOrderAndSaved) {
  const uint16_t port = netsnmp::FreeUdpPort();
  const std::wstring path = MakeSimulator(m_personal, L"s", port, {{L"1.3.6.1.2.1.1.5.0", L"Octet String", L"x"}});
  NewFrame();
  ASSERT_TRUE(Select(path));
  CViewSimulerSummary& form = *m_frame->Summary();
  ASSERT_NE(form.Shown(), nullptr);
  EXPECT_EQ(form.NameEdit()->text(), "s");
  EXPECT_FALSE(form.AddressEdit()->isEnabled()) << "send to last requester is checked";

  // Clearing the port refuses the edit and the file keeps its port.
  form.RecvPortEdit()->selectAll();
  QTest::keyClick(form.RecvPortEdit(), Qt::Key_0);
  EXPECT_EQ(m_boxes.Texts(), std::vector<std::wstring>{L"Port number cannot be 0"});
  EXPECT_EQ(Stored(path)->recv_port, port);

  // The community check comes first, the version check last.
  m_boxes.Clear();
  form.RecvPortEdit()->setText(QString::number(port));
  form.SendCommunityEdit()->selectAll();
  QTest::keyClick(form.SendCommunityEdit(), Qt::Key_Delete);
  form.SendCommunityEdit()->setText(QStringLiteral("trap"));
  form.Version1Box()->click();
  form.Version2cBox()->click();
  EXPECT_EQ(m_boxes.Texts(), (std::vector<std::wstring>{L"Community string cannot be empty",
                                                        L"At least one SNMP version must be activated"}));
  form.Version2cBox()->click();
  form.LastRequesterBox()->click();
  EXPECT_TRUE(form.AddressEdit()->isEnabled());
  form.AddressEdit()->Parts()[3]->selectAll();
  QTest::keyClicks(form.AddressEdit()->Parts()[3], "9");
  auto stored = Stored(path);
  EXPECT_EQ(stored->send_community, L"trap");
  EXPECT_FALSE(stored->recv_version1);
  EXPECT_TRUE(stored->recv_version2c);
  EXPECT_FALSE(stored->send_to_last_requester);
  EXPECT_EQ(stored->send_address, 0x7F000009u);

  // A running simulator: typing restores the text and warns.
  m_boxes.Clear();
  ASSERT_TRUE(Start(path));
  QTest::keyClicks(form.DescriptionEdit(), "!");
  EXPECT_EQ(form.DescriptionEdit()->toPlainText(), "about s");
  EXPECT_EQ(m_boxes.Texts(),
            std::vector<std::wstring>{L"Simulator is running, you are not allowed to modify it, stop it first"});
  EXPECT_EQ(Stored(path)->description, L"about s");
}

TEST_F(SimulerTest, ValueListAddModifyDeleteFollowTheirRules) {
  const std::wstring path = MakeSimulator(m_personal, L"v", netsnmp::FreeUdpPort(),
                                          {{L"1.3.6.1.2.1.1.1.0", L"Octet String", L"one"},
                                           {L"1.3.6.1.2.1.1.2.0", L"Object Identifier", L"1.3.6.1.4.1.8072"},
                                           {L"1.3.6.1.2.1.1.3.0", L"TimeTicks", L"100"},
                                           {L"1.3.6.1.2.1.1.4.0", L"Octet String", L"four"},
                                           {L"1.3.6.1.2.1.1.5.0", L"Octet String", L"five"}});
  NewFrame();
  CViewSimulerValue& values = *m_frame->Values();
  ASSERT_TRUE(Select(m_personal));
  EXPECT_EQ(values.EmptyText(), "This is not a simulator");
  EXPECT_FALSE(values.IsCommandEnabled(ID_VALUE_ADD));
  ASSERT_TRUE(Select(path));
  ASSERT_EQ(values.RowCount(), 5);
  EXPECT_EQ(values.CellText(2, CViewSimulerValue::COLUMN_NUMBER), "3");
  EXPECT_EQ(values.CellText(2, CViewSimulerValue::COLUMN_TYPE), "TimeTicks");
  EXPECT_EQ(values.CellText(0, CViewSimulerValue::COLUMN_VALUE), "one");

  // An OID already listed is refused.
  {
    auto watcher = AcceptNext<CDlgValueModify>([](CDlgValueModify& dialog) {
      EXPECT_FALSE(dialog.OkButton()->isEnabled());
      dialog.OidEdit()->setText(QStringLiteral("1.3.6.1.2.1.1.5.0"));
      dialog.TypeBox()->setCurrentText(QStringLiteral("Integer"));
      dialog.ValueEdit()->setText(QStringLiteral("5"));
    });
    EXPECT_FALSE(values.OnCommand(ID_VALUE_ADD));
  }
  EXPECT_EQ(m_boxes.Texts(), std::vector<std::wstring>{L"Unable to add this value"});
  EXPECT_EQ(StoredOids(path).size(), 5u);

  // Double-click modifies; a text the type cannot hold is refused.
  SelectRows(values, {2});
  {
    auto watcher = AcceptNext<CDlgValueModify>([](CDlgValueModify& dialog) {
      EXPECT_FALSE(dialog.OidEdit()->isEnabled());
      EXPECT_EQ(dialog.ValueEdit()->selectedText(), "100");
      dialog.ValueEdit()->setText(QStringLiteral("soon"));
    });
    const QRect cell = values.visualRect(values.model()->index(2, 1));
    QTest::mouseDClick(values.viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_TRUE(watcher->Seen());
  }
  EXPECT_EQ(m_boxes.Texts(), (std::vector<std::wstring>{L"Unable to add this value", L"Unable to modify this value"}));
  EXPECT_EQ(StoredValue(path, L"1.3.6.1.2.1.1.3.0"), L"100");
  SelectRows(values, {2});
  {
    auto watcher = AcceptNext<CDlgValueModify>([](CDlgValueModify& dialog) {
      dialog.TypeBox()->setCurrentText(QStringLiteral("Gauge32"));
      dialog.ValueEdit()->setText(QStringLiteral("42"));
    });
    EXPECT_TRUE(values.OnCommand(ID_VALUE_MODIFY));
  }
  Settle();
  EXPECT_EQ(StoredValue(path, L"1.3.6.1.2.1.1.3.0"), L"42");
  EXPECT_EQ(values.CellText(2, CViewSimulerValue::COLUMN_TYPE), "Gauge32");

  // Three rows go in one save.
  SelectRows(values, {0, 2, 4});
  EXPECT_FALSE(values.IsCommandEnabled(ID_VALUE_ADD));
  EXPECT_FALSE(values.IsCommandEnabled(ID_VALUE_MODIFY));
  EXPECT_FALSE(values.IsCommandEnabled(ID_COPY_OID));
  LogCapture log;
  EXPECT_TRUE(values.OnCommand(ID_VALUE_DELETE));
  Settle();
  EXPECT_EQ(log.CountContaining(L"Saving Simulator file"), 1u);
  EXPECT_EQ(StoredOids(path), (std::vector<std::wstring>{L"1.3.6.1.2.1.1.2.0", L"1.3.6.1.2.1.1.4.0"}));
  EXPECT_EQ(values.RowCount(), 2);

  // A running simulator's values are not edited.
  ASSERT_TRUE(Start(path));
  SelectRows(values, {0});
  for (uint32_t id : {ID_VALUE_ADD, ID_VALUE_MODIFY, ID_VALUE_DELETE}) EXPECT_FALSE(values.IsCommandEnabled(id)) << id;
  EXPECT_TRUE(values.IsCommandEnabled(ID_COPY_VALUE));
}

namespace {

// Fills the wizard's pages; an empty name leaves page 1 as it is.
void FillWizard(CSheetCreateSimulator& sheet, const QString& name, uint16_t port) {
  sheet.Page1()->NameEdit()->setText(name);
  sheet.Page1()->DescriptionEdit()->setPlainText(QStringLiteral("made by the wizard"));
  sheet.Page2()->PortEdit()->setText(QString::number(port));
}

}  // namespace

// The wizard's simulator then takes values, serves them to Net-SNMP and
// stops from the tree.
TEST_F(SimulerTest, WizardRefusesANameTakenInTheFolderCreatesAndTheSimulatorServes) {
  const uint16_t port = netsnmp::FreeUdpPort();
  const std::wstring existing = MakeSimulator(m_personal, L"twin", 1161, {});
  NewFrame();
  // Same name in the same folder: refused on page 1; cancel changes nothing.
  ASSERT_TRUE(Select(m_personal));
  {
    ModalWatcher<CSheetCreateSimulator> watcher([&](CSheetCreateSimulator& sheet) {
      EXPECT_EQ(sheet.windowTitle(), "Create simulator");
      sheet.next();
      EXPECT_EQ(sheet.currentPage(), sheet.Page1());
      FillWizard(sheet, QStringLiteral("twin"), 1161);
      sheet.next();
      EXPECT_EQ(sheet.currentPage(), sheet.Page1());
      sheet.reject();
    });
    EXPECT_FALSE(m_frame->OnCommand(ID_SIMULATOR_CREATE));
  }
  EXPECT_EQ(m_boxes.Texts(), (std::vector<std::wstring>{L"Simulator name must not be empty",
                                                        L"A simulator with that name is already existing"}));
  EXPECT_EQ(Left().Library().GetSimulators().size(), 1u);
  EXPECT_EQ(StoredDword(SETTING_DLG_CREATE_SIMULATOR_LAST_RECV_PORT), 0xFFFFFFFFu) << "nothing stored on cancel";

  // The same name in another folder is accepted.
  m_boxes.Clear();
  ASSERT_TRUE(Select(m_common));
  {
    ModalWatcher<CSheetCreateSimulator> watcher([&](CSheetCreateSimulator& sheet) {
      FillWizard(sheet, QStringLiteral("twin"), port);
      sheet.next();
      ASSERT_EQ(sheet.currentPage(), sheet.Page2());
      sheet.Page2()->CommunityEdit()->setText(QStringLiteral("gamma"));
      sheet.Page2()->Version1Box()->setChecked(false);
      sheet.next();
      ASSERT_EQ(sheet.currentPage(), sheet.Page3());
      sheet.button(QWizard::FinishButton)->click();
    });
    EXPECT_TRUE(m_frame->OnCommand(ID_SIMULATOR_CREATE));
  }
  EXPECT_TRUE(m_boxes.Texts().empty());
  const std::wstring made = m_common + L"/twin.tav";
  ASSERT_TRUE(fs::exists(made));
  auto stored = Stored(made);
  EXPECT_EQ(stored->recv_community, L"gamma");
  EXPECT_FALSE(stored->recv_version1);
  EXPECT_EQ(stored->description, L"made by the wizard");
  EXPECT_EQ(stored->send_address, 0x7F000001u);
  EXPECT_EQ(Left().Library().GetSimulators().size(), 2u);
  ASSERT_NE(Left().SelectedEntry(), nullptr);
  EXPECT_EQ(Left().SelectedEntry()->path, made) << "the new simulator is selected";
  EXPECT_EQ(ReadSettingString(SETTING_DLG_CREATE_SIMULATOR_LAST_RECV_COMMUNITY), L"gamma");
  EXPECT_EQ(Stored(existing)->recv_port, 1161u);

  Settle();
  m_boxes.Clear();
  const std::wstring& path = made;
  CViewSimulerValue& values = *m_frame->Values();
  EXPECT_EQ(values.EmptyText(), "No value in that simulator");
  const std::vector<std::array<QString, 3>> added = {
      {"1.3.6.1.2.1.1.5.0", "Octet String", "lab-host"},
      {"1.3.6.1.2.1.1.1.0", "Octet String", "a simulated box"},
      {"1.3.6.1.2.1.1.7.0", "Integer", "72"},
  };
  for (const auto& [oid, type, text] : added) {
    auto watcher = AcceptNext<CDlgValueModify>([&](CDlgValueModify& dialog) {
      dialog.OidEdit()->setText(oid);
      dialog.TypeBox()->setCurrentText(type);
      dialog.ValueEdit()->setText(text);
    });
    ASSERT_TRUE(values.OnCommand(ID_VALUE_ADD)) << oid.toStdString();
    Settle();
  }
  ASSERT_EQ(values.RowCount(), 3);
  EXPECT_EQ(values.CellText(0, CViewSimulerValue::COLUMN_OID), "1.3.6.1.2.1.1.1.0") << "saved in OID order";

  // Start by double-clicking the simulator in the tree.
  CViewSimulerLeft& left = Left();
  const QRect item = left.visualRect(left.IndexOf(CViewSimulerLeft::NodeOfEntry(left.SelectedEntry())));
  QTest::mouseDClick(left.viewport(), Qt::LeftButton, {}, item.center());
  ASSERT_NE(left.Library().GetRunning(), nullptr);
  EXPECT_TRUE(m_boxes.Entries().empty());

  if (const char* folder = std::getenv("TAVELO_SCREENSHOT_DIR")) {
    EXPECT_TRUE(m_frame->grab().save(QString::fromUtf8(folder) + QStringLiteral("/simuler.png")));
  }
  EXPECT_EQ(Tool("snmpget", "-v2c", port, {"1.3.6.1.2.1.1.5.0"}, "gamma"),
            ".1.3.6.1.2.1.1.5.0 = STRING: \"lab-host\"\n");
  EXPECT_EQ(Tool("snmpget", "-v1", port, {"1.3.6.1.2.1.1.5.0"}, "gamma").rfind("failed: ", 0), 0u) << "v1 is off";
  const std::string walk = Tool("snmpwalk", "-v2c", port, {"1.3.6.1.2.1.1"}, "gamma");
  EXPECT_EQ(netsnmp::WalkOids(walk),
            (std::vector<std::string>{"1.3.6.1.2.1.1.1.0", "1.3.6.1.2.1.1.5.0", "1.3.6.1.2.1.1.7.0"}))
      << walk;
  EXPECT_EQ(Tool("snmpset", "-v2c", port, {"1.3.6.1.2.1.1.5.0", "s", "renamed"}, "gamma"),
            ".1.3.6.1.2.1.1.5.0 = STRING: \"renamed\"\n");
  // The engine's refresh reaches the list and the file.
  EXPECT_TRUE(ProcessUntil([&] { return values.CellText(1, CViewSimulerValue::COLUMN_VALUE) == "renamed"; }))
      << values.CellText(1, CViewSimulerValue::COLUMN_VALUE).toStdString();
  EXPECT_EQ(StoredValue(path, L"1.3.6.1.2.1.1.5.0"), L"renamed");

  // Stop from the tree's context menu command.
  EXPECT_TRUE(left.IsCommandEnabled(ID_SIMULATOR_STOP));
  EXPECT_TRUE(left.OnCommand(ID_SIMULATOR_STOP));
  EXPECT_EQ(left.Library().GetRunning(), nullptr);
  EXPECT_EQ(Tool("snmpget", "-v2c", port, {"1.3.6.1.2.1.1.5.0"}, "gamma").rfind("failed: ", 0), 0u)
      << "nothing answers once stopped";
  EXPECT_EQ(ReadSettingString(SETTING_VIEW_SIMULER_LAST_STARTED_SIMULATOR), L"");
}

TEST_F(SimulerTest, SimulateCopiesWalkedRowsIntoAStoppedSimulatorOnly) {
  const uint16_t port = netsnmp::FreeUdpPort();
  const std::wstring source = MakeSimulator(m_personal, L"source", port,
                                            {{L"1.3.6.1.2.1.1.1.0", L"Octet String", L"walked"},
                                             {L"1.3.6.1.2.1.1.3.0", L"TimeTicks", L"4200"},
                                             {L"1.3.6.1.2.1.1.7.0", L"Integer", L"72"}});
  const std::wstring copy = MakeSimulator(m_common, L"copy", 1, {{L"1.3.6.1.2.1.1.7.0", L"Integer", L"1"}});
  NewFrame();
  ASSERT_TRUE(Start(source));
  m_walker = std::make_unique<CViewWalker>(m_dispatcher.get());
  m_walker->SetSimulatorLibrary(&Left().Library());
  m_walker->show();
  StoreSnmpParameters(port, 2, 1000, 2, "1.3.6.1.2.1.1", "1.3.6.1.2.1.1.7.0");
  ASSERT_TRUE(m_walker->OnCommand(ID_WALKER_RESTART));
  ASSERT_TRUE(ProcessUntil([&] { return !m_walker->IsRequestRunning(); }, 20000)) << "the walk never ended";
  ASSERT_EQ(m_walker->RowCount(), 3);
  EXPECT_FALSE(m_walker->IsCommandEnabled(ID_WALKER_SIMULATE));
  m_walker->selectAll();
  EXPECT_TRUE(m_walker->IsCommandEnabled(ID_WALKER_SIMULATE));

  // Into the running simulator: a warning and nothing added.
  {
    ModalWatcher<CDlgSimulatorChooser> watcher([&](CDlgSimulatorChooser& chooser) {
      EXPECT_FALSE(chooser.OkButton()->isEnabled());
      ASSERT_TRUE(chooser.Choose(source));
      QTest::mouseClick(chooser.OkButton(), Qt::LeftButton);
    });
    EXPECT_FALSE(m_walker->OnCommand(ID_WALKER_SIMULATE));
  }
  EXPECT_EQ(m_boxes.Texts(), std::vector<std::wstring>{L"Can't add values to a started simulator"});
  EXPECT_EQ(StoredOids(source).size(), 3u);

  // Into a stopped one never selected (so not loaded yet): its own value
  // stays, the duplicate row is refused, the others join.
  {
    auto watcher = AcceptNext<CDlgSimulatorChooser>([&](CDlgSimulatorChooser& chooser) { chooser.Choose(copy); });
    EXPECT_TRUE(m_walker->OnCommand(ID_WALKER_SIMULATE));
  }
  Settle();
  EXPECT_EQ(StoredOids(copy),
            (std::vector<std::wstring>{L"1.3.6.1.2.1.1.1.0", L"1.3.6.1.2.1.1.3.0", L"1.3.6.1.2.1.1.7.0"}));
  EXPECT_EQ(StoredValue(copy, L"1.3.6.1.2.1.1.7.0"), L"1");
  EXPECT_EQ(StoredValue(copy, L"1.3.6.1.2.1.1.3.0"), L"4200");
  EXPECT_EQ(Left().SelectedEntry()->path, copy);
  EXPECT_EQ(m_frame->Values()->RowCount(), 3);
}
