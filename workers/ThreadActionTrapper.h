// Listens on a UDP port for SNMPv1 and SNMPv2c traps and informs and posts
// each one that decodes to the trapper view; an inform is acknowledged to
// its sender. Runs until stopped.
#pragma once

#include "workers/ThreadSnmp.h"

class CThreadActionTrapper final : public CThreadSnmp {
 public:
  ~CThreadActionTrapper() override { _shutdown(); }
  const wchar_t* GetClassName() const override { return L"CThreadActionTrapped"; }
  // Copies the receive port and hands the worker to the pool.
  bool Start(uint32_t port);
  void OnAction(uint32_t status, uintptr_t value1, uintptr_t value2, uintptr_t value3) override;

  uint32_t GetPort() const { return m_port; }

 protected:
  bool _open_socket() override;
  uint32_t _view_message() const override;
  uint32_t _started_code() const override;
  uint32_t _finished_code() const override;
  bool _posts() const override { return true; }

 private:
  // One datagram; false when the receiver must end.
  bool _receive_one();
  // Sends the Response that an inform's sender waits for.
  void _acknowledge(const uint8_t* inform, uint32_t length, uint32_t address, uint32_t port);

  uint32_t m_port = 0;
  uint32_t m_failures = 0;  // receive failures in a row on an open socket
};
