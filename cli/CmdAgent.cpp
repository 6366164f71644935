// tavelo get / set / walk: the walker family of workers against one agent.
#include "app/Settings.h"
#include "app/ShowMessage.h"
#include "asn1/Asn1Type.h"
#include "cli/Cli.h"
#include "cli/CliNames.h"
#include "cli/CliOutput.h"
#include "cli/CliSession.h"
#include "cli/Commands.h"
#include "quillog/Quillog.h"
#include "workers/ThreadActionWalker.h"
#include "workers/ThreadActionWalkerGet.h"
#include "workers/ThreadActionWalkerSet.h"
#include "workers/WalkerResult.h"

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace cli {
namespace {

struct RunResult {
  size_t answers = 0;
  bool exception_value = false;  // noSuchObject, noSuchInstance, endOfMibView
};

// What a data code hands over: a walk's number for its outbox, the one
// result of a Get or Set.
std::vector<std::unique_ptr<CWalkerResult>> TakeResults(CThreadActionWalker& walker, uintptr_t walk) {
  return walker.TakeRows(walk);
}
template <typename Worker>
std::vector<std::unique_ptr<CWalkerResult>> TakeResults(Worker&, uintptr_t payload) {
  std::vector<std::unique_ptr<CWalkerResult>> one;
  one.emplace_back(reinterpret_cast<CWalkerResult*>(payload));
  return one;
}

// A walk's rows are taken at most every 2 ms: the worker fills its outbox
// meanwhile and posts once per batch, not once per variable.
void PaceWalk(CThreadActionWalker&) { std::this_thread::sleep_for(std::chrono::milliseconds(2)); }
template <typename Worker>
void PaceWalk(Worker&) {}

// Starts a walker-family worker and runs the dispatcher until it finishes;
// print decides, per delivered result, whether and how it is shown.
template <typename Worker>
bool RunWorker(Worker& worker, const CThreadActionWalkerParameter& parameter, uint32_t data_code,
               uint32_t finished_code, const std::function<void(const CWalkerResult&)>& print) {
  CliSession session;
  // A Get's or Set's result is printed on the worker's thread; a walk posts
  // its rows, printed here in order while the worker goes on.
  DirectDispatcher direct(&session.Dispatcher());
  CliWindow window(&direct, [&](uint32_t, uintptr_t code, uintptr_t payload) -> intptr_t {
    if (code == data_code && payload != 0) {
      for (const auto& result : TakeResults(worker, payload)) print(*result);
      PaceWalk(worker);
    } else if (code == finished_code) {
      // Behind the rows a walk has posted.
      if (!session.Dispatcher().Post([&session] { session.Quit(); })) session.Quit();
    }
    return 0;
  });
  CMessageCenter::Subscribe(L"tavelo", &window, MSG_VIEW_WALKER, 0);
  session.OnInterrupt([&] { worker.Stop(); });
  if (!worker.Start(parameter)) {
    CMessageCenter::Unsubscribe(&window);
    return false;
  }
  session.Run();
  worker.WaitReleased(10000);
  CMessageCenter::Unsubscribe(&window);
  return !session.Interrupted();
}

CThreadActionWalkerParameter MakeParameter(const AgentOptions& agent) {
  CThreadActionWalkerParameter p;
  p.version = agent.version;
  p.community = agent.community;
  p.address = agent.address;
  p.port = agent.port;
  p.timeout = agent.timeout_ms;
  // The worker counts time-outs and gives up when the count reaches this:
  // the first try plus the user's retries.
  p.retries = agent.retries + 1;
  return p;
}

bool IsException(uint8_t code) {
  return code == ASN1_NO_SUCH_OBJECT || code == ASN1_NO_SUCH_INSTANCE || code == ASN1_END_OF_MIB_VIEW;
}

const std::vector<OptionSpec> kAgentOptions = {{"-v", true}, {"-c", true},     {"-t", true},
                                               {"-r", true}, {"--tsv", false}, {"-O", true}};

// Reads the agent options and HOST; reports usage errors itself.
bool ReadAgent(const char* command_name, const ParsedArgs& args, uint32_t community_setting, AgentOptions* agent,
               int* status) {
  const Command& command = *FindCommandByName(command_name);
  if (!ReadOidStyle(args)) {
    *status = UsageError(command, "bad -O " + args.Get("-O") + " (n: dotted OIDs, s: names without their module)");
    return false;
  }
  if (args.positional.empty()) {
    *status = UsageError(command, "no agent given");
    return false;
  }
  auto error = ReadAgentOptions(args, ReadSettingString(community_setting), agent);
  if (!error) error = ParseHost(args.positional[0], agent);
  if (error) {
    *status = UsageError(command, *error);
    return false;
  }
  return true;
}

std::string AgentName(const AgentOptions& agent) { return agent.host + ":" + std::to_string(agent.port); }

// Whether the agent answered with datagrams that are not SNMP responses.
bool RepliesDidNotDecode() { return LogWatch::Saw("a datagram that is not a response was dropped"); }

// "no answer from HOST:PORT (Too much timeout)".
int NoAnswer(const AgentOptions& agent) {
  if (RepliesDidNotDecode()) return Fail("the reply from " + AgentName(agent) + " does not decode as an SNMP response");
  const std::string why = LogWatch::LastProblem();
  return Fail("no answer from " + AgentName(agent) + (why.empty() ? "" : " (" + why + ")"));
}

// The walk printed what it got; one error line when it did not end as walks
// do (endOfMibView, a v1 noSuchName, the last OID).
int WalkStatus(CThreadActionWalker::End end, const AgentOptions& agent, size_t answers) {
  using End = CThreadActionWalker::End;
  const std::string why = LogWatch::LastProblem();
  switch (end) {
    case End::Complete: return kExitOk;
    case End::TimedOut:
      if (answers == 0) return NoAnswer(agent);
      return Fail(
          "the walk of " + AgentName(agent) + " ended after " + std::to_string(answers) + " variables: " +
          (RepliesDidNotDecode() ? "the reply does not decode as an SNMP response" : "no answer (" + why + ")"));
    case End::ErrorStatus:
    case End::NotIncreasing: return Fail(why);
    default: return Fail("the walk of " + AgentName(agent) + " failed" + (why.empty() ? "" : " (" + why + ")"));
  }
}

}  // namespace

const std::vector<OptionSpec>& AgentOptionSpecs() { return kAgentOptions; }

const std::vector<OptionSpec>& WalkOptionSpecs() {
  static const std::vector<OptionSpec> specs = [] {
    std::vector<OptionSpec> all = kAgentOptions;
    all.push_back({"-Cr", true});
    all.push_back({"--getnext", false});
    return all;
  }();
  return specs;
}

int RunGet(const ParsedArgs& args) {
  AgentOptions agent;
  int status = kExitOk;
  if (!ReadAgent("get", args, SETTING_DLG_SNMP_PARAMETER_LAST_COMMUNITY, &agent, &status)) return status;
  if (args.positional.size() < 2) return UsageError(*FindCommandByName("get"), "no OID given");
  std::vector<CAsn1Oid> oids;
  for (size_t i = 1; i < args.positional.size(); ++i) {
    CAsn1Oid oid;
    if (const auto error = ResolveOid(args.positional[i], &oid)) return UsageError(*FindCommandByName("get"), *error);
    oids.push_back(oid);
  }

  LogWatch watch;
  ErrorLines errors;
  const bool tsv = args.Has("--tsv");
  const OidStyle style = *ReadOidStyle(args);
  for (const CAsn1Oid& oid : oids) {
    CThreadActionWalkerGet worker;
    CThreadActionWalkerParameter parameter = MakeParameter(agent);
    parameter.first_oid = oid;
    RunResult result;
    const bool completed = RunWorker(worker, parameter, MSG_VIEW_WALKER_GET_DATA, MSG_VIEW_WALKER_GET_FINISHED,
                                     [&](const CWalkerResult& r) {
                                       ++result.answers;
                                       result.exception_value |= IsException(r.GetObject().GetCode());
                                       std::fputs(VariableLine(r.GetOid(), r.GetObject(), tsv, style).c_str(), stdout);
                                     });
    std::fflush(stdout);
    if (!completed) return Fail("interrupted");
    if (result.answers == 0 && !errors.Failed()) return NoAnswer(agent);
    if (result.answers == 0 || result.exception_value) status = kExitFailed;
  }
  return errors.Failed() ? kExitFailed : status;
}

int RunSet(const ParsedArgs& args) {
  AgentOptions agent;
  int status = kExitOk;
  if (!ReadAgent("set", args, SETTING_DLG_SNMP_SET_LAST_COMMUNITY, &agent, &status)) return status;
  const Command& command = *FindCommandByName("set");
  if (args.positional.size() != 3) return UsageError(command, "set takes HOST OID VALUE");
  CThreadActionWalkerParameter parameter = MakeParameter(agent);
  if (const auto error = ResolveOid(args.positional[1], &parameter.first_oid)) return UsageError(command, *error);
  parameter.value = OctetText(args.positional[2]);

  LogWatch watch;
  ErrorLines errors;
  CThreadActionWalkerSet worker;
  size_t answers = 0;
  const bool tsv = args.Has("--tsv");
  const OidStyle style = *ReadOidStyle(args);
  const bool completed =
      RunWorker(worker, parameter, MSG_VIEW_WALKER_SET_DATA, MSG_VIEW_WALKER_SET_FINISHED, [&](const CWalkerResult& r) {
        ++answers;
        std::fputs(VariableLine(r.GetOid(), r.GetObject(), tsv, style).c_str(), stdout);
      });
  std::fflush(stdout);
  if (!completed) return Fail("interrupted");
  if (errors.Failed()) return kExitFailed;
  if (answers == 0) return NoAnswer(agent);
  return kExitOk;
}

int RunWalk(const ParsedArgs& args) {
  AgentOptions agent;
  int status = kExitOk;
  if (!ReadAgent("walk", args, SETTING_DLG_SNMP_PARAMETER_LAST_COMMUNITY, &agent, &status)) return status;
  const Command& command = *FindCommandByName("walk");
  if (args.positional.size() > 3) return UsageError(command, "walk takes HOST [OID [LAST-OID]]");
  CThreadActionWalkerParameter parameter = MakeParameter(agent);
  CAsn1Oid root;
  const bool subtree_only = args.positional.size() == 2;
  for (size_t i = 1; i < args.positional.size(); ++i) {
    if (const auto error = ResolveOid(args.positional[i], i == 1 ? &root : &parameter.last_oid))
      return UsageError(command, *error);
  }
  parameter.first_oid = root;
  // As snmpbulkwalk: GetBulk of 25 repetitions over v2c unless told otherwise.
  constexpr uint32_t kDefaultRepetitions = 25;
  parameter.max_repetitions = kDefaultRepetitions;
  if (args.Has("-Cr")) {
    const auto n = ParseNumber(args.Get("-Cr"), 1, 2147483647);
    if (!n) return UsageError(command, "bad repetition count " + args.Get("-Cr") + " (1 to 2147483647)");
    parameter.max_repetitions = static_cast<uint32_t>(*n);
  }
  if (args.Has("--getnext") || agent.version == 0) parameter.max_repetitions = 0;
  if (subtree_only) {
    // Stop at the subtree's next sibling; what lies past the subtree is not shown.
    std::vector<uint64_t> arcs = root.GetArcs();
    ++arcs.back();
    parameter.last_oid = CAsn1Oid(arcs);
  }

  LogWatch watch;
  size_t shown = 0;
  size_t answers = 0;
  const bool tsv = args.Has("--tsv");
  const OidStyle style = *ReadOidStyle(args);
  CThreadActionWalker worker;
  const bool completed =
      RunWorker(worker, parameter, MSG_VIEW_WALKER_DATA, MSG_VIEW_WALKER_FINISHED, [&](const CWalkerResult& r) {
        ++answers;
        if (subtree_only && !InSubtree(r.GetOid(), root)) return;
        ++shown;
        std::fputs(VariableLine(r.GetOid(), r.GetObject(), tsv, style).c_str(), stdout);
      });
  std::fflush(stdout);
  if (!completed) return Fail("interrupted");
  return WalkStatus(worker.GetEnd(), agent, answers);
}

}  // namespace cli
