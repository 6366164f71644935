// tavelo sim new|add|import|show, tavelo simulate and tavelo demo: simulator
// files and the agent engine.
#include "app/Folders.h"
#include "app/Settings.h"
#include "asn1/Asn1Length.h"
#include "asn1/Asn1Type.h"
#include "asn1/BerDecoder.h"
#include "asn1/IpAddress.h"
#include "cli/Cli.h"
#include "cli/CliNames.h"
#include "cli/CliOutput.h"
#include "cli/CliSession.h"
#include "cli/Commands.h"
#include "cli/WalkFile.h"
#include "quillog/Quillog.h"
#include "simulator/SimulatorEntry.h"
#include "simulator/SimulatorFile.h"
#include "simulator/SimulatorLibrary.h"
#include "simulator/ThreadActionSimuler.h"
#include "workers/ThreadActionWalker.h"
#include "workers/WalkerResult.h"

#include <filesystem>
#include <fstream>
#include <limits>
#include <netinet/in.h>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>

namespace cli {
namespace {

namespace fs = std::filesystem;

const Command& Cmd(const char* name) { return *FindCommandByName(name); }

std::string Why() {
  const std::string why = LogWatch::LastProblem();
  return why.empty() ? std::string() : " (" + why + ")";
}

// Type names of the type table, or a short form (s i o t c g a C x).
bool TypeFromArgument(const std::string& text, std::wstring* type, bool* hex) {
  static const std::pair<const char*, const wchar_t*> kShort[] = {
      {"s", L"Octet String"}, {"x", L"Octet String"}, {"i", L"Integer"}, {"o", L"Object Identifier"},
      {"t", L"TimeTicks"},    {"c", L"Counter32"},    {"g", L"Gauge32"}, {"a", L"IP Address"},
      {"C", L"Counter64"},    {"u", L"Gauge32"}};
  *hex = text == "x";
  for (const auto& [name, full] : kShort) {
    if (text == name) {
      *type = full;
      return true;
    }
  }
  for (uint8_t code = 1; code != 0; ++code) {
    const std::wstring name = quillog::Utf8ToWide(text);
    if (CarriesValue(code) && CSimulatorEntry::IsAcceptedType(code) && name == GetTypeName(code)) {
      *type = name;
      return true;
    }
  }
  return false;
}

bool UnsignedText(const std::wstring& text, uint64_t max) {
  if (text.empty() || text.size() > 20 || text.find_first_not_of(L"0123456789") != std::wstring::npos) return false;
  try {
    return std::stoull(text) <= max;
  } catch (...) {
    return false;
  }
}

// A clear refusal for a value text the type cannot carry; empty when it fits.
std::string CheckValue(const std::wstring& type, const std::wstring& value) {
  const std::string shown = ShownText(value);
  if (type == L"Integer") {
    const std::wstring digits = (!value.empty() && value[0] == L'-') ? value.substr(1) : value;
    if (!UnsignedText(digits, value[0] == L'-' ? 2147483648ull : 2147483647ull))
      return "'" + shown + "' is not an Integer (-2147483648 to 2147483647)";
  } else if (type == L"Counter32" || type == L"Gauge32" || type == L"TimeTicks") {
    if (!UnsignedText(value, 0xFFFFFFFFull)) return "'" + shown + "' is not a " + Utf8(type) + " (0 to 4294967295)";
  } else if (type == L"Counter64") {
    if (!UnsignedText(value, std::numeric_limits<uint64_t>::max())) return "'" + shown + "' is not a Counter64";
  } else if (type == L"Object Identifier") {
    CAsn1Oid oid;
    if (!ParseOid(shown, &oid)) return "'" + shown + "' is not an OID";
  } else if (type == L"IP Address") {
    if (IpAddress(value) == 0xFFFFFFFFu && value != L"255.255.255.255") return "'" + shown + "' is not an IPv4 address";
  }
  return {};
}

bool HexToOctets(const std::string& text, std::wstring* out) {
  std::string digits;
  for (char c : text)
    if (!std::isspace(static_cast<unsigned char>(c)) && c != ':') digits += c;
  if (digits.size() % 2 != 0 || digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return false;
  for (size_t i = 0; i < digits.size(); i += 2)
    *out += static_cast<wchar_t>(std::stoi(digits.substr(i, 2), nullptr, 16));
  return true;
}

// Reads a simulator file into entry; the error line is printed on failure.
bool LoadSimulator(const std::string& path, CSimulatorEntry* entry) {
  entry->kind = CSimulatorEntry::KindSimulator;
  entry->path = quillog::Utf8ToWide(path);
  entry->name = quillog::Utf8ToWide(fs::path(path).stem().string());
  entry->max_values = ReadSettingDword(SETTING_MAX_SIMULATOR_VALUES);
  if (!fs::is_regular_file(path)) {
    Fail(path + ": no such simulator file");
    return false;
  }
  if (!CSimulatorFile::Load(entry)) {
    Fail(path + ": cannot read the simulator" + Why());
    return false;
  }
  return true;
}

bool SaveSimulator(CSimulatorEntry* entry) {
  if (CSimulatorFile::Save(entry)) return true;
  Fail(Utf8(entry->path) + ": cannot write the simulator" + Why());
  return false;
}

int SimNew(const ParsedArgs& args) {
  if (args.positional.size() != 2) return UsageError(Cmd("sim"), "sim new takes FILE.tav");
  const std::string path = args.positional[1];
  const std::string extension = Utf8(ReadSettingString(SETTING_SIMULATOR_EXTENSION));
  if (fs::path(path).extension() != extension) return UsageError(Cmd("sim"), path + " does not end with " + extension);
  if (fs::exists(path)) return Fail(path + " exists already; nothing was written");

  CSimulatorEntry entry;
  entry.kind = CSimulatorEntry::KindSimulator;
  entry.path = quillog::Utf8ToWide(path);
  entry.name = quillog::Utf8ToWide(fs::path(path).stem().string());
  entry.recv_port = ReadSettingDword(SETTING_DLG_CREATE_SIMULATOR_LAST_RECV_PORT);
  entry.recv_community = ReadSettingString(SETTING_DLG_CREATE_SIMULATOR_LAST_RECV_COMMUNITY);
  entry.recv_version1 = ReadSettingDword(SETTING_DLG_CREATE_SIMULATOR_LAST_RECV_VERSION1) != 0;
  entry.recv_version2c = ReadSettingDword(SETTING_DLG_CREATE_SIMULATOR_LAST_RECV_VERSION2C) != 0;
  entry.send_community = ReadSettingString(SETTING_DLG_CREATE_SIMULATOR_LAST_SEND_COMMUNITY);
  entry.send_port = ReadSettingDword(SETTING_DLG_CREATE_SIMULATOR_LAST_SEND_PORT);
  entry.send_to_last_requester = ReadSettingDword(SETTING_DLG_CREATE_SIMULATOR_LAST_SEND_REMEMBER_IP_ADDRESS) != 0;
  entry.send_address = IpAddress(ReadSettingString(SETTING_DLG_CREATE_SIMULATOR_LAST_SEND_IP_ADDRESS));
  if (args.Has("--port")) {
    const auto port = ParseNumber(args.Get("--port"), 1, 65535);
    if (!port) return UsageError(Cmd("sim"), "bad port " + args.Get("--port") + " (1 to 65535)");
    entry.recv_port = static_cast<uint32_t>(*port);
  }
  if (args.Has("--community")) entry.recv_community = OctetText(args.Get("--community"));
  if (entry.recv_community.empty()) return UsageError(Cmd("sim"), "the community is empty");
  if (args.Has("-v")) {
    const std::string v = args.Get("-v");
    if (v != "1" && v != "2c" && v != "both") return UsageError(Cmd("sim"), "bad version " + v + " (1, 2c or both)");
    entry.recv_version1 = v != "2c";
    entry.recv_version2c = v != "1";
  }
  entry.loaded = true;
  return SaveSimulator(&entry) ? kExitOk : kExitFailed;
}

int SimAdd(const ParsedArgs& args) {
  if (args.positional.size() != 5) return UsageError(Cmd("sim"), "sim add takes FILE.tav OID TYPE VALUE");
  CAsn1Oid oid;
  if (const auto error = ResolveOid(args.positional[2], &oid)) return UsageError(Cmd("sim"), *error);
  if (const std::wstring why = CSimulatorEntry::CheckOidText(oid.GetText()); !why.empty())
    return UsageError(Cmd("sim"), "bad OID " + args.positional[2] + ": " + Utf8(why));
  std::wstring type;
  bool hex = false;
  if (!TypeFromArgument(args.positional[3], &type, &hex))
    return UsageError(Cmd("sim"), "unknown type " + args.positional[3] + " (a type name or s i o t c g a C x)");
  const bool octets = type == L"Octet String" || type == L"Opaque";
  std::wstring value = octets ? OctetText(args.positional[4]) : quillog::Utf8ToWide(args.positional[4]);
  if (hex) {
    value.clear();
    if (!HexToOctets(args.positional[4], &value))
      return UsageError(Cmd("sim"), "bad hexadecimal octets " + args.positional[4]);
  }
  if (type == L"Object Identifier" && IsOidName(args.positional[4])) {
    CAsn1Oid named;
    if (const auto error = ResolveOid(args.positional[4], &named)) return UsageError(Cmd("sim"), *error);
    value = named.GetText();
  }
  if (const std::string bad = CheckValue(type, value); !bad.empty()) return UsageError(Cmd("sim"), bad);

  CSimulatorEntry entry;
  if (!LoadSimulator(args.positional[1], &entry)) return kExitFailed;
  if (!entry.AddValue(oid.GetText(), type, value)) return Fail("value not added" + Why());
  return SaveSimulator(&entry) ? kExitOk : kExitFailed;
}

int SimImport(const ParsedArgs& args) {
  if (args.positional.size() != 3) return UsageError(Cmd("sim"), "sim import takes FILE.tav WALK-FILE");
  if (fs::is_directory(args.positional[2])) return Fail(args.positional[2] + " is a folder, not a walk file");
  std::ifstream in(args.positional[2], std::ios::binary);
  if (!in) return Fail(args.positional[2] + ": cannot read the file");
  std::stringstream text;
  text << in.rdbuf();
  const WalkFile walk = ParseWalkFile(text.str());

  CSimulatorEntry entry;
  if (!LoadSimulator(args.positional[1], &entry)) return kExitFailed;
  for (const std::string& problem : walk.problems)
    std::fprintf(stderr, "tavelo: %s: %s\n", args.positional[2].c_str(), problem.c_str());
  size_t added = 0;
  for (const WalkValue& v : walk.values) {
    if (entry.GetValueCount() >= entry.max_values) {
      std::fprintf(stderr, "tavelo: the simulator holds %u values at most; %zu values were not imported\n",
                   entry.max_values, walk.values.size() - added);
      break;
    }
    const std::string bad = CheckValue(v.type, v.value);
    if (!bad.empty() || !entry.AddValue(v.oid, v.type, v.value)) {
      std::fprintf(stderr, "tavelo: %s: line %zu: %s\n", args.positional[2].c_str(), v.line,
                   bad.empty() ? LogWatch::LastProblem().c_str() : bad.c_str());
      continue;
    }
    ++added;
  }
  if (!SaveSimulator(&entry)) return kExitFailed;
  std::fprintf(stderr, "tavelo: %zu values imported into %s\n", added, args.positional[1].c_str());
  return walk.problems.empty() && added == walk.values.size() ? kExitOk : kExitFailed;
}

// A stored value shown as a manager would see it: octets go through the
// decoder, so binary strings read as hexadecimal as they do on the wire.
std::string ValueLine(const CSimulatorValue& v, bool tsv) {
  CAsn1Object object(v.type);
  std::string octets;
  for (wchar_t c : v.value) octets += static_cast<char>(c <= 0xFF ? c : '?');
  CBerDecoder decoder;
  CAsn1Length length;
  length.SetLength(static_cast<int64_t>(octets.size()));
  const bool decoded = v.type == ASN1_OCTET_STRING && !octets.empty() && octets.size() <= CBerDecoder::GetCapacity() &&
                       decoder.Assign(octets.data(), static_cast<uint32_t>(octets.size())) &&
                       object.GetValue().Build(object.GetType(), length, decoder);
  if (!decoded) {
    object = CAsn1Object(v.type);
    object.GetValue().SetText(v.value);
  }
  return VariableLine(v.oid, object, tsv);
}

int SimShow(const ParsedArgs& args) {
  if (args.positional.size() != 2) return UsageError(Cmd("sim"), "sim show takes FILE.tav");
  CSimulatorEntry entry;
  if (!LoadSimulator(args.positional[1], &entry)) return kExitFailed;
  const bool tsv = args.Has("--tsv");
  if (!tsv) {
    std::printf("# %s: UDP port %u, community %s, %s%s%s\n", Utf8(entry.name).c_str(), entry.recv_port,
                ShownText(entry.recv_community).c_str(), entry.recv_version1 ? "v1" : "",
                entry.recv_version1 && entry.recv_version2c ? " and " : "", entry.recv_version2c ? "v2c" : "");
    if (!entry.description.empty()) std::printf("# %s\n", Utf8(entry.description).c_str());
  }
  auto lock = entry.LockValues();
  for (const CSimulatorValue& v : entry.values) std::fputs(ValueLine(v, tsv).c_str(), stdout);
  return kExitOk;
}

// A .tav path, or the name of a simulator in the simulator folders.
std::string FindSimulator(const std::string& text) {
  if (fs::is_regular_file(text)) return text;
  CSimulatorLibrary library;
  library.BuildLibrary();
  for (CSimulatorEntry* entry : library.GetSimulators())
    if (Utf8(entry->name) == text) return Utf8(entry->path);
  return {};
}

// Serves a simulator until stop() is called or the engine ends. on_started
// runs on the main thread once the engine listens.
struct Served {
  bool started = false;
  bool save_failed = false;
};

Served Serve(CliSession& session, CSimulatorEntry* entry, uint32_t port, const std::string& address,
             const std::function<void()>& on_started) {
  Served served;
  CThreadActionSimuler engine;
  engine.SetLocalAddress(quillog::Utf8ToWide(address));
  CliWindow window(&session.Dispatcher(), [&](uint32_t, uintptr_t code, uintptr_t) -> intptr_t {
    if (code == MSG_VIEW_SIMULATOR_STARTED) {
      served.started = true;
      if (on_started) on_started();
    } else if (code == MSG_VIEW_SIMULATOR_REFRESH) {
      // A Set changed a value: keep the file as the agent now answers.
      if (!CSimulatorFile::Save(entry)) served.save_failed = true;
    } else if (code == MSG_VIEW_SIMULATOR_FINISHED) {
      session.Quit();
    }
    return 0;
  });
  CMessageCenter::Subscribe(L"tavelo", &window, MSG_VIEW_SIMULATOR, 0);
  session.OnInterrupt([&] { engine.Stop(); });
  if (engine.Start(port, entry->recv_version1, entry->recv_version2c, entry->recv_community, entry)) session.Run();
  // The session may end before the engine (the demo's walk is over).
  if (engine.IsRunning()) engine.Stop();
  engine.WaitReleased(10000);
  CMessageCenter::Unsubscribe(&window);
  return served;
}

// A UDP port on 127.0.0.1 that was free a moment ago.
uint32_t FreeLoopbackPort() {
  const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (s < 0) return 0;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  uint32_t port = 0;
  if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
    port = ntohs(a.sin_port);
  ::close(s);
  return port;
}

}  // namespace

int RunSim(const ParsedArgs& args) {
  if (args.positional.empty()) return UsageError(Cmd("sim"), "no sub-command (new, add, import or show)");
  LogWatch watch;
  ErrorLines errors;
  const std::string& sub = args.positional[0];
  if (sub == "new") return SimNew(args);
  if (sub == "add") return SimAdd(args);
  if (sub == "import") return SimImport(args);
  if (sub == "show") return SimShow(args);
  return UsageError(Cmd("sim"), "unknown sub-command " + sub);
}

int RunSimulate(const ParsedArgs& args) {
  if (args.positional.size() != 1) return UsageError(Cmd("simulate"), "simulate takes one SIMULATOR");
  LogWatch watch;
  ErrorLines errors;
  const std::string path = FindSimulator(args.positional[0]);
  if (path.empty()) return Fail(args.positional[0] + ": no such simulator file or name in the simulator folders");
  CSimulatorEntry entry;
  if (!LoadSimulator(path, &entry)) return kExitFailed;
  uint32_t port = entry.recv_port;
  if (args.Has("-p")) {
    const auto p = ParseNumber(args.Get("-p"), 1, 65535);
    if (!p) return UsageError(Cmd("simulate"), "bad port " + args.Get("-p") + " (1 to 65535)");
    port = static_cast<uint32_t>(*p);
  }
  // Every local address by default, or the one given.
  AgentOptions local;
  if (args.Has("-a")) {
    const std::string text = args.Get("-a");
    if (text.find(':') != std::string::npos || ParseHost(text, &local))
      return UsageError(Cmd("simulate"), "bad address " + text + " (an IPv4 address of this machine)");
  }
  const std::string address = args.Has("-a") ? DottedAddress(local.address) : std::string();
  CliSession session;
  const Served served = Serve(session, &entry, port, address, [&] {
    std::fprintf(stderr, "tavelo: simulator %s answers on UDP port %u%s (%zu values); Ctrl-C stops it\n",
                 Utf8(entry.name).c_str(), port, address.empty() ? "" : (" of " + address).c_str(),
                 entry.GetValueCount());
  });
  if (!served.started) {
    const std::string problem = ListenProblem(local.address, port);
    if (!problem.empty()) return Fail(problem);
    return Fail("cannot serve on UDP port " + std::to_string(port) + Why());
  }
  return served.save_failed ? kExitFailed : kExitOk;
}

int RunDemo(const ParsedArgs& args) {
  if (!args.positional.empty()) return UsageError(Cmd("demo"), "demo takes no argument");
  LogWatch watch;
  ErrorLines errors;
  const std::string path = Utf8(JoinPath(OwnDataPath(), L"demo/Demo.tav"));
  CSimulatorEntry entry;
  if (!LoadSimulator(path, &entry)) return kExitFailed;

  size_t shown = 0;
  for (int attempt = 0; attempt < 3; ++attempt) {
    const uint32_t port = FreeLoopbackPort();
    CliSession session;
    CThreadActionWalker walker;
    std::unique_ptr<CliWindow> walker_window;
    const Served served = Serve(session, &entry, port, "127.0.0.1", [&] {
      std::printf("Demo simulator %s answers on 127.0.0.1:%u; walking it with SNMPv2c:\n", Utf8(entry.name).c_str(),
                  port);
      walker_window = std::make_unique<CliWindow>(
          &session.Dispatcher(), [&](uint32_t, uintptr_t code, uintptr_t payload) -> intptr_t {
            if (code == MSG_VIEW_WALKER_DATA) {
              for (const auto& r : walker.TakeRows(payload)) {
                std::fputs(VariableLine(r->GetOid(), r->GetObject(), false).c_str(), stdout);
                ++shown;
              }
            } else if (code == MSG_VIEW_WALKER_FINISHED) {
              session.Dispatcher().Post([&] { session.Quit(); });
            }
            return 0;
          });
      CMessageCenter::Subscribe(L"tavelo demo", walker_window.get(), MSG_VIEW_WALKER, 0);
      CThreadActionWalkerParameter p;
      p.version = 1;
      p.community = entry.recv_community;
      p.address = 0x7F000001;
      p.port = port;
      p.timeout = 1000;
      p.retries = 3;
      if (!walker.Start(p)) session.Quit();
    });
    walker.WaitReleased(10000);
    if (walker_window) CMessageCenter::Unsubscribe(walker_window.get());
    if (served.started) break;
  }
  std::fflush(stdout);
  if (shown == 0) return Fail("the demo walk returned nothing" + Why());
  std::printf("%zu variables; the simulator is stopped.\n", shown);
  return kExitOk;
}

}  // namespace cli
