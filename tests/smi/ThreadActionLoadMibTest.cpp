#include "smi/ThreadActionLoadMib.h"

#include "SmiTestSupport.h"
#include "app/MessageCenter.h"
#include "app/PlainDispatcher.h"
#include "app/Settings.h"
#include "tests/common/BoxCapture.h"

#include <atomic>
#include <mutex>
#include <vector>

namespace {

// Records the browser messages it receives, in order.
class BrowserWindow : public CViewWindow {
 public:
  explicit BrowserWindow(CViewDispatcher* dispatcher) : CViewWindow(dispatcher) {}
  intptr_t OnViewMessage(uint32_t message, uintptr_t sub_code, uintptr_t) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (message == MSG_VIEW_BROWSER) m_codes.push_back(sub_code);
    return 0;
  }
  std::vector<uintptr_t> Codes() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_codes;
  }

 private:
  mutable std::mutex m_mutex;
  std::vector<uintptr_t> m_codes;
};

class ThreadActionLoadMibTest : public SmiTempHome {
 protected:
  void SetUp() override {
    SmiTempHome::SetUp();
    WriteModule("BASE", "BASE DEFINITIONS ::= BEGIN base OBJECT IDENTIFIER ::= { iso 3 } END");
    WriteModule("TOP", "TOP DEFINITIONS ::= BEGIN IMPORTS base FROM BASE; top OBJECT IDENTIFIER ::= { base 9 } END");
    WriteModule("BROKEN", "BROKEN DEFINITIONS ::= BEGIN\nx OBJECT IDENTIFIER ::= { iso 1 \nEND");
    ASSERT_TRUE(m_dispatcher.StartThread());
    m_window = std::make_unique<BrowserWindow>(&m_dispatcher);
    CMessageCenter::Subscribe(L"test", m_window.get(), MSG_VIEW_BROWSER, 0);
  }
  void TearDown() override {
    m_window.reset();
    m_dispatcher.Quit();
    SmiTempHome::TearDown();
  }
  const CSmiObject* Object(const std::wstring& name) { return Named(m_tree, name); }

  CSmiTree m_tree;
  CPlainDispatcher m_dispatcher;
  std::unique_ptr<BrowserWindow> m_window;
  BoxCapture m_boxes;
};

TEST_F(ThreadActionLoadMibTest, LoadsOnAWorkerAndTellsTheBrowser) {
  CThreadActionLoadMib action(m_tree);
  ASSERT_TRUE(action.Start(true, ModuleKeysFromList(L"TOP")));
  ASSERT_TRUE(action.WaitIdle(20000));
  m_dispatcher.Drain();
  EXPECT_EQ(m_window->Codes(), (std::vector<uintptr_t>{MSG_VIEW_BROWSER_LOAD_STARTED, MSG_VIEW_BROWSER_LOAD_FINISHED}));
  CSmiTreeProtected lock(m_tree);
  ASSERT_NE(Object(L"top"), nullptr);
  EXPECT_EQ(Object(L"top")->OidText(), L".1.3.9");
  EXPECT_EQ(m_boxes.Count(), 0u);
}

// SIDE imports base without being below it.
TEST_F(ThreadActionLoadMibTest, DisplayModuleModeZeroShowsImportedModules) {
  WriteModule("SIDE", "SIDE DEFINITIONS ::= BEGIN IMPORTS base FROM BASE; side OBJECT IDENTIFIER ::= { iso 4 } END");
  CThreadActionLoadMib action(m_tree);
  for (const uint32_t mode : {1u, 0u}) {
    ASSERT_TRUE(WriteSettingDword(SETTING_VIEW_MIB_BROWSER_DISPLAY_MODULE_MODE, -1, mode));
    ASSERT_TRUE(action.Start(true, ModuleKeysFromList(L"SIDE")));
    ASSERT_TRUE(action.WaitIdle(20000));
    CSmiTreeProtected lock(m_tree);
    EXPECT_EQ(Object(L"base")->visible, mode == 0);
  }
}

TEST_F(ThreadActionLoadMibTest, SecondStartWhileLoadingIsRefused) {
  LogCapture log(0);
  CThreadActionLoadMib action(m_tree);
  std::vector<CSmiModuleKey> keys = ModuleKeysFromList(L"TOP");
  bool second = true;
  {
    // Holding the tree lock keeps the first load running.
    CSmiTreeProtected lock(m_tree);
    ASSERT_TRUE(action.Start(true, keys));
    second = action.Start(true, keys);
  }
  EXPECT_FALSE(second);
  EXPECT_EQ(log.Count(L"MIB reader thread is already running..."), 1u);
  ASSERT_TRUE(action.WaitIdle(20000));
}

TEST_F(ThreadActionLoadMibTest, StopEndsALoadBeforeItsNextModuleWithoutABox) {
  CThreadActionLoadMib action(m_tree);
  {
    // Holding the tree lock keeps the load from reaching its first module.
    CSmiTreeProtected lock(m_tree);
    ASSERT_TRUE(action.Start(true, ModuleKeysFromList(L"BASE;TOP")));
    action.Stop();
  }
  ASSERT_TRUE(action.WaitIdle(20000));
  m_dispatcher.Drain();
  EXPECT_EQ(m_window->Codes(), (std::vector<uintptr_t>{MSG_VIEW_BROWSER_LOAD_STARTED, MSG_VIEW_BROWSER_LOAD_FINISHED}));
  EXPECT_EQ(m_boxes.Count(), 0u);
  {
    CSmiTreeProtected lock(m_tree);
    EXPECT_EQ(Object(L"top"), nullptr);
  }
  // The next start loads again.
  ASSERT_TRUE(action.Start(true, ModuleKeysFromList(L"TOP")));
  ASSERT_TRUE(action.WaitIdle(20000));
  CSmiTreeProtected lock(m_tree);
  EXPECT_NE(Object(L"top"), nullptr);
}

}  // namespace
