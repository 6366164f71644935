#include <atomic>
#include <mutex>
#include <vector>

#include "SmiTestSupport.h"
#include "app/MessageCenter.h"
#include "app/PlainDispatcher.h"
#include "app/Settings.h"
#include "app/ShowMessage.h"
#include "smi/ThreadActionLoadMib.h"

namespace {

// Records the browser messages it receives, in order.
class BrowserWindow : public CViewWindow {
 public:
  explicit BrowserWindow(CViewDispatcher* dispatcher) : CViewWindow(dispatcher) {}
  intptr_t OnViewMessage(uint32_t message, uintptr_t sub_code, uintptr_t) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (message == MSG_VIEW_BROWSER) codes_.push_back(sub_code);
    return 0;
  }
  std::vector<uintptr_t> Codes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return codes_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<uintptr_t> codes_;
};

class ThreadActionLoadMibTest : public SmiTempHome {
 protected:
  void SetUp() override {
    SmiTempHome::SetUp();
    WriteModule("BASE", "BASE DEFINITIONS ::= BEGIN base OBJECT IDENTIFIER ::= { iso 3 } END");
    WriteModule("TOP", "TOP DEFINITIONS ::= BEGIN IMPORTS base FROM BASE; top OBJECT IDENTIFIER ::= { base 9 } END");
    WriteModule("BROKEN", "BROKEN DEFINITIONS ::= BEGIN\nx OBJECT IDENTIFIER ::= { iso 1 \nEND");
    ASSERT_TRUE(dispatcher_.StartThread());
    window_ = std::make_unique<BrowserWindow>(&dispatcher_);
    CMessageCenter::Subscribe(L"test", window_.get(), MSG_VIEW_BROWSER, 0);
    previous_ = SetShowMessage(&boxes_);
  }
  void TearDown() override {
    SetShowMessage(previous_);
    window_.reset();
    dispatcher_.Quit();
    SmiTempHome::TearDown();
  }
  const CSmiObject* Object(const std::wstring& name) {
    for (size_t i = 0; i < tree_.ObjectCount(); ++i)
      if (tree_.ObjectAt(i).Name() == name) return &tree_.ObjectAt(i);
    return nullptr;
  }

  CSmiTree tree_;
  CPlainDispatcher dispatcher_;
  std::unique_ptr<BrowserWindow> window_;
  CShowMessageCapture boxes_;
  CShowMessage* previous_ = nullptr;
};

TEST_F(ThreadActionLoadMibTest, LoadsOnAWorkerAndTellsTheBrowser) {
  ASSERT_TRUE(WriteSettingDword(SETTING_VIEW_MIB_BROWSER_DISPLAY_MODULE_MODE, -1, 1));
  CThreadActionLoadMib action(tree_);
  ASSERT_TRUE(action.Start(true, ModuleKeysFromList(L"TOP")));
  ASSERT_TRUE(action.WaitIdle(20000));
  dispatcher_.Drain();
  EXPECT_EQ(window_->Codes(), (std::vector<uintptr_t>{MSG_VIEW_BROWSER_LOAD_STARTED, MSG_VIEW_BROWSER_LOAD_FINISHED}));
  CSmiTreeProtected lock(tree_);
  ASSERT_NE(Object(L"top"), nullptr);
  EXPECT_EQ(Object(L"top")->OidText(), L".1.3.9");
  EXPECT_TRUE(Object(L"top")->visible);
  EXPECT_TRUE(Object(L"base")->visible);  // ancestor of top
  EXPECT_EQ(boxes_.Count(), 0u);
}

// SIDE imports base without being below it.
TEST_F(ThreadActionLoadMibTest, DisplayModuleModeZeroShowsImportedModules) {
  WriteModule("SIDE", "SIDE DEFINITIONS ::= BEGIN IMPORTS base FROM BASE; side OBJECT IDENTIFIER ::= { iso 4 } END");
  CThreadActionLoadMib action(tree_);
  for (const uint32_t mode : {1u, 0u}) {
    ASSERT_TRUE(WriteSettingDword(SETTING_VIEW_MIB_BROWSER_DISPLAY_MODULE_MODE, -1, mode));
    ASSERT_TRUE(action.Start(true, ModuleKeysFromList(L"SIDE")));
    ASSERT_TRUE(action.WaitIdle(20000));
    CSmiTreeProtected lock(tree_);
    EXPECT_EQ(Object(L"base")->visible, mode == 0);
  }
}

TEST_F(ThreadActionLoadMibTest, FailedLoadShowsTheErrorAndResets) {
  CThreadActionLoadMib action(tree_);
  ASSERT_TRUE(action.Start(true, ModuleKeysFromList(L"BASE;BROKEN;TOP")));
  ASSERT_TRUE(action.WaitIdle(20000));
  ASSERT_TRUE(boxes_.WaitForCount(1, 5000));
  const auto box = boxes_.Entries().front();
  EXPECT_EQ(box.caption, L"Warning");
  EXPECT_EQ(box.icon, SHOW_MESSAGE_ERROR);
  EXPECT_NE(box.text.find(L"syntax error, unexpected TOK_END"), std::wstring::npos);
  EXPECT_NE(box.text.find(L"\r\n\r\nFile:" + ModulePath("BROKEN") + L"\r\nLine:3"), std::wstring::npos);
  CSmiTreeProtected lock(tree_);
  EXPECT_EQ(tree_.ObjectCount(), 3u);
  EXPECT_EQ(Object(L"top"), nullptr);
}

TEST_F(ThreadActionLoadMibTest, SecondStartWhileLoadingIsRefused) {
  LogCapture log(0);
  CThreadActionLoadMib action(tree_);
  std::vector<CSmiModuleKey> keys = ModuleKeysFromList(L"TOP");
  bool second = true;
  {
    // Holding the tree lock keeps the first load running.
    CSmiTreeProtected lock(tree_);
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
  CThreadActionLoadMib action(tree_);
  {
    // Holding the tree lock keeps the load from reaching its first module.
    CSmiTreeProtected lock(tree_);
    ASSERT_TRUE(action.Start(true, ModuleKeysFromList(L"BASE;TOP")));
    action.Stop();
  }
  ASSERT_TRUE(action.WaitIdle(20000));
  dispatcher_.Drain();
  EXPECT_EQ(window_->Codes(), (std::vector<uintptr_t>{MSG_VIEW_BROWSER_LOAD_STARTED, MSG_VIEW_BROWSER_LOAD_FINISHED}));
  EXPECT_EQ(boxes_.Count(), 0u);
  {
    CSmiTreeProtected lock(tree_);
    EXPECT_EQ(Object(L"top"), nullptr);
  }
  // The next start loads again.
  ASSERT_TRUE(action.Start(true, ModuleKeysFromList(L"TOP")));
  ASSERT_TRUE(action.WaitIdle(20000));
  CSmiTreeProtected lock(tree_);
  EXPECT_NE(Object(L"top"), nullptr);
}

}  // namespace
