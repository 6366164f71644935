#include "tests/common/LogCapture.h"
#include "tests/gui/GuiFixture.h"

#include <atomic>
#include <vector>

namespace {

// A sender thread that records when its send returned and its result.
class Sender {
 public:
  Sender(CViewDispatcher* dispatcher, std::function<void()> call)
      : m_thread([this, dispatcher, call] {
          m_result = dispatcher->Send(call);
          m_returned = true;
        }) {}
  ~Sender() { m_thread.join(); }
  bool Returned() const { return m_returned; }
  bool Result() const { return m_result; }

 private:
  std::atomic<bool> m_returned{false};
  std::atomic<bool> m_result{false};
  std::thread m_thread;
};

}  // namespace

using QtDispatcherTest = GuiTest;

TEST_F(QtDispatcherTest, PostsFromManyThreadsRunOnTheGuiThreadInEachThreadsOrder) {
  constexpr int kThreads = 4;
  constexpr int kPerThread = 2000;
  const std::thread::id gui = std::this_thread::get_id();
  std::vector<std::vector<int>> seen(kThreads);
  int off_thread = 0;
  std::vector<std::thread> posters;
  for (int t = 0; t < kThreads; ++t) {
    posters.emplace_back([&, t] {
      for (int i = 0; i < kPerThread; ++i) {
        ASSERT_TRUE(m_dispatcher->Post([&, t, i] {
          if (std::this_thread::get_id() != gui) ++off_thread;
          seen[t].push_back(i);
        }));
      }
    });
  }
  for (std::thread& p : posters) p.join();
  ASSERT_TRUE(ProcessUntil([&] { return m_dispatcher->Pending() == 0; })) << m_dispatcher->Pending() << " calls left";
  EXPECT_EQ(off_thread, 0);
  for (int t = 0; t < kThreads; ++t) {
    ASSERT_EQ(seen[t].size(), static_cast<size_t>(kPerThread)) << "thread " << t;
    for (int i = 0; i < kPerThread; ++i) ASSERT_EQ(seen[t][i], i) << "thread " << t;
  }
}

TEST_F(QtDispatcherTest, SendWaitsForTheGuiThreadAndIsADirectCallOnIt) {
  std::atomic<bool> ran{false};
  {
    Sender sender(m_dispatcher.get(), [&] { ran = true; });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(sender.Returned()) << "returned before the event loop ran";
    ASSERT_TRUE(ProcessUntil([&] { return sender.Returned(); })) << "send never returned";
    EXPECT_TRUE(ran);
    EXPECT_TRUE(sender.Result());
  }
  bool direct = false;
  EXPECT_TRUE(m_dispatcher->Send([&] { direct = true; }));
  EXPECT_TRUE(direct);
  EXPECT_EQ(m_dispatcher->Pending(), 0u);
}

TEST_F(QtDispatcherTest, QuitReleasesABlockedSenderAndRefusesLaterCallsButDeliversQueuedPosts) {
  int delivered = 0;
  std::thread([&] {
    for (int i = 0; i < 10; ++i) m_dispatcher->Post([&] { ++delivered; });
  }).join();
  std::atomic<bool> ran{false};
  Sender sender(m_dispatcher.get(), [&] { ran = true; });
  ASSERT_TRUE(WaitUntil([&] { return m_dispatcher->Pending() == 11; }, 5000)) << "the send was never queued";
  m_dispatcher->Quit();
  EXPECT_EQ(delivered, 10) << "posts queued before quit were lost";
  ASSERT_TRUE(WaitUntil([&] { return sender.Returned(); }, 2000)) << "quit did not release the sender";
  EXPECT_FALSE(sender.Result());
  EXPECT_FALSE(m_dispatcher->Post([] {}));
  Sender late(m_dispatcher.get(), [&] { ran = true; });
  ASSERT_TRUE(WaitUntil([&] { return late.Returned(); }, 2000));
  EXPECT_FALSE(late.Result());
  EXPECT_FALSE(m_dispatcher->Send([&] { ran = true; }));
  EXPECT_FALSE(ran);
}
