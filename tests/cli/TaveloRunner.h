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
  // Waits for the program's end; one still running after 60 s is killed
  // and fails the test.
  Result Wait() {
    Result r;
    if (m_pid <= 0) return r;
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (waitpid(m_pid, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        ADD_FAILURE() << "tavelo did not end within 60 s; killed";
        kill(m_pid, SIGKILL);
        waitpid(m_pid, &status, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    m_pid = -1;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = Stdout();
    r.err = Stderr();
    return r;
  }
  void Interrupt() {
    if (m_pid > 0) kill(m_pid, SIGINT);
  }
  std::string Stderr() const { return netsnmp::ReadAll(Dir() + "/err"); }
  std::string Stdout() const { return netsnmp::ReadAll(Dir() + "/out"); }
  // Waits (5 s at most) until the running program has written the text.
  bool WaitFor(const std::string& text) const {
    for (int i = 0; i < 250; ++i) {
      if ((Stderr() + Stdout()).find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }
  // Launches `tavelo traps` on a free port; the port, or 0 when it never said it listens.
  uint16_t LaunchTraps(std::vector<std::string> args) {
    const uint16_t port = netsnmp::FreeUdpPort();
    args.insert(args.begin(), {"traps", "-p", std::to_string(port)});
    Launch(args);
    return WaitFor("receiving traps") ? port : 0;
  }
  std::string Dir() const { return m_home.str(); }

 private:
  TempHome m_home;  // settings and logs of the runs stay in the test's own folder
  pid_t m_pid = -1;
};

}  // namespace
