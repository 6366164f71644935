// The Browser tab on real MIB modules: the tree model, labels, the detail
// form, the commands, displaying an OID, load errors, search and the GUI
// thread's responsiveness while a long load runs.
#include "gui/ViewMibBrowser.h"

#include "gui/DlgMessageBox.h"
#include "gui/DlgSelectMibFile.h"
#include "gui/GuiShowMessage.h"
#include "gui/MainMenu.h"
#include "gui/ViewMibBrowserLeft.h"
#include "gui/ViewMibBrowserRight.h"
#include "smi/MibFolders.h"
#include "smi/SmiLoader.h"
#include "tests/gui/GuiFixture.h"

#include <QAbstractItemModelTester>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace {

const std::string kMibs = TAVELO_MIBS_DIR;

std::vector<CSmiModuleKey> Keys(const std::vector<std::wstring>& names) {
  std::vector<CSmiModuleKey> keys;
  for (const std::wstring& name : names) keys.push_back(CSmiModuleKey::FromString(name));
  return keys;
}

std::vector<CSmiModuleKey> IetfKeys() {
  std::vector<std::wstring> names;
  std::ifstream list(kMibs + "/IETF-MODULES.txt");
  for (std::string line; std::getline(list, line);)
    if (!line.empty()) names.push_back(std::wstring(line.begin(), line.end()));
  return Keys(names);
}

std::wstring NameOf(const CSmiObject* object) { return object ? object->Name() : L"(none)"; }

class ViewMibBrowserTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    if (!std::filesystem::exists(kMibs + "/IF-MIB.mib")) GTEST_SKIP() << "no MIB modules in " << kMibs;
    SetMibSearchFolders({std::wstring(kMibs.begin(), kMibs.end())});
    m_shower = std::make_unique<CGuiShowMessage>(m_dispatcher.get());
    m_previous = SetShowMessage(m_shower.get());
    {
      CSmiTreeProtected lock;
      SmiTree().Reset();
    }
    m_browser = std::make_unique<CViewMibBrowser>(m_dispatcher.get());
    m_browser->resize(900, 600);
    m_shower->SetMainWindow(m_browser.get());
  }
  void TearDown() override {
    if (m_shower) m_shower->Quit();
    m_browser.reset();
    if (m_shower) SetShowMessage(m_previous);
    m_shower.reset();
    SetMibSearchFolders({});
    GuiTest::TearDown();
  }

  CViewMibBrowserLeft& Left() { return *m_browser->Left(); }

  // Starts a load and waits for its end and the tree's rebuild.
  bool Load(const std::vector<CSmiModuleKey>& keys, bool reset = true, int timeout_ms = 60000) {
    if (!Left().StartLoad(reset, keys)) return false;
    return WaitLoaded(timeout_ms);
  }
  bool WaitLoaded(int timeout_ms = 60000) {
    return ProcessUntil([&] { return !Left().IsLoading(); }, timeout_ms);
  }
  CMibTreeIndex::Node NodeOf(const SmiOid& oid) { return Left().Index().FindOid(oid); }

  std::unique_ptr<CGuiShowMessage> m_shower;
  CShowMessage* m_previous = nullptr;
  std::unique_ptr<CViewMibBrowser> m_browser;
};

const SmiOid kSysDescr = {1, 3, 6, 1, 2, 1, 1, 1};
const SmiOid kIfDescr = {1, 3, 6, 1, 2, 1, 2, 2, 1, 2};

TEST_F(ViewMibBrowserTest, ModelPassesTheTesterOverTheIetfSetAndLabelsFollowTheMode) {
  WriteSettingDword(SETTING_VIEW_MIB_BROWSER_DISPLAY_MODULE_MODE, -1, 0);
  QAbstractItemModelTester tester(Left().TreeModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);
  EXPECT_EQ(Left().EmptyText(), QStringLiteral("No MIB file loaded"));
  const std::vector<CSmiModuleKey> keys = IetfKeys();
  ASSERT_GT(keys.size(), 400u);
  ASSERT_TRUE(Left().StartLoad(true, keys));
  EXPECT_EQ(Left().EmptyText(), QStringLiteral("Loading MIB file..."));
  EXPECT_FALSE(Left().IsCommandEnabled(ID_BROWSER_LOAD)) << "Load while a load runs";
  ASSERT_TRUE(WaitLoaded()) << "the IETF set did not load";
  ASSERT_GT(Left().Index().NodeCount(), 10000u);
  EXPECT_TRUE(Left().IsCommandEnabled(ID_BROWSER_UNLOAD));

  const CMibTreeIndex& index = Left().Index();
  QAbstractItemModel* model = Left().TreeModel();
  const CMibTreeIndex::Node sys_descr = NodeOf(kSysDescr);
  ASSERT_NE(sys_descr, CMibTreeIndex::kRoot);
  struct Case {
    uint32_t command;
    const char* label;
    const char* parent;
  };
  for (const Case& c : {Case{ID_BROWSER_DISPLAY_OID_NAME, "sysDescr (1)", "system (1)"},
                        Case{ID_BROWSER_DISPLAY_OID, "1", "1"}, Case{ID_BROWSER_DISPLAY_NAME, "sysDescr", "system"}}) {
    if (Left().IsCommandEnabled(c.command)) {
      ASSERT_TRUE(Left().OnCommand(c.command));
    }
    EXPECT_FALSE(Left().IsCommandEnabled(c.command)) << "the chosen mode stays enabled";
    const QModelIndex item = Left().IndexOf(sys_descr);
    EXPECT_EQ(model->data(item, Qt::DisplayRole).toString(), QString::fromLatin1(c.label));
    EXPECT_EQ(model->data(model->parent(item), Qt::DisplayRole).toString(), QString::fromLatin1(c.parent));
    EXPECT_EQ(StoredDword(SETTING_VIEW_MIB_BROWSER_DISPLAY_OID_MODE), Left().DisplayOidMode());
  }
  EXPECT_EQ(index.Image(sys_descr), MIB_IMAGE_OBJECT_TYPE);
  EXPECT_EQ(index.Image(index.Parent(sys_descr)), MIB_IMAGE_OBJECT_IDENTIFIER);
}

TEST_F(ViewMibBrowserTest, SelectingANodeFillsTheDetailFormAndExpandOneOpensIt) {
  ASSERT_TRUE(Load(Keys({L"SNMPv2-MIB", L"IF-MIB"})));
  const CMibTreeIndex::Node sys_descr = NodeOf(kSysDescr);
  ASSERT_NE(sys_descr, CMibTreeIndex::kRoot);
  Left().Reveal(sys_descr);
  CViewMibBrowserRight& right = *m_browser->Right();
  ASSERT_TRUE(ProcessUntil([&] { return right.FieldText(CViewMibBrowserRight::FIELD_NAME) == "sysDescr"; }))
      << "SELECT_CHANGE did not reach the form";
  EXPECT_EQ(right.FieldText(CViewMibBrowserRight::FIELD_OID), QStringLiteral("1.3.6.1.2.1.1.1"));
  EXPECT_EQ(right.FieldText(CViewMibBrowserRight::FIELD_ACCESS), QStringLiteral("read-only"));
  EXPECT_EQ(right.FieldText(CViewMibBrowserRight::FIELD_TYPE), QStringLiteral("DisplayString"));
  EXPECT_TRUE(right.FieldText(CViewMibBrowserRight::FIELD_SUB_TYPE).contains(QStringLiteral("0..255")));
  EXPECT_TRUE(right.FieldText(CViewMibBrowserRight::FIELD_FILE).endsWith(QStringLiteral("/SNMPv2-MIB.mib")));
  EXPECT_GT(right.FieldText(CViewMibBrowserRight::FIELD_LINE).toInt(), 0);
  EXPECT_TRUE(right.Description().contains(QStringLiteral("textual description")));
  // Expand One and Collapse One act on the selected node.
  const CMibTreeIndex::Node if_table = NodeOf({1, 3, 6, 1, 2, 1, 2, 2});
  Left().Reveal(if_table);
  const QModelIndex item = Left().IndexOf(if_table);
  ASSERT_TRUE(Left().OnCommand(ID_BROWSER_EXPAND_ONE));
  EXPECT_TRUE(Left().isExpanded(item));
  EXPECT_FALSE(Left().isExpanded(Left().IndexOf(Left().Index().Child(if_table, 0)))) << "more than one level";
  ASSERT_TRUE(Left().OnCommand(ID_BROWSER_COLLAPSE_ONE));
  EXPECT_FALSE(Left().isExpanded(item));
}

TEST_F(ViewMibBrowserTest, UnloadThenReloadLoadsNothing) {
  WriteSettingString(SETTING_VIEW_MIB_BROWSER_LAST_FILE, L"IF-MIB");
  ASSERT_TRUE(Left().OnReload());
  ASSERT_TRUE(WaitLoaded());
  ASSERT_FALSE(Left().Index().Empty());
  ASSERT_TRUE(Left().OnCommand(ID_BROWSER_UNLOAD));
  EXPECT_EQ(ReadSettingString(SETTING_VIEW_MIB_BROWSER_LAST_FILE), L"");
  EXPECT_TRUE(Left().Index().Empty());
  EXPECT_EQ(Left().TreeModel()->rowCount(), 0);
  {
    CSmiTreeProtected lock;
    EXPECT_EQ(SmiTree().ObjectCount(), 3u) << "the tree is not reset";
  }
  EXPECT_FALSE(Left().IsCommandEnabled(ID_BROWSER_RELOAD));
  EXPECT_FALSE(Left().IsCommandEnabled(ID_BROWSER_UNLOAD));
  EXPECT_FALSE(Left().OnReload());
  QTest::qWait(200);
  EXPECT_FALSE(Left().IsLoading());
  EXPECT_TRUE(Left().Index().Empty());
}

TEST_F(ViewMibBrowserTest, DisplayingAnOidOfAModuleNotLoadedLoadsItAndSelectsTheBestKnownNode) {
  ASSERT_TRUE(Load(Keys({L"SNMPv2-MIB"})));
  ASSERT_EQ(NodeOf(kIfDescr), CMibTreeIndex::kRoot);

  // A loaded node is selected at once.
  ASSERT_TRUE(PostBrowserDisplay(L"test", L"1.3.6.1.2.1.1.1"));
  ASSERT_TRUE(ProcessUntil([&] { return NameOf(Left().SelectedObject()) == L"sysDescr"; }));

  // An instance of ifDescr: IF-MIB is loaded (without reset), then ifDescr selected.
  ASSERT_TRUE(PostBrowserDisplay(L"test", L"1.3.6.1.2.1.2.2.1.2.7"));
  ASSERT_TRUE(ProcessUntil([&] { return NameOf(Left().SelectedObject()) == L"ifDescr"; }, 30000))
      << "selected: " << QString::fromStdWString(NameOf(Left().SelectedObject())).toStdString();
  EXPECT_NE(NodeOf(kSysDescr), CMibTreeIndex::kRoot) << "the load reset the tree";
  EXPECT_EQ(Left().SelectedObject()->oid, kIfDescr);
}

TEST_F(ViewMibBrowserTest, SelectDialogListsTheFoldersAndLoadWaitsForASelection) {
  const std::filesystem::path personal(PersonalMibsFolder());
  const std::string module = "GOOD-MIB DEFINITIONS ::= BEGIN\ngoodRoot OBJECT IDENTIFIER ::= { iso 3 99 }\nEND\n";
  WriteFileBytes(personal / "GOOD-MIB.mib", module);
  WriteFileBytes(personal / "IF-MIB.v2.mib", "");
  std::filesystem::create_directories(personal / "FOLDER.mib");
  WriteFileBytes(personal / "notes.txt", "");

  CDlgSelectMibFile dialog;
  QListWidget* list = dialog.List(CDlgSelectMibFile::FOLDER_PERSONAL);
  ASSERT_EQ(list->count(), 2);
  EXPECT_EQ(list->item(0)->text(), QStringLiteral("GOOD-MIB"));
  EXPECT_EQ(list->item(1)->text(), QStringLiteral("IF-MIB"));
  EXPECT_EQ(dialog.List(CDlgSelectMibFile::FOLDER_COMMON)->count(), 0);
  EXPECT_FALSE(dialog.LoadButton()->isEnabled());
  list->item(0)->setSelected(true);
  EXPECT_TRUE(dialog.LoadButton()->isEnabled());
  list->item(0)->setSelected(false);
  EXPECT_FALSE(dialog.LoadButton()->isEnabled());
  dialog.AllModules()->setChecked(true);
  EXPECT_EQ(StoredDword(SETTING_VIEW_MIB_BROWSER_DISPLAY_MODULE_MODE), 0u);
  dialog.SelectedModulesButton()->setChecked(true);
  EXPECT_EQ(StoredDword(SETTING_VIEW_MIB_BROWSER_DISPLAY_MODULE_MODE), 1u);

  // The Load command: the chosen file is loaded and remembered.
  ModalWatcher<CDlgSelectMibFile> watcher([](CDlgSelectMibFile& open) {
    open.List(CDlgSelectMibFile::FOLDER_PERSONAL)->item(0)->setSelected(true);
    open.LoadButton()->click();
  });
  ASSERT_TRUE(Left().OnCommand(ID_BROWSER_LOAD));
  EXPECT_TRUE(watcher.Seen());
  ASSERT_TRUE(WaitLoaded());
  EXPECT_EQ(ReadSettingString(SETTING_VIEW_MIB_BROWSER_LAST_FILE), L"GOOD-MIB");
  const CMibTreeIndex::Node node = NodeOf({1, 3, 99});
  ASSERT_NE(node, CMibTreeIndex::kRoot);
  EXPECT_EQ(NameOf(Left().Index().Object(node)), L"goodRoot");
}

TEST_F(ViewMibBrowserTest, ASyntaxErrorInTheSecondModuleShowsFileAndLineAndLeavesTheTreeEmpty) {
  const std::filesystem::path folder = m_home->path() / "mibs";
  WriteFileBytes(folder / "GOOD-MIB.mib",
                 "GOOD-MIB DEFINITIONS ::= BEGIN\ngoodRoot OBJECT IDENTIFIER ::= { iso 3 99 }\nEND\n");
  WriteFileBytes(folder / "BAD-MIB.mib",
                 "BAD-MIB DEFINITIONS ::= BEGIN\nbadRoot OBJECT IDENTIFIER ::= { iso 3 98 }\n"
                 "badLeaf OBJECT IDENTIFIER ::= ( badRoot 1 }\nEND\n");
  WriteFileBytes(folder / "THIRD-MIB.mib",
                 "THIRD-MIB DEFINITIONS ::= BEGIN\nthirdRoot OBJECT IDENTIFIER ::= { iso 3 97 }\nEND\n");
  QString shown;
  ModalWatcher<CDlgMessageBoxError> watcher([&](CDlgMessageBoxError& box) {
    shown = box.ShownText();
    box.accept();
  });
  std::vector<CSmiModuleKey> keys;
  for (const char* name : {"GOOD-MIB", "BAD-MIB", "THIRD-MIB"})
    keys.push_back(CSmiModuleKey::FromPath((folder / (std::string(name) + ".mib")).wstring()));
  ASSERT_TRUE(Load(keys));
  ASSERT_TRUE(watcher.Seen()) << "no error box";
  EXPECT_TRUE(shown.contains(QStringLiteral("File:") + QString::fromStdString((folder / "BAD-MIB.mib").string())))
      << shown.toStdString();
  EXPECT_TRUE(shown.contains(QStringLiteral("Line:3"))) << shown.toStdString();
  EXPECT_TRUE(Left().Index().Empty());
  EXPECT_EQ(Left().EmptyText(), QStringLiteral("No MIB file loaded"));
  CSmiTreeProtected lock;
  EXPECT_EQ(SmiTree().ObjectCount(), 3u);
  EXPECT_FALSE(SmiTree().FindModule(keys[2])) << "the third module was loaded";
}

TEST_F(ViewMibBrowserTest, SearchFindsNamesModuleNamesOidsAndSubstringsAndRevealsTheChoice) {
  WriteSettingDword(SETTING_VIEW_MIB_BROWSER_DISPLAY_MODULE_MODE, -1, 0);
  ASSERT_TRUE(Load(IetfKeys()));
  const CMibTreeIndex& index = Left().Index();
  struct Case {
    const char* text;
    const char* first;  // name of the first match
  };
  for (const Case& c :
       {Case{"ifDescr", "ifDescr"}, Case{"if-mib::IFDESCR", "ifDescr"}, Case{"1.3.6.1.2.1.2.2.1.2", "ifDescr"},
        Case{".1.3.6.1.2.1.2.2.1.2.99", "ifDescr"}, Case{"  sysDescr ", "sysDescr"}}) {
    const std::vector<CMibTreeIndex::Node> found = index.Search(c.text, 20);
    ASSERT_FALSE(found.empty()) << c.text;
    const std::string name = QString::fromStdWString(index.Object(found.front())->Name()).toStdString();
    EXPECT_EQ(name, c.first) << c.text;
  }
  // A substring: names beginning with it first, then the others.
  const std::vector<CMibTreeIndex::Node> inner = index.Search("fdescr", 500);
  EXPECT_NE(std::find_if(inner.begin(), inner.end(), [&](auto n) { return index.Object(n)->Name() == L"ifDescr"; }),
            inner.end());
  const std::vector<CMibTreeIndex::Node> begins = index.Search("ifdes", 500);
  ASSERT_FALSE(begins.empty());
  EXPECT_EQ(index.Object(begins.front())->Name().rfind(L"ifDes", 0), 0u);
  EXPECT_TRUE(index.Search("IF-MIB::noSuchName", 10).empty());
  EXPECT_TRUE(index.Search("1..3", 10).empty());
  EXPECT_LE(index.Search("if", 7).size(), 7u);

  // Typing lists the matches; choosing one selects and reveals its node.
  m_browser->show();
  m_browser->SearchField()->setText(QStringLiteral("IF-MIB::ifDescr"));
  ASSERT_GT(m_browser->Matches()->count(), 0);
  EXPECT_TRUE(m_browser->Matches()->isVisible());
  m_browser->ChooseMatch(0);
  EXPECT_EQ(NameOf(Left().SelectedObject()), L"ifDescr");
  EXPECT_TRUE(Left().isExpanded(Left().IndexOf(index.Parent(NodeOf(kIfDescr))))) << "the node is not revealed";
  m_browser->SearchField()->clear();
  EXPECT_EQ(m_browser->Matches()->count(), 0);
}

// A 5 ms timer ticks all through a load of the whole collection, not only
// before and after it; how long the loop stalls is measured by bench_browser.
TEST_F(ViewMibBrowserTest, TheEventLoopKeepsRunningWhileTheWholeCollectionLoads) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "run in the normal build";
#endif
  WriteSettingDword(SETTING_VIEW_MIB_BROWSER_DISPLAY_MODULE_MODE, -1, 0);
  std::vector<CSmiModuleKey> keys;
  for (const std::wstring& name : ListFolderModules(std::wstring(kMibs.begin(), kMibs.end())))
    keys.push_back(CSmiModuleKey::FromString(name));
  ASSERT_GT(keys.size(), 4000u);
  m_browser->show();
  Left().Worker().SetKeepGoing(true);
  int ticks_loading = 0;   // while the worker loads
  int ticks_building = 0;  // after the worker, while the index is built
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    if (Left().Worker().IsRunning()) {
      ++ticks_loading;
    } else if (Left().IsLoading()) {
      ++ticks_building;
    }
  });
  ASSERT_TRUE(Left().StartLoad(true, keys));
  ticker.start(5);
  const bool loaded = WaitLoaded(600000);
  ticker.stop();
  Left().Worker().SetKeepGoing(false);
  ASSERT_TRUE(loaded) << "the collection did not load in 10 minutes";
  EXPECT_GT(Left().Index().NodeCount(), 400000u);
  // Hundreds of ticks on a quiet machine; 20 leaves room for a busy one.
  EXPECT_GE(ticks_loading, 20) << "the event loop did not turn while the modules loaded";
  EXPECT_GE(ticks_building, 1) << "the event loop did not turn while the index was built";
}

}  // namespace
