// Temporary folders, module files and log capture for the SMI tests.
#pragma once

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "quillog/Quillog.h"
#include "smi/MibFolders.h"

// A temporary home: XDG_* and HOME point inside it; MIB modules are written
// to <home>/mibs, the only search folder.
class SmiTempHome : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tavelo-smi-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    setenv("HOME", root_.c_str(), 1);
    setenv("XDG_DATA_HOME", (root_ + "/data").c_str(), 1);
    setenv("XDG_DATA_DIRS", (root_ + "/common").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root_ + "/config").c_str(), 1);
    setenv("XDG_STATE_HOME", (root_ + "/state").c_str(), 1);
    std::filesystem::create_directories(root_ + "/mibs");
    SetMibSearchFolders({Wide(root_ + "/mibs")});
  }
  void TearDown() override {
    SetMibSearchFolders({});
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }

  static std::wstring Wide(const std::string& s) { return quillog::Utf8ToWide(s); }

  // Writes <home>/mibs/<name>.mib (bytes as given) and returns its path.
  std::string WriteModule(const std::string& name, const std::string& text) {
    return WriteFile(root_ + "/mibs/" + name + ".mib", text);
  }
  static std::string WriteFile(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary);
    out << text;
    return path;
  }
  std::wstring ModulePath(const std::string& name) const { return Wide(root_ + "/mibs/" + name + ".mib"); }

  std::string root_;
};

// Records the log lines written while it lives.
class SmiLogCapture {
 public:
  explicit SmiLogCapture(uint32_t mask = 0) {
    Self() = this;
    QuillogSetFeatureLevel(mask);
    QuillogSetPoster(&SmiLogCapture::Post);
    QuillogPostSendMessageSet(1, 0x8001, 0, 0);
    QuillogPostSendMessageEnable();
  }
  ~SmiLogCapture() {
    QuillogPostSendMessageDisable();
    QuillogSetPoster(nullptr);
    QuillogSetFeatureLevel(0);
    Self() = nullptr;
  }
  SmiLogCapture(const SmiLogCapture&) = delete;
  SmiLogCapture& operator=(const SmiLogCapture&) = delete;

  size_t Count(const std::wstring& message) const {
    std::lock_guard<std::mutex> lock(mutex_);
    size_t n = 0;
    for (const auto& line : lines_) n += line == message ? 1 : 0;
    return n;
  }
  size_t CountContaining(const std::wstring& part) const {
    std::lock_guard<std::mutex> lock(mutex_);
    size_t n = 0;
    for (const auto& line : lines_) n += line.find(part) != std::wstring::npos ? 1 : 0;
    return n;
  }

 private:
  static SmiLogCapture*& Self() {
    static SmiLogCapture* self = nullptr;
    return self;
  }
  static bool Post(uint64_t, uint32_t, QuillogInfo* info) {
    if (SmiLogCapture* self = Self()) {
      std::lock_guard<std::mutex> lock(self->mutex_);
      self->lines_.push_back(info->message);
    }
    QuillogReleaseInfo(info);
    return true;
  }

  mutable std::mutex mutex_;
  std::vector<std::wstring> lines_;
};
