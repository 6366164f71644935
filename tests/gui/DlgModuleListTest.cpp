// "Loaded modules" over a tree loaded from real MIB files, and the editor
// it starts.
#include "gui/DlgModuleList.h"

#include "app/Settings.h"
#include "smi/MibFolders.h"
#include "smi/SmiLoader.h"
#include "tests/common/LogCapture.h"
#include "tests/common/NetSnmp.h"
#include "tests/common/TempDir.h"
#include "tests/gui/GuiFixture.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace {

class DlgModuleListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::is_directory(TAVELO_MIBS_DIR)) GTEST_SKIP() << "no MIB folder at " << TAVELO_MIBS_DIR;
    SetMibSearchFolders({quillog::Utf8ToWide(TAVELO_MIBS_DIR)});
    CSmiLoader loader(m_tree);
    ASSERT_TRUE(loader.Load(ModuleKeysFromList(L"SNMPv2-MIB"), true, 1)) << quillog::WideToUtf8(loader.ErrorText());
  }
  int RowOf(const CDlgModuleList& dialog, const QString& module) {
    for (int row = 0; row < dialog.List()->RowCount(); ++row)
      if (dialog.List()->CellText(row, 0) == module) return row;
    return -1;
  }

  TempHome m_home;
  CSmiTree m_tree;
};

}  // namespace

TEST_F(DlgModuleListTest, ListsEveryModuleWithItsFileAndTheCounters) {
  size_t modules = 0, types = 0, objects = 0;
  {
    CSmiTreeProtected lock(m_tree);
    modules = m_tree.Modules().size();
    types = m_tree.TypeCount();
    objects = m_tree.ObjectCount();
  }
  ASSERT_GE(modules, 2u) << "SNMPv2-MIB and what it imports";
  CDlgModuleList dialog(m_tree);
  EXPECT_EQ(dialog.List()->RowCount(), static_cast<int>(modules));
  EXPECT_EQ(dialog.ModulesLabel()->text(), QStringLiteral("%1 MIB modules").arg(modules));
  EXPECT_EQ(dialog.TypesLabel()->text(), QStringLiteral("%1 MIB types").arg(types));
  EXPECT_EQ(dialog.ObjectsLabel()->text(), QStringLiteral("%1 MIB objects").arg(objects));

  if (const char* folder = std::getenv("TAVELO_GRAB_DIR")) {
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    dialog.grab().save(QString::fromUtf8(folder) + "/module-list.png");
  }

  const int row = RowOf(dialog, "SNMPv2-MIB");
  ASSERT_GE(row, 0);
  EXPECT_TRUE(dialog.List()->CellText(row, 1).endsWith("/SNMPv2-MIB.mib"))
      << dialog.List()->CellText(row, 1).toStdString();
}

TEST_F(DlgModuleListTest, EditOpensTheSelectedRowsFileInTheEditorOrLogsWhyNot) {
  const std::string out = UseFakeEditor(m_home, m_home.str("opened.txt"));
  CDlgModuleList dialog(m_tree);
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  EXPECT_FALSE(dialog.EditButton()->isVisible()) << "Edit shown before a row was clicked";

  const int row = RowOf(dialog, "SNMPv2-MIB");
  ASSERT_GE(row, 0);
  const QRect cell = dialog.List()->visualRect(dialog.List()->ListModel()->index(row, 0));
  QTest::mouseClick(dialog.List()->viewport(), Qt::LeftButton, {}, cell.center());
  ASSERT_TRUE(dialog.EditButton()->isVisible());
  QTest::mouseClick(dialog.EditButton(), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(out); }, 5000)) << "the editor did not run";
  EXPECT_EQ(netsnmp::ReadAll(out), quillog::WideToUtf8(dialog.List()->Item(row)->file_path));

  // Two rows selected: nothing opens.
  dialog.List()->selectAll();
  EXPECT_FALSE(dialog.EditSelected());

  // An editor that cannot start is logged.
  ASSERT_TRUE(WriteSettingString(SETTING_VIEW_MIB_BROWSER_TEXT_EDITOR, L"/nonexistent/tavelo-editor"));
  LogCapture log;
  dialog.List()->selectRow(row);
  EXPECT_FALSE(dialog.EditSelected());
  EXPECT_TRUE(log.HasContaining(L"Unable to start editor '\"/nonexistent/tavelo-editor\" \"", QUILLOG_ERROR));
}

TEST_F(DlgModuleListTest, WhileALoadHoldsTheTreeTheDialogWaitsWithoutBlocking) {
  std::atomic<bool> held{false};
  std::atomic<bool> release{false};
  std::thread loader([&] {
    CSmiTreeProtected lock(m_tree);
    held = true;
    WaitUntil([&] { return release.load(); }, 10000);
  });
  if (WaitUntil([&] { return held.load(); }, 5000)) {
    CDlgModuleList dialog(m_tree);  // must not wait for the load
    EXPECT_EQ(dialog.List()->RowCount(), 0);
    EXPECT_EQ(dialog.List()->EmptyText(), "MIB modules are being loaded...");
    release = true;
    EXPECT_TRUE(QTest::qWaitFor([&] { return dialog.List()->RowCount() > 0; }, 5000)) << "never filled after the load";
  } else {
    ADD_FAILURE() << "the loader never held the tree";
  }
  release = true;
  loader.join();
}
