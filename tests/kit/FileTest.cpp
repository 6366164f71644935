// File operations and the mapped file reader on real files in a temporary folder.
#include "kit/ZubFile.h"
#include "kit/ZubFileRead.h"
#include "tests/common/LogCapture.h"
#include "tests/common/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <thread>

namespace fs = std::filesystem;

namespace {

class KitFile : public ::testing::Test {
 protected:
  fs::path Write(const fs::path& relative, const std::string& content = "data") {
    return WriteFileBytes(m_root / relative, content);
  }
  static std::wstring W(const fs::path& path) { return quillog::Utf8ToWide(path.string()); }
  static std::string Read(const fs::path& path) { return ReadFileBytes(path); }

  TempDir m_dir;
  const fs::path m_root = m_dir.path();
};

TEST_F(KitFile, DeleteFileMakesReadOnlyWritableAndLeavesDirectories) {
  LogCapture log;
  const fs::path file = Write("ro.txt");
  ASSERT_EQ(chmod(file.c_str(), 0444), 0);
  EXPECT_TRUE(CZubFile::DeleteFile(W(file)));
  EXPECT_FALSE(fs::exists(file));
  EXPECT_FALSE(CZubFile::DeleteFile(W(file)));  // gone already
  const fs::path dir = m_root / "sub";          // directories are left alone
  fs::create_directory(dir);
  EXPECT_FALSE(CZubFile::DeleteFile(W(dir)));
  EXPECT_TRUE(fs::is_directory(dir));
}

TEST_F(KitFile, DeleteDirectoryWithoutFilesFlagKeepsEveryFile) {
  const fs::path tree = m_root / "tree";
  const fs::path deep = Write("tree/a/b/keep.mib", "keep me");
  fs::create_directories(tree / "empty");
  EXPECT_FALSE(CZubFile::DeleteDirectory(W(tree), false));
  EXPECT_EQ(Read(deep), "keep me");
  EXPECT_TRUE(fs::is_directory(tree));

  // A tree with no files at all goes away.
  const fs::path bare = m_root / "bare";
  fs::create_directories(bare / "x" / "y");
  fs::create_directories(bare / "z");
  EXPECT_TRUE(CZubFile::DeleteDirectory(W(bare), false));
  EXPECT_FALSE(fs::exists(bare));
}

TEST_F(KitFile, DeleteDirectoryWithFilesRemovesTheTreeOnly) {
  const fs::path tree = m_root / "tree";
  Write("tree/one.txt");
  const fs::path ro = Write("tree/sub/ro.txt");
  ASSERT_EQ(chmod(ro.c_str(), 0400), 0);
  Write(std::string("tree/sub/\xff\xfe-not-utf8"));
  // A link to a folder outside: the link goes, the folder and its file stay.
  const fs::path outside = Write("outside/precious.txt", "precious");
  fs::create_directory_symlink(m_root / "outside", tree / "link");
  EXPECT_TRUE(CZubFile::DeleteDirectory(W(tree), true));
  EXPECT_FALSE(fs::exists(tree));
  EXPECT_EQ(Read(outside), "precious");
  EXPECT_FALSE(CZubFile::DeleteDirectory(W(tree), true));  // missing now
}

TEST_F(KitFile, RenameNeverReplacesAnExistingFile) {
  const fs::path from = Write("from.txt", "from");
  const fs::path to = Write("to.txt", "to");
  EXPECT_FALSE(CZubFile::RenameFile(W(from), W(to)));
  EXPECT_EQ(Read(from), "from");
  EXPECT_EQ(Read(to), "to");
  const fs::path fresh = m_root / "fresh.txt";
  EXPECT_TRUE(CZubFile::RenameFile(W(from), W(fresh)));
  EXPECT_EQ(Read(fresh), "from");
  EXPECT_FALSE(fs::exists(from));
}

TEST_F(KitFile, ExistenceChecksAndOneLevelCreate) {
  const fs::path unicode = Write("d\xC3\xA9j\xC3\xA0.txt");  // UTF-8 on disk, wide in the call
  EXPECT_TRUE(CZubFile::ExistFile(W(unicode)) && CZubFile::IsDirectory(W(m_root)));
  EXPECT_FALSE(CZubFile::ExistFile(W(m_root / "nope")) || CZubFile::IsDirectory(W(unicode)));
  const fs::path one = m_root / "one";
  EXPECT_TRUE(CZubFile::CreateDirectory(W(one)));
  EXPECT_TRUE(fs::is_directory(one));
  EXPECT_FALSE(CZubFile::CreateDirectory(W(one)) || CZubFile::CreateDirectory(W(m_root / "a" / "b")));
  EXPECT_FALSE(fs::exists(m_root / "a"));
}

TEST_F(KitFile, BadParametersAreReported) {
  LogCapture log;
  EXPECT_FALSE(CZubFile::DeleteFile(L"") || CZubFile::RenameFile(L"a", static_cast<const wchar_t*>(nullptr)) ||
               CZubFile::ExistFile(static_cast<const wchar_t*>(nullptr)) || CZubFile::CreateDirectory(L"") ||
               CZubFile::DeleteDirectory(L"", true));
  EXPECT_EQ(log.Count(L"Pointer is NULL or Empty", QUILLOG_ERROR), 5u);
}

TEST(KitFileRead, MapsTheWholeFileAndUnmaps) {
  TempDir dir;
  std::string bytes(100000, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
  WriteFileBytes(dir.path() / "data.bin", bytes);
  CZubFileRead file;
  ASSERT_TRUE(file.Open(dir.wpath("data.bin")));
  EXPECT_TRUE(file.IsOpen());
  EXPECT_EQ(file.GetView(), bytes);
  // A file replaced by rename leaves the mapping alone.
  WriteFileBytes(dir.path() / "new.bin", std::string(bytes.size(), 'x'));
  std::filesystem::rename(dir.str("new.bin"), dir.str("data.bin"));
  EXPECT_EQ(file.GetData()[1], 7);
  EXPECT_TRUE(file.Close());
  EXPECT_EQ(file.GetSize(), 0u);
}

TEST(KitFileRead, EmptyFileAndRefusals) {
  LogCapture log;
  TempDir dir;
  WriteFileBytes(dir.path() / "empty", "");
  CZubFileRead file;
  ASSERT_TRUE(file.Open(dir.wpath("empty")));
  EXPECT_EQ(file.GetSize(), 0u);
  EXPECT_NE(file.GetData(), nullptr);
  EXPECT_FALSE(file.Open(dir.wpath("empty")));  // one file at a time
  file.Close();
  EXPECT_FALSE(file.Open(dir.wpath("missing")) || file.Open(dir.wpath()));
  EXPECT_EQ(log.CountContaining(L"is not a regular file"), 1u);
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
  EXPECT_FALSE(file.Open(L"") || file.Open(static_cast<const wchar_t*>(nullptr)) || file.IsOpen());
}

}  // namespace
