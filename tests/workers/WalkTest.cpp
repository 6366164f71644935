#include <algorithm>
#include <atomic>
#include <set>
#include <thread>

#include "tests/workers/WorkerFixture.h"
#include "workers/ThreadActionWalker.h"

namespace {

class WalkTest : public netsnmp::SuiteWithAgent<WorkerTest> {
 protected:
  // The OIDs the walker shows, checking that rows count up from 0.
  std::vector<std::string> Walk(const CThreadActionWalkerParameter& p) {
    CThreadActionWalker walker;
    EXPECT_TRUE(walker.Start(p));
    EXPECT_TRUE(WaitWalker(MSG_VIEW_WALKER_FINISHED, 30000));
    std::vector<std::string> oids;
    auto results = view_->TakeResults();
    for (size_t i = 0; i < results.size(); ++i) {
      EXPECT_EQ(results[i]->GetRow(), i);
      oids.push_back(quillog::WideToUtf8(results[i]->GetOid().GetText()));
    }
    EXPECT_EQ(walker.GetRowNumber(), results.size());
    return oids;
  }
  static std::vector<std::string> SnmpWalk(const char* version, const char* root = ".1") {
    std::string out;
    EXPECT_EQ(netsnmp::Run({"snmpwalk", version, "-c", "tumbol", "-On", agent_->Target(), root}, &out), 0);
    return netsnmp::WalkOids(out);
  }
  // The system group as snmpwalk shows it, plus ifNumber.0 beyond it.
  static std::vector<std::string> SystemAndOneBeyond() {
    auto oids = SnmpWalk("-v2c", ".1.3.6.1.2.1.1");
    oids.push_back("1.3.6.1.2.1.2.1.0");
    return oids;
  }
};

// Equal OID lists; a failure names the first difference.
void ExpectSameOids(const std::vector<std::string>& ours, const std::vector<std::string>& theirs) {
  auto [a, b] = std::mismatch(ours.begin(), ours.end(), theirs.begin(), theirs.end());
  EXPECT_TRUE(a == ours.end() && b == theirs.end())
      << "first difference at " << (a - ours.begin()) << ": " << (a == ours.end() ? "(end)" : *a) << " vs "
      << (b == theirs.end() ? "(end)" : *b) << "; sizes " << ours.size() << " and " << theirs.size();
}

TEST(WalkerOid, StepBack) {
  using W = CThreadActionWalker;
  EXPECT_EQ(W::StepBack(CAsn1Oid(L"1.3.6.1.2.1")).GetText(), L"1.3.6.1.2.0");
  EXPECT_EQ(W::StepBack(CAsn1Oid(L"1.3.6.1.2.1.1.0")).GetText(), L"1.3.6.1.2.1.0.0");
  EXPECT_EQ(W::StepBack(CAsn1Oid(L"0.0")).GetText(), L"0.0");
  EXPECT_EQ(W::StepBack(CAsn1Oid{1, 3, 18446744073709551615ull}).GetAt(2), 18446744073709551614ull);
}

TEST_F(WalkTest, LastOidShowsTheFirstVariableBeyondAndStops) {
  auto p = Parameter(agent_->Port(), L"1.3.6.1.2.1.1");
  p.last_oid = CAsn1Oid(L"1.3.6.1.2.1.2");
  auto oids = Walk(p);
  ASSERT_GE(oids.size(), 2u);
  EXPECT_EQ(oids.front(), "1.3.6.1.2.1.1.1.0");
  for (size_t i = 0; i + 1 < oids.size(); ++i) EXPECT_EQ(oids[i].rfind("1.3.6.1.2.1.1.", 0), 0u) << oids[i];
  EXPECT_EQ(oids, SystemAndOneBeyond());
  EXPECT_EQ(view_->Codes(MSG_VIEW_WALKER).front(), MSG_VIEW_WALKER_STARTED);
  EXPECT_EQ(view_->Codes(MSG_VIEW_WALKER).back(), MSG_VIEW_WALKER_FINISHED);
}

TEST_F(WalkTest, WholeMibMatchesSnmpwalkInBothVersions) {
  // v1 ends by noSuchName, v2c by endOfMibView: silently, nothing more shown.
  for (auto [version, first, tool] : {std::tuple{0u, L"0.0", "-v1"}, std::tuple{1u, L"", "-v2c"}}) {
    SCOPED_TRACE(tool);
    view_->Clear();
    LogCapture log(0);
    auto oids = Walk(Parameter(agent_->Port(), first, version));  // empty first OID: 0.0
    auto theirs = SnmpWalk(tool);
    ASSERT_GT(theirs.size(), 50u);
    ExpectSameOids(oids, theirs);
    EXPECT_EQ(log.CountLevel(QUILLOG_ERROR), 0u);
    EXPECT_EQ(log.CountLevel(QUILLOG_WARNING), 0u);
    EXPECT_EQ(boxes_.Count(), 0u);
  }
}

TEST_F(WalkTest, StopInTheMiddleEndsTheWalk) {
  // A view that takes its time: the walk is still running when stopped.
  CMessageCenter::Unsubscribe(view_.get());
  class SlowView : public CViewWindow {
   public:
    using CViewWindow::CViewWindow;
    intptr_t OnViewMessage(uint32_t, uintptr_t code, uintptr_t payload) override {
      if (code != MSG_VIEW_WALKER_DATA) return 0;
      delete reinterpret_cast<CWalkerResult*>(payload);
      std::this_thread::sleep_for(20ms);
      return 0;
    }
  } slow(&view_thread_);
  CMessageCenter::Subscribe(L"SlowView", &slow, MSG_VIEW_WALKER, MSG_VIEW_WALKER_DATA);
  CMessageCenter::Subscribe(L"ViewCollector", view_.get(), MSG_VIEW_WALKER, MSG_VIEW_WALKER_FINISHED);
  CThreadActionWalker walker;
  ASSERT_TRUE(walker.Start(Parameter(agent_->Port(), L"")));
  std::this_thread::sleep_for(100ms);
  ASSERT_TRUE(walker.IsRunning());
  const uint32_t before = walker.GetRowNumber();
  EXPECT_TRUE(walker.Stop());
  ASSERT_TRUE(WaitWalker(MSG_VIEW_WALKER_FINISHED, 2000));
  EXPECT_LE(walker.GetRowNumber(), before + 2);
  EXPECT_LT(walker.GetRowNumber(), 100u);
  CMessageCenter::Unsubscribe(&slow);
  view_thread_.Drain();
}

// Forwards datagrams between the worker and the agent, dropping the
// requests whose numbers (1-based) are listed in `drop`, and holding those
// in `delay` until the next request, then sending them just before it.
class Relay {
 public:
  Relay(uint16_t agent_port, std::set<int> drop, std::set<int> delay = {})
      : drop_(std::move(drop)), delay_(std::move(delay)) {
    back_.Connect(agent_port);
    thread_ = std::thread([this] { Loop(); });
  }
  ~Relay() {
    stop_ = true;
    thread_.join();
  }
  uint16_t Port() const { return front_.Port(); }
  int Requests() const { return requests_; }

 private:
  void Loop() {
    sockaddr_in client{};
    std::vector<uint8_t> held;
    while (!stop_) {
      pollfd fds[2] = {{front_.Fd(), POLLIN, 0}, {back_.Fd(), POLLIN, 0}};
      if (::poll(fds, 2, 5) <= 0) continue;
      if (auto request = front_.Receive(0, &client)) {
        const int number = ++requests_;
        if (delay_.count(number)) {
          held = *request;
        } else if (!drop_.count(number)) {
          if (!held.empty()) back_.Send(held);
          held.clear();
          back_.Send(*request);
        }
      }
      if (auto answer = back_.Receive(0)) front_.SendTo(client, *answer);
    }
  }
  std::set<int> drop_;
  std::set<int> delay_;
  TestUdpSocket front_;
  TestUdpSocket back_;
  std::atomic<bool> stop_{false};
  std::atomic<int> requests_{0};
  std::thread thread_;
};

TEST_F(WalkTest, TimeOutInTheMiddleResendsAndResetsTheCount) {
  // Requests 2 and 5 are lost: two steps time out once each. With retries
  // 2 the walk survives only because an answer resets the count.
  Relay relay(agent_->Port(), {2, 5});
  LogCapture log(0);
  auto p = Parameter(relay.Port(), L"1.3.6.1.2.1.1");
  p.last_oid = CAsn1Oid(L"1.3.6.1.2.1.2");
  p.timeout = 200;
  p.retries = 2;
  auto oids = Walk(p);
  EXPECT_EQ(oids, SystemAndOneBeyond());
  EXPECT_EQ(log.Count(L"Timeout", QUILLOG_WARNING), 2u);
  EXPECT_EQ(log.CountContaining(L"Too much timeout"), 0u);
  EXPECT_EQ(relay.Requests(), static_cast<int>(oids.size()) + 2);
}

TEST_F(WalkTest, ALateAnswerToARetryIsDroppedAndNoVariableIsShownTwice) {
  // Request 3 reaches the agent together with its retry: both are answered,
  // and the answer to the first try, no longer in flight, is dropped.
  Relay relay(agent_->Port(), {}, {3});
  LogCapture log(0);
  auto p = Parameter(relay.Port(), L"");
  p.timeout = 200;
  auto oids = Walk(p);
  ExpectSameOids(oids, SnmpWalk("-v2c"));
  EXPECT_EQ(log.Count(L"Timeout", QUILLOG_WARNING), 1u);
  EXPECT_EQ(log.CountContaining(L"dropped an answer with request id", QUILLOG_WARNING), 1u);
  EXPECT_EQ(log.CountContaining(L"OID not increasing"), 0u);
}

}  // namespace
