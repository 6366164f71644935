#include "workers/ThreadActionTrapper.h"

#include "app/MessageCenter.h"
#include "asn1/BerDecoder.h"
#include "asn1/IpAddress.h"
#include "snmp/SnmpInformAck.h"
#include "workers/TrapRecord.h"

#include <memory>
#include <sys/socket.h>
#include <vector>

namespace {

// Receive failures in a row, on a socket still open, after which the
// receiver gives up rather than spin.
constexpr uint32_t kMaxFailures = 64;
constexpr int kReceiveBuffer = 4 * 1024 * 1024;

}  // namespace

bool CThreadActionTrapper::Start(uint32_t port) {
  return _start([&] {
    m_port = port;
    m_outbox.Begin();
  });
}

bool CThreadActionTrapper::_open_socket() {
  if (!m_socket.SocketServerOpen(m_port, nullptr, nullptr)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Error while creating UDP socket");
    return false;
  }
  // Room for bursts while this thread is not scheduled; the kernel caps it
  // at net.core.rmem_max.
  int size = kReceiveBuffer;
  setsockopt(m_socket.GetSocket(), SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
  return true;
}

uint32_t CThreadActionTrapper::_view_message() const { return MSG_VIEW_TRAPPER; }
uint32_t CThreadActionTrapper::_started_code() const { return MSG_VIEW_TRAPPER_STARTED; }
uint32_t CThreadActionTrapper::_finished_code() const { return MSG_VIEW_TRAPPER_FINISHED; }

void CThreadActionTrapper::OnAction(uint32_t, uintptr_t, uintptr_t, uintptr_t) {
  Trace(TRACE_LIFE, L"Running...");
  m_failures = 0;
  // After a failed begin step the socket may be open but unbound; a receive
  // on it would wait forever.
  if (!m_running.load()) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to receive data on UDP socket");
    return;
  }
  while (_receive_one()) {
  }
}

bool CThreadActionTrapper::_receive_one() {
  CBerDecoder decoder;
  uint32_t address = 0;
  uint32_t port = 0;
  uint32_t length = CBerDecoder::GetCapacity();
  QuillogW(QUILLOG_INFO, QLF_PROGRAM_SNMP, L"Waiting for data on TRAP socket...");
  if (!m_socket.SocketRecv(&address, &port, decoder.GetBuffer(), &length)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to receive data on UDP socket");
    // Stop closed the socket: the normal end. Any other failure costs only
    // the datagram.
    if (!m_socket.IsOpen() || ++m_failures >= kMaxFailures) return false;
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"CThreadActionTrapped : a datagram was dropped");
    return true;
  }
  m_failures = 0;
  if (!decoder.SetSize(length)) return true;  // an empty datagram: dropped
  Trace(TRACE_IN, L"%d bytes received from %s:%d", length, FormatIpAddress(address), port);
  QuillogDumpW(QLF_PROGRAM_SNMP_FRAME_IN, L"CThreadActionTrapper received data", decoder.GetBegin(), length, 0);
  auto record = std::make_unique<CTrapRecord>();
  CSnmpTrapIn& frame = record->GetFrame();
  frame.SetSender(address, port);
  if (!DecodeDatagram(decoder, frame)) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"CThreadActionTrapped : a datagram that is not a trap was dropped");
    return true;
  }
  Trace(TRACE_IN, L"Decoded a '%s' frame", GetTypeName(frame.GetPdu()->GetCode()));
  if (QuillogGetFeatureLevel() & QLF_PROGRAM_SNMP_DECODE_IN) frame.Dump(QLF_PROGRAM_SNMP_DECODE_IN);
  if (frame.IsInform()) _acknowledge(decoder.GetBegin(), length, address, port);
  _hand_row(m_outbox, MSG_VIEW_TRAPPER_DATA, std::move(record));
  return true;
}

void CThreadActionTrapper::_acknowledge(const uint8_t* inform, uint32_t length, uint32_t address, uint32_t port) {
  std::vector<uint8_t> ack;
  if (!BuildInformAck(inform, length, &ack)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to acknowledge an inform from %s:%d", FormatIpAddress(address), port);
    return;
  }
  const uint32_t size = static_cast<uint32_t>(ack.size());
  if (!m_socket.SocketSend(address, port, ack.data(), size)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to send data on UDP socket");
    return;
  }
  Trace(TRACE_OUT, L"%d bytes sent to %s:%d", size, FormatIpAddress(address), port);
  QuillogDumpW(QLF_PROGRAM_SNMP_FRAME_OUT, L"CThreadActionTrapper sent data", ack.data(), size, 0);
}
