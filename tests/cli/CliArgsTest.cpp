#include "cli/CliArgs.h"

#include "cli/CliNames.h"
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

  // Each option's limits: one past them is refused.
  const std::pair<std::string, std::string> bad[] = {{"-v", "3"},  {"-t", "0"},   {"-t", "nan"},
                                                     {"-r", "-1"}, {"-r", "101"}, {"-c", ""}};
  for (const auto& [option, value] : bad) {
    ParsedArgs q;
    q.options = {{option, value}};
    EXPECT_TRUE(ReadAgentOptions(q, L"tumbol", &a)) << option << " " << value;
  }
  EXPECT_EQ(*ParseSeconds("0.0001"), 1u);  // never a zero time-out

  AgentOptions host;
  EXPECT_FALSE(ParseHost("127.0.0.1:65535", &host));
  EXPECT_EQ(host.address, 0x7F000001u);
  EXPECT_EQ(host.port, 65535u);
  AgentOptions local;
  EXPECT_FALSE(ParseHost("localhost", &local));
  EXPECT_EQ(local.port, 161u);
  for (const char* wrong : {"127.0.0.1:0", "127.0.0.1:65536", "no-such-host.invalid"})
    EXPECT_TRUE(ParseHost(wrong, &host)) << wrong;
}

TEST(CliArgs, LogFeaturesByMaskOrName) {
  EXPECT_EQ(*ParseFeatures("0x800000"), 0x800000u);
  EXPECT_EQ(*ParseFeatures("all"), 0xFFFFFFFFu);
  EXPECT_EQ(*ParseFeatures("snmpframein,snmpframeout"),
            static_cast<uint32_t>(QLF_PROGRAM_SNMP_FRAME_IN | QLF_PROGRAM_SNMP_FRAME_OUT));
  EXPECT_EQ(*ParseFeatures("Program SNMP Decode (In)"), static_cast<uint32_t>(QLF_PROGRAM_SNMP_DECODE_IN));
  for (const char* bad : {"nonsense", "snmp,", "0xZZ"}) EXPECT_FALSE(ParseFeatures(bad)) << bad;
}

TEST(CliOutput, SubtreeBounds) {
  // The root, a descendant, the same digits in another arc, the parent, the next one.
  const std::pair<const char*, bool> rows[] = {{"1.3.6.1.2.1.1", true},
                                               {"1.3.6.1.2.1.1.9.1.4.9", true},
                                               {"1.3.6.1.2.1.10.1", false},
                                               {"1.3.6.1.2.1", false},
                                               {"1.3.6.1.2.1.2", false}};
  CAsn1Oid root;
  ASSERT_TRUE(cli::ParseOid("1.3.6.1.2.1.1", &root));
  for (const auto& [text, inside] : rows) {
    CAsn1Oid oid;
    ASSERT_TRUE(cli::ParseOid(text, &oid));
    EXPECT_EQ(cli::InSubtree(oid, root), inside) << text;
  }
}

TEST(CliNames, NamesInResolveThroughTheTableAndNamesOutFollowTheStyle) {
  const std::pair<const char*, const char*> good[] = {
      {"RFC1213-MIB::sysDescr.0", "1.3.6.1.2.1.1.1.0"},  // an older module defining the same OID
      {".1.3.6.1.2.1", "1.3.6.1.2.1"},
  };
  for (const auto& [text, dotted] : good) {
    CAsn1Oid oid;
    const auto error = ResolveOid(text, &oid);
    EXPECT_FALSE(error) << text << ": " << *error;
    EXPECT_EQ(Utf8(oid.GetText()), dotted) << text;
  }
  const std::pair<const char*, const char*> bad[] = {
      {"noSuchObjectName.0", "unknown name noSuchObjectName"},
      {"IF-MIB::sysDescr.0", "unknown name IF-MIB::sysDescr"},
      {"sysDescr.x", "bad OID sysDescr.x"},
      {"system", "system is ambiguous: "},
  };
  for (const auto& [text, reason] : bad) {
    CAsn1Oid oid;
    const auto error = ResolveOid(text, &oid);
    ASSERT_TRUE(error) << text;
    EXPECT_EQ(error->rfind(reason, 0), 0u) << *error;
  }
  CAsn1Oid ambiguous;
  EXPECT_NE(ResolveOid("system", &ambiguous)->find("SNMPv2-MIB::system (1.3.6.1.2.1.1)"), std::string::npos);

  const CAsn1Oid instance{1, 3, 6, 1, 2, 1, 1, 1, 0};
  EXPECT_EQ(OidName(instance, OidStyle::Module), "SNMPv2-MIB::sysDescr.0");
  EXPECT_EQ(OidName(instance, OidStyle::Short), "sysDescr.0");
  EXPECT_EQ(OidName(CAsn1Oid{1}, OidStyle::Module), "iso");     // a root arc has no module
  EXPECT_EQ(OidName(CAsn1Oid{5, 1}, OidStyle::Module), "5.1");  // nothing known: dotted
}
