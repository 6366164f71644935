#include "setrig/ZubProcess.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace setrig {

namespace {

class CPipe {
 public:
  CPipe() {
    if (::pipe2(m_fds, O_CLOEXEC) != 0) m_fds[0] = m_fds[1] = -1;
  }
  ~CPipe() {
    CloseWrite();
    if (m_fds[0] >= 0) ::close(m_fds[0]);
  }
  CPipe(const CPipe&) = delete;
  CPipe& operator=(const CPipe&) = delete;
  bool Ok() const { return m_fds[0] >= 0; }
  int Read() const { return m_fds[0]; }
  int Write() const { return m_fds[1]; }
  void CloseWrite() {
    if (m_fds[1] >= 0) ::close(m_fds[1]);
    m_fds[1] = -1;
  }

 private:
  int m_fds[2];
};

class CSpawnActions {
 public:
  CSpawnActions() { posix_spawn_file_actions_init(&m_actions); }
  ~CSpawnActions() { posix_spawn_file_actions_destroy(&m_actions); }
  CSpawnActions(const CSpawnActions&) = delete;
  CSpawnActions& operator=(const CSpawnActions&) = delete;
  posix_spawn_file_actions_t* Get() { return &m_actions; }

 private:
  posix_spawn_file_actions_t m_actions;
};

// Reads the pipe until it closes or the deadline passes; false on time-out.
bool Drain(int fd, std::chrono::steady_clock::time_point deadline, std::string* output) {
  char buffer[4096];
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) return false;
    pollfd p{fd, POLLIN, 0};
    const int rc = ::poll(&p, 1, static_cast<int>(left));
    if (rc < 0 && errno == EINTR) continue;
    if (rc <= 0) continue;
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return true;
    output->append(buffer, static_cast<size_t>(n));
  }
}

int WaitExit(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

ProcessResult RunProgram(const std::vector<std::string>& args, int timeout_ms) {
  ProcessResult result;
  if (args.empty()) return result;
  CPipe pipe;
  if (!pipe.Ok()) return result;
  CSpawnActions actions;
  posix_spawn_file_actions_addopen(actions.Get(), 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(actions.Get(), pipe.Write(), 1);
  posix_spawn_file_actions_adddup2(actions.Get(), pipe.Write(), 2);
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawnp(&pid, argv[0], actions.Get(), nullptr, argv.data(), environ) != 0) return result;
  result.started = true;
  pipe.CloseWrite();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  if (!Drain(pipe.Read(), deadline, &result.output)) {
    result.timed_out = true;
    ::kill(pid, SIGKILL);
  }
  result.exit_code = WaitExit(pid);
  if (result.timed_out) result.exit_code = -1;
  return result;
}

}  // namespace setrig
