#include "smi/ThreadActionLoadMib.h"

#include "SmiTestSupport.h"
#include "app/MessageCenter.h"
#include "app/PlainDispatcher.h"
#include "app/Settings.h"
#include "app/ShowMessage.h"

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
    m_previous = SetShowMessage(&m_boxes);
  }
  void TearDown() override {
    SetShowMessage(m_previous);
    m_window.reset();
    m_dispatcher.Quit();
    SmiTempHome::TearDown();
  }
  const CSmiObject* Object(const std::wstring& name) {
    for (size_t i = 0; i < m_tree.ObjectCount(); ++i)
      if (m_tree.ObjectAt(i).Name() == name) return &m_tree.ObjectAt(i);
    return nullptr;
  }

  CSmiTree m_tree;
  CPlainDispatcher m_dispatcher;
  std::unique_ptr<BrowserWindow> m_window;
  CShowMessageCapture m_boxes;
  CShowMessage* m_previous = nullptr;
};

TEST_F(ThreadActionLoadMibTest, LoadsOnAWorkerAndTellsTheBrowser) {
  ASSERT_TRUE(WriteSettingDword(SETTING_VIEW_MIB_BROWSER_DISPLAY_MODULE_MODE, -1, 1));
  CThreadActionLoadMib action(m_tree);
  ASSERT_TRUE(action.Start(true, ModuleKeysFromList(L"TOP")));
  ASSERT_TRUE(action.WaitIdle(20000));
  m_dispatcher.Drain();
  EXPECT_EQ(m_window->Codes(), (std::vector<uintptr_t>{MSG_VIEW_BROWSER_LOAD_STARTED, MSG_VIEW_BROWSER_LOAD_FINISHED}));
  CSmiTreeProtected lock(m_tree);
  ASSERT_NE(Object(L"top"), nullptr);
  EXPECT_EQ(Object(L"top")->OidText(), L".1.3.9");
  EXPECT_TRUE(Object(L"top")->visible);
  EXPECT_TRUE(Object(L"base")->visible);  // ancestor of top
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

TEST_F(ThreadActionLoadMibTest, FailedLoadShowsTheErrorAndResets) {
  CThreadActionLoadMib action(m_tree);
  ASSERT_TRUE(action.Start(true, ModuleKeysFromList(L"BASE;BROKEN;TOP")));
  ASSERT_TRUE(action.WaitIdle(20000));
  ASSERT_TRUE(m_boxes.WaitForCount(1, 5000));
  const auto box = m_boxes.Entries().front();
  EXPECT_EQ(box.caption, L"Warning");
  EXPECT_EQ(box.icon, SHOW_MESSAGE_ERROR);
  EXPECT_NE(box.text.find(L"syntax error, unexpected TOK_END"), std::wstring::npos);
  EXPECT_NE(box.text.find(L"\r\n\r\nFile:" + ModulePath("BROKEN") + L"\r\nLine:3"), std::wstring::npos);
  CSmiTreeProtected lock(m_tree);
  EXPECT_EQ(m_tree.ObjectCount(), 3u);
  EXPECT_EQ(Object(L"top"), nullptr);
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
  EXPECT_TRUE(action.Start(true, keys));
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
