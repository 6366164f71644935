#include "kit/ZubThread.h"
#include "tests/workers/WorkerFixture.h"
#include "workers/ThreadActionWalkerGet.h"
#include "workers/ThreadActionWalkerSet.h"

#include <thread>

namespace {

using GetSetTest = netsnmp::SuiteWithAgent<WorkerTest>;

TEST_F(GetSetTest, AnswersReachTheViewAndRefusalsTheMessageBox) {
  // Get: a value, SNMPv1's noSuchName as a box, SNMPv2c's noSuchObject as a
  // value. Set: a writable object (the agent keeps the value), a read-only
  // one refused with a box.
  struct Case {
    bool set;
    const wchar_t* oid;
    uint32_t version;
    uint8_t code;  // of the value handed over; 0: none
    const wchar_t* value;
    const wchar_t* box;
  };
  const Case cases[] = {
      {false, L"1.3.6.1.2.1.1.1.0", 1, ASN1_OCTET_STRING, L"Tavelo test agent", nullptr},
      {false, L"1.3.6.1.2.1.1.99.0", 0, 0, nullptr, L"Error 'NoSuchName' when reading OID '1.3.6.1.2.1.1.99.0'"},
      {false, L"1.3.6.1.2.1.1.99.0", 1, ASN1_NO_SUCH_OBJECT, nullptr, nullptr},
      {true, L"1.3.6.1.2.1.1.6.0", 1, ASN1_OCTET_STRING, L"Rack \"7\", room 3", nullptr},
      {true, L"1.3.6.1.2.1.1.1.0", 1, 0, nullptr, L"Error 'NotWritable' when setting value to OID '1.3.6.1.2.1.1.1.0'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(quillog::WideToUtf8(c.oid) + (c.set ? " set" : " get"));
    LogCapture log(0);
    m_boxes.Clear();
    auto p = Parameter(m_agent->Port(), c.oid, c.version, c.set ? L"quinsar" : L"tumbol");
    p.view_row = 17;
    p.value = L"Rack \"7\", room 3";
    CThreadActionWalkerGet get;
    CThreadActionWalkerSet set;
    if (c.set) {
      Run(set, p, MSG_VIEW_WALKER_SET_FINISHED);
    } else {
      Run(get, p, MSG_VIEW_WALKER_GET_FINISHED);
    }
    EXPECT_EQ(m_view->Codes(MSG_VIEW_WALKER).size(), c.code != 0 ? 3u : 2u);
    auto results = m_view->TakeResults();
    ASSERT_EQ(results.size(), c.code != 0 ? 1u : 0u);
    if (c.code != 0) {
      EXPECT_EQ(results[0]->GetRow(), 17u);
      EXPECT_EQ(results[0]->GetObject().GetCode(), c.code);
      if (c.value != nullptr) {
        EXPECT_EQ(results[0]->GetObject().GetText(), c.value);
      }
    }
    const auto boxes = m_boxes.Entries();
    ASSERT_EQ(boxes.size(), c.box != nullptr ? 1u : 0u);
    if (c.box == nullptr) continue;
    EXPECT_EQ(boxes[0].text, c.box);
    EXPECT_EQ(log.Count(c.box, QUILLOG_ERROR), 1u);
  }
  EXPECT_EQ(netsnmp::Output({"snmpget", "-v2c", "-c", "tumbol", "-Oqv", m_agent->Target(), ".1.3.6.1.2.1.1.6.0"}),
            "\"Rack \\\"7\\\", room 3\"\n");
}

TEST_F(GetSetTest, StopEndsAWaitingGetPromptlyAndRefusalsLeaveItAlone) {
  CThreadActionWalkerGet get;
  LogCapture log(0);
  EXPECT_FALSE(get.Stop());
  EXPECT_EQ(log.Count(L"CThreadActionWalkerGet is not running...", QUILLOG_WARNING), 1u);

  TestUdpSocket silent;
  auto p = Parameter(silent.Port(), L"1.3.6.1.2.1.1.1.0");
  p.timeout = 30000;
  ASSERT_TRUE(get.Start(p));
  ASSERT_TRUE(WaitWalker(MSG_VIEW_WALKER_GET_STARTED));
  EXPECT_FALSE(get.Start(Parameter(m_agent->Port(), L"1.3.6.1.2.1.1.5.0")));
  EXPECT_EQ(log.Count(L"CThreadActionWalkerGet is already running...", QUILLOG_WARNING), 1u);
  EXPECT_EQ(get.GetParameter().port, silent.Port());  // untouched
  ASSERT_TRUE(silent.Receive(1000));                  // the worker now sits in its wait
  std::this_thread::sleep_for(20ms);
  const auto stop = Clock::now();
  ASSERT_TRUE(get.Stop());
  ASSERT_TRUE(WaitWalker(MSG_VIEW_WALKER_GET_FINISHED, 2000));
  EXPECT_LT(m_view->TimeOf(MSG_VIEW_WALKER, MSG_VIEW_WALKER_GET_FINISHED) - stop, 100ms);
  EXPECT_EQ(log.CountContaining(L"Timeout"), 0u);
  EXPECT_FALSE(get.IsRunning());
}

TEST_F(GetSetTest, StopAtAnyMomentAlwaysFinishes) {
  // Stop lands anywhere: before the begin step, in the wait, while the
  // answer is handled, or while the end step closes the socket itself.
  CThreadActionWalkerGet get;
  auto p = Parameter(m_agent->Port(), L"1.3.6.1.2.1.1.5.0");
  for (int round = 0; round < 100; ++round) {
    m_view->Clear();
    ASSERT_TRUE(get.Start(p));
    for (int spin = 0; spin < round * 50 && !get.IsRunning(); ++spin) {
    }
    get.Stop();
    ASSERT_TRUE(WaitWalker(MSG_VIEW_WALKER_GET_FINISHED, 5000)) << "round " << round;
    ASSERT_TRUE(get.WaitReleased(5000));
    EXPECT_FALSE(get.IsRunning());
    EXPECT_LE(m_view->Count(MSG_VIEW_WALKER, MSG_VIEW_WALKER_GET_DATA), 1u);
  }
}

TEST_F(GetSetTest, EmptyFirstOidAsksFor00AndARestartReusesTheThread) {
  TestUdpSocket silent;
  CThreadActionWalkerGet get;
  auto p = Parameter(silent.Port(), L"");
  p.first_oid.Clear();
  p.timeout = 50;
  p.retries = 1;
  Run(get, p, MSG_VIEW_WALKER_GET_FINISHED);
  auto sent = silent.Drain();
  ASSERT_EQ(sent.size(), 1u);
  scripted::Request request;
  ASSERT_TRUE(scripted::ParseRequest(sent[0], &request));
  EXPECT_EQ(request.oid, (scripted::Arcs{0, 0}));

  // The pooled thread was not told to exit: the next start re-uses it.
  ASSERT_TRUE(get.WaitReleased(2000));
  CZubThread* thread = get.GetThread();
  EXPECT_TRUE(WaitUntil([&] { return thread->GetAction() == nullptr; }, 2000));  // idle again
  const uint32_t first_thread = thread->GetThreadId();
  Run(get, p, MSG_VIEW_WALKER_GET_FINISHED);
  ASSERT_TRUE(get.WaitReleased(2000));
  EXPECT_EQ(get.GetThread()->GetThreadId(), first_thread);
}

TEST_F(GetSetTest, TracesNameThePeerUpToTheLastLine) {
  LogCapture log(QLF_PROGRAM_SNMP | QLF_PROGRAM_SNMP_FRAME_OUT | QLF_PROGRAM_SNMP_FRAME_IN);
  CThreadActionWalkerGet get;
  Run(get, Parameter(m_agent->Port(), L"1.3.6.1.2.1.1.5.0"), MSG_VIEW_WALKER_GET_FINISHED);
  // The last line follows the finished code.
  EXPECT_TRUE(log.WaitFor(L"CThreadActionWalkerGet : Finishing...", 1000));
  const std::wstring port = std::to_wstring(m_agent->Port());
  for (const std::wstring& piece :
       {L"bytes sent to 127.0.0.1:" + port, L"bytes received from 127.0.0.1:" + port,
        std::wstring(L"CThreadActionWalkerGet sent data"), std::wstring(L"CThreadActionWalkerGet received data")})
    EXPECT_EQ(log.CountContaining(piece), 1u) << quillog::WideToUtf8(piece);
}

}  // namespace
