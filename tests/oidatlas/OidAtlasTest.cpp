// liboidatlas: the four exports against the table built from test-records.tsv,
// the table generator, and the real table against Net-SNMP's snmptranslate.
#include "oidatlas/OidAtlas.h"

#include "oidatlas/generator/OidRecordList.h"
#include "tests/common/NetSnmp.h"
#include "tests/common/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

namespace oidatlas::test {
namespace {

std::u16string U(const std::string& text) {
  std::u16string out;
  EXPECT_TRUE(gen::Utf8ToUtf16(text, &out)) << text;
  return out;
}
std::string Narrow(const char16_t* text) { return text == nullptr ? "(null)" : gen::Utf16ToUtf8(text); }

// The finished record list of a TSV file (roots added, sorted).
std::vector<gen::OidRecordText> LoadRecords(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  gen::OidRecordList list;
  std::string error;
  if (!list.ReadTsv(in, path, &error)) throw std::runtime_error(error);
  list.Finish();
  return list.Records();
}

// Index of the record the table's exact search returns for key, or -1: lo = 0,
// hi = count (a terminator above every key), mid = (lo + hi) / 2.
int ProbeIndex(const std::vector<gen::OidRecordText>& records, const std::u16string& key) {
  int lo = 0;
  int hi = static_cast<int>(records.size());
  while (lo <= hi) {
    const int mid = (lo + hi) / 2;
    const int c = mid == static_cast<int>(records.size()) ? -1 : key.compare(records[mid].key);
    if (c == 0) return mid;
    if (c < 0) hi = mid - 1;
    if (c > 0) lo = mid + 1;
  }
  return -1;
}

// The four exports, resolved by name from a library loaded with dlopen.
struct AtlasLibrary {
  explicit AtlasLibrary(const char* path) : handle(dlopen(path, RTLD_NOW | RTLD_LOCAL), &dlclose) {}
  template <class F>
  F* Export(const char* name) const {
    return handle ? reinterpret_cast<F*>(dlsym(handle.get(), name)) : nullptr;
  }
  bool Loaded() const { return bestKnown && translate && mibModule && mibLine; }

  std::unique_ptr<void, int (*)(void*)> handle;
  decltype(OidAtlas_BestKnown)* bestKnown = Export<decltype(OidAtlas_BestKnown)>("OidAtlas_BestKnown");
  decltype(OidAtlas_Translate)* translate = Export<decltype(OidAtlas_Translate)>("OidAtlas_Translate");
  decltype(OidAtlas_MibModule)* mibModule = Export<decltype(OidAtlas_MibModule)>("OidAtlas_MibModule");
  decltype(OidAtlas_MibLine)* mibLine = Export<decltype(OidAtlas_MibLine)>("OidAtlas_MibLine");
};

std::string Translate(const std::string& oid) { return Narrow(OidAtlas_Translate(U(oid).c_str())); }
std::string BestKnown(const std::string& oid) { return Narrow(OidAtlas_BestKnown(U(oid).c_str())); }
std::string Module(const std::string& oid) { return Narrow(OidAtlas_MibModule(U(oid).c_str())); }

// The suffix ".1.1.1..." of exactly n units (n even).
std::string Arcs(size_t n) {
  std::string s;
  while (s.size() < n) s += ".1";
  return s;
}

// What the four exports give for an OID.
struct Lookup {
  const char* oid;
  const char* best_known;
  const char* translation;
  const char* module;
  uint32_t line;
};

const Lookup kLookups[] = {
    {"1.3.6.1.2.1.1.5", "1.3.6.1.2.1.1.5", "sysName", "SNMPv2-MIB", 142},
    {"1.3.6.1.2.1.2.2.1.2.3", "1.3.6.1.2.1.2.2.1.2", "ifDescr.3", "IF-MIB", 207},
    // Arcs compared whole: ...1.1.1 exists, ...1.1.10 does not.
    {"1.3.6.1.2.1.1.10.0", "1.3.6.1.2.1.1", "system.10.0", "SNMPv2-MIB", 80},
    // ...1.2, ...1.2.5 and ...1.2.5.1 sort between ...1 and ...1.29 but are no cut of it.
    {"1.3.6.1.2.1.2.2.1.29", "1.3.6.1.2.1.2.2.1", "ifEntry.29", "IF-MIB", 134},
    {"2.999.1", "2", "iso-ccitt.999.1", "", 0},  // after every key: the root
    {"3.1", "(null)", "(null)", "(null)", 0},
    {"9.1", "(null)", "(null)", "(null)", 0},
    {".1.3", "(null)", "(null)", "(null)", 0},
    {"1.3.6.1..", "1.3.6.1", "internet..", "SNMPv2-SMI", 37},
    {"1.3.6.1.4.1.99998.1.7", "1.3.6.1.4.1.99998.1", "\u00fcn\u00efc\u00f8d\u00e9\U0001F600.7", "T\u00c9ST-MIB", 5},
    {"1.3.6.1.4.1.99998.2", "1.3.6.1.4.1.99998.2", "quote\"back\\slash?", "T\u00c9ST-MIB", 6},
    // Equal keys: of records 12 to 14 (of 26) the probe 13 finds the middle one; of 6 to 8 the probes 13, 6 the first.
    {"1.3.6.1.2.1.1.1.0", "1.3.6.1.2.1.1.1", "sysDescr.0", "RFC1213-MIB", 81},
    {"1.3.6.1.99", "1.3.6.1", "internet.99", "SNMPv2-SMI", 37},
};

TEST(OidAtlasLookup, ExportsGiveTheExpectedRecord) {
  for (const Lookup& c : kLookups) {
    SCOPED_TRACE(c.oid);
    EXPECT_EQ(BestKnown(c.oid), c.best_known);
    EXPECT_EQ(Translate(c.oid), c.translation);
    EXPECT_EQ(Module(c.oid), c.module);
    EXPECT_EQ(OidAtlas_MibLine(U(c.oid).c_str()), c.line);
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
  EXPECT_EQ(OidAtlas_MibModule(u"1.3.6.1.2.1.1.99"), OidAtlas_MibModule(u"1.3.6.1.2.1.1.5"));
  const char16_t* first = OidAtlas_Translate(u"1.3.6.1.2.1.1.5.0");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(OidAtlas_Translate(u"1.3.6.1.2.1.2.2.1.2.3"), first);
  EXPECT_EQ(OidAtlas_Translate(u"3.1"), nullptr);
  std::string theirs;
  std::thread([&theirs] { theirs = Narrow(OidAtlas_Translate(u"1.3.6.1.2.1.1.5.0")); }).join();
  EXPECT_EQ(theirs, "sysName.0");
  EXPECT_EQ(Narrow(first), "ifDescr.3");
}

// The name, the rest and the terminator must fit 1024 units.
TEST(OidAtlasTranslate, ResultMustFitTheBuffer) {
  const std::string rest = Arcs(1012) + ".10";                // 1015 units
  EXPECT_EQ(Translate("1.3.6.1" + rest), "internet" + rest);  // 1023 units
  EXPECT_EQ(OidAtlas_Translate(U("1.3.6.1" + rest + "0").c_str()), nullptr);
  EXPECT_EQ(BestKnown("1.3.6.1" + rest + "0"), "1.3.6.1");
  const std::string huge = "1.3.6.1" + Arcs(200000);
  EXPECT_EQ(OidAtlas_Translate(U(huge).c_str()), nullptr);
  EXPECT_EQ(Module(huge), "SNMPv2-SMI");
}

// Every export, called by name through dlopen, agrees with exact searches of
// the OID cut at its dots, for OIDs at, below, beside and between the keys.
TEST(OidAtlasProbe, ExportsAgreeWithSearchesOfEachCut) {
  const std::vector<gen::OidRecordText> records = LoadRecords(OIDATLAS_TEST_RECORDS);
  std::set<std::u16string> oids = {u"0", u"3", u"10", u"1.", u"..", u".", u"1.3.6.1.a.1", u"1.3.6.1,2"};
  size_t not_first = 0;
  for (const gen::OidRecordText& r : records) {
    const int found = ProbeIndex(records, r.key);
    ASSERT_GE(found, 0);
    not_first += found > 0 && records[found - 1].key == r.key ? 1 : 0;
    for (const char16_t* tail : {u"", u".0", u".1.2", u"0", u"9", u".", u"..", u".99999999", u"/", u":"})
      oids.insert(r.key + tail);
    oids.insert(r.key.substr(0, r.key.size() - 1));
  }
  ASSERT_GT(not_first, 0u);
  AtlasLibrary lib(OIDATLAS_TEST_LIBRARY);
  ASSERT_TRUE(lib.Loaded());
  for (const std::u16string& oid : oids) {
    SCOPED_TRACE(gen::Utf16ToUtf8(oid));
    std::u16string cut = oid;
    int want = ProbeIndex(records, cut);
    while (want < 0 && !cut.empty()) {
      cut.resize(cut.rfind(u'.') == std::u16string::npos ? 0 : cut.rfind(u'.'));
      want = ProbeIndex(records, cut);
    }
    const gen::OidRecordText* r = want < 0 ? nullptr : &records[want];
    EXPECT_EQ(Narrow(lib.bestKnown(oid.c_str())), r ? gen::Utf16ToUtf8(r->key) : "(null)");
    EXPECT_EQ(Narrow(lib.translate(oid.c_str())), r ? gen::Utf16ToUtf8(r->name + oid.substr(cut.size())) : "(null)");
    EXPECT_EQ(Narrow(lib.mibModule(oid.c_str())), r ? gen::Utf16ToUtf8(r->module) : "(null)");
    EXPECT_EQ(lib.mibLine(oid.c_str()), r ? r->line : 0u);
  }
}

TEST(OidAtlasGenerator, BadLinesAreRefusedWithTheirPlace) {
  const std::pair<const char*, const char*> cases[] = {
      {"1.3\tname\tM\n", "expected 4 tab-separated fields"},
      {"1.3\tname\tM\t1\textra\n", "expected 4 tab-separated fields"},
      {"1.3a\tname\tM\t1\n", "neither a digit nor a dot"},
      {"1.3\tna\xff\tM\t1\n", "malformed UTF-8"},
      {"1.3\tname\tM\xc0\xae\t1\n", "malformed UTF-8"},  // overlong
      {"1.3\tname\tM\t4294967296\n", "line number '4294967296'"},
      {"1.03\tname\tM\t1\n", "leading zero"},
      {"1.3.\tname\tM\t1\n", "empty arc"},
      {"3.1\tname\tM\t1\n", "first arc"},
      {"1.3\t\tM\t1\n", "empty name"},
      {"1.3\tname\tM\xed\xa0\x80\t1\n", "malformed UTF-8"},  // encoded surrogate
      {"1.3\tname\tM\xe2\x82\t1\n", "malformed UTF-8"},      // cut short
  };
  for (const auto& [line, message] : cases) {
    SCOPED_TRACE(line);
    gen::OidRecordList list;
    std::string error;
    std::istringstream in(std::string("# header\r\n1.3.6\tdod\tM\t1\r\n") + line);
    EXPECT_FALSE(list.ReadTsv(in, "list.tsv", &error));
    EXPECT_NE(error.find("list.tsv:3: "), std::string::npos) << error;
    EXPECT_NE(error.find(message), std::string::npos) << error;
    EXPECT_TRUE(list.Records().empty());  // nothing from a bad list is kept
  }
}

class OidAtlasGeneratorTool : public ::testing::Test {
 protected:
  int Run(const std::string& args) {
    const int status = std::system((std::string(OIDATLAS_GEN) + " " + args + " 2>" + P("err")).c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Slurp(const std::string& name) const { return ReadFileBytes(m_dir.path() / name); }
  void Put(const std::string& name, const std::string& text) const { WriteFileBytes(m_dir.path() / name, text); }
  void Module(const std::string& name, const std::string& body) const {
    Put(name + ".mib", name + " DEFINITIONS ::= BEGIN\n" + body + "END\n");
  }
  std::string P(const std::string& name) const { return m_dir.str(name); }

  TempDir m_dir;
};

TEST_F(OidAtlasGeneratorTool, WritesBothOutputsAndKeepsThemOnBadInput) {
  Put("good.tsv", "1.3.6.1\tinternet\tSNMPv2-SMI\t4294967295\n");
  const std::string outputs = " --tsv " + P("out.tsv") + " --cpp " + P("out.cpp");
  ASSERT_EQ(Run("--records " + P("good.tsv") + outputs), 0) << Slurp("err");
  const std::string tsv = Slurp("out.tsv");
  const std::string cpp = Slurp("out.cpp");
  EXPECT_NE(tsv.find("1.3.6.1\tinternet\tSNMPv2-SMI\t4294967295\n2\tiso-ccitt\t\t0\n"), std::string::npos) << tsv;
  EXPECT_NE(cpp.find("kRecordCount = 4;"), std::string::npos);

  Put("bad.tsv", "1.3.6.1\tinternet\tSNMPv2-SMI\t37\n1.3.6.x\tdod\tM\t1\n");
  EXPECT_EQ(Run("--records " + P("good.tsv") + " --records " + P("bad.tsv") + outputs), 1);
  EXPECT_NE(Slurp("err").find("bad.tsv:2: "), std::string::npos) << Slurp("err");
  EXPECT_EQ(Run("--records " + P("missing.tsv") + outputs), 1);
  EXPECT_NE(Slurp("err").find("cannot open"), std::string::npos);
  EXPECT_EQ(Slurp("out.tsv"), tsv);
  EXPECT_EQ(Slurp("out.cpp"), cpp);
  EXPECT_EQ(Run("--records a.tsv --max-records 0 --tsv y"), 2);
  EXPECT_NE(Slurp("err").find("usage: oidatlas_gen"), std::string::npos);
}

#ifdef OIDATLAS_WITH_SMI
// Listed modules in list order, then the folder's others in name order while
// the records stay within the limit; a module that does not load is skipped.
// Of modules defining one OID, lookups find a listed one's before another's
// (SMIv2 or not), then the one more modules import.
TEST_F(OidAtlasGeneratorTool, ReadsMibModulesWithTheSmiLoader) {
  Module("ALPHA-MIB",
         "alphaRoot OBJECT IDENTIFIER ::= { iso 3 6 1 4 1 99990 }\nalphaOne OBJECT IDENTIFIER ::= { alphaRoot 1 }\n"
         "alphaTwo OBJECT IDENTIFIER ::= { alphaRoot 2 }\n");
  Module("BETA-MIB",
         "IMPORTS alphaRoot FROM ALPHA-MIB;\nbetaOne OBJECT IDENTIFIER ::= { alphaRoot 1 }\n"
         "betaDeep OBJECT IDENTIFIER ::= { betaOne 7 3 }\n");
  Module("BROKEN-MIB", "brokenThing OBJECT IDENTIFIER ::= { alphaRoot\n");
  Module("DELTA-MIB", "deltaA OBJECT IDENTIFIER ::= { iso 3 6 1 4 1 99992 }\n");
  Module("GAMMA-MIB",
         "gammaA OBJECT IDENTIFIER ::= { iso 3 6 1 4 1 99991 }\ngammaB OBJECT IDENTIFIER ::= { gammaA 1 }\n");
  Module("SNMPv2-SMI", "enterprises OBJECT IDENTIFIER ::= { iso 3 6 1 4 1 }\n");
  Module("NEW-MIB", "IMPORTS enterprises FROM SNMPv2-SMI;\nnewOne OBJECT IDENTIFIER ::= { enterprises 99990 1 }\n");
  Put("list.txt", "BETA-MIB\nALPHA-MIB\n");
  const auto found = [&] {
    const std::vector<gen::OidRecordText> records = LoadRecords(P("out.tsv"));
    return gen::Utf16ToUtf8(records.at(ProbeIndex(records, u"1.3.6.1.4.1.99990.1")).name);
  };
  const std::string common = "--mib-folder " + m_dir.str() + " --modules-file " + P("list.txt") +
                             " --fill-from-folder --tsv " + P("out.tsv") + " --max-records ";

  // 5 records listed, DELTA-MIB's 1 reaches the limit, GAMMA-MIB's 2 would pass it.
  ASSERT_EQ(Run(common + "6"), 0) << Slurp("err");
  const std::string tsv = Slurp("out.tsv");
  EXPECT_EQ(found(), "alphaOne");  // listed second, but BETA-MIB imports from it
  EXPECT_NE(tsv.find("1.3.6.1.4.1.99990.1.7.3\tbetaDeep\tBETA-MIB\t4\n"), std::string::npos) << tsv;
  EXPECT_NE(tsv.find("1.3.6.1.4.1.99992\tdeltaA\tDELTA-MIB\t2\n"), std::string::npos) << tsv;
  EXPECT_EQ(tsv.find("GAMMA-MIB"), std::string::npos) << tsv;
  EXPECT_NE(Slurp("err").find("skipped BROKEN-MIB: syntax error"), std::string::npos) << Slurp("err");
  EXPECT_NE(Slurp("err").find("Line:3"), std::string::npos) << Slurp("err");
  ASSERT_EQ(Run(common + "100"), 0) << Slurp("err");
  EXPECT_NE(Slurp("out.tsv").find("1.3.6.1.4.1.99991.1\tgammaB\tGAMMA-MIB\t3\n"), std::string::npos);
  EXPECT_NE(Slurp("out.tsv").find("\tnewOne\tNEW-MIB\t"), std::string::npos);
  EXPECT_EQ(found(), "alphaOne");

  EXPECT_EQ(Run("--mib-folder " + P("nowhere") + " --tsv " + P("out.tsv")), 1);
  EXPECT_NE(Slurp("err").find("no folder"), std::string::npos);
}

#endif

class OidAtlasPeer : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::is_directory(m_mibs)) GTEST_SKIP() << "no MIB folder at " << m_mibs;
    if (std::system("command -v snmptranslate >/dev/null 2>&1") != 0) GTEST_SKIP() << "snmptranslate not installed";
    ASSERT_TRUE(m_lib.Loaded());
  }
  std::string Ours(const std::u16string& key) const {
    return Narrow(m_lib.mibModule(key.c_str())) + "::" + Narrow(m_lib.translate(key.c_str()));
  }
  // The non-blank lines of `snmptranslate -OS` of the keys, with no
  // configuration of the machine's or the user's own.
  std::vector<std::string> Snmptranslate(const std::string& mibs, const std::string& modules,
                                         const std::vector<std::u16string>& keys) const {
    const std::string h = m_home.str();
    std::vector<std::string> args = {"env", "HOME=" + h, "SNMPCONFPATH=" + h, "SNMP_PERSISTENT_DIR=" + h, "MIBS="};
    args.insert(args.end(), {"snmptranslate", "-OS", "-M", mibs, "-m", modules});
    for (const std::u16string& key : keys) args.push_back("." + gen::Utf16ToUtf8(key));
    std::string out, err;
    netsnmp::Run(args, &out, &err);
    std::vector<std::string> lines;
    for (const std::string& line : netsnmp::Lines(out))
      if (!line.empty()) lines.push_back(line);
    EXPECT_EQ(lines.size(), keys.size()) << err.substr(0, 2000);
    return lines;
  }

  const std::filesystem::path m_mibs = TAVELO_MIBS_DIR;
  const std::vector<gen::OidRecordText> m_records = LoadRecords(OIDATLAS_REAL_RECORDS);
  AtlasLibrary m_lib{OIDATLAS_REAL_LIBRARY};
  TempDir m_home;
};

// 1,000 keys drawn from the table, snmptranslate loading their modules: its
// name is one the table holds for the key, and so is ours.
TEST_F(OidAtlasPeer, NamesAgreeWithSnmptranslate) {
  constexpr size_t kSample = 1000;
  std::map<std::u16string, std::set<std::string>> names;
  for (const gen::OidRecordText& r : m_records)
    names[r.key].insert(gen::Utf16ToUtf8(r.module) + "::" + gen::Utf16ToUtf8(r.name));
  ASSERT_GT(names.size(), 10 * kSample);
  std::vector<std::u16string> keys;
  std::mt19937 rng(7);
  std::uniform_int_distribution<size_t> pick(0, m_records.size() - 1);
  std::set<std::string> modules;
  while (keys.size() < kSample) {
    const gen::OidRecordText& r = m_records[pick(rng)];
    if (r.module.empty() || std::find(keys.begin(), keys.end(), r.key) != keys.end()) continue;
    keys.push_back(r.key);
    modules.insert(Narrow(m_lib.mibModule(r.key.c_str())));
  }
  std::string joined;
  for (const std::string& m : modules) joined += (joined.empty() ? "" : ":") + m;
  const std::vector<std::string> peer = Snmptranslate(m_mibs.string(), joined, keys);
  ASSERT_EQ(peer.size(), keys.size());
  for (size_t i = 0; i < keys.size(); ++i) {
    const std::set<std::string>& known = names[keys[i]];
    EXPECT_EQ(known.count(Ours(keys[i])), 1u) << Ours(keys[i]) << " is not a name of its key";
    EXPECT_EQ(known.count(peer[i]), 1u) << gen::Utf16ToUtf8(keys[i]) << ": ours " << Ours(keys[i]) << ", snmptranslate "
                                        << peer[i];
  }
}

// Every OID an IETF or IANA module defines is named as snmptranslate -m ALL
// names it over those modules, but where two modules define it and the
// table prefers SMIv2 to SMIv1, or the more imported module (Net-SNMP keeps
// the last one read). Within one module the table keeps the first name.
TEST_F(OidAtlasPeer, IetfOidsAreNamedAsSnmptranslateNamesThem) {
  std::ifstream list(m_mibs / "IETF-MODULES.txt");
  ASSERT_TRUE(list) << "no IETF-MODULES.txt in " << m_mibs;
  const std::filesystem::path folder = m_home.path() / "ietf";
  std::filesystem::create_directories(folder);
  std::set<std::string> ietf;
  for (std::string name; std::getline(list, name);) {
    if (name.empty() || name[0] == '#') continue;
    ietf.insert(name);
    std::filesystem::create_symlink(m_mibs / (name + ".mib"), folder / (name + ".mib"));
  }
  std::set<std::u16string> keys;
  for (const gen::OidRecordText& r : m_records)
    if (ietf.count(gen::Utf16ToUtf8(r.module)) != 0) keys.insert(r.key);
  ASSERT_GT(keys.size(), 1000u);
  // "ours theirs;" pairs. IEEE8021-EVB-MIB and IEEE8021-TEIPS-MIB both claim 1.3.111.2.802.1.1.24.
  const std::string known =
      ";OSPF-MIB RFC1253-MIB;DS1-MIB RFC1406-MIB;APPLETALK-MIB RFC1243-MIB;IP-MIB RFC1158-MIB;TCP-MIB RFC1158-MIB;"
      "IP-MIB RFC1213-MIB;RFC1213-MIB RFC1158-MIB;FDDI-SMT73-MIB RFC1285-MIB;IPV6-UDP-MIB UDP-MIB;"
      "IEEE8021-EVB-MIB IEEE8021-TEIPS-MIB;DPI20-MIB IBM-6611-APPN-MIB;IPX TCPIPX-MIB;"
      "IEEE8023-LAG-MIB IEEE802dot11-MIB;RADIUS-AUTH-CLIENT-MIB RADIUS-AUTH-SERVER-MIB;"
      "RADIUS-ACC-CLIENT-MIB RADIUS-AUTH-SERVER-MIB;RADIUS-ACC-CLIENT-MIB RADIUS-ACC-SERVER-MIB;"
      "DISMAN-EVENT-MIB DISMAN-EXPRESSION-MIB;";
  const auto module = [](const std::string& name) { return name.substr(0, name.find("::")); };
  const std::vector<std::u16string> all(keys.begin(), keys.end());
  for (size_t from = 0; from < all.size(); from += 4000) {
    const size_t to = std::min(all.size(), from + 4000);
    const std::vector<std::string> peer =
        Snmptranslate(folder.string(), "ALL", std::vector<std::u16string>(all.begin() + from, all.begin() + to));
    ASSERT_EQ(peer.size(), to - from);
    for (size_t i = from; i < to; ++i) {
      const std::string ours = Ours(all[i]);
      const std::string& theirs = peer[i - from];
      if (ours == theirs) continue;
      if (module(ours) == module(theirs)) continue;
      EXPECT_NE(known.find(";" + module(ours) + " " + module(theirs) + ";"), std::string::npos)
          << gen::Utf16ToUtf8(all[i]) << ": ours " << ours << ", snmptranslate " << theirs;
    }
  }
}

}  // namespace
}  // namespace oidatlas::test
