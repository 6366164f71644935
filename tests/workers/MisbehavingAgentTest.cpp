// The walk, Get and Set workers against agents of the tests' own that answer
// wrongly: OIDs that do not increase, other request ids and communities,
// late answers, error fields, cut, padded and large datagrams.
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

std::wstring Text(const Arcs& arcs) { return CAsn1Oid(arcs).GetText(); }

std::vector<std::wstring> Texts(const std::vector<Arcs>& oids) {
  std::vector<std::wstring> out;
  for (const Arcs& oid : oids) out.push_back(Text(oid));
  return out;
}

const std::vector<std::wstring> kWholeSystem = Texts({kSysDescr, kSysObjectId, kSysUpTime, kSysContact});

class MisbehavingAgentTest : public WorkerTest {
 protected:
  using WorkerTest::Walk;
  WalkRun Walk(const scripted::Agent& agent, const wchar_t* first, const Arcs& last = {}, uint32_t repetitions = 0) {
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
    Run(worker, p, finished);
    worker.WaitReleased(5000);
    return m_view->TakeResults();
  }
};

// ---- The walk never loops, never goes back.

TEST_F(MisbehavingAgentTest, AWalkEndsWhenTheAgentDoesNotMoveForward) {
  // Each variable must lie beyond the one before it, within one answer or
  // from one answer to the next; a bulk answer without variables ends the
  // walk too (asking again would get the same nothing).
  auto not_increasing = [](const Arcs& answered, const Arcs& asked) {
    return L"OID not increasing: the agent answered " + Text(answered) + L" to a GetNext of " + Text(asked) +
           L", the walk ends";
  };
  struct Case {
    const char* name;
    uint32_t repetitions;
    std::vector<std::vector<Arcs>> answers;  // the bindings answered to request 1, 2, ...
    size_t shown;
    std::wstring warning;
  };
  const Case cases[] = {
      {"same OID", 0, {{kSysDescr}, {kSysDescr}}, 1, not_increasing(kSysDescr, kSysDescr)},
      {"smaller OID", 0, {{kSysUpTime}, {kSysDescr}}, 1, not_increasing(kSysDescr, kSysUpTime)},
      {"cycle", 0, {{kSysDescr}, {kSysUpTime}, {kSysDescr}}, 2, not_increasing(kSysDescr, kSysUpTime)},
      {"back within a bulk answer",
       10,
       {{kSysDescr, kSysObjectId, kSysDescr}},
       2,
       not_increasing(kSysDescr, kSysObjectId)},
      {"same OID across bulk answers",
       10,
       {{kSysDescr, kSysObjectId}, {kSysObjectId, kSysUpTime}},
       2,
       not_increasing(kSysObjectId, kSysObjectId)},
      {"no variable", 10, {{}}, 0, L"The agent answered a GetBulk of 1.3.6.1.2.1.0 with no variable, the walk ends"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    scripted::Agent agent([&](const Request& r) -> std::vector<Bytes> {
      std::vector<std::pair<Arcs, Bytes>> bindings;
      for (const Arcs& oid : c.answers[std::min<size_t>(r.number, c.answers.size()) - 1])
        bindings.emplace_back(oid, kSystem.at(oid));
      return {scripted::BulkReply(r, bindings)};
    });
    LogCapture log(0);
    const WalkRun run = Walk(agent, L"1.3.6.1.2.1.1", {}, c.repetitions);
    EXPECT_EQ(run.oids.size(), c.shown);
    EXPECT_EQ(run.end, End::NotIncreasing);
    EXPECT_EQ(agent.Requests(), static_cast<int>(c.answers.size()));
    EXPECT_EQ(log.Count(c.warning, QUILLOG_WARNING), 1u);
  }
}

TEST_F(MisbehavingAgentTest, ABulkWalkAsksForItsRepetitionsAndShowsWhatAGetNextWalkShows) {
  // Four variables: a walk takes floor(4 / r) + 1 GetBulk requests, the last
  // one answered with endOfMibView. SNMPv1 has no GetBulk.
  scripted::Agent agent([](const Request& r) -> std::vector<Bytes> { return {scripted::TableAnswer(kSystem, r)}; });
  struct Case {
    uint32_t version;
    uint32_t repetitions;
    uint8_t pdu;
    int requests;
  };
  const Case cases[] = {{1, 1, 0xA5, 5}, {1, 3, 0xA5, 2}, {1, 4, 0xA5, 2}, {1, 25, 0xA5, 1}, {0, 25, 0xA1, 5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "version " << c.version << ", repetitions " << c.repetitions);
    const size_t before = agent.Seen().size();
    LogCapture log(0);
    auto p = Parameter(agent.Port(), L"1.3.6.1.2.1.1", c.version);
    p.max_repetitions = c.repetitions;
    const WalkRun run = Walk(p);
    EXPECT_EQ(run.oids, kWholeSystem);
    EXPECT_EQ(run.end, End::Complete);
    EXPECT_EQ(log.CountLevel(QUILLOG_WARNING), 0u);
    const auto seen = agent.Seen();
    ASSERT_EQ(seen.size() - before, static_cast<size_t>(c.requests));
    for (size_t i = before; i < seen.size(); ++i) {
      EXPECT_EQ(seen[i].pdu, c.pdu);
      if (c.pdu != 0xA5) continue;
      EXPECT_EQ(seen[i].non_repeaters, 0);
      EXPECT_EQ(seen[i].max_repetitions, c.repetitions);
    }
  }
}

TEST_F(MisbehavingAgentTest, AWalkStopsAtTheLastOidItselfAndNeverShowsWhatLiesBeforeTheFirst) {
  scripted::Agent agent([](const Request& r) -> std::vector<Bytes> { return {scripted::TableAnswer(kSystem, r)}; });
  struct Case {
    const wchar_t* first;
    Arcs last;
    std::vector<Arcs> shown;
    int requests;
  };
  const Case cases[] = {
      // The last OID is stored: it is shown and nothing is asked after it.
      {L"1.3.6.1.2.1.1", kSysObjectId, {kSysDescr, kSysObjectId}, 2},
      // Between two stored OIDs: the first one beyond it is shown.
      {L"1.3.6.1.2.1.1", {1, 3, 6, 1, 2, 1, 1, 2}, {kSysDescr, kSysObjectId}, 2},
      // The step back of 1.3.6.1.2.1.1.2 asks 1.3.6.1.2.1.1.1, which gives
      // sysDescr.0: asked, not shown.
      {L"1.3.6.1.2.1.1.2", kSysUpTime, {kSysObjectId, kSysUpTime}, 3},
      // A first OID that is stored is shown first.
      {L"1.3.6.1.2.1.1.3.0", {}, {kSysUpTime, kSysContact}, 3},
  };
  // A GetBulk answer that runs past the last OID stops there too: one
  // request, and nothing after the last OID's variable is shown.
  for (uint32_t repetitions : {0u, 25u}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(quillog::WideToUtf8(c.first) + " repetitions " + std::to_string(repetitions));
      const int before = agent.Requests();
      const WalkRun run = Walk(agent, c.first, c.last, repetitions);
      EXPECT_EQ(run.oids, Texts(c.shown));
      EXPECT_EQ(run.end, End::Complete);
      EXPECT_EQ(agent.Requests() - before, repetitions == 0 ? c.requests : 1);
    }
  }
}

// ---- Answers are matched to the request in flight.

TEST_F(MisbehavingAgentTest, AnswersWithAnotherRequestIdOrCommunityAreDropped) {
  // Before each right answer: one for the id before, one for the id after,
  // one with the community in another case, one a byte longer, one with the
  // community's octets under another type (Opaque).
  scripted::Agent agent([](const Request& r) -> std::vector<Bytes> {
    const Bytes v = berbytes::Text("ops");
    Bytes opaque = Reply{kSysContact, v}.To(r);
    opaque[5] = 0x44;  // 30 len, 02 01 01, then the community's tag
    return {Reply{kSysContact, v, 0, 0, {}, r.request_id - 1}.To(r),
            Reply{kSysContact, v, 0, 0, {}, r.request_id + 1}.To(r),
            Reply{kSysContact, v, 0, 0, "TUMBOL"}.To(r),
            Reply{kSysContact, v, 0, 0, r.community + '\0'}.To(r),
            opaque,
            scripted::TableAnswer(kSystem, r)};
  });
  LogCapture log(0);
  const WalkRun run = Walk(agent, L"1.3.6.1.2.1.1");
  EXPECT_EQ(run.oids, kWholeSystem);
  EXPECT_EQ(run.end, End::Complete);
  EXPECT_EQ(log.CountContaining(L"CThreadActionWalker : dropped an answer with request id", QUILLOG_WARNING), 10u);
  EXPECT_EQ(log.CountContaining(L"CThreadActionWalker : dropped an answer with another community", QUILLOG_WARNING),
            15u);
  EXPECT_EQ(log.CountContaining(L"Timeout"), 0u);
}

TEST_F(MisbehavingAgentTest, ALateAnswerToARetryIsDroppedAndTimeOutsApartDoNotAddUp) {
  // The first try of request 2 is answered only together with its retry,
  // after the time-out: the late answer comes first. Request 5 goes
  // unanswered too; with 2 tries per step the walk survives only because an
  // answer resets the count.
  Bytes held;
  scripted::Agent agent([&](const Request& r) -> std::vector<Bytes> {
    if (r.number == 2) held = scripted::TableAnswer(kSystem, r);
    if (r.number == 2 || r.number == 5) return {};
    if (r.number == 3) return {held, scripted::TableAnswer(kSystem, r)};
    return {scripted::TableAnswer(kSystem, r)};
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
  EXPECT_EQ(seen[2].oid, seen[1].oid);  // the retry asks the same OID
  EXPECT_EQ(seen[2].request_id, seen[1].request_id + 1);
}

TEST_F(MisbehavingAgentTest, AGetWaitsForItsOwnAnswerUntilTheTimeOut) {
  // Only answers with another id come: dropped, so the Get times out after
  // its tries, each waiting its whole time-out with the next request id.
  scripted::Agent agent([](const Request& r) -> std::vector<Bytes> {
    return {Reply{r.oid, berbytes::Int(1), 0, 0, {}, r.request_id + 7}.To(r)};
  });
  LogCapture log(0);
  CThreadActionWalkerGet get;
  const auto started = Clock::now();
  EXPECT_TRUE(Single(get, agent, MSG_VIEW_WALKER_GET_FINISHED, 300).empty());
  EXPECT_GE(Clock::now() - started, 850ms);
  EXPECT_EQ(get.GetEnd(), CThreadActionWalkerGet::End::TimedOut);
  EXPECT_EQ(m_view->Codes(MSG_VIEW_WALKER),
            (std::vector<uintptr_t>{MSG_VIEW_WALKER_GET_STARTED, MSG_VIEW_WALKER_GET_FINISHED}));
  auto seen = agent.Seen();
  ASSERT_EQ(seen.size(), 3u);
  for (size_t i = 1; i < seen.size(); ++i)
    EXPECT_EQ(static_cast<uint32_t>(seen[i].request_id), static_cast<uint32_t>(seen[0].request_id) + i);
  EXPECT_EQ(log.Count(L"Timeout", QUILLOG_WARNING), 3u);
  EXPECT_EQ(log.Count(L"Too much timeout", QUILLOG_WARNING), 1u);

  // Another start draws another id.
  Single(get, agent, MSG_VIEW_WALKER_GET_FINISHED, 50);
  seen = agent.Seen();
  ASSERT_GT(seen.size(), 3u);
  EXPECT_NE(seen[3].request_id, seen[2].request_id + 1);
}

// ---- The error status judges an answer, not the error index.

TEST_F(MisbehavingAgentTest, GetAndSetJudgeTheAnswerByItsErrorStatus) {
  struct Case {
    int64_t status;
    int64_t index;
    bool delivered;
  };
  const Case cases[] = {{5, 0, false}, {0, 1, true}, {2, 1, false}, {0, 0, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "status " << c.status << ", index " << c.index);
    scripted::Agent agent([&](const Request& r) -> std::vector<Bytes> {
      return {Reply{r.oid, berbytes::Text("ops"), c.status, c.index}.To(r)};
    });
    for (bool is_set : {false, true}) {
      SCOPED_TRACE(is_set ? "Set" : "Get");
      const size_t boxes = m_boxes.Count();
      CThreadActionWalkerGet get;
      CThreadActionWalkerSet set;
      const auto results =
          is_set ? Single(set, agent, MSG_VIEW_WALKER_SET_FINISHED) : Single(get, agent, MSG_VIEW_WALKER_GET_FINISHED);
      EXPECT_EQ(results.size(), c.delivered ? 1u : 0u);
      EXPECT_EQ(m_boxes.Count() - boxes, c.delivered ? 0u : 1u);
      if (is_set) {
        EXPECT_EQ(set.GetEnd(),
                  c.delivered ? CThreadActionWalkerSet::End::Complete : CThreadActionWalkerSet::End::ErrorStatus);
      }
    }
  }
}

// ---- Datagrams are read whole, and only whole.

TEST_F(MisbehavingAgentTest, CutAndPaddedAnswersAreDroppedAndLargeOnesReadWhole) {
  scripted::Agent agent([&](const Request& r) -> std::vector<Bytes> {
    Bytes whole = Reply{r.oid, berbytes::Text(std::string(3000, 'L'))}.To(r);
    Bytes cut(whole.begin(), whole.end() - 1);
    Bytes padded = whole;
    padded.push_back(0x00);
    Bytes cut_in_value(whole.begin(), whole.begin() + 40);
    return {cut, padded, cut_in_value, whole};
  });
  LogCapture log(0);
  CThreadActionWalkerGet get;
  const auto results = Single(get, agent, MSG_VIEW_WALKER_GET_FINISHED);
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(results[0]->GetObject().GetText(), std::wstring(3000, L'L'));
  EXPECT_EQ(log.CountContaining(L"The BER lengths do not add up", QUILLOG_WARNING), 3u);
  EXPECT_EQ(
      log.CountContaining(L"CThreadActionWalkerGet : a datagram that is not a response was dropped", QUILLOG_WARNING),
      3u);
  EXPECT_EQ(agent.Requests(), 1);
}

TEST_F(MisbehavingAgentTest, AWalkEndsWithItsReasonOnAnErrorStatusOrATimeOut) {
  struct Case {
    const char* name;
    int64_t status;  // answered to request 3 (-1: no answer)
    uint32_t version;
    End end;
    const wchar_t* warning;
    size_t shown = 2;
  };
  const Case cases[] = {
      {"genErr", 5, 1, End::ErrorStatus, L"The walk ends on error status GenErr at OID "},
      {"v2c noSuchName", 2, 1, End::ErrorStatus, L"The walk ends on error status NoSuchName"},
      {"v1 noSuchName", 2, 0, End::Complete, nullptr},
      {"time-out", -1, 1, End::TimedOut, L"Too much timeout"},
      // An error index without an error status is no error: the walk goes on.
      {"error index alone", 0, 1, End::Complete, nullptr, 4},
  };
  // GetBulk of one repetition asks and is answered as GetNext is.
  for (uint32_t repetitions : {0u, 1u}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + " repetitions " + std::to_string(repetitions));
      scripted::Agent agent([&](const Request& r) -> std::vector<Bytes> {
        if (r.number < 3) return {scripted::TableAnswer(kSystem, r)};
        if (c.status < 0) return {};
        if (c.status > 0) return {Reply{r.oid, berbytes::kNull, c.status, 1}.To(r)};
        const auto next = kSystem.upper_bound(r.oid);
        if (next == kSystem.end()) return {scripted::TableAnswer(kSystem, r)};
        return {Reply{next->first, next->second, 0, 2}.To(r)};
      });
      LogCapture log(0);
      auto p = Parameter(agent.Port(), L"1.3.6.1.2.1.1", c.version);
      p.timeout = 200;
      p.max_repetitions = repetitions;
      const WalkRun run = Walk(p);
      EXPECT_EQ(run.oids.size(), c.shown);
      EXPECT_EQ(run.end, c.end);
      if (c.warning != nullptr) {
        EXPECT_EQ(log.CountContaining(c.warning, QUILLOG_WARNING), 1u);
      } else {
        EXPECT_EQ(log.CountLevel(QUILLOG_WARNING), 0u);
      }
    }
  }
}

}  // namespace
