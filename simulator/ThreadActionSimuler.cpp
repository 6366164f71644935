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
constexpr size_t kNonRepeatersIndex = 5;
constexpr size_t kMaxRepetitionsIndex = 6;
constexpr size_t kFirstBindingIndex = 8;
constexpr uint32_t kLargestDatagram = 65536;
// The largest answer: what the encoder's block holds.
constexpr uint32_t kLargestAnswer = BER_BUFFER_SIZE;

std::wstring DottedAddress(uint32_t address) {
  return QuillogFormat(L"%u.%u.%u.%u", address >> 24, (address >> 16) & 0xFF, (address >> 8) & 0xFF, address & 0xFF);
}

CSimulatorValue* ExactLookup(std::vector<CSimulatorValue>& values, const CAsn1Oid& oid) {
  for (CSimulatorValue& value : values) {
    if (value.oid == oid) return &value;
  }
  return nullptr;
}

// The first value, in list order, whose OID is greater than the requested one.
CSimulatorValue* NextLookup(std::vector<CSimulatorValue>& values, const CAsn1Oid& oid) {
  for (CSimulatorValue& value : values) {
    if (value.oid > oid) return &value;
  }
  return nullptr;
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

// The variable-binding list of a scratch answer, once encoded by the codec.
// False when it does not encode; `too_big` then says whether room was lacking.
bool EncodeBindingList(CSnmpResponseOut& scratch, std::vector<uint8_t>* list, bool* too_big) {
  scratch.SetInteger(L"Version", 0, true);
  scratch.SetInteger(L"RequestId", 0, true);
  CBerEncoder encoder;
  if (!scratch.Encode(encoder)) {
    *too_big = encoder.GetRemaining() == 0;
    return false;
  }
  // Message, version, community, PDU, three integers, then the list.
  Reader message{encoder.GetData(), encoder.GetData() + encoder.GetUsedLength()};
  Reader body{}, pdu{}, skip{};
  *too_big = false;
  if (!message.Next(ASN1_SEQUENCE, &body) || !body.Next(ASN1_INTEGER, &skip) || !body.Next(ASN1_OCTET_STRING, &skip) ||
      !body.Next(ASN1_PDU_RESPONSE, &pdu)) {
    return false;
  }
  for (int i = 0; i < 3; ++i) {
    if (!pdu.Next(ASN1_INTEGER, &skip)) return false;
  }
  list->assign(pdu.at, pdu.end);
  return true;
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
  scratch.SetOid(value.oid);
  scratch.SetValue(value.type, WireText(value));
  bool too_big = false;
  value.encodable = EncodeBindingList(scratch, &value.encoded, &too_big);
  return value.encodable ? &value.encoded : nullptr;
}

// Appends the binding (without its list) held in an encoded one-binding list.
bool AppendListContent(const std::vector<uint8_t>& list, std::vector<uint8_t>* out) {
  Reader reader{list.data(), list.data() + list.size()};
  Reader content{};
  if (!reader.Next(ASN1_SEQUENCE, &content) || !reader.Done()) return false;
  out->insert(out->end(), content.at, content.end);
  return true;
}

// Appends a binding of the name (valid arcs) with a value given as its
// whole encoding.
void AppendBinding(const CAsn1Oid& name, const uint8_t* value, size_t value_size, std::vector<uint8_t>* out) {
  std::vector<uint8_t> oid;
  PutOidContent(&oid, name.GetArcs().data(), name.GetCount());
  uint8_t length[9];
  const size_t oid_length_octets = BerLengthOctets(oid.size(), length);
  out->push_back(ASN1_SEQUENCE);
  PutLength(out, 1 + oid_length_octets + oid.size() + value_size);
  out->push_back(ASN1_OBJECT_IDENTIFIER);
  out->insert(out->end(), length, length + oid_length_octets);
  out->insert(out->end(), oid.begin(), oid.end());
  out->insert(out->end(), value, value + value_size);
}

// A binding of the name with an empty value of the tag (NULL or endOfMibView).
void AppendEmptyBinding(const CAsn1Oid& name, uint8_t tag, std::vector<uint8_t>* out) {
  const uint8_t value[2] = {tag, 0};
  AppendBinding(name, value, sizeof value, out);
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
// Octets as text, one character each.
std::wstring OctetsText(const uint8_t* at, size_t size) { return std::wstring(at, at + size); }

size_t LengthOctets(size_t length) {
  uint8_t octets[9];
  return BerLengthOctets(length, octets);
}
size_t TlvSize(size_t content) { return 1 + LengthOctets(content) + content; }
size_t IntegerSize(int64_t value) {
  std::vector<uint8_t> octets;
  PutInteger(&octets, value);
  return octets.size();
}

// The size of a Response whose binding list holds `list_content` octets.
size_t AnswerSize(int64_t version, size_t community_size, int64_t request_id, uint32_t status, uint32_t index,
                  size_t list_content) {
  const size_t pdu = IntegerSize(request_id) + IntegerSize(status) + IntegerSize(index) + TlvSize(list_content);
  return TlvSize(IntegerSize(version) + TlvSize(community_size) + TlvSize(pdu));
}

// The Response message carrying the bindings (their encodings, one after
// another); the community's characters are its octets.
std::vector<uint8_t> BuildAnswer(int64_t version, const std::wstring& community, int64_t request_id, uint32_t status,
                                 uint32_t index, const std::vector<uint8_t>& bindings) {
  std::vector<uint8_t> body;
  PutInteger(&body, request_id);
  PutInteger(&body, status);
  PutInteger(&body, index);
  body.push_back(ASN1_SEQUENCE);
  PutLength(&body, bindings.size());
  body.insert(body.end(), bindings.begin(), bindings.end());
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

// Elements a TLV takes in a decoded list: itself, and when constructed, those
// of its content; 0 when the content does not read.
size_t ElementCount(uint8_t tag, Reader content) {
  if ((tag & ASN1_CONSTRUCTED_BIT) == 0) return 1;
  size_t count = 1;
  while (!content.Done()) {
    uint8_t inner_tag = 0;
    Reader inner{};
    if (!content.Any(&inner_tag, &inner)) return 0;
    const size_t n = ElementCount(inner_tag, inner);
    if (n == 0) return 0;
    count += n;
  }
  return count;
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
    if (!m_state_changed.wait_for(lock, std::chrono::milliseconds(timeout_ms), [this] { return !m_busy; }))
      return false;
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
    if (frame_in)
      QuillogDumpW(QLF_PROGRAM_SNMP_FRAME_IN, L"CThreadActionWalker received data", decoder.GetBuffer(), length, 0);

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
  if (!pdu.Next(ASN1_SEQUENCE, &list) || !pdu.Done() || !list.Next(ASN1_SEQUENCE, &binding) || !list.Done())
    return false;
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
      QuillogW(QUILLOG_WARNING, QLF_NONE,
               L"CThreadActionSimuler ==> Unable to build the SNMP message (problem with the oid)");
      break;
    }
    if (!element->GetType().Decode(decoder)) {
      QuillogW(QUILLOG_WARNING, QLF_NONE,
               L"CThreadActionSimuler ==> Unable to build the SNMP message (problem with the type)");
      break;
    }
    if (!element->GetLength().Decode(decoder)) {
      QuillogW(QUILLOG_WARNING, QLF_NONE,
               L"CThreadActionSimuler ==> CThreadActionSimuler ==> Unable to build the SNMP message (problem with the "
               L"length)");
      break;
    }
    if (!element->GetValue().Build(element->GetType(), element->GetLength(), decoder)) {
      QuillogW(QUILLOG_WARNING, QLF_NONE,
               L"CThreadActionSimuler ==> Unable to build the SNMP message (problem with the value)");
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
  bool answered = _decode(decoder, m_frame) && _answer(m_frame, encoder);
  m_frame.Recycle();
  m_bindings.clear();
  m_pending_sets.clear();
  m_request_data = nullptr;
  m_request_size = 0;
  return answered;
}

bool CThreadActionSimuler::_read_bindings(const CSnmpGenericFrameIn& frame) {
  if (_split_bindings(frame) && !m_bindings.empty()) return true;
  if (!m_name_refused) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"%s : The variable bindings of the request do not read, reject it",
             GetClassName());
  }
  m_bindings.clear();
  return false;
}

bool CThreadActionSimuler::_split_bindings(const CSnmpGenericFrameIn& frame) {
  m_bindings.clear();
  m_name_refused = false;
  if (m_request_data == nullptr) return false;
  Reader datagram{m_request_data, m_request_data + m_request_size};
  Reader message{}, skip{}, pdu{}, list{};
  uint8_t tag = 0;
  if (!datagram.Next(ASN1_SEQUENCE, &message) || !message.Next(ASN1_INTEGER, &skip) ||
      !message.Next(ASN1_OCTET_STRING, &skip) || !message.Any(&tag, &pdu)) {
    return false;
  }
  for (int i = 0; i < 3; ++i) {
    if (!pdu.Next(ASN1_INTEGER, &skip)) return false;
  }
  if (!pdu.Next(ASN1_SEQUENCE, &list) || !pdu.Done()) return false;
  // In the decoded list each binding is its SEQUENCE, then the elements of
  // its name and of its value.
  size_t index = kFirstBindingIndex;
  while (!list.Done()) {
    Reader binding{}, name{}, value{};
    uint8_t name_tag = 0, value_tag = 0;
    if (!list.Next(ASN1_SEQUENCE, &binding) || !binding.Any(&name_tag, &name)) return false;
    const uint8_t* value_begin = binding.at;
    if (!binding.Any(&value_tag, &value) || !binding.Done()) return false;
    const size_t name_count = ElementCount(name_tag, name);
    const size_t value_count = ElementCount(value_tag, value);
    const CAsn1Object* name_element = frame.GetAt(index + 1);
    const CAsn1Object* value_element = frame.GetAt(index + 1 + name_count);
    if (name_count == 0 || value_count == 0 || name_element == nullptr || value_element == nullptr ||
        name_element->GetCode() != name_tag || value_element->GetCode() != value_tag) {
      return false;
    }
    const std::vector<uint64_t>& arcs = name_element->GetValue().GetOid().GetArcs();
    if (name_tag != ASN1_OBJECT_IDENTIFIER || !IsValidOid(arcs.data(), arcs.size())) {
      QuillogW(QUILLOG_WARNING, QLF_NONE, L"Unable to get Object Identifier to read");
      m_name_refused = true;
      return false;
    }
    m_bindings.push_back(Binding{&name_element->GetValue().GetOid(), value_element, value_begin,
                                 static_cast<size_t>(value.end - value_begin), value.at, value.Size()});
    index += 1 + name_count + value_count;
  }
  return index == frame.GetCount();
}

bool CThreadActionSimuler::_answer(CSimulerFrameIn& frame, CBerEncoder& encoder) {
  if (!_accept(frame)) return false;
  PostViewMessage(GetClassName(), MSG_VIEW_SIMULATOR, MSG_VIEW_SIMULATOR_DATA_RECV, 0);
  if (frame.GetCount() < kAnswerableCount) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"%s : A request of %d elements has no variable binding, reject it",
             GetClassName(), static_cast<uint64_t>(frame.GetCount()));
    return false;
  }
  if (!_read_bindings(frame)) return false;
  m_version = frame.GetVersion()->GetValue().GetInteger();
  m_request_id = frame.GetAt(kRequestIdIndex)->GetValue().GetInteger();
  m_out.clear();
  m_status = 0;
  m_index = 0;
  m_pending_sets.clear();

  const uint8_t pdu = frame.GetPdu()->GetCode();
  bool changed = false;
  {
    // One request at a time against the list: a save cannot sort it under
    // the lookups, and a Set's values change together.
    auto lock = m_simulator->LockValues();
    Outcome outcome = Outcome::Dropped;
    if (frame.IsGetNextRequest()) {
      outcome = _handle_get_next(frame);
    } else if (frame.IsGetRequest()) {
      outcome = _handle_get();
    } else if (frame.IsSetRequest()) {
      outcome = _handle_set(frame);
    } else if (pdu == ASN1_PDU_GET_BULK_REQUEST && frame.IsVersion2c()) {
      outcome = _handle_get_bulk(frame);
    } else if (pdu == ASN1_PDU_GET_BULK_REQUEST) {
      QuillogW(QUILLOG_WARNING, QLF_NONE, L"%s : GetBulk is not an SNMPv1 request, reject it", GetClassName());
      return false;
    } else {
      QuillogW(QUILLOG_WARNING, QLF_NONE, L"Unknown PDU type (%s), reject it", GetTypeName(pdu));
      return false;
    }
    if (outcome == Outcome::Answered && _answer_size(m_out.size()) > kLargestAnswer) outcome = Outcome::TooBig;
    if (outcome == Outcome::Dropped) return false;
    if (outcome == Outcome::TooBig) return _answer_too_big(encoder);
    const std::vector<uint8_t> bytes = BuildAnswer(m_version, m_community, m_request_id, m_status, m_index, m_out);
    if (!WriteAll(encoder, bytes.data(), bytes.size())) {
      QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to encode SnmpGetNext PDU");
      return false;
    }
    changed = _commit_set();
  }
  if (changed) PostViewMessage(GetClassName(), MSG_VIEW_SIMULATOR, MSG_VIEW_SIMULATOR_REFRESH, 0);
  Trace(TRACE_OUT, L"Encoded a '%s' frame", GetTypeName(ASN1_PDU_RESPONSE));
  _dump_answer(encoder);
  return true;
}

size_t CThreadActionSimuler::_answer_size(size_t list_content) const {
  return AnswerSize(m_version, m_community.size(), m_request_id, m_status, m_index, list_content);
}

void CThreadActionSimuler::_dump_answer(const CBerEncoder& encoder) const {
  if (!quillog::FeatureOn(QLF_PROGRAM_SNMP_DECODE_OUT)) return;
  CBerDecoder decoder;
  CSnmpGenericFrameIn frame;
  if (decoder.Assign(encoder.GetData(), encoder.GetUsedLength()) && DecodeDatagram(decoder, frame)) {
    frame.Dump(QLF_PROGRAM_SNMP_DECODE_OUT);
  }
}

// tooBig (error status 1, index 0): no binding in SNMPv2c (RFC 3416); in
// SNMPv1 the request's names with NULL, its own form (RFC 1157) without the
// values that may be what did not fit.
bool CThreadActionSimuler::_answer_too_big(CBerEncoder& encoder) {
  QuillogW(QUILLOG_WARNING, QLF_NONE, L"%s : The answer for %s does not fit in %u bytes, answered tooBig",
           GetClassName(), m_bindings.front().name->GetText(), kLargestAnswer);
  m_out.clear();
  m_pending_sets.clear();
  if (m_version == 0) {
    for (const Binding& binding : m_bindings) AppendEmptyBinding(*binding.name, ASN1_NULL, &m_out);
    if (AnswerSize(m_version, m_community.size(), m_request_id, SNMP_ERROR_TOO_BIG, 0, m_out.size()) > kLargestAnswer) {
      m_out.clear();
    }
  }
  const std::vector<uint8_t> bytes = BuildAnswer(m_version, m_community, m_request_id, SNMP_ERROR_TOO_BIG, 0, m_out);
  if (bytes.size() > kLargestAnswer || !WriteAll(encoder, bytes.data(), bytes.size())) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to encode SnmpGetNext PDU");
    return false;
  }
  Trace(TRACE_OUT, L"Encoded a '%s' frame", GetTypeName(ASN1_PDU_RESPONSE));
  return true;
}

// The request's names with NULL and the error at the binding's place.
CThreadActionSimuler::Outcome CThreadActionSimuler::_refuse(uint32_t status, size_t binding) {
  m_status = status;
  m_index = static_cast<uint32_t>(binding + 1);
  m_out.clear();
  for (const Binding& b : m_bindings) AppendEmptyBinding(*b.name, ASN1_NULL, &m_out);
  return Outcome::Answered;
}

CThreadActionSimuler::Outcome CThreadActionSimuler::_append_list(CSnmpResponseOut& scratch) {
  bool too_big = false;
  if (!EncodeBindingList(scratch, &m_list, &too_big)) {
    if (too_big) return Outcome::TooBig;
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to encode SnmpGetNext PDU");
    return Outcome::Dropped;
  }
  return AppendListContent(m_list, &m_out) ? Outcome::Answered : Outcome::Dropped;
}

CThreadActionSimuler::Outcome CThreadActionSimuler::_append_value(CSimulatorValue& value) {
  if (const std::vector<uint8_t>* encoded = EncodedBinding(value)) {
    return AppendListContent(*encoded, &m_out) ? Outcome::Answered : Outcome::Dropped;
  }
  // Left to the codec with whatever it says about the value.
  m_answer.Reset(m_fresh_answer);
  m_answer.SetOid(value.oid);
  m_answer.SetValue(value.type, WireText(value));
  return _append_list(m_answer);
}

CThreadActionSimuler::Outcome CThreadActionSimuler::_handle_get() {
  for (size_t i = 0; i < m_bindings.size(); ++i) {
    CSimulatorValue* value = ExactLookup(m_simulator->values, *m_bindings[i].name);
    if (value == nullptr) return _refuse(SNMP_ERROR_NO_SUCH_NAME, i);
    const Outcome outcome = _append_value(*value);
    if (outcome != Outcome::Answered) return outcome;
  }
  return Outcome::Answered;
}

CThreadActionSimuler::Outcome CThreadActionSimuler::_append_next(const CAsn1Oid& oid, bool version1, size_t binding,
                                                                 const CAsn1Oid** found) {
  CSimulatorValue* value = NextLookup(m_simulator->values, oid);
  if (found != nullptr) *found = value != nullptr ? &value->oid : nullptr;
  if (value != nullptr) return _append_value(*value);
  if (version1) return _refuse(SNMP_ERROR_NO_SUCH_NAME, binding);
  AppendEmptyBinding(oid, ASN1_END_OF_MIB_VIEW, &m_out);
  return Outcome::Answered;
}

CThreadActionSimuler::Outcome CThreadActionSimuler::_handle_get_next(const CSnmpGenericFrameIn& frame) {
  const bool version1 = frame.IsVersion1();
  for (size_t i = 0; i < m_bindings.size(); ++i) {
    const Outcome outcome = _append_next(*m_bindings[i].name, version1, i, nullptr);
    if (outcome != Outcome::Answered || m_status != 0) return outcome;
  }
  return Outcome::Answered;
}

// Non-repeaters and max-repetitions as RFC 3416 reads them (a negative one is
// 0). The answer holds whole repetitions only, as many as fit; it ends after
// a repetition that found nothing more. A first repetition that does not fit
// is tooBig: an answer without it would read as the end of the view.
CThreadActionSimuler::Outcome CThreadActionSimuler::_handle_get_bulk(const CSnmpGenericFrameIn& frame) {
  const int64_t non_repeaters = frame.GetAt(kNonRepeatersIndex)->GetValue().GetInteger();
  const int64_t max_repetitions = frame.GetAt(kMaxRepetitionsIndex)->GetValue().GetInteger();
  const size_t count = m_bindings.size();
  const size_t fixed = non_repeaters <= 0 ? 0 : std::min<uint64_t>(static_cast<uint64_t>(non_repeaters), count);
  for (size_t i = 0; i < fixed; ++i) {
    const Outcome outcome = _append_next(*m_bindings[i].name, false, i, nullptr);
    if (outcome != Outcome::Answered) return outcome;
  }
  if (_answer_size(m_out.size()) > kLargestAnswer) return Outcome::TooBig;
  if (fixed == count || max_repetitions <= 0) return Outcome::Answered;

  m_cursors.clear();
  for (size_t i = fixed; i < count; ++i) m_cursors.push_back(m_bindings[i].name);
  // Every repetition adds at least one binding, so the size ends the loop
  // long before an absurd count could.
  for (int64_t repetition = 0; repetition < max_repetitions; ++repetition) {
    const size_t mark = m_out.size();
    bool more = false;
    Outcome outcome = Outcome::Answered;
    for (size_t j = 0; j < m_cursors.size() && outcome == Outcome::Answered; ++j) {
      const CAsn1Oid* found = nullptr;
      outcome = _append_next(*m_cursors[j], false, fixed + j, &found);
      if (found != nullptr) {
        m_cursors[j] = found;
        more = true;
      }
    }
    if (outcome == Outcome::Dropped) return outcome;
    if (outcome == Outcome::TooBig || _answer_size(m_out.size()) > kLargestAnswer) {
      m_out.resize(mark);
      return repetition == 0 ? Outcome::TooBig : Outcome::Answered;
    }
    if (!more) break;
  }
  return Outcome::Answered;
}

// The answer echoes a binding: the name, and the value with the same tag
// and content (octets as they came; a constructed one as it came).
CThreadActionSimuler::Outcome CThreadActionSimuler::_append_echo(const Binding& binding) {
  if (binding.value->GetType().IsConstructed()) {
    AppendBinding(*binding.name, binding.encoding, binding.encoding_size, &m_out);
    return Outcome::Answered;
  }
  m_answer.Reset(m_fresh_answer);
  m_answer.SetOid(*binding.name);
  if (CAsn1Object* echo = m_answer.Find(L"Null")) {
    *echo = *binding.value;
    echo->SetName(L"Null");
    if (echo->GetCode() == ASN1_OCTET_STRING || echo->GetCode() == ASN1_OPAQUE) {
      echo->GetValue() = CAsn1Value();
      echo->GetValue().SetText(OctetsText(binding.content, binding.content_size));
    }
  }
  return _append_list(m_answer);
}

// A Set changes nothing unless every binding can be set; the first that
// cannot gives the error and its index. Every stored value can be set.
CThreadActionSimuler::Outcome CThreadActionSimuler::_handle_set(const CSnmpGenericFrameIn& frame) {
  uint32_t status = 0;
  size_t failed = 0;
  for (size_t i = 0; i < m_bindings.size() && status == 0; ++i) {
    const Binding& binding = m_bindings[i];
    CSimulatorValue* value = ExactLookup(m_simulator->values, *binding.name);
    const uint8_t code = binding.value->GetCode();
    std::wstring text = code == ASN1_OCTET_STRING || code == ASN1_OPAQUE
                            ? OctetsText(binding.content, binding.content_size)
                            : binding.value->GetText();
    if (value == nullptr) {
      status = SNMP_ERROR_NO_SUCH_NAME;
    } else if (value->type != code) {
      status = SNMP_ERROR_WRONG_TYPE;
    } else if (const std::wstring why = CSimulatorEntry::CheckValueText(value->type, text); !why.empty()) {
      QuillogW(QUILLOG_WARNING, QLF_NONE, L"%s : The value '%s' set to %s is refused (%s)", GetClassName(), text,
               binding.name->GetText(), why);
      status = frame.IsVersion1() ? SNMP_ERROR_BAD_VALUE : SNMP_ERROR_WRONG_VALUE;
    } else {
      m_pending_sets.push_back(PendingSet{value, std::move(text)});
    }
    failed = i;
  }
  for (const Binding& binding : m_bindings) {
    const Outcome outcome = _append_echo(binding);
    if (outcome != Outcome::Answered) return outcome;
  }
  if (status != 0) {
    m_pending_sets.clear();
    m_status = status;
    m_index = static_cast<uint32_t>(failed + 1);
  }
  return Outcome::Answered;
}

bool CThreadActionSimuler::_commit_set() {
  if (m_pending_sets.empty()) return false;
  for (PendingSet& set : m_pending_sets) set.value->value = std::move(set.text);
  m_pending_sets.clear();
  return true;
}
