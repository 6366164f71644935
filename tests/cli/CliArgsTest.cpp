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

  AgentOptions host;
  EXPECT_FALSE(ParseHost("127.0.0.1:1161", &host));
  EXPECT_EQ(host.address, 0x7F000001u);
  EXPECT_EQ(host.port, 1161u);
  AgentOptions local;
  EXPECT_FALSE(ParseHost("localhost", &local));
  EXPECT_EQ(local.port, 161u);
  for (const char* bad : {"127.0.0.1:0", "127.0.0.1:65536", ":161", "no-such-host.invalid"})
    EXPECT_TRUE(ParseHost(bad, &host)) << bad;
}

TEST(CliArgs, LogFeaturesByMaskOrName) {
  EXPECT_EQ(*ParseFeatures("0x800000"), 0x800000u);
  EXPECT_EQ(*ParseFeatures("8388608"), 0x800000u);
  EXPECT_EQ(*ParseFeatures("all"), 0xFFFFFFFFu);
  EXPECT_EQ(*ParseFeatures("snmpframein,snmpframeout"),
            static_cast<uint32_t>(QLF_PROGRAM_SNMP_FRAME_IN | QLF_PROGRAM_SNMP_FRAME_OUT));
  EXPECT_EQ(*ParseFeatures("Program SNMP Decode (In)"), static_cast<uint32_t>(QLF_PROGRAM_SNMP_DECODE_IN));
  for (const char* bad : {"nonsense", "snmp,", "0xZZ"}) EXPECT_FALSE(ParseFeatures(bad)) << bad;
}

TEST(CliOutput, SubtreeBoundsAndTypedOctets) {
  const std::pair<const char*, bool> rows[] = {
      {"1.3.6.1.2.1.1", true},  // the root itself
      {"1.3.6.1.2.1.1.9.1.4.9", true},
      {"1.3.6.1.2.1.10.1", false},  // same digits, another arc
      {"1.3.6.1.2.1", false},       // the parent
      {"1.3.6.1.2.1.2", false},
  };
  CAsn1Oid root;
  ASSERT_TRUE(cli::ParseOid("1.3.6.1.2.1.1", &root));
  for (const auto& [text, inside] : rows) {
    CAsn1Oid oid;
    ASSERT_TRUE(cli::ParseOid(text, &oid));
    EXPECT_EQ(cli::InSubtree(oid, root), inside) << text;
  }
  // Typed UTF-8 becomes one character per octet, and prints back as typed.
  EXPECT_EQ(cli::OctetText("caf\xC3\xA9"), std::wstring(L"caf\u00C3\u00A9"));
  EXPECT_EQ(cli::ShownText(cli::OctetText("caf\xC3\xA9")), "caf\xC3\xA9");
  EXPECT_EQ(cli::ShownText(L"\u20AC"), "\xE2\x82\xAC");  // not octets: UTF-8 of the text
  EXPECT_EQ(cli::ShownOctets(std::string("\xC3", 1)), "c3");  // a sequence cut short
}
