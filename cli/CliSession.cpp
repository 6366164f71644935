#include "cli/CliSession.h"

#include "quillog/Quillog.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <netinet/in.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace cli {
namespace {

std::mutex g_watch_mutex;
std::string g_last_problem;
std::vector<std::string> g_problems;  // the first kKeptProblems
constexpr size_t kKeptProblems = 64;

bool Watch(uint64_t, uint32_t, QuillogInfo* record) {
  if (record->level == QUILLOG_WARNING || record->level == QUILLOG_ERROR || record->level == QUILLOG_FATAL) {
    std::lock_guard<std::mutex> lock(g_watch_mutex);
    g_last_problem = quillog::WideToUtf8(record->message);
    if (g_problems.size() < kKeptProblems) g_problems.push_back(g_last_problem);
  }
  QuillogReleaseInfo(record);
  return true;
}

sigset_t StopSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}

}  // namespace

LogWatch::LogWatch() {
  {
    std::lock_guard<std::mutex> lock(g_watch_mutex);
    g_last_problem.clear();
    g_problems.clear();
  }
  QuillogSetPoster(&Watch);
  QuillogPostSendMessageEnable();
}

LogWatch::~LogWatch() {
  QuillogPostSendMessageDisable();
  QuillogSetPoster(nullptr);
}

std::string LogWatch::LastProblem() {
  std::lock_guard<std::mutex> lock(g_watch_mutex);
  return g_last_problem;
}

bool LogWatch::Saw(const std::string& fragment) {
  std::lock_guard<std::mutex> lock(g_watch_mutex);
  for (const std::string& p : g_problems)
    if (p.find(fragment) != std::string::npos) return true;
  return false;
}

ErrorLines::ErrorLines() : m_previous(SetShowMessage(this)) {}

ErrorLines::~ErrorLines() { SetShowMessage(m_previous); }

void ErrorLines::Show(const std::wstring&, const std::wstring& text, ShowMessageIcon) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_failed = true;
  std::fprintf(stderr, "tavelo: %s\n", quillog::WideToUtf8(text).c_str());
}

bool ErrorLines::Failed() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_failed;
}

CliSession::CliSession() {
  const sigset_t set = StopSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  m_watcher = std::thread([this] { _watch(); });
}

CliSession::~CliSession() {
  m_done = true;
  // Wake the watcher now rather than at its next tick.
  if (m_watcher.joinable()) {
    pthread_kill(m_watcher.native_handle(), SIGTERM);
    m_watcher.join();
  }
  m_dispatcher.Quit();
  const sigset_t set = StopSignals();
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

void CliSession::_watch() {
  const sigset_t set = StopSignals();
  const timespec tick{0, 100 * 1000 * 1000};
  while (!m_done) {
    if (sigtimedwait(&set, nullptr, &tick) < 0) continue;
    if (m_done) break;  // the destructor's wake-up
    m_interrupted = true;
    m_dispatcher.Post([this] {
      if (m_on_interrupt) m_on_interrupt();
    });
  }
}

std::string ListenProblem(uint32_t address, uint32_t port) {
  const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (s < 0) return std::strerror(errno);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(address);
  local.sin_port = htons(static_cast<uint16_t>(port));
  const int result = ::bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local);
  const int error = errno;
  ::close(s);
  if (result == 0) return {};
  const std::string name = "port " + std::to_string(port);
  if (error == EADDRINUSE) return name + " is in use";
  if (error == EACCES) return name + " needs root (ports below 1024 are privileged)";
  if (error == EADDRNOTAVAIL) {
    char text[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &local.sin_addr, text, sizeof text);
    return std::string(text) + " is not an address of this machine";
  }
  return name + ": " + std::strerror(error);
}

}  // namespace cli
