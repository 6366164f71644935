#include "snmp/SnmpInformAck.h"

#include "asn1/Asn1Type.h"
#include "quillog/Quillog.h"

namespace {

// One definite-length element: its whole bytes and its content.
struct Element {
  uint8_t tag = 0;
  const uint8_t* begin = nullptr;
  const uint8_t* content = nullptr;
  const uint8_t* end = nullptr;
};

// Reads the element at `at`, which must fit before `limit`, and moves past it.
bool ReadElement(const uint8_t*& at, const uint8_t* limit, Element* out) {
  if (limit - at < 2) return false;
  out->begin = at;
  out->tag = at[0];
  const uint8_t* p = at + 2;
  size_t length = at[1];
  if (length & 0x80) {
    const size_t count = length & 0x7F;
    if (count == 0 || count > 4 || static_cast<size_t>(limit - p) < count) return false;
    length = 0;
    for (size_t i = 0; i < count; ++i) length = (length << 8) | *p++;
  }
  if (static_cast<size_t>(limit - p) < length) return false;
  out->content = p;
  out->end = p + length;
  at = out->end;
  return true;
}

void AppendHeader(uint8_t tag, size_t length, std::vector<uint8_t>* out) {
  out->push_back(tag);
  if (length < 0x80) {
    out->push_back(static_cast<uint8_t>(length));
    return;
  }
  uint8_t bytes[sizeof(size_t)];
  size_t count = 0;
  for (size_t rest = length; rest != 0; rest >>= 8) bytes[count++] = static_cast<uint8_t>(rest & 0xFF);
  out->push_back(static_cast<uint8_t>(0x80 | count));
  while (count > 0) out->push_back(bytes[--count]);
}

void Append(const Element& e, std::vector<uint8_t>* out) { out->insert(out->end(), e.begin, e.end); }

size_t Size(const Element& e) { return static_cast<size_t>(e.end - e.begin); }

size_t HeaderSize(size_t length) {
  if (length < 0x80) return 2;
  size_t size = 2;
  for (size_t rest = length; rest != 0; rest >>= 8) ++size;
  return size;
}

// An INTEGER has at least one content octet; an empty one would also make
// the acknowledgement, which writes 0 in one octet, longer than the inform.
bool IsInteger(const Element& e) { return e.tag == ASN1_INTEGER && e.content != e.end; }

bool Refuse(const wchar_t* why) {
  QuillogW(QUILLOG_ERROR, QLF_NONE, L"BuildInformAck() ==> %s", why);
  return false;
}

}  // namespace

bool BuildInformAck(const uint8_t* inform, size_t size, std::vector<uint8_t>* ack) {
  if (inform == nullptr || ack == nullptr) return Refuse(L"Bad parameters");
  const uint8_t* at = inform;
  const uint8_t* limit = inform + size;
  Element message, version, community, pdu, request_id, status, index, list;
  if (!ReadElement(at, limit, &message) || message.tag != ASN1_SEQUENCE || at != limit)
    return Refuse(L"The datagram is not one SNMP message");
  at = message.content;
  if (!ReadElement(at, message.end, &version) || version.tag != ASN1_INTEGER ||
      !ReadElement(at, message.end, &community) || community.tag != ASN1_OCTET_STRING ||
      !ReadElement(at, message.end, &pdu) || at != message.end)
    return Refuse(L"Bad message header");
  if (pdu.tag != ASN1_PDU_INFORM) return Refuse(L"The PDU is not an InformRequest");
  at = pdu.content;
  if (!ReadElement(at, pdu.end, &request_id) || !IsInteger(request_id) || !ReadElement(at, pdu.end, &status) ||
      !IsInteger(status) || !ReadElement(at, pdu.end, &index) || !IsInteger(index) ||
      !ReadElement(at, pdu.end, &list) || list.tag != ASN1_SEQUENCE || at != pdu.end)
    return Refuse(L"Bad InformRequest PDU");

  static const uint8_t kZero[] = {ASN1_INTEGER, 0x01, 0x00};
  const size_t pdu_length = Size(request_id) + 2 * sizeof(kZero) + Size(list);
  const size_t message_length = Size(version) + Size(community) + HeaderSize(pdu_length) + pdu_length;
  ack->clear();
  ack->reserve(HeaderSize(message_length) + message_length);
  AppendHeader(ASN1_SEQUENCE, message_length, ack);
  Append(version, ack);
  Append(community, ack);
  AppendHeader(ASN1_PDU_RESPONSE, pdu_length, ack);
  Append(request_id, ack);
  ack->insert(ack->end(), kZero, kZero + sizeof(kZero));
  ack->insert(ack->end(), kZero, kZero + sizeof(kZero));
  Append(list, ack);
  return true;
}
