// Listens on a UDP port for SNMPv1 and SNMPv2c traps and informs; an
// inform is acknowledged to its sender. Runs until stopped.
//
// Each trap that decodes waits in the receiver's outbox, in order, until a
// view takes it. The receiver posts MSG_VIEW_TRAPPER_DATA, with the run's
// number as payload, each time the outbox stops being empty; the view calls
// TakeTraps with that number.
#pragma once

#include "workers/ThreadSnmp.h"
#include "workers/TrapRecord.h"

#include <memory>
#include <vector>

class CThreadActionTrapper final : public CThreadSnmp {
 public:
  ~CThreadActionTrapper() override { _shutdown(); }
  const wchar_t* GetClassName() const override { return L"CThreadActionTrapped"; }
  // Copies the receive port and hands the worker to the pool.
  bool Start(uint32_t port);
  void OnAction(uint32_t status, uintptr_t value1, uintptr_t value2, uintptr_t value3) override;

  uint32_t GetPort() const { return m_port; }

  // The number of the run the last Start began (unique in the process; 0
  // before the first).
  uint64_t GetRun() const { return m_outbox.Run(); }
  // The traps of that run not taken yet, in order; none for another number.
  std::vector<std::unique_ptr<CTrapRecord>> TakeTraps(uint64_t run) { return m_outbox.Take(run); }

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
  CRowOutbox<CTrapRecord> m_outbox;
};
