#include "kit/ZubUdpSocket.h"

#include "kit/ZubCounter.h"
#include "quillog/Quillog.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>

namespace {

constexpr uint32_t kMaxPort = 65535;

bool IsValidPort(uint32_t port) { return port >= 1 && port <= kMaxPort; }

sockaddr_in MakeAddress(uint32_t address, uint32_t port) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(static_cast<uint16_t>(port));
  sa.sin_addr.s_addr = htonl(address);
  return sa;
}

}  // namespace

bool CZubUdpSocket::SocketClientOpen(uint32_t address, uint32_t port) {
  if (IsOpen()) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CZubUdpSocket::SocketClientOpen() : The socket is already open");
    return false;
  }
  if (!IsValidPort(port)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CZubUdpSocket::SocketClientOpen() : Bad parameters");
    return false;
  }
  const int socket = CreateUdpSocket();
  if (socket < 0) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CZubUdpSocket::SocketClientOpen() : Error while creating the client socket");
    return false;
  }
  SetSocket(socket);
  ZubCounterSockets().Raise();
  const sockaddr_in peer = MakeAddress(address, port);
  if (::connect(socket, reinterpret_cast<const sockaddr*>(&peer), sizeof(peer)) != 0) {
    QuillogW(QUILLOG_ERROR, QLF_NONE,
             L"CZubUdpSocket::SocketClientOpen() : Error while pseudo connecting the client socket");
    SocketClose();
    return false;
  }
  return true;
}

bool CZubUdpSocket::SocketServerOpen(uint32_t port, CZubEvent* event, const wchar_t* local_address) {
  if (IsOpen()) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CZubUdpSocket::SocketServerOpen() : The socket is already open");
    return false;
  }
  if (!IsValidPort(port)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CZubUdpSocket::SocketServerOpen() : Bad parameters");
    return false;
  }
  const int socket = CreateUdpSocket();
  if (socket < 0) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CZubUdpSocket::SocketServerOpen() : Error while creating the server socket");
    return false;
  }
  SetSocket(socket);
  ZubCounterSockets().Raise();
  uint32_t bind_address = INADDR_ANY;
  if (local_address != nullptr && local_address[0] != L'\0') {
    bind_address = ResolvIp(local_address);
    if (bind_address == 0) {
      QuillogW(QUILLOG_ERROR, QLF_NONE, L"host address [%s] is not valid", local_address);
      bind_address = INADDR_ANY;
    }
  }
  const sockaddr_in local = MakeAddress(bind_address, port);
  if (::bind(socket, reinterpret_cast<const sockaddr*>(&local), sizeof(local)) != 0) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CZubUdpSocket::SocketServerOpen() : Error while binding the server socket");
    return false;
  }
  if (event != nullptr) {
    // Read readiness on an event is not supported here; callers wait with
    // SocketWaitRead instead.
    QuillogW(QUILLOG_ERROR, QLF_NONE,
             L"CZubUdpSocket::SocketServerOpen() : Error while binding the server socket with the event");
    return false;
  }
  return true;
}

bool CZubUdpSocket::SocketSend(uint32_t address, uint32_t port, const void* data, uint32_t length) {
  if (!IsOpen()) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CZubUdpSocket::SocketSend() : The UDP socket is not open");
    return false;
  }
  if (data == nullptr || length == 0 || !IsValidPort(port)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CZubUdpSocket::SocketSend() : Bad parameters");
    return false;
  }
  CUse use(*this);
  const sockaddr_in peer = MakeAddress(address, port);
  ssize_t sent = -1;
  if (IsOpenValue(use.Socket())) {
    do {
      sent = ::sendto(use.Socket(), data, length, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&peer), sizeof(peer));
    } while (sent < 0 && errno == EINTR);
  }
  if (sent != static_cast<ssize_t>(length)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CZubUdpSocket::SocketSend() : Error while sending data");
    return false;
  }
  return true;
}

bool CZubUdpSocket::SocketRecv(uint32_t* address, uint32_t* port, void* buffer, uint32_t* length) {
  if (!IsOpen()) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CZubUdpSocket::SocketRecv() : The UDP socket is not open");
    return false;
  }
  if (buffer == nullptr || length == nullptr || *length == 0) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CZubUdpSocket::SocketRecv() : Bad parameters");
    return false;
  }
  CUse use(*this);
  if (!IsOpenValue(use.Socket())) return false;
  sockaddr_in from{};
  socklen_t from_length = sizeof(from);
  ssize_t received;
  do {
    from_length = sizeof(from);
    // MSG_TRUNC returns the datagram's real size, so a longer one is seen.
    received = ::recvfrom(use.Socket(), buffer, *length, MSG_TRUNC, reinterpret_cast<sockaddr*>(&from), &from_length);
  } while (received < 0 && errno == EINTR && !use.Closed());
  // A close from another thread ends the receive (shutdown makes it return).
  if (received < 0 || use.Closed()) return false;
  if (static_cast<size_t>(received) > *length) return false;
  *length = static_cast<uint32_t>(received);
  if (address != nullptr) *address = ntohl(from.sin_addr.s_addr);
  if (port != nullptr) *port = ntohs(from.sin_port);
  return true;
}
