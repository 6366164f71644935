// IPv4 TCP client socket. A connect waits at most the time it is given, so
// a host that drops packets cannot hold the caller for the system's
// two-minute connect time-out.
#pragma once

#include "kit/ZubLowSocket.h"

#include <cstdint>

class CZubTcpSocket : public CZubLowSocket {
 public:
  static constexpr uint32_t kDefaultConnectTimeoutMs = 5000;

  // Creates a stream socket and connects it to the address and port (host
  // order). A refused, unreachable or timed-out connect closes the socket
  // and returns false.
  bool SocketClientOpen(uint32_t address, uint32_t port, uint32_t timeout_ms = kDefaultConnectTimeoutMs);

 private:
  // Waits for the non-blocking connect to finish; true when it succeeded.
  bool _wait_connected(int socket, uint32_t timeout_ms);
};
