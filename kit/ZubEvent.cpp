#include "kit/ZubEvent.h"

#include "kit/ZubKernel.h"
#include "quillog/Quillog.h"

#include <memory>

namespace {

constexpr uint32_t kErrorInvalidHandle = 6;

std::shared_ptr<zubkernel::Event> FindEvent(ZubHandleValue handle) {
  return zubkernel::FindAs<zubkernel::Event>(handle);
}

}  // namespace

CZubEvent::CZubEvent(const wchar_t* name, bool manual_reset) : CZubHandle(name) {
  try {
    SetHandle(zubkernel::Insert(std::make_shared<zubkernel::Event>(manual_reset)));
  } catch (...) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Error while creating the event");
  }
}

CZubEvent::~CZubEvent() {
  if (!IsValid()) return;
  QuillogW(QUILLOG_WARNING, QLF_NONE, L"Destroying an existing event");
  CZubHandle::Close();
}

bool CZubEvent::Notify() {
  return NotifyAfter([] {});
}

bool CZubEvent::NotifyAfter(const std::function<void()>& update) {
  if (!IsValid()) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Error while notifying a NULL event");
    return false;
  }
  std::shared_ptr<zubkernel::Event> event = FindEvent(GetHandle());
  if (!event) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Error while setting an event");
    return false;
  }
  event->PulseAfter(update);
  return true;
}

uint32_t CZubEvent::WaitUnless(uint32_t timeout_ms, const std::function<bool()>& ready) {
  std::shared_ptr<zubkernel::Event> event = FindEvent(GetHandle());
  const uint32_t result = event ? event->WaitUnless(timeout_ms, &ready) : ZUB_WAIT_FAILED;
  return TranslateWaitResult(result, 1);
}

bool CZubEvent::Close() {
  if (!IsValid()) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"Event %s is already closed", Name());
    return true;
  }
  return CZubHandle::Close();
}

CZubIocp::CZubIocp(const wchar_t* name) : CZubHandle(name) {
  try {
    SetHandle(zubkernel::Insert(std::make_shared<zubkernel::Queue>()));
  } catch (...) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Error while creating the iocp");
  }
}

CZubIocp::~CZubIocp() {
  if (!IsValid()) return;
  QuillogW(QUILLOG_WARNING, QLF_NONE, L"Destroying an existing Iocp");
  CZubHandle::Close();
}

bool CZubIocp::Close() {
  if (!IsValid()) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"Iocp %s is already closed", Name());
    return true;
  }
  return CZubHandle::Close();
}

bool CZubIocp::Post(uint32_t bytes, uintptr_t key, uintptr_t overlapped, uint32_t error) {
  std::shared_ptr<zubkernel::Queue> queue = zubkernel::FindAs<zubkernel::Queue>(GetHandle());
  if (!queue) return false;
  try {
    queue->Post(zubkernel::Packet{bytes, key, overlapped, error});
  } catch (...) {
    return false;
  }
  return true;
}

bool CZubIocp::Dequeue(uint32_t timeout_ms, uint32_t* bytes, uintptr_t* key, uintptr_t* overlapped,
                       uint32_t* last_error) {
  *bytes = 0;
  *key = 0;
  *overlapped = 0;
  *last_error = 0;
  std::shared_ptr<zubkernel::Queue> queue = zubkernel::FindAs<zubkernel::Queue>(GetHandle());
  if (!queue) {
    *last_error = kErrorInvalidHandle;
    return false;
  }
  zubkernel::Packet packet;
  const uint32_t result = queue->Dequeue(timeout_ms, &packet);
  if (result == ZUB_WAIT_TIMEOUT || result == ZUB_WAIT_FAILED) {
    *last_error = result == ZUB_WAIT_TIMEOUT ? ZUB_WAIT_TIMEOUT : kErrorInvalidHandle;
    return false;
  }
  *bytes = packet.bytes;
  *key = packet.key;
  *overlapped = packet.overlapped;
  *last_error = packet.error;
  return packet.error == 0;
}
