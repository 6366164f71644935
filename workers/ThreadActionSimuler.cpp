#include "workers/ThreadActionSimuler.h"

#include "app/MessageCenter.h"
#include "asn1/BerDecoder.h"
#include "asn1/BerEncoder.h"
#include "quillog/Quillog.h"
#include "simulator/SimulatorEntry.h"
#include "snmp/SnmpFrameOut.h"
#include "snmp/SnmpGenericFrameIn.h"

#include <chrono>
#include <memory>
#include <new>

namespace {

constexpr uint32_t kNoSuchName = 2;
constexpr uint32_t kWrongType = 7;
// Elements up to the first binding's value: message, version, community,
// PDU, request id, error status, error index, binding list, binding, name, value.
constexpr size_t kAnswerableCount = 11;
constexpr size_t kRequestIdIndex = 4;
constexpr size_t kNameIndex = 9;
constexpr size_t kValueIndex = 10;
constexpr uint32_t kLargestDatagram = 65536;

std::wstring DottedAddress(uint32_t address) {
  return QuillogFormat(L"%u.%u.%u.%u", address >> 24, (address >> 16) & 0xFF, (address >> 8) & 0xFF, address & 0xFF);
}

// The requested OID: the name of the first binding.
const CAsn1Object* RequestedName(const CSnmpGenericFrameIn& frame) {
  const CAsn1Object* name = frame.GetAt(kNameIndex);
  if (name == nullptr || name->GetCode() != ASN1_OBJECT_IDENTIFIER) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"Unable to get Object Identifier to read");
    return nullptr;
  }
  return name;
}

CSimulatorValue* ExactLookup(std::vector<CSimulatorValue>& values, const CAsn1Oid& oid) {
  for (CSimulatorValue& value : values) {
    if (value.oid == oid) return &value;
  }
  return nullptr;
}

// The first value, in list order, whose OID is greater than the requested one.
const CSimulatorValue* NextLookup(const std::vector<CSimulatorValue>& values, const CAsn1Oid& oid) {
  for (const CSimulatorValue& value : values) {
    if (CompareOid(value.oid, oid) > 0) return &value;
  }
  return nullptr;
}

void SetError(CSnmpResponseOut& answer, uint32_t status) {
  answer.SetInteger(L"ErrorStatus", status, false);
  answer.SetInteger(L"ErrorIndex", 1, false);
}

}  // namespace

void CSimulerFrameIn::Recycle() {
  for (auto& element : m_elements) m_spare.push_back(std::move(element));
  m_elements.clear();
  m_version = m_community = m_pdu = nullptr;
}

std::unique_ptr<CAsn1Object> CSimulerFrameIn::NewElement() {
  static const CAsn1Object kFresh(ASN1_NULL);
  if (m_spare.empty()) return std::make_unique<CAsn1Object>(ASN1_NULL);
  std::unique_ptr<CAsn1Object> element = std::move(m_spare.back());
  m_spare.pop_back();
  *element = kFresh;
  return element;
}

void CSimulerResponseOut::Reset(const CSnmpResponseOut& fresh) {
  if (m_elements.size() != fresh.GetCount()) {
    Clear();
    for (size_t i = 0; i < fresh.GetCount(); ++i) Add(std::make_unique<CAsn1Object>(*fresh.GetAt(i)));
    return;
  }
  for (size_t i = 0; i < m_elements.size(); ++i) *m_elements[i] = *fresh.GetAt(i);
}

CThreadActionSimuler::CThreadActionSimuler() = default;

CThreadActionSimuler::~CThreadActionSimuler() {
  if (IsBusy()) {
    WaitBegun(5000);
    Stop();
    // Whatever state it is in, a closed socket ends the serve loop.
    if (!WaitIdle(5000)) m_socket.SocketClose();
    WaitIdle(5000);
  }
}

void CThreadActionSimuler::_set_state(bool busy, bool begun) {
  // Notified under the lock: a waiter may destroy the worker as soon as it sees the change.
  std::lock_guard<std::mutex> lock(m_state_lock);
  m_busy = busy;
  m_begun = begun;
  m_state_changed.notify_all();
}

bool CThreadActionSimuler::IsBusy() const {
  std::lock_guard<std::mutex> lock(m_state_lock);
  return m_busy;
}

bool CThreadActionSimuler::WaitBegun(uint32_t timeout_ms) {
  std::unique_lock<std::mutex> lock(m_state_lock);
  m_state_changed.wait_for(lock, std::chrono::milliseconds(timeout_ms), [this] { return m_begun || !m_busy; });
  return m_begun;
}

bool CThreadActionSimuler::WaitIdle(uint32_t timeout_ms) {
  const auto start = std::chrono::steady_clock::now();
  {
    std::unique_lock<std::mutex> lock(m_state_lock);
    if (!m_state_changed.wait_for(lock, std::chrono::milliseconds(timeout_ms), [this] { return !m_busy; })) return false;
  }
  // The thread still returns from the end step and lets go of the worker.
  const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  const uint32_t left = spent.count() >= timeout_ms ? 0 : timeout_ms - static_cast<uint32_t>(spent.count());
  return WaitReleased(left);
}

bool CThreadActionSimuler::Start(uint32_t recv_port, bool accept_version1, bool accept_version2c,
                                 const std::wstring& community, CSimulatorEntry* simulator) {
  // Between Start and the begin step (and during the end step) the running
  // flag does not yet protect the worker; the busy state does.
  if (!IsRunning() && IsBusy()) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"%s is already running...", GetClassName());
    return false;
  }
  bool copied = false;
  bool started = _start([&] {
    m_recv_port = recv_port;
    Configure(accept_version1, accept_version2c, community, simulator);
    copied = true;
    _set_state(true, false);
  });
  if (!started && copied) _set_state(false, false);
  return started;
}

void CThreadActionSimuler::Configure(bool accept_version1, bool accept_version2c, const std::wstring& community,
                                     CSimulatorEntry* simulator) {
  m_accept_version1 = accept_version1;
  m_accept_version2c = accept_version2c;
  m_community = community;
  m_simulator = simulator;
}

bool CThreadActionSimuler::_open_socket() {
  if (!m_socket.SocketServerOpen(m_recv_port)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Error while creating UDP socket");
    return false;
  }
  return true;
}

uint32_t CThreadActionSimuler::_view_message() const { return MSG_VIEW_SIMULATOR; }
uint32_t CThreadActionSimuler::_started_code() const { return MSG_VIEW_SIMULATOR_STARTED; }
uint32_t CThreadActionSimuler::_finished_code() const { return MSG_VIEW_SIMULATOR_FINISHED; }

void CThreadActionSimuler::OnBegin() {
  CThreadSnmp::OnBegin();
  std::lock_guard<std::mutex> lock(m_state_lock);
  m_begun = IsRunning();
  m_state_changed.notify_all();
}

void CThreadActionSimuler::OnEnd() {
  CThreadSnmp::OnEnd();
  _set_state(false, false);
}

void CThreadActionSimuler::OnAction(uint32_t, uintptr_t, uintptr_t, uintptr_t) {
  Trace(TRACE_LIFE, L"Running...");
  // After a failed begin step the socket may be open but unbound, and a
  // receive on it would wait forever here.
  if (!IsRunning()) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to receive data on UDP socket");
    return;
  }
  const bool frame_in = quillog::FeatureOn(QLF_PROGRAM_SNMP_FRAME_IN);
  // Datagrams are received whole into a block large enough for any UDP
  // datagram, so that an empty or oversized one is dropped with its message
  // instead of failing the receive and ending the worker.
  std::vector<uint8_t> datagram(kLargestDatagram);
  for (;;) {
    CBerDecoder decoder;
    uint32_t address = 0;
    uint32_t port = 0;
    uint32_t length = kLargestDatagram;
    if (!m_socket.SocketRecv(&address, &port, datagram.data(), &length)) {
      QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to receive data on UDP socket");
      return;
    }
    if (!decoder.Assign(datagram.data(), length)) continue;
    if (quillog::FeatureOn(QLF_PROGRAM_SNMP)) {
      Trace(TRACE_IN, L"%d bytes received from %s:%d", length, DottedAddress(address), port);
    }
    if (frame_in) QuillogDumpW(QLF_PROGRAM_SNMP_FRAME_IN, L"CThreadActionWalker received data", decoder.GetBuffer(), length, 0);

    CBerEncoder answer;
    if (!HandleDatagram(decoder, answer)) continue;
    const uint8_t* data = answer.GetData();
    const uint32_t size = answer.GetUsedLength();
    if (!m_socket.SocketSend(address, port, data, size)) {
      QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to send data on UDP socket");
      continue;
    }
    if (quillog::FeatureOn(QLF_PROGRAM_SNMP)) {
      Trace(TRACE_OUT, L"%d bytes sent to %s:%d", size, DottedAddress(address), port);
    }
    if (quillog::FeatureOn(QLF_PROGRAM_SNMP_FRAME_OUT)) {
      QuillogDumpW(QLF_PROGRAM_SNMP_FRAME_OUT, L"CThreadActionWalker sent data", data, size, 0);
    }
  }
}

bool CThreadActionSimuler::_decode(CBerDecoder& decoder, CSimulerFrameIn& frame) {
  frame.Recycle();
  while (decoder.GetUsedLength() < decoder.GetSize()) {
    CAsn1Object* element = nullptr;
    try {
      auto owned = frame.NewElement();
      element = owned.get();
      frame.Add(std::move(owned));
    } catch (const std::bad_alloc&) {
      QuillogW(QUILLOG_WARNING, QLF_NONE, L"CThreadActionSimuler ==> Unable to build the SNMP message (problem with the oid)");
      break;
    }
    if (!element->GetType().Decode(decoder)) {
      QuillogW(QUILLOG_WARNING, QLF_NONE, L"CThreadActionSimuler ==> Unable to build the SNMP message (problem with the type)");
      break;
    }
    if (!element->GetLength().Decode(decoder)) {
      QuillogW(QUILLOG_WARNING, QLF_NONE,
               L"CThreadActionSimuler ==> CThreadActionSimuler ==> Unable to build the SNMP message (problem with the length)");
      break;
    }
    if (!element->GetValue().Build(element->GetType(), element->GetLength(), decoder)) {
      QuillogW(QUILLOG_WARNING, QLF_NONE, L"CThreadActionSimuler ==> Unable to build the SNMP message (problem with the value)");
      break;
    }
  }
  if (decoder.GetUsedLength() < decoder.GetSize()) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"CThreadActionSimuler ==> A mismatch in sizes of the SNMP message");
  }
  if (!frame.Decode()) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"CThreadActionSimuler ==> Unable to finalize the received SNMP message");
    return false;
  }
  Trace(TRACE_IN, L"Decoded a '%s' frame", GetTypeName(frame.GetPdu()->GetCode()));
  frame.Dump(QLF_PROGRAM_SNMP_DECODE_IN);
  return true;
}

bool CThreadActionSimuler::_accept(CSnmpGenericFrameIn& frame) {
  if (!m_accept_version1 && frame.IsVersion1()) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"%s : SNMP Version 1 messages are not allowed", GetClassName());
    return false;
  }
  if (!m_accept_version2c && frame.IsVersion2c()) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"%s : SNMP Version 2c messages are not allowed", GetClassName());
    return false;
  }
  // Same characters and the same number of octets on the wire, so that a
  // community with a zero byte cut from its text never matches.
  const CAsn1Object* community = frame.GetCommunity();
  if (community->GetText() != m_community || community->GetLength().GetLength() != static_cast<int64_t>(m_community.size())) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"%s : Wrong community name (%s)", GetClassName(), community->GetText());
    return false;
  }
  return true;
}

bool CThreadActionSimuler::HandleDatagram(CBerDecoder& decoder, CBerEncoder& encoder) {
  bool answered = _decode(decoder, m_frame) && _answer(m_frame, encoder);
  m_frame.Recycle();
  return answered;
}

bool CThreadActionSimuler::_answer(CSimulerFrameIn& frame, CBerEncoder& encoder) {
  if (!_accept(frame)) return false;
  PostViewMessage(GetClassName(), MSG_VIEW_SIMULATOR, MSG_VIEW_SIMULATOR_DATA_RECV, 0);
  if (frame.GetCount() < kAnswerableCount) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"%s : A request of %d elements has no variable binding, reject it",
             GetClassName(), static_cast<uint64_t>(frame.GetCount()));
    return false;
  }

  CSimulerResponseOut& answer = m_answer;
  answer.Reset(m_fresh_answer);
  answer.SetInteger(L"Version", frame.GetVersion()->GetValue().GetInteger(), true);
  answer.SetText(L"Community", frame.GetCommunity()->GetText());
  answer.SetInteger(L"RequestId", frame.GetAt(kRequestIdIndex)->GetValue().GetInteger(), true);

  bool handled = false;
  if (frame.IsGetNextRequest()) {
    handled = _handle_get_next(frame, answer);
  } else if (frame.IsGetRequest()) {
    handled = _handle_get(frame, answer);
  } else if (frame.IsSetRequest()) {
    handled = _handle_set(frame, answer);
  } else {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"Unknown PDU type (%s), reject it", GetTypeName(frame.GetPdu()->GetCode()));
    return false;
  }
  if (!handled) return false;

  if (!answer.Encode(encoder)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to encode SnmpGetNext PDU");
    return false;
  }
  Trace(TRACE_OUT, L"Encoded a '%s' frame", GetTypeName(ASN1_PDU_RESPONSE));
  answer.Dump(QLF_PROGRAM_SNMP_DECODE_OUT);
  return true;
}

bool CThreadActionSimuler::_handle_get(CSnmpGenericFrameIn& frame, CSnmpResponseOut& answer) {
  const CAsn1Object* name = RequestedName(frame);
  if (name == nullptr) return false;
  const CAsn1Oid& oid = name->GetValue().GetOid();
  auto lock = m_simulator->LockValues();
  CSimulatorValue* value = ExactLookup(m_simulator->values, oid);
  if (value == nullptr) {
    SetError(answer, kNoSuchName);
    answer.SetOid(oid);
    return true;
  }
  answer.SetOid(value->oid);
  answer.SetValue(value->type, value->value);
  return true;
}

bool CThreadActionSimuler::_handle_get_next(CSnmpGenericFrameIn& frame, CSnmpResponseOut& answer) {
  const CAsn1Object* name = RequestedName(frame);
  if (name == nullptr) return false;
  const CAsn1Oid& oid = name->GetValue().GetOid();
  auto lock = m_simulator->LockValues();
  const CSimulatorValue* value = NextLookup(m_simulator->values, oid);
  if (value != nullptr) {
    answer.SetOid(value->oid);
    answer.SetValue(value->type, value->value);
    return true;
  }
  if (frame.IsVersion1()) {
    SetError(answer, kNoSuchName);
    answer.SetOid(oid);
    return true;
  }
  if (frame.IsVersion2c()) {
    answer.SetOid(oid);
    answer.SetValue(ASN1_END_OF_MIB_VIEW, std::wstring());
    return true;
  }
  return false;
}

bool CThreadActionSimuler::_handle_set(CSnmpGenericFrameIn& frame, CSnmpResponseOut& answer) {
  const CAsn1Object* name = RequestedName(frame);
  if (name == nullptr) return false;
  const CAsn1Object* request_value = frame.GetAt(kValueIndex);
  const CAsn1Oid& oid = name->GetValue().GetOid();
  // The answer echoes the request's binding.
  answer.SetOid(oid);
  if (CAsn1Object* echo = answer.Find(L"Null")) {
    *echo = *request_value;
    echo->SetName(L"Null");
  }
  bool changed = false;
  {
    auto lock = m_simulator->LockValues();
    CSimulatorValue* value = ExactLookup(m_simulator->values, oid);
    if (value == nullptr) {
      SetError(answer, kNoSuchName);
    } else if (value->type != request_value->GetCode()) {
      SetError(answer, kWrongType);
    } else {
      value->value = request_value->GetText();
      changed = true;
    }
  }
  if (changed) PostViewMessage(GetClassName(), MSG_VIEW_SIMULATOR, MSG_VIEW_SIMULATOR_REFRESH, 0);
  return true;
}
