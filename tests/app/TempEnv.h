// A temporary HOME with the XDG folders under it; restores the environment.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <iterator>
#include <optional>
#include <string>
#include <unistd.h>

class TempEnv {
 public:
  TempEnv() {
    char pattern[] = "/tmp/tavelo-test-XXXXXX";
    root_ = mkdtemp(pattern);
    Set("HOME", root_);
    Set("XDG_CONFIG_HOME", root_ + "/config");
    Set("XDG_DATA_HOME", root_ + "/data");
    Set("XDG_STATE_HOME", root_ + "/state");
    Set("XDG_DATA_DIRS", root_ + "/common:/usr/share");
  }
  ~TempEnv() {
    for (auto& [name, value] : saved_) {
      if (value) setenv(name.c_str(), value->c_str(), 1);
      else unsetenv(name.c_str());
    }
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  TempEnv(const TempEnv&) = delete;
  TempEnv& operator=(const TempEnv&) = delete;

  void Set(const std::string& name, const std::string& value) {
    Remember(name);
    setenv(name.c_str(), value.c_str(), 1);
  }
  void Unset(const std::string& name) {
    Remember(name);
    unsetenv(name.c_str());
  }
  const std::string& Root() const { return root_; }
  std::string SettingsPath() const { return root_ + "/config/tavelo/settings.reg"; }

  static std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static void WriteFile(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
  }

 private:
  void Remember(const std::string& name) {
    if (saved_.count(name)) return;
    const char* v = std::getenv(name.c_str());
    saved_[name] = v ? std::optional<std::string>(v) : std::nullopt;
  }
  std::string root_;
  std::map<std::string, std::optional<std::string>> saved_;
};
