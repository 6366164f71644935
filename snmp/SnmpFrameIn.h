// Inbound frames: a decoded datagram's element list plus references into it.
#pragma once

#include "snmp/SnmpBase.h"

#include <cstdint>

class CBerDecoder;

class CSnmpFrameIn : public CSnmpBase {
 public:
  ~CSnmpFrameIn() override;
  // Checks the list's shape and sets the references; false after a log line.
  virtual bool Decode() = 0;

  bool IsVersion1() const;
  bool IsVersion2c() const;
  bool IsGetRequest() const;
  bool IsGetNextRequest() const;
  bool IsSetRequest() const;

  // Empty (null) until Decode has set them; owned by the list.
  CAsn1Object* GetVersion() const { return m_version; }
  CAsn1Object* GetCommunity() const { return m_community; }
  CAsn1Object* GetPdu() const { return m_pdu; }

  // Sender of the datagram, stored by the receiving worker (host order).
  uint32_t GetSenderAddress() const { return m_sender_address; }
  uint32_t GetSenderPort() const { return m_sender_port; }
  void SetSender(uint32_t address, uint32_t port) {
    m_sender_address = address;
    m_sender_port = port;
  }

 protected:
  CSnmpFrameIn();
  // Version, community and PDU; check_version refuses versions other than 0 and 1.
  bool _decode_header(bool check_version);
  // The element at index, or null after "Bad(index + 1) number (count)..." is logged.
  CAsn1Object* _element_or_log(size_t index) const;

  CAsn1Object* m_version = nullptr;
  CAsn1Object* m_community = nullptr;
  CAsn1Object* m_pdu = nullptr;
  uint32_t m_sender_address = 0;
  uint32_t m_sender_port = 0;
};

// Fills the frame's list from the decoder's datagram (after SetSize), then
// runs the frame's Decode; its result is the result. A datagram whose BER
// lengths do not add up or that has an element that does not decode is
// refused (Warning) before Decode.
bool DecodeDatagram(CBerDecoder& decoder, CSnmpFrameIn& frame);
