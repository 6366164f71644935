#include "asn1/BerDecoder.h"
#include "snmp/SnmpGenericFrameIn.h"
#include "snmp/SnmpInformAck.h"
#include "snmp/SnmpResponseIn.h"
#include "snmp/SnmpTrapIn.h"
#include "tests/common/BerBytes.h"
#include "tests/common/LogCapture.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

using namespace berbytes;

Bytes Seq(std::initializer_list<Bytes> parts) { return Tlv(0x30, Cat(parts)); }

bool DecodeInto(const Bytes& bytes, CSnmpFrameIn& frame) {
  CBerDecoder decoder;
  return decoder.Assign(bytes.data(), static_cast<uint32_t>(bytes.size())) && DecodeDatagram(decoder, frame);
}

// sysServices.0 = 72, then sysORLastChange.0 = 73...
Bytes Response(uint8_t version, int bindings, uint8_t pdu = ASN1_PDU_RESPONSE) {
  std::vector<std::pair<Bytes, Bytes>> list;
  for (uint64_t i = 0; i < static_cast<uint64_t>(bindings); ++i)
    list.push_back({Oid({1, 3, 6, 1, 2, 1, 1, 7 + i, 0}), Int(static_cast<int64_t>(72 + i))});
  return Message(version, "public", pdu, Int(1234), list);
}

// Enterprise 1.3.6.1.4.1.8072.2.3.1, agent 10.0.0.9, linkDown, specific 17,
// time stamp 12345, then the binding list's content.
Bytes TrapV1(const Bytes& bindings, uint8_t version = 0) {
  const Bytes body = Cat({Oid({1, 3, 6, 1, 4, 1, 8072, 2, 3, 1}), Tlv(0x40, {10, 0, 0, 9}), Int(2), Int(17),
                          Tlv(0x43, {0x30, 0x39}), Tlv(0x30, bindings)});
  return Seq({Int(version), Text("traps"), Tlv(ASN1_PDU_TRAP_V1, body)});
}

}  // namespace

// A cut or padded datagram never yields a frame with missing or empty parts:
// it is refused whole (Warning) before its shape is checked (Error).
TEST(SnmpResponseIn, FirstBindingOrRefused) {
  CSnmpGetResponseIn first;
  ASSERT_TRUE(DecodeInto(Response(1, 2), first));
  EXPECT_EQ(first.GetCount(), 14u);
  EXPECT_EQ(first.GetName()->GetText(), L"1.3.6.1.2.1.1.7.0");
  EXPECT_EQ(first.GetValue()->GetText(), L"72");
  const Bytes whole = Response(0, 2);
  const std::tuple<Bytes, int, const wchar_t*> cases[] = {
      {Bytes(whole.begin(), whole.end() - 2), QUILLOG_WARNING, L"The BER lengths do not add up: cut short"},
      {Cat({whole, {0x00}}), QUILLOG_WARNING, L"The BER lengths do not add up: trailing bytes after the message"},
      {Cat({{0x30, 0x80}, Bytes(whole.begin() + 2, whole.end()), {0x00, 0x00}}), QUILLOG_WARNING,
       L"The BER lengths do not add up: indefinite length"},
      {Message(0, "public", ASN1_PDU_RESPONSE, Int(1), {{Oid({1, 3, 6, 1}), Tlv(0x01, {0, 1})}}), QUILLOG_WARNING,
       L"DecodeDatagram() ==> The element at byte"},
      {{0x02, 0x01, 0x05}, QUILLOG_ERROR, L"Bad(2) number (1) of ASN.1 objects in GetNextResponse"},
      {Response(0, 0), QUILLOG_ERROR, L"Bad(10) number (8) of ASN.1 objects in GetNextResponse"},
      {Response(3, 1), QUILLOG_ERROR, L"Unknown trap version (3)"},
      {Response(0, 1, ASN1_PDU_GET_REQUEST), QUILLOG_ERROR,
       L"Request identifier 160 is not correct in GetNextResponse"},
  };
  for (const auto& [bytes, level, message] : cases) {
    SCOPED_TRACE(quillog::WideToUtf8(message));
    LogCapture log;
    CSnmpGetResponseIn frame;
    EXPECT_FALSE(DecodeInto(bytes, frame));
    EXPECT_EQ(frame.GetName(), nullptr);
    EXPECT_EQ(log.CountContaining(message, level), 1u);
  }
}

TEST(SnmpFrameIn, QuestionsBeforeDecodeAreSafe) {
  LogCapture log;
  CSnmpGenericFrameIn frame;
  EXPECT_FALSE(frame.IsGetRequest() || frame.IsVersion2c());
  EXPECT_TRUE(log.Has(L"Request Identifier is not yet set") && log.Has(L"Version is not yet set"));
  EXPECT_STREQ(CSnmpGetResponseIn().GetErrorStatusName(), L"Bad ErrorStatus type");
  EXPECT_STREQ(CSnmpTrapIn().GetGenericTrapName(), L"unknownGeneric");
}

// Whole traps are checked against snmptrap's own.
TEST(SnmpTrapIn, Shapes) {
  const std::tuple<Bytes, size_t, const wchar_t*> cases[] = {
      {TrapV1({}), 10, nullptr},
      {TrapV1(Seq({Oid({1, 3, 6, 1, 2, 1, 2, 2, 1, 1, 1})})), 12, L"Bad10 number (12) of ASN.1 objects in trap"},
      {TrapV1(Seq({})), 11, L"Bad10 number (11) of ASN.1 objects in trap"},
      {TrapV1({}, 1), 10, L"Bad10 number (10) of ASN.1 objects in trap"},
      {Message(3, "public", ASN1_PDU_TRAP_V2, Int(99), {}), 8, L"Unknown trap version (3)"},
      {Response(1, 1), 11, L"Request identifier 162 is not correct in trap"},
  };
  for (const auto& [bytes, elements, refusal] : cases) {
    SCOPED_TRACE(elements);
    LogCapture log;
    CSnmpTrapIn trap;
    EXPECT_EQ(DecodeInto(bytes, trap), refusal == nullptr);
    EXPECT_EQ(trap.GetCount(), elements);
    EXPECT_EQ(trap.GetNames().size(), trap.GetValues().size());
    EXPECT_LE(10 + 3 * trap.GetNames().size(), std::max<size_t>(elements, 10));  // whole bindings only
    EXPECT_TRUE(refusal == nullptr ? log.Records().empty() : log.Has(refusal));
  }
  EXPECT_STREQ(CSnmpTrapIn::GenericTrapName(7), L"unknownGeneric");
}

// The acknowledgement copies the inform's bindings and never outgrows it;
// an empty INTEGER (which the fuzzer once grew the ack with) is refused.
TEST(SnmpInformAck, CopiesBindingsAndRefusesBadPdus) {
  const std::vector<std::pair<Bytes, Bytes>> bindings = {{Oid({1, 3, 6, 1, 2, 1, 1, 3, 0}), Tlv(0x43, {0x2A})},
                                                         {Oid({1, 3, 6, 1, 6, 3, 1, 1, 4, 1, 0}), Oid({1, 3, 6, 1})}};
  const Bytes inform = Message(1, "inf", ASN1_PDU_INFORM, Int(77), bindings);
  std::vector<uint8_t> ack;
  ASSERT_TRUE(BuildInformAck(inform.data(), inform.size(), &ack));
  EXPECT_EQ(ack, Message(1, "inf", ASN1_PDU_RESPONSE, Int(77), bindings));

  const Bytes list = Tlv(0x30, Tlv(0x30, Cat({Oid({1, 3, 6, 1}), kNull})));
  const auto informWith = [&](const Bytes& status, const Bytes& after_list = {}) {
    return Tlv(0x30, Cat({Int(1), Text("inf"), Tlv(ASN1_PDU_INFORM, Cat({Int(5), status, Int(0), list, after_list}))}));
  };
  const std::tuple<Bytes, const wchar_t*> refused[] = {
      {informWith(Tlv(0x02, {})), L"Bad InformRequest PDU"},
      {informWith(Text("0")), L"Bad InformRequest PDU"},
      {informWith(Int(0), kNull), L"Bad InformRequest PDU"},
      {Message(1, "inf", ASN1_PDU_TRAP_V2, Int(5), bindings), L"The PDU is not an InformRequest"},
      {Cat({inform, {0x00}}), L"The datagram is not one SNMP message"},
  };
  for (const auto& [bytes, message] : refused) {
    SCOPED_TRACE(quillog::WideToUtf8(message));
    LogCapture log;
    EXPECT_FALSE(BuildInformAck(bytes.data(), bytes.size(), &ack));
    EXPECT_EQ(log.CountContaining(message, QUILLOG_ERROR), 1u);
  }
  const Bytes padded = informWith(Tlv(0x02, {0x00, 0x00, 0x00}));
  ASSERT_TRUE(BuildInformAck(padded.data(), padded.size(), &ack));
  EXPECT_LT(ack.size(), padded.size());
}
