// A UDP socket of the test's own on a loopback port: a peer that never
// answers, a port taken from the code under test, or a hand-made client.
#pragma once

#include <arpa/inet.h>
#include <cstdint>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

class TestUdpSocket {
 public:
  using Bytes = std::vector<uint8_t>;

  // Bound to address:port (port 0: any free one).
  explicit TestUdpSocket(uint32_t address = INADDR_LOOPBACK, uint16_t port = 0)
      : m_fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in a = Address(port);
    a.sin_addr.s_addr = htonl(address);
    socklen_t len = sizeof a;
    m_ok = m_fd >= 0 && ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
           ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len) == 0;
    m_port = m_ok ? ntohs(a.sin_port) : 0;
  }
  ~TestUdpSocket() {
    if (m_fd >= 0) ::close(m_fd);
  }
  TestUdpSocket(const TestUdpSocket&) = delete;
  TestUdpSocket& operator=(const TestUdpSocket&) = delete;

  bool Ok() const { return m_ok; }
  int Fd() const { return m_fd; }
  uint16_t Port() const { return m_port; }
  std::string Target() const { return "127.0.0.1:" + std::to_string(m_port); }

  // Sends go to 127.0.0.1:port from now on.
  bool Connect(uint16_t port) {
    sockaddr_in a = Address(port);
    return ::connect(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  }
  bool Send(const Bytes& data) const {
    return ::send(m_fd, data.data(), data.size(), 0) == static_cast<ssize_t>(data.size());
  }
  bool SendTo(uint16_t port, const Bytes& data) const {
    sockaddr_in a = Address(port);
    return SendTo(a, data);
  }
  bool SendTo(const sockaddr_in& to, const Bytes& data) const {
    return ::sendto(m_fd, data.data(), data.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) ==
           static_cast<ssize_t>(data.size());
  }
  // The next datagram within timeout_ms (its sender in *from), or none.
  std::optional<Bytes> Receive(int timeout_ms, sockaddr_in* from = nullptr) const {
    pollfd p{m_fd, POLLIN, 0};
    if (::poll(&p, 1, timeout_ms) <= 0) return std::nullopt;
    uint8_t buffer[65536];
    sockaddr_in sender{};
    socklen_t len = sizeof sender;
    ssize_t n = ::recvfrom(m_fd, buffer, sizeof buffer, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&sender), &len);
    if (n < 0) return std::nullopt;
    if (from != nullptr) *from = sender;
    return Bytes(buffer, buffer + n);
  }
  // Every datagram waiting now.
  std::vector<Bytes> Drain() const {
    std::vector<Bytes> out;
    while (auto d = Receive(0)) out.push_back(*d);
    return out;
  }
  // Datagrams waiting now, or the first one within timeout_ms and those behind it.
  int Count(int timeout_ms = 0) const {
    int count = 0;
    if (timeout_ms > 0 && Receive(timeout_ms)) ++count;
    return count + static_cast<int>(Drain().size());
  }

 private:
  static sockaddr_in Address(uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
  }
  int m_fd = -1;
  bool m_ok = false;
  uint16_t m_port = 0;
};
