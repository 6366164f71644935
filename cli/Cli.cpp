#include "cli/Cli.h"

#include "app/Settings.h"
#include "cli/CliSession.h"
#include "cli/Commands.h"
#include "quillog/Quillog.h"

#include <cstring>

namespace cli {
namespace {

const std::vector<OptionSpec> kCommonOptions = {{"-d", true}, {"--help", false}, {"-h", false}};

void PrintProgramHelp(FILE* out) {
  std::fprintf(out,
               "usage: tavelo COMMAND [options] ...\n"
               "An SNMP workbench: talk to agents, receive traps, simulate agents, read MIBs.\n\n"
               "Commands:\n");
  for (const auto& c : Commands()) std::fprintf(out, "  %-10s %s\n", c.name, c.summary);
  std::fprintf(out,
               "\nEvery command takes -d FEATURES (log lines of those features on standard error:\n"
               "\"all\", a mask such as 0x800000, or names such as snmpframein,snmpframeout)\n"
               "and --help. Run \"tavelo COMMAND --help\" for a command's options;\n"
               "\"tavelo --version\" prints the version.\n");
}

void PrintCommandHelp(const Command& c, FILE* out) { std::fprintf(out, "usage: tavelo %s\n%s\n", c.usage, c.summary); }

// Sends the log lines of the asked features to standard error.
bool SetUpLogging(const ParsedArgs& args) {
  QuillogRegisterW(L"tavelo");
  QuillogSetFeatureLevel(0);
  if (!args.Has("-d")) return true;
  const auto mask = ParseFeatures(args.Get("-d"));
  if (!mask) return false;
  QuillogSetFeatureLevel(*mask);
  QuillogStderrEnable(true);
  QuillogOutputEnable();
  return true;
}

// The first read of the settings sets an unusable file aside; the user
// hears of it once, with the path of the kept copy.
void ReportSettingsSetAside() {
  LogWatch watch;
  (void)ReadSettingString(SETTING_DLG_SNMP_PARAMETER_LAST_COMMUNITY);
  static const std::string kPrefix = "ReadSettings() : ";
  const std::string problem = LogWatch::LastProblem();
  if (problem.rfind(kPrefix, 0) == 0) std::fprintf(stderr, "tavelo: %s\n", problem.substr(kPrefix.size()).c_str());
}

}  // namespace

int Fail(const std::string& text) {
  std::fprintf(stderr, "tavelo: %s\n", text.c_str());
  return kExitFailed;
}

int UsageError(const Command& command, const std::string& text) {
  std::fprintf(stderr, "tavelo %s: %s\nusage: tavelo %s\n", command.name, text.c_str(), command.usage);
  return kExitUsage;
}

int Main(const std::vector<std::string>& args) {
  if (args.empty()) {
    PrintProgramHelp(stderr);
    return kExitUsage;
  }
  if (args[0] == "--version" || args[0] == "-V") {
    std::printf("tavelo %s\n", TAVELO_VERSION);
    return kExitOk;
  }
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    PrintProgramHelp(stdout);
    return kExitOk;
  }
  const Command* command = FindCommandByName(args[0].c_str());
  if (command == nullptr) {
    std::fprintf(stderr,
                 "tavelo: unknown command '%s'\nusage: tavelo COMMAND [options] ... (tavelo --help lists them)\n",
                 args[0].c_str());
    return kExitUsage;
  }
  std::vector<OptionSpec> specs = command->options;
  specs.insert(specs.end(), kCommonOptions.begin(), kCommonOptions.end());
  ParsedArgs parsed;
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (const auto error = ParseArgs(rest, specs, &parsed)) return UsageError(*command, *error);
  if (parsed.Has("--help") || parsed.Has("-h")) {
    PrintCommandHelp(*command, stdout);
    return kExitOk;
  }
  if (!SetUpLogging(parsed)) return UsageError(*command, "bad log features " + parsed.Get("-d"));
  ReportSettingsSetAside();
  return command->run(parsed);
}

}  // namespace cli
