#include "kit/ZubHandle.h"

#include "kit/ZubCounter.h"
#include "quillog/Quillog.h"

CZubHandle::~CZubHandle() {
  if (!IsValid()) return;
  QuillogW(QUILLOG_WARNING, QLF_NONE, L"Destroying an existing Handle");
  CZubHandle::Close();
}

void CZubHandle::SetHandle(ZubHandleValue handle) {
  if (IsValid()) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"Loosing a handle when overwritting it");
    if (ZubCloseHandle(m_handle)) {
      ZubCounterHandles().Lower();
    } else {
      QuillogW(QUILLOG_WARNING, QLF_NONE, L"Error when closing the old handle");
    }
  }
  m_handle = handle;
  if (IsValid()) ZubCounterHandles().Raise();
}

bool CZubHandle::Close() {
  if (!IsValid()) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"Handle '%s' is NULL when closing it, abort", Name());
    return false;
  }
  const ZubHandleValue handle = m_handle;
  m_handle = 0;
  if (!ZubCloseHandle(handle)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Error when closing a handle");
    return false;
  }
  ZubCounterHandles().Lower();
  return true;
}

uint32_t CZubHandle::WaitFor(uint32_t timeout_ms) {
  return TranslateWaitResult(ZubWaitForSingleObject(m_handle, timeout_ms), 1);
}

uint32_t CZubHandle::TranslateWaitResult(uint32_t result, uint32_t count) {
  m_wait_status = ZubWaitNone;
  m_signaled_index = -1;
  if (result == ZUB_WAIT_FAILED) {
    m_wait_status = ZubWaitFailed;
  } else if (result == ZUB_WAIT_TIMEOUT) {
    m_wait_status = ZubWaitTimeout;
  } else if (result == ZUB_WAIT_ABANDONED_0) {
    m_wait_status = ZubWaitAbandoned;
    m_signaled_index = 0;
  } else if (result < ZUB_WAIT_OBJECT_0 + count) {
    m_wait_status = ZubWaitSignaled;
    m_signaled_index = static_cast<int32_t>(result - ZUB_WAIT_OBJECT_0);
  } else {
    m_wait_status = ZubWaitUnknown;
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"Unknown return (0x%.8x) of WaitForSingleObject() call", result);
  }
  return m_wait_status;
}
