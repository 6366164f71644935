// The built tavelo program against real Net-SNMP peers on loopback.
#include "tests/cli/TaveloRunner.h"
#include "tests/common/ScriptedAgent.h"

#include "cli/CliOutput.h"
#include "oidatlas/OidAtlas.h"

#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <regex>

namespace {

// The OIDs of "OID = Type: value" lines.
std::vector<std::string> Oids(const std::string& output) {
  std::vector<std::string> oids;
  for (const auto& line : Lines(output)) oids.push_back(line.substr(0, line.find(" = ")));
  return oids;
}

// snmpget's value, as our line shows it: no quotes, no leading dot.
std::string PeerValue(const std::string& target, const std::string& oid) {
  std::string out;
  netsnmp::Run({"snmpget", "-v2c", "-c", "tumbol", "-Oqvn", "-Ot", target, oid}, &out);
  while (!out.empty() && (out.back() == '\n')) out.pop_back();
  if (out.size() >= 2 && out.front() == '"' && out.back() == '"') out = out.substr(1, out.size() - 2);
  if (!out.empty() && out.front() == '.') out.erase(0, 1);
  return out;
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

class CliAgentTest : public netsnmp::SuiteWithAgent<> {
 protected:
  Tavelo tavelo_;
};

}  // namespace

TEST(CliUsage, WrongArgumentsExitTwoWithAUsageLine) {
  Tavelo tavelo;
  const std::vector<std::vector<std::string>> cases = {
      {}, {"frobnicate"}, {"get"}, {"get", "127.0.0.1"}, {"get", "-t", "0", "127.0.0.1", "1.3.6.1"},
      {"get", "127.0.0.1", "1.3.x"}, {"get", "127.0.0.1", "5.1"}, {"walk", "127.0.0.1", "1.3", "1.4", "1.5"},
      {"set", "127.0.0.1", "1.3.6.1.2.1.1.4.0"}, {"traps", "-p", "0"}, {"traps", "--count", "none"},
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
  std::vector<std::string> args = {"get", "-v", "2c", "-d", "snmpframeout,snmpframein", agent_->Target()};
  args.insert(args.end(), oids.begin(), oids.end());
  const Result r = tavelo_.Run(args);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("CThreadActionWalkerGet sent data"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("CThreadActionWalkerGet received data"), std::string::npos) << r.err;
  const auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), oids.size());
  const std::vector<std::string> types = {"Octet String", "Object Identifier", "TimeTicks", "Integer"};
  for (size_t i = 0; i < oids.size(); ++i) {
    std::string value = PeerValue(agent_->Target(), oids[i]);
    if (types[i] == "Octet String") value = "\"" + value + "\"";
    if (types[i] == "TimeTicks") value = cli::TimeTicksText(std::stoull(value));
    EXPECT_EQ(lines[i], oids[i] + " = " + types[i] + ": " + value);
  }

  // An exception value is shown, and the command says it did not get a value.
  const Result missing = tavelo_.Run({"get", "-v", "2c", agent_->Target(), "1.3.6.1.2.1.1.7.0"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, "1.3.6.1.2.1.1.7.0 = No Such Instance: \n");
}

TEST_F(CliAgentTest, WalksMatchSnmpwalkOneForOne) {
  struct Case {
    std::string version, root, last, beyond;  // beyond: the variable past the last OID
  };
  const Case cases[] = {{"1", "1.3.6.1.2.1.1"}, {"1", "1.3.6.1.2.1.2.2.1.2"}, {"1", ""},
                        {"2c", "1.3.6.1.2.1.1"}, {"2c", "1.3.6.1.2.1.2.2.1.2"}, {"2c", ""},
                        {"2c", "1.3.6.1.2.1.1.9", "1.3.6.1.2.1.2", "1.3.6.1.2.1.2.1.0"}};
  for (const Case& c : cases) {
    SCOPED_TRACE("v" + c.version + " walk of '" + c.root + "'");
    std::vector<std::string> args = {"walk", "-v", c.version, agent_->Target()};
    for (const std::string& oid : {c.root, c.last})
      if (!oid.empty()) args.push_back(oid);
    const Result r = tavelo_.Run(args);
    ASSERT_EQ(r.status, 0) << r.err;
    std::string peer;
    netsnmp::Run({"snmpwalk", "-On", "-v" + c.version, "-c", "tumbol", agent_->Target(), c.root.empty() ? ".1" : c.root},
                 &peer);
    auto expected = netsnmp::WalkOids(peer);
    ASSERT_FALSE(expected.empty());
    if (!c.beyond.empty()) expected.push_back(c.beyond);
    EXPECT_EQ(Oids(r.out), expected);
  }
}

TEST_F(CliAgentTest, AgentErrorsExitOneWithTheErrorOnStderr) {
  // sysDescr is read-only: the agent's error goes to stderr in one line.
  const Result refused = tavelo_.Run({"set", "-c", "quinsar", agent_->Target(), "1.3.6.1.2.1.1.1.0", "x"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_TRUE(refused.out.empty());
  EXPECT_NE(refused.err.find("when setting value to OID '1.3.6.1.2.1.1.1.0'"), std::string::npos) << refused.err;

  const Result missing = tavelo_.Run({"get", agent_->Target(), "1.3.6.1.2.1.1.99.0"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("NoSuchName"), std::string::npos) << missing.err;
}

TEST(CliNoAgent, SilentAgentExitsOneAfterItsRetries) {
  TestUdpSocket silent;  // no ICMP error from a bound socket, only time-outs
  ASSERT_TRUE(silent.Ok());
  const std::string target = silent.Target();
  Tavelo tavelo;
  const Result r = tavelo.Run({"get", "-t", "0.2", "-r", "2", target, "1.3.6.1.2.1.1.1.0"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "tavelo: no answer from " + target + " (Too much timeout)\n");
  EXPECT_EQ(silent.Count(), 3) << "the first try and two retries";
}

TEST(CliNoAgent, CtrlCEndsAWaitingWalkAtOnce) {
  TestUdpSocket silent;
  Tavelo tavelo;
  tavelo.Launch({"walk", "-t", "60", silent.Target(), "1.3.6.1.2.1.1"});
  ASSERT_EQ(silent.Count(10000), 1) << "the walk sent its first request";
  const auto before = std::chrono::steady_clock::now();
  tavelo.Interrupt();
  const Result r = tavelo.Wait();
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "tavelo: interrupted\n");
}

TEST(CliTraps, ReceivesWhatSnmptrapSends) {
  const uint16_t port = netsnmp::FreeUdpPort();
  Tavelo tavelo;
  tavelo.Launch({"traps", "-p", std::to_string(port), "--count", "2"});
  // Wait until the receiver says it listens.
  ASSERT_TRUE(tavelo.WaitForStderr("receiving traps"));
  const std::string target = "127.0.0.1:" + std::to_string(port);
  std::string out;
  ASSERT_EQ(netsnmp::Run({"snmptrap", "-v1", "-c", "public", target, ".1.3.6.1.4.1.8072.9", "127.0.0.9", "6", "17",
                          "4242", ".1.3.6.1.2.1.1.5.0", "s", "trap-one"}, &out), 0) << out;
  ASSERT_EQ(netsnmp::Run({"snmptrap", "-v2c", "-c", "pub\"lic", target, "777", ".1.3.6.1.6.3.1.1.5.3",
                          ".1.3.6.1.2.1.2.2.1.1.1", "i", "1"}, &out), 0) << out;
  const Result r = tavelo.Wait();
  ASSERT_EQ(r.status, 0) << r.err;
  const auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 6u) << r.out;
  EXPECT_TRUE(std::regex_search(lines[0], std::regex(R"( 127\.0\.0\.1:\d+ v1 community="public" agent=127\.0\.0\.9 )"
                                                      R"(enterprise=1\.3\.6\.1\.4\.1\.8072\.9 generic=enterpriseSpecific )"
                                                      R"(specific=17 timestamp=\(4242\) 00:00:42\.420$)")))
      << lines[0];
  EXPECT_EQ(lines[1], "  1.3.6.1.2.1.1.5.0 = Octet String: \"trap-one\"");
  EXPECT_TRUE(std::regex_search(lines[2], std::regex(R"( 127\.0\.0\.1:\d+ v2c community="pub\\"lic"$)"))) << lines[2];
  EXPECT_EQ(lines[3], "  1.3.6.1.2.1.1.3.0 = TimeTicks: (777) 00:00:07.770");
  EXPECT_EQ(lines[4], "  1.3.6.1.6.3.1.1.4.1.0 = Object Identifier: 1.3.6.1.6.3.1.1.5.3");
  EXPECT_EQ(lines[5], "  1.3.6.1.2.1.2.2.1.1.1 = Integer: 1");
}

TEST(CliTraps, CtrlCStopsTheReceiverCleanly) {
  const uint16_t port = netsnmp::FreeUdpPort();
  Tavelo tavelo;
  tavelo.Launch({"traps", "-p", std::to_string(port)});
  ASSERT_TRUE(tavelo.WaitForStderr("receiving traps"));
  tavelo.Interrupt();
  const Result r = tavelo.Wait();
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.out.empty());
}

TEST(CliTranslate, PrintsWhatTheNameDatabaseKnows) {
  Tavelo tavelo;
  const Result r = tavelo.Run({"translate", "--tsv", ".1.3.6.1.2.1.2.2.1.2.3", "1.3.6.1.4.1.99999.1"});
  ASSERT_EQ(r.status, 0) << r.err;
  std::string expected;
  for (const std::u16string oid : {u"1.3.6.1.2.1.2.2.1.2.3", u"1.3.6.1.4.1.99999.1"}) {
    const std::u16string name = OidAtlas_Translate(oid.c_str());
    const std::u16string module = OidAtlas_MibModule(oid.c_str());
    expected += std::string(oid.begin(), oid.end()) + "\t" + std::string(name.begin(), name.end()) + "\t" +
                std::string(module.begin(), module.end()) + "\t" + std::to_string(OidAtlas_MibLine(oid.c_str())) + "\n";
  }
  EXPECT_EQ(r.out, expected);
  EXPECT_EQ(r.out.rfind("1.3.6.1.2.1.2.2.1.2.3\tifDescr.3\t", 0), 0u) << r.out;

  const Result unknown = tavelo.Run({"translate", "1.3.6.1.2.1.1.5.0", "3.1"});
  EXPECT_EQ(unknown.status, 1);
  EXPECT_EQ(Lines(unknown.out).size(), 1u);
  EXPECT_EQ(unknown.err, "tavelo: 3.1: no known name\n");
}

TEST_F(CliAgentTest, TypedTextGoesOutAsItsOctetsAndPrintsBackOnOneLine) {
  struct Case {
    const char* typed;
    const char* shown;
    const char* tsv;
  };
  const Case cases[] = {
      {"caf\xC3\xA9", "\"caf\xC3\xA9\"", "caf\xC3\xA9"},
      {"\xF0\x9F\x9B\xB0 sat", "\"\xF0\x9F\x9B\xB0 sat\"", "\xF0\x9F\x9B\xB0 sat"},
      {"line one\nline two", "\"line one\\nline two\"", "line one\\nline two"},
      {"name\tvalue\r", "\"name\\tvalue\\r\"", "name\\tvalue\\r"},
      {"say \"hi\" \\o/", "\"say \\\"hi\\\" \\\\o/\"", "say \"hi\" \\\\o/"},
  };
  const std::string line = "1.3.6.1.2.1.1.4.0 = Octet String: ";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    const Result set = tavelo_.Run({"set", "-c", "quinsar", agent_->Target(), "1.3.6.1.2.1.1.4.0", c.typed});
    ASSERT_EQ(set.status, 0) << set.err;
    EXPECT_TRUE(set.err.empty()) << "no debug features, nothing on stderr: " << set.err;
    EXPECT_EQ(set.out, line + c.shown + "\n");
    // What the agent holds, as snmpget -Ox shows it: the typed octets.
    std::string hex = netsnmp::Output({"snmpget", "-v2c", "-c", "tumbol", "-Oqv", "-Ox", agent_->Target(),
                                       "1.3.6.1.2.1.1.4.0"});
    std::erase_if(hex, [](char ch) { return std::isspace(static_cast<unsigned char>(ch)) || ch == '"'; });
    EXPECT_EQ(hex, Hex(c.typed));
    EXPECT_EQ(tavelo_.Run({"get", agent_->Target(), "1.3.6.1.2.1.1.4.0"}).out, line + c.shown + "\n");
    const Result walk = tavelo_.Run({"walk", "--tsv", agent_->Target(), "1.3.6.1.2.1.1.4"});
    EXPECT_EQ(walk.out, std::string("1.3.6.1.2.1.1.4.0\tOctet String\t") + c.tsv + "\n");
  }
}

TEST(CliMisbehavingAgent, OctetsThatAreNotTextPrintAsHexadecimalUnlikeTheirLookAlikeText) {
  const std::pair<std::string, std::string> cases[] = {
      {std::string("\xFF\xFE\x00\x01\x41", 5), "ff:fe:00:01:41"},
      {"caf\xE9", "63:61:66:e9"},                 // Latin-1, not UTF-8
      {"red\x1B[31m", "72:65:64:1b:5b:33:31:6d"},  // a terminal escape
      {"\xC2\x85next", "c2:85:6e:65:78:74"},       // a C1 control in UTF-8
      {"\xED\xA0\x80", "ed:a0:80"},               // a UTF-16 surrogate
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
    const Result r = tavelo.Run({"get", agent.Target(), "1.3.6.1.2.1.1.4.0"});
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
      {0, "tavelo: OID not increasing: the agent answered 1.3.6.1.2.1.1.1.0 to a GetNext of 1.3.6.1.2.1.1.2.0, the walk "
          "ends\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.third);
    scripted::Agent agent([&](const scripted::Request& r) -> std::vector<berbytes::Bytes> {
      if (r.number < 3) return {scripted::TableAnswer(table, r)};
      if (c.third < 0) return {};
      if (c.third > 0) return {scripted::Reply{r.oid, berbytes::kNull, c.third, 1}.To(r)};
      return {scripted::Reply{{1, 3, 6, 1, 2, 1, 1, 1, 0}, berbytes::Text("box")}.To(r)};
    });
    Tavelo tavelo;
    const Result r = tavelo.Run({"walk", "-v", "2c", "-t", "0.2", "-r", "1", agent.Target(), "1.3.6.1.2.1.1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "1.3.6.1.2.1.1.1.0 = Octet String: \"box\"\n1.3.6.1.2.1.1.2.0 = Octet String: \"two\"\n");
    std::string error = c.error;
    if (const size_t at = error.find("PORT"); at != std::string::npos) error.replace(at, 4, std::to_string(agent.Port()));
    EXPECT_EQ(r.err, error);
  }
}
