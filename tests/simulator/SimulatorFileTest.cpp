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
    s->description = L"Line one\r\nLine two";
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

  TempDir m_dir;
};

std::vector<std::wstring> Oids(const CSimulatorEntry& s) {
  std::vector<std::wstring> oids;
  for (const auto& v : s.values) oids.push_back(v.oid.GetText());
  return oids;
}

std::vector<fs::path> FolderContents(const fs::path& folder) {
  std::vector<fs::path> names;
  for (const auto& item : fs::directory_iterator(folder)) names.push_back(item.path().filename());
  return names;
}

}  // namespace

TEST_F(SimulatorFile, SimulatorWithoutValuesHasTheExactLayout) {
  CSimulatorEntry s;
  Fill(&s, "s.tav");
  ASSERT_TRUE(CSimulatorFile::Save(&s));
  EXPECT_EQ(Bytes("s.tav"), FileBuilder()
                                .Raw("Tavelo")
                                .U32(1)
                                .Str(L"Line one\r\nLine two")
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
  // Only the simulator file is left in the folder (no temporary file).
  EXPECT_EQ(FolderContents(m_dir.path()), std::vector<fs::path>{"s.tav"});
}

TEST_F(SimulatorFile, ValuesAreWrittenInNumericOidOrderAndReadBack) {
  CSimulatorEntry s;
  Fill(&s, "v.tav");
  ASSERT_TRUE(s.AddValue(L"1.3.6.1.2.1.1.10.0", L"Integer", L"-5"));
  ASSERT_TRUE(s.AddValue(L"1.3.6.1.2.1.1.1.0", L"Octet String", L"caf\u00e9 \xff"));
  ASSERT_TRUE(s.AddValue(L"1.3.6.1.2.1.1.0", L"TimeTicks", L"12345"));
  ASSERT_TRUE(s.AddValue(L"1.3.6.1.2.1.1", L"IP Address", L"10.1.2.3"));
  ASSERT_TRUE(s.AddValue(L"1.3.6.1.4.1.4294967295", L"Counter64", L"18446744073709551615"));
  s.description = L"caf\u00e9 \U0001F600";
  ASSERT_TRUE(CSimulatorFile::Save(&s));
  const std::vector<std::wstring> sorted = {L"1.3.6.1.2.1.1", L"1.3.6.1.2.1.1.0", L"1.3.6.1.2.1.1.1.0",
                                            L"1.3.6.1.2.1.1.10.0", L"1.3.6.1.4.1.4294967295"};
  EXPECT_EQ(Oids(s), sorted);  // the record itself is sorted by the save

  CSimulatorEntry back;
  back.path = s.path;
  ASSERT_TRUE(CSimulatorFile::Load(&back));
  EXPECT_TRUE(back.loaded);
  EXPECT_EQ(Oids(back), sorted);
  EXPECT_EQ(back.values[2].value, L"caf\u00e9 \xff");
  EXPECT_EQ(back.values[0].type, 0x40);
  EXPECT_EQ(back.values[4].value, L"18446744073709551615");
  EXPECT_EQ(back.description, s.description);
  EXPECT_EQ(back.send_address, 0xC0A8010Au);
  EXPECT_FALSE(back.recv_version2c);
  // The emoji is one surrogate pair: 7 code units for "café " + 2.
  std::vector<uint8_t> bytes = Bytes("v.tav");
  const std::vector<uint8_t> pair = {0x3D, 0xD8, 0x00, 0xDE};
  EXPECT_NE(std::search(bytes.begin(), bytes.end(), pair.begin(), pair.end()), bytes.end());
}

// The reader takes any version and any non-zero Bool as true.
TEST_F(SimulatorFile, AnyVersionLoadsAndDuplicatesAndForeignTypesAreSkipped) {
  LogCapture log(0);
  FileBuilder builder;
  builder.Header(7, 5)
      .Value(L"1.3.6.1.2.1.1.5.0", 0x04, L"first")
      .Value(L"1.3.6.1.2.1.1.5.0", 0x02, L"7")     // duplicate, other type
      .Value(L"1.3.6.1.2.1.1.6.0", 0x03, L"bits")  // Bit String is not accepted
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
  EXPECT_TRUE(log.HasContaining(L"Oid 1.3.6.1.2.1.1.5.0 is already in the list of value, duplicate is rejected"));
  EXPECT_TRUE(log.HasContaining(L"The type 'Bit String' is not yet allowed"));
  EXPECT_TRUE(log.HasContaining(L"The type 'Sequence' is not yet allowed"));
}

// A file from an older version or made by hand may hold more values than a
// simulator may be given: it keeps them all, through a save too.
TEST_F(SimulatorFile, ValuesBeyondTheLimitAreKeptThroughASave) {
  LogCapture log(0);
  FileBuilder many;
  many.Header(1, 150);
  for (int i = 150; i > 0; --i) many.Value(L"1.3.6.1.4.1.99." + std::to_wstring(i), 0x02, std::to_wstring(i));
  WriteBytes(m_dir.path() / "many.tav", many.bytes());
  CSimulatorEntry big;
  ASSERT_TRUE(Load(&big, "many.tav"));
  ASSERT_EQ(big.values.size(), 150u);
  EXPECT_TRUE(log.HasContaining(L"holds 150 values, more than the 100 a simulator may hold"));
  EXPECT_FALSE(log.HasContaining(L"Maximum number of values is reached"));
  // Nothing more can be added, and a save keeps the 150.
  EXPECT_FALSE(big.AddValue(L"1.3.6.1.4.1.99.151", L"Integer", L"151"));
  ASSERT_TRUE(CSimulatorFile::Save(&big));
  CSimulatorEntry back;
  ASSERT_TRUE(Load(&back, "many.tav"));
  ASSERT_EQ(back.values.size(), 150u);
  EXPECT_EQ(back.values.front().oid.GetText(), L"1.3.6.1.4.1.99.1");
  EXPECT_EQ(back.values.back().value, L"150");
}

// A text that does not parse for its type is never served as a made-up
// value: the value is skipped, with a warning naming it, and the rest loads.
TEST_F(SimulatorFile, ValuesWhoseTextDoesNotParseAreSkippedByName) {
  struct Row {
    const wchar_t* oid;
    uint32_t type;
    const wchar_t* text;
  };
  const Row bad[] = {
      {L"1.3.6.1.4.1.9.1", 0x02, L"abc"},
      {L"1.3.6.1.4.1.9.2", 0x40, L"999.1.1.1"},
      {L"1.3.6.1.4.1.9.3", 0x06, L"not.an.oid"},
      {L"1.3.6.1.4.1.9.4", 0x41, L"4294967296"},
      {L"1.3.6.1.4.1.9.5", 0x04, L"\u0100"},
      {L"1.3.6.1.4.1.4294967296", 0x02, L"1"},
      {L"not.an.oid", 0x02, L"1"},
  };
  FileBuilder builder;
  builder.Header(1, std::size(bad) + 1).Value(L"1.3.6.1.4.1.9.9", 0x02, L"9");
  for (const Row& row : bad) builder.Value(row.oid, row.type, row.text);
  WriteBytes(m_dir.path() / "bad.tav", builder.bytes());
  LogCapture log(0);
  CSimulatorEntry s;
  ASSERT_TRUE(Load(&s, "bad.tav"));
  EXPECT_EQ(Oids(s), std::vector<std::wstring>{L"1.3.6.1.4.1.9.9"});
  for (const Row& row : bad) {
    SCOPED_TRACE(quillog::WideToUtf8(row.oid));
    const bool value_named = log.HasContaining(std::wstring(L"The value '") + row.text + L"' of Oid " + row.oid);
    const bool oid_named = log.HasContaining(std::wstring(L"Oid ") + row.oid + L" is not a valid OID");
    EXPECT_TRUE(value_named || oid_named);
  }
}

TEST_F(SimulatorFile, SignatureIsCheckedByteForByte) {
  for (size_t at = 0; at < 6; ++at) {
    SCOPED_TRACE(at);
    LogCapture log(0);
    std::vector<uint8_t> bytes = FileBuilder().Header(1, 0).bytes();
    bytes[at] ^= 0x20;  // "tavelo", "TAvelo", ... "TavelO"
    WriteBytes(m_dir.path() / "x.tav", bytes);
    CSimulatorEntry s;
    s.path = m_dir.wpath("x.tav");
    s.description = L"unchanged";
    s.recv_port = 4242;
    ASSERT_TRUE(s.AddValue(L"1.3.6.1.2.1.1.1.0", L"Integer", L"1"));
    EXPECT_FALSE(CSimulatorFile::Load(&s));
    EXPECT_FALSE(s.loaded);
    EXPECT_EQ(s.description, L"unchanged");
    EXPECT_EQ(s.recv_port, 4242u);
    EXPECT_EQ(s.values.size(), 1u);
    EXPECT_TRUE(log.HasContaining(s.path + L" is not a simulator file (signature does not match"));
  }
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

TEST_F(SimulatorFile, MissingFileAndUnopenablePathsAreReported) {
  LogCapture log(0);
  BoxCapture boxes;
  CSimulatorEntry s;
  EXPECT_FALSE(Load(&s, "none.tav"));
  EXPECT_TRUE(log.HasContaining(L"The file " + s.path + L" does not exist"));

  Fill(&s, "no-such-folder/s.tav");
  EXPECT_FALSE(CSimulatorFile::Save(&s));
  EXPECT_TRUE(log.HasContaining(L"Error while opening the file " + s.path + L" with write access"));
  EXPECT_EQ(boxes.Texts(), std::vector<std::wstring>{L"An error occured while writing the simulator"});
}

TEST_F(SimulatorFile, OverlongTextIsRefusedAndTheStoredFileKept) {
  LogCapture log(0);
  BoxCapture boxes;
  CSimulatorEntry s;
  Fill(&s, "long.tav");
  // 65,535 code units fit, whether as BMP characters or counted pairs.
  s.description = std::wstring(65533, L'x') + L"\U0001F600";
  ASSERT_TRUE(CSimulatorFile::Save(&s));
  const std::vector<uint8_t> stored = Bytes("long.tav");
  CSimulatorEntry back;
  back.path = s.path;
  ASSERT_TRUE(CSimulatorFile::Load(&back));
  EXPECT_EQ(back.description, s.description);

  // One unit more is refused, for the description and for a value text.
  s.description = std::wstring(65534, L'x') + L"\U0001F600";
  EXPECT_FALSE(CSimulatorFile::Save(&s));
  s.description = L"short";
  ASSERT_TRUE(s.AddValue(L"1.3.6.1.2.1.1.1.0", L"Octet String", std::wstring(65536, L'v')));
  EXPECT_FALSE(CSimulatorFile::Save(&s));
  EXPECT_EQ(Bytes("long.tav"), stored);
  EXPECT_EQ(FolderContents(m_dir.path()), std::vector<fs::path>{"long.tav"});
  EXPECT_EQ(boxes.Count(), 2u);
  EXPECT_EQ(log.CountContaining(L"UTF-16 code units"), 2u);
}

TEST_F(SimulatorFile, ReadOnlyFilesAreKeptAndOnlyRegularFilesRead) {
  LogCapture log(0);
  BoxCapture boxes;
  CSimulatorEntry s;
  Fill(&s, "ro.tav");
  ASSERT_TRUE(CSimulatorFile::Save(&s));
  fs::permissions(m_dir.path() / "ro.tav", fs::perms::owner_read | fs::perms::group_read);
  const std::vector<uint8_t> before = Bytes("ro.tav");
  s.description = L"changed";
  EXPECT_FALSE(CSimulatorFile::Save(&s));
  EXPECT_EQ(Bytes("ro.tav"), before);
  EXPECT_EQ(fs::status(m_dir.path() / "ro.tav").permissions(), fs::perms::owner_read | fs::perms::group_read);

  // A writable file keeps its own permissions across a save.
  fs::permissions(m_dir.path() / "ro.tav", fs::perms::owner_read | fs::perms::owner_write);
  ASSERT_TRUE(CSimulatorFile::Save(&s));
  EXPECT_EQ(fs::status(m_dir.path() / "ro.tav").permissions(), fs::perms::owner_read | fs::perms::owner_write);

  // A FIFO is refused at once instead of blocking the load.
  ASSERT_EQ(::mkfifo((m_dir.path() / "fifo.tav").c_str(), 0600), 0);
  CSimulatorEntry fifo;
  EXPECT_FALSE(Load(&fifo, "fifo.tav"));
  EXPECT_EQ(boxes.Texts(), (std::vector<std::wstring>{L"An error occured while writing the simulator",
                                                      L"An error occured while reading the simulator"}));
}

TEST_F(SimulatorFile, LoneSurrogatesSurviveARoundTrip) {
  // The description: a lone high surrogate, then 'A'.
  const std::vector<uint8_t> bytes = FileBuilder()
                                         .Raw("Tavelo")
                                         .U32(1)
                                         .Raw(std::string("\x02\x00\x00\xD8\x41\x00", 6))
                                         .Str(L"public")
                                         .U32(1161)
                                         .Bool(1)
                                         .Bool(1)
                                         .Str(L"trap")
                                         .U32(162)
                                         .Bool(0)
                                         .U32(0)
                                         .U32(0)
                                         .bytes();
  WriteBytes(m_dir.path() / "s.tav", bytes);
  CSimulatorEntry s;
  ASSERT_TRUE(Load(&s, "s.tav"));
  ASSERT_TRUE(CSimulatorFile::Save(&s));
  EXPECT_EQ(Bytes("s.tav"), bytes);
}
