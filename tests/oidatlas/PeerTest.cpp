// The real table against Net-SNMP's snmptranslate reading the same modules.
#include "oidatlas/OidNames.h"
#include "tests/common/NetSnmp.h"
#include "tests/oidatlas/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>

namespace oidatlas::test {
namespace {

constexpr size_t kSample = 1000;

// The non-blank lines of `snmptranslate -OS` of the keys (a blank line comes
// between answers), run with no configuration of the machine's or the
// user's own and nothing written outside a folder of the test's.
std::vector<std::string> Snmptranslate(const std::string& mibs, const std::string& modules,
                                       const std::vector<std::u16string>& keys, std::string* err) {
  const TempDir home;
  const std::string h = home.str();
  std::vector<std::string> args = {
      "env", "HOME=" + h, "SNMPCONFPATH=" + h, "SNMP_PERSISTENT_DIR=" + h, "MIBS=", "snmptranslate", "-OS", "-M", mibs,
      "-m",  modules};
  for (const std::u16string& key : keys) args.push_back("." + gen::Utf16ToUtf8(key));
  std::string out;
  netsnmp::Run(args, &out, err);
  std::vector<std::string> lines;
  for (const std::string& line : netsnmp::Lines(out))
    if (!line.empty()) lines.push_back(line);
  return lines;
}

TEST(OidAtlasPeer, NamesAgreeWithSnmptranslate) {
  const std::vector<gen::OidRecordText> records = LoadRecords(OIDATLAS_REAL_RECORDS);
  if (records.size() < 10 * kSample) GTEST_SKIP() << "the committed table holds only " << records.size() << " records";
  const std::filesystem::path mibs = TAVELO_MIBS_DIR;
  if (!std::filesystem::is_directory(mibs)) GTEST_SKIP() << "no MIB folder at " << mibs;
  if (std::system("command -v snmptranslate >/dev/null 2>&1") != 0) GTEST_SKIP() << "snmptranslate not installed";

  AtlasLibrary lib(OIDATLAS_REAL_LIBRARY);
  ASSERT_EQ(lib.error, "");

  // Every "MODULE::name" the table holds per key: modules may name one OID
  // differently, and the peer picks its own among them.
  std::map<std::u16string, std::set<std::string>> names;
  for (const gen::OidRecordText& r : records) {
    names[r.key].insert(gen::Utf16ToUtf8(r.module) + "::" + gen::Utf16ToUtf8(r.name));
  }
  std::vector<std::u16string> keys;
  std::mt19937 rng(7);
  std::uniform_int_distribution<size_t> pick(0, records.size() - 1);
  std::set<std::u16string> drawn;
  std::set<std::string> modules;
  while (drawn.size() < kSample) {
    const gen::OidRecordText& r = records[pick(rng)];
    if (r.module.empty() || !drawn.insert(r.key).second) continue;
    keys.push_back(r.key);
    modules.insert(Narrow(lib.mibModule(r.key.c_str())));
  }

  std::string joined;
  for (const std::string& m : modules) joined += (joined.empty() ? "" : ":") + m;
  std::string err;
  const std::vector<std::string> peer = Snmptranslate(mibs.string(), joined, keys, &err);
  ASSERT_EQ(peer.size(), keys.size()) << err.substr(0, 2000);

  size_t agree = 0;
  for (size_t i = 0; i < keys.size(); ++i) {
    const std::string ours = Narrow(lib.mibModule(keys[i].c_str())) + "::" + Narrow(lib.translate(keys[i].c_str()));
    const std::set<std::string>& known = names[keys[i]];
    if (known.count(ours) == 0) ADD_FAILURE() << "translation " << ours << " is not a name of its key";
    if (known.count(peer[i]) != 0) {
      ++agree;
    } else {
      ADD_FAILURE() << gen::Utf16ToUtf8(keys[i]) << ": ours " << ours << ", snmptranslate " << peer[i];
    }
  }
  EXPECT_EQ(agree, keys.size());
}

// Every OID an IETF or IANA module defines is named as snmptranslate names
// it with all those modules loaded, but for the known differences below.
TEST(OidAtlasPeer, IetfOidsAreNamedAsSnmptranslateNamesThem) {
  const std::filesystem::path mibs = TAVELO_MIBS_DIR;
  std::ifstream list(mibs / "IETF-MODULES.txt");
  if (!list) GTEST_SKIP() << "no MIB collection at " << mibs;
  if (std::system("command -v snmptranslate >/dev/null 2>&1") != 0) GTEST_SKIP() << "snmptranslate not installed";
  TempDir home;
  const std::filesystem::path folder = home.path() / "ietf";
  std::filesystem::create_directories(folder);
  std::set<std::string> ietf;
  for (std::string name; std::getline(list, name);) {
    if (name.empty() || name[0] == '#') continue;
    ietf.insert(name);
    std::filesystem::create_symlink(mibs / (name + ".mib"), folder / (name + ".mib"));
  }
  std::set<std::u16string> keys;
  for (const gen::OidRecordText& r : LoadRecords(OIDATLAS_REAL_RECORDS))
    if (ietf.count(gen::Utf16ToUtf8(r.module)) != 0) keys.insert(r.key);
  ASSERT_GT(keys.size(), 1000u);

  AtlasLibrary lib(OIDATLAS_REAL_LIBRARY);
  ASSERT_EQ(lib.error, "");
  const std::vector<std::u16string> all(keys.begin(), keys.end());
  // Modules that define the same OIDs (ours, snmptranslate's). The table
  // prefers the SMIv2 module to the SMIv1 one it replaced; Net-SNMP keeps the
  // last module it reads. Of modules equal in rank, the table takes the one
  // more modules import, then the first listed. Two modules here also clash:
  // IEEE8021-EVB-MIB and IEEE8021-TEIPS-MIB both claim 1.3.111.2.802.1.1.24.
  const std::set<std::pair<std::string, std::string>> known = {{"OSPF-MIB", "RFC1253-MIB"},
                                                               {"DS1-MIB", "RFC1406-MIB"},
                                                               {"APPLETALK-MIB", "RFC1243-MIB"},
                                                               {"IP-MIB", "RFC1158-MIB"},
                                                               {"TCP-MIB", "RFC1158-MIB"},
                                                               {"IP-MIB", "RFC1213-MIB"},
                                                               {"RFC1213-MIB", "RFC1158-MIB"},
                                                               {"FDDI-SMT73-MIB", "RFC1285-MIB"},
                                                               {"IPV6-UDP-MIB", "UDP-MIB"},
                                                               {"IEEE8021-EVB-MIB", "IEEE8021-TEIPS-MIB"},
                                                               {"DPI20-MIB", "IBM-6611-APPN-MIB"},
                                                               {"IPX", "TCPIPX-MIB"},
                                                               {"IEEE8023-LAG-MIB", "IEEE802dot11-MIB"},
                                                               {"RADIUS-AUTH-CLIENT-MIB", "RADIUS-AUTH-SERVER-MIB"},
                                                               {"RADIUS-ACC-CLIENT-MIB", "RADIUS-AUTH-SERVER-MIB"},
                                                               {"RADIUS-ACC-CLIENT-MIB", "RADIUS-ACC-SERVER-MIB"},
                                                               {"DISMAN-EVENT-MIB", "DISMAN-EXPRESSION-MIB"}};
  const auto module = [](const std::string& name) { return name.substr(0, name.find("::")); };
  size_t differ = 0;
  for (size_t from = 0; from < all.size(); from += 4000) {
    const size_t to = std::min(all.size(), from + 4000);
    std::string err;
    const std::vector<std::string> peer =
        Snmptranslate(folder.string(), "ALL", std::vector<std::u16string>(all.begin() + from, all.begin() + to), &err);
    ASSERT_EQ(peer.size(), to - from) << err.substr(0, 2000);
    for (size_t i = from; i < to; ++i) {
      const char16_t* key = all[i].c_str();
      const std::string ours = Narrow(lib.mibModule(key)) + "::" + Narrow(lib.translate(key));
      const std::string& theirs = peer[i - from];
      if (ours == theirs) continue;
      ++differ;
      // A module declaring one OID twice: the table keeps the first name, Net-SNMP the last.
      if (module(ours) == module(theirs)) continue;
      if (known.count({module(ours), module(theirs)}) == 0)
        ADD_FAILURE() << gen::Utf16ToUtf8(all[i]) << ": ours " << ours << ", snmptranslate " << theirs;
    }
  }
  std::printf("%zu IETF OIDs, %zu named otherwise than by snmptranslate\n", all.size(), differ);
}

// The real table's answers for OIDs around a sample of its keys match exact
// searches of each cut, as the plain search over the table would give them.
TEST(OidAtlasRealTable, ExportsAgreeWithSearchesOfEachCut) {
  const std::vector<gen::OidRecordText> records = LoadRecords(OIDATLAS_REAL_RECORDS);
  std::vector<std::u16string> keys;
  std::mt19937 rng(11);
  for (const gen::OidRecordText& r : records) {
    if (rng() % 40 == 0) keys.push_back(r.key);
  }
  for (const gen::OidRecordText& r : records) {
    if (r.key.size() <= 8) keys.push_back(r.key);  // all the upper arcs
  }
  AtlasLibrary lib(OIDATLAS_REAL_LIBRARY);
  ASSERT_EQ(lib.error, "");
  const std::set<std::u16string> oids = OidsAround(keys);
  ExpectAgreesWithCutSearches(lib, records, oids);
  // The statically linked table answers as the library does, from one search.
  for (const std::u16string& oid : oids) {
    const KnownName known = FindBestKnownName(oid.c_str());
    const std::string translation =
        known.name ? Narrow(known.name) + gen::Utf16ToUtf8(oid.substr(known.matched)) : "(null)";
    ASSERT_EQ(translation, Narrow(lib.translate(oid.c_str()))) << gen::Utf16ToUtf8(oid);
    ASSERT_EQ(known.name ? Narrow(known.module) : "(null)", Narrow(lib.mibModule(oid.c_str())));
    ASSERT_EQ(known.line, lib.mibLine(oid.c_str()));
  }
}

}  // namespace
}  // namespace oidatlas::test
