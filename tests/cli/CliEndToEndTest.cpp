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
#include <iterator>
#include <map>
#include <regex>
#include <sstream>

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

std::string HexDigits(const std::string& text) {
  std::string out;
  for (char ch : text)
    if (std::isxdigit(static_cast<unsigned char>(ch))) out += static_cast<char>(std::toupper(ch));
  return out;
}

// Our variable line or Net-SNMP's (-On -Oe) as "OID [kind] value"; ticks
// and counters change between reads and are left out.
std::string Normal(const std::string& line) {
  static const std::map<std::string, std::string> kKinds = {
      {"octet string", "octets"},   {"string", "octets"},     {"hex-string", "octets"},
      {"object identifier", "oid"}, {"oid", "oid"},           {"timeticks", "ticks"},
      {"integer", "int"},           {"counter32", "counter"}, {"counter64", "counter"},
      {"gauge32", "gauge"},         {"ipaddress", "ip"},      {"ip address", "ip"}};
  const size_t skip = line[0] == '.' ? 1 : 0;
  const size_t eq = line.find(" = ");
  std::string rest = line.substr(eq + 3);
  if (rest == "\"\"") rest = "STRING: \"\"";
  const size_t colon = rest.find(": ");
  std::string type = rest.substr(0, colon);
  for (char& ch : type) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  std::string value = colon == std::string::npos ? "" : rest.substr(colon + 2);
  const std::string kind = kKinds.count(type) != 0 ? kKinds.at(type) : type;
  if (kind == "ticks" || kind == "counter") value.clear();
  if (kind == "oid" && value[0] == '.') value.erase(0, 1);
  if (kind == "octets") value = value[0] == '"' ? value.substr(1, value.size() - 2) : HexDigits(value);
  return line.substr(skip, eq - skip) + " [" + kind + "] " + value;
}

std::vector<std::string> Variables(const std::string& output) {
  std::vector<std::string> out;
  for (const auto& line : Lines(output)) {
    if (line.find(" = ") == std::string::npos || line.find("= No more variables left") != std::string::npos) continue;
    out.push_back(Normal(line));
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
  // Missing and extra arguments, an unknown command or option, a bad OID, the limits of -p and -Cr.
  for (const char* line :
       {"", "frobnicate", "get 127.0.0.1", "get 127.0.0.1 5.1", "walk 127.0.0.1 1.3 1.4 1.5", "traps -p 0",
        "walk -Cr 0 127.0.0.1", "walk -Cr 2147483648 127.0.0.1", "get -Cr 5 127.0.0.1 1.3.6.1"}) {
    std::istringstream words(line);
    const Result r = tavelo.Run({std::istream_iterator<std::string>(words), {}});
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_NE(r.err.find("usage: tavelo"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.err;
  }
  const Result version = tavelo.Run({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, std::string("tavelo ") + TAVELO_VERSION + "\n");
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

// GetNext over v1, GetBulk over v2c or GetNext when asked; with a last OID
// the variable past it is shown too.
TEST_F(CliAgentTest, WalksListWhatSnmpwalkLists) {
  struct Case {
    std::string version, root;
    std::vector<std::string> mode = {};
    std::string last = {}, beyond = {};
  };
  const Case cases[] = {
      {"1", ""},
      {"2c", "1.3.6.1.2.1.2"},
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
    const std::string root = c.root.empty() ? ".1" : c.root;
    std::string peer =
        netsnmp::Output({"snmpwalk", "-On", "-Oe", "-v" + c.version, "-c", "tumbol", m_agent->Target(), root});
    if (!c.beyond.empty())
      peer += netsnmp::Output({"snmpget", "-On", "-Oe", "-v2c", "-c", "tumbol", m_agent->Target(), c.beyond});
    const std::vector<std::string> expected = Variables(peer);
    ASSERT_GT(expected.size(), 5u);
    EXPECT_EQ(Variables(r.out), expected);
  }
}

// sysDescr is read-only: the agent's error goes to stderr in one line.
TEST_F(CliAgentTest, ARefusedSetExitsOneWithTheErrorOnStderr) {
  const Result refused = m_tavelo.Run({"set", "-c", "quinsar", m_agent->Target(), "1.3.6.1.2.1.1.1.0", "x"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_TRUE(refused.out.empty());
  EXPECT_NE(refused.err.find("when setting value to OID '1.3.6.1.2.1.1.1.0'"), std::string::npos) << refused.err;
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
// v1 and v2c traps and an acknowledged inform end a receiver counting 3;
// Ctrl+C ends one without a count, with 0.
TEST(CliTraps, ReceivesWhatSnmptrapAndSnmpinformSend) {
  Tavelo tavelo;
  const uint16_t port = tavelo.LaunchTraps({"--count", "3"});
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
  // Without the Response, snmpinform gives up after its time-out with 1.
  EXPECT_EQ(netsnmp::Run({"snmpinform", "-v2c", "-c", "inf", "-t", "3", "-r", "0", target, "555",
                          ".1.3.6.1.6.3.1.1.5.4", ".1.3.6.1.2.1.2.2.1.1.2", "i", "2"},
                         &out),
            0)
      << out;
  const Result r = tavelo.Wait();
  ASSERT_EQ(r.status, 0) << r.err;
  const auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 10u) << r.out;
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
  EXPECT_TRUE(std::regex_search(lines[6], std::regex(R"( v2c community="inf"$)"))) << lines[6];
  EXPECT_EQ(lines[9], "  IF-MIB::ifIndex.2 = Integer: 2");

  ASSERT_NE(tavelo.LaunchTraps({}), 0) << tavelo.Stderr();
  tavelo.Interrupt();
  EXPECT_EQ(tavelo.Wait().status, 0);
}

TEST_F(CliAgentTest, TypedTextGoesOutAsItsOctetsAndPrintsBackOnOneLine) {
  struct Case {
    const char* typed;
    const char* shown;
    const char* tsv;
  };
  // The last value stays on the shared agent: keep it on one line.
  const Case cases[] = {
      {"one\ntwo\tthree\r", "\"one\\ntwo\\tthree\\r\"", "one\\ntwo\\tthree\\r"},
      {"caf\xC3\xA9 \xF0\x9F\x98\x80", "\"caf\xC3\xA9 \xF0\x9F\x98\x80\"", "caf\xC3\xA9 \xF0\x9F\x98\x80"},
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

TEST(CliMisbehavingAgent, OctetsPrintAsHexadecimalUnlikeTheirLookAlikeText) {
  const std::pair<std::string, std::string> cases[] = {
      {"00:ff:80", "\"00:ff:80\""},
      {std::string("\x00\xFF\x80", 3), "00:ff:80"},
  };
  for (const auto& [octets, shown] : cases) {
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

// The third request gets no answer, or genErr.
TEST(CliMisbehavingAgent, AWalkThatEndsEarlyPrintsWhatItGotThenOneErrorLine) {
  const std::map<scripted::Arcs, berbytes::Bytes> table = {
      {{1, 3, 6, 1, 2, 1, 1, 1, 0}, berbytes::Text("box")},
      {{1, 3, 6, 1, 2, 1, 1, 2, 0}, berbytes::Text("two")},
  };
  struct Case {
    bool getnext;
    int third;
    std::string expected;
  };
  const Case cases[] = {
      {true, -1, "tavelo: the walk of 127.0.0.1:PORT ended after 2 variables: no answer (Too much timeout)\n"},
      {false, 5, "tavelo: The walk ends on error status GenErr at OID 1.3.6.1.2.1.1.2.0\n"},
  };
  for (const auto& [getnext, third, expected] : cases) {
    SCOPED_TRACE(getnext ? "GetNext" : "GetBulk");
    scripted::Agent agent([&](const scripted::Request& r) -> std::vector<berbytes::Bytes> {
      if (r.number < 3) return {scripted::TableAnswer(table, r)};
      if (third < 0) return {};
      return {scripted::Reply{r.oid, berbytes::kNull, third, 1}.To(r)};
    });
    Tavelo tavelo;
    const Result r = tavelo.Run({"walk", "-On", "-v", "2c", "-t", "0.2", "-r", "1", getnext ? "--getnext" : "-Cr1",
                                 agent.Target(), "1.3.6.1.2.1.1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "1.3.6.1.2.1.1.1.0 = Octet String: \"box\"\n1.3.6.1.2.1.1.2.0 = Octet String: \"two\"\n");
    std::string error = expected;
    if (const size_t at = error.find("PORT"); at != std::string::npos)
      error.replace(at, 4, std::to_string(agent.Port()));
    EXPECT_EQ(r.err, error);
    for (const auto& request : agent.Seen()) {
      EXPECT_EQ(request.pdu, getnext ? 0xA1 : 0xA5);
      EXPECT_EQ(request.max_repetitions, getnext ? 0 : 1);  // a GetNext has its error status there
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

}  // namespace

// Two IETF modules define sysUpTimeInstance alike: Net-SNMP names the last
// it reads, the name table the first listed.
TEST_F(CliAgentTest, DefaultOutputNamesVariablesAsSnmpwalkWithTheIetfModules) {
  const std::string ietf = IetfMibFolder(m_tavelo.Dir());
  if (ietf.empty()) GTEST_SKIP() << "no MIB collection at " << TAVELO_MIBS_DIR;
  for (const char* group : {"1.3.6.1.2.1.1", "1.3.6.1.2.1.2"}) {
    SCOPED_TRACE(group);
    const Result r = m_tavelo.Run({"walk", "-v", "2c", m_agent->Target(), group});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string peer;
    ASSERT_EQ(
        netsnmp::Run({"snmpwalk", "-M", ietf, "-m", "ALL", "-v2c", "-c", "tumbol", m_agent->Target(), group}, &peer), 0)
        << peer;
    std::vector<std::string> expected = Oids(peer);
    std::replace(expected.begin(), expected.end(), std::string("DISMAN-EXPRESSION-MIB::sysUpTimeInstance"),
                 std::string("DISMAN-EVENT-MIB::sysUpTimeInstance"));
    ASSERT_GT(expected.size(), 5u);
    EXPECT_EQ(Oids(r.out), expected);
  }
  const Result get = m_tavelo.Run({"get", m_agent->Target(), "1.3.6.1.2.1.1.5.0", "1.3.6.1.2.1.2.2.1.1.1"});
  ASSERT_EQ(get.status, 0) << get.err;
  EXPECT_EQ(Oids(get.out), (std::vector<std::string>{"SNMPv2-MIB::sysName.0", "IF-MIB::ifIndex.1"}));
}

TEST_F(CliAgentTest, NamesAreAcceptedWhereverAnOidIs) {
  const std::string t = m_agent->Target();
  const std::pair<std::vector<std::string>, std::vector<std::string>> cases[] = {
      {{"get", t, "sysDescr.0", "SNMPv2-MIB::sysUpTime.0", "ifDescr.1"},
       {"get", t, "1.3.6.1.2.1.1.1.0", "1.3.6.1.2.1.1.3.0", "1.3.6.1.2.1.2.2.1.2.1"}},
      {{"walk", t, "ifTable"}, {"walk", t, "1.3.6.1.2.1.2.2"}},
      {{"walk", t, "sysDescr", "sysLocation"}, {"walk", t, "1.3.6.1.2.1.1.1", "1.3.6.1.2.1.1.6"}},
      {{"set", "-c", "quinsar", t, "sysContact.0", "named"}, {"set", "-c", "quinsar", t, "1.3.6.1.2.1.1.4.0", "named"}},
  };
  for (auto [named, dotted] : cases) {
    SCOPED_TRACE(named[0] + " " + named.back());
    named.insert(named.begin() + 1, "-On");
    dotted.insert(dotted.begin() + 1, "-On");
    const Result a = m_tavelo.Run(named);
    ASSERT_EQ(a.status, 0) << a.err;
    EXPECT_FALSE(a.out.empty());
    EXPECT_EQ(Oids(a.out), Oids(m_tavelo.Run(dotted).out));
  }
  const Result unknown = m_tavelo.Run({"walk", t, "1.3", "noSuchName"});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_EQ(unknown.err.rfind("tavelo walk: unknown name noSuchName\n", 0), 0u) << unknown.err;
}

TEST(CliTranslate, NamesOidsAndGivesTheOidsOfNames) {
  Tavelo tavelo;
  // The library's name, module and line, with the module a user would open.
  const std::vector<std::string> oids = {"1.3.6.1.2.1.2.2.1.2.3", "1.3.6.1", "1.3.6.1.2.1.1.1"};
  const std::vector<std::string> opened = {"ifDescr.3\tIF-MIB\t", "internet\tSNMPv2-SMI\t", "sysDescr\tSNMPv2-MIB\t"};
  const Result known = tavelo.Run({"translate", "--tsv", "." + oids[0], oids[1], oids[2]});
  ASSERT_EQ(known.status, 0) << known.err;
  ASSERT_EQ(Lines(known.out).size(), oids.size()) << known.out;
  for (size_t i = 0; i < oids.size(); ++i) {
    const std::u16string key(oids[i].begin(), oids[i].end());
    EXPECT_EQ(Lines(known.out)[i], oids[i] + "\t" + opened[i] + std::to_string(OidAtlas_MibLine(key.c_str())));
  }
  const Result unknown = tavelo.Run({"translate", "1.3.6.1.2.1.1.5.0", "3.1"});
  EXPECT_EQ(unknown.status, 1);
  EXPECT_EQ(Lines(unknown.out).size(), 1u);
  EXPECT_EQ(unknown.err, "tavelo: 3.1: no known name\n");
  for (const char* bad : {"1..3", "-1", "1.3.18446744073709551616"}) {
    const Result r = tavelo.Run({"translate", "1.3", "--", bad});
    EXPECT_EQ(r.status, 2) << bad;
    EXPECT_TRUE(r.out.empty()) << bad;
    EXPECT_EQ(r.err.rfind("tavelo translate: '" + std::string(bad) + "' is not an OID\n", 0), 0u) << r.err;
  }
  // As snmptranslate -On gives them with the IETF modules.
  const Result r = tavelo.Run({"translate", "IF-MIB::ifDescr", "enterprises.8072.1"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "1.3.6.1.2.1.2.2.1.2\n1.3.6.1.4.1.8072.1\n");
}

TEST(CliErrors, EachNamesItsCauseInOneLine) {
  scripted::Agent garbage([](const scripted::Request&) {
    return std::vector<berbytes::Bytes>{berbytes::Bytes{0x30, 0x03, 0x02, 0x01}};
  });
  Tavelo tavelo;
  const Result undecodable = tavelo.Run({"get", "-t", "0.2", "-r", "0", garbage.Target(), "sysDescr.0"});
  EXPECT_EQ(undecodable.status, 1);
  EXPECT_EQ(undecodable.err, "tavelo: the reply from " + garbage.Target() + " does not decode as an SNMP response\n");

  const Result missing = tavelo.Run({"mib", "load", "-M", tavelo.Dir(), "NO-SUCH-MIB"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err.rfind("tavelo: no module NO-SUCH-MIB in the MIB folders (" + tavelo.Dir(), 0), 0u)
      << missing.err;
  EXPECT_EQ(Lines(missing.err).size(), 1u) << missing.err;

  // Objects left without an OID are listed; the others still print.
  const std::string mib = WriteFileBytes(tavelo.Dir() + "/HALF-MIB.mib",
                                         "HALF-MIB DEFINITIONS ::= BEGIN\n"
                                         "IMPORTS enterprises FROM RFC1155-SMI;\n"
                                         "halfRoot OBJECT IDENTIFIER ::= { enterprises 99991 }\n"
                                         "halfLost OBJECT IDENTIFIER ::= { nowhereNode 2 }\n"
                                         "END\n");
  const Result half = tavelo.Run({"mib", "load", "-M", TAVELO_MIBS_DIR, mib});
  EXPECT_EQ(half.status, 1) << half.out;
  EXPECT_NE(half.out.find("1.3.6.1.4.1.99991 = halfRoot (HALF-MIB)"), std::string::npos) << half.out;
  EXPECT_EQ(half.err, "tavelo: no OID could be resolved for halfLost (HALF-MIB)\n");

  // A settings file that cannot be used is set aside, said once.
  const std::string settings = tavelo.Dir() + "/config/tavelo/settings.reg";
  WriteFileBytes(settings, "this is not a settings file\n");
  const Result first = tavelo.Run({"translate", "1.3.6.1"});
  EXPECT_EQ(first.status, 0);
  EXPECT_EQ(Lines(first.err).size(), 1u) << first.err;
  EXPECT_NE(first.err.find("it is kept as " + settings + ".bad"), std::string::npos) << first.err;
  EXPECT_TRUE(std::filesystem::exists(settings + ".bad"));
  EXPECT_EQ(tavelo.Run({"translate", "1.3.6.1"}).err, "") << "said once";
}
