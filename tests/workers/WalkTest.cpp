#include <algorithm>
#include <thread>

#include "tests/workers/WorkerFixture.h"

namespace {

using WalkTest = netsnmp::SuiteWithAgent<WorkerTest>;

TEST(WalkerOid, StepBack) {
  using W = CThreadActionWalker;
  EXPECT_EQ(W::StepBack(CAsn1Oid(L"1.3.6.1.2.1")).GetText(), L"1.3.6.1.2.0");
  EXPECT_EQ(W::StepBack(CAsn1Oid(L"1.3.6.1.2.1.1.0")).GetText(), L"1.3.6.1.2.1.0.0");
  EXPECT_EQ(W::StepBack(CAsn1Oid(L"0.0")).GetText(), L"0.0");
  EXPECT_EQ(W::StepBack(CAsn1Oid{1, 3, 18446744073709551615ull}).GetAt(2), 18446744073709551614ull);
}

TEST_F(WalkTest, WalksMatchSnmpwalk) {
  // v1 ends by noSuchName, v2c by endOfMibView: silently. With a last OID
  // the first variable beyond it is shown too. GetBulk of any repetition
  // count shows the same; a v1 walk asked for repetitions uses GetNext.
  struct Case {
    uint32_t version;
    const wchar_t* first;  // empty: 0.0
    const wchar_t* last;
    const char* tool;
    const char* root;
    const wchar_t* beyond;
    uint32_t repetitions = 0;
    bool excluded = false;  // the variable past the last OID ends the walk unshown
  };
  const Case cases[] = {
      {0, L"0.0", nullptr, "-v1", ".1", nullptr},
      {1, L"", nullptr, "-v2c", ".1", nullptr},
      {1, L"1.3.6.1.2.1.1", L"1.3.6.1.2.1.2", "-v2c", ".1.3.6.1.2.1.1", L"1.3.6.1.2.1.2.1.0"},
      {0, L"0.0", nullptr, "-v1", ".1", nullptr, 25},
      {1, L"", nullptr, "-v2c", ".1", nullptr, 25},
      {1, L"", nullptr, "-v2c", ".1", nullptr, 1},
      {1, L"1.3.6.1.2.1.1", L"1.3.6.1.2.1.2", "-v2c", ".1.3.6.1.2.1.1", L"1.3.6.1.2.1.2.1.0", 7},
      {1, L"1.3.6.1.2.1.1", L"1.3.6.1.2.1.2", "-v2c", ".1.3.6.1.2.1.1", L"1.3.6.1.2.1.2.1.0", 1000},
      {0, L"1.3.6.1.2.1.1", L"1.3.6.1.2.1.2", "-v1", ".1.3.6.1.2.1.1", nullptr, 0, true},
      {1, L"1.3.6.1.2.1.1", L"1.3.6.1.2.1.2", "-v2c", ".1.3.6.1.2.1.1", nullptr, 7, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.tool) + " " + c.root + " repetitions " + std::to_string(c.repetitions));
    LogCapture log(0);
    auto p = Parameter(agent_->Port(), c.first, c.version);
    if (c.last != nullptr) p.last_oid = CAsn1Oid(c.last);
    p.max_repetitions = c.repetitions;
    p.last_excluded = c.excluded;
    const auto ours = Walk(p).oids;
    std::string out;
    EXPECT_EQ(netsnmp::Run({"snmpwalk", c.tool, "-c", "tumbol", "-On", agent_->Target(), c.root}, &out), 0);
    std::vector<std::wstring> theirs;
    for (const std::string& oid : netsnmp::WalkOids(out)) theirs.emplace_back(oid.begin(), oid.end());
    ASSERT_GT(theirs.size(), 8u);
    if (c.beyond != nullptr) theirs.push_back(c.beyond);
    auto [a, b] = std::mismatch(ours.begin(), ours.end(), theirs.begin(), theirs.end());
    EXPECT_TRUE(a == ours.end() && b == theirs.end())
        << "first difference at " << (a - ours.begin()) << "; sizes " << ours.size() << " and " << theirs.size();
    EXPECT_EQ(log.CountLevel(QUILLOG_ERROR) + log.CountLevel(QUILLOG_WARNING), 0u);
    EXPECT_EQ(boxes_.Count(), 0u);
    EXPECT_EQ(view_->Codes(MSG_VIEW_WALKER).front(), MSG_VIEW_WALKER_STARTED);
    EXPECT_EQ(view_->Codes(MSG_VIEW_WALKER).back(), MSG_VIEW_WALKER_FINISHED);
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

}  // namespace
