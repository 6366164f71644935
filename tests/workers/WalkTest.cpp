#include "tests/workers/WorkerFixture.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <thread>

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
  // the first variable beyond it is shown too; GetBulk shows the same.
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
      {1, L"1.3.6.1.2.1.1", L"1.3.6.1.2.1.2", "-v2c", ".1.3.6.1.2.1.1", L"1.3.6.1.2.1.2.1.0"},
      {1, L"", nullptr, "-v2c", ".1", nullptr, 25},
      {1, L"1.3.6.1.2.1.1", L"1.3.6.1.2.1.2", "-v2c", ".1.3.6.1.2.1.1", L"1.3.6.1.2.1.2.1.0", 7},
      {0, L"1.3.6.1.2.1.1", L"1.3.6.1.2.1.2", "-v1", ".1.3.6.1.2.1.1", nullptr, 0, true},
      {1, L"1.3.6.1.2.1.1", L"1.3.6.1.2.1.2", "-v2c", ".1.3.6.1.2.1.1", nullptr, 7, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.tool) + " " + c.root + " repetitions " + std::to_string(c.repetitions));
    LogCapture log(0);
    auto p = Parameter(m_agent->Port(), c.first, c.version);
    if (c.last != nullptr) p.last_oid = CAsn1Oid(c.last);
    p.max_repetitions = c.repetitions;
    p.last_excluded = c.excluded;
    const auto ours = Walk(p).oids;
    std::string out;
    EXPECT_EQ(netsnmp::Run({"snmpwalk", c.tool, "-c", "tumbol", "-On", m_agent->Target(), c.root}, &out), 0);
    std::vector<std::wstring> theirs;
    for (const std::string& oid : netsnmp::WalkOids(out)) theirs.emplace_back(oid.begin(), oid.end());
    ASSERT_GT(theirs.size(), 8u);
    if (c.beyond != nullptr) theirs.push_back(c.beyond);
    EXPECT_EQ(ours, theirs);
    EXPECT_EQ(log.CountLevel(QUILLOG_ERROR) + log.CountLevel(QUILLOG_WARNING), 0u);
    EXPECT_EQ(m_boxes.Count(), 0u);
    EXPECT_EQ(m_view->Codes(MSG_VIEW_WALKER).front(), MSG_VIEW_WALKER_STARTED);
    EXPECT_EQ(m_view->Codes(MSG_VIEW_WALKER).back(), MSG_VIEW_WALKER_FINISHED);
  }
}

TEST_F(WalkTest, ASlowViewHoldsNeitherTheWalkNorItsRowsAndStopEndsIt) {
  // 200 variables; a view that sleeps on each note of new rows.
  std::map<scripted::Arcs, berbytes::Bytes> table;
  for (uint64_t i = 1; i <= 200; ++i) table[{1, 3, 6, 1, 4, 1, 99, i}] = berbytes::Int(static_cast<int64_t>(i));
  std::atomic<int> delay_ms{0};
  scripted::Agent agent([&](const scripted::Request& r) -> std::vector<berbytes::Bytes> {
    std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms.load()));
    return {scripted::TableAnswer(table, r)};
  });
  CThreadActionWalker walker;
  class SlowView : public CViewWindow {
   public:
    SlowView(CViewDispatcher* d, CThreadActionWalker* w) : CViewWindow(d), m_walker(w) {}
    intptr_t OnViewMessage(uint32_t, uintptr_t code, uintptr_t payload) override {
      if (code != MSG_VIEW_WALKER_DATA) return 0;
      ++notes;
      std::this_thread::sleep_for(20ms);
      for (auto& row : m_walker->TakeRows(payload)) rows.push_back(row->GetRow());
      return 1;
    }
    CThreadActionWalker* m_walker;
    int notes = 0;
    std::vector<uint32_t> rows;
  } slow(&m_view_thread, &walker);
  CMessageCenter::Unsubscribe(m_view.get());
  CMessageCenter::Subscribe(L"SlowView", &slow, MSG_VIEW_WALKER, MSG_VIEW_WALKER_DATA);
  CMessageCenter::Subscribe(L"ViewCollector", m_view.get(), MSG_VIEW_WALKER, MSG_VIEW_WALKER_FINISHED);

  // The walk runs ahead of the view; every row arrives, in order, in a few batches.
  ASSERT_TRUE(walker.Start(Parameter(agent.Port(), L"1.3.6.1.4.1.99")));
  ASSERT_TRUE(WaitWalker(MSG_VIEW_WALKER_FINISHED));
  m_view_thread.Drain();
  ASSERT_EQ(slow.rows.size(), 200u);
  for (uint32_t i = 0; i < slow.rows.size(); ++i) EXPECT_EQ(slow.rows[i], i);
  EXPECT_LT(slow.notes, 50);

  // Stopped in the middle: little more than the answer in hand after the stop.
  m_view->Clear();
  delay_ms = 5;
  ASSERT_TRUE(walker.WaitReleased(5000));
  ASSERT_TRUE(walker.Start(Parameter(agent.Port(), L"1.3.6.1.4.1.99")));
  std::this_thread::sleep_for(100ms);
  ASSERT_TRUE(walker.IsRunning());
  const uint32_t before = walker.GetRowNumber();
  EXPECT_TRUE(walker.Stop());
  ASSERT_TRUE(WaitWalker(MSG_VIEW_WALKER_FINISHED, 2000));
  EXPECT_LE(walker.GetRowNumber(), before + 2);
  EXPECT_LT(walker.GetRowNumber(), 100u);

  // Rows nobody took belong to their walk only: a new start drops them and
  // a note of the old walk takes nothing.
  CMessageCenter::Unsubscribe(&slow);
  CMessageCenter::Unsubscribe(m_view.get());
  CMessageCenter::Subscribe(L"ViewCollector", m_view.get(), MSG_VIEW_WALKER, 0);  // takes no rows
  m_view->Clear();
  delay_ms = 0;
  const uint64_t stopped = walker.GetWalk();
  ASSERT_TRUE(walker.WaitReleased(5000));
  ASSERT_TRUE(walker.Start(Parameter(agent.Port(), L"1.3.6.1.4.1.99.150")));
  ASSERT_TRUE(WaitWalker(MSG_VIEW_WALKER_FINISHED));
  EXPECT_TRUE(walker.TakeRows(stopped).empty());
  const auto rows = walker.TakeRows(walker.GetWalk());
  ASSERT_EQ(rows.size(), 51u);
  EXPECT_EQ(rows.front()->GetRow(), 0u);
  EXPECT_EQ(rows.front()->GetOid().GetText(), L"1.3.6.1.4.1.99.150");
  m_view_thread.Drain();
}

}  // namespace
