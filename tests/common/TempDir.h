// Temporary folders for tests: removed with everything in them at the end.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdlib.h>
#include <string>

// Whole files as bytes; a write makes the missing parent folders.
inline std::string ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}
inline std::filesystem::path WriteFileBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::error_code ec;
  std::filesystem::create_directories(path.parent_path(), ec);
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  return path;
}

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tavelo-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) m_path = pattern;
  }
  ~TempDir() {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(m_path, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return m_path; }
  // The path of a child (ASCII names), as text.
  std::string str(const std::string& child = "") const { return (child.empty() ? m_path : m_path / child).string(); }
  std::wstring wpath(const std::string& child = "") const {
    return (child.empty() ? m_path : m_path / child).wstring();
  }

 private:
  std::filesystem::path m_path;
};

// HOME and the XDG folders point into a temporary folder while alive, so
// nothing reads or writes the real settings, data or log folders.
class TempHome : public TempDir {
 public:
  TempHome() {
    for (auto [variable, sub] :
         {std::pair{"HOME", "home"}, std::pair{"XDG_CONFIG_HOME", "config"}, std::pair{"XDG_DATA_HOME", "data"},
          std::pair{"XDG_DATA_DIRS", "share"}, std::pair{"XDG_STATE_HOME", "state"}}) {
      std::filesystem::create_directories(path() / sub);
      ::setenv(variable, str(sub).c_str(), 1);
    }
  }
};
