// The real table against Net-SNMP's snmptranslate reading the same modules.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <random>
#include <set>

#include "tests/common/NetSnmp.h"
#include "tests/oidatlas/TestSupport.h"

namespace oidatlas::test {
namespace {

constexpr size_t kSample = 1000;

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

  TempDir conf;  // no snmp.conf of the machine or the user, and nothing written outside
  const std::string home = conf.path().string();
  std::string joined;
  for (const std::string& m : modules) joined += (joined.empty() ? "" : ":") + m;
  std::vector<std::string> args = {"env", "HOME=" + home, "SNMPCONFPATH=" + home, "SNMP_PERSISTENT_DIR=" + home,
                                   "MIBS=", "snmptranslate", "-OS", "-M", mibs.string(), "-m", joined};
  for (const std::u16string& key : keys) args.push_back("." + gen::Utf16ToUtf8(key));
  std::string out, err;
  netsnmp::Run(args, &out, &err);
  std::vector<std::string> peer;
  for (const std::string& line : netsnmp::Lines(out))
    if (!line.empty()) peer.push_back(line);  // snmptranslate puts a blank line between answers
  ASSERT_EQ(peer.size(), keys.size());

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
  ExpectAgreesWithCutSearches(lib, records, OidsAround(keys));
}

}  // namespace
}  // namespace oidatlas::test
