// IPv4 UDP socket: a pseudo-connected client or a bound server.
#pragma once

#include "kit/ZubLowSocket.h"

#include <cstdint>

class CZubEvent;

class CZubUdpSocket : public CZubLowSocket {
 public:
  CZubUdpSocket() = default;
  ~CZubUdpSocket() override = default;

  // Port 1 to 65535.
  bool SocketClientOpen(uint32_t address, uint32_t port);
  // Binds to `port` on any local address, or on `local_address` when given.
  // Signalling an event on read readiness is not supported: a non-null
  // event is refused (the socket stays open and bound).
  bool SocketServerOpen(uint32_t port, CZubEvent* event = nullptr, const wchar_t* local_address = nullptr);
  bool SocketSend(uint32_t address, uint32_t port, const void* data, uint32_t length);
  // Receives one datagram (blocking); a datagram longer than *length fails.
  bool SocketRecv(uint32_t* address, uint32_t* port, void* buffer, uint32_t* length);
};
