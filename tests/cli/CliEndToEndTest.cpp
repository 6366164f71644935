// The built tavelo program against real Net-SNMP peers on loopback.
#include "cli/CliOutput.h"
#include "oidatlas/OidAtlas.h"
#include "tests/cli/TaveloRunner.h"
#include "tests/common/ScriptedAgent.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>

namespace {

// The OIDs of "OID = Type: value" lines.
std::vector<std::string> Oids(const std::string& output) {
  std::vector<std::string> oids;
  for (const auto& line : Lines(output)) oids.push_back(line.substr(0, line.find(" = ")));
  return oids;
}

// Octets in upper-case hexadecimal without separators.
std::string Hex(const std::string& octets) {
  std::string out;
  for (unsigned char ch : octets) {
    out += "0123456789ABCDEF"[ch >> 4];
    out += "0123456789ABCDEF"[ch & 15];
  }
  return out;
}

// One variable line, ours ("OID = Type: value") or Net-SNMP's (".OID =
// TYPE: value" with -On): the OID, the kind of value, and the value in a
// form both print alike (no quotes, hexadecimal digits only, the number of
// ticks). Values that change from one read to the next are left empty.
std::string HexDigits(const std::string& text) {
  std::string out;
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (std::isxdigit(c)) out += static_cast<char>(std::toupper(c));
  }
  return out;
}

struct Variable {
  std::string oid, kind, value;
  bool hex = false;  // Net-SNMP's Hex-STRING: compared by its digits
  bool operator==(const Variable& other) const {
    if (oid != other.oid || kind != other.kind) return false;
    if (hex || other.hex) return HexDigits(value) == HexDigits(other.value);
    return value == other.value;
  }
};

std::ostream& operator<<(std::ostream& out, const Variable& v) {
  return out << v.oid << " [" << v.kind << "] " << v.value;
}

std::string Unquoted(std::string text) {
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') return text.substr(1, text.size() - 2);
  return text;
}

Variable ReadVariable(const std::string& line) {
  static const std::map<std::string, std::string> kKinds = {
      {"octet string", "octets"},   {"string", "octets"},     {"hex-string", "octets"},
      {"object identifier", "oid"}, {"oid", "oid"},           {"timeticks", "ticks"},
      {"integer", "int"},           {"counter32", "counter"}, {"counter64", "counter"},
      {"gauge32", "gauge"},         {"ipaddress", "ip"}};
  Variable v;
  const size_t eq = line.find(" = ");
  v.oid = line.substr(line[0] == '.' ? 1 : 0, eq - (line[0] == '.' ? 1 : 0));
  const std::string rest = eq == std::string::npos ? "" : line.substr(eq + 3);
  if (rest == "\"\"") return {v.oid, "octets", ""};
  const size_t colon = rest.find(": ");
  std::string type = rest.substr(0, colon);
  for (char& ch : type) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  const auto kind = kKinds.find(type);
  v.kind = kind == kKinds.end() ? type : kind->second;
  const std::string value = colon == std::string::npos ? "" : rest.substr(colon + 2);
  v.hex = type == "hex-string";
  if (v.hex) {
    v.value = HexDigits(value);
  } else if (v.kind == "oid") {
    v.value = value[0] == '.' ? value.substr(1) : value;
  } else if (v.kind == "ticks" || v.kind == "counter") {
    v.value.clear();
  } else {
    v.value = Unquoted(value);
  }
  return v;
}

std::vector<Variable> Variables(const std::string& output) {
  std::vector<Variable> out;
  for (const auto& line : Lines(output)) {
    if (line.find(" = ") == std::string::npos || line.find("= No more variables left") != std::string::npos) continue;
    out.push_back(ReadVariable(line));
  }
  return out;
}

class CliAgentTest : public netsnmp::SuiteWithAgent<> {
 protected:
  Tavelo m_tavelo;
};

}  // namespace

TEST(CliUsage, WrongArgumentsExitTwoWithAUsageLine) {
  Tavelo tavelo;
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"frobnicate"},
      {"get"},
      {"get", "127.0.0.1"},
      {"get", "-t", "0", "127.0.0.1", "1.3.6.1"},
      {"get", "127.0.0.1", "1.3.x"},
      {"get", "127.0.0.1", "5.1"},
      {"walk", "127.0.0.1", "1.3", "1.4", "1.5"},
      {"set", "127.0.0.1", "1.3.6.1.2.1.1.4.0"},
      {"traps", "-p", "0"},
      {"traps", "--count", "none"},
      {"walk", "-Cr", "0", "127.0.0.1"},
      {"walk", "-Crx", "127.0.0.1"},
      {"walk", "-Cr", "2147483648", "127.0.0.1"},
      {"walk", "-Cr"},
      {"get", "-Cr", "5", "127.0.0.1", "1.3.6.1"},
  };
  for (const auto& args : cases) {
    const Result r = tavelo.Run(args);
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_NE(r.err.find("usage: tavelo"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.err;
  }
  const Result version = tavelo.Run({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, std::string("tavelo ") + TAVELO_VERSION + "\n");
  const Result help = tavelo.Run({"walk", "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("usage: tavelo walk"), std::string::npos);
}

TEST_F(CliAgentTest, GetAgreesWithSnmpgetAndDebugFeaturesShowTheFrames) {
  const std::vector<std::string> oids = {"1.3.6.1.2.1.1.1.0", "1.3.6.1.2.1.1.2.0", "1.3.6.1.2.1.1.8.0",
                                         "1.3.6.1.2.1.2.1.0"};
  std::vector<std::string> args = {"get", "-On", "-v", "2c", "-d", "snmpframeout,snmpframein", m_agent->Target()};
  args.insert(args.end(), oids.begin(), oids.end());
  const Result r = m_tavelo.Run(args);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("CThreadActionWalkerGet sent data"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("CThreadActionWalkerGet received data"), std::string::npos) << r.err;
  std::vector<std::string> peer_args = {"snmpget", "-On", "-Oe", "-v2c", "-c", "tumbol", m_agent->Target()};
  peer_args.insert(peer_args.end(), oids.begin(), oids.end());
  std::string peer;
  ASSERT_EQ(netsnmp::Run(peer_args, &peer), 0) << peer;
  EXPECT_EQ(Variables(r.out), Variables(peer));

  // An exception value is shown, and the command says it did not get a value.
  const Result missing = m_tavelo.Run({"get", "-On", "-v", "2c", m_agent->Target(), "1.3.6.1.2.1.1.7.0"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, "1.3.6.1.2.1.1.7.0 = No Such Instance: \n");
}

// Every walk lists what snmpwalk lists, values included: GetNext over v1,
// GetBulk of the default or a given count over v2c, or GetNext when asked.
TEST_F(CliAgentTest, WalksListWhatSnmpwalkLists) {
  struct Case {
    std::string version, root;
    std::vector<std::string> mode = {};
    std::string last = {}, beyond = {};  // beyond: the variable past the last OID
  };
  const Case cases[] = {
      {"1", "1.3.6.1.2.1.1"},
      {"1", "1.3.6.1.2.1.2.2.1.2"},
      {"1", ""},
      {"2c", "1.3.6.1.2.1.2"},
      {"2c", "1.3.6.1.2.1.2", {"-Cr", "1"}},
      {"2c", "1.3.6.1.2.1.2", {"-Cr7"}},
      {"2c", "1.3.6.1.2.1.2", {"--getnext"}},
      {"2c", ""},
      {"2c", "", {"-Cr7"}},
      {"2c", "1.3.6.1.2.1.1.9", {}, "1.3.6.1.2.1.2", "1.3.6.1.2.1.2.1.0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("v" + c.version + " walk of '" + c.root + "' " + (c.mode.empty() ? "" : c.mode[0]));
    std::vector<std::string> args = {"walk", "-On", "-v", c.version};
    args.insert(args.end(), c.mode.begin(), c.mode.end());
    args.push_back(m_agent->Target());
    for (const std::string& oid : {c.root, c.last})
      if (!oid.empty()) args.push_back(oid);
    const Result r = m_tavelo.Run(args);
    ASSERT_EQ(r.status, 0) << r.err;
    std::string peer;
    netsnmp::Run(
        {"snmpwalk", "-On", "-Oe", "-v" + c.version, "-c", "tumbol", m_agent->Target(), c.root.empty() ? ".1" : c.root},
        &peer);
    std::vector<Variable> expected = Variables(peer);
    ASSERT_FALSE(expected.empty());
    if (!c.beyond.empty()) {
      netsnmp::Run({"snmpget", "-On", "-Oe", "-v2c", "-c", "tumbol", m_agent->Target(), c.beyond}, &peer);
      expected.push_back(ReadVariable(Lines(peer).at(0)));
    }
    const std::vector<Variable> ours = Variables(r.out);
    auto [a, b] = std::mismatch(ours.begin(), ours.end(), expected.begin(), expected.end());
    EXPECT_TRUE(a == ours.end() && b == expected.end())
        << "first difference at line " << (a - ours.begin()) << ": "
        << (a == ours.end() ? std::string("(end)") : testing::PrintToString(*a)) << " against "
        << (b == expected.end() ? std::string("(end)") : testing::PrintToString(*b));
  }
}

TEST_F(CliAgentTest, AgentErrorsExitOneWithTheErrorOnStderr) {
  // sysDescr is read-only: the agent's error goes to stderr in one line.
  const Result refused = m_tavelo.Run({"set", "-c", "quinsar", m_agent->Target(), "1.3.6.1.2.1.1.1.0", "x"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_TRUE(refused.out.empty());
  EXPECT_NE(refused.err.find("when setting value to OID '1.3.6.1.2.1.1.1.0'"), std::string::npos) << refused.err;

  const Result missing = m_tavelo.Run({"get", m_agent->Target(), "1.3.6.1.2.1.1.99.0"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("NoSuchName"), std::string::npos) << missing.err;
}

// A bound socket gives no ICMP error, only time-outs.
TEST(CliNoAgent, SilentAgentExitsOneAfterItsRetriesAndCtrlCEndsAWaitingWalkAtOnce) {
  TestUdpSocket silent;
  ASSERT_TRUE(silent.Ok());
  const std::string target = silent.Target();
  Tavelo tavelo;
  const Result r = tavelo.Run({"get", "-t", "0.2", "-r", "2", target, "1.3.6.1.2.1.1.1.0"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "tavelo: no answer from " + target + " (Too much timeout)\n");
  EXPECT_EQ(silent.Count(), 3) << "the first try and two retries";

  tavelo.Launch({"walk", "-t", "60", target, "1.3.6.1.2.1.1"});
  ASSERT_EQ(silent.Count(10000), 1) << "the walk sent its first request";
  const auto before = std::chrono::steady_clock::now();
  tavelo.Interrupt();
  const Result walk = tavelo.Wait();
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5));
  EXPECT_EQ(walk.status, 1);
  EXPECT_EQ(walk.err, "tavelo: interrupted\n");
}

TEST(CliTraps, ReceivesWhatSnmptrapSends) {
  Tavelo tavelo;
  const uint16_t port = tavelo.LaunchTraps({"--count", "2"});
  ASSERT_NE(port, 0) << tavelo.Stderr();
  const std::string target = "127.0.0.1:" + std::to_string(port);
  std::string out;
  ASSERT_EQ(netsnmp::Run({"snmptrap", "-v1", "-c", "public", target, ".1.3.6.1.4.1.8072.9", "127.0.0.9", "6", "17",
                          "4242", ".1.3.6.1.2.1.1.5.0", "s", "trap-one"},
                         &out),
            0)
      << out;
  ASSERT_EQ(netsnmp::Run({"snmptrap", "-v2c", "-c", "pub\"lic", target, "777", ".1.3.6.1.6.3.1.1.5.3",
                          ".1.3.6.1.2.1.2.2.1.1.1", "i", "1"},
                         &out),
            0)
      << out;
  const Result r = tavelo.Wait();
  ASSERT_EQ(r.status, 0) << r.err;
  const auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 6u) << r.out;
  EXPECT_TRUE(std::regex_search(lines[0],
                                std::regex(R"( 127\.0\.0\.1:\d+ v1 community="public" agent=127\.0\.0\.9 )"
                                           R"(enterprise=SNMPv2-SMI::enterprises\.8072\.9 generic=enterpriseSpecific )"
                                           R"(specific=17 timestamp=\(4242\) 00:00:42\.420$)")))
      << lines[0];
  EXPECT_EQ(lines[1], "  SNMPv2-MIB::sysName.0 = Octet String: \"trap-one\"");
  EXPECT_TRUE(std::regex_search(lines[2], std::regex(R"( 127\.0\.0\.1:\d+ v2c community="pub\\"lic"$)"))) << lines[2];
  EXPECT_EQ(lines[3], "  DISMAN-EVENT-MIB::sysUpTimeInstance = TimeTicks: (777) 00:00:07.770");
  EXPECT_EQ(lines[4], "  SNMPv2-MIB::snmpTrapOID.0 = Object Identifier: IF-MIB::linkDown");
  EXPECT_EQ(lines[5], "  IF-MIB::ifIndex.1 = Integer: 1");
}

// The receiver runs until Ctrl+C, and then ends cleanly with 0.
TEST(CliTraps, SnmpinformGetsItsAcknowledgementAndCtrlCStopsTheReceiver) {
  Tavelo tavelo;
  const uint16_t port = tavelo.LaunchTraps({"-On"});
  ASSERT_NE(port, 0) << tavelo.Stderr();
  std::string out;
  // Without the Response, snmpinform gives up after its time-out with 1.
  EXPECT_EQ(netsnmp::Run({"snmpinform", "-v2c", "-c", "inf", "-t", "3", "-r", "0", "127.0.0.1:" + std::to_string(port),
                          "555", ".1.3.6.1.6.3.1.1.5.4", ".1.3.6.1.2.1.2.2.1.1.2", "i", "2"},
                         &out),
            0)
      << out;
  EXPECT_TRUE(tavelo.WaitForStdout("1.3.6.1.2.1.2.2.1.1.2 = Integer: 2\n")) << tavelo.Stdout();
  tavelo.Interrupt();
  const Result r = tavelo.Wait();
  ASSERT_EQ(r.status, 0) << r.err;
  const auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 4u) << r.out;
  EXPECT_TRUE(std::regex_search(lines[0], std::regex(R"( 127\.0\.0\.1:\d+ v2c community="inf"$)"))) << lines[0];
  EXPECT_EQ(lines[1], "  1.3.6.1.2.1.1.3.0 = TimeTicks: (555) 00:00:05.550");
  EXPECT_EQ(lines[2], "  1.3.6.1.6.3.1.1.4.1.0 = Object Identifier: 1.3.6.1.6.3.1.1.5.4");
  EXPECT_EQ(lines[3], "  1.3.6.1.2.1.2.2.1.1.2 = Integer: 2");
}

TEST_F(CliAgentTest, TypedTextGoesOutAsItsOctetsAndPrintsBackOnOneLine) {
  struct Case {
    const char* typed;
    const char* shown;
    const char* tsv;
  };
  const Case cases[] = {
      {"caf\xC3\xA9", "\"caf\xC3\xA9\"", "caf\xC3\xA9"},
      {"line one\nline two", "\"line one\\nline two\"", "line one\\nline two"},
      {"name\tvalue\r", "\"name\\tvalue\\r\"", "name\\tvalue\\r"},
  };
  const std::string line = "1.3.6.1.2.1.1.4.0 = Octet String: ";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    const Result set = m_tavelo.Run({"set", "-On", "-c", "quinsar", m_agent->Target(), "1.3.6.1.2.1.1.4.0", c.typed});
    ASSERT_EQ(set.status, 0) << set.err;
    EXPECT_TRUE(set.err.empty()) << "no debug features, nothing on stderr: " << set.err;
    EXPECT_EQ(set.out, line + c.shown + "\n");
    // What the agent holds, as snmpget -Ox shows it: the typed octets.
    std::string hex =
        netsnmp::Output({"snmpget", "-v2c", "-c", "tumbol", "-Oqv", "-Ox", m_agent->Target(), "1.3.6.1.2.1.1.4.0"});
    std::erase_if(hex, [](char ch) { return std::isspace(static_cast<unsigned char>(ch)) || ch == '"'; });
    EXPECT_EQ(hex, Hex(c.typed));
    EXPECT_EQ(m_tavelo.Run({"get", "-On", m_agent->Target(), "1.3.6.1.2.1.1.4.0"}).out, line + c.shown + "\n");
    const Result walk = m_tavelo.Run({"walk", "--tsv", m_agent->Target(), "1.3.6.1.2.1.1.4"});
    EXPECT_EQ(walk.out, std::string("1.3.6.1.2.1.1.4.0\tOctet String\t") + c.tsv + "\n");
  }
}

TEST(CliMisbehavingAgent, OctetsThatAreNotTextPrintAsHexadecimalUnlikeTheirLookAlikeText) {
  const std::pair<std::string, std::string> cases[] = {
      {std::string("\xFF\xFE\x00\x01\x41", 5), "ff:fe:00:01:41"},
      {"red\x1B[31m", "72:65:64:1b:5b:33:31:6d"},  // a terminal escape
      {"tab\there \xE2\x82\xAC", "\"tab\\there \xE2\x82\xAC\""},
      {"00:ff:80", "\"00:ff:80\""},
      {std::string("\x00\xFF\x80", 3), "00:ff:80"},
  };
  for (const auto& [octets, shown] : cases) {
    SCOPED_TRACE(shown);
    const berbytes::Bytes value = berbytes::Tlv(0x04, berbytes::Bytes(octets.begin(), octets.end()));
    scripted::Agent agent([&](const scripted::Request& r) {
      return std::vector<berbytes::Bytes>{scripted::Reply{r.oid, value}.To(r)};
    });
    Tavelo tavelo;
    const Result r = tavelo.Run({"get", "-On", agent.Target(), "1.3.6.1.2.1.1.4.0"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1.3.6.1.2.1.1.4.0 = Octet String: " + shown + "\n");
  }
}

TEST(CliMisbehavingAgent, AWalkThatEndsEarlyPrintsWhatItGotThenOneErrorLine) {
  const std::map<scripted::Arcs, berbytes::Bytes> table = {
      {{1, 3, 6, 1, 2, 1, 1, 1, 0}, berbytes::Text("box")},
      {{1, 3, 6, 1, 2, 1, 1, 2, 0}, berbytes::Text("two")},
      {{1, 3, 6, 1, 2, 1, 1, 3, 0}, berbytes::Text("three")},
  };
  struct Case {
    int third;  // the answer to request 3: none (-1), genErr (5), or sysDescr.0 again (0)
    std::string error;
  };
  const Case cases[] = {
      {-1, "tavelo: the walk of 127.0.0.1:PORT ended after 2 variables: no answer (Too much timeout)\n"},
      {5, "tavelo: The walk ends on error status GenErr at OID 1.3.6.1.2.1.1.2.0\n"},
      {0,
       "tavelo: OID not increasing: the agent answered 1.3.6.1.2.1.1.1.0 to a GetNext of 1.3.6.1.2.1.1.2.0, the walk "
       "ends\n"},
  };
  // Each request asks for one variable: GetNext, or GetBulk of one; then
  // GetBulk of the default count answered with the whole table but going
  // back at its third variable.
  const std::vector<std::vector<std::string>> modes = {{"--getnext"}, {"-Cr", "1"}, {}};
  for (const auto& mode : modes) {
    for (const Case& c : cases) {
      const bool whole = mode.empty();
      if (whole && c.third != 0) continue;
      SCOPED_TRACE(testing::Message() << c.third << " " << (whole ? "GetBulk" : mode[0]));
      scripted::Agent agent([&](const scripted::Request& r) -> std::vector<berbytes::Bytes> {
        if (whole) {
          return {scripted::BulkReply(r, {{{1, 3, 6, 1, 2, 1, 1, 1, 0}, berbytes::Text("box")},
                                          {{1, 3, 6, 1, 2, 1, 1, 2, 0}, berbytes::Text("two")},
                                          {{1, 3, 6, 1, 2, 1, 1, 1, 0}, berbytes::Text("box")}})};
        }
        if (r.number < 3) return {scripted::TableAnswer(table, r)};
        if (c.third < 0) return {};
        if (c.third > 0) return {scripted::Reply{r.oid, berbytes::kNull, c.third, 1}.To(r)};
        return {scripted::Reply{{1, 3, 6, 1, 2, 1, 1, 1, 0}, berbytes::Text("box")}.To(r)};
      });
      Tavelo tavelo;
      std::vector<std::string> args = {"walk", "-On", "-v", "2c", "-t", "0.2", "-r", "1"};
      args.insert(args.end(), mode.begin(), mode.end());
      args.insert(args.end(), {agent.Target(), "1.3.6.1.2.1.1"});
      const Result r = tavelo.Run(args);
      EXPECT_EQ(r.status, 1);
      EXPECT_EQ(r.out, "1.3.6.1.2.1.1.1.0 = Octet String: \"box\"\n1.3.6.1.2.1.1.2.0 = Octet String: \"two\"\n");
      std::string error = c.error;
      if (const size_t at = error.find("PORT"); at != std::string::npos)
        error.replace(at, 4, std::to_string(agent.Port()));
      EXPECT_EQ(r.err, error);
      for (const auto& request : agent.Seen()) {
        EXPECT_EQ(request.pdu, mode.empty() || mode[0] == "-Cr" ? 0xA5 : 0xA1);
        if (request.pdu == 0xA5) {
          EXPECT_EQ(request.max_repetitions, whole ? 25 : 1);
        }
      }
    }
  }
}

namespace {

// A folder of links to the IETF and IANA modules of the MIB collection, for
// Net-SNMP's -M; empty when the collection is missing.
std::string IetfMibFolder(const std::string& home) {
  const std::filesystem::path mibs = TAVELO_MIBS_DIR;
  std::ifstream list(mibs / "IETF-MODULES.txt");
  if (!list) return "";
  const std::filesystem::path folder = std::filesystem::path(home) / "ietf-mibs";
  std::filesystem::create_directories(folder);
  for (std::string name; std::getline(list, name);) {
    if (name.empty() || name[0] == '#') continue;
    std::error_code ec;
    std::filesystem::create_symlink(mibs / (name + ".mib"), folder / (name + ".mib"), ec);
  }
  return folder.string();
}

// The names of snmpwalk's lines. Two IETF modules define sysUpTimeInstance
// alike: Net-SNMP names the last it reads, the name table the first listed.
std::vector<std::string> PeerNames(const std::string& output) {
  std::vector<std::string> names;
  for (const auto& line : Lines(output)) {
    if (line.find(" = ") == std::string::npos) continue;
    std::string name = line.substr(0, line.find(" = "));
    if (name == "DISMAN-EXPRESSION-MIB::sysUpTimeInstance") name = "DISMAN-EVENT-MIB::sysUpTimeInstance";
    names.push_back(name);
  }
  return names;
}

}  // namespace

TEST_F(CliAgentTest, DefaultOutputNamesVariablesAsSnmpwalkWithTheIetfModules) {
  const std::string ietf = IetfMibFolder(m_tavelo.Dir());
  if (ietf.empty()) GTEST_SKIP() << "no MIB collection at " << TAVELO_MIBS_DIR;
  for (const char* style : {"", "-Os"}) {
    for (const char* group : {"1.3.6.1.2.1.1", "1.3.6.1.2.1.2"}) {
      SCOPED_TRACE(std::string(group) + " " + style);
      std::vector<std::string> args = {"walk", "-v", "2c", m_agent->Target(), group};
      if (*style != 0) args.insert(args.begin() + 1, style);
      const Result r = m_tavelo.Run(args);
      ASSERT_EQ(r.status, 0) << r.err;
      std::vector<std::string> peer_args = {"snmpwalk", "-M", ietf, "-m", "ALL", "-v2c", "-c", "tumbol"};
      if (*style != 0) peer_args.push_back(style);
      peer_args.insert(peer_args.end(), {m_agent->Target(), group});
      std::string peer;
      ASSERT_EQ(netsnmp::Run(peer_args, &peer), 0) << peer;
      const auto expected = PeerNames(peer);
      ASSERT_GT(expected.size(), 5u);
      EXPECT_EQ(Oids(r.out), expected);
    }
  }
  // A get names its variables the same way; OID values are named too.
  const Result get = m_tavelo.Run({"get", m_agent->Target(), "1.3.6.1.2.1.1.5.0", "1.3.6.1.2.1.2.2.1.1.1"});
  ASSERT_EQ(get.status, 0) << get.err;
  EXPECT_EQ(Oids(get.out), (std::vector<std::string>{"SNMPv2-MIB::sysName.0", "IF-MIB::ifIndex.1"}));
  const Result oid_value = m_tavelo.Run({"get", "-Os", m_agent->Target(), "1.3.6.1.2.1.1.9.1.2.1"});
  EXPECT_EQ(oid_value.out.rfind("sysORID.1 = Object Identifier: ", 0), 0u) << oid_value.out;
  EXPECT_EQ(oid_value.out.find(" 1.3.6"), std::string::npos) << "the value is named: " << oid_value.out;
  const Result tsv = m_tavelo.Run({"get", "--tsv", m_agent->Target(), "sysName.0"});
  EXPECT_EQ(tsv.out.rfind("1.3.6.1.2.1.1.5.0\tOctet String\t", 0), 0u) << "--tsv keeps dotted OIDs: " << tsv.out;
}

TEST_F(CliAgentTest, NamesAreAcceptedWhereverAnOidIs) {
  struct Case {
    std::vector<std::string> named, dotted;  // the same command with names and with dotted OIDs
  };
  const std::string t = m_agent->Target();
  const Case cases[] = {
      {{"get", t, "sysDescr.0", "SNMPv2-MIB::sysUpTime.0", "ifDescr.1"},
       {"get", t, "1.3.6.1.2.1.1.1.0", "1.3.6.1.2.1.1.3.0", "1.3.6.1.2.1.2.2.1.2.1"}},
      {{"walk", t, "ifTable"}, {"walk", t, "1.3.6.1.2.1.2.2"}},
      {{"walk", t, "IF-MIB::ifDescr"}, {"walk", t, "1.3.6.1.2.1.2.2.1.2"}},
      {{"walk", t, "sysDescr", "sysLocation"}, {"walk", t, "1.3.6.1.2.1.1.1", "1.3.6.1.2.1.1.6"}},
      {{"set", "-c", "quinsar", t, "sysContact.0", "named"}, {"set", "-c", "quinsar", t, "1.3.6.1.2.1.1.4.0", "named"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.named[0] + " " + c.named.back());
    auto named = c.named, dotted = c.dotted;
    named.insert(named.begin() + 1, "-On");
    dotted.insert(dotted.begin() + 1, "-On");
    const Result a = m_tavelo.Run(named);
    const Result b = m_tavelo.Run(dotted);
    ASSERT_EQ(a.status, 0) << a.err;
    EXPECT_FALSE(a.out.empty());
    EXPECT_EQ(Oids(a.out), Oids(b.out));
  }
  const std::pair<std::vector<std::string>, std::string> refused[] = {
      {{"get", t, "noSuchName.0"}, "tavelo get: unknown name noSuchName\n"},
      {{"walk", t, "system"}, "tavelo walk: system is ambiguous: "},
      {{"set", t, "sysContact.x", "v"}, "tavelo set: bad OID sysContact.x\n"},
      {{"walk", t, "1.3", "noSuchName"}, "tavelo walk: unknown name noSuchName\n"},
  };
  for (const auto& [args, error] : refused) {
    const Result r = m_tavelo.Run(args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.rfind(error, 0), 0u) << r.err;
  }
}

TEST(CliTranslate, NamesOidsAndGivesTheOidsOfNames) {
  Tavelo tavelo;
  // What the name database knows, as the library gives it, and the module a
  // user would open.
  const std::vector<std::string> oids = {"1.3.6.1.2.1.2.2.1.2.3", "1.3.6.1.4.1.99999.1", "1.3.6.1", "1.3.6.1.4.1",
                                         "1.3.6.1.2.1.1.1"};
  std::vector<std::string> args = {"translate", "--tsv", "." + oids[0]};
  args.insert(args.end(), oids.begin() + 1, oids.end());
  const Result known = tavelo.Run(args);
  ASSERT_EQ(known.status, 0) << known.err;
  std::string expected;
  for (const std::string& oid : oids) {
    const std::u16string key(oid.begin(), oid.end());
    const std::u16string name = OidAtlas_Translate(key.c_str());
    const std::u16string module = OidAtlas_MibModule(key.c_str());
    expected += oid + "\t" + std::string(name.begin(), name.end()) + "\t" + std::string(module.begin(), module.end()) +
                "\t" + std::to_string(OidAtlas_MibLine(key.c_str())) + "\n";
  }
  EXPECT_EQ(known.out, expected);
  const std::vector<std::string> opened = {"ifDescr.3\tIF-MIB", "", "internet\tSNMPv2-SMI", "enterprises\tSNMPv2-SMI",
                                           "sysDescr\tSNMPv2-MIB"};
  for (size_t i = 0; i < oids.size(); ++i)
    EXPECT_EQ(Lines(known.out).at(i).rfind(oids[i] + "\t" + opened[i], 0), 0u) << known.out;

  const Result unknown = tavelo.Run({"translate", "1.3.6.1.2.1.1.5.0", "3.1"});
  EXPECT_EQ(unknown.status, 1);
  EXPECT_EQ(Lines(unknown.out).size(), 1u);
  EXPECT_EQ(unknown.err, "tavelo: 3.1: no known name\n");
  const std::pair<const char*, const char*> refused[] = {
      {"1..3", "'1..3' is not an OID\n"},
      {"-1", "'-1' is not an OID\n"},
      {"1.3.18446744073709551616", "'1.3.18446744073709551616' is not an OID\n"},
      {"1.3.", "'1.3.' is not an OID\n"},
      {"noSuchName.0", "unknown name noSuchName\n"},
      {"system", "system is ambiguous: "},
      {"sysDescr.0.", "bad OID sysDescr.0.\n"},
  };
  for (const auto& [bad, error] : refused) {
    const Result r = tavelo.Run({"translate", "1.3", "--", bad});
    EXPECT_EQ(r.status, 2) << bad;
    EXPECT_TRUE(r.out.empty()) << bad;
    EXPECT_EQ(r.err.rfind("tavelo translate: " + std::string(error), 0), 0u) << r.err;
  }
  // Names give their OIDs, as snmptranslate -On gives them with the IETF modules.
  const std::vector<std::string> names = {"sysDescr.0", "IF-MIB::ifDescr", "ifTable", "enterprises.8072.1"};
  args = {"translate"};
  args.insert(args.end(), names.begin(), names.end());
  const Result r = tavelo.Run(args);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Lines(r.out), (std::vector<std::string>{"1.3.6.1.2.1.1.1.0", "1.3.6.1.2.1.2.2.1.2", "1.3.6.1.2.1.2.2",
                                                    "1.3.6.1.4.1.8072.1"}));
  const std::string ietf = IetfMibFolder(tavelo.Dir());
  if (ietf.empty()) return;
  std::vector<std::string> peer_args = {"snmptranslate", "-M", ietf, "-m", "ALL", "-IR", "-On"};
  peer_args.insert(peer_args.end(), names.begin(), names.end());
  std::string peer, peer_err;
  ASSERT_EQ(netsnmp::Run(peer_args, &peer, &peer_err), 0) << peer_err;
  std::vector<std::string> dotted, theirs;
  for (const std::string& line : Lines(r.out)) dotted.push_back("." + line);
  for (const std::string& line : Lines(peer))
    if (!line.empty()) theirs.push_back(line);  // snmptranslate puts a blank line between answers
  EXPECT_EQ(theirs, dotted);
}

TEST(CliErrors, EachNamesItsCauseInOneLine) {
  // A reply that does not decode.
  scripted::Agent garbage([](const scripted::Request&) {
    return std::vector<berbytes::Bytes>{berbytes::Bytes{0x30, 0x03, 0x02, 0x01}};
  });
  Tavelo tavelo;
  const Result undecodable = tavelo.Run({"get", "-t", "0.2", "-r", "0", garbage.Target(), "sysDescr.0"});
  EXPECT_EQ(undecodable.status, 1);
  EXPECT_EQ(undecodable.err, "tavelo: the reply from " + garbage.Target() + " does not decode as an SNMP response\n");

  // A module named by its name that no MIB folder holds.
  const Result missing = tavelo.Run({"mib", "load", "-M", tavelo.Dir(), "NO-SUCH-MIB"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err.rfind("tavelo: no module NO-SUCH-MIB in the MIB folders (" + tavelo.Dir(), 0), 0u)
      << missing.err;
  EXPECT_EQ(Lines(missing.err).size(), 1u) << missing.err;

  // Objects left without an OID are listed; the others still print.
  const std::string mib = tavelo.Dir() + "/HALF-MIB.mib";
  std::ofstream(mib) << "HALF-MIB DEFINITIONS ::= BEGIN\n"
                        "IMPORTS enterprises FROM RFC1155-SMI;\n"
                        "halfRoot OBJECT IDENTIFIER ::= { enterprises 99991 }\n"
                        "halfLost OBJECT IDENTIFIER ::= { nowhereNode 2 }\n"
                        "END\n";
  const Result half = tavelo.Run({"mib", "load", "-M", TAVELO_MIBS_DIR, mib});
  EXPECT_EQ(half.status, 1) << half.out;
  EXPECT_NE(half.out.find("1.3.6.1.4.1.99991 = halfRoot (HALF-MIB)"), std::string::npos) << half.out;
  EXPECT_EQ(half.err, "tavelo: no OID could be resolved for halfLost (HALF-MIB)\n");

  // A settings file that cannot be used is set aside, said once.
  const std::string settings = tavelo.Dir() + "/config/tavelo/settings.reg";
  std::filesystem::create_directories(tavelo.Dir() + "/config/tavelo");
  std::ofstream(settings) << "this is not a settings file\n";
  const Result first = tavelo.Run({"translate", "1.3.6.1"});
  EXPECT_EQ(first.status, 0);
  EXPECT_EQ(Lines(first.err).size(), 1u) << first.err;
  EXPECT_NE(first.err.find("it is kept as " + settings + ".bad"), std::string::npos) << first.err;
  EXPECT_TRUE(std::filesystem::exists(settings + ".bad"));
  EXPECT_EQ(tavelo.Run({"translate", "1.3.6.1"}).err, "") << "said once";
}
