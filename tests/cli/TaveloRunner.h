// Runs the built tavelo program with separate standard output and error,
// in a temporary home of its own.
#pragma once

#include "tests/common/NetSnmp.h"

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
    pid_ = netsnmp::Spawn(all, dir_ + "/out", dir_ + "/err");
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

using netsnmp::Lines;

// A bound UDP socket that never answers: a peer that only times out, or a
// port taken from the engine under test.
class SilentSocket {
 public:
  explicit SilentSocket(uint32_t address = INADDR_LOOPBACK) {
    fd_ = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(address);
    socklen_t len = sizeof a;
    if (fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) == 0)
      port_ = ntohs(a.sin_port);
  }
  ~SilentSocket() {
    if (fd_ >= 0) ::close(fd_);
  }
  SilentSocket(const SilentSocket&) = delete;
  SilentSocket& operator=(const SilentSocket&) = delete;

  uint16_t Port() const { return port_; }
  std::string Target() const { return "127.0.0.1:" + std::to_string(port_); }
  // Datagrams waiting now, or the first one within timeout_ms.
  int Count(int timeout_ms = 0) const {
    char buffer[2048];
    int count = 0;
    if (timeout_ms > 0) {
      timeval wait{timeout_ms / 1000, (timeout_ms % 1000) * 1000};
      setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
      if (::recv(fd_, buffer, sizeof buffer, 0) > 0) ++count;
    }
    while (::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT) > 0) ++count;
    return count;
  }

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
};

}  // namespace
