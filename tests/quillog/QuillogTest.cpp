#include "quillog/Quillog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <regex>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::mutex g_mutex;
std::vector<QuillogInfo> g_records;
uint64_t g_window = 0;
uint32_t g_message = 0;

bool Capture(uint64_t window, uint32_t message, QuillogInfo* record) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_window = window;
  g_message = message;
  g_records.push_back(*record);
  QuillogReleaseInfo(record);
  return true;
}

class QuillogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_folder = fs::temp_directory_path() / ("quillog-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(m_folder);
    QuillogRegisterW(L"quilltest");
    QuillogSetFeatureLevel(0);
    QuillogSetPoster(&Capture);
    QuillogPostSendMessageSet(0x1234, 0x8001, 0, 0);
    QuillogPostSendMessageEnable();
    std::lock_guard<std::mutex> lock(g_mutex);
    g_records.clear();
  }
  void TearDown() override {
    QuillogPostSendMessageDisable();
    QuillogOutputDisable();
    QuillogFileSetFolderNameW(nullptr);
    fs::remove_all(m_folder);
  }
  std::vector<QuillogInfo> Records() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_records;
  }
  fs::path m_folder;
};

std::vector<std::string> ReadLines(const fs::path& file) {
  std::ifstream in(file);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace

TEST_F(QuillogTest, FeatureMaskGatesEverythingButFeatureZero) {
  QuillogW(QUILLOG_USER, QLF_LIB_THREAD_LOW, L"dropped %d", 1);
  QuillogW(QUILLOG_ERROR, QLF_NONE, L"always %d", 2);
  QuillogSetFeatureLevel(QLF_LIB_THREAD_LOW | QLF_PROGRAM_SMI);
  QuillogW(QUILLOG_USER, QLF_LIB_THREAD_LOW, L"kept %d", 3);
  QuillogW(QUILLOG_USER, QLF_PROGRAM_SNMP, L"dropped %d", 4);
  QuillogDumpW(QLF_PROGRAM_SNMP_FRAME_IN, L"dropped dump", "ab", 2, 0);

  const auto records = Records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].message, L"always 2");
  EXPECT_EQ(records[0].level, QUILLOG_ERROR);
  EXPECT_EQ(records[1].message, L"kept 3");
  EXPECT_EQ(records[1].feature, static_cast<uint32_t>(QLF_LIB_THREAD_LOW));
}

TEST_F(QuillogTest, PostedRecordsCarryEveryField) {
  QuillogW(QUILLOG_WARNING, 0, L"CZubX::Y() : %s", L"text");
  auto records = Records();
  ASSERT_EQ(records.size(), 1u);
  const QuillogInfo& r = records[0];
  EXPECT_EQ(g_window, 0x1234u);
  EXPECT_EQ(g_message, 0x8001u);
  EXPECT_EQ(r.program, L"quilltest");
  EXPECT_EQ(r.message, L"CZubX::Y() : text");
  EXPECT_EQ(r.process_id, static_cast<uint32_t>(::getpid()));
  EXPECT_EQ(r.thread_id, static_cast<uint32_t>(::gettid()));
  EXPECT_TRUE(std::regex_match(r.date_time, std::wregex(LR"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3})")));
  EXPECT_GT(r.time_ms, 1600000000000LL);

  QuillogPostSendMessageDisable();
  QuillogW(QUILLOG_ERROR, 0, L"not posted");
  EXPECT_EQ(Records().size(), 1u);
}

TEST_F(QuillogTest, DumpShowsTitleHexAndText) {
  QuillogSetFeatureLevel(QLF_PROGRAM_SNMP_FRAME_OUT);
  const unsigned char data[18] = {0x30, 0x22, 'A', 'b', 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 0xff, 'z'};
  QuillogDumpW(QLF_PROGRAM_SNMP_FRAME_OUT, L"Sent", data, sizeof(data), 0);
  const auto records = Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].level, QUILLOG_DUMP);
  const std::wstring& text = records[0].message;
  EXPECT_EQ(text.rfind(L"Sent (18 bytes)", 0), 0u);
  EXPECT_NE(text.find(L"0000  30 22 41 62 00 01"), std::wstring::npos) << text;
  EXPECT_NE(text.find(L"0010  ff 7a"), std::wstring::npos) << text;
  EXPECT_NE(text.find(L"0\"Ab"), std::wstring::npos);
}

TEST_F(QuillogTest, WritesLinesToTheLogFileOnlyOnceEnabled) {
  QuillogFileSetFolderNameW(m_folder.wstring().c_str());
  QuillogW(QUILLOG_INFO, 0, L"before enable");
  QuillogOutputEnable();
  QuillogW(QUILLOG_ERROR, 0, L"caf\u00e9 %d", 7);
  const fs::path file = m_folder / "quilltest.log";
  EXPECT_EQ(QuillogFilePath(), file.wstring());
  const auto lines = ReadLines(file);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("Error"), std::string::npos);
  EXPECT_NE(lines[0].find("caf\xc3\xa9 7"), std::string::npos);
}

TEST_F(QuillogTest, UnusableLogFolderNeverStopsTheProgram) {
  fs::create_directories(m_folder);
  const fs::path blocker = m_folder / "not-a-folder";
  std::ofstream(blocker) << "x";
  QuillogFileSetFolderNameW(blocker.wstring().c_str());
  QuillogOutputEnable();
  QuillogW(QUILLOG_ERROR, 0, L"still delivered");
  QuillogW(QUILLOG_ERROR, 0, L"and again");
  const auto records = Records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1].message, L"and again");
}

TEST_F(QuillogTest, ConcurrentWritersNeverTearLines) {
  QuillogPostSendMessageDisable();
  QuillogFileSetFolderNameW(m_folder.wstring().c_str());
  QuillogOutputEnable();
  constexpr int kThreads = 8;
  constexpr int kLines = 2000;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < kLines; ++i)
        QuillogW(QUILLOG_INFO, 0, L"writer %d line %d %s", t, i, std::wstring(50 + (i % 40), L'x'));
    });
  }
  for (auto& th : threads) th.join();

  const std::regex pattern(R"(.* writer (\d) line (\d+) (x+)$)");
  std::map<int, int> next;
  const auto lines = ReadLines(m_folder / "quilltest.log");
  ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads * kLines));
  for (const auto& line : lines) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(line, m, pattern)) << line;
    const int writer = std::stoi(m[1]);
    const int index = std::stoi(m[2]);
    EXPECT_EQ(index, next[writer]++) << "lines of one thread out of order";
    EXPECT_EQ(m[3].length(), 50 + (index % 40));
  }
}

TEST(QuillogNames, LevelsAndFeatures) {
  EXPECT_STREQ(QuillogLevelName(6), L"Unknown type");
  EXPECT_STREQ(QuillogLevelName(-1), L"Unknown type");
  size_t count = 0;
  const QuillogFeatureName* names = QuillogFeatureNames(&count);
  ASSERT_GT(count, 0u);
  uint32_t all = 0;
  for (size_t i = 0; i < count; ++i) {
    EXPECT_EQ(all & names[i].bit, 0u) << "bit listed twice";
    all |= names[i].bit;
  }
}
