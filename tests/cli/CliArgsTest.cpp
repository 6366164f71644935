#include "cli/CliArgs.h"
#include "cli/CliOutput.h"

#include "quillog/Quillog.h"

#include <gtest/gtest.h>

using namespace cli;

TEST(CliArgs, SplitsOptionsAndPositionalArguments) {
  const std::vector<OptionSpec> specs = {{"-v", true}, {"-t", true}, {"--tsv", false}, {"--count", true}};
  ParsedArgs p;
  EXPECT_FALSE(ParseArgs({"-v", "2c", "host", "-t0.5", "--tsv", "--count=3", "--", "-x", "-1"}, specs, &p));
  EXPECT_EQ(p.Get("-v"), "2c");
  EXPECT_EQ(p.Get("-t"), "0.5");
  EXPECT_TRUE(p.Has("--tsv"));
  EXPECT_EQ(p.Get("--count"), "3");
  EXPECT_EQ(p.positional, (std::vector<std::string>{"host", "-x", "-1"}));

  ParsedArgs bad;
  EXPECT_EQ(*ParseArgs({"-q"}, specs, &bad), "unknown option -q");
  EXPECT_EQ(*ParseArgs({"host", "-v"}, specs, &bad), "option -v needs a value");
  EXPECT_EQ(*ParseArgs({"--tsv=1"}, specs, &bad), "option --tsv takes no value");
}

TEST(CliArgs, AgentOptionsFollowNetSnmpHabits) {
  AgentOptions a;
  ParsedArgs p;
  p.options = {{"-v", "2c"}, {"-t", "1.5"}, {"-r", "0"}};
  EXPECT_FALSE(ReadAgentOptions(p, L"tumbol", &a));
  EXPECT_EQ(a.version, 1u);
  EXPECT_EQ(a.timeout_ms, 1500u);
  EXPECT_EQ(a.retries, 0u);
  EXPECT_EQ(a.community, L"tumbol");

  for (const auto& [option, value] : std::vector<std::pair<std::string, std::string>>{
           {"-v", "3"}, {"-t", "0"}, {"-t", "-1"}, {"-t", "abc"}, {"-t", "nan"}, {"-r", "x"}, {"-r", "101"}, {"-c", ""}}) {
    ParsedArgs q;
    q.options = {{option, value}};
    AgentOptions b;
    EXPECT_TRUE(ReadAgentOptions(q, L"tumbol", &b)) << option << " " << value;
  }
  EXPECT_EQ(*ParseSeconds("0.0001"), 1u);  // never a zero time-out
}

TEST(CliArgs, HostsPortsAndNames) {
  AgentOptions a;
  EXPECT_FALSE(ParseHost("127.0.0.1:1161", &a));
  EXPECT_EQ(a.address, 0x7F000001u);
  EXPECT_EQ(a.port, 1161u);
  AgentOptions b;
  EXPECT_FALSE(ParseHost("localhost", &b));
  EXPECT_EQ(b.address, 0x7F000001u);
  EXPECT_EQ(b.port, 161u);
  AgentOptions c;
  EXPECT_TRUE(ParseHost("127.0.0.1:0", &c));
  EXPECT_TRUE(ParseHost("127.0.0.1:65536", &c));
  EXPECT_TRUE(ParseHost(":161", &c));
  EXPECT_TRUE(ParseHost("no-such-host.invalid", &c));
}

TEST(CliArgs, LogFeaturesByMaskOrName) {
  EXPECT_EQ(*ParseFeatures("0x800000"), 0x800000u);
  EXPECT_EQ(*ParseFeatures("8388608"), 0x800000u);
  EXPECT_EQ(*ParseFeatures("all"), 0xFFFFFFFFu);
  EXPECT_EQ(*ParseFeatures("snmpframein,snmpframeout"),
            static_cast<uint32_t>(QLF_PROGRAM_SNMP_FRAME_IN | QLF_PROGRAM_SNMP_FRAME_OUT));
  EXPECT_EQ(*ParseFeatures("Program SNMP Decode (In)"), static_cast<uint32_t>(QLF_PROGRAM_SNMP_DECODE_IN));
  EXPECT_EQ(*ParseFeatures("threadpool"), static_cast<uint32_t>(QLF_LIB_THREAD_POOL));
  EXPECT_FALSE(ParseFeatures("nonsense"));
  EXPECT_FALSE(ParseFeatures("snmp,"));
  EXPECT_FALSE(ParseFeatures("0xZZ"));
}

TEST(CliOutput, SubtreeBoundsAndTypedOctets) {
  struct Row {
    const char* oid;
    bool inside;
  };
  const Row rows[] = {
      {"1.3.6.1.2.1.1", true},  // the root itself
      {"1.3.6.1.2.1.1.9.1.4.9", true},
      {"1.3.6.1.2.1.10.1", false},  // same digits, another arc
      {"1.3.6.1.2.1", false},       // the parent
      {"1.3.6.1.2.1.2", false},
  };
  CAsn1Oid root;
  ASSERT_TRUE(cli::ParseOid("1.3.6.1.2.1.1", &root));
  for (const Row& row : rows) {
    CAsn1Oid oid;
    ASSERT_TRUE(cli::ParseOid(row.oid, &oid));
    EXPECT_EQ(cli::InSubtree(oid, root), row.inside) << row.oid;
  }
  // Typed UTF-8 becomes one character per octet, and prints back as typed.
  EXPECT_EQ(cli::OctetText("caf\xC3\xA9"), std::wstring(L"caf\u00C3\u00A9"));
  EXPECT_EQ(cli::ShownText(cli::OctetText("caf\xC3\xA9")), "caf\xC3\xA9");
  EXPECT_EQ(cli::ShownText(L"\u20AC"), "\xE2\x82\xAC");  // not octets: UTF-8 of the text
  EXPECT_EQ(cli::ShownOctets(std::string("\xC3", 1)), "c3");  // a sequence cut short
  EXPECT_EQ(cli::ShownOctets(""), "");
}
