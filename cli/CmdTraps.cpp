// tavelo traps: receive and print traps until interrupted or N have come.
#include "app/Settings.h"
#include "cli/Cli.h"
#include "cli/CliNames.h"
#include "cli/CliOutput.h"
#include "cli/CliSession.h"
#include "cli/Commands.h"
#include "workers/ThreadActionTrapper.h"
#include "workers/TrapRecord.h"

#include <ctime>
#include <memory>

namespace cli {
namespace {

std::string LocalTime(int64_t seconds) {
  const time_t t = static_cast<time_t>(seconds);
  struct tm local {};
  localtime_r(&t, &local);
  char text[32];
  std::strftime(text, sizeof(text), "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

// A header field's value as a variable line shows it; "" when the trap lacks it.
std::string Field(const CAsn1Object* object, bool tsv, OidStyle style = OidStyle::Numeric) {
  return object != nullptr ? ValueText(*object, tsv, style) : std::string();
}

// "time sender version community [agent enterprise generic specific timestamp]",
// then the bindings.
std::string TrapText(const CTrapRecord& record, bool tsv, OidStyle style) {
  const CSnmpTrapIn& trap = record.GetFrame();
  const std::string sep = tsv ? "\t" : " ";
  std::string out = LocalTime(record.GetTime()) + sep + DottedAddress(trap.GetSenderAddress()) + ":" +
                    std::to_string(trap.GetSenderPort()) + sep + (trap.IsVersion1() ? "v1" : "v2c") + sep +
                    "community=" + Field(trap.GetCommunity(), tsv);
  if (trap.IsVersion1()) {
    out += sep + "agent=" + Field(trap.GetAgentAddress(), tsv) + sep +
           "enterprise=" + Field(trap.GetEnterprise(), tsv, style) + sep +
           "generic=" + Utf8(trap.GetGenericTrapName()) + sep + "specific=" + Field(trap.GetSpecificTrap(), tsv) + sep +
           "timestamp=" + Field(trap.GetTimeStamp(), tsv);
  }
  out += "\n";
  const auto& names = trap.GetNames();
  const auto& values = trap.GetValues();
  for (size_t i = 0; i < names.size() && i < values.size(); ++i) {
    const std::string line = VariableLine(names[i]->GetValue().GetOid(), *values[i], tsv, style);
    out += (tsv ? "" : "  ") + line;
  }
  return out;
}

}  // namespace

int RunTraps(const ParsedArgs& args) {
  const Command& command = *FindCommandByName("traps");
  if (!args.positional.empty()) return UsageError(command, "unexpected argument " + args.positional[0]);
  uint32_t port = ReadSettingDword(SETTING_DLG_TRAP_PARAMETER_LAST_PORT);
  if (args.Has("-p")) {
    const auto p = ParseNumber(args.Get("-p"), 1, 65535);
    if (!p) return UsageError(command, "bad port " + args.Get("-p") + " (1 to 65535)");
    port = static_cast<uint32_t>(*p);
  }
  const auto style = ReadOidStyle(args);
  if (!style)
    return UsageError(command, "bad -O " + args.Get("-O") + " (n: dotted OIDs, s: names without their module)");
  uint64_t wanted = 0;  // 0: until interrupted
  if (args.Has("--count")) {
    const auto n = ParseNumber(args.Get("--count"), 1, 1000000000);
    if (!n) return UsageError(command, "bad count " + args.Get("--count"));
    wanted = *n;
  }

  LogWatch watch;
  CliSession session;
  CThreadActionTrapper worker;
  bool started = false;
  uint64_t received = 0;
  const bool tsv = args.Has("--tsv");
  CliWindow window(&session.Dispatcher(), [&](uint32_t, uintptr_t code, uintptr_t payload) -> intptr_t {
    if (code == MSG_VIEW_TRAPPER_STARTED) {
      started = true;
      std::fprintf(stderr, "tavelo: receiving traps on UDP port %u\n", port);
    } else if (code == MSG_VIEW_TRAPPER_DATA) {
      for (const auto& record : worker.TakeTraps(payload)) {
        if (wanted != 0 && received >= wanted) break;  // arrived while stopping
        std::fputs(TrapText(*record, tsv, *style).c_str(), stdout);
        if (++received == wanted) worker.Stop();
      }
      std::fflush(stdout);
    } else if (code == MSG_VIEW_TRAPPER_FINISHED) {
      session.Quit();
    }
    return 0;
  });
  CMessageCenter::Subscribe(L"tavelo", &window, MSG_VIEW_TRAPPER, 0);
  session.OnInterrupt([&] { worker.Stop(); });
  if (!worker.Start(port)) {
    CMessageCenter::Unsubscribe(&window);
    return Fail("cannot start the trap receiver");
  }
  session.Run();
  worker.WaitReleased(10000);
  CMessageCenter::Unsubscribe(&window);
  if (!started) {
    const std::string problem = ListenProblem(0, port);
    if (!problem.empty()) return Fail(problem);
    return Fail("cannot receive on UDP port " + std::to_string(port) + " (" + LogWatch::LastProblem() + ")");
  }
  return kExitOk;
}

}  // namespace cli
