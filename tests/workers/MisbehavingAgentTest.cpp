// The walk, Get and Set workers against agents of the tests' own that answer
// wrongly.
#include "tests/common/ScriptedAgent.h"
#include "tests/workers/WorkerFixture.h"
#include "workers/ThreadActionWalkerGet.h"
#include "workers/ThreadActionWalkerSet.h"

#include <map>

namespace {

using berbytes::Bytes;
using scripted::Arcs;
using scripted::Reply;
using scripted::Request;
using End = CThreadActionWalker::End;

const Arcs kSysDescr = {1, 3, 6, 1, 2, 1, 1, 1, 0};
const Arcs kSysObjectId = {1, 3, 6, 1, 2, 1, 1, 2, 0};
const Arcs kSysUpTime = {1, 3, 6, 1, 2, 1, 1, 3, 0};
const Arcs kSysContact = {1, 3, 6, 1, 2, 1, 1, 4, 0};

const std::map<Arcs, Bytes> kSystem = {
    {kSysDescr, berbytes::Text("box")},
    {kSysObjectId, berbytes::Oid({1, 3, 6, 1, 4, 1, 8072})},
    {kSysUpTime, berbytes::Tlv(0x43, {0x01, 0x00})},
    {kSysContact, berbytes::Text("ops")},
};

std::vector<std::wstring> Texts(const std::vector<Arcs>& oids) {
  std::vector<std::wstring> out;
  for (const Arcs& oid : oids) out.push_back(CAsn1Oid(oid).GetText());
  return out;
}

const std::vector<std::wstring> kWholeSystem = Texts({kSysDescr, kSysObjectId, kSysUpTime, kSysContact});

Bytes Table(const Request& r) { return scripted::TableAnswer(kSystem, r); }

class MisbehavingAgentTest : public WorkerTest {
 protected:
  WalkRun WalkOf(const scripted::Agent& agent, const wchar_t* first, const Arcs& last = {}, uint32_t repetitions = 0) {
    auto p = Parameter(agent.Port(), first);
    p.last_oid = CAsn1Oid(std::vector<uint64_t>(last));
    p.max_repetitions = repetitions;
    return Walk(p);
  }
  template <typename Worker>
  std::vector<std::unique_ptr<CWalkerResult>> Single(Worker& worker, const scripted::Agent& agent, uintptr_t finished,
                                                     uint32_t timeout = 1000) {
    auto p = Parameter(agent.Port(), L"1.3.6.1.2.1.1.4.0");
    p.value = L"ops";
    p.timeout = timeout;
    return Run(worker, p, finished);
  }
};

// A variable not beyond the one before it, or an error status, ends the walk.
TEST_F(MisbehavingAgentTest, AWalkEndsWithItsReason) {
  auto not_increasing = [](const Arcs& answered, const Arcs& asked) {
    return L"OID not increasing: the agent answered " + CAsn1Oid(answered).GetText() + L" to a GetNext of " +
           CAsn1Oid(asked).GetText() + L", the walk ends";
  };
  // The bindings answered to request 1, 2, ... (the last list from then on).
  auto answers = [](std::vector<std::vector<Arcs>> lists) -> scripted::Agent::Script {
    return [lists](const Request& r) -> std::vector<Bytes> {
      std::vector<std::pair<Arcs, Bytes>> bindings;
      for (const Arcs& oid : lists[std::min<size_t>(r.number, lists.size()) - 1])
        bindings.emplace_back(oid, kSystem.at(oid));
      return {scripted::BulkReply(r, bindings)};
    };
  };
  // From request 3 on, noSuchName, or the right variable with an error index alone.
  auto third = [](int64_t status) -> scripted::Agent::Script {
    return [status](const Request& r) -> std::vector<Bytes> {
      const auto next = kSystem.upper_bound(r.oid);
      if (r.number < 3 || next == kSystem.end()) return {Table(r)};
      return {Reply{status == 0 ? next->first : r.oid, next->second, status, 2}.To(r)};
    };
  };
  using enum CThreadActionWalker::End;
  struct Case {
    uint32_t repetitions;
    scripted::Agent::Script script;
    size_t shown;
    End end;
    std::wstring warning;  // empty: none
  };
  const Case cases[] = {
      {0, answers({{kSysDescr}, {kSysDescr}}), 1, NotIncreasing, not_increasing(kSysDescr, kSysDescr)},
      {0, answers({{kSysUpTime}, {kSysDescr}}), 1, NotIncreasing, not_increasing(kSysDescr, kSysUpTime)},
      {0, answers({{kSysDescr}, {kSysUpTime}, {kSysDescr}}), 2, NotIncreasing, not_increasing(kSysDescr, kSysUpTime)},
      {9, answers({{kSysDescr, kSysObjectId}, {kSysObjectId}}), 2, NotIncreasing,
       not_increasing(kSysObjectId, kSysObjectId)},
      {9, answers({{}}), 0, NotIncreasing, L"The agent answered a GetBulk of 1.3.6.1.2.1.0 with no variable"},
      {1, third(2), 2, ErrorStatus, L"The walk ends on error status NoSuchName at OID 1.3.6.1.2.1.1.2.0"},
      {1, third(0), 4, Complete, L""},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    const Case& c = cases[i];
    scripted::Agent agent(c.script);
    LogCapture log(0);
    const WalkRun run = WalkOf(agent, L"1.3.6.1.2.1.1", {}, c.repetitions);
    EXPECT_EQ(run.oids.size(), c.shown);
    EXPECT_EQ(run.end, c.end);
    EXPECT_EQ(log.CountLevel(QUILLOG_WARNING), c.warning.empty() ? 0u : 1u);
    EXPECT_EQ(log.CountContaining(c.warning, QUILLOG_WARNING), c.warning.empty() ? 0u : 1u);
  }
}

TEST_F(MisbehavingAgentTest, AWalkStopsAtTheLastOidItselfAndNeverShowsWhatLiesBeforeTheFirst) {
  scripted::Agent agent([](const Request& r) -> std::vector<Bytes> { return {Table(r)}; });
  struct Case {
    const wchar_t* first;
    Arcs last;
    std::vector<Arcs> shown;
    int requests;
  };
  const Case cases[] = {
      {L"1.3.6.1.2.1.1", kSysObjectId, {kSysDescr, kSysObjectId}, 2},
      // The step back asks 1.3.6.1.2.1.1.1: sysDescr.0 is asked past, not shown.
      {L"1.3.6.1.2.1.1.2", kSysUpTime, {kSysObjectId, kSysUpTime}, 3},
      {L"1.3.6.1.2.1.1.3.0", {}, {kSysUpTime, kSysContact}, 3},
  };
  // A GetBulk answer that runs past the last OID stops there too.
  for (uint32_t repetitions : {0u, 25u}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(quillog::WideToUtf8(c.first) + " repetitions " + std::to_string(repetitions));
      const int before = agent.Requests();
      const WalkRun run = WalkOf(agent, c.first, c.last, repetitions);
      EXPECT_EQ(run.oids, Texts(c.shown));
      EXPECT_EQ(run.end, End::Complete);
      EXPECT_EQ(agent.Requests() - before, repetitions == 0 ? c.requests : 1);
    }
  }
}

// Request 2's late answer comes with its retry's; time-outs apart (2 and 5) do not add up.
TEST_F(MisbehavingAgentTest, ALateAnswerToARetryIsDroppedAndTimeOutsApartDoNotAddUp) {
  Bytes held;
  scripted::Agent agent([&](const Request& r) -> std::vector<Bytes> {
    if (r.number == 2) held = Table(r);
    if (r.number == 2 || r.number == 5) return {};
    if (r.number == 3) return {held, Table(r)};
    return {Table(r)};
  });
  LogCapture log(0);
  auto p = Parameter(agent.Port(), L"1.3.6.1.2.1.1");
  p.timeout = 300;
  p.retries = 2;
  const WalkRun run = Walk(p);
  EXPECT_EQ(run.oids, kWholeSystem);
  EXPECT_EQ(run.end, End::Complete);
  EXPECT_EQ(log.Count(L"Timeout", QUILLOG_WARNING), 2u);
  EXPECT_EQ(log.CountContaining(L"dropped an answer with request id", QUILLOG_WARNING), 1u);
  const auto seen = agent.Seen();
  ASSERT_GE(seen.size(), 3u);
  EXPECT_EQ(seen[2].oid, seen[1].oid);
  EXPECT_EQ(seen[2].request_id, seen[1].request_id + 1);
}

// Only answers with another id: three tries, each with the next id and its whole time-out.
TEST_F(MisbehavingAgentTest, AGetWaitsForItsOwnAnswerUntilTheTimeOut) {
  scripted::Agent agent([](const Request& r) -> std::vector<Bytes> {
    return {Reply{r.oid, berbytes::Int(1), 0, 0, {}, r.request_id + 7}.To(r)};
  });
  LogCapture log(0);
  CThreadActionWalkerGet get;
  const auto started = Clock::now();
  EXPECT_TRUE(Single(get, agent, MSG_VIEW_WALKER_GET_FINISHED, 300).empty());
  EXPECT_GE(Clock::now() - started, 850ms);
  EXPECT_EQ(get.GetEnd(), CThreadActionWalkerGet::End::TimedOut);
  const auto seen = agent.Seen();
  ASSERT_EQ(seen.size(), 3u);
  for (size_t i = 1; i < seen.size(); ++i)
    EXPECT_EQ(static_cast<uint32_t>(seen[i].request_id), static_cast<uint32_t>(seen[0].request_id) + i);
  EXPECT_EQ(log.Count(L"Too much timeout", QUILLOG_WARNING), 1u);
}

// genErr with error index 0 is a failure all the same.
TEST_F(MisbehavingAgentTest, GetAndSetJudgeTheAnswerByItsErrorStatus) {
  scripted::Agent agent([](const Request& r) -> std::vector<Bytes> {
    return {Reply{r.oid, berbytes::Text("ops"), 5, 0}.To(r)};
  });
  CThreadActionWalkerGet get;
  CThreadActionWalkerSet set;
  EXPECT_TRUE(Single(get, agent, MSG_VIEW_WALKER_GET_FINISHED).empty());
  EXPECT_TRUE(Single(set, agent, MSG_VIEW_WALKER_SET_FINISHED).empty());
  EXPECT_EQ(set.GetEnd(), CThreadActionWalkerSet::End::ErrorStatus);
  EXPECT_EQ(m_boxes.Count(), 2u);
}

// Before the right 3,000-byte answer: other ids, other communities, cut short, padded.
TEST_F(MisbehavingAgentTest, OnlyTheWholeAnswerToTheRequestInFlightIsTaken) {
  scripted::Agent agent([&](const Request& r) -> std::vector<Bytes> {
    const Bytes v = berbytes::Text(std::string(3000, 'L'));
    const Bytes whole = Reply{r.oid, v}.To(r);
    Bytes padded = whole;
    padded.push_back(0x00);
    return {Reply{r.oid, v, 0, 0, {}, r.request_id - 1}.To(r),
            Reply{r.oid, v, 0, 0, {}, r.request_id + 1}.To(r),
            Reply{r.oid, v, 0, 0, "TUMBOL"}.To(r),
            Reply{r.oid, v, 0, 0, r.community + '\0'}.To(r),
            Bytes(whole.begin(), whole.end() - 1),
            padded,
            whole};
  });
  LogCapture log(0);
  CThreadActionWalkerGet get;
  const auto results = Single(get, agent, MSG_VIEW_WALKER_GET_FINISHED);
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(results[0]->GetObject().GetText(), std::wstring(3000, L'L'));
  EXPECT_EQ(log.CountContaining(L"dropped an answer with request id", QUILLOG_WARNING), 2u);
  EXPECT_EQ(log.CountContaining(L"dropped an answer with another community", QUILLOG_WARNING), 2u);
  EXPECT_EQ(log.CountContaining(L"The BER lengths do not add up", QUILLOG_WARNING), 2u);
  EXPECT_EQ(agent.Requests(), 1);
}

}  // namespace
