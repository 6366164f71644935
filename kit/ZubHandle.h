// Handles of the kit's kernel objects (events, completion queues, threads)
// and the uniform wait status.
//
// A handle is an opaque non-zero number from the kit's handle table; values
// are never re-used in a run, so a stale handle fails cleanly.
#pragma once

#include "kit/ZubName.h"

#include <cstdint>

using ZubHandleValue = uintptr_t;
inline constexpr ZubHandleValue ZUB_INVALID_HANDLE = ~static_cast<ZubHandleValue>(0);

// Raw wait results, with the Windows numbers.
inline constexpr uint32_t ZUB_WAIT_OBJECT_0 = 0;
inline constexpr uint32_t ZUB_WAIT_ABANDONED_0 = 128;
inline constexpr uint32_t ZUB_WAIT_TIMEOUT = 258;
inline constexpr uint32_t ZUB_WAIT_FAILED = 0xFFFFFFFFu;
inline constexpr uint32_t ZUB_INFINITE = 0xFFFFFFFFu;

// Wait statuses kept by CZubHandle.
enum ZubWaitStatus : uint32_t {
  ZubWaitUnknown = 0,
  ZubWaitNone = 1,
  ZubWaitFailed = 2,
  ZubWaitSignaled = 3,
  ZubWaitTimeout = 4,
  ZubWaitAbandoned = 5,
};

// WaitForSingleObject on a kit handle: a raw wait result.
uint32_t ZubWaitForSingleObject(ZubHandleValue handle, uint32_t timeout_ms);
// CloseHandle on a kit handle: false for an unknown handle.
bool ZubCloseHandle(ZubHandleValue handle);

class CZubHandle : public CZubName {
 public:
  CZubHandle() = default;
  explicit CZubHandle(const wchar_t* name) : CZubName(name) {}
  ~CZubHandle() override;
  CZubHandle(const CZubHandle&) = delete;
  CZubHandle& operator=(const CZubHandle&) = delete;

  static bool IsValidHandle(ZubHandleValue handle) { return handle != 0 && handle != ZUB_INVALID_HANDLE; }

  ZubHandleValue GetHandle() const { return m_handle; }
  bool IsValid() const { return IsValidHandle(m_handle); }
  // Replaces the handle (closing a valid old one); a valid new one raises
  // the handle counter.
  void SetHandle(ZubHandleValue handle);
  virtual bool Close();

  // Waits on the handle and returns the translated status.
  uint32_t WaitFor(uint32_t timeout_ms);
  // Translates a raw wait result over `count` objects into a status,
  // stored with the signalled index.
  uint32_t TranslateWaitResult(uint32_t result, uint32_t count);

  uint32_t GetWaitStatus() const { return m_wait_status; }
  int32_t GetSignaledIndex() const { return m_signaled_index; }

 private:
  ZubHandleValue m_handle = 0;
  uint32_t m_wait_status = ZubWaitNone;
  int32_t m_signaled_index = -1;
};
