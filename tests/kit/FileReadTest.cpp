// The mapped file reader on real files.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "kit/ZubFileRead.h"
#include "tests/common/LogCapture.h"
#include "tests/common/TempDir.h"

namespace {

void Write(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

TEST(KitFileRead, MapsTheWholeFileAndUnmaps) {
  TempDir dir;
  std::string bytes(100000, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
  Write(dir.str("data.bin"), bytes);
  CZubFileRead file;
  ASSERT_TRUE(file.Open(dir.wpath("data.bin")));
  EXPECT_TRUE(file.IsOpen());
  EXPECT_EQ(file.GetView(), bytes);
  // A file replaced by rename leaves the mapping alone.
  Write(dir.str("new.bin"), std::string(bytes.size(), 'x'));
  std::filesystem::rename(dir.str("new.bin"), dir.str("data.bin"));
  EXPECT_EQ(file.GetData()[1], 7);
  EXPECT_TRUE(file.Close());
  EXPECT_EQ(file.GetSize(), 0u);
  EXPECT_FALSE(file.Close());
}

TEST(KitFileRead, EmptyFileAndRefusals) {
  LogCapture log;
  TempDir dir;
  Write(dir.str("empty"), "");
  CZubFileRead file;
  ASSERT_TRUE(file.Open(dir.wpath("empty")));
  EXPECT_EQ(file.GetSize(), 0u);
  EXPECT_NE(file.GetData(), nullptr);
  EXPECT_FALSE(file.Open(dir.wpath("empty")));
  EXPECT_TRUE(log.Has(L"CZubFileRead::Open() : A file is already open"));
  file.Close();

  EXPECT_FALSE(file.Open(dir.wpath("missing")));
  EXPECT_TRUE(log.HasContaining(L"Unable to open the file"));
  EXPECT_FALSE(file.Open(dir.wpath()));
  EXPECT_TRUE(log.HasContaining(L"is not a regular file"));
  // A named pipe without a writer is refused at once instead of waiting for one.
  ASSERT_EQ(::mkfifo(dir.str("pipe").c_str(), 0600), 0);
  auto opened = std::make_shared<std::promise<bool>>();
  std::future<bool> result = opened->get_future();
  std::thread([opened, pipe = dir.wpath("pipe")] {
    CZubFileRead reader;
    opened->set_value(reader.Open(pipe));
  }).detach();
  ASSERT_EQ(result.wait_for(std::chrono::seconds(10)), std::future_status::ready) << "Open waits for a writer";
  EXPECT_FALSE(result.get());
  EXPECT_EQ(log.CountContaining(L"is not a regular file"), 2u);
  EXPECT_FALSE(file.Open(L""));
  EXPECT_FALSE(file.Open(static_cast<const wchar_t*>(nullptr)));
  EXPECT_EQ(log.Count(L"Bad parameter in CZubFileRead::Open()"), 2u);
  EXPECT_FALSE(file.IsOpen());
}

}  // namespace
