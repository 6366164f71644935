#include "gui/ViewTrapper.h"

#include "gui/DlgTrapParameter.h"
#include "gui/MainFrame.h"
#include "gui/MainMenu.h"
#include "gui/TabbedView.h"
#include "tests/common/NetSnmp.h"
#include "tests/gui/GuiFixture.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QDateTime>
#include <QLineEdit>
#include <QPushButton>

namespace {

// Sends one trap with Net-SNMP's snmptrap; true when it says it sent it.
bool SendTrap(uint16_t port, std::vector<std::string> args) {
  std::vector<std::string> command = {"snmptrap", "-M", "", "-c", "public"};
  command.insert(command.begin() + 1, args.begin(), args.begin() + 2);  // -v N
  command.push_back("127.0.0.1:" + std::to_string(port));
  command.insert(command.end(), args.begin() + 2, args.end());
  std::string err;
  const int status = netsnmp::Run(command, nullptr, &err);
  EXPECT_EQ(status, 0) << err;
  return status == 0;
}

QStringList RowCells(const CViewTrapper& view, int row) {
  QStringList cells;
  for (int c = 0; c < CViewTrapper::COLUMN_COUNT; ++c) cells << view.CellText(row, c);
  return cells;
}

}  // namespace

class ViewTrapperTest : public GuiTest {
 protected:
  // A view listening on a free loopback port.
  std::unique_ptr<CViewTrapper> Listening() {
    m_port = netsnmp::FreeUdpPort();
    WriteSettingDword(SETTING_DLG_TRAP_PARAMETER_LAST_PORT, -1, m_port);
    auto view = std::make_unique<CViewTrapper>(m_dispatcher.get());
    view->resize(1100, 300);
    view->show();
    if (!view->IsReceiving()) {  // not started by itself
      EXPECT_EQ(view->EmptyText(), QStringLiteral("Trap receiver is not started..."));
      EXPECT_TRUE(view->OnCommand(ID_TRAPPER_RESTART));
    }
    EXPECT_TRUE(ProcessUntil([&] { return view->IsListening(); })) << "the receiver never started";
    EXPECT_EQ(view->EmptyText(), QStringLiteral("No data to display"));
    return view;
  }
  uint16_t m_port = 0;
};

TEST_F(ViewTrapperTest, SnmpV1AndV2cTrapsShowEveryColumn) {
  auto view = Listening();
  QAbstractItemModelTester tester(view->ListModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);
  const qint64 before = QDateTime::currentSecsSinceEpoch();
  ASSERT_TRUE(SendTrap(
      m_port, {"-v", "1", "1.3.6.1.4.1.8072.2.3", "127.0.0.9", "6", "17", "12345", "1.3.6.1.2.1.1.5.0", "s", "hello"}));
  ASSERT_TRUE(ProcessUntil([&] { return view->TrapCount() == 1; })) << "the SNMPv1 trap never showed";
  ASSERT_TRUE(SendTrap(m_port, {"-v", "2c", "4242", "1.3.6.1.6.3.1.1.5.3", "1.3.6.1.2.1.2.2.1.1.2", "i", "2",
                                "1.3.6.1.2.1.1.5.0", "x", "C3A9", "1.3.6.1.2.1.1.4.0", "x", "FF00"}));
  ASSERT_TRUE(ProcessUntil([&] { return view->TrapCount() == 2; })) << "the SNMPv2c trap never showed";
  ASSERT_EQ(view->RowCount(), 2);

  const QStringList v1 = RowCells(*view, 0);
  const QDateTime time = QDateTime::fromString(v1[1], QStringLiteral("yyyy-MM-dd HH:mm:ss"));
  ASSERT_TRUE(time.isValid()) << v1[1].toStdString();
  const qint64 when = QDateTime(time.date(), time.time(), Qt::UTC).toSecsSinceEpoch();
  EXPECT_LE(std::abs(when - before), 10) << "time of receipt is not UTC: " << v1[1].toStdString();
  EXPECT_EQ(v1.mid(2), (QStringList{"127.0.0.1", "1", "127.0.0.9", "1.3.6.1.4.1.8072.2.3", "enterpriseSpecific", "17",
                                    "00:02:03.450", "1"}));
  EXPECT_EQ(v1[0], "1");
  EXPECT_EQ(RowCells(*view, 1).mid(2), (QStringList{"127.0.0.1", "2c", "", "", "", "", "", "5"}));
  EXPECT_EQ(view->CellText(1, CViewTrapper::COLUMN_COUNT), "???");
  EXPECT_EQ(view->RowOid(1), "1.3.6.1.6.3.1.1.5.3");  // snmpTrapOID.0

  view->selectRow(1);
  EXPECT_FALSE(view->IsCommandEnabled(ID_TRAPPER_COLLAPSE_ONE));
  ASSERT_TRUE(view->IsCommandEnabled(ID_TRAPPER_EXPAND_ONE));
  view->OnCommand(ID_TRAPPER_EXPAND_ONE);
  ASSERT_EQ(view->RowCount(), 7);
  EXPECT_EQ(RowCells(*view, 2), (QStringList{"1", "", "", "", "", "1.3.6.1.2.1.1.3.0", "TimeTicks", "4242", "", ""}));
  // Octets that form UTF-8 show as their text, binary ones in hexadecimal.
  EXPECT_EQ(RowCells(*view, 5).mid(5, 3), (QStringList{"1.3.6.1.2.1.1.5.0", "Octet String", QString::fromUtf8("é")}));
  EXPECT_EQ(view->RowValue(5), QString::fromUtf8("é"));
  EXPECT_EQ(view->CellText(6, CViewTrapper::COLUMN_SPECIFIC), "ff:00");
  // The bindings of the second trap take the second alternate colour.
  EXPECT_EQ(view->RowColour(3), QColor(StoredDword(SETTING_TRAP_ALT2_RED), StoredDword(SETTING_TRAP_ALT2_GREEN),
                                       StoredDword(SETTING_TRAP_ALT2_BLUE)));

  // Double-click on a binding collapses its trap; Expand All opens every trap.
  const QRect cell = view->visualRect(view->model()->index(3, 0));
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
  QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell.center());
  EXPECT_EQ(view->RowCount(), 2);
  view->OnCommand(ID_TRAPPER_EXPAND_ALL);
  EXPECT_EQ(view->RowCount(), 8);
  EXPECT_EQ(view->CellText(1, CViewTrapper::COLUMN_SPECIFIC), "hello");
  view->OnCommand(ID_TRAPPER_CLEAR);
  EXPECT_EQ(view->RowCount(), 0);
}

TEST_F(ViewTrapperTest, DialogStoresAGoodPortAndTheAutomaticStartThatStopClears) {
  WriteSettingDword(SETTING_DLG_TRAP_PARAMETER_LAST_PORT, -1, 1162);
  CDlgTrapParameter dialog;
  dialog.show();
  EXPECT_EQ(dialog.PortEdit()->text(), "1162");
  for (const char* bad : {"0", "70000", "", "12ab", "-5"}) {
    dialog.PortEdit()->setText(QString::fromLatin1(bad));
    QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
    EXPECT_TRUE(dialog.isVisible()) << "port '" << bad << "' closed the dialog";
    EXPECT_EQ(StoredDword(SETTING_DLG_TRAP_PARAMETER_LAST_PORT), 1162u);
  }
  dialog.PortEdit()->setText("2162");
  dialog.AutoStartBox()->setChecked(true);
  QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.Port(), 2162u);
  EXPECT_EQ(StoredDword(SETTING_DLG_TRAP_PARAMETER_LAST_PORT), 2162u);
  EXPECT_EQ(StoredDword(SETTING_DLG_TRAP_PARAMETER_LAST_AUTO_START), 1u);

  // Stop clears the automatic start, and the list says so.
  auto view = Listening();
  EXPECT_FALSE(view->IsCommandEnabled(ID_TRAPPER_START));
  EXPECT_FALSE(view->IsCommandEnabled(ID_TRAPPER_CLEAR));
  ASSERT_TRUE(view->OnCommand(ID_TRAPPER_STOP));
  ASSERT_TRUE(ProcessUntil([&] { return !view->IsReceiving(); })) << "the receiver never finished";
  EXPECT_EQ(StoredDword(SETTING_DLG_TRAP_PARAMETER_LAST_AUTO_START), 0u);
  EXPECT_EQ(view->EmptyText(), QStringLiteral("Trap receiver is not started..."));
  EXPECT_TRUE(view->IsCommandEnabled(ID_TRAPPER_RESTART));
  EXPECT_FALSE(view->IsCommandEnabled(ID_TRAPPER_STOP));
}

// The main window with LastAutoStart 1 listens as soon as it exists; the
// keypad keys reach the Trapper tab.
TEST_F(ViewTrapperTest, MainWindowStartsTheReceiverAndKeypadExpands) {
  const uint16_t port = netsnmp::FreeUdpPort();
  WriteSettingDword(SETTING_DLG_TRAP_PARAMETER_LAST_PORT, -1, port);
  WriteSettingDword(SETTING_DLG_TRAP_PARAMETER_LAST_AUTO_START, -1, 1);
  CMainFrame frame(m_dispatcher.get());
  auto* view = dynamic_cast<CViewTrapper*>(frame.TabbedView()->View(TAB_TRAPPER));
  ASSERT_NE(view, nullptr);
  EXPECT_TRUE(view->IsReceiving());
  ASSERT_TRUE(ProcessUntil([&] { return view->IsListening(); })) << "no automatic start";
  EXPECT_EQ(view->ReceivePort(), port);
  ASSERT_TRUE(SendTrap(port, {"-v", "2c", "1", "1.3.6.1.6.3.1.1.5.1"}));
  ASSERT_TRUE(ProcessUntil([&] { return view->TrapCount() == 1; }));

  ASSERT_TRUE(ShowActive(frame));
  frame.TabbedView()->ActivateTab(TAB_TRAPPER);
  view->selectRow(0);
  QTest::keyClick(&frame, Qt::Key_Plus, Qt::KeypadModifier);
  EXPECT_EQ(view->RowCount(), 3);  // sysUpTime.0 and snmpTrapOID.0
  QTest::keyClick(&frame, Qt::Key_Minus, Qt::KeypadModifier);
  EXPECT_EQ(view->RowCount(), 1);
}
