#include "simulator/ThreadActionSimuler.h"

#include "app/MessageCenter.h"
#include "asn1/Asn1Length.h"
#include "asn1/BerDecoder.h"
#include "asn1/BerEncoder.h"
#include "quillog/Quillog.h"
#include "simulator/SimulatorEntry.h"
#include "snmp/SnmpFrameOut.h"
#include "snmp/SnmpGenericFrameIn.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <new>

namespace {

// Elements up to the first binding's value: message, version, community,
// PDU, request id, error status, error index, binding list, binding, name, value.
constexpr size_t kAnswerableCount = 11;
constexpr size_t kRequestIdIndex = 4;
constexpr size_t kNameIndex = 9;
constexpr size_t kValueIndex = 10;
constexpr uint32_t kLargestDatagram = 65536;
// The largest answer: what the encoder's block holds.
constexpr uint32_t kLargestAnswer = BER_BUFFER_SIZE;

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
    if (value.oid > oid) return &value;
  }
  return nullptr;
}

void SetError(CSnmpResponseOut& answer, uint32_t status) {
  answer.SetInteger(L"ErrorStatus", status, false);
  answer.SetInteger(L"ErrorIndex", 1, false);
}

// ---- Fast path: the common requests parsed and answered in place. ----

constexpr size_t kMaxFastArcs = 128;

// Reads definite-length TLVs of an expected tag.
struct Reader {
  const uint8_t* at;
  const uint8_t* end;

  bool Next(uint8_t tag, Reader* content) {
    if (end - at < 1 || at[0] != tag) return false;
    uint8_t ignored = 0;
    return Any(&ignored, content);
  }
  // The next TLV whatever its tag.
  bool Any(uint8_t* tag, Reader* content) {
    if (end - at < 2) return false;
    *tag = at[0];
    size_t length = at[1];
    const uint8_t* body = at + 2;
    if (length >= 0x80) {
      const size_t count = length & 0x7F;
      if (count == 0 || count > 4 || static_cast<size_t>(end - body) < count) return false;
      length = 0;
      for (size_t i = 0; i < count; ++i) length = (length << 8) | body[i];
      body += count;
    }
    if (static_cast<size_t>(end - body) < length) return false;
    *content = Reader{body, body + length};
    at = body + length;
    return true;
  }
  bool Done() const { return at == end; }
  size_t Size() const { return static_cast<size_t>(end - at); }
};

// A signed INTEGER of 1 to 8 octets, read as the codec reads it.
bool ReadInteger(Reader* reader, int64_t* value) {
  Reader content{};
  if (!reader->Next(ASN1_INTEGER, &content) || content.Size() < 1 || content.Size() > 8) return false;
  uint64_t bits = (content.at[0] & 0x80) ? ~uint64_t{0} : 0;
  for (const uint8_t* p = content.at; p < content.end; ++p) bits = (bits << 8) | *p;
  *value = static_cast<int64_t>(bits);
  return true;
}

// Arcs of an OID content as the codec decodes them (first octet alone gives
// the first two); a content that leaves an arc open is not taken here.
bool ReadOid(const Reader& content, uint64_t* arcs, size_t* count) {
  if (content.Size() < 1 || (content.end[-1] & 0x80) != 0) return false;
  arcs[0] = content.at[0] / 40;
  arcs[1] = content.at[0] % 40;
  size_t n = 2;
  uint64_t arc = 0;
  for (const uint8_t* p = content.at + 1; p < content.end; ++p) {
    arc = (arc << 7) | (*p & 0x7F);
    if (*p & 0x80) continue;
    if (n == kMaxFastArcs) return false;
    arcs[n++] = arc;
    arc = 0;
  }
  *count = n;
  return true;
}

// The validity rule of CAsn1Oid::Check, without its log lines.
bool IsValidOid(const uint64_t* arcs, size_t count) { return count >= 2 && arcs[0] <= 2 && arcs[1] <= 39; }

void PutLength(std::vector<uint8_t>* out, size_t length) {
  uint8_t octets[9];
  out->insert(out->end(), octets, octets + BerLengthOctets(length, octets));
}

// A signed INTEGER in the fewest octets, as the codec writes it.
void PutInteger(std::vector<uint8_t>* out, int64_t value) {
  uint8_t bytes[8];
  size_t count = 0;
  uint64_t rest = static_cast<uint64_t>(value);
  const uint64_t fill = value < 0 ? ~uint64_t{0} : 0;
  uint8_t last = 0;
  do {
    last = static_cast<uint8_t>(rest & 0xFF);
    bytes[count++] = last;
    rest = (rest >> 8) | (fill << 56);
  } while (count < 8 && !(rest == fill && ((last & 0x80) != 0) == (fill != 0)));
  out->push_back(ASN1_INTEGER);
  out->push_back(static_cast<uint8_t>(count));
  while (count > 0) out->push_back(bytes[--count]);
}

// OID content octets as the codec writes them (arcs valid).
void PutOidContent(std::vector<uint8_t>* out, const uint64_t* arcs, size_t count) {
  out->push_back(static_cast<uint8_t>(40 * arcs[0] + arcs[1]));
  for (size_t i = 2; i < count; ++i) {
    uint8_t groups[10];
    size_t n = 0;
    uint64_t arc = arcs[i];
    do {
      groups[n++] = static_cast<uint8_t>(arc & 0x7F);
      arc >>= 7;
    } while (arc != 0);
    while (n > 1) out->push_back(static_cast<uint8_t>(groups[--n] | 0x80));
    out->push_back(groups[0]);
  }
}

// The text the codec is given for a stored value: a Boolean stored as
// "true" or "false" (the codec's own text form) goes out as 1 or 0.
const std::wstring& WireText(const CSimulatorValue& value) {
  static const std::wstring kTrue = L"1";
  static const std::wstring kFalse = L"0";
  if (value.type == ASN1_BOOLEAN && value.value == L"true") return kTrue;
  if (value.type == ASN1_BOOLEAN && value.value == L"false") return kFalse;
  return value.value;
}

// Room around a value in an answer: message, PDU and binding headers, the
// three integers and a long community.
constexpr size_t kAnswerOverhead = 512;

// Whether the codec turns this stored value into an answer without any log
// line (then its encoding can be kept and re-used).
bool EncodesSilently(const CSimulatorValue& value) {
  if (!CSimulatorEntry::CheckOidText(value.oid.GetText()).empty()) return false;
  if (!CSimulatorEntry::CheckValueText(value.type, value.value).empty()) return false;
  return value.value.size() + value.oid.GetCount() * 5 + kAnswerOverhead <= kLargestAnswer;
}

// The variable-binding list of an answer carrying this value, encoded by the
// codec itself, kept in the value until its type or text changes.
const std::vector<uint8_t>* EncodedBinding(CSimulatorValue& value) {
  if (value.encoded_valid && value.encoded_type == value.type && value.encoded_text == value.value &&
      value.encoded_oid == value.oid) {
    return value.encodable ? &value.encoded : nullptr;
  }
  value.encoded_valid = true;
  value.encoded_oid = value.oid;
  value.encoded_type = value.type;
  value.encoded_text = value.value;
  value.encoded.clear();
  value.encodable = false;
  if (!EncodesSilently(value)) return nullptr;
  CSnmpResponseOut scratch;
  scratch.SetInteger(L"Version", 0, true);
  scratch.SetInteger(L"RequestId", 0, true);
  scratch.SetOid(value.oid);
  scratch.SetValue(value.type, WireText(value));
  CBerEncoder encoder;
  if (!scratch.Encode(encoder)) return nullptr;
  // Message, version, community, PDU, three integers, then the list.
  Reader message{encoder.GetData(), encoder.GetData() + encoder.GetUsedLength()};
  Reader body{}, pdu{}, skip{};
  if (!message.Next(ASN1_SEQUENCE, &body) || !body.Next(ASN1_INTEGER, &skip) || !body.Next(ASN1_OCTET_STRING, &skip) ||
      !body.Next(ASN1_PDU_RESPONSE, &pdu)) {
    return nullptr;
  }
  for (int i = 0; i < 3; ++i) {
    if (!pdu.Next(ASN1_INTEGER, &skip)) return nullptr;
  }
  value.encoded.assign(pdu.at, pdu.end);
  value.encodable = true;
  return &value.encoded;
}

// The community's octets, read from the datagram.
bool CommunityOctets(const uint8_t* data, size_t length, std::wstring* octets) {
  Reader datagram{data, data + length};
  Reader message{}, skip{}, community{};
  if (!datagram.Next(ASN1_SEQUENCE, &message) || !message.Next(ASN1_INTEGER, &skip) ||
      !message.Next(ASN1_OCTET_STRING, &community)) {
    return false;
  }
  octets->assign(community.at, community.end);
  return true;
}

// The content octets of the first binding's value, read from the datagram
// itself (the decoded text of binary octets is their hexadecimal display).
bool BindingValueOctets(const uint8_t* data, size_t length, std::wstring* octets) {
  Reader datagram{data, data + length};
  Reader message{}, skip{}, pdu{}, list{}, binding{}, value{};
  uint8_t tag = 0;
  if (!datagram.Next(ASN1_SEQUENCE, &message) || !message.Next(ASN1_INTEGER, &skip) ||
      !message.Next(ASN1_OCTET_STRING, &skip) || !message.Any(&tag, &pdu)) {
    return false;
  }
  for (int i = 0; i < 3; ++i) {
    if (!pdu.Next(ASN1_INTEGER, &skip)) return false;
  }
  if (!pdu.Next(ASN1_SEQUENCE, &list) || !list.Next(ASN1_SEQUENCE, &binding) ||
      !binding.Next(ASN1_OBJECT_IDENTIFIER, &skip) || !binding.Any(&tag, &value)) {
    return false;
  }
  octets->assign(value.at, value.end);
  return true;
}

// A tooBig answer (error status 1, index 0): no binding in SNMPv2c (RFC
// 3416); in SNMPv1 the requested OID with NULL, the request's own form
// (RFC 1157) without a value that may be what did not fit.
std::vector<uint8_t> TooBigAnswer(int64_t version, const std::wstring& community, int64_t request_id,
                                  const CAsn1Oid& oid) {
  std::vector<uint8_t> list;
  if (version == 0 && oid.GetCount() >= 2) {
    std::vector<uint8_t> content;
    PutOidContent(&content, oid.GetArcs().data(), oid.GetCount());
    std::vector<uint8_t> binding{ASN1_OBJECT_IDENTIFIER};
    PutLength(&binding, content.size());
    binding.insert(binding.end(), content.begin(), content.end());
    binding.insert(binding.end(), {ASN1_NULL, 0});
    list.push_back(ASN1_SEQUENCE);
    PutLength(&list, binding.size());
    list.insert(list.end(), binding.begin(), binding.end());
  }
  std::vector<uint8_t> body;
  PutInteger(&body, request_id);
  PutInteger(&body, SNMP_ERROR_TOO_BIG);
  PutInteger(&body, 0);
  body.push_back(ASN1_SEQUENCE);
  PutLength(&body, list.size());
  body.insert(body.end(), list.begin(), list.end());
  std::vector<uint8_t> head;
  PutInteger(&head, version);
  head.push_back(ASN1_OCTET_STRING);
  PutLength(&head, community.size());
  for (wchar_t c : community) head.push_back(static_cast<uint8_t>(static_cast<uint32_t>(c) & 0xFF));
  head.push_back(ASN1_PDU_RESPONSE);
  PutLength(&head, body.size());
  std::vector<uint8_t> answer{ASN1_SEQUENCE};
  PutLength(&answer, head.size() + body.size());
  answer.insert(answer.end(), head.begin(), head.end());
  answer.insert(answer.end(), body.begin(), body.end());
  return answer;
}

// Writes bytes into a fresh (backward) encoder so that they are its data.
bool WriteAll(CBerEncoder& encoder, const uint8_t* data, size_t size) {
  for (size_t i = size; i > 0; --i) {
    if (!encoder.WriteByte(data[i - 1])) return false;
  }
  return true;
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
  if (!m_socket.SocketServerOpen(m_recv_port, nullptr, m_local_address.c_str())) {
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
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    if (AnswerFast(datagram.data(), length, &m_fast_answer)) {
      data = m_fast_answer.data();
      size = static_cast<uint32_t>(m_fast_answer.size());
    } else {
      if (!HandleDatagram(decoder, answer)) continue;
      data = answer.GetData();
      size = answer.GetUsedLength();
    }
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

bool CThreadActionSimuler::AnswerFast(const uint8_t* data, uint32_t length, std::vector<uint8_t>* answer) {
  constexpr uint32_t kTraced = QLF_PROGRAM_SNMP | QLF_PROGRAM_SNMP_DECODE_IN | QLF_PROGRAM_SNMP_DECODE_OUT;
  if ((quillog::g_feature_mask.load(std::memory_order_relaxed) & kTraced) != 0) return false;
  if (m_simulator == nullptr || length == 0 || length > CBerDecoder::GetCapacity()) return false;

  Reader datagram{data, data + length};
  Reader message{}, community{}, pdu{}, list{}, binding{}, name{}, value{};
  int64_t version = 0, request_id = 0, ignored = 0;
  if (!datagram.Next(ASN1_SEQUENCE, &message) || !datagram.Done()) return false;
  if (!ReadInteger(&message, &version) || !message.Next(ASN1_OCTET_STRING, &community)) return false;
  if (version == 0 ? !m_accept_version1 : (version != 1 || !m_accept_version2c)) return false;
  if (community.Size() != m_community.size()) return false;
  for (size_t i = 0; i < community.Size(); ++i) {
    const uint8_t c = community.at[i];
    if (c < 0x20 || c > 0x7E || static_cast<wchar_t>(c) != m_community[i]) return false;
  }
  const uint8_t pdu_code = message.Size() > 0 ? message.at[0] : 0;
  if (pdu_code != ASN1_PDU_GET_REQUEST && pdu_code != ASN1_PDU_GET_NEXT_REQUEST) return false;
  if (!message.Next(pdu_code, &pdu) || !message.Done()) return false;
  if (!ReadInteger(&pdu, &request_id) || !ReadInteger(&pdu, &ignored) || !ReadInteger(&pdu, &ignored)) return false;
  if (!pdu.Next(ASN1_SEQUENCE, &list) || !pdu.Done() || !list.Next(ASN1_SEQUENCE, &binding) || !list.Done()) return false;
  if (!binding.Next(ASN1_OBJECT_IDENTIFIER, &name) || !binding.Next(ASN1_NULL, &value) || value.Size() != 0 ||
      !binding.Done()) {
    return false;
  }
  uint64_t arcs[kMaxFastArcs];
  size_t count = 0;
  if (!ReadOid(name, arcs, &count) || !IsValidOid(arcs, count)) return false;

  // The binding of the answer: a stored value's, or the requested OID with
  // NULL (noSuchName) or endOfMibView.
  m_fast_binding.clear();
  uint8_t error_status = 0;
  {
    auto lock = m_simulator->LockValues();
    CSimulatorValue* found = nullptr;
    for (CSimulatorValue& stored : m_simulator->values) {
      const int order = CAsn1Oid::Compare(stored.oid.GetArcs(), {arcs, count});
      if (pdu_code == ASN1_PDU_GET_REQUEST ? order == 0 : order > 0) {
        found = &stored;
        break;
      }
    }
    if (found != nullptr) {
      const std::vector<uint8_t>* encoded = EncodedBinding(*found);
      if (encoded == nullptr) return false;
      m_fast_binding = *encoded;
    }
  }
  if (m_fast_binding.empty()) {
    const bool end_of_view = pdu_code == ASN1_PDU_GET_NEXT_REQUEST && version == 1;
    if (!end_of_view) error_status = SNMP_ERROR_NO_SUCH_NAME;
    // SEQUENCE { SEQUENCE { OID, NULL or endOfMibView } }
    std::vector<uint8_t>& oid = m_fast_scratch;
    oid.clear();
    PutOidContent(&oid, arcs, count);
    std::vector<uint8_t>& inner = m_fast_head;
    inner.clear();
    inner.push_back(ASN1_OBJECT_IDENTIFIER);
    PutLength(&inner, oid.size());
    inner.insert(inner.end(), oid.begin(), oid.end());
    inner.push_back(end_of_view ? ASN1_END_OF_MIB_VIEW : ASN1_NULL);
    inner.push_back(0);
    std::vector<uint8_t> item_length;
    PutLength(&item_length, inner.size());
    m_fast_binding.push_back(ASN1_SEQUENCE);
    PutLength(&m_fast_binding, 1 + item_length.size() + inner.size());
    m_fast_binding.push_back(ASN1_SEQUENCE);
    m_fast_binding.insert(m_fast_binding.end(), item_length.begin(), item_length.end());
    m_fast_binding.insert(m_fast_binding.end(), inner.begin(), inner.end());
  }

  std::vector<uint8_t>& body = m_fast_scratch;
  body.clear();
  PutInteger(&body, request_id);
  PutInteger(&body, error_status);
  PutInteger(&body, error_status != 0 ? 1 : 0);
  body.insert(body.end(), m_fast_binding.begin(), m_fast_binding.end());
  std::vector<uint8_t>& head = m_fast_head;
  head.clear();
  PutInteger(&head, version);
  head.push_back(ASN1_OCTET_STRING);
  PutLength(&head, community.Size());
  head.insert(head.end(), community.at, community.end);
  head.push_back(ASN1_PDU_RESPONSE);
  PutLength(&head, body.size());

  answer->clear();
  answer->push_back(ASN1_SEQUENCE);
  PutLength(answer, head.size() + body.size());
  answer->insert(answer->end(), head.begin(), head.end());
  answer->insert(answer->end(), body.begin(), body.end());
  if (answer->size() > kLargestAnswer) return false;
  PostViewMessage(GetClassName(), MSG_VIEW_SIMULATOR, MSG_VIEW_SIMULATOR_DATA_RECV, 0);
  return true;
}

bool CThreadActionSimuler::_decode(CBerDecoder& decoder, CSimulerFrameIn& frame) {
  frame.Recycle();
  if (!decoder.CheckLayout()) return false;  // cut short or padded: no answer
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
    return false;
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
  // Only SNMPv1 and SNMPv2c are spoken here: another version is not answered.
  const int64_t version = frame.GetVersion()->GetValue().GetInteger();
  if (version != 0 && version != 1) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"%s : SNMP version field %d is not answered", GetClassName(), version);
    return false;
  }
  if (!m_accept_version1 && frame.IsVersion1()) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"%s : SNMP Version 1 messages are not allowed", GetClassName());
    return false;
  }
  if (!m_accept_version2c && frame.IsVersion2c()) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"%s : SNMP Version 2c messages are not allowed", GetClassName());
    return false;
  }
  // The octets on the wire, one for one with the configured community's
  // characters: the decoded text shows binary octets as hexadecimal pairs,
  // which is no ground for a comparison.
  const CAsn1Object* community = frame.GetCommunity();
  std::wstring octets;
  if (m_request_data == nullptr || !CommunityOctets(m_request_data, m_request_size, &octets) || octets != m_community) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"%s : Wrong community name (%s)", GetClassName(), community->GetText());
    return false;
  }
  return true;
}

bool CThreadActionSimuler::HandleDatagram(CBerDecoder& decoder, CBerEncoder& encoder) {
  m_request_data = decoder.GetBegin();
  m_request_size = decoder.GetSize();
  m_pending_set.active = false;
  bool answered = _decode(decoder, m_frame) && _answer(m_frame, encoder);
  m_frame.Recycle();
  m_request_data = nullptr;
  m_request_size = 0;
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
  answer.SetText(L"Community", m_community);
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

  // Encoded aside first: an answer that does not fit leaves `encoder` fresh
  // for the tooBig answer.
  CBerEncoder attempt;
  if (!answer.Encode(attempt)) {
    if (attempt.GetRemaining() == 0) return _answer_too_big(frame, encoder);
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to encode SnmpGetNext PDU");
    return false;
  }
  if (!WriteAll(encoder, attempt.GetData(), attempt.GetUsedLength())) return false;
  _commit_set();
  Trace(TRACE_OUT, L"Encoded a '%s' frame", GetTypeName(ASN1_PDU_RESPONSE));
  answer.Dump(QLF_PROGRAM_SNMP_DECODE_OUT);
  return true;
}

bool CThreadActionSimuler::_answer_too_big(CSimulerFrameIn& frame, CBerEncoder& encoder) {
  const CAsn1Object* name = frame.GetAt(kNameIndex);
  const CAsn1Oid requested = name != nullptr ? name->GetValue().GetOid() : CAsn1Oid();
  QuillogW(QUILLOG_WARNING, QLF_NONE, L"%s : The answer for %s does not fit in %u bytes, answered tooBig",
           GetClassName(), requested.GetText(), kLargestAnswer);
  const std::vector<uint8_t> bytes =
      TooBigAnswer(frame.GetVersion()->GetValue().GetInteger(), m_community,
                   frame.GetAt(kRequestIdIndex)->GetValue().GetInteger(), requested);
  if (bytes.size() > kLargestAnswer || !WriteAll(encoder, bytes.data(), bytes.size())) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to encode SnmpGetNext PDU");
    return false;
  }
  Trace(TRACE_OUT, L"Encoded a '%s' frame", GetTypeName(ASN1_PDU_RESPONSE));
  return true;
}

bool CThreadActionSimuler::_handle_get(CSnmpGenericFrameIn& frame, CSnmpResponseOut& answer) {
  const CAsn1Object* name = RequestedName(frame);
  if (name == nullptr) return false;
  const CAsn1Oid& oid = name->GetValue().GetOid();
  auto lock = m_simulator->LockValues();
  CSimulatorValue* value = ExactLookup(m_simulator->values, oid);
  if (value == nullptr) {
    SetError(answer, SNMP_ERROR_NO_SUCH_NAME);
    answer.SetOid(oid);
    return true;
  }
  answer.SetOid(value->oid);
  answer.SetValue(value->type, WireText(*value));
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
    answer.SetValue(value->type, WireText(*value));
    return true;
  }
  if (frame.IsVersion1()) {
    SetError(answer, SNMP_ERROR_NO_SUCH_NAME);
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

// The text a Set stores: for OCTET STRING and Opaque the received octets,
// one character each; for the other types the decoded text.
bool CThreadActionSimuler::_received_text(const CAsn1Object& value, std::wstring* text) const {
  if (value.GetCode() != ASN1_OCTET_STRING && value.GetCode() != ASN1_OPAQUE) {
    *text = value.GetText();
    return true;
  }
  return m_request_data != nullptr && BindingValueOctets(m_request_data, m_request_size, text);
}

bool CThreadActionSimuler::_handle_set(CSnmpGenericFrameIn& frame, CSnmpResponseOut& answer) {
  const CAsn1Object* name = RequestedName(frame);
  if (name == nullptr) return false;
  const CAsn1Object* request_value = frame.GetAt(kValueIndex);
  const CAsn1Oid& oid = name->GetValue().GetOid();
  std::wstring text;
  const bool octets_read = _received_text(*request_value, &text);
  // The answer echoes the request's binding, octets as they came.
  answer.SetOid(oid);
  if (CAsn1Object* echo = answer.Find(L"Null")) {
    *echo = *request_value;
    echo->SetName(L"Null");
    if (octets_read && (echo->GetCode() == ASN1_OCTET_STRING || echo->GetCode() == ASN1_OPAQUE)) {
      echo->GetValue() = CAsn1Value();
      echo->GetValue().SetText(text);
    }
  }
  auto lock = m_simulator->LockValues();
  CSimulatorValue* value = ExactLookup(m_simulator->values, oid);
  if (value == nullptr) {
    SetError(answer, SNMP_ERROR_NO_SUCH_NAME);
    return true;
  }
  if (value->type != request_value->GetCode()) {
    SetError(answer, SNMP_ERROR_WRONG_TYPE);
    return true;
  }
  if (!octets_read) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"%s : Unable to read the octets set to %s", GetClassName(), oid.GetText());
    SetError(answer, SNMP_ERROR_GEN_ERR);
    return true;
  }
  if (const std::wstring why = CSimulatorEntry::CheckValueText(value->type, text); !why.empty()) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"%s : The value '%s' set to %s is refused (%s)", GetClassName(), text,
             oid.GetText(), why);
    SetError(answer, frame.IsVersion1() ? SNMP_ERROR_BAD_VALUE : SNMP_ERROR_WRONG_VALUE);
    return true;
  }
  m_pending_set.active = true;
  m_pending_set.oid = oid;
  m_pending_set.text = std::move(text);
  return true;
}

void CThreadActionSimuler::_commit_set() {
  if (!m_pending_set.active) return;
  m_pending_set.active = false;
  {
    // Looked up again: a save may have sorted the list since.
    auto lock = m_simulator->LockValues();
    CSimulatorValue* value = ExactLookup(m_simulator->values, m_pending_set.oid);
    if (value == nullptr) return;
    value->value = std::move(m_pending_set.text);
  }
  PostViewMessage(GetClassName(), MSG_VIEW_SIMULATOR, MSG_VIEW_SIMULATOR_REFRESH, 0);
}
