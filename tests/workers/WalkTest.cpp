#include "tests/workers/WorkerFixture.h"
#include "asn1/BerEncoder.h"
#include "snmp/SnmpResponseOut.h"
#include "workers/ThreadActionWalker.h"

#include <poll.h>

#include <atomic>
#include <chrono>
#include <algorithm>
#include <map>
#include <set>
#include <thread>

namespace {

using namespace std::chrono_literals;

class WalkTest : public netsnmp::SuiteWithAgent<WorkerTest> {
 protected:

  std::vector<std::string> Walk(const CThreadActionWalkerParameter& p) {
    CThreadActionWalker walker;
    EXPECT_TRUE(walker.Start(p));
    EXPECT_TRUE(view_->WaitFor(MSG_VIEW_WALKER, MSG_VIEW_WALKER_FINISHED, 1, 30000));
    std::vector<std::string> oids;
    auto results = view_->TakeResults();
    for (size_t i = 0; i < results.size(); ++i) {
      EXPECT_EQ(results[i]->GetRow(), i);
      oids.push_back(quillog::WideToUtf8(results[i]->GetOid().GetText()));
    }
    EXPECT_EQ(walker.GetRowNumber(), results.size());
    return oids;
  }
  static std::vector<std::string> SnmpWalk(const char* version) {
    std::string out;
    EXPECT_EQ(netsnmp::Run({"snmpwalk", version, "-c", "tumbol", "-On", agent_->Target(), ".1"}, &out), 0);
    return netsnmp::WalkOids(out);
  }
};

TEST(WalkerOid, StepBackAndCompare) {
  EXPECT_EQ(CThreadActionWalker::StepBack(CAsn1Oid(L"1.3.6.1.2.1")).GetText(), L"1.3.6.1.2.0");
  EXPECT_EQ(CThreadActionWalker::StepBack(CAsn1Oid(L"1.3.6.1.2.1.1.0")).GetText(), L"1.3.6.1.2.1.0.0");
  EXPECT_EQ(CThreadActionWalker::StepBack(CAsn1Oid(L"0.0")).GetText(), L"0.0");
  EXPECT_EQ(CThreadActionWalker::StepBack(CAsn1Oid{1, 3, 18446744073709551615ull}).GetAt(2), 18446744073709551614ull);
  using W = CThreadActionWalker;
  EXPECT_LT(W::Compare(CAsn1Oid(L"1.3.6.1.2.1.1.9.1.4.9"), CAsn1Oid(L"1.3.6.1.2.1.2")), 0);
  EXPECT_GT(W::Compare(CAsn1Oid(L"1.3.6.1.2.1.2.1.0"), CAsn1Oid(L"1.3.6.1.2.1.2")), 0);
  EXPECT_LT(W::Compare(CAsn1Oid(L"1.3.6.1.2.1"), CAsn1Oid(L"1.3.6.1.2.1.2")), 0);  // a proper prefix is smaller
  EXPECT_EQ(W::Compare(CAsn1Oid(L"1.3.6"), CAsn1Oid(L"1.3.6")), 0);
  EXPECT_GT(W::Compare(CAsn1Oid{1, 18446744073709551615ull}, CAsn1Oid{1, 2, 3}), 0);  // unsigned arcs
}

TEST_F(WalkTest, LastOidShowsTheFirstVariableBeyondAndStops) {
  auto p = Parameter(agent_->Port(), L"1.3.6.1.2.1.1");
  p.last_oid = CAsn1Oid(L"1.3.6.1.2.1.2");
  auto oids = Walk(p);
  ASSERT_GE(oids.size(), 2u);
  EXPECT_EQ(oids.front(), "1.3.6.1.2.1.1.1.0");
  EXPECT_EQ(oids.back(), "1.3.6.1.2.1.2.1.0");  // ifNumber, beyond the last OID, still shown
  for (size_t i = 0; i + 1 < oids.size(); ++i) EXPECT_EQ(oids[i].rfind("1.3.6.1.2.1.1.", 0), 0u) << oids[i];
  // Same OIDs as snmpwalk of the system group, plus the one beyond.
  std::string out;
  ASSERT_EQ(netsnmp::Run({"snmpwalk", "-v2c", "-c", "tumbol", "-On", agent_->Target(), ".1.3.6.1.2.1.1"}, &out), 0);
  auto theirs = netsnmp::WalkOids(out);
  theirs.push_back("1.3.6.1.2.1.2.1.0");
  EXPECT_EQ(oids, theirs);
  EXPECT_EQ(view_->Codes(MSG_VIEW_WALKER).front(), MSG_VIEW_WALKER_STARTED);
  EXPECT_EQ(view_->Codes(MSG_VIEW_WALKER).back(), MSG_VIEW_WALKER_FINISHED);
}

TEST_F(WalkTest, WholeMibInVersion2cMatchesSnmpwalk) {
  LogCapture log(0);
  auto oids = Walk(Parameter(agent_->Port(), L"", 1));  // empty first OID: 0.0
  auto theirs = SnmpWalk("-v2c");
  ASSERT_GT(theirs.size(), 50u);
  EXPECT_EQ(oids, theirs);
  for (size_t i = 0; i < std::min(oids.size(), theirs.size()); ++i)
    if (oids[i] != theirs[i]) {
      ADD_FAILURE() << "first difference at " << i << ": " << oids[i] << " vs " << theirs[i];
      break;
    }
  EXPECT_EQ(oids.size(), theirs.size());
  // Ended by endOfMibView: no error, nothing more shown.
  EXPECT_EQ(log.CountLevel(QUILLOG_ERROR), 0u);
  EXPECT_EQ(log.CountLevel(QUILLOG_WARNING), 0u);
}

TEST_F(WalkTest, WholeMibInVersion1MatchesSnmpwalk) {
  LogCapture log(0);
  auto oids = Walk(Parameter(agent_->Port(), L"0.0", 0));
  auto theirs = SnmpWalk("-v1");
  ASSERT_GT(theirs.size(), 50u);
  EXPECT_EQ(oids, theirs);  // ended silently by noSuchName
  EXPECT_EQ(log.CountLevel(QUILLOG_ERROR), 0u);
  EXPECT_EQ(boxes_.Count(), 0u);
}

TEST_F(WalkTest, StopInTheMiddleEndsTheWalk) {
  // A view that takes its time: the walk is still running when stopped.
  CMessageCenter::Unsubscribe(view_.get());
  class SlowView : public CViewWindow {
   public:
    using CViewWindow::CViewWindow;
    intptr_t OnViewMessage(uint32_t, uintptr_t code, uintptr_t payload) override {
      if (code == MSG_VIEW_WALKER_DATA) {
        delete reinterpret_cast<CWalkerResult*>(payload);
        std::this_thread::sleep_for(20ms);
      }
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
  ASSERT_TRUE(view_->WaitFor(MSG_VIEW_WALKER, MSG_VIEW_WALKER_FINISHED, 1, 2000));
  EXPECT_LE(walker.GetRowNumber(), before + 2);
  EXPECT_LT(walker.GetRowNumber(), 100u);
  CMessageCenter::Unsubscribe(&slow);
  view_thread_.Drain();
}

// Forwards datagrams between the worker and the agent, dropping the
// requests whose numbers (1-based) are listed.
class Relay {
 public:
  Relay(uint16_t agent_port, std::set<int> drop, std::set<int> delay = {}) : drop_(std::move(drop)), delay_(std::move(delay)) {
    front_ = Bind();
    back_ = Bind();
    sockaddr_in agent{};
    agent.sin_family = AF_INET;
    agent.sin_port = htons(agent_port);
    agent.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(back_, reinterpret_cast<sockaddr*>(&agent), sizeof agent);
    thread_ = std::thread([this] { Loop(); });
  }
  ~Relay() {
    stop_ = true;
    thread_.join();
    ::close(front_);
    ::close(back_);
  }
  uint16_t Port() const {
    sockaddr_in a{};
    socklen_t len = sizeof a;
    ::getsockname(front_, reinterpret_cast<sockaddr*>(&a), &len);
    return ntohs(a.sin_port);
  }
  int Requests() const { return requests_; }

 private:
  static int Bind() {
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    return fd;
  }
  void Loop() {
    sockaddr_in client{};
    uint8_t buf[4096];
    while (!stop_) {
      pollfd fds[2] = {{front_, POLLIN, 0}, {back_, POLLIN, 0}};
      if (::poll(fds, 2, 5) <= 0) continue;
      if (fds[0].revents & POLLIN) {
        socklen_t len = sizeof client;
        ssize_t n = ::recvfrom(front_, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&client), &len);
        const int number = ++requests_;
        if (n > 0 && delay_.count(number)) {
          held_.assign(buf, buf + n);
        } else if (n > 0 && !drop_.count(number)) {
          if (!held_.empty()) ::send(back_, held_.data(), held_.size(), 0);
          held_.clear();
          ::send(back_, buf, n, 0);
        }
      }
      if (fds[1].revents & POLLIN) {
        ssize_t n = ::recv(back_, buf, sizeof buf, 0);
        if (n > 0) ::sendto(front_, buf, n, 0, reinterpret_cast<sockaddr*>(&client), sizeof client);
      }
    }
  }
  std::set<int> drop_;
  std::set<int> delay_;  // held until the next request, then sent just before it
  std::vector<uint8_t> held_;
  int front_ = -1;
  int back_ = -1;
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
  std::string out;
  ASSERT_EQ(netsnmp::Run({"snmpwalk", "-v2c", "-c", "tumbol", "-On", agent_->Target(), ".1.3.6.1.2.1.1"}, &out), 0);
  auto theirs = netsnmp::WalkOids(out);
  theirs.push_back("1.3.6.1.2.1.2.1.0");
  EXPECT_EQ(oids, theirs);
  EXPECT_EQ(log.CountContaining(L"Timeout", QUILLOG_WARNING), 2u);
  EXPECT_EQ(log.CountContaining(L"Too much timeout"), 0u);
  EXPECT_EQ(relay.Requests(), static_cast<int>(oids.size()) + 2);
}

// An agent that answers every request with the same variable.
class StuckAgent {
 public:
  StuckAgent() : fd_(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { Loop(); });
  }
  ~StuckAgent() {
    stop_ = true;
    thread_.join();
    ::close(fd_);
  }
  uint16_t Port() const { return port_; }
  int Answers() const { return answers_; }

 private:
  void Loop() {
    uint8_t buf[2048];
    while (!stop_) {
      pollfd pfd{fd_, POLLIN, 0};
      if (::poll(&pfd, 1, 10) <= 0) continue;
      sockaddr_in from{};
      socklen_t len = sizeof from;
      ssize_t n = ::recvfrom(fd_, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
      CBerDecoder decoder;
      if (n <= 0 || !decoder.Assign(buf, static_cast<uint32_t>(n))) continue;
      CSnmpGenericFrameIn request;
      if (!DecodeDatagram(decoder, request) || request.GetCount() < 5) continue;
      CSnmpResponseOut answer;
      answer.SetInteger(L"Version", request.GetVersion()->GetValue().GetInteger(), true);
      answer.SetText(L"Community", request.GetCommunity()->GetText());
      answer.SetInteger(L"RequestId", request.GetAt(4)->GetValue().GetInteger(), true);
      answer.SetOid(CAsn1Oid(L"1.3.6.1.2.1.1.5.0"));
      answer.SetValue(ASN1_INTEGER, L"1");
      CBerEncoder encoder;
      if (!answer.Encode(encoder)) continue;
      ++answers_;  // counted before the walker can see the answer
      ::sendto(fd_, encoder.GetData(), encoder.GetUsedLength(), 0, reinterpret_cast<sockaddr*>(&from), len);
    }
  }
  int fd_;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> answers_{0};
  std::thread thread_;
};

TEST_F(WalkTest, ALateAnswerToARetryRepeatsVariablesButTheWalkGoesOn) {
  // Request 3 reaches the agent together with its retry: both are answered,
  // and from then on each answer read is the one to the request before.
  Relay relay(agent_->Port(), {}, {3});
  LogCapture log(0);
  auto p = Parameter(relay.Port(), L"");
  p.timeout = 200;
  auto oids = Walk(p);
  auto theirs = SnmpWalk("-v2c");
  std::vector<std::string> unique = oids;
  unique.erase(std::unique(unique.begin(), unique.end()), unique.end());
  EXPECT_EQ(unique, theirs);
  for (size_t i = 0; i < std::min(unique.size(), theirs.size()); ++i)
    if (unique[i] != theirs[i]) {
      ADD_FAILURE() << "first difference at " << i << ": " << unique[i] << " vs " << theirs[i] << " sizes "
                    << unique.size() << " " << theirs.size() << " " << oids.size();
      break;
    }
  EXPECT_GT(oids.size(), theirs.size());  // variables shown twice
  EXPECT_EQ(log.CountContaining(L"Timeout", QUILLOG_WARNING), 1u);
  EXPECT_EQ(log.CountContaining(L"does not move forward"), 0u);
}

TEST_F(WalkTest, AnAgentThatNeverMovesForwardEndsTheWalk) {
  StuckAgent stuck;
  LogCapture log(0);
  auto oids = Walk(Parameter(stuck.Port(), L"1.3.6.1.2.1.1"));
  EXPECT_EQ(oids, std::vector<std::string>(3, "1.3.6.1.2.1.1.5.0"));
  EXPECT_EQ(log.CountContaining(L"The agent does not move forward from OID 1.3.6.1.2.1.1.5.0: the walk ends", QUILLOG_WARNING),
            1u);
  EXPECT_EQ(stuck.Answers(), 4);
}

}  // namespace
