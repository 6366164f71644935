#include "kit/ZubThread.h"
#include "kit/ZubThreadPool.h"
#include "tests/common/BerBytes.h"
#include "tests/workers/WorkerFixture.h"
#include "workers/ThreadActionTrapper.h"

#include <thread>

namespace {

// An SNMPv2c trap with one binding: an OCTET STRING of `filler` bytes.
std::vector<uint8_t> V2Trap(const std::string& community, size_t filler) {
  using namespace berbytes;
  return Message(1, community, 0xA7, Int(0x1234), {{Oid({1, 3, 6, 1, 2, 1, 1, 5, 0}), Text(std::string(filler, 'x'))}});
}

// The filler that makes the datagram exactly `size` bytes.
size_t FillerOfSize(size_t size) {
  size_t filler = size;
  while (filler > 0 && V2Trap("any", filler).size() != size) --filler;
  return filler;
}

class TrapperTest : public WorkerTest {
 protected:
  // Starts a receiver on a free port and waits for its started code.
  void StartReceiver() {
    m_view->FollowTraps(&m_trapper);
    for (int attempt = 0; attempt < 3; ++attempt) {
      m_port = netsnmp::FreeUdpPort();
      ASSERT_TRUE(m_trapper.Start(m_port));
      if (m_view->WaitFor(MSG_VIEW_TRAPPER, MSG_VIEW_TRAPPER_STARTED, 1, 2000)) return;
      ASSERT_TRUE(m_view->WaitFor(MSG_VIEW_TRAPPER, MSG_VIEW_TRAPPER_FINISHED));
      m_view->Clear();
    }
    FAIL() << "no free port";
  }
  void TearDown() override {
    if (m_trapper.IsRunning()) {
      EXPECT_TRUE(m_trapper.Stop());
      EXPECT_TRUE(m_view->WaitFor(MSG_VIEW_TRAPPER, MSG_VIEW_TRAPPER_FINISHED, 1, 2000));
    }
    WorkerTest::TearDown();
    m_view->FollowTraps(nullptr);
  }

  CThreadActionTrapper m_trapper;
  uint16_t m_port = 0;
};

TEST_F(TrapperTest, BadDatagramsCostOnlyThemselvesAndLargeOnesAreReadWholeAndNumbered) {
  StartReceiver();
  TestUdpSocket sender;
  LogCapture log(0);
  std::vector<uint8_t> noise;
  for (uint32_t x = 12345; noise.size() < 300;)
    noise.push_back(static_cast<uint8_t>((x = x * 1103515245 + 12345) >> 16));
  auto cut = V2Trap("cut", 100);
  cut.resize(cut.size() - 3);  // binding value cut short
  auto padded = V2Trap("padded", 100);
  padded.push_back(0x00);  // a byte after the message
  const std::vector<uint8_t> short_by_one = {0x30, 0x04, 0x02, 0x01, 0x00};
  for (const auto& bad : std::vector<std::vector<uint8_t>>{noise, {}, short_by_one, cut, padded})
    ASSERT_TRUE(sender.SendTo(m_port, bad));
  for (size_t size : {3000, 65507}) {  // 65,507: the largest UDP payload
    const auto trap = V2Trap("any", FillerOfSize(size));
    ASSERT_EQ(trap.size(), size);
    ASSERT_TRUE(sender.SendTo(m_port, trap));
  }
  ASSERT_TRUE(m_view->WaitTraps(2));
  std::this_thread::sleep_for(50ms);
  auto traps = m_view->TakeTraps();
  ASSERT_EQ(traps.size(), 2u);
  EXPECT_EQ(traps[0]->GetFrame().GetValues()[0]->GetText(), std::wstring(FillerOfSize(3000), L'x'));
  EXPECT_EQ(traps[1]->GetFrame().GetValues()[0]->GetText(), std::wstring(FillerOfSize(65507), L'x'));
  EXPECT_EQ(traps[0]->GetFrame().GetSenderAddress(), IpAddress(L"127.0.0.1"));
  // Records are numbered by one process-wide counter and stamped with the time.
  EXPECT_EQ(traps[1]->GetNumber(), traps[0]->GetNumber() + 1);
  EXPECT_NEAR(static_cast<double>(traps[0]->GetTime()), static_cast<double>(std::time(nullptr)), 60.0);
  EXPECT_TRUE(m_trapper.IsRunning());
  EXPECT_EQ(log.CountContaining(L"CThreadActionTrapped : a datagram that is not a trap was dropped", QUILLOG_WARNING),
            4u);
  EXPECT_EQ(log.CountContaining(L"The BER lengths do not add up", QUILLOG_WARNING), 4u);
}

TEST_F(TrapperTest, InformsAreShownAndAcknowledgedToTheirSenderWithTheirIdAndBindings) {
  using namespace berbytes;
  StartReceiver();
  TestUdpSocket sender;
  LogCapture log(0);
  // A short inform, one whose PDU needs a two-byte length, one with a
  // four-byte request id and error fields that are not 0 (the Response
  // carries noError), and a trap and a version 1 inform (not acknowledged).
  const std::vector<std::pair<Bytes, Bytes>> few = {
      {Oid({1, 3, 6, 1, 2, 1, 1, 3, 0}), Tlv(0x43, {0x05})},
      {Oid({1, 3, 6, 1, 6, 3, 1, 1, 4, 1, 0}), Oid({1, 3, 6, 1, 4, 1, 9})}};
  const std::vector<std::pair<Bytes, Bytes>> many = {{Oid({1, 3, 6, 1, 2, 1, 1, 5, 0}), Text(std::string(300, 'i'))},
                                                     {Oid({1, 3, 6, 1, 2, 1, 1, 6, 0}), Tlv(0x44, {0x00, 0xFF})}};
  const Bytes inform_few = Message(1, "any", 0xA6, Int(7), few);
  const Bytes inform_many = Message(1, "c2", 0xA6, Int(-2, 4), many);
  Bytes list_few;
  for (const auto& [oid, value] : few) list_few = Cat({list_few, Tlv(0x30, Cat({oid, value}))});
  const Bytes odd_fields =
      Tlv(0x30, Cat({Int(1), Text("odd"), Tlv(0xA6, Cat({Int(0x7FFFFFFF), Int(5), Int(2), Tlv(0x30, list_few)}))}));
  const Bytes v1_inform = Message(0, "v1", 0xA6, Int(9), few);
  for (const Bytes& datagram : {inform_few, inform_many, odd_fields, V2Trap("t", 5), v1_inform})
    ASSERT_TRUE(sender.SendTo(m_port, datagram));
  ASSERT_TRUE(m_view->WaitTraps(4));

  const std::vector<Bytes> expected = {Message(1, "any", 0xA2, Int(7), few), Message(1, "c2", 0xA2, Int(-2, 4), many),
                                       Message(1, "odd", 0xA2, Int(0x7FFFFFFF), few)};
  for (const Bytes& ack : expected) {
    const auto got = sender.Receive(2000);
    ASSERT_TRUE(got.has_value()) << "no acknowledgement";
    EXPECT_EQ(*got, ack);
  }
  EXPECT_FALSE(sender.Receive(100).has_value()) << "a trap or a version 1 inform was answered";
  auto traps = m_view->TakeTraps();
  ASSERT_EQ(traps.size(), 4u);
  const CSnmpTrapIn& shown = traps[0]->GetFrame();
  EXPECT_TRUE(shown.IsInform());
  EXPECT_TRUE(shown.IsVersion2c());
  EXPECT_EQ(shown.GetRequestId()->GetValue().GetInteger(), 7);
  ASSERT_EQ(shown.GetNames().size(), 2u);
  EXPECT_EQ(shown.GetValues()[1]->GetValue().GetOid().GetText(), L"1.3.6.1.4.1.9");
  EXPECT_FALSE(traps[3]->GetFrame().IsInform());
  EXPECT_EQ(log.CountLevel(QUILLOG_ERROR), 1u);  // the version 1 inform
  EXPECT_EQ(log.Count(L"An InformRequest in version 0", QUILLOG_ERROR), 1u);
}

TEST_F(TrapperTest, ASlowViewGetsEveryTrapInOrderInFewerNotesAndNothingOfAnEarlierRun) {
  using namespace berbytes;
  StartReceiver();
  m_view->SetNoteDelay(20ms);
  TestUdpSocket sender;
  constexpr int kTraps = 200;
  for (int id = 0; id < kTraps; ++id)
    ASSERT_TRUE(sender.SendTo(m_port, Message(1, "s", 0xA7, Int(id), {{Oid({1, 3, 6, 1, 2, 1, 1, 5, 0}), Text("x")}})));
  ASSERT_TRUE(m_view->WaitTraps(kTraps));
  auto traps = m_view->TakeTraps();
  ASSERT_EQ(traps.size(), static_cast<size_t>(kTraps));
  for (int id = 0; id < kTraps; ++id)
    ASSERT_EQ(traps[static_cast<size_t>(id)]->GetFrame().GetRequestId()->GetValue().GetInteger(), id);
  m_view_thread.Drain();  // notes still queued count too
  // A note per trap would make 200; a busy machine that delays the sender
  // between datagrams can leave the outbox empty more often than 1 in 4.
  EXPECT_LT(m_view->Count(MSG_VIEW_TRAPPER, MSG_VIEW_TRAPPER_DATA), static_cast<size_t>(kTraps) / 2);

  // A trap left in the outbox at Stop is not handed to the next run.
  m_view->SetNoteDelay(0ms);
  m_view->FollowTraps(nullptr);
  const size_t notes = m_view->Count(MSG_VIEW_TRAPPER, MSG_VIEW_TRAPPER_DATA);  // before the note can come
  ASSERT_TRUE(sender.SendTo(m_port, V2Trap("left", 1)));
  ASSERT_TRUE(m_view->WaitFor(MSG_VIEW_TRAPPER, MSG_VIEW_TRAPPER_DATA, notes + 1));
  const uint64_t earlier = m_trapper.GetRun();
  ASSERT_TRUE(m_trapper.Stop());
  ASSERT_TRUE(m_view->WaitFor(MSG_VIEW_TRAPPER, MSG_VIEW_TRAPPER_FINISHED, 1, 2000));
  ASSERT_TRUE(m_trapper.WaitReleased(5000));
  m_view->Clear();
  StartReceiver();
  EXPECT_NE(m_trapper.GetRun(), earlier);
  EXPECT_TRUE(m_trapper.TakeTraps(earlier).empty());
  EXPECT_TRUE(m_trapper.TakeTraps(m_trapper.GetRun()).empty());
}

TEST_F(TrapperTest, StopEndsABlockedReceiverPromptlyAndItsThreadLeaves) {
  StartReceiver();
  std::this_thread::sleep_for(30ms);  // blocked in its receive by now
  ASSERT_NE(m_trapper.GetThread(), nullptr);
  const uint32_t thread_id = m_trapper.GetThread()->GetThreadId();
  LogCapture log(0);
  const auto stop = Clock::now();
  ASSERT_TRUE(m_trapper.Stop());
  ASSERT_TRUE(m_view->WaitFor(MSG_VIEW_TRAPPER, MSG_VIEW_TRAPPER_FINISHED, 1, 2000));
  EXPECT_LT(m_view->TimeOf(MSG_VIEW_TRAPPER, MSG_VIEW_TRAPPER_FINISHED) - stop, 100ms);
  EXPECT_EQ(log.CountContaining(L"Unable to receive data on UDP socket", QUILLOG_ERROR), 1u);
  EXPECT_TRUE(WaitUntil(
      [&] {
        for (size_t s = 0; s < CZubThreadPool::GetSize(); ++s)
          if (CZubThreadPool::GetThreadIdAt(s) == thread_id) return false;
        return true;
      },
      1000))
      << "the pooled thread was told to leave";
  m_view->Clear();
  StartReceiver();  // and the worker starts again
}

TEST_F(TrapperTest, TakenPortGivesNoStartedCodeButAFinishedOne) {
  TestUdpSocket taken;
  LogCapture log(0);
  ASSERT_TRUE(m_trapper.Start(taken.Port()));
  ASSERT_TRUE(m_view->WaitFor(MSG_VIEW_TRAPPER, MSG_VIEW_TRAPPER_FINISHED, 1, 2000));
  EXPECT_EQ(m_view->Codes(MSG_VIEW_TRAPPER), (std::vector<uintptr_t>{MSG_VIEW_TRAPPER_FINISHED}));
  EXPECT_EQ(log.CountContaining(L"Error while creating UDP socket", QUILLOG_ERROR), 1u);
  EXPECT_FALSE(m_trapper.IsRunning());
}

TEST_F(TrapperTest, TrapsWithoutASubscriberAreNotLeaked) {
  StartReceiver();
  CMessageCenter::Unsubscribe(m_view.get());
  TestUdpSocket sender;
  LogCapture log(QLF_PROGRAM_MESSAGES);
  ASSERT_TRUE(sender.SendTo(m_port, V2Trap("c", 10)));
  // (LeakSanitizer checks that the record was freed.)
  EXPECT_TRUE(WaitUntil([&] { return log.CountContaining(L"with no forwarder for a post message") == 1; }, 1000));
  CMessageCenter::Subscribe(L"ViewCollector", m_view.get(), MSG_VIEW_TRAPPER, 0);
}

}  // namespace
