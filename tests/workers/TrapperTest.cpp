#include "tests/common/BerBytes.h"
#include "tests/workers/WorkerFixture.h"
#include "workers/ThreadActionTrapper.h"

#include <thread>

namespace {

using berbytes::Bytes;

// An SNMPv2c trap with one binding: an OCTET STRING of `filler` bytes.
Bytes V2Trap(const std::string& community, size_t filler) {
  using namespace berbytes;
  return Message(1, community, 0xA7, Int(0x1234), {{Oid({1, 3, 6, 1, 2, 1, 1, 5, 0}), Text(std::string(filler, 'x'))}});
}

class TrapperTest : public WorkerTest {
 protected:
  // Starts a receiver on a free port and waits for its started code.
  void StartReceiver() {
    m_view->Follow(nullptr, &m_trapper);
    for (int attempt = 0; attempt < 3; ++attempt) {
      m_port = netsnmp::FreeUdpPort();
      ASSERT_TRUE(m_trapper.Start(m_port));
      if (m_view->WaitFor(MSG_VIEW_TRAPPER, MSG_VIEW_TRAPPER_STARTED, 2000)) return;
      ASSERT_TRUE(m_view->WaitFor(MSG_VIEW_TRAPPER, MSG_VIEW_TRAPPER_FINISHED));
      m_view->Clear();
    }
    FAIL() << "no free port";
  }
  void TearDown() override {
    if (m_trapper.IsRunning()) {
      EXPECT_TRUE(m_trapper.Stop());
      EXPECT_TRUE(m_view->WaitFor(MSG_VIEW_TRAPPER, MSG_VIEW_TRAPPER_FINISHED, 2000));
    }
    WorkerTest::TearDown();
    m_view->Follow(nullptr);
  }

  CThreadActionTrapper m_trapper;
  uint16_t m_port = 0;
};

TEST_F(TrapperTest, BadDatagramsCostOnlyThemselvesAndLargeOnesAreReadWhole) {
  StartReceiver();
  TestUdpSocket sender;
  LogCapture log(0);
  Bytes noise;
  for (uint32_t x = 12345; noise.size() < 300;)
    noise.push_back(static_cast<uint8_t>((x = x * 1103515245 + 12345) >> 16));
  auto cut = V2Trap("cut", 100);
  cut.resize(cut.size() - 3);
  auto padded = V2Trap("padded", 100);
  padded.push_back(0x00);
  for (const Bytes& bad : {noise, Bytes{}, cut, padded}) ASSERT_TRUE(sender.SendTo(m_port, bad));
  // 65,507 bytes: the largest UDP payload.
  size_t fillers[] = {3000, 65507};
  while (V2Trap("any", fillers[1]).size() > 65507) --fillers[1];
  ASSERT_EQ(V2Trap("any", fillers[1]).size(), 65507u);
  for (size_t filler : fillers) ASSERT_TRUE(sender.SendTo(m_port, V2Trap("any", filler)));
  ASSERT_TRUE(m_view->WaitTraps(2));
  std::this_thread::sleep_for(50ms);
  auto traps = m_view->TakeTraps();
  ASSERT_EQ(traps.size(), 2u);
  for (size_t i = 0; i < 2; ++i)
    EXPECT_EQ(traps[i]->GetFrame().GetValues()[0]->GetText(), std::wstring(fillers[i], L'x'));
  EXPECT_EQ(traps[1]->GetNumber(), traps[0]->GetNumber() + 1);
  EXPECT_TRUE(m_trapper.IsRunning());
}

// A taken port ends the run; Stop ends a blocked receiver promptly and it starts again.
TEST_F(TrapperTest, TakenPortEndsTheRunAndStopEndsABlockedReceiverPromptly) {
  TestUdpSocket taken;
  ASSERT_TRUE(m_trapper.Start(taken.Port()));
  ASSERT_TRUE(m_view->WaitFor(MSG_VIEW_TRAPPER, MSG_VIEW_TRAPPER_FINISHED, 2000));
  EXPECT_FALSE(m_view->WaitFor(MSG_VIEW_TRAPPER, MSG_VIEW_TRAPPER_STARTED, 0));
  ASSERT_TRUE(m_trapper.WaitReleased(5000));
  m_view->Clear();
  StartReceiver();
  std::this_thread::sleep_for(30ms);
  const auto stop = Clock::now();
  ASSERT_TRUE(m_trapper.Stop());
  const auto finished = m_view->WaitFor(MSG_VIEW_TRAPPER, MSG_VIEW_TRAPPER_FINISHED, 2000);
  ASSERT_TRUE(finished);
  EXPECT_LT(*finished - stop, 100ms);
  ASSERT_TRUE(m_trapper.WaitReleased(5000));
  m_view->Clear();
  StartReceiver();
}

}  // namespace
