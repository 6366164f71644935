#include "workers/ThreadActionWalkerRequest.h"

#include "app/MessageCenter.h"
#include "app/ShowMessage.h"
#include "asn1/BerDecoder.h"
#include "asn1/BerEncoder.h"
#include "asn1/IpAddress.h"
#include "snmp/SnmpFrameOut.h"
#include "snmp/SnmpResponseIn.h"
#include "workers/WalkerResult.h"

#include <algorithm>
#include <chrono>
#include <string>

bool CThreadActionWalkerRequest::Start(const CThreadActionWalkerParameter& parameter) {
  return _start([&] {
    m_parameter = parameter;
    _on_start();
  });
}

bool CThreadActionWalkerRequest::_open_socket() {
  if (m_socket.SocketClientOpen(m_parameter.address, m_parameter.port)) return true;
  QuillogW(QUILLOG_ERROR, QLF_NONE, L"Error while opening UDP socket");
  return false;
}

void CThreadActionWalkerRequest::_reset_counters() {
  m_parameter.timeout_count = 0;
  m_end = End::None;
}

uint32_t CThreadActionWalkerRequest::_view_message() const { return MSG_VIEW_WALKER; }

bool CThreadActionWalkerRequest::_encode_request(CBerEncoder& encoder, const uint8_t** data, uint32_t* length) {
  const bool tracing = quillog::FeatureOn(QLF_PROGRAM_SNMP);
  const bool dumping = (QuillogGetFeatureLevel() & QLF_PROGRAM_SNMP_DECODE_OUT) != 0;
  SnmpRequestFields fields;
  if (!tracing && !dumping && _request_fields(fields)) {
    fields.version = m_parameter.version;
    fields.community = m_parameter.community;
    fields.request_id = static_cast<int32_t>(m_in_flight_id);
    if (m_request_bytes.Write(fields, m_parameter.current_oid)) {
      *data = m_request_bytes.GetData();
      *length = m_request_bytes.GetLength();
      return true;
    }
    // Refused: the frame classes say why.
  }
  std::unique_ptr<CSnmpFrameOut> request = _new_request();
  request->SetInteger(L"Version", m_parameter.version, true);
  request->SetText(L"Community", m_parameter.community);
  // The id goes out as the signed 32-bit INTEGER that request-id is.
  request->SetInteger(L"RequestId", static_cast<int32_t>(m_in_flight_id), true);
  request->SetOid(m_parameter.current_oid);
  if (request->Find(L"Value") != nullptr) request->SetText(L"Value", m_parameter.value);
  _fill_request(*request);
  if (!request->Encode(encoder)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, _encode_error());
    return false;
  }
  // The trace's arguments are built only when the trace is on: a walk sends thousands of requests.
  const CAsn1Object* pdu = request->GetAt(3);
  if (tracing) Trace(TRACE_OUT, L"Encoded a '%s' frame", pdu ? pdu->GetName() : std::wstring());
  if (dumping) request->Dump(QLF_PROGRAM_SNMP_DECODE_OUT);
  *data = encoder.GetData();
  *length = encoder.GetUsedLength();
  return true;
}

bool CThreadActionWalkerRequest::SendRequest() {
  m_in_flight_id = m_parameter.TakeRequestId();
  CBerEncoder encoder;
  const uint8_t* data = nullptr;
  uint32_t length = 0;
  if (!_encode_request(encoder, &data, &length)) return false;
  if (!m_socket.SocketSend(m_parameter.address, m_parameter.port, data, length)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to send data on UDP socket");
    return false;
  }
  if (quillog::FeatureOn(QLF_PROGRAM_SNMP))
    Trace(TRACE_OUT, L"%d bytes sent to %s:%d", length, FormatIpAddress(m_parameter.address), m_parameter.port);
  QuillogDumpW(QLF_PROGRAM_SNMP_FRAME_OUT, _sent_title(), data, length, 0);
  return true;
}

bool CThreadActionWalkerRequest::AwaitAnswer(CSnmpResponseIn& frame) {
  using Clock = std::chrono::steady_clock;
  auto deadline = Clock::now() + std::chrono::milliseconds(m_parameter.timeout);
  while (true) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    const int ready = m_socket.SocketWaitRead(static_cast<uint32_t>(std::max<int64_t>(left, 0)));
    if (ready == 0) {
      if (!_on_timeout()) return false;
      deadline = Clock::now() + std::chrono::milliseconds(m_parameter.timeout);
      continue;
    }
    if (ready < 0) {
      QuillogW(QUILLOG_WARNING, QLF_NONE, L"error select()");
      m_end = End::Failed;
      return false;
    }
    if (!m_socket.IsOpen()) {
      QuillogW(QUILLOG_WARNING, QLF_NONE, L"Socket is closed, exiting...");
      m_end = End::Failed;
      return false;
    }
    const Received received = _receive(frame);
    if (received == Received::Answer) return true;
    if (received == Received::Failed) {
      QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to read data");
      m_end = End::Failed;
      return false;
    }
  }
}

bool CThreadActionWalkerRequest::_on_timeout() {
  QuillogW(QUILLOG_WARNING, QLF_NONE, L"Timeout");
  if (++m_parameter.timeout_count == m_parameter.retries) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"Too much timeout");
    m_end = End::TimedOut;
    return false;
  }
  if (!SendRequest()) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to send data");
    m_end = End::Failed;
    return false;
  }
  return true;
}

CThreadActionWalkerRequest::Received CThreadActionWalkerRequest::_receive(CSnmpResponseIn& frame) {
  CBerDecoder decoder;
  uint32_t address = 0;
  uint32_t port = 0;
  uint32_t length = CBerDecoder::GetCapacity();
  if (!m_socket.SocketRecv(&address, &port, decoder.GetBuffer(), &length)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to receive data on UDP socket");
    return Received::Failed;
  }
  if (!decoder.SetSize(length)) return Received::Dropped;  // an empty datagram
  const bool tracing = quillog::FeatureOn(QLF_PROGRAM_SNMP);
  if (tracing) Trace(TRACE_IN, L"%d bytes received from %s:%d", length, FormatIpAddress(address), port);
  QuillogDumpW(QLF_PROGRAM_SNMP_FRAME_IN, _received_title(), decoder.GetBegin(), length, 0);
  frame.SetSender(address, port);
  if (!DecodeDatagram(decoder, frame)) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"%s : a datagram that is not a response was dropped", GetClassName());
    return Received::Dropped;
  }
  if (tracing) Trace(TRACE_IN, L"Decoded a '%s' frame", GetTypeName(frame.GetPdu()->GetCode()));
  if (QuillogGetFeatureLevel() & QLF_PROGRAM_SNMP_DECODE_IN) frame.Dump(QLF_PROGRAM_SNMP_DECODE_IN);
  if (!_matches(frame)) return Received::Dropped;
  m_parameter.timeout_count = 0;
  return Received::Answer;
}

bool CThreadActionWalkerRequest::_matches(const CSnmpResponseIn& frame) const {
  // The id as it went out: the signed 32-bit INTEGER of the request.
  const CAsn1Object* id = frame.GetRequestId();
  const int64_t expected = static_cast<int32_t>(m_in_flight_id);
  if (id->GetCode() != ASN1_INTEGER || id->GetValue().GetInteger() != expected) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"%s : dropped an answer with request id %s while waiting for %d",
             GetClassName(), id->GetText(), expected);
    return false;
  }
  // The community octets as they went out (each character's low 8 bits).
  const CAsn1Object* community = frame.GetCommunity();
  std::string sent;
  sent.reserve(m_parameter.community.size());
  for (wchar_t c : m_parameter.community) sent.push_back(static_cast<char>(static_cast<uint32_t>(c) & 0xFF));
  if (community->GetCode() != ASN1_OCTET_STRING || community->GetValue().GetOctets() != sent) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"%s : dropped an answer with another community (%s)", GetClassName(),
             community->GetText());
    return false;
  }
  return true;
}

void CThreadActionWalkerRequest::_run_single(uint32_t data_code, const wchar_t* error_format) {
  Trace(TRACE_LIFE, L"Running...");
  m_end = End::Failed;
  if (!SendRequest()) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to send data");
    return;
  }
  std::unique_ptr<CSnmpResponseIn> answer = _new_response();
  if (!AwaitAnswer(*answer)) return;
  const CAsn1Oid& oid = answer->GetName()->GetValue().GetOid();
  // The error status judges the answer; the error index only points at a binding.
  if (answer->GetErrorStatus()->GetValue().GetInteger() != 0) {
    m_end = End::ErrorStatus;
    std::wstring text = QuillogFormat(error_format, answer->GetErrorStatusName(), oid.GetText());
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"%s", text);
    ShowMessageBox(text, L"Warning", SHOW_MESSAGE_ERROR);
    return;
  }
  m_end = End::Complete;
  auto result = std::make_unique<CWalkerResult>(m_parameter.view_row, oid, *answer->GetValue());
  if (data_code == MSG_VIEW_WALKER_SET_DATA)
    QuillogW(QUILLOG_INFO, QLF_PROGRAM_SNMP, L"Receiving OID %s", oid.GetText());
  // The view takes the record; nobody took it when no window handled it.
  if (_deliver(data_code, reinterpret_cast<uintptr_t>(result.get())) > 0) result.release();
}
