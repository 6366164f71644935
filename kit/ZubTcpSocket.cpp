#include "kit/ZubTcpSocket.h"

#include "kit/ZubCounter.h"
#include "quillog/Quillog.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A new non-blocking IPv4 stream socket (close-on-exec, never descriptor 0), or -1.
int CreateTcpSocket() {
  int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_TCP);
  if (socket == 0) {
    const int moved = ::fcntl(socket, F_DUPFD_CLOEXEC, 1);
    ::close(socket);
    if (moved >= 0) ::fcntl(moved, F_SETFL, ::fcntl(moved, F_GETFL) | O_NONBLOCK);
    socket = moved;
  }
  return socket;
}

}  // namespace

bool CZubTcpSocket::SocketClientOpen(uint32_t address, uint32_t port, uint32_t timeout_ms) {
  if (IsOpen()) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CZubTcpSocket::SocketClientOpen() : The socket is already open");
    return false;
  }
  if (port < 1 || port > 65535 || address == 0) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CZubTcpSocket::SocketClientOpen() : Bad parameters");
    return false;
  }
  const int socket = CreateTcpSocket();
  if (socket < 0) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CZubTcpSocket::SocketClientOpen() : Error while creating the socket");
    return false;
  }
  SetSocket(socket);
  ZubCounterSockets().Raise();
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(static_cast<uint16_t>(port));
  peer.sin_addr.s_addr = htonl(address);
  const int rc = ::connect(socket, reinterpret_cast<const sockaddr*>(&peer), sizeof(peer));
  const bool connected = rc == 0 || (errno == EINPROGRESS && _wait_connected(socket, timeout_ms));
  if (!connected) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CZubTcpSocket::SocketClientOpen() : Unable to connect to port %u", port);
    SocketClose();
    return false;
  }
  return true;
}

bool CZubTcpSocket::_wait_connected(int socket, uint32_t timeout_ms) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
      QuillogW(QUILLOG_ERROR, QLF_NONE, L"CZubTcpSocket::SocketClientOpen() : Connect timed out after %u ms",
               timeout_ms);
      return false;
    }
    pollfd fd{socket, POLLOUT, 0};
    const int rc = ::poll(&fd, 1, static_cast<int>(left));
    if (rc < 0 && errno == EINTR) continue;
    if (rc < 0) return false;
    if (rc == 0) continue;  // the deadline is checked at the top
    int error = 0;
    socklen_t length = sizeof(error);
    if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return false;
    return error == 0;
  }
}
