#include "kit/ZubLowSocket.h"

#include "kit/ZubConvertor.h"
#include "kit/ZubCounter.h"
#include "kit/ZubHandle.h"
#include "kit/ZubPointer.h"
#include "quillog/Quillog.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <climits>
#include <fcntl.h>
#include <memory>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr uint16_t kSocketVersion = 0x0202;
std::atomic<bool> g_started{false};

struct AddrInfoFree {
  void operator()(addrinfo* info) const { freeaddrinfo(info); }
};

}  // namespace

bool CZubTcpStaticFunction::InitLow() {
  if (g_started.load()) return true;
  // Nothing to start on this system: POSIX sockets are always available.
  g_started.store(true);
  if (GetVersion() == kSocketVersion) {
    QuillogW(QUILLOG_INFO, QLF_LIB_SOCKET_ACTION, L"The low level socket interface is started");
    return true;
  }
  QuillogW(QUILLOG_ERROR, QLF_NONE, L"An error while initializing the Windows socket (bad version number)");
  TerminateLow();
  return false;
}

bool CZubTcpStaticFunction::TerminateLow() {
  if (!g_started.exchange(false)) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"CZubTcpStaticFunction::TerminateLow() already done");
    return true;
  }
  QuillogW(QUILLOG_INFO, QLF_LIB_SOCKET_ACTION, L"The low level socket interface is stopped");
  return true;
}

bool CZubTcpStaticFunction::IsStarted() { return g_started.load(); }

uint16_t CZubTcpStaticFunction::GetVersion() { return kSocketVersion; }

CZubLowSocket::CUse::CUse(CZubLowSocket& owner) : m_owner(owner) {
  std::lock_guard<std::mutex> lock(owner.m_use_lock);
  m_socket = owner.m_socket.load();
  m_generation = owner.m_close_generation;
  if (IsOpenValue(m_socket)) ++owner.m_users;
}

CZubLowSocket::CUse::~CUse() {
  if (!IsOpenValue(m_socket)) return;
  std::vector<int> to_close;
  {
    std::lock_guard<std::mutex> lock(m_owner.m_use_lock);
    if (--m_owner.m_users == 0) to_close.swap(m_owner.m_deferred_close);
  }
  for (int socket : to_close) ::close(socket);
}

bool CZubLowSocket::CUse::Closed() const {
  std::lock_guard<std::mutex> lock(m_owner.m_use_lock);
  return m_generation != m_owner.m_close_generation;
}

CZubLowSocket::CZubLowSocket() { CZubTcpStaticFunction::InitLow(); }

CZubLowSocket::~CZubLowSocket() {
  if (IsOpen()) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"CZubLowSocket destructor is closing an open socket");
    SocketClose();
  }
  for (int socket : m_deferred_close) ::close(socket);
}

bool CZubLowSocket::IsOpen() const { return IsOpenValue(m_socket.load()); }

void CZubLowSocket::SetSocket(int socket) {
  std::lock_guard<std::mutex> lock(m_use_lock);
  if (IsOpenValue(m_socket.load())) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"Loosing a reference to a socket");
  }
  m_socket.store(socket);
}

bool CZubLowSocket::SocketClose() {
  int socket;
  {
    std::lock_guard<std::mutex> lock(m_use_lock);
    socket = m_socket.exchange(ZUB_INVALID_SOCKET);
    if (IsOpenValue(socket)) {
      ++m_close_generation;
      // Wakes a thread blocked in recvfrom or poll on it (close alone does not).
      ::shutdown(socket, SHUT_RDWR);
      if (m_users > 0) {
        // The last user closes it, so the number stays taken until then.
        m_deferred_close.push_back(socket);
        ZubCounterSockets().Lower();
        return true;
      }
    }
  }
  if (!IsOpenValue(socket)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CZubLowSocket::SocketClose() : The socket is not open");
    return false;
  }
  if (::close(socket) != 0) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CZubLowSocket::SocketClose() : Error while closing the socket");
    return false;
  }
  ZubCounterSockets().Lower();
  return true;
}

int CZubLowSocket::CreateUdpSocket() {
  int socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
  if (socket == 0) {
    // 0 reads as "no socket": move it to another number.
    const int moved = ::fcntl(socket, F_DUPFD_CLOEXEC, 1);
    ::close(socket);
    socket = moved;
  }
  return socket;
}

uint32_t CZubLowSocket::ResolvIp(const char* host) {
  if (host == nullptr || host[0] == '\0') {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Bad parameter in CZubLowSocket::ResolvIp()");
    return 0;
  }
  const in_addr_t dotted = ::inet_addr(host);
  if (dotted != INADDR_NONE) return ntohl(dotted);
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  const int rc = ::getaddrinfo(host, nullptr, &hints, &found);
  std::unique_ptr<addrinfo, AddrInfoFree> result(found);
  if (rc != 0 || !result || result->ai_addr == nullptr) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Host %S not resolved in CZubLowSocket::ResolvIp()", host);
    return 0;
  }
  const auto* address = reinterpret_cast<const sockaddr_in*>(result->ai_addr);
  return ntohl(address->sin_addr.s_addr);
}

uint32_t CZubLowSocket::ResolvIp(const wchar_t* host) {
  if (IsNullOrEmpty(host, false)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Bad parameter in CZubLowSocket::ResolvIp()");
    return 0;
  }
  CZubConvertor convertor;
  const char* text = nullptr;
  if (!convertor.Unicode2Utf8(host, &text, -1, ZUB_CP_UTF8)) return 0;
  return ResolvIp(text);
}

int CZubLowSocket::SocketWaitRead(uint32_t timeout_ms) {
  CUse use(*this);
  if (!IsOpenValue(use.Socket())) return -1;
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms == ZUB_INFINITE ? 0 : timeout_ms);
  for (;;) {
    int wait_ms = -1;
    if (timeout_ms != ZUB_INFINITE) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      wait_ms = left <= 0 ? 0 : static_cast<int>(left > INT_MAX ? INT_MAX : left);
    }
    pollfd fd{use.Socket(), POLLIN, 0};
    const int rc = ::poll(&fd, 1, wait_ms);
    if (use.Closed()) return -1;
    if (rc < 0 && errno == EINTR) continue;
    if (rc < 0) return -1;
    if (rc == 0) return 0;
    return (fd.revents & (POLLIN | POLLERR)) != 0 ? 1 : -1;
  }
}
