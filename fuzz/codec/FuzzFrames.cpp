// Arbitrary bytes as one received datagram, decoded with every frame class;
// an inform that decodes is acknowledged, and the acknowledgement must read
// back as a Response with the same bindings.
#include "asn1/BerDecoder.h"
#include "snmp/SnmpGenericFrameIn.h"
#include "snmp/SnmpGetBulkResponseIn.h"
#include "snmp/SnmpInformAck.h"
#include "snmp/SnmpResponseIn.h"
#include "snmp/SnmpTrapIn.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

size_t Touch(const CAsn1Object* object) {
  if (object == nullptr) return 0;
  return object->GetDumpText().size() + object->GetValue().GetOid().GetCount();
}

size_t Use(CSnmpFrameIn& frame) {
  size_t n = Touch(frame.GetVersion()) + Touch(frame.GetCommunity()) + Touch(frame.GetPdu());
  if (frame.GetVersion() != nullptr) n += frame.IsVersion1() + frame.IsVersion2c();
  if (frame.GetPdu() != nullptr) n += frame.IsGetRequest() + frame.IsGetNextRequest() + frame.IsSetRequest();
  for (size_t i = 0; i < frame.GetCount(); ++i) n += Touch(frame.GetAt(i));
  return n;
}

size_t Use(CSnmpResponseIn& frame) {
  return Use(static_cast<CSnmpFrameIn&>(frame)) + Touch(frame.GetRequestId()) + Touch(frame.GetErrorStatus()) +
         Touch(frame.GetErrorIndex()) + Touch(frame.GetName()) + Touch(frame.GetValue()) +
         std::wstring(frame.GetErrorStatusName()).size();
}

size_t Use(CSnmpTrapIn& frame) {
  size_t n = Use(static_cast<CSnmpFrameIn&>(frame)) + Touch(frame.GetEnterprise()) + Touch(frame.GetAgentAddress()) +
             Touch(frame.GetGenericTrap()) + Touch(frame.GetSpecificTrap()) + Touch(frame.GetTimeStamp()) +
             std::wstring(frame.GetGenericTrapName()).size();
  if (frame.GetNames().size() != frame.GetValues().size()) std::abort();
  for (size_t i = 0; i < frame.GetNames().size(); ++i) n += Touch(frame.GetNames()[i]) + Touch(frame.GetValues()[i]);
  return n;
}

size_t Use(CSnmpGetBulkResponseIn& frame) {
  size_t n = Use(static_cast<CSnmpResponseIn&>(frame));
  if (frame.GetNames().size() != frame.GetValues().size()) std::abort();
  for (size_t i = 0; i < frame.GetNames().size(); ++i) {
    if (frame.GetNames()[i]->GetCode() != ASN1_OBJECT_IDENTIFIER) std::abort();
    n += Touch(frame.GetNames()[i]) + Touch(frame.GetValues()[i]);
  }
  if ((frame.GetName() == nullptr) != frame.GetNames().empty()) std::abort();
  return n;
}

template <typename Frame>
bool Decode(const uint8_t* data, size_t size, Frame* frame) {
  CBerDecoder decoder;
  if (!decoder.Assign(data, static_cast<uint32_t>(size))) return false;
  const bool decoded = DecodeDatagram(decoder, *frame);
  if (decoder.GetUsedLength() > decoder.GetSize()) std::abort();  // read past the datagram
  // A frame is only ever made of a whole datagram, every byte used.
  if (decoded && (!decoder.CheckLayout() || decoder.GetUsedLength() != decoder.GetSize())) std::abort();
  return decoded;
}

template <typename Frame>
size_t DecodeAs(const uint8_t* data, size_t size) {
  Frame frame;
  Decode(data, size, &frame);
  return Use(frame);
}

size_t Acknowledge(const uint8_t* data, size_t size) {
  CSnmpTrapIn inform;
  const bool decoded = Decode(data, size, &inform);
  std::vector<uint8_t> ack;
  const bool built = BuildInformAck(data, size, &ack);
  if (!built) return 0;
  // Never longer than the inform: it fits wherever the inform came from.
  if (ack.size() > size) std::abort();
  CSnmpGetBulkResponseIn response;
  if (!Decode(ack.data(), ack.size(), &response)) return 1;  // bindings that were not bindings, copied
  if (response.GetErrorStatus()->GetValue().GetInteger() != 0 || response.GetErrorIndex()->GetValue().GetInteger() != 0)
    std::abort();
  if (decoded && inform.IsInform()) {
    if (response.GetNames().size() != inform.GetNames().size()) std::abort();
    if (response.GetRequestId()->GetText() != inform.GetRequestId()->GetText()) std::abort();
  }
  return Use(response);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > BER_DATAGRAM_SIZE) return -1;  // a receive never hands over more
  volatile size_t sink = 0;
  sink = sink + DecodeAs<CSnmpGenericFrameIn>(data, size);
  sink = sink + DecodeAs<CSnmpGetResponseIn>(data, size);
  sink = sink + DecodeAs<CSnmpGetNextResponseIn>(data, size);
  sink = sink + DecodeAs<CSnmpSetResponseIn>(data, size);
  sink = sink + DecodeAs<CSnmpTrapIn>(data, size);
  sink = sink + DecodeAs<CSnmpGetBulkResponseIn>(data, size);
  sink = sink + Acknowledge(data, size);
  return 0;
}
