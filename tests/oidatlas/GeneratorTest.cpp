// The table generator: record lists in, sorted table out, bad input refused.
#include "oidatlas/generator/OidRecordList.h"
#include "tests/common/NetSnmp.h"
#include "tests/oidatlas/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace oidatlas::test {
namespace {

using gen::OidRecordList;
using gen::OidRecordText;

std::vector<std::string> Rows(const OidRecordList& list) {
  std::vector<std::string> rows;
  for (const OidRecordText& r : list.Records()) {
    rows.push_back(gen::Utf16ToUtf8(r.key) + " " + gen::Utf16ToUtf8(r.name) + " " + gen::Utf16ToUtf8(r.module) + " " +
                   std::to_string(r.line));
  }
  return rows;
}

bool Read(OidRecordList* list, const std::string& text, std::string* error) {
  std::istringstream in(text);
  return list->ReadTsv(in, "list.tsv", error);
}

// Read with comments, blank lines and CR LF; written and read back the same.
TEST(OidAtlasGenerator, FinishAddsRootsDropsRepeatsSortsByCodeUnitsAndSurvivesWriteAndRead) {
  OidRecordList list;
  std::string error;
  ASSERT_TRUE(Read(&list,
                   "# c\r\n\r\n"
                   "1.2\tb\tM2\t5\n"
                   "1.10\tn\u00e4me\U0001F600\tM1\t4294967295\r\n"
                   "1\tiso\tSOME-SMI\t3\n"
                   "1.2\tb2\tM1\t6\n"
                   "1.2\tb3\tM2\t7\n"  // same key and module as the first: dropped
                   "0.0\tzeroDotZero\tSNMPv2-SMI\t9\n",
                   &error))
      << error;
  list.Finish();
  const std::vector<std::string> want = {
      "0 ccitt  0",
      "0.0 zeroDotZero SNMPv2-SMI 9",
      "1 iso  0",
      "1 iso SOME-SMI 3",
      "1.10 n\u00e4me\U0001F600 M1 4294967295",
      "1.2 b M2 5",
      "1.2 b2 M1 6",
      "2 iso-ccitt  0",
  };
  EXPECT_EQ(Rows(list), want);
  std::ostringstream out;
  list.WriteTsv(out);
  OidRecordList again;
  ASSERT_TRUE(Read(&again, out.str(), &error)) << error;
  again.Finish();
  EXPECT_EQ(Rows(again), want);
}

TEST(OidAtlasGenerator, BadLinesAreRefusedWithTheirPlace) {
  const std::pair<const char*, const char*> cases[] = {
      {"1.3\tname\tM\n", "expected 4 tab-separated fields"},
      {"1.3\tname\tM\t1\textra\n", "expected 4 tab-separated fields"},
      {"1.3\tname\tM\tx\n", "line number 'x'"},
      {"1.3\tname\tM\t4294967296\n", "line number '4294967296'"},
      {"1.03\tname\tM\t1\n", "leading zero"},
      {"1..3\tname\tM\t1\n", "empty arc"},
      {"1.3.\tname\tM\t1\n", "empty arc"},
      {"1.3a\tname\tM\t1\n", "neither a digit nor a dot"},
      {"3.1\tname\tM\t1\n", "first arc"},
      {"\tname\tM\t1\n", "empty OID"},
      {"1.3\t\tM\t1\n", "empty name"},
      {"1.3\tna\xff"
       "me\tM\t1\n",
       "malformed UTF-8"},
      {"1.3\tname\tM\xed\xa0\x80\t1\n", "malformed UTF-8"},  // encoded surrogate
      {"1.3\tname\tM\xc0\xae\t1\n", "malformed UTF-8"},      // overlong
      {"1.3\tname\tM\xe2\x82\t1\n", "malformed UTF-8"},      // cut short
  };
  for (const auto& [line, message] : cases) {
    SCOPED_TRACE(line);
    OidRecordList list;
    std::string error;
    EXPECT_FALSE(Read(&list, std::string("# header\n1.3.6\tdod\tM\t1\n") + line, &error));
    EXPECT_NE(error.find("list.tsv:3: "), std::string::npos) << error;
    EXPECT_NE(error.find(message), std::string::npos) << error;
    EXPECT_TRUE(list.Records().empty());  // nothing from a bad list is kept
  }
}

class OidAtlasGeneratorTool : public ::testing::Test {
 protected:
  int Run(const std::string& args) {
    const std::string cmd = std::string(OIDATLAS_GEN) + " " + args + " 2>" + (dir.path() / "err").string();
    const int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Slurp(const std::string& name) { return netsnmp::ReadAll(P(name)); }
  void Put(const std::string& name, const std::string& text) {
    std::ofstream(dir.path() / name, std::ios::binary) << text;
  }
  std::string P(const std::string& name) { return (dir.path() / name).string(); }

  TempDir dir;
};

TEST_F(OidAtlasGeneratorTool, WritesBothOutputsAndKeepsThemOnBadInput) {
  Put("good.tsv", "1.3.6.1\tinternet\tSNMPv2-SMI\t37\n");
  ASSERT_EQ(Run("--records " + P("good.tsv") + " --tsv " + P("out.tsv") + " --cpp " + P("out.cpp")), 0) << Slurp("err");
  const std::string tsv = Slurp("out.tsv");
  const std::string cpp = Slurp("out.cpp");
  EXPECT_NE(tsv.find("1.3.6.1\tinternet\tSNMPv2-SMI\t37\n"), std::string::npos);
  EXPECT_NE(tsv.find("2\tiso-ccitt\t\t0\n"), std::string::npos);
  EXPECT_NE(cpp.find("kRecordCount = 4;"), std::string::npos);

  Put("bad.tsv", "1.3.6.1\tinternet\tSNMPv2-SMI\t37\n1.3.6.x\tdod\tM\t1\n");
  EXPECT_EQ(Run("--records " + P("good.tsv") + " --records " + P("bad.tsv") + " --tsv " + P("out.tsv") + " --cpp " +
                P("out.cpp")),
            1);
  EXPECT_NE(Slurp("err").find("bad.tsv:2: "), std::string::npos) << Slurp("err");
  EXPECT_EQ(Slurp("out.tsv"), tsv);
  EXPECT_EQ(Slurp("out.cpp"), cpp);

  EXPECT_EQ(Run("--records " + P("missing.tsv") + " --tsv " + P("out.tsv")), 1);
  EXPECT_NE(Slurp("err").find("cannot open"), std::string::npos);
  EXPECT_EQ(Slurp("out.tsv"), tsv);
}

TEST_F(OidAtlasGeneratorTool, WrongArgumentsGiveUsage) {
  for (const char* args :
       {"", "--records", "--records a.tsv", "--bogus x --tsv y", "stray", "--records a.tsv --max-records 0 --tsv y",
        "--records a.tsv --max-records x1 --tsv y", "--records a.tsv --fill-from-folder --tsv y"}) {
    SCOPED_TRACE(args);
    EXPECT_EQ(Run(args), 2);
    EXPECT_NE(Slurp("err").find("usage: oidatlas_gen"), std::string::npos);
  }
}

#ifdef OIDATLAS_WITH_SMI
// MIB modules in, through the SMI loader: listed modules first in list
// order, then the folder's others in name order within the record limit.
TEST_F(OidAtlasGeneratorTool, ReadsMibModulesWithTheSmiLoader) {
  Put("ALPHA-MIB.mib",
      "ALPHA-MIB DEFINITIONS ::= BEGIN\n\nalphaRoot OBJECT IDENTIFIER ::= { iso 3 6 1 4 1 99990 }\n"
      "alphaOne OBJECT IDENTIFIER ::= { alphaRoot 1 }\nalphaTwo OBJECT IDENTIFIER ::= { alphaRoot 2 }\nEND\n");
  Put("BETA-MIB.mib",
      "BETA-MIB DEFINITIONS ::= BEGIN\nIMPORTS\n    alphaRoot FROM ALPHA-MIB;\n"
      "betaOne OBJECT IDENTIFIER ::= { alphaRoot 1 }\nbetaDeep OBJECT IDENTIFIER ::= { betaOne 7 3 }\nEND\n");
  Put("BROKEN-MIB.mib", "BROKEN-MIB DEFINITIONS ::= BEGIN\nbrokenThing OBJECT IDENTIFIER ::= { alphaRoot\nEND\n");
  Put("DELTA-MIB.mib", "DELTA-MIB DEFINITIONS ::= BEGIN\ndeltaA OBJECT IDENTIFIER ::= { iso 3 6 1 4 1 99992 }\nEND\n");
  Put("GAMMA-MIB.mib",
      "GAMMA-MIB DEFINITIONS ::= BEGIN\ngammaA OBJECT IDENTIFIER ::= { iso 3 6 1 4 1 99991 }\n"
      "gammaB OBJECT IDENTIFIER ::= { gammaA 1 }\nEND\n");
  Put("list.txt", "BETA-MIB\nALPHA-MIB\n");
  const std::string common = "--mib-folder " + dir.path().string() + " --modules-file " + P("list.txt") +
                             " --fill-from-folder --tsv " + P("out.tsv") + " --max-records ";

  // 5 records from the list, 1 from DELTA-MIB; GAMMA-MIB's 2 would pass 7.
  ASSERT_EQ(Run(common + "7"), 0) << Slurp("err");
  const std::string tsv = Slurp("out.tsv");
  // Of equal keys from listed modules of one SMI, the lookup finds the one
  // the other imports from, though listed second; BETA-MIB's deeper arcs kept.
  const std::vector<gen::OidRecordText> records = LoadRecords(P("out.tsv"));
  const int chosen = ProbeIndex(records, u"1.3.6.1.4.1.99990.1");
  ASSERT_GE(chosen, 0);
  EXPECT_EQ(gen::Utf16ToUtf8(records[chosen].module), "ALPHA-MIB");
  EXPECT_NE(tsv.find("1.3.6.1.4.1.99990.1\talphaOne\tALPHA-MIB\t4\n"), std::string::npos) << tsv;
  EXPECT_NE(tsv.find("1.3.6.1.4.1.99990.1.7.3\tbetaDeep\tBETA-MIB\t5\n"), std::string::npos) << tsv;
  EXPECT_NE(tsv.find("1.3.6.1.4.1.99992\tdeltaA\tDELTA-MIB\t2\n"), std::string::npos) << tsv;
  EXPECT_EQ(tsv.find("GAMMA-MIB"), std::string::npos) << tsv;
  EXPECT_NE(Slurp("err").find("skipped BROKEN-MIB: "), std::string::npos) << Slurp("err");
  EXPECT_NE(Slurp("err").find("Line:3"), std::string::npos) << Slurp("err");

  // With room for both, GAMMA-MIB joins; with none, the fill stops at DELTA-MIB.
  ASSERT_EQ(Run(common + "100"), 0) << Slurp("err");
  EXPECT_NE(Slurp("out.tsv").find("1.3.6.1.4.1.99991.1\tgammaB\tGAMMA-MIB\t3\n"), std::string::npos);
  ASSERT_EQ(Run(common + "5"), 0) << Slurp("err");
  EXPECT_EQ(Slurp("out.tsv").find("DELTA-MIB"), std::string::npos);
  EXPECT_EQ(Slurp("out.tsv").find("GAMMA-MIB"), std::string::npos);

  EXPECT_EQ(Run("--mib-folder " + P("nowhere") + " --tsv " + P("out.tsv")), 1);
  EXPECT_NE(Slurp("err").find("no folder"), std::string::npos);
}

// Of modules defining one OID, lookups find a listed module's before another
// one's, and an SMIv2 module's before an SMIv1 one's.
TEST_F(OidAtlasGeneratorTool, PrefersListedModulesThenSmiV2) {
  const std::filesystem::path smi = std::filesystem::path(TAVELO_MIBS_DIR) / "SNMPv2-SMI.mib";
  if (!std::filesystem::exists(smi)) GTEST_SKIP() << "no " << smi;
  std::filesystem::copy_file(smi, dir.path() / "SNMPv2-SMI.mib");
  const auto v1 = [](const std::string& m, const std::string& n) {
    return m + " DEFINITIONS ::= BEGIN\n" + n + " OBJECT IDENTIFIER ::= { iso 3 6 1 4 1 99990 }\nEND\n";
  };
  const auto v2 = [](const std::string& m, const std::string& n) {
    return m + " DEFINITIONS ::= BEGIN\nIMPORTS enterprises FROM SNMPv2-SMI;\n" + n +
           " OBJECT IDENTIFIER ::= { enterprises 99990 }\nEND\n";
  };
  Put("A-OLD-MIB.mib", v1("A-OLD-MIB", "oldName"));
  Put("B-NEW-MIB.mib", v2("B-NEW-MIB", "newName"));
  Put("C-VENDOR-MIB.mib", v2("C-VENDOR-MIB", "vendorName"));
  Put("D-VENDOR-OLD-MIB.mib", v1("D-VENDOR-OLD-MIB", "vendorOldName"));
  struct Case {
    std::string listed, want;
  };
  const Case cases[] = {{"A-OLD-MIB\nB-NEW-MIB\n", "newName"},
                        {"A-OLD-MIB\n", "oldName"},
                        {"D-VENDOR-OLD-MIB\n", "vendorOldName"},
                        {"SNMPv2-SMI\n", "newName"}};  // unlisted: SMIv2 first, then load order
  for (const Case& c : cases) {
    SCOPED_TRACE(c.listed);
    Put("list.txt", c.listed);
    ASSERT_EQ(Run("--mib-folder " + dir.path().string() + " --modules-file " + P("list.txt") +
                  " --fill-from-folder --tsv " + P("out.tsv")),
              0)
        << Slurp("err");
    const std::vector<gen::OidRecordText> records = LoadRecords(P("out.tsv"));
    const int chosen = ProbeIndex(records, u"1.3.6.1.4.1.99990");
    ASSERT_GE(chosen, 0);
    EXPECT_EQ(gen::Utf16ToUtf8(records[chosen].name), c.want);
  }
}
#endif

}  // namespace
}  // namespace oidatlas::test
