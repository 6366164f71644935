// Net-SNMP peers for the tests: an snmpd on a loopback port the test picks,
// with a configuration written into a temporary folder, and the command-line
// tools run with an argument vector.
#pragma once

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

extern char** environ;

namespace netsnmp {

// A UDP port on 127.0.0.1 that was free a moment ago.
inline uint16_t FreeUdpPort() {
  int s = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
  ::close(s);
  return ntohs(a.sin_port);
}

inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// The lines of a text, without their line ends.
inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Runs a program (no shell); its standard output goes to out_path, its
// standard error to err_path (to out_path too when empty). Returns the pid,
// or -1.
inline pid_t Spawn(const std::vector<std::string>& args, const std::string& out_path,
                   const std::string& err_path = "") {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (err_path.empty()) {
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
  } else {
    posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  }
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  pid_t pid = -1;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// Runs a program to its end; its standard output in *out, its standard
// error in *err, or both in *out when err is null.
inline int Run(const std::vector<std::string>& args, std::string* out, std::string* err) {
  char out_path[] = "/tmp/tavelo-run-XXXXXX";
  char err_path[] = "/tmp/tavelo-err-XXXXXX";
  for (char* path : {out_path, err_path}) {
    int fd = mkstemp(path);
    if (fd >= 0) ::close(fd);
  }
  pid_t pid = Spawn(args, out_path, err ? err_path : "");
  int status = -1;
  if (pid > 0) waitpid(pid, &status, 0);
  if (out) *out = ReadAll(out_path);
  if (err) *err = ReadAll(err_path);
  ::unlink(out_path);
  ::unlink(err_path);
  return pid > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs a program to its end; its output (stdout and stderr) in *output.
inline int Run(const std::vector<std::string>& args, std::string* output) { return Run(args, output, nullptr); }

// What a program printed (standard output and error) when it ended.
inline std::string Output(const std::vector<std::string>& args) {
  std::string output;
  Run(args, &output);
  return output;
}

// The OIDs of `snmpwalk -On` output, in order.
inline std::vector<std::string> WalkOids(const std::string& output) {
  std::vector<std::string> oids;
  std::istringstream in(output);
  std::string line;
  while (std::getline(in, line)) {
    size_t eq = line.find(" = ");
    if (line.empty() || line[0] != '.' || eq == std::string::npos) continue;
    // snmpwalk prints the endOfMibView variable; it is not a variable.
    if (line.find("= No more variables left in this MIB View") != std::string::npos) continue;
    oids.push_back(line.substr(1, eq - 1));
  }
  return oids;
}

// The tests' agent: read community "tumbol", write community "quinsar",
// both limited to subtrees that do not change between two walks.
inline const char* const kWalkViewConfig =
    "view walkview included .1.3.6.1.2.1.1\n"
    "view walkview included .1.3.6.1.2.1.2\n"
    "view walkview included .1.3.6.1.2.1.11\n"
    "view walkview included .1.3.6.1.2.1.31\n"
    "rocommunity tumbol 127.0.0.1 -V walkview\n"
    "rwcommunity quinsar 127.0.0.1 -V walkview\n"
    "sysDescr Tavelo test agent\n";

// An snmpd of our own on 127.0.0.1 with the given configuration; it is up
// once `community` reads sysDescr.0.
class Agent {
 public:
  explicit Agent(std::string config = kWalkViewConfig, std::string community = "tumbol")
      : m_config(std::move(config)), m_community(std::move(community)) {
    char pattern[] = "/tmp/tavelo-snmpd-XXXXXX";
    m_dir = mkdtemp(pattern);
    setenv("MIBS", "", 1);  // numeric OIDs only: no MIB loading noise
    setenv("SNMP_PERSISTENT_DIR", (m_dir + "/persist").c_str(), 1);
  }
  ~Agent() {
    Stop();
    std::error_code ec;
    std::filesystem::remove_all(m_dir, ec);
  }
  Agent(const Agent&) = delete;
  Agent& operator=(const Agent&) = delete;

  bool Start() {
    for (int attempt = 0; attempt < 3; ++attempt) {
      m_port = FreeUdpPort();
      std::ofstream(m_dir + "/snmpd.conf") << m_config;
      m_pid =
          Spawn({"snmpd", "-f", "-Lo", "-C", "-c", m_dir + "/snmpd.conf", "udp:127.0.0.1:" + std::to_string(m_port)},
                m_dir + "/snmpd.log");
      if (m_pid <= 0) return false;
      for (int i = 0; i < 100; ++i) {
        std::string out;
        if (Run({"snmpget", "-v2c", "-c", m_community, "-t", "0.1", "-r", "0", "-On", Target(), ".1.3.6.1.2.1.1.1.0"},
                &out) == 0)
          return true;
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid) break;  // it died (port taken?)
      }
      Stop();
    }
    return false;
  }
  void Stop() {
    if (m_pid <= 0) return;
    kill(m_pid, SIGTERM);
    int status = 0;
    waitpid(m_pid, &status, 0);
    m_pid = -1;
  }
  uint16_t Port() const { return m_port; }
  pid_t Pid() const { return m_pid; }
  std::string Target() const { return "127.0.0.1:" + std::to_string(m_port); }
  std::string Log() const { return ReadAll(m_dir + "/snmpd.log"); }

 private:
  std::string m_config;
  std::string m_community;
  std::string m_dir;
  uint16_t m_port = 0;
  pid_t m_pid = -1;
};

// A test suite whose tests share one snmpd, started once for the suite.
template <typename Base = ::testing::Test>
class SuiteWithAgent : public Base {
 protected:
  static void SetUpTestSuite() {
    m_agent = std::make_unique<Agent>();
    ASSERT_TRUE(m_agent->Start()) << m_agent->Log();
  }
  static void TearDownTestSuite() { m_agent.reset(); }
  static inline std::unique_ptr<Agent> m_agent;
};

}  // namespace netsnmp
