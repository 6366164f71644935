// "Loaded modules" over a tree loaded from real MIB files.
#include "gui/DlgModuleList.h"

#include "app/Settings.h"
#include "smi/MibFolders.h"
#include "smi/SmiLoader.h"
#include "tests/common/LogCapture.h"
#include "tests/gui/GuiFixture.h"

#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

#include <atomic>
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

  const int row = RowOf(dialog, "SNMPv2-MIB");
  ASSERT_GE(row, 0);
  EXPECT_TRUE(dialog.List()->CellText(row, 1).endsWith("/SNMPv2-MIB.mib"))
      << dialog.List()->CellText(row, 1).toStdString();
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
