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
  m_view->Follow(&walker);
  m_view->SetNoteDelay(20ms);

  // The walk runs ahead of the view; every row arrives, in order, in a few batches.
  ASSERT_TRUE(walker.Start(Parameter(agent.Port(), L"1.3.6.1.4.1.99")));
  ASSERT_TRUE(WaitWalker(MSG_VIEW_WALKER_FINISHED));
  const auto results = m_view->TakeResults();
  ASSERT_EQ(results.size(), 200u);
  for (uint32_t i = 0; i < results.size(); ++i) EXPECT_EQ(results[i]->GetRow(), i);
  EXPECT_LT(m_view->Count(MSG_VIEW_WALKER, MSG_VIEW_WALKER_DATA), 50u);

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
  m_view->Follow(nullptr);  // takes no rows
  m_view->SetNoteDelay(0ms);
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
