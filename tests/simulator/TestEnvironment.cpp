// Points HOME and the XDG folders at a temporary folder for the whole run,
// so no test reads or writes the real settings, data or log folders.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

class SimulatorEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "tavelo-simenv-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    root_ = ::mkdtemp(name.data());
    for (const char* sub : {"home", "config", "data", "share", "state"}) std::filesystem::create_directories(root_ / sub);
    ::setenv("HOME", (root_ / "home").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
    ::setenv("XDG_DATA_DIRS", (root_ / "share").c_str(), 1);
    ::setenv("XDG_STATE_HOME", (root_ / "state").c_str(), 1);
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }

 private:
  std::filesystem::path root_;
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new SimulatorEnvironment);

}  // namespace
