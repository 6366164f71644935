#include <thread>

#include "kit/ZubThread.h"
#include "kit/ZubThreadPool.h"
#include "tests/common/BerBytes.h"
#include "tests/workers/WorkerFixture.h"
#include "workers/ThreadActionTrapper.h"

namespace {

// An SNMPv2c trap with one binding 1.3.6.1.2.1.1.5.0 = OCTET STRING of
// `filler` bytes.
std::vector<uint8_t> V2Trap(const std::string& community, size_t filler) {
  using namespace berbytes;
  return Message(1, community, 0xA7, Int(0x1234), {{Oid({1, 3, 6, 1, 2, 1, 1, 5, 0}), Text(std::string(filler, 'x'))}});
}

// The filler that makes the datagram exactly `size` bytes.
size_t FillerOfSize(size_t size) {
  for (size_t filler = size; filler-- > 0;) {
    if (V2Trap("any community at all", filler).size() == size) return filler;
  }
  return 0;
}

std::vector<uint8_t> V2TrapOfSize(size_t size) { return V2Trap("any community at all", FillerOfSize(size)); }

class TrapperTest : public WorkerTest {
 protected:
  // Starts a receiver on a free port and waits for its started code.
  void StartReceiver() {
    for (int attempt = 0; attempt < 3; ++attempt) {
      port_ = netsnmp::FreeUdpPort();
      ASSERT_TRUE(trapper_.Start(port_));
      if (view_->WaitFor(MSG_VIEW_TRAPPER, MSG_VIEW_TRAPPER_STARTED, 1, 2000)) return;
      ASSERT_TRUE(view_->WaitFor(MSG_VIEW_TRAPPER, MSG_VIEW_TRAPPER_FINISHED));
      view_->Clear();
    }
    FAIL() << "no free port";
  }
  void StopReceiver() {
    if (!trapper_.IsRunning()) return;
    EXPECT_TRUE(trapper_.Stop());
    EXPECT_TRUE(view_->WaitFor(MSG_VIEW_TRAPPER, MSG_VIEW_TRAPPER_FINISHED, 1, 2000));
  }
  void TearDown() override {
    StopReceiver();
    WorkerTest::TearDown();
  }
  std::string Target() const { return "127.0.0.1:" + std::to_string(port_); }

  CThreadActionTrapper trapper_;
  uint16_t port_ = 0;
};

TEST_F(TrapperTest, Version1And2cTrapsFromSnmptrapAreDelivered) {
  StartReceiver();
  netsnmp::Agent env;  // sets MIBS empty for the tools
  std::string out;
  ASSERT_EQ(netsnmp::Run({"snmptrap", "-v", "1", "-c", "public", Target(), ".1.3.6.1.4.1.8072.2.3", "127.0.0.1", "6",
                          "17", "4242", ".1.3.6.1.2.1.1.5.0", "s", "router-7"},
                         &out),
            0)
      << out;
  ASSERT_TRUE(view_->WaitForTraps(1));
  ASSERT_EQ(netsnmp::Run({"snmptrap", "-v", "2c", "-c", "whatever", Target(), "1234", ".1.3.6.1.6.3.1.1.5.3",
                          ".1.3.6.1.2.1.2.2.1.1.2", "i", "2"},
                         &out),
            0)
      << out;
  ASSERT_TRUE(view_->WaitForTraps(2));
  auto traps = view_->TakeTraps();
  ASSERT_EQ(traps.size(), 2u);
  const CSnmpTrapIn& v1 = traps[0]->GetFrame();
  EXPECT_TRUE(v1.IsVersion1());
  EXPECT_EQ(v1.GetCommunity()->GetText(), L"public");
  EXPECT_EQ(v1.GetEnterprise()->GetValue().GetOid().GetText(), L"1.3.6.1.4.1.8072.2.3");
  EXPECT_EQ(v1.GetGenericTrap()->GetValue().GetInteger(), 6);
  EXPECT_EQ(v1.GetSpecificTrap()->GetValue().GetInteger(), 17);
  ASSERT_EQ(v1.GetNames().size(), 1u);
  EXPECT_EQ(v1.GetNames()[0]->GetValue().GetOid().GetText(), L"1.3.6.1.2.1.1.5.0");
  EXPECT_EQ(v1.GetValues()[0]->GetText(), L"router-7");
  EXPECT_EQ(v1.GetSenderAddress(), IpAddress(L"127.0.0.1"));
  EXPECT_NE(v1.GetSenderPort(), 0u);
  const CSnmpTrapIn& v2 = traps[1]->GetFrame();
  EXPECT_TRUE(v2.IsVersion2c());
  EXPECT_EQ(v2.GetCommunity()->GetText(), L"whatever");
  ASSERT_EQ(v2.GetNames().size(), 3u);  // sysUpTime.0, snmpTrapOID.0, then ours
  EXPECT_EQ(v2.GetNames()[1]->GetValue().GetOid().GetText(), L"1.3.6.1.6.3.1.1.4.1.0");
  EXPECT_EQ(v2.GetValues()[1]->GetValue().GetOid().GetText(), L"1.3.6.1.6.3.1.1.5.3");
  EXPECT_EQ(v2.GetValues()[2]->GetValue().GetInteger(), 2);

  // Records are numbered by one process-wide counter and stamped with the time.
  EXPECT_EQ(traps[1]->GetNumber(), traps[0]->GetNumber() + 1);
  EXPECT_NEAR(static_cast<double>(traps[0]->GetTime()), static_cast<double>(std::time(nullptr)), 60.0);
  EXPECT_FALSE(traps[0]->IsExpanded());
}

TEST_F(TrapperTest, BadDatagramsCostOnlyThemselvesAndLargeOnesAreReadWhole) {
  StartReceiver();
  TestUdpSocket sender;
  LogCapture log(0);
  std::vector<uint8_t> random_bytes;
  uint32_t x = 12345;
  for (int i = 0; i < 300; ++i) random_bytes.push_back(static_cast<uint8_t>((x = x * 1103515245 + 12345) >> 16));
  const auto whole = V2Trap("cut", 100);
  const std::vector<uint8_t> cut(whole.begin(), whole.end() - 3);
  auto padded = V2Trap("padded", 100);
  padded.push_back(0x00);
  ASSERT_TRUE(sender.SendTo(port_, random_bytes));
  ASSERT_TRUE(sender.SendTo(port_, {}));                              // empty
  ASSERT_TRUE(sender.SendTo(port_, {0x30, 0x04, 0x02, 0x01, 0x00}));  // one byte short
  ASSERT_TRUE(sender.SendTo(port_, cut));                             // binding value cut short
  ASSERT_TRUE(sender.SendTo(port_, padded));                          // a byte after the message
  const auto big = V2TrapOfSize(3000);
  const auto largest = V2TrapOfSize(65507);  // the largest UDP payload
  ASSERT_EQ(big.size(), 3000u);
  ASSERT_EQ(largest.size(), 65507u);
  ASSERT_TRUE(sender.SendTo(port_, big));
  ASSERT_TRUE(sender.SendTo(port_, largest));
  ASSERT_TRUE(sender.SendTo(port_, V2Trap("x", 3)));
  ASSERT_TRUE(view_->WaitForTraps(3));
  std::this_thread::sleep_for(50ms);
  auto traps = view_->TakeTraps();
  ASSERT_EQ(traps.size(), 3u);
  EXPECT_EQ(traps[0]->GetFrame().GetCommunity()->GetText(), L"any community at all");
  EXPECT_EQ(traps[0]->GetFrame().GetValues()[0]->GetText(), std::wstring(FillerOfSize(3000), L'x'));
  EXPECT_EQ(traps[1]->GetFrame().GetValues()[0]->GetText(), std::wstring(FillerOfSize(65507), L'x'));
  EXPECT_EQ(traps[2]->GetFrame().GetCommunity()->GetText(), L"x");
  EXPECT_TRUE(trapper_.IsRunning());
  EXPECT_EQ(view_->Count(MSG_VIEW_TRAPPER, MSG_VIEW_TRAPPER_FINISHED), 0u);
  EXPECT_EQ(log.CountContaining(L"CThreadActionTrapped : a datagram that is not a trap was dropped", QUILLOG_WARNING),
            4u);
  EXPECT_EQ(log.CountContaining(L"The BER lengths do not add up", QUILLOG_WARNING), 4u);
}

TEST_F(TrapperTest, StopEndsABlockedReceiverPromptlyAndItsThreadLeaves) {
  StartReceiver();
  std::this_thread::sleep_for(30ms);  // blocked in its receive by now
  CZubThread* thread = trapper_.GetThread();
  ASSERT_NE(thread, nullptr);
  const uint32_t thread_id = thread->GetThreadId();
  LogCapture log(0);
  const auto stop = Clock::now();
  ASSERT_TRUE(trapper_.Stop());
  ASSERT_TRUE(view_->WaitFor(MSG_VIEW_TRAPPER, MSG_VIEW_TRAPPER_FINISHED, 1, 2000));
  EXPECT_LT(view_->TimeOf(MSG_VIEW_TRAPPER, MSG_VIEW_TRAPPER_FINISHED) - stop, 100ms);
  EXPECT_EQ(log.CountContaining(L"Unable to receive data on UDP socket", QUILLOG_ERROR), 1u);
  EXPECT_FALSE(trapper_.IsRunning());
  // The pooled thread was told to leave.
  EXPECT_TRUE(WaitUntil(
      [&] {
        for (size_t s = 0; s < CZubThreadPool::GetSize(); ++s)
          if (CZubThreadPool::GetThreadIdAt(s) == thread_id) return false;
        return true;
      },
      1000));
  // And the worker can be started again.
  view_->Clear();
  StartReceiver();
  EXPECT_TRUE(trapper_.IsRunning());
}

TEST_F(TrapperTest, TakenPortGivesNoStartedCodeButAFinishedOne) {
  TestUdpSocket taken;
  ASSERT_TRUE(taken.Ok());
  LogCapture log(0);
  ASSERT_TRUE(trapper_.Start(taken.Port()));
  ASSERT_TRUE(view_->WaitFor(MSG_VIEW_TRAPPER, MSG_VIEW_TRAPPER_FINISHED, 1, 2000));
  EXPECT_EQ(view_->Codes(MSG_VIEW_TRAPPER), (std::vector<uintptr_t>{MSG_VIEW_TRAPPER_FINISHED}));
  EXPECT_EQ(log.CountContaining(L"Error while creating UDP socket", QUILLOG_ERROR), 1u);
  EXPECT_FALSE(trapper_.IsRunning());
  EXPECT_FALSE(trapper_.Stop());
}

TEST_F(TrapperTest, TrapsWithoutASubscriberAreNotLeaked) {
  StartReceiver();
  CMessageCenter::Unsubscribe(view_.get());
  TestUdpSocket sender;
  LogCapture log(QLF_PROGRAM_MESSAGES);
  ASSERT_TRUE(sender.SendTo(port_, V2Trap("c", 10)));
  WaitUntil([&] { return log.CountContaining(L"with no forwarder for a post message") > 0; }, 1000);
  EXPECT_EQ(log.CountContaining(L"with no forwarder for a post message"), 1u);
  // (LeakSanitizer checks that the record was freed.)
  CMessageCenter::Subscribe(L"ViewCollector", view_.get(), MSG_VIEW_TRAPPER, 0);
}

}  // namespace
