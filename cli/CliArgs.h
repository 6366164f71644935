// Command-line parsing shared by the tavelo commands: a small option parser
// that follows Net-SNMP's habits (-v 1|2c, -c COMMUNITY, -t SECONDS, -r N,
// HOST[:PORT]).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace cli {

// An option a command accepts: "-v", "--count"; with_value when it takes one.
struct OptionSpec {
  std::string name;
  bool with_value;
};

struct ParsedArgs {
  std::map<std::string, std::string> options;  // last value wins; "" for flags
  std::vector<std::string> positional;
  bool Has(const std::string& name) const { return options.count(name) != 0; }
  std::string Get(const std::string& name, const std::string& fallback = "") const {
    auto it = options.find(name);
    return it == options.end() ? fallback : it->second;
  }
};

// Splits args into options and positional arguments. "--" ends the options;
// "-tVALUE" is accepted for one-letter options, "-CrVALUE" for longer
// one-dash ones. Returns an error text for an
// unknown option or a missing value.
std::optional<std::string> ParseArgs(const std::vector<std::string>& args, const std::vector<OptionSpec>& specs,
                                     ParsedArgs* out);

// The agent side of get, set and walk.
struct AgentOptions {
  std::string host;
  uint32_t address = 0;  // host order
  uint32_t port = 161;
  uint32_t version = 0;  // SNMP version field: 0 for v1, 1 for v2c
  std::wstring community;
  uint32_t timeout_ms = 1000;
  uint32_t retries = 2;
};

// Reads -v, -c, -t, -r from parsed options; community_default fills -c.
std::optional<std::string> ReadAgentOptions(const ParsedArgs& args, const std::wstring& community_default,
                                            AgentOptions* out);
// "HOST" or "HOST:PORT"; resolves names to IPv4.
std::optional<std::string> ParseHost(const std::string& text, AgentOptions* out);
// "1" -> 0, "2c" -> 1.
std::optional<uint32_t> ParseVersion(const std::string& text);
// Whole decimal number in [min, max].
std::optional<uint64_t> ParseNumber(const std::string& text, uint64_t min, uint64_t max);
// Seconds with decimals ("0.5") to milliseconds, at least 1 ms, at most a day.
std::optional<uint32_t> ParseSeconds(const std::string& text);
// Logging features for -d: "all", a mask ("0x800000", "8388608") or
// comma-separated names ("Program SNMP Frame (In),snmpframeout"), matched
// without case, spaces or punctuation.
std::optional<uint32_t> ParseFeatures(const std::string& text);

}  // namespace cli
