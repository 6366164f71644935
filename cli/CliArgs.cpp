#include "cli/CliArgs.h"

#include "cli/CliOutput.h"
#include "quillog/Quillog.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <netdb.h>

namespace cli {
namespace {

const OptionSpec* FindSpec(const std::vector<OptionSpec>& specs, const std::string& name) {
  for (const auto& s : specs)
    if (s.name == name) return &s;
  return nullptr;
}

// A one-dash option longer than one letter ("-Cr") that starts the argument.
const OptionSpec* FindLongerShort(const std::vector<OptionSpec>& specs, const std::string& arg) {
  for (const auto& s : specs)
    if (s.name.size() > 2 && s.name[1] != '-' && arg.rfind(s.name, 0) == 0) return &s;
  return nullptr;
}

std::string Squash(const std::string& text) {
  std::string out;
  for (unsigned char c : text)
    if (std::isalnum(c)) out += static_cast<char>(std::tolower(c));
  return out;
}

bool ResolveIpv4(const std::string& host, uint32_t* address) {
  in_addr parsed{};
  if (inet_pton(AF_INET, host.c_str(), &parsed) == 1) {
    *address = ntohl(parsed.s_addr);
    return true;
  }
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* result = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &result) != 0 || result == nullptr) return false;
  *address = ntohl(reinterpret_cast<sockaddr_in*>(result->ai_addr)->sin_addr.s_addr);
  freeaddrinfo(result);
  return true;
}

}  // namespace

std::optional<std::string> ParseArgs(const std::vector<std::string>& args, const std::vector<OptionSpec>& specs,
                                     ParsedArgs* out) {
  bool options_done = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (options_done || a.size() < 2 || a[0] != '-' || (std::isdigit(static_cast<unsigned char>(a[1])) != 0)) {
      out->positional.push_back(a);
      continue;
    }
    if (a == "--") {
      options_done = true;
      continue;
    }
    std::string name = a;
    std::optional<std::string> inline_value;
    if (a.rfind("--", 0) == 0) {
      const size_t eq = a.find('=');
      if (eq != std::string::npos) {
        name = a.substr(0, eq);
        inline_value = a.substr(eq + 1);
      }
    } else if (const OptionSpec* longer = FindLongerShort(specs, a)) {
      // "-Cr7" and "-Cr 7" alike.
      name = longer->name;
      if (a.size() > name.size()) inline_value = a.substr(name.size());
    } else if (a.size() > 2) {
      name = a.substr(0, 2);
      inline_value = a.substr(2);
    }
    const OptionSpec* spec = FindSpec(specs, name);
    if (spec == nullptr) return "unknown option " + a;
    if (!spec->with_value) {
      if (inline_value) return "option " + name + " takes no value";
      out->options[name] = "";
      continue;
    }
    if (inline_value) {
      out->options[name] = *inline_value;
      continue;
    }
    if (i + 1 >= args.size()) return "option " + name + " needs a value";
    out->options[name] = args[++i];
  }
  return std::nullopt;
}

std::optional<uint32_t> ParseVersion(const std::string& text) {
  if (text == "1") return 0u;
  if (text == "2c" || text == "2C") return 1u;
  return std::nullopt;
}

std::optional<uint64_t> ParseNumber(const std::string& text, uint64_t min, uint64_t max) {
  if (text.empty() || text.size() > 20) return std::nullopt;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    const uint64_t digit = static_cast<uint64_t>(c - '0');
    if (value > (UINT64_MAX - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  if (value < min || value > max) return std::nullopt;
  return value;
}

std::optional<uint32_t> ParseSeconds(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  const double seconds = std::strtod(text.c_str(), &end);
  if (end == nullptr || *end != 0 || !std::isfinite(seconds) || seconds <= 0 || seconds > 86400) return std::nullopt;
  const double ms = std::ceil(seconds * 1000.0);
  return static_cast<uint32_t>(std::max(1.0, ms));
}

std::optional<std::string> ParseHost(const std::string& text, AgentOptions* out) {
  std::string host = text;
  const size_t colon = text.rfind(':');
  if (colon != std::string::npos) {
    host = text.substr(0, colon);
    const auto port = ParseNumber(text.substr(colon + 1), 1, 65535);
    if (!port) return "bad port in " + text + " (1 to 65535)";
    out->port = static_cast<uint32_t>(*port);
  }
  if (host.empty()) return "missing host name in " + text;
  if (!ResolveIpv4(host, &out->address)) return "unknown host " + host;
  out->host = host;
  return std::nullopt;
}

std::optional<std::string> ReadAgentOptions(const ParsedArgs& args, const std::wstring& community_default,
                                            AgentOptions* out) {
  if (args.Has("-v")) {
    const auto v = ParseVersion(args.Get("-v"));
    if (!v) return "bad version " + args.Get("-v") + " (1 or 2c)";
    out->version = *v;
  }
  out->community = args.Has("-c") ? OctetText(args.Get("-c")) : community_default;
  if (out->community.empty()) return "the community is empty";
  if (args.Has("-t")) {
    const auto t = ParseSeconds(args.Get("-t"));
    if (!t) return "bad time-out " + args.Get("-t") + " (seconds, more than 0)";
    out->timeout_ms = *t;
  }
  if (args.Has("-r")) {
    const auto r = ParseNumber(args.Get("-r"), 0, 100);
    if (!r) return "bad retries " + args.Get("-r") + " (0 to 100)";
    out->retries = static_cast<uint32_t>(*r);
  }
  return std::nullopt;
}

std::optional<uint32_t> ParseFeatures(const std::string& text) {
  if (text == "all") return 0xFFFFFFFFu;
  if (text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0) {
    if (text.size() < 3 || text.size() > 10) return std::nullopt;
    char* end = nullptr;
    const unsigned long v = std::strtoul(text.c_str() + 2, &end, 16);
    if (end == nullptr || *end != 0) return std::nullopt;
    return static_cast<uint32_t>(v);
  }
  if (const auto n = ParseNumber(text, 0, 0xFFFFFFFFu)) return static_cast<uint32_t>(*n);

  size_t count = 0;
  const QuillogFeatureName* names = QuillogFeatureNames(&count);
  uint32_t mask = 0;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t comma = std::min(text.find(',', start), text.size());
    const std::string wanted = Squash(text.substr(start, comma - start));
    bool found = false;
    for (size_t i = 0; i < count && !wanted.empty(); ++i) {
      const std::string name = Squash(quillog::WideToUtf8(names[i].name));
      // "snmpframein" also matches "Program SNMP Frame (In)"
      if (name == wanted || name == "program" + wanted || name == "lib" + wanted) {
        mask |= names[i].bit;
        found = true;
      }
    }
    if (!found) return std::nullopt;
    start = comma + 1;
  }
  return mask;
}

}  // namespace cli
