// tavelo sim, simulate and demo: simulator files and real managers.
#include "tests/cli/TaveloRunner.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

// snmpwalk's variable lines, without its end-of-walk remarks.
std::vector<std::string> Variables(const std::string& walk) {
  std::vector<std::string> lines = Lines(walk);
  std::erase_if(lines,
                [](const std::string& l) { return l == "End of MIB" || l.find("= No more variables") != l.npos; });
  return lines;
}

// `tavelo simulate` of a file on a port of its own (on one address when
// given), and the Net-SNMP tools that talk to it.
class Served {
 public:
  Served(const std::string& file, std::string community, const std::string& address = "")
      : m_community(std::move(community)),
        m_host(address.empty() ? "127.0.0.1" : address),
        m_port(netsnmp::FreeUdpPort()) {
    std::vector<std::string> args = {"simulate", "-p", std::to_string(m_port), file};
    if (!address.empty()) args.insert(args.begin() + 1, {"-a", address});
    m_tavelo.Launch(args);
    m_started =
        m_tavelo.WaitFor("answers on UDP port " + std::to_string(m_port) + (address.empty() ? "" : " of " + address));
  }
  ~Served() { Stop(); }
  bool Started() const { return m_started; }
  std::string Target() const { return m_host + ":" + std::to_string(m_port); }
  int Stop() {
    m_tavelo.Interrupt();
    return m_tavelo.Wait().status;
  }
  std::string Tool(const std::string& tool, const std::string& version, std::vector<std::string> args,
                   const std::string& host = "") {
    const std::string target = (host.empty() ? m_host : host) + ":" + std::to_string(m_port);
    args.insert(args.begin(), {tool, "-v" + version, "-c", m_community, "-On", "-t", "1", "-r", "1", target});
    return netsnmp::Output(args);
  }

 private:
  std::string m_community;
  std::string m_host;
  uint16_t m_port;
  Tavelo m_tavelo;
  bool m_started = false;
};

}  // namespace

TEST(CliSim, NewAddShowAndRefusals) {
  Tavelo tavelo;
  const std::string file = tavelo.Dir() + "/Lab.tav";
  ASSERT_EQ(tavelo.Run({"sim", "new", file, "--port", "2161", "--community", "lab", "-v", "2c"}).status, 0);
  EXPECT_EQ(tavelo.Run({"sim", "new", file}).status, 1) << "an existing simulator is never overwritten";
  ASSERT_EQ(tavelo.Run({"sim", "add", file, "sysName.0", "s", "lab-router"}).status, 0);
  ASSERT_EQ(tavelo.Run({"sim", "add", file, ".1.3.6.1.2.1.1.3.0", "TimeTicks", "4242"}).status, 0);
  ASSERT_EQ(tavelo.Run({"sim", "add", file, "IF-MIB::ifPhysAddress.1", "x", "00:1a:2b:3c:4d:5e"}).status, 0);
  ASSERT_EQ(tavelo.Run({"sim", "add", file, "sysObjectID.0", "o", "SNMPv2-SMI::enterprises.8072"}).status, 0);

  const std::string before = netsnmp::ReadAll(file);
  std::string long_oid = "1.3";
  for (int i = 2; i < 129; ++i) long_oid += ".1";
  const std::pair<std::string, std::vector<std::string>> refused[] = {
      {"1.3.6.1.4.1.4294967296", {"i", "1"}}, {long_oid, {"i", "1"}},
      {"1.3.6.1.2.1.1.7.0", {"i", "seven"}},  {"1.3.6.1.2.1.1.7.0", {"x", "abc"}},
      {"1.3.6.1.2.1.1.2.1", {"o", "1..3"}},
  };
  for (const auto& [oid, value] : refused)
    EXPECT_EQ(tavelo.Run({"sim", "add", file, oid, value[0], value[1]}).status, 2) << oid << " " << value[0];
  const Result duplicate = tavelo.Run({"sim", "add", file, "1.3.6.1.2.1.1.5.0", "s", "again"});
  EXPECT_EQ(duplicate.status, 1);
  EXPECT_NE(duplicate.err.find("already in the list"), std::string::npos) << duplicate.err;
  const std::string folder = tavelo.Dir() + "/walks";
  std::filesystem::create_directories(folder);
  const Result import = tavelo.Run({"sim", "import", file, folder});
  EXPECT_EQ(import.status, 1);
  EXPECT_EQ(import.err, "tavelo: " + folder + " is a folder, not a walk file\n");
  EXPECT_EQ(netsnmp::ReadAll(file), before) << "a refused value or import leaves the file as it was";

  const Result show = tavelo.Run({"sim", "show", file});
  ASSERT_EQ(show.status, 0) << show.err;
  EXPECT_EQ(show.out,
            "# Lab: UDP port 2161, community lab, v2c\n"
            "1.3.6.1.2.1.1.2.0 = Object Identifier: 1.3.6.1.4.1.8072\n"
            "1.3.6.1.2.1.1.3.0 = TimeTicks: (4242) 00:00:42.420\n"
            "1.3.6.1.2.1.1.5.0 = Octet String: \"lab-router\"\n"
            "1.3.6.1.2.1.2.2.1.6.1 = Octet String: 00:1a:2b:3c:4d:5e\n");

  const std::string junk = WriteFileBytes(tavelo.Dir() + "/Junk.tav", "Not a simulator at all").string();
  const Result bad = tavelo.Run({"sim", "show", junk});
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(netsnmp::ReadAll(junk), "Not a simulator at all");
}

TEST(CliSim, ImportReadsNetSnmpValueFormats) {
  Tavelo tavelo;
  const std::string file = tavelo.Dir() + "/Import.tav";
  ASSERT_EQ(tavelo.Run({"sim", "new", file}).status, 0);
  const std::string walk =
      WriteFileBytes(tavelo.Dir() + "/walk.txt",
                     ".1.3.6.1.2.1.1.1.0 = STRING: \"two\n"
                     "lines with a \\\"quote\\\"\"\n"
                     ".1.3.6.1.2.1.1.2.0 = OID: .1.3.6.1.4.1.99\n"
                     ".1.3.6.1.2.1.1.3.0 = Timeticks: (360000) 1:00:00.00\n"
                     ".1.3.6.1.2.1.1.4.0 = \"\"\n"
                     ".1.3.6.1.2.1.2.2.1.6.2 = Hex-STRING: 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F \n"
                     "10 11 \n"
                     ".1.3.6.1.2.1.2.2.1.8.2 = INTEGER: down(2)\n"
                     ".1.3.6.1.2.1.31.1.1.1.6.2 = Counter64: 18446744073709551615\n"
                     ".1.3.6.1.2.1.4.20.1.1.127.0.0.1 = IpAddress: 127.0.0.1\n"
                     ".1.3.6.1.2.1.1.9.1.4.1 = Opaque: Float: 1.5\n"
                     ".1.3.6.1.2.1.99 = No more variables left in this MIB View (It is past the end of the MIB tree)\n")
          .string();
  const Result r = tavelo.Run({"sim", "import", file, walk});
  EXPECT_EQ(r.status, 1) << "one variable was not read";
  EXPECT_NE(r.err.find("line 11: type Opaque is not read"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("8 values imported"), std::string::npos) << r.err;
  const Result show = tavelo.Run({"sim", "show", "--tsv", file});
  EXPECT_EQ(show.out,
            "1.3.6.1.2.1.1.1.0\tOctet String\ttwo\\nlines with a \"quote\"\n"
            "1.3.6.1.2.1.1.2.0\tObject Identifier\t1.3.6.1.4.1.99\n"
            "1.3.6.1.2.1.1.3.0\tTimeTicks\t360000\n"
            "1.3.6.1.2.1.1.4.0\tOctet String\t\n"
            "1.3.6.1.2.1.2.2.1.6.2\tOctet String\t00:01:02:03:04:05:06:07:08:09:0a:0b:0c:0d:0e:0f:10:11\n"
            "1.3.6.1.2.1.2.2.1.8.2\tInteger\t2\n"
            "1.3.6.1.2.1.4.20.1.1.127.0.0.1\tIP Address\t127.0.0.1\n"
            "1.3.6.1.2.1.31.1.1.1.6.2\tCounter64\t18446744073709551615\n");
}

// What snmpwalk shows of an agent, imported and served, snmpwalk shows again.
TEST(CliSimulate, SnmpwalkSeesTheImportedValues) {
  netsnmp::Agent agent;
  ASSERT_TRUE(agent.Start());
  std::string original;
  ASSERT_EQ(netsnmp::Run({"snmpwalk", "-On", "-v2c", "-c", "tumbol", agent.Target(), ".1.3.6.1.2.1.1"}, &original), 0);

  Tavelo tavelo;
  const std::string file = tavelo.Dir() + "/Copy.tav";
  ASSERT_EQ(tavelo.Run({"sim", "new", file, "--community", "copy"}).status, 0);
  const Result imported =
      tavelo.Run({"sim", "import", file, WriteFileBytes(tavelo.Dir() + "/walk.txt", original).string()});
  ASSERT_EQ(imported.status, 0) << imported.err;
  Served served(file, "copy");
  ASSERT_TRUE(served.Started());
  for (const std::string version : {"1", "2c"})
    EXPECT_EQ(Variables(served.Tool("snmpwalk", version, {".1.3.6.1.2.1.1"})), Variables(original)) << "v" << version;
  EXPECT_EQ(served.Stop(), 0);
}

// A typed community and value are their UTF-8 octets; -a serves on that
// one address only.
TEST(CliSimulate, TypedTextsAreTheirUtf8OctetsOnTheOneAddressGiven) {
  Tavelo tavelo;
  const std::string file = tavelo.Dir() + "/Octets.tav";
  const std::string community = "caf\xc3\xa9";
  ASSERT_EQ(tavelo.Run({"sim", "new", file, "--community", community, "-v", "both"}).status, 0);
  ASSERT_EQ(tavelo.Run({"sim", "add", file, "1.3.6.1.2.1.1.6.0", "s", "caf\xc3\xa9"}).status, 0);
  Served agent(file, community, "127.0.0.2");
  ASSERT_TRUE(agent.Started());
  const std::string typed = agent.Tool("snmpget", "1", {"-Ox", ".1.3.6.1.2.1.1.6.0"});
  EXPECT_NE(typed.find("Hex-STRING: 63 61 66 C3 A9"), std::string::npos) << typed;
  const std::string elsewhere = agent.Tool("snmpget", "2c", {".1.3.6.1.2.1.1.6.0"}, "127.0.0.1");
  EXPECT_NE(elsewhere.find("Timeout"), std::string::npos) << "nothing answers on another address: " << elsewhere;
  EXPECT_EQ(agent.Stop(), 0);
}

TEST(CliSimulate, UnknownSimulatorOrTakenPortFails) {
  Tavelo tavelo;
  EXPECT_EQ(tavelo.Run({"simulate", "NoSuchSimulator"}).status, 1);
  const std::string file = tavelo.Dir() + "/Port.tav";
  ASSERT_EQ(tavelo.Run({"sim", "new", file}).status, 0);
  TestUdpSocket taken(INADDR_ANY);
  const std::string in_use = "tavelo: port " + std::to_string(taken.Port()) + " is in use\n";
  const Result r = tavelo.Run({"simulate", "-p", std::to_string(taken.Port()), file});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, in_use);
  const Result traps = tavelo.Run({"traps", "-p", std::to_string(taken.Port())});
  EXPECT_EQ(traps.status, 1);
  EXPECT_EQ(traps.err, in_use);

  const Result bad = tavelo.Run({"simulate", "-a", "127.0.0.1:161", file});
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("bad address 127.0.0.1:161"), std::string::npos) << bad.err;
}

TEST(CliDemo, ServesWalksAndStops) {
  Tavelo tavelo;
  const Result r = tavelo.Run({"demo"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("1.3.6.1.2.1.1.5.0 = Octet String: \"edge-01\"\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("27 variables; the simulator is stopped."), std::string::npos);
}

// snmptable reads the demo's interface table with GetNext (v1) and GetBulk (v2c).
TEST(CliDemo, SnmptableShowsTheInterfaceTable) {
  Tavelo tavelo;
  const std::string file = tavelo.Dir() + "/Demo.tav";
  std::filesystem::copy_file(TAVELO_DEMO_PATH, file);
  Served demo(file, "public");
  ASSERT_TRUE(demo.Started());
  const std::string unset = ",?,?,?,?,?,?,?,?,?,?,?,?";
  const std::vector<std::string> rows = {
      "1,lo,softwareLoopback,?,10000000,,?,up,?,1234567" + unset,
      "2,eth0,ethernetCsmacd,?,1000000000,52:54:0:12:34:56,?,up,?,4000000000" + unset};
  for (const std::string version : {"1", "2c"}) {
    const std::vector<std::string> table =
        Lines(netsnmp::Output({"snmptable", "-v" + version, "-c", "public", "-t", "1", "-r", "1", "-M",
                               TAVELO_SHIPPED_MIBS, "-m", "IF-MIB", "-Cf", ",", "-Cr", "3", demo.Target(), "ifTable"}));
    ASSERT_GE(table.size(), 3u) << "v" << version << ": " << (table.empty() ? "" : table[0]);
    EXPECT_EQ(std::vector<std::string>(table.end() - 2, table.end()), rows) << "v" << version;
  }
}
