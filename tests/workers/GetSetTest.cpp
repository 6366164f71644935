#include "tests/workers/WorkerFixture.h"
#include "workers/ThreadActionWalkerGet.h"
#include "workers/ThreadActionWalkerSet.h"

#include <thread>

namespace {

using GetSetTest = netsnmp::SuiteWithAgent<WorkerTest>;

// Values reach the view, v1 noSuchName and a refused Set the message box.
TEST_F(GetSetTest, AnswersReachTheViewAndRefusalsTheMessageBox) {
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
    m_boxes.Clear();
    auto p = Parameter(m_agent->Port(), c.oid, c.version, c.set ? L"quinsar" : L"tumbol");
    p.view_row = 17;
    p.value = L"Rack \"7\", room 3";
    CThreadActionWalkerGet get;
    CThreadActionWalkerSet set;
    const auto results = c.set ? Run(set, p, MSG_VIEW_WALKER_SET_FINISHED) : Run(get, p, MSG_VIEW_WALKER_GET_FINISHED);
    ASSERT_EQ(results.size(), c.code != 0 ? 1u : 0u);
    if (c.code != 0) {
      EXPECT_EQ(results[0]->GetRow(), 17u);
      EXPECT_EQ(results[0]->GetObject().GetCode(), c.code);
      EXPECT_EQ(results[0]->GetObject().GetText(), c.value != nullptr ? c.value : L"");
    }
    EXPECT_EQ(m_boxes.Texts(), c.box != nullptr ? std::vector<std::wstring>{c.box} : std::vector<std::wstring>{});
  }
  EXPECT_EQ(netsnmp::Output({"snmpget", "-v2c", "-c", "tumbol", "-Oqv", m_agent->Target(), ".1.3.6.1.2.1.1.6.0"}),
            "\"Rack \\\"7\\\", room 3\"\n");
}

// Nothing bound at the port: the Get ends with an error or a time-out.
TEST_F(GetSetTest, ClosedPortEndsWithAClearError) {
  LogCapture log(0);
  CThreadActionWalkerGet get;
  auto p = Parameter(netsnmp::FreeUdpPort(), L"1.3.6.1.2.1.1.1.0");
  p.timeout = 200;
  p.retries = 2;
  EXPECT_TRUE(Run(get, p, MSG_VIEW_WALKER_GET_FINISHED).empty());
  const bool refused = log.CountContaining(L"Unable to read data", QUILLOG_ERROR) == 1 ||
                       log.CountContaining(L"Unable to send data", QUILLOG_ERROR) == 1;
  EXPECT_TRUE(refused || log.Count(L"Too much timeout", QUILLOG_WARNING) == 1);
}

TEST_F(GetSetTest, StopEndsAWaitingGetPromptlyAndASecondStartIsRefused) {
  CThreadActionWalkerGet get;
  TestUdpSocket silent;
  auto p = Parameter(silent.Port(), L"1.3.6.1.2.1.1.1.0");
  p.timeout = 30000;
  ASSERT_TRUE(get.Start(p));
  ASSERT_TRUE(WaitWalker(MSG_VIEW_WALKER_GET_STARTED));
  EXPECT_FALSE(get.Start(Parameter(m_agent->Port(), L"1.3.6.1.2.1.1.5.0")));
  EXPECT_EQ(get.GetParameter().port, silent.Port());
  ASSERT_TRUE(silent.Receive(1000));  // the worker now sits in its wait
  std::this_thread::sleep_for(20ms);
  const auto stop = Clock::now();
  ASSERT_TRUE(get.Stop());
  const auto finished = m_view->WaitFor(MSG_VIEW_WALKER, MSG_VIEW_WALKER_GET_FINISHED, 2000);
  ASSERT_TRUE(finished);
  EXPECT_LT(*finished - stop, 100ms);
  EXPECT_FALSE(get.IsRunning());
}

// Stop landing at any step of a Get still finishes it.
TEST_F(GetSetTest, StopAtAnyMomentAlwaysFinishes) {
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
  }
}

}  // namespace
