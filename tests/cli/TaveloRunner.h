// Runs the built tavelo program with separate standard output and error,
// in a temporary home of its own.
#pragma once

#include "tests/common/NetSnmp.h"
#include "tests/common/TempDir.h"
#include "tests/common/UdpSocket.h"

#include <string>
#include <vector>

namespace {

using netsnmp::Lines;

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

class Tavelo {
 public:
  ~Tavelo() { Wait(); }

  Result Run(const std::vector<std::string>& args) {
    Launch(args);
    return Wait();
  }
  void Launch(const std::vector<std::string>& args) {
    std::vector<std::string> all = {TAVELO_CLI_PATH};
    all.insert(all.end(), args.begin(), args.end());
    m_pid = netsnmp::Spawn(all, Dir() + "/out", Dir() + "/err");
  }
  Result Wait() {
    Result r;
    if (m_pid <= 0) return r;
    int status = 0;
    waitpid(m_pid, &status, 0);
    m_pid = -1;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = netsnmp::ReadAll(Dir() + "/out");
    r.err = Stderr();
    return r;
  }
  void Interrupt() {
    if (m_pid > 0) kill(m_pid, SIGINT);
  }
  std::string Stderr() const { return netsnmp::ReadAll(Dir() + "/err"); }
  // Waits until the running program has written text to standard error.
  bool WaitForStderr(const std::string& text) const {
    for (int i = 0; i < 250; ++i) {
      if (Stderr().find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }
  std::string Dir() const { return m_home.str(); }

 private:
  TempHome m_home;  // settings and logs of the runs stay in the test's own folder
  pid_t m_pid = -1;
};

}  // namespace
