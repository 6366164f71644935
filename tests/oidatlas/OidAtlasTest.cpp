// Behaviour of the four exports, against the table built from test-records.tsv.
#include "oidatlas/OidAtlas.h"

#include "tests/oidatlas/TestSupport.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>

namespace oidatlas::test {
namespace {

std::string Translate(const std::string& oid) { return Narrow(OidAtlas_Translate(U(oid).c_str())); }
std::string BestKnown(const std::string& oid) { return Narrow(OidAtlas_BestKnown(U(oid).c_str())); }
std::string Module(const std::string& oid) { return Narrow(OidAtlas_MibModule(U(oid).c_str())); }
uint32_t Line(const std::string& oid) { return OidAtlas_MibLine(U(oid).c_str()); }

// The suffix ".1.1.1..." of exactly n units (n even).
std::string Arcs(size_t n) {
  std::string s;
  while (s.size() < n) s += ".1";
  return s;
}

// What the four exports give for an OID; nullptr (or -1 for the line): not
// checked in that row; "(null)": a null result.
struct Lookup {
  const char* oid;
  const char* best_known;
  const char* translation;
  const char* module;
  int64_t line;
};

// Rows the cut-search agreement below cannot pin down: the meaning of the
// searches themselves.
const Lookup kLookups[] = {
    {"1.3.6.1.2.1.1.5", "1.3.6.1.2.1.1.5", "sysName", "SNMPv2-MIB", 142},
    {"1.3.6.1.2.1.2.2.1.2.3", "1.3.6.1.2.1.2.2.1.2", "ifDescr.3", "IF-MIB", 207},
    // Arcs are compared whole: keys ...1.1.1 and ...2.2.1.1 exist, ...1.1.10
    // and ...2.2.1.100 do not.
    {"1.3.6.1.2.1.1.10.0", "1.3.6.1.2.1.1", "system.10.0", nullptr, -1},
    {"1.3.6.1.2.1.2.2.1.100", nullptr, "ifEntry.100", nullptr, -1},
    // ...1.2, ...1.2.5 and ...1.2.5.1 sort between ...1 and ...1.29 but none
    // is a prefix of it cut at a dot.
    {"1.3.6.1.2.1.2.2.1.29", nullptr, "ifEntry.29", nullptr, -1},
    {"1.3.6.1.2.1.2.2.1.2.5.1.1", nullptr, "ifDescrFiveOne.1", nullptr, -1},
    // An OID after every key finds its root (an empty module, line 0).
    {"2.999.1", "2", "iso-ccitt.999.1", "", 0},
    // An unknown first arc gives nothing.
    {"3.1", "(null)", "(null)", "(null)", 0},
    {"10.1", "(null)", "(null)", "(null)", 0},
    {".1.3", "(null)", "(null)", "(null)", 0},
    // Trailing dots are kept as empty arcs.
    {"1.3.6.1..", "1.3.6.1", "internet..", nullptr, -1},
    // Non-ASCII and escaped texts survive the table.
    {"1.3.6.1.4.1.99998.1.7", nullptr, "\u00fcn\u00efc\u00f8d\u00e9\U0001F600.7", "T\u00c9ST-MIB", -1},
    {"1.3.6.1.4.1.99998.2", nullptr, "quote\"back\\slash?", nullptr, -1},
    // Among records with one key the fixed probe sequence picks the record:
    // sysDescr is defined by SNMPv2-MIB, RFC1213-MIB and RFC1158-MIB, records
    // 14 to 16 of 45; the probes are 22, 10, then 16: the last of the three.
    {"1.3.6.1.2.1.1.1.0", nullptr, nullptr, "RFC1158-MIB", 77},
    // internet, records 7 to 9: probes 22, 10, 4, then 7: the first.
    {"1.3.6.1.99", nullptr, nullptr, "SNMPv2-SMI", 37},
};

TEST(OidAtlasLookup, ExportsGiveTheExpectedRecord) {
  for (const Lookup& c : kLookups) {
    SCOPED_TRACE(c.oid);
    if (c.best_known) {
      EXPECT_EQ(BestKnown(c.oid), c.best_known);
    }
    if (c.translation) {
      EXPECT_EQ(Translate(c.oid), c.translation);
    }
    if (c.module) {
      EXPECT_EQ(Module(c.oid), c.module);
    }
    if (c.line >= 0) {
      EXPECT_EQ(Line(c.oid), static_cast<uint32_t>(c.line));
    }
  }
  for (const char16_t* oid : {static_cast<const char16_t*>(nullptr), u""}) {
    EXPECT_EQ(OidAtlas_BestKnown(oid), nullptr);
    EXPECT_EQ(OidAtlas_Translate(oid), nullptr);
    EXPECT_EQ(OidAtlas_MibModule(oid), nullptr);
    EXPECT_EQ(OidAtlas_MibLine(oid), 0u);
  }
}

// Keys and modules point into the table; translations into one buffer per
// thread, which a failed translation leaves as it was.
TEST(OidAtlasLookup, ReturnedTextsPointIntoTheTableOrTheThreadsBuffer) {
  EXPECT_EQ(OidAtlas_BestKnown(u"1.3.6.1.2.1.1.5.0.1"), OidAtlas_BestKnown(u"1.3.6.1.2.1.1.5"));
  EXPECT_EQ(OidAtlas_MibModule(u"1.3.6.1.2.1.1.7"), OidAtlas_MibModule(u"1.3.6.1.2.1.1.5"));
  const char16_t* first = OidAtlas_Translate(u"1.3.6.1.2.1.1.5.0");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(OidAtlas_Translate(u"1.3.6.1.2.1.2.2.1.2.3"), first);
  EXPECT_EQ(OidAtlas_Translate(u"3.1"), nullptr);
  EXPECT_EQ(Narrow(first), "ifDescr.3");
  std::string theirs;
  std::thread other([&theirs] {
    for (int i = 0; i < 1000; ++i) theirs = Narrow(OidAtlas_Translate(u"1.3.6.1.2.1.1.5.0"));
  });
  other.join();
  EXPECT_EQ(theirs, "sysName.0");
  EXPECT_EQ(Narrow(first), "ifDescr.3");
}

// The name, the rest and the terminator must fit 1024 units; the matched
// key's length does not count.
TEST(OidAtlasTranslate, ResultMustFitTheBuffer) {
  const std::string rest = Arcs(1012) + ".10";                // 1015 units
  EXPECT_EQ(Translate("1.3.6.1" + rest), "internet" + rest);  // 1023 units
  EXPECT_EQ(OidAtlas_Translate(U("1.3.6.1" + rest + "0").c_str()), nullptr);
  EXPECT_EQ(BestKnown("1.3.6.1" + rest + "0"), "1.3.6.1");  // the other exports still answer
  const std::string key = "1.3.6.1.2.1.2.2.1.10";
  const std::string shorter = Arcs(1010) + ".10";  // 1013 units
  EXPECT_EQ(Translate(key + shorter), "ifInOctets" + shorter);
  EXPECT_EQ(OidAtlas_Translate(U(key + shorter + "1").c_str()), nullptr);
  const std::string huge = "1.3.6.1" + Arcs(200000);
  EXPECT_EQ(OidAtlas_Translate(U(huge).c_str()), nullptr);
  EXPECT_EQ(Module(huge), "SNMPv2-SMI");
}

// Every export agrees with exact searches of the OID cut at its dots, for
// OIDs at, below, beside and between the keys of the table. The search must
// follow the fixed probe sequence, so that among records with the same key
// the same one is always returned: the table holds keys whose record found
// is not the first of its key.
TEST(OidAtlasProbe, ExportsAgreeWithSearchesOfEachCut) {
  const std::vector<gen::OidRecordText> records = LoadRecords(OIDATLAS_TEST_RECORDS);
  std::vector<std::u16string> keys;
  size_t not_first = 0;
  for (const gen::OidRecordText& r : records) {
    keys.push_back(r.key);
    const int found = ProbeIndex(records, r.key);
    ASSERT_GE(found, 0);
    not_first += found > 0 && records[found - 1].key == r.key ? 1 : 0;
  }
  ASSERT_GT(not_first, 0u);
  std::set<std::u16string> oids = OidsAround(keys);
  oids.insert({u"0", u"3", u"10", u"1.", u"2.", u"..", u".", u"1.3.6.1.a.1", u"1.3.6.1,2"});
  AtlasLibrary lib(OIDATLAS_TEST_LIBRARY);
  ASSERT_EQ(lib.error, "");
  ExpectAgreesWithCutSearches(lib, records, oids);
}

}  // namespace
}  // namespace oidatlas::test
