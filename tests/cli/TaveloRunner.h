// Runs the built tavelo program with separate standard output and error,
// in a temporary home of its own.
#pragma once

#include "tests/workers/NetSnmp.h"

#include <sstream>
#include <string>
#include <vector>

namespace {

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs tavelo with separate standard output and error.
class Tavelo {
 public:
  Tavelo() {
    char pattern[] = "/tmp/tavelo-cli-XXXXXX";
    dir_ = mkdtemp(pattern);
    // Settings and logs of the runs stay in the test's own folder.
    setenv("HOME", dir_.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir_ + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (dir_ + "/data").c_str(), 1);
    setenv("XDG_STATE_HOME", (dir_ + "/state").c_str(), 1);
  }
  ~Tavelo() {
    Wait();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  Result Run(const std::vector<std::string>& args) {
    Launch(args);
    return Wait();
  }
  void Launch(const std::vector<std::string>& args) {
    std::vector<std::string> all = {TAVELO_CLI_PATH};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, (dir_ + "/out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, (dir_ + "/err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  Result Wait() {
    Result r;
    if (pid_ <= 0) return r;
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = netsnmp::ReadAll(dir_ + "/out");
    r.err = netsnmp::ReadAll(dir_ + "/err");
    return r;
  }
  void Interrupt() {
    if (pid_ > 0) kill(pid_, SIGINT);
  }
  std::string Stderr() const { return netsnmp::ReadAll(dir_ + "/err"); }
  // Waits until the running program has written text to standard error.
  bool WaitForStderr(const std::string& text) const {
    for (int i = 0; i < 250; ++i) {
      if (Stderr().find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }
  const std::string& Dir() const { return dir_; }

 private:
  std::string dir_;
  pid_t pid_ = -1;
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace
