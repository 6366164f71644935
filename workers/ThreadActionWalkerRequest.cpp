#include "workers/ThreadActionWalkerRequest.h"

#include "app/MessageCenter.h"
#include "app/ShowMessage.h"
#include "asn1/BerDecoder.h"
#include "asn1/BerEncoder.h"
#include "asn1/IpAddress.h"
#include "snmp/SnmpFrameOut.h"
#include "snmp/SnmpResponseIn.h"
#include "workers/WalkerResult.h"

bool CThreadActionWalkerRequest::Start(const CThreadActionWalkerParameter& parameter) {
  return _start([&] { m_parameter = parameter; });
}

bool CThreadActionWalkerRequest::_open_socket() {
  if (m_socket.SocketClientOpen(m_parameter.address, m_parameter.port)) return true;
  QuillogW(QUILLOG_ERROR, QLF_NONE, L"Error while opening UDP socket");
  return false;
}

void CThreadActionWalkerRequest::_reset_counters() { m_parameter.timeout_count = 0; }

uint32_t CThreadActionWalkerRequest::_view_message() const { return MSG_VIEW_WALKER; }

bool CThreadActionWalkerRequest::SendRequest() {
  std::unique_ptr<CSnmpFrameOut> request = _new_request();
  request->SetInteger(L"Version", m_parameter.version, true);
  request->SetText(L"Community", m_parameter.community);
  // The id goes out as the signed 32-bit INTEGER that request-id is.
  request->SetInteger(L"RequestId", static_cast<int32_t>(m_parameter.TakeRequestId()), true);
  request->SetOid(m_parameter.current_oid);
  if (request->Find(L"Value") != nullptr) request->SetText(L"Value", m_parameter.value);
  CBerEncoder encoder;
  if (!request->Encode(encoder)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, _encode_error());
    return false;
  }
  const CAsn1Object* pdu = request->GetAt(3);
  Trace(TRACE_OUT, L"Encoded a '%s' frame", pdu ? pdu->GetName() : std::wstring());
  if (QuillogGetFeatureLevel() & QLF_PROGRAM_SNMP_DECODE_OUT) request->Dump(QLF_PROGRAM_SNMP_DECODE_OUT);
  const uint32_t length = encoder.GetUsedLength();
  if (!m_socket.SocketSend(m_parameter.address, m_parameter.port, encoder.GetData(), length)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to send data on UDP socket");
    return false;
  }
  Trace(TRACE_OUT, L"%d bytes sent to %s:%d", length, FormatIpAddress(m_parameter.address), m_parameter.port);
  QuillogDumpW(QLF_PROGRAM_SNMP_FRAME_OUT, _sent_title(), encoder.GetData(), length, 0);
  return true;
}

bool CThreadActionWalkerRequest::WaitAnswer() {
  while (true) {
    const int ready = m_socket.SocketWaitRead(m_parameter.timeout);
    if (ready == 0) {
      QuillogW(QUILLOG_WARNING, QLF_NONE, L"Timeout");
      if (++m_parameter.timeout_count == m_parameter.retries) {
        QuillogW(QUILLOG_WARNING, QLF_NONE, L"Too much timeout");
        return false;
      }
      if (!SendRequest()) {
        QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to send data");
        return false;
      }
      continue;
    }
    if (ready < 0) {
      QuillogW(QUILLOG_WARNING, QLF_NONE, L"error select()");
      return false;
    }
    if (!m_socket.IsOpen()) {
      QuillogW(QUILLOG_WARNING, QLF_NONE, L"Socket is closed, exiting...");
      return false;
    }
    return true;
  }
}

bool CThreadActionWalkerRequest::ReceiveResponse(CSnmpResponseIn& frame) {
  CBerDecoder decoder;
  uint32_t address = 0;
  uint32_t port = 0;
  uint32_t length = CBerDecoder::GetCapacity();
  if (!m_socket.SocketRecv(&address, &port, decoder.GetBuffer(), &length)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to receive data on UDP socket");
    return false;
  }
  if (!decoder.SetSize(length)) return false;
  Trace(TRACE_IN, L"%d bytes received from %s:%d", length, FormatIpAddress(address), port);
  QuillogDumpW(QLF_PROGRAM_SNMP_FRAME_IN, _received_title(), decoder.GetBegin(), length, 0);
  frame.SetSender(address, port);
  m_parameter.timeout_count = 0;
  if (!DecodeDatagram(decoder, frame)) return false;
  Trace(TRACE_IN, L"Decoded a '%s' frame", GetTypeName(frame.GetPdu()->GetCode()));
  if (QuillogGetFeatureLevel() & QLF_PROGRAM_SNMP_DECODE_IN) frame.Dump(QLF_PROGRAM_SNMP_DECODE_IN);
  return true;
}

void CThreadActionWalkerRequest::_run_single(uint32_t data_code, const wchar_t* error_format) {
  Trace(TRACE_LIFE, L"Running...");
  if (!SendRequest()) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to send data");
    return;
  }
  if (!WaitAnswer()) return;
  std::unique_ptr<CSnmpResponseIn> answer = _new_response();
  if (!ReceiveResponse(*answer)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to read data");
    return;
  }
  const CAsn1Oid& oid = answer->GetName()->GetValue().GetOid();
  if (answer->GetErrorStatus()->GetValue().GetInteger() != 0) {
    std::wstring text = QuillogFormat(error_format, answer->GetErrorStatusName(), oid.GetText());
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"%s", text);
    ShowMessageBox(text, L"Warning", SHOW_MESSAGE_ERROR);
    return;
  }
  auto result = std::make_unique<CWalkerResult>(m_parameter.view_row, oid, *answer->GetValue());
  if (data_code == MSG_VIEW_WALKER_SET_DATA) QuillogW(QUILLOG_INFO, QLF_PROGRAM_SNMP, L"Receiving OID %s", oid.GetText());
  // The view takes the record; nobody took it when no window handled it.
  if (_deliver(data_code, reinterpret_cast<uintptr_t>(result.get())) > 0) result.release();
}
