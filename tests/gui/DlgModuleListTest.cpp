// "Loaded modules" over a tree loaded from real MIB files.
#include "gui/DlgModuleList.h"

#include "app/Settings.h"
#include "smi/MibFolders.h"
#include "smi/SmiLoader.h"
#include "tests/common/LogCapture.h"
#include "tests/gui/GuiFixture.h"

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
  TempHome m_home;
  CSmiTree m_tree;
};

}  // namespace

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
