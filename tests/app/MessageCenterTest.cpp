#include "app/MessageCenter.h"

#include "app/PlainDispatcher.h"
#include "app/ShowMessage.h"
#include "tests/common/LogCapture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Runs a function for every message.
class FunctionWindow : public CViewWindow {
 public:
  FunctionWindow(CViewDispatcher* d, std::function<intptr_t(uint32_t, uintptr_t, uintptr_t)> f)
      : CViewWindow(d), m_f(std::move(f)) {}
  intptr_t OnViewMessage(uint32_t m, uintptr_t s, uintptr_t p) override { return m_f(m, s, p); }

 private:
  std::function<intptr_t(uint32_t, uintptr_t, uintptr_t)> m_f;
};

class MessageCenterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CMessageCenter::Clear();
    ASSERT_TRUE(m_gui.StartThread());
  }
  void TearDown() override {
    m_gui.Drain();
    CMessageCenter::Clear();
  }
  // Creates a window on the GUI thread, as views do.
  template <typename W, typename... A>
  std::unique_ptr<W> Make(A&&... args) {
    std::unique_ptr<W> w;
    m_gui.Send([&] { w = std::make_unique<W>(&m_gui, std::forward<A>(args)...); });
    return w;
  }
  // A window that notes "name:message/sub-code/payload" in the journal and
  // the thread it ran on, and returns `result`.
  std::unique_ptr<FunctionWindow> Recorder(const std::string& name, intptr_t result) {
    return Make<FunctionWindow>([this, name, result](uint32_t m, uintptr_t s, uintptr_t p) -> intptr_t {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_journal.push_back(name + ":" + std::to_string(m) + "/" + std::to_string(s) + "/" + std::to_string(p));
      m_threads[name] = std::this_thread::get_id();
      return result;
    });
  }
  CPlainDispatcher m_gui;
  std::vector<std::string> m_journal;
  std::map<std::string, std::thread::id> m_threads;
  std::mutex m_mutex;
};

TEST_F(MessageCenterTest, SendRoutesByExactSubCodeAndZeroInListOrder) {
  auto exact = Recorder("exact", 11);
  auto any = Recorder("any", 22);
  auto other = Recorder("other", 33);
  auto other_msg = Recorder("othermsg", 44);
  CMessageCenter::Subscribe(L"Exact", exact.get(), MSG_VIEW_WALKER, 5);
  CMessageCenter::Subscribe(L"Any", any.get(), MSG_VIEW_WALKER, 0);
  CMessageCenter::Subscribe(L"Other", other.get(), MSG_VIEW_WALKER, 4);
  CMessageCenter::Subscribe(L"OtherMsg", other_msg.get(), MSG_VIEW_TRAPPER, 5);

  size_t handled = 0;
  EXPECT_EQ(SendViewMessage(L"Test", MSG_VIEW_WALKER, 5, 77, &handled), 22);
  EXPECT_EQ(handled, 2u);
  EXPECT_EQ(m_journal, (std::vector<std::string>{"exact:32772/5/77", "any:32772/5/77"}));
  EXPECT_EQ(m_threads["exact"], m_threads["any"]);
  EXPECT_NE(m_threads["exact"], std::this_thread::get_id());

  m_journal.clear();
  EXPECT_EQ(SendViewMessage(L"Test", MSG_VIEW_WALKER, 4, 0), 33);
  EXPECT_EQ(m_journal, (std::vector<std::string>{"any:32772/4/0", "other:32772/4/0"}));

  // Posts take the same route, in the same order, later.
  m_journal.clear();
  size_t queued = 0;
  EXPECT_EQ(PostViewMessage(L"Test", MSG_VIEW_WALKER, 5, 9, &queued), 1);
  EXPECT_EQ(queued, 2u);
  m_gui.Drain();
  EXPECT_EQ(m_journal, (std::vector<std::string>{"exact:32772/5/9", "any:32772/5/9"}));
}

TEST_F(MessageCenterTest, NoForwarderIsTracedAndReturnsZero) {
  LogCapture log(QLF_PROGRAM_MESSAGES);
  EXPECT_EQ(SendViewMessage(L"CThreadActionWalker", MSG_VIEW_WALKER, MSG_VIEW_WALKER_DATA, 0), 0);
  EXPECT_EQ(PostViewMessage(L"CThreadActionSimuler", MSG_VIEW_SIMULATOR, MSG_VIEW_SIMULATOR_STARTED, 0), 0);
  SendViewMessage(L"X", MSG_VIEW_WALKER, 12, 0);
  EXPECT_EQ(log.CountContaining(L"CThreadActionWalker with no forwarder for a send message "
                                L"MSG_VIEW_WALKER/MSG_VIEW_WALKER_DATA/",
                                QUILLOG_INFO),
            1u);
  EXPECT_EQ(log.CountContaining(L"X is sending a message MSG_VIEW_WALKER/Unknown wParam/"), 1u);
  // Without the feature bit nothing is traced.
  log.Clear();
  QuillogSetFeatureLevel(0);
  SendViewMessage(L"X", MSG_VIEW_WALKER, 12, 0);
  EXPECT_TRUE(log.Records().empty());
}

TEST_F(MessageCenterTest, UnsubscribedAndDestroyedWindowsGetNothing) {
  auto a = Recorder("a", 1);
  auto b = Recorder("b", 2);
  CMessageCenter::Subscribe(L"A", a.get(), MSG_VIEW_BROWSER, 0);
  CMessageCenter::Subscribe(L"A", a.get(), MSG_VIEW_CHOOSER, 0);
  CMessageCenter::Subscribe(L"B", b.get(), MSG_VIEW_BROWSER, MSG_VIEW_BROWSER_LOAD_STARTED);
  EXPECT_EQ(CMessageCenter::Count(), 3u);
  CMessageCenter::Unsubscribe(a.get());
  EXPECT_EQ(CMessageCenter::Count(), 1u);
  EXPECT_EQ(SendViewMessage(L"T", MSG_VIEW_BROWSER, MSG_VIEW_BROWSER_LOAD_STARTED, 0), 2);
  EXPECT_EQ(m_journal, (std::vector<std::string>{"b:32770/2/0"}));

  // Destroying a window unsubscribes it; a post to it is then traced as
  // having no forwarder.
  m_gui.Send([&] { b.reset(); });
  LogCapture log(QLF_PROGRAM_MESSAGES);
  PostViewMessage(L"T", MSG_VIEW_BROWSER, MSG_VIEW_BROWSER_LOAD_STARTED, 0);
  EXPECT_EQ(log.CountContaining(L"with no forwarder for a post message"), 1u);

  // A post queued before the window went away is dropped, not delivered.
  auto d = Recorder("d", 4);
  CMessageCenter::Subscribe(L"D", d.get(), MSG_VIEW_TRAPPER, 0);
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  m_gui.Post([released] { released.wait(); });
  m_gui.Post([&] { d.reset(); });
  m_journal.clear();
  PostViewMessage(L"T", MSG_VIEW_TRAPPER, MSG_VIEW_TRAPPER_DATA, 6);
  release.set_value();
  m_gui.Drain();
  EXPECT_TRUE(m_journal.empty());
}

TEST_F(MessageCenterTest, PostReturnsBeforeTheHandlerRuns) {
  std::promise<void> gate;
  std::shared_future<void> open = gate.get_future().share();
  std::atomic<int> runs{0};
  auto w = Make<FunctionWindow>([&](uint32_t, uintptr_t, uintptr_t) -> intptr_t {
    open.wait();
    ++runs;
    return 0;
  });
  CMessageCenter::Subscribe(L"W", w.get(), MSG_VIEW_TRAPPER, 0);
  for (int i = 0; i < 2; ++i) EXPECT_EQ(PostViewMessage(L"T", MSG_VIEW_TRAPPER, MSG_VIEW_TRAPPER_DATA, 0), 1);
  EXPECT_EQ(runs.load(), 0);
  gate.set_value();
  m_gui.Drain();
  EXPECT_EQ(runs.load(), 2);
}

TEST_F(MessageCenterTest, SendFromTheReceiversOwnThreadDoesNotDeadlock) {
  std::vector<std::string> order;
  auto inner = Make<FunctionWindow>([&](uint32_t, uintptr_t, uintptr_t) -> intptr_t {
    order.push_back("inner");
    return 5;
  });
  auto outer = Make<FunctionWindow>([&](uint32_t, uintptr_t sub, uintptr_t) -> intptr_t {
    order.push_back("outer");
    // A view handler calling the center again, for a window on its own thread.
    intptr_t r = SendViewMessage(L"CViewWalker", MSG_VIEW_SIMULATOR, MSG_VIEW_SIMULATOR_GET_SIMULATOR, 0);
    order.push_back("outer-after");
    return r + static_cast<intptr_t>(sub);
  });
  CMessageCenter::Subscribe(L"Inner", inner.get(), MSG_VIEW_SIMULATOR, MSG_VIEW_SIMULATOR_GET_SIMULATOR);
  CMessageCenter::Subscribe(L"Outer", outer.get(), MSG_VIEW_CHOOSER, 0);
  auto fut = std::async(std::launch::async, [] { return SendViewMessage(L"T", MSG_VIEW_CHOOSER, 2, 0); });
  ASSERT_EQ(fut.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(fut.get(), 7);
  EXPECT_EQ(order, (std::vector<std::string>{"outer", "inner", "outer-after"}));
  // And directly from the GUI thread itself.
  intptr_t direct = 0;
  m_gui.Send([&] { direct = SendViewMessage(L"T", MSG_VIEW_SIMULATOR, MSG_VIEW_SIMULATOR_GET_SIMULATOR, 0); });
  EXPECT_EQ(direct, 5);
}

TEST_F(MessageCenterTest, SendToAStoppedDispatcherReturnsAtOnce) {
  CPlainDispatcher stopped;
  ASSERT_TRUE(stopped.StartThread());
  std::atomic<int> runs{0};
  auto w = std::make_unique<FunctionWindow>(&stopped, [&](uint32_t, uintptr_t, uintptr_t) -> intptr_t {
    ++runs;
    return 3;
  });
  CMessageCenter::Subscribe(L"W", w.get(), MSG_VIEW_WALKER, 0);
  EXPECT_EQ(SendViewMessage(L"T", MSG_VIEW_WALKER, 1, 0), 3);
  stopped.Quit();
  size_t handled = 9, queued = 9;
  auto fut = std::async(std::launch::async, [&] { return SendViewMessage(L"T", MSG_VIEW_WALKER, 1, 0, &handled); });
  ASSERT_EQ(fut.wait_for(2s), std::future_status::ready) << "a send to a stopped dispatcher waits";
  EXPECT_EQ(fut.get(), 0);
  EXPECT_EQ(PostViewMessage(L"T", MSG_VIEW_WALKER, 1, 0, &queued), 0);
  EXPECT_EQ(handled + queued + static_cast<size_t>(runs.load()), 1u);  // nobody took the payload: the sender owns it
  CMessageCenter::Unsubscribe(w.get());
}

TEST(PlainDispatcher, RunOnTheCallingThreadUntilQuitAndRunPendingTakesWhatIsQueued) {
  CPlainDispatcher d;
  std::vector<int> seen;
  std::thread feeder([&] {
    for (int i = 0; i < 5; ++i) d.Post([&seen, i] { seen.push_back(i); });
    d.Send([&] { seen.push_back(100); });
    d.Post([&] { d.Quit(); });
  });
  d.Run();
  feeder.join();
  EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 3, 4, 100}));
  EXPECT_FALSE(d.Post([] {}));

  // RunPending runs only what was queued when it was called.
  CPlainDispatcher pending;
  int runs = 0;
  pending.Post([&] {
    ++runs;
    pending.Post([&] { ++runs; });
  });
  EXPECT_EQ(pending.RunPending(), 1u);
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(pending.RunPending() + pending.RunPending(), 1u);
  EXPECT_EQ(runs, 2);
}

TEST(ShowMessage, CaptureTakesABoxFromAWorker) {
  CShowMessageCapture capture;
  CShowMessage* previous = SetShowMessage(&capture);
  std::thread worker([] { ShowMessageBox(L"Error 'NoSuchName' when reading OID '1.3'"); });
  EXPECT_TRUE(capture.WaitForCount(1, 2000));
  worker.join();
  const auto entries = capture.Entries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(std::make_pair(entries[0].text, entries[0].icon),
            std::make_pair(std::wstring(L"Error 'NoSuchName' when reading OID '1.3'"), SHOW_MESSAGE_WARNING));
  SetShowMessage(previous);
}

}  // namespace
