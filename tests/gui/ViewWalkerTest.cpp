#include "gui/ViewWalker.h"

#include "gui/DlgSnmpParameter.h"
#include "gui/MainMenu.h"
#include "gui/SmartText.h"
#include "gui/TabbedView.h"
#include "gui/ViewMibBrowser.h"
#include "gui/ViewMibBrowserLeft.h"
#include "kit/ZubConvertor.h"
#include "smi/MibFolders.h"
#include "tests/common/NetSnmp.h"
#include "tests/common/ScriptedAgent.h"
#include "tests/common/UdpSocket.h"
#include "tests/gui/GuiFixture.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include <atomic>
#include <map>
#include <thread>

namespace {

// One line of `snmpwalk -On`: OID without the leading dot, type and value
// in our names and text forms.
struct Variable {
  std::string oid, type, value;
  bool operator==(const Variable&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Variable& v) {
  return out << v.oid << " " << v.type << " " << v.value;
}

std::vector<Variable> Parse(const std::string& output) {
  static const std::map<std::string, std::string> kTypes = {
      {"STRING", "Octet String"}, {"INTEGER", "Integer"}, {"OID", "Object Identifier"}, {"Timeticks", "TimeTicks"},
      {"Counter32", "Counter32"}, {"Gauge32", "Gauge32"}, {"IpAddress", "IP Address"},  {"Counter64", "Counter64"}};
  std::vector<Variable> out;
  for (const std::string& line : netsnmp::Lines(output)) {
    const size_t eq = line.find(" = ");
    const size_t colon = line.find(": ", eq);
    if (line.empty() || line[0] != '.' || eq == std::string::npos || colon == std::string::npos) continue;
    Variable v{line.substr(1, eq - 1), line.substr(eq + 3, colon - eq - 3), line.substr(colon + 2)};
    if (auto t = kTypes.find(v.type); t != kTypes.end()) v.type = t->second;
    if (v.value.size() >= 2 && v.value.front() == '"' && v.value.back() == '"')
      v.value = v.value.substr(1, v.value.size() - 2);
    if (v.type == "Object Identifier" && !v.value.empty() && v.value[0] == '.') v.value.erase(0, 1);
    if (v.type == "TimeTicks") v.value = v.value.substr(1, v.value.find(')') - 1);
    out.push_back(v);
  }
  return out;
}

std::vector<Variable> Rows(const CViewWalker& view) {
  std::vector<Variable> rows;
  for (int r = 0; r < view.RowCount(); ++r) {
    rows.push_back({view.CellText(r, CViewWalker::COLUMN_OID).toStdString(),
                    view.CellText(r, CViewWalker::COLUMN_TYPE).toStdString(),
                    view.CellText(r, CViewWalker::COLUMN_VALUE).toStdString()});
  }
  return rows;
}

// The rows against snmpwalk's lines; sysUpTime moves on between the two.
void ExpectSameRows(std::vector<Variable> rows, const std::vector<Variable>& expected) {
  ASSERT_GT(expected.size(), 8u);
  ASSERT_EQ(rows.size(), expected.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    if (expected[i].oid == "1.3.6.1.2.1.1.3.0") rows[i].value = expected[i].value;
    EXPECT_EQ(rows[i], expected[i]) << "row " << i;
  }
}

int RowOf(const CViewWalker& view, const QString& oid) {
  for (int r = 0; r < view.RowCount(); ++r) {
    if (view.CellText(r, CViewWalker::COLUMN_OID) == oid) return r;
  }
  return -1;
}

}  // namespace

class ViewWalkerTest : public netsnmp::SuiteWithAgent<GuiTest> {
 protected:
  std::unique_ptr<CViewWalker> NewView() {
    auto view = std::make_unique<CViewWalker>(m_dispatcher.get());
    view->resize(900, 400);
    view->show();
    return view;
  }
  // The system group as snmpwalk lists it.
  std::vector<Variable> SnmpwalkSystem(const char* version) {
    return Parse(netsnmp::Output({"snmpwalk", version, "-c", "tumbol", "-On", m_agent->Target(), ".1.3.6.1.2.1.1"}));
  }
  // Walks the system group with the stored parameters; the rows as snmpwalk lists them.
  std::vector<Variable> WalkSystem(CViewWalker& view, uint32_t version) {
    const std::vector<Variable> expected = SnmpwalkSystem(version == 1 ? "-v1" : "-v2c");
    if (expected.empty()) {
      ADD_FAILURE() << "snmpwalk listed nothing";
      return {};
    }
    StoreSnmpParameters(m_agent->Port(), version, 1000, 2, "1.3.6.1.2.1.1", expected.back().oid);
    EXPECT_TRUE(view.OnCommand(ID_WALKER_RESTART));
    EXPECT_TRUE(Idle(view, 20000)) << "the walk never ended";
    ExpectSameRows(Rows(view), expected);
    return expected;
  }
  static bool Idle(const CViewWalker& view, int timeout_ms = 10000) {
    return ProcessUntil([&] { return !view.IsRequestRunning(); }, timeout_ms);
  }
};

TEST_F(ViewWalkerTest, WalkInV1AndV2cListsWhatSnmpwalkPrints) {
  auto view = NewView();
  for (uint32_t version : {1u, 2u}) {
    SCOPED_TRACE(version);
    const std::vector<Variable> rows = WalkSystem(*view, version);
    EXPECT_EQ(view->CellText(0, CViewWalker::COLUMN_NUMBER).toInt() + static_cast<int>(rows.size()) - 1,
              view->CellText(view->RowCount() - 1, CViewWalker::COLUMN_NUMBER).toInt());
  }
  // Smart display: sysUpTime.0 by its name, a TimeTicks as a duration.
  view->OnCommand(ID_DISPLAY_SMART);
  const int uptime = RowOf(*view, SmartOid(L"1.3.6.1.2.1.1.3.0"));
  EXPECT_NE(SmartOid(L"1.3.6.1.2.1.1.3.0"), "1.3.6.1.2.1.1.3.0");
  ASSERT_GE(uptime, 0);
  EXPECT_TRUE(view->CellText(uptime, CViewWalker::COLUMN_VALUE).contains(QLatin1Char(':')));
  EXPECT_EQ(FormatTimeTicks(8640100), "1d 00:00:01.000");

  // Two rows selected: every command is off.
  view->selectRow(0);
  view->selectionModel()->select(view->model()->index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
  for (uint32_t command : {ID_WALKER_CLEAR, ID_COPY_VALUE, ID_SNMP_GET, ID_SNMP_SET})
    EXPECT_FALSE(view->IsCommandEnabled(command)) << "command " << command;
  view->selectRow(0);
  EXPECT_TRUE(view->IsCommandEnabled(ID_SNMP_GET));
}

TEST_F(ViewWalkerTest, SetAndGetOnARowChangeTheAgentAndTheRow) {
  auto view = NewView();
  const std::vector<Variable> expected = WalkSystem(*view, 2);
  const int row = RowOf(*view, "1.3.6.1.2.1.1.6.0");  // sysLocation
  ASSERT_GE(row, 0);
  const QString number = view->CellText(row, CViewWalker::COLUMN_NUMBER);
  view->selectRow(row);

  // Typed text goes out as its UTF-8 octets and shows as typed.
  const QString typed = QString::fromUtf8("Salle é ☕ 7");
  auto set = AcceptNext<CDlgSnmpSet>([&](CDlgSnmpSet& d) {
    d.CommunityEdit()->setText("quinsar");
    d.ValueEdit()->setText(typed);
  });
  ASSERT_TRUE(view->OnCommand(ID_SNMP_SET));
  ASSERT_TRUE(set->Seen()) << "no Set dialog opened";
  ASSERT_TRUE(Idle(*view));
  EXPECT_EQ(view->CellText(row, CViewWalker::COLUMN_VALUE), typed);
  EXPECT_EQ(ReadSettingString(SETTING_DLG_SNMP_SET_LAST_VALUE), typed.toStdWString());
  std::string out;
  ASSERT_EQ(netsnmp::Run({"snmpget", "-v2c", "-c", "tumbol", "-Oqvx", m_agent->Target(), ".1.3.6.1.2.1.1.6.0"}, &out),
            0);
  EXPECT_NE(out.find("53 61 6C 6C 65 20 C3 A9 20 E2 98 95 20 37"), std::string::npos) << out;

  // Changed behind the view's back, GET reads it again into the same row.
  ASSERT_EQ(
      netsnmp::Run({"snmpset", "-v2c", "-c", "quinsar", m_agent->Target(), ".1.3.6.1.2.1.1.6.0", "s", "attic"}, &out),
      0);
  ASSERT_TRUE(view->OnCommand(ID_SNMP_GET));
  ASSERT_TRUE(Idle(*view));
  EXPECT_EQ(view->CellText(row, CViewWalker::COLUMN_VALUE), "attic");
  EXPECT_EQ(view->CellText(row, CViewWalker::COLUMN_NUMBER), number);
  EXPECT_EQ(static_cast<size_t>(view->RowCount()), expected.size());

  // Octets that form UTF-8 show as their text, binary ones in hexadecimal.
  struct Octets {
    const char* hex;
    const char* shown;
    const char* length;
  };
  for (const Octets& o :
       {Octets{"6162636465666768696A6B6C6DC3A9", "abcdefghijklmé", "15"}, Octets{"C0AF41", "c0:af:41", "3"}}) {
    ASSERT_EQ(
        netsnmp::Run({"snmpset", "-v2c", "-c", "quinsar", m_agent->Target(), ".1.3.6.1.2.1.1.6.0", "x", o.hex}, &out),
        0)
        << out;
    ASSERT_TRUE(view->OnCommand(ID_SNMP_GET));
    ASSERT_TRUE(Idle(*view));
    EXPECT_EQ(view->CellText(row, CViewWalker::COLUMN_VALUE), QString::fromUtf8(o.shown)) << o.hex;
    EXPECT_EQ(view->CellText(row, CViewWalker::COLUMN_LENGTH), o.length) << o.hex;
  }
}

// The tree's range wins over the stored one; Get only on a scalar object.
TEST_F(ViewWalkerTest, WalkFromHereAndGetInTheBrowserTreeShowInTheWalkerTab) {
  const std::string mibs = TAVELO_MIBS_DIR;
  SetMibSearchFolders({std::wstring(mibs.begin(), mibs.end())});
  StoreSnmpParameters(m_agent->Port(), 2, 1000, 2, "1.3.6.1.2.1.2", "1.3.6.1.2.1.3");
  CTabbedView tabs(m_dispatcher.get());
  tabs.ActivateTab(TAB_BROWSER);
  auto* walker = dynamic_cast<CViewWalker*>(tabs.View(TAB_WALKER));
  auto* browser = dynamic_cast<CViewMibBrowser*>(tabs.View(TAB_BROWSER));
  ASSERT_TRUE(walker != nullptr && browser != nullptr);
  CViewMibBrowserLeft& tree = *browser->Left();
  ASSERT_TRUE(tree.StartLoad(true, {CSmiModuleKey::FromString(L"SNMPv2-MIB")}));
  ASSERT_TRUE(ProcessUntil([&] { return !tree.IsLoading(); }, 60000));

  tree.Reveal(tree.Index().FindOid({1, 3, 6, 1, 2, 1, 1}));
  EXPECT_FALSE(tree.IsCommandEnabled(ID_BROWSER_GET)) << "system is no scalar";
  ASSERT_TRUE(tree.OnCommand(ID_BROWSER_WALK_FROM_HERE));
  EXPECT_FALSE(tree.IsCommandEnabled(ID_BROWSER_WALK_FROM_HERE)) << "while the walk runs";
  ASSERT_TRUE(Idle(*walker, 20000));
  const size_t walked = SnmpwalkSystem("-v2c").size();
  ASSERT_GT(walked, 8u);
  EXPECT_EQ(static_cast<size_t>(walker->RowCount()), walked);
  ASSERT_TRUE(ProcessUntil([&] { return tabs.currentIndex() == TAB_WALKER; }, 5000));

  tabs.ActivateTab(TAB_BROWSER);
  tree.Reveal(tree.Index().FindOid({1, 3, 6, 1, 2, 1, 1, 1}));  // sysDescr
  ASSERT_TRUE(tree.OnCommand(ID_BROWSER_GET));
  ASSERT_TRUE(Idle(*walker));
  ASSERT_EQ(static_cast<size_t>(walker->RowCount()), walked + 1);
  EXPECT_EQ(walker->CellText(walked, CViewWalker::COLUMN_OID), "1.3.6.1.2.1.1.1.0");
  // Neither while a load runs.
  ASSERT_TRUE(tree.StartLoad(false, {CSmiModuleKey::FromString(L"IF-MIB")}));
  EXPECT_FALSE(tree.IsCommandEnabled(ID_BROWSER_WALK_FROM_HERE));
  EXPECT_FALSE(tree.OnCommand(ID_BROWSER_GET));
  ASSERT_TRUE(ProcessUntil([&] { return !tree.IsLoading(); }, 60000));
  SetMibSearchFolders({});
}

TEST(ViewWalkerText, ReadableUtf8) {
  using Case = std::pair<std::string, bool>;
  for (const auto& [octets, readable] :
       {Case{"plain\ttext\r\n", true}, Case{"\xC3\xA9", true}, Case{"\xF0\x9F\x98\x80", true}, Case{"", true},
        Case{"\xC0\xAF", false},          // overlong '/'
        Case{"\xED\xA0\x80", false},      // a surrogate
        Case{"\xF4\x90\x80\x80", false},  // past U+10FFFF
        Case{"\xE2\x98", false},          // cut short
        Case{"\xC2\x85", false},          // a C1 control
        Case{std::string("a\0b", 3), false}, Case{"\x1B[2J", false}, Case{"caf\xE9", false}})
    EXPECT_EQ(IsReadableUtf8(octets), readable) << octets;
  EXPECT_EQ(TypedOctets(QString::fromUtf8("é")), (std::wstring{wchar_t(0xC3), wchar_t(0xA9)}));
}

TEST_F(ViewWalkerTest, StartSendsRetriesPlusOneRequestsAndRestartRetries) {
  TestUdpSocket silent;
  ASSERT_TRUE(silent.Ok());
  auto view = NewView();
  StoreSnmpParameters(silent.Port(), 2, 50, 3, "1.3.6.1.2.1.1", "");
  auto parameters = AcceptNext<CDlgSnmpParameter>([](CDlgSnmpParameter&) {});
  ASSERT_TRUE(view->OnCommand(ID_WALKER_START));
  ASSERT_TRUE(parameters->Seen()) << "no parameters dialog opened";
  ASSERT_TRUE(Idle(*view)) << "the walk never gave up";
  EXPECT_EQ(silent.Count(100), 4);
  ASSERT_TRUE(view->OnCommand(ID_WALKER_RESTART));
  ASSERT_TRUE(Idle(*view)) << "the walk never gave up";
  EXPECT_EQ(silent.Count(100), 3);
  EXPECT_EQ(view->RowCount(), 0);
}

TEST_F(ViewWalkerTest, StopClearAndCloseWhileRowsAreInFlight) {
  using namespace std::chrono_literals;
  // 400 variables answered 2 ms apart: the walk is still running when stopped.
  std::map<scripted::Arcs, berbytes::Bytes> table;
  for (uint64_t i = 1; i <= 400; ++i) table[{1, 3, 6, 1, 4, 1, 99, i}] = berbytes::Int(static_cast<int64_t>(i));
  scripted::Agent agent([&](const scripted::Request& r) -> std::vector<berbytes::Bytes> {
    std::this_thread::sleep_for(2ms);
    return {scripted::TableAnswer(table, r)};
  });
  StoreSnmpParameters(agent.Port(), 2, 1000, 1, "1.3.6.1.4.1.99", "");
  auto view = NewView();

  // Stop: every row the worker found is shown, numbered in order.
  ASSERT_TRUE(view->OnCommand(ID_WALKER_RESTART));
  ASSERT_TRUE(ProcessUntil([&] { return view->RowCount() > 20; }, 10000));
  ASSERT_TRUE(view->OnCommand(ID_WALKER_STOP));
  ASSERT_TRUE(Idle(*view, 5000));
  EXPECT_LT(view->RowCount(), 400);
  EXPECT_EQ(static_cast<uint32_t>(view->RowCount()), view->Walker().GetRowNumber());
  for (int r = 0; r < view->RowCount(); ++r) EXPECT_EQ(view->CellText(r, CViewWalker::COLUMN_NUMBER).toInt(), r);

  ASSERT_TRUE(view->OnCommand(ID_WALKER_CLEAR));
  EXPECT_EQ(view->RowCount(), 0);
  ASSERT_TRUE(view->OnCommand(ID_WALKER_RESTART));

  // Closing while rows arrive.
  ASSERT_TRUE(ProcessUntil([&] { return view->RowCount() > 0; }, 10000));
  const auto closing = std::chrono::steady_clock::now();
  view.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - closing, 2500ms);
}

TEST_F(ViewWalkerTest, ParametersDialogKeepsBadValuesAndStoresGoodOnes) {
  StoreSnmpParameters(1161, 1, 1000, 3, "", "");
  CDlgSnmpParameter dialog;
  dialog.show();
  auto refused = [&](QLineEdit* edit, const char* text) {
    const QString before = edit->text();
    edit->setText(QString::fromLatin1(text));
    QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
    EXPECT_TRUE(dialog.isVisible()) << "'" << text << "' closed the dialog";
    edit->setText(before);
  };
  refused(dialog.PortEdit(), "0");
  refused(dialog.PortEdit(), "70000");
  refused(dialog.TimeoutEdit(), "49");
  refused(dialog.CommunityEdit(), "");
  refused(dialog.FirstOidEdit(), "3.1.2");
  EXPECT_EQ(ReadSettingDword(SETTING_DLG_SNMP_PARAMETER_LAST_PORT), 1161u);

  dialog.AddressParts()[3]->setText("7");
  dialog.PortEdit()->setText("1162");
  dialog.TimeoutEdit()->setText("50");
  dialog.VersionBox()->setCurrentIndex(1);
  dialog.FirstOidEdit()->setText("1.3.6.1.2.1.2");
  QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(ReadSettingString(SETTING_DLG_SNMP_PARAMETER_LAST_IP), L"127.0.0.7");
  EXPECT_EQ(ReadSettingDword(SETTING_DLG_SNMP_PARAMETER_LAST_PORT), 1162u);
  EXPECT_EQ(ReadSettingDword(SETTING_DLG_SNMP_PARAMETER_LAST_TIMEOUT), 50u);
  EXPECT_EQ(ReadSettingString(SETTING_DLG_SNMP_PARAMETER_LAST_FIRST_OID), L"1.3.6.1.2.1.2");
}

TEST(ViewWalkerTags, ClassAndFormOfATag) {
  using Tag = std::pair<uint8_t, const char*>;
  for (auto [tag, text] : {Tag{0x43, "AP"}, Tag{0x30, "UC"}, Tag{0xA2, "SC"}, Tag{0x04, "UP"}})
    EXPECT_EQ(CViewWalker::TagClass(tag) + CViewWalker::TagForm(tag), text);
}
