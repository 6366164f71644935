#include "tests/snmp/NetSnmpPeer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

TestUdpSocket::TestUdpSocket(uint16_t port) {
  m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (m_fd < 0) return;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  socklen_t size = sizeof(address);
  if (::bind(m_fd, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
      ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    ::close(m_fd);
    m_fd = -1;
    return;
  }
  m_port = ntohs(address.sin_port);
}

TestUdpSocket::~TestUdpSocket() {
  if (m_fd >= 0) ::close(m_fd);
}

bool TestUdpSocket::Receive(ByteVector* data, int timeout_ms, uint32_t* from_address, uint16_t* from_port) {
  pollfd p{m_fd, POLLIN, 0};
  if (::poll(&p, 1, timeout_ms) != 1) return false;
  uint8_t buffer[65536];
  sockaddr_in from{};
  socklen_t size = sizeof(from);
  const ssize_t n = ::recvfrom(m_fd, buffer, sizeof(buffer), 0, reinterpret_cast<sockaddr*>(&from), &size);
  if (n < 0) return false;
  data->assign(buffer, buffer + n);
  if (from_address != nullptr) *from_address = ntohl(from.sin_addr.s_addr);
  if (from_port != nullptr) *from_port = ntohs(from.sin_port);
  return true;
}

bool TestUdpSocket::SendTo(uint16_t port, const uint8_t* data, size_t length) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  to.sin_port = htons(port);
  return ::sendto(m_fd, data, length, 0, reinterpret_cast<sockaddr*>(&to), sizeof(to)) ==
         static_cast<ssize_t>(length);
}

uint16_t FreeUdpPort() {
  TestUdpSocket probe;
  return probe.Port();
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                           const std::string& output_file) {
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  std::vector<std::string> environment;
  for (char** e = environ; *e != nullptr; ++e) environment.emplace_back(*e);
  environment.insert(environment.end(), env.begin(), env.end());
  std::vector<char*> envp;
  for (const auto& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const char* out = output_file.empty() ? "/dev/null" : output_file.c_str();
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out, O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data()) == 0) m_pid = pid;
  posix_spawn_file_actions_destroy(&actions);
}

ChildProcess::~ChildProcess() {
  if (m_pid <= 0) return;
  if (Wait(0) != -1) return;
  ::kill(m_pid, SIGTERM);
  if (Wait(3000) != -1) return;
  ::kill(m_pid, SIGKILL);
  ::waitpid(m_pid, nullptr, 0);
}

int ChildProcess::Wait(int timeout_ms) {
  if (m_pid <= 0) return m_status;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    int status = 0;
    const pid_t done = ::waitpid(m_pid, &status, WNOHANG);
    if (done == m_pid) {
      m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      m_pid = -1;
      return m_status;
    }
    if (std::chrono::steady_clock::now() >= deadline) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

TempFolder::TempFolder() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr && *base != 0 ? base : "/tmp") + "/tavelo-codec-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back(0);
  if (::mkdtemp(buffer.data()) != nullptr) m_path = buffer.data();
}

TempFolder::~TempFolder() {
  if (m_path.empty()) return;
  std::error_code ec;
  std::filesystem::remove_all(m_path, ec);
}

std::string TempFolder::Write(const std::string& name, const std::string& text) const {
  const std::string path = m_path + "/" + name;
  std::ofstream(path) << text;
  return path;
}

std::string TempFolder::Read(const std::string& name) const {
  std::ifstream in(m_path + "/" + name);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> NetSnmpEnvironment(const TempFolder& folder) {
  return {"MIBS=", "MIBDIRS=/dev/null", "SNMP_PERSISTENT_DIR=" + folder.Path() + "/persist",
          "SNMPCONFPATH=" + folder.Path(), "HOME=" + folder.Path()};
}
