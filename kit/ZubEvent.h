// Events and the in-process completion queue.
#pragma once

#include "kit/ZubHandle.h"

#include <cstdint>
#include <functional>

// An event (mutex + condition variable). Notify pulses it: the threads
// waiting at that moment are released and the event stays unsignalled.
class CZubEvent : public CZubHandle {
 public:
  CZubEvent(const wchar_t* name, bool manual_reset);
  ~CZubEvent() override;

  bool Notify();
  bool Close() override;

  // Runs `update` under the event's lock, then pulses. With WaitUnless this
  // gives a wake-up that cannot be lost between a check and the wait.
  bool NotifyAfter(const std::function<void()>& update);
  // Waits for a pulse unless `ready` (called under the event's lock) holds
  // already; returns the status like WaitFor (signalled when ready).
  uint32_t WaitUnless(uint32_t timeout_ms, const std::function<bool()>& ready);
};

// An in-process I/O completion queue of {bytes, key, overlapped} packets.
// It creates its own queue on construction (no part of the system creates
// a port from a file handle).
class CZubIocp : public CZubHandle {
 public:
  explicit CZubIocp(const wchar_t* name);
  ~CZubIocp() override;

  bool Close() override;

  // Queues a packet. `error` non-zero makes it a failed I/O packet.
  bool Post(uint32_t bytes, uintptr_t key, uintptr_t overlapped, uint32_t error = 0);
  // Dequeues one packet. True for a successful packet; false with
  // *last_error = 258 on time-out, the packet's error for a failed packet
  // (overlapped set), 6 (invalid handle) when the queue is closed.
  bool Dequeue(uint32_t timeout_ms, uint32_t* bytes, uintptr_t* key, uintptr_t* overlapped, uint32_t* last_error);
};
