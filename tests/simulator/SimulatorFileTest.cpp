#include "simulator/SimulatorFile.h"

#include "simulator/SimulatorEntry.h"
#include "tests/simulator/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace simtest;

namespace {

class SimulatorFile : public ::testing::Test {
 protected:
  // Every setting filled, stored at dir/name.
  void Fill(CSimulatorEntry* s, const std::string& name) {
    s->kind = CSimulatorEntry::KindSimulator;
    s->recv_community = L"public";
    s->recv_port = 1161;
    s->recv_version1 = true;
    s->recv_version2c = false;
    s->send_community = L"trap";
    s->send_port = 162;
    s->send_to_last_requester = true;
    s->send_address = 0xC0A8010A;
    s->path = m_dir.wpath(name);
  }
  std::vector<uint8_t> Bytes(const std::string& name) const { return ReadBytes(m_dir.path() / name); }
  bool Load(CSimulatorEntry* s, const std::string& name) {
    s->path = m_dir.wpath(name);
    return CSimulatorFile::Load(s);
  }
  std::vector<fs::path> Folder() const {
    std::vector<fs::path> names;
    for (const auto& item : fs::directory_iterator(m_dir.path())) names.push_back(item.path().filename());
    return names;
  }

  TempDir m_dir;
};

std::vector<std::wstring> Oids(const CSimulatorEntry& s) {
  std::vector<std::wstring> oids;
  for (const auto& v : s.values) oids.push_back(v.oid.GetText());
  return oids;
}

}  // namespace

// No values and an empty description (00 00); no temporary file is left.
TEST_F(SimulatorFile, SimulatorWithoutValuesHasTheExactLayout) {
  CSimulatorEntry s;
  Fill(&s, "s.tav");
  ASSERT_TRUE(CSimulatorFile::Save(&s));
  EXPECT_EQ(Bytes("s.tav"), FileBuilder()
                                .Raw("Tavelo")
                                .U32(1)
                                .Raw(std::string(2, '\0'))
                                .Str(L"public")
                                .U32(1161)
                                .Bool(1)
                                .Bool(0)
                                .Str(L"trap")
                                .U32(162)
                                .Bool(1)
                                .U32(0xC0A8010A)
                                .U32(0)
                                .bytes());
  EXPECT_EQ(Folder(), std::vector<fs::path>{"s.tav"});
}

TEST_F(SimulatorFile, ValuesAreWrittenInNumericOidOrderAndReadBack) {
  CSimulatorEntry s;
  Fill(&s, "v.tav");
  ASSERT_TRUE(s.AddValue(L"1.3.6.1.2.1.1.10.0", L"Integer", L"-5"));
  ASSERT_TRUE(s.AddValue(L"1.3.6.1.2.1.1.1.0", L"Octet String", L"caf\u00e9 \xff"));
  ASSERT_TRUE(s.AddValue(L"1.3.6.1.2.1.1", L"IP Address", L"10.1.2.3"));
  s.description = L"Line one\r\ncaf\u00e9 \U0001F600";
  ASSERT_TRUE(CSimulatorFile::Save(&s));
  const std::vector<std::wstring> sorted = {L"1.3.6.1.2.1.1", L"1.3.6.1.2.1.1.1.0", L"1.3.6.1.2.1.1.10.0"};
  EXPECT_EQ(Oids(s), sorted);
  CSimulatorEntry back;
  ASSERT_TRUE(Load(&back, "v.tav"));
  EXPECT_EQ(Oids(back), sorted);
  EXPECT_EQ(back.values[1].value, L"caf\u00e9 \xff");
  EXPECT_EQ(back.values[0].type, 0x40);
  EXPECT_EQ(back.description, s.description);
  EXPECT_EQ(back.send_address, 0xC0A8010Au);
  EXPECT_FALSE(back.recv_version2c);
}

// Any version and non-zero Bool load; duplicates and foreign types are skipped.
TEST_F(SimulatorFile, AnyVersionLoadsAndDuplicatesAndForeignTypesAreSkipped) {
  LogCapture log(0);
  FileBuilder builder;
  builder.Header(7, 5)
      .Value(L"1.3.6.1.2.1.1.5.0", 0x04, L"first")
      .Value(L"1.3.6.1.2.1.1.5.0", 0x02, L"7")
      .Value(L"1.3.6.1.2.1.1.6.0", 0x03, L"bits")
      .Value(L"1.3.6.1.2.1.1.7.0", 0x130, L"72")   // only the low byte counts: Sequence
      .Value(L"1.3.6.1.2.1.1.3.0", 0x143, L"99");  // low byte 0x43: TimeTicks
  std::vector<uint8_t> bytes = builder.bytes();
  bytes[6 + 4 + 10 + 14 + 4] = 0x80;  // accept version 1
  WriteBytes(m_dir.path() / "d.tav", bytes);
  CSimulatorEntry s;
  ASSERT_TRUE(Load(&s, "d.tav"));
  EXPECT_TRUE(s.recv_version1);
  EXPECT_EQ(s.recv_community, L"public");
  ASSERT_EQ(Oids(s), (std::vector<std::wstring>{L"1.3.6.1.2.1.1.3.0", L"1.3.6.1.2.1.1.5.0"}));
  EXPECT_EQ(s.values[1].value, L"first");
  EXPECT_EQ(s.values[0].type, 0x43);
}

// A hand-made file's values past the limit are kept; unreadable ones skipped, named.
TEST_F(SimulatorFile, ValuesBeyondTheLimitAreKeptAndUnreadableOnesSkipped) {
  LogCapture log(0);
  FileBuilder many;
  many.Header(1, 153);
  for (int i = 150; i > 0; --i) many.Value(L"1.3.6.1.4.1.99." + std::to_wstring(i), 0x02, std::to_wstring(i));
  many.Value(L"1.3.6.1.4.1.9.1", 0x02, L"abc")
      .Value(L"1.3.6.1.4.1.9.2", 0x40, L"999.1.1.1")
      .Value(L"1.3.6.1.4.1.9.3", 0x06, L"not.an.oid");
  WriteBytes(m_dir.path() / "many.tav", many.bytes());
  CSimulatorEntry big;
  ASSERT_TRUE(Load(&big, "many.tav"));
  ASSERT_EQ(big.values.size(), 150u);
  for (const wchar_t* oid : {L"1.3.6.1.4.1.9.1", L"1.3.6.1.4.1.9.2", L"1.3.6.1.4.1.9.3"})
    EXPECT_TRUE(log.HasContaining(std::wstring(L"of Oid ") + oid)) << quillog::WideToUtf8(oid);
  EXPECT_EQ(big.values.front().oid.GetText(), L"1.3.6.1.4.1.99.1");
  EXPECT_EQ(big.values.back().value, L"150");
}

TEST_F(SimulatorFile, SignatureIsCheckedByteForByte) {
  LogCapture log(0);
  for (size_t at = 0; at < 6; ++at) {
    SCOPED_TRACE(at);
    std::vector<uint8_t> bytes = FileBuilder().Header(1, 0).bytes();
    bytes[at] ^= 0x20;  // "tavelo", "TAvelo", ... "TavelO"
    WriteBytes(m_dir.path() / "x.tav", bytes);
    CSimulatorEntry s;
    s.description = L"unchanged";
    EXPECT_FALSE(Load(&s, "x.tav"));
    EXPECT_FALSE(s.loaded);
    EXPECT_EQ(s.description, L"unchanged");
  }
  EXPECT_EQ(log.CountContaining(L"is not a simulator file (signature does not match"), 6u);
}

TEST_F(SimulatorFile, EmptyAndTruncatedFilesFailAndStayUntouched) {
  CSimulatorEntry full;
  Fill(&full, "full.tav");
  ASSERT_TRUE(full.AddValue(L"1.3.6.1.2.1.1.5.0", L"Octet String", L"name"));
  ASSERT_TRUE(CSimulatorFile::Save(&full));
  const std::vector<uint8_t> whole = Bytes("full.tav");
  for (size_t length = 0; length < whole.size(); ++length) {
    SCOPED_TRACE(length);
    std::vector<uint8_t> part(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
    WriteBytes(m_dir.path() / "cut.tav", part);
    LogCapture log(0);
    CSimulatorEntry s;
    EXPECT_FALSE(Load(&s, "cut.tav"));
    EXPECT_FALSE(s.loaded);
    EXPECT_EQ(log.CountContaining(L"Error while reading data from the file"), 1u);
    EXPECT_EQ(Bytes("cut.tav"), part);
  }
}

// 65,535 UTF-16 code units fit; one more is refused and nothing is written.
TEST_F(SimulatorFile, OverlongTextIsRefusedAndTheStoredFileKept) {
  LogCapture log(0);
  BoxCapture boxes;
  CSimulatorEntry s;
  Fill(&s, "long.tav");
  s.description = std::wstring(65533, L'x') + L"\U0001F600";
  ASSERT_TRUE(CSimulatorFile::Save(&s));
  const std::vector<uint8_t> stored = Bytes("long.tav");
  s.description = std::wstring(65534, L'x') + L"\U0001F600";
  EXPECT_FALSE(CSimulatorFile::Save(&s));
  EXPECT_EQ(Bytes("long.tav"), stored);
  EXPECT_EQ(Folder(), std::vector<fs::path>{"long.tav"});
  EXPECT_EQ(boxes.Count(), 1u);
}

// A read-only file is kept, a writable one keeps its mode, a FIFO is refused.
TEST_F(SimulatorFile, ReadOnlyFilesAreKeptAndOnlyRegularFilesRead) {
  LogCapture log(0);
  BoxCapture boxes;
  CSimulatorEntry s;
  Fill(&s, "ro.tav");
  ASSERT_TRUE(CSimulatorFile::Save(&s));
  const auto read_only = fs::perms::owner_read | fs::perms::group_read;
  fs::permissions(m_dir.path() / "ro.tav", read_only);
  const std::vector<uint8_t> before = Bytes("ro.tav");
  s.description = L"changed";
  EXPECT_FALSE(CSimulatorFile::Save(&s));
  EXPECT_EQ(Bytes("ro.tav"), before);
  const auto writable = fs::perms::owner_read | fs::perms::owner_write;
  fs::permissions(m_dir.path() / "ro.tav", writable);
  ASSERT_TRUE(CSimulatorFile::Save(&s));
  EXPECT_EQ(fs::status(m_dir.path() / "ro.tav").permissions(), writable);
  ASSERT_EQ(::mkfifo((m_dir.path() / "fifo.tav").c_str(), 0600), 0);
  CSimulatorEntry fifo;
  EXPECT_FALSE(Load(&fifo, "fifo.tav"));
  EXPECT_EQ(boxes.Count(), 2u);
}
