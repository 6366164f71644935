#include "simulator/SimulatorEntry.h"
#include "simulator/SimulatorFile.h"
#include "tests/simulator/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace simtest;

namespace {

void FillSettings(CSimulatorEntry* s) {
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
}

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

TEST(SimulatorFile, SimulatorWithoutValuesHasTheExactLayout) {
  TempDir dir;
  CSimulatorEntry s;
  FillSettings(&s);
  s.path = dir.wpath("s.tav");
  ASSERT_TRUE(CSimulatorFile::Save(&s));

  std::vector<uint8_t> expected = FileBuilder()
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
                                      .bytes();
  std::vector<uint8_t> bytes = ReadBytes(dir.path() / "s.tav");
  size_t formula = 6 + 4 + (2 + 2 * 18) + (2 + 2 * 6) + 4 + 1 + 1 + (2 + 2 * 4) + 4 + 1 + 4 + 4;
  EXPECT_EQ(bytes.size(), formula);
  EXPECT_EQ(bytes, expected);
  // The send address is little-endian on disk: 0A 01 A8 C0.
  EXPECT_EQ(bytes[bytes.size() - 8], 0x0A);
  EXPECT_EQ(bytes[bytes.size() - 5], 0xC0);
  // Only the simulator file is left in the folder (no temporary file).
  EXPECT_EQ(FolderContents(dir.path()), std::vector<fs::path>{"s.tav"});
}

TEST(SimulatorFile, EmptyDescriptionIsTwoZeroBytes) {
  TempDir dir;
  CSimulatorEntry s;
  FillSettings(&s);
  s.description.clear();
  s.path = dir.wpath("e.tav");
  ASSERT_TRUE(CSimulatorFile::Save(&s));
  std::vector<uint8_t> bytes = ReadBytes(dir.path() / "e.tav");
  ASSERT_GE(bytes.size(), 14u);
  EXPECT_EQ(bytes[10], 0);
  EXPECT_EQ(bytes[11], 0);
  EXPECT_EQ(bytes[12], 6);  // the receive community follows at once
}

TEST(SimulatorFile, ValuesAreWrittenInNumericOidOrderAndReadBack) {
  TempDir dir;
  CSimulatorEntry s;
  FillSettings(&s);
  s.path = dir.wpath("v.tav");
  ASSERT_TRUE(s.AddValue(L"1.3.6.1.2.1.1.10.0", L"Integer", L"-5"));
  ASSERT_TRUE(s.AddValue(L"1.3.6.1.2.1.1.1.0", L"Octet String", L"caf\u00e9 \U0001F600"));
  ASSERT_TRUE(s.AddValue(L"1.3.6.1.2.1.1.0", L"TimeTicks", L"12345"));
  ASSERT_TRUE(s.AddValue(L"1.3.6.1.2.1.1", L"IP Address", L"10.1.2.3"));
  ASSERT_TRUE(s.AddValue(L"1.3.6.1.4.1.18446744073709551615", L"Counter64", L"18446744073709551615"));
  ASSERT_TRUE(CSimulatorFile::Save(&s));
  const std::vector<std::wstring> sorted = {L"1.3.6.1.2.1.1", L"1.3.6.1.2.1.1.0", L"1.3.6.1.2.1.1.1.0",
                                            L"1.3.6.1.2.1.1.10.0", L"1.3.6.1.4.1.18446744073709551615"};
  EXPECT_EQ(Oids(s), sorted);  // the record itself is sorted by the save

  CSimulatorEntry back;
  back.path = s.path;
  ASSERT_TRUE(CSimulatorFile::Load(&back));
  EXPECT_TRUE(back.loaded);
  EXPECT_EQ(Oids(back), sorted);
  EXPECT_EQ(back.values[2].type, 0x04);
  EXPECT_EQ(back.values[2].value, L"caf\u00e9 \U0001F600");
  EXPECT_EQ(back.values[0].type, 0x40);
  EXPECT_EQ(back.values[4].value, L"18446744073709551615");
  EXPECT_EQ(back.description, s.description);
  EXPECT_EQ(back.send_address, 0xC0A8010Au);
  EXPECT_TRUE(back.recv_version1);
  EXPECT_FALSE(back.recv_version2c);

  // The emoji is one surrogate pair: 7 code units for "café " + 2.
  std::vector<uint8_t> bytes = ReadBytes(dir.path() / "v.tav");
  const std::vector<uint8_t> pair = {0x3D, 0xD8, 0x00, 0xDE};
  EXPECT_NE(std::search(bytes.begin(), bytes.end(), pair.begin(), pair.end()), bytes.end());
}

TEST(SimulatorFile, ReaderTakesAnyVersionAndAnyNonZeroBool) {
  TempDir dir;
  auto file = [&](uint32_t version) {
    return FileBuilder().Header(version, 1).Value(L"1.3.6.1.2.1.1.5.0", 0x04, L"host").bytes();
  };
  std::vector<uint8_t> seven = file(7);
  seven[6 + 4 + 10 + 14 + 4] = 0x80;  // accept version 1 stored as 0x80
  WriteBytes(dir.path() / "one.tav", file(1));
  WriteBytes(dir.path() / "seven.tav", seven);
  CSimulatorEntry one, other;
  one.path = dir.wpath("one.tav");
  other.path = dir.wpath("seven.tav");
  ASSERT_TRUE(CSimulatorFile::Load(&one));
  ASSERT_TRUE(CSimulatorFile::Load(&other));
  EXPECT_EQ(Oids(one), Oids(other));
  EXPECT_EQ(one.values[0].value, other.values[0].value);
  EXPECT_EQ(one.recv_community, other.recv_community);
  EXPECT_EQ(one.recv_version1, other.recv_version1);
  EXPECT_EQ(one.send_address, other.send_address);
}

TEST(SimulatorFile, DuplicatesForeignTypesAndValuesBeyondTheLimitAreSkipped) {
  TempDir dir;
  LogCapture log(0);
  FileBuilder builder;
  builder.Header(1, 5)
      .Value(L"1.3.6.1.2.1.1.5.0", 0x04, L"first")
      .Value(L"1.3.6.1.2.1.1.5.0", 0x02, L"7")     // duplicate, other type
      .Value(L"1.3.6.1.2.1.1.6.0", 0x03, L"bits")  // Bit String is not accepted
      .Value(L"1.3.6.1.2.1.1.7.0", 0x130, L"72")   // only the low byte counts: Sequence
      .Value(L"1.3.6.1.2.1.1.3.0", 0x143, L"99");  // low byte 0x43: TimeTicks
  WriteBytes(dir.path() / "d.tav", builder.bytes());
  CSimulatorEntry s;
  s.path = dir.wpath("d.tav");
  ASSERT_TRUE(CSimulatorFile::Load(&s));
  ASSERT_EQ(Oids(s), (std::vector<std::wstring>{L"1.3.6.1.2.1.1.5.0", L"1.3.6.1.2.1.1.3.0"}));
  EXPECT_EQ(s.values[0].value, L"first");
  EXPECT_EQ(s.values[1].type, 0x43);
  EXPECT_TRUE(log.HasContaining(L"Oid 1.3.6.1.2.1.1.5.0 is already in the list of value, duplicate is rejected"));
  EXPECT_TRUE(log.HasContaining(L"The type 'Bit String' is not yet allowed"));
  EXPECT_TRUE(log.HasContaining(L"The type 'Sequence' is not yet allowed"));

  FileBuilder many;
  many.Header(1, 103);
  for (int i = 0; i < 103; ++i) many.Value(L"1.3.6.1.4.1.99." + std::to_wstring(i), 0x02, std::to_wstring(i));
  WriteBytes(dir.path() / "many.tav", many.bytes());
  CSimulatorEntry big;
  big.path = dir.wpath("many.tav");
  ASSERT_TRUE(CSimulatorFile::Load(&big));
  EXPECT_EQ(big.values.size(), 100u);
  EXPECT_EQ(big.values.back().value, L"99");
  EXPECT_EQ(log.CountContaining(L"Maximum number of values is reached, ignoring new value"), 3u);
}

TEST(SimulatorFile, SignatureIsCheckedByteForByte) {
  TempDir dir;
  LogCapture log(0);
  std::vector<uint8_t> bytes = FileBuilder().Header(1, 0).bytes();
  bytes[0] = 't';  // "tavelo"
  WriteBytes(dir.path() / "x.tav", bytes);
  CSimulatorEntry s;
  s.path = dir.wpath("x.tav");
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

TEST(SimulatorFile, EmptyAndTruncatedFilesFailAndStayUntouched) {
  TempDir dir;
  CSimulatorEntry full;
  FillSettings(&full);
  full.path = dir.wpath("full.tav");
  ASSERT_TRUE(full.AddValue(L"1.3.6.1.2.1.1.5.0", L"Octet String", L"name"));
  ASSERT_TRUE(CSimulatorFile::Save(&full));
  const std::vector<uint8_t> whole = ReadBytes(dir.path() / "full.tav");

  for (size_t length = 0; length < whole.size(); ++length) {
    SCOPED_TRACE(length);
    std::vector<uint8_t> part(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
    WriteBytes(dir.path() / "cut.tav", part);
    LogCapture log(0);
    CSimulatorEntry s;
    s.path = dir.wpath("cut.tav");
    EXPECT_FALSE(CSimulatorFile::Load(&s));
    EXPECT_FALSE(s.loaded);
    EXPECT_EQ(log.CountContaining(L"Error while reading data from the file"), 1u);
    EXPECT_EQ(ReadBytes(dir.path() / "cut.tav"), part);
  }
}

TEST(SimulatorFile, MissingFileAndUnopenablePathsAreReported) {
  TempDir dir;
  LogCapture log(0);
  BoxCapture boxes;
  CSimulatorEntry s;
  s.path = dir.wpath("none.tav");
  EXPECT_FALSE(CSimulatorFile::Load(&s));
  EXPECT_TRUE(log.HasContaining(L"The file " + s.path + L" does not exist"));

  FillSettings(&s);
  s.path = dir.wpath("no-such-folder/s.tav");
  EXPECT_FALSE(CSimulatorFile::Save(&s));
  EXPECT_TRUE(log.HasContaining(L"Error while opening the file " + s.path + L" with write access"));
  EXPECT_EQ(boxes.Texts(), std::vector<std::wstring>{L"An error occured while writing the simulator"});
}

TEST(SimulatorFile, OverlongTextIsRefusedAndTheStoredFileKept) {
  TempDir dir;
  LogCapture log(0);
  BoxCapture boxes;
  CSimulatorEntry s;
  FillSettings(&s);
  s.path = dir.wpath("long.tav");
  // 65,535 code units fit, whether as BMP characters or counted pairs.
  s.description = std::wstring(65533, L'x') + L"\U0001F600";
  ASSERT_TRUE(CSimulatorFile::Save(&s));
  const std::vector<uint8_t> stored = ReadBytes(dir.path() / "long.tav");
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
  EXPECT_EQ(ReadBytes(dir.path() / "long.tav"), stored);
  EXPECT_EQ(FolderContents(dir.path()), std::vector<fs::path>{"long.tav"});
  EXPECT_EQ(boxes.boxes().Count(), 2u);
  EXPECT_EQ(log.CountContaining(L"UTF-16 code units"), 2u);
}

TEST(SimulatorFile, ReadOnlyFilesAreKeptAndOnlyRegularFilesRead) {
  TempDir dir;
  LogCapture log(0);
  BoxCapture boxes;
  CSimulatorEntry s;
  FillSettings(&s);
  s.path = dir.wpath("ro.tav");
  ASSERT_TRUE(CSimulatorFile::Save(&s));
  fs::permissions(dir.path() / "ro.tav", fs::perms::owner_read | fs::perms::group_read);
  const std::vector<uint8_t> before = ReadBytes(dir.path() / "ro.tav");
  s.description = L"changed";
  EXPECT_FALSE(CSimulatorFile::Save(&s));
  EXPECT_EQ(ReadBytes(dir.path() / "ro.tav"), before);
  EXPECT_EQ(fs::status(dir.path() / "ro.tav").permissions(), fs::perms::owner_read | fs::perms::group_read);

  // A writable file keeps its own permissions across a save.
  fs::permissions(dir.path() / "ro.tav", fs::perms::owner_read | fs::perms::owner_write);
  ASSERT_TRUE(CSimulatorFile::Save(&s));
  EXPECT_EQ(fs::status(dir.path() / "ro.tav").permissions(), fs::perms::owner_read | fs::perms::owner_write);

  // A FIFO is refused at once instead of blocking the load.
  ASSERT_EQ(::mkfifo((dir.path() / "fifo.tav").c_str(), 0600), 0);
  CSimulatorEntry fifo;
  fifo.path = dir.wpath("fifo.tav");
  EXPECT_FALSE(CSimulatorFile::Load(&fifo));
  EXPECT_EQ(boxes.Texts(), (std::vector<std::wstring>{L"An error occured while writing the simulator",
                                                       L"An error occured while reading the simulator"}));
}

TEST(SimulatorFile, LoneSurrogatesSurviveARoundTrip) {
  TempDir dir;
  FileBuilder builder;
  builder.Raw("Tavelo").U32(1);
  std::vector<uint8_t> bytes = builder.bytes();
  // description: a lone high surrogate, then 'A'
  for (uint8_t b : {2, 0, 0x00, 0xD8, 0x41, 0x00}) bytes.push_back(b);
  FileBuilder rest;
  rest.Str(L"public").U32(1161).Bool(1).Bool(1).Str(L"trap").U32(162).Bool(0).U32(0).U32(0);
  bytes.insert(bytes.end(), rest.bytes().begin(), rest.bytes().end());
  WriteBytes(dir.path() / "s.tav", bytes);
  CSimulatorEntry s;
  s.path = dir.wpath("s.tav");
  ASSERT_TRUE(CSimulatorFile::Load(&s));
  ASSERT_TRUE(CSimulatorFile::Save(&s));
  EXPECT_EQ(ReadBytes(dir.path() / "s.tav"), bytes);
}
