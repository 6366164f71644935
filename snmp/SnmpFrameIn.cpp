#include "snmp/SnmpFrameIn.h"

#include "asn1/BerDecoder.h"
#include "quillog/Quillog.h"

#include <memory>

CSnmpFrameIn::CSnmpFrameIn() = default;

CSnmpFrameIn::~CSnmpFrameIn() = default;

CAsn1Object* CSnmpFrameIn::_element_or_log(size_t index) const {
  if (index < m_elements.size()) return m_elements[index].get();
  QuillogW(QUILLOG_ERROR, QLF_NONE, L"Bad(%d) number (%d) of ASN.1 objects in GetNextResponse",
           static_cast<int64_t>(index + 1), static_cast<int64_t>(m_elements.size()));
  return nullptr;
}

bool CSnmpFrameIn::_decode_header(bool check_version) {
  m_version = m_community = m_pdu = nullptr;
  CAsn1Object* version = _element_or_log(1);
  if (version == nullptr) return false;
  m_version = version;
  const int64_t number = version->GetValue().GetInteger();
  if (check_version && number != 0 && number != 1) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unknown trap version (%d)", number);
    return false;
  }
  m_community = _element_or_log(2);
  if (m_community == nullptr) return false;
  m_pdu = _element_or_log(3);
  return m_pdu != nullptr;
}

bool CSnmpFrameIn::IsVersion1() const {
  if (m_version == nullptr) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Version is not yet set");
    return false;
  }
  return m_version->GetValue().GetInteger() == 0;
}

bool CSnmpFrameIn::IsVersion2c() const {
  if (m_version == nullptr) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Version is not yet set");
    return false;
  }
  return m_version->GetValue().GetInteger() == 1;
}

namespace {

bool PduIs(const CAsn1Object* pdu, uint8_t code) {
  if (pdu == nullptr) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Request Identifier is not yet set");
    return false;
  }
  return pdu->GetCode() == code;
}

}  // namespace

bool CSnmpFrameIn::IsGetRequest() const { return PduIs(m_pdu, ASN1_PDU_GET_REQUEST); }

bool CSnmpFrameIn::IsGetNextRequest() const { return PduIs(m_pdu, ASN1_PDU_GET_NEXT_REQUEST); }

bool CSnmpFrameIn::IsSetRequest() const { return PduIs(m_pdu, ASN1_PDU_SET_REQUEST); }

// Constructed elements carry no value, so their content is decoded as the
// elements that follow: the list is the pre-order of the element tree. A
// datagram whose lengths do not add up, or with an element that does not
// decode, is refused whole (Warning): a cut or padded datagram never yields
// a frame with missing or empty parts.
bool DecodeDatagram(CBerDecoder& decoder, CSnmpFrameIn& frame) {
  frame.Clear();
  if (!decoder.CheckLayout()) return false;
  while (decoder.GetUsedLength() < decoder.GetSize()) {
    const uint32_t at = decoder.GetUsedLength();
    auto owned = std::make_unique<CAsn1Object>(ASN1_NULL);
    CAsn1Object* element = owned.get();
    frame.Add(std::move(owned));
    if (!element->GetType().Decode(decoder) || !element->GetLength().Decode(decoder) ||
        !element->GetValue().Build(element->GetType(), element->GetLength(), decoder)) {
      QuillogW(QUILLOG_WARNING, QLF_NONE, L"DecodeDatagram() ==> The element at byte %u of %u does not decode", at,
               decoder.GetSize());
      return false;
    }
  }
  return frame.Decode();
}
