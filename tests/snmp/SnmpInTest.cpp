#include "asn1/BerDecoder.h"
#include "snmp/SnmpGenericFrameIn.h"
#include "snmp/SnmpResponseIn.h"
#include "snmp/SnmpTrapIn.h"
#include "tests/common/BerBytes.h"
#include "tests/common/LogCapture.h"

#include <gtest/gtest.h>

namespace {

using namespace berbytes;

Bytes Seq(std::initializer_list<Bytes> parts) { return Tlv(0x30, Cat(parts)); }

bool DecodeInto(const Bytes& bytes, CSnmpFrameIn& frame) {
  CBerDecoder decoder;
  if (!decoder.Assign(bytes.data(), static_cast<uint32_t>(bytes.size()))) return false;
  return DecodeDatagram(decoder, frame);
}

// sysServices.0 = 72, then sysORLastChange.0 = 73.
Bytes Response(uint8_t version, int bindings, uint8_t pdu = ASN1_PDU_RESPONSE) {
  std::vector<std::pair<Bytes, Bytes>> list;
  for (uint64_t i = 0; i < static_cast<uint64_t>(bindings); ++i) {
    list.push_back({Oid({1, 3, 6, 1, 2, 1, 1, 7 + i, 0}), Int(static_cast<int64_t>(72 + i))});
  }
  return Message(version, "public", pdu, Int(1234), list);
}

// Enterprise 1.3.6.1.4.1.8072.2.3.1, agent 10.0.0.9, linkDown, specific 17,
// time stamp 12345, bindings ifIndex.1 = 0, 1, ...
Bytes TrapV1(int bindings, uint8_t version = 0, uint8_t pdu = ASN1_PDU_TRAP_V1) {
  Bytes list;
  for (int i = 0; i < bindings; ++i) list = Cat({list, Seq({Oid({1, 3, 6, 1, 2, 1, 2, 2, 1, 1, 1}), Int(i)})});
  const Bytes body = Cat({Oid({1, 3, 6, 1, 4, 1, 8072, 2, 3, 1}), Tlv(0x40, {10, 0, 0, 9}), Int(2), Int(17),
                          Tlv(0x43, {0x30, 0x39}), Tlv(0x30, list)});
  return Seq({Int(version), Text("traps"), Tlv(pdu, body)});
}

// sysUpTime.0 = 54321, snmpTrapOID.0 = linkDown.
Bytes TrapV2(uint8_t version) {
  return Message(version, "public", ASN1_PDU_TRAP_V2, Int(99),
                 {{Oid({1, 3, 6, 1, 2, 1, 1, 3, 0}), Tlv(0x43, {0x00, 0xD4, 0x31})},
                  {Oid({1, 3, 6, 1, 6, 3, 1, 1, 4, 1, 0}), Oid({1, 3, 6, 1, 6, 3, 1, 1, 5, 3})}});
}

}  // namespace

TEST(SnmpResponseIn, FirstOfTwoBindings) {
  LogCapture log;
  CSnmpGetResponseIn frame;
  ASSERT_TRUE(DecodeInto(Response(1, 2), frame));
  EXPECT_EQ(frame.GetCount(), 14u);
  EXPECT_TRUE(frame.IsVersion2c());
  EXPECT_FALSE(frame.IsVersion1());
  EXPECT_EQ(frame.GetCommunity()->GetText(), L"public");
  EXPECT_EQ(frame.GetPdu()->GetCode(), ASN1_PDU_RESPONSE);
  EXPECT_EQ(frame.GetRequestId()->GetValue().GetInteger(), 1234);
  EXPECT_STREQ(frame.GetErrorStatusName(), L"NoError");
  EXPECT_EQ(frame.GetErrorIndex()->GetValue().GetInteger(), 0);
  EXPECT_EQ(frame.GetName()->GetText(), L"1.3.6.1.2.1.1.7.0");
  EXPECT_EQ(frame.GetValue()->GetText(), L"72");
  EXPECT_EQ(frame.GetValue()->GetCode(), ASN1_INTEGER);
  EXPECT_FALSE(frame.GetValue()->GetValue().IsReadOnly());
  EXPECT_EQ(frame.GetAt(0)->GetLength().GetLength(), static_cast<int64_t>(Response(1, 2).size() - 2));
  EXPECT_TRUE(log.Records().empty());
}

TEST(SnmpResponseIn, ShapeFailures) {
  LogCapture log;
  CSnmpSetResponseIn single;
  EXPECT_FALSE(DecodeInto({0x02, 0x01, 0x05}, single));
  EXPECT_TRUE(log.Has(L"Bad(2) number (1) of ASN.1 objects in GetNextResponse"));

  CSnmpGetNextResponseIn v3;
  EXPECT_FALSE(DecodeInto(Response(3, 1), v3));
  EXPECT_TRUE(log.Has(L"Unknown trap version (3)"));

  CSnmpGetResponseIn wrong_pdu;
  EXPECT_FALSE(DecodeInto(Response(0, 1, ASN1_PDU_GET_REQUEST), wrong_pdu));
  EXPECT_TRUE(log.Has(L"Request identifier 160 is not correct in GetNextResponse"));

  CSnmpGetResponseIn no_binding;
  EXPECT_FALSE(DecodeInto(Response(0, 0), no_binding));
  EXPECT_EQ(no_binding.GetCount(), 8u);
  EXPECT_TRUE(log.Has(L"Bad(10) number (8) of ASN.1 objects in GetNextResponse"));
  EXPECT_EQ(no_binding.GetName(), nullptr);

  CSnmpGetResponseIn header_only;
  EXPECT_FALSE(DecodeInto(Seq({Int(0), Text("c")}), header_only));
  EXPECT_TRUE(log.Has(L"Bad(4) number (3) of ASN.1 objects in GetNextResponse"));
}

TEST(SnmpResponseIn, CutPaddedOrIndefiniteDatagramsAreRefusedWhole) {
  const Bytes whole = Response(0, 2);
  Bytes cut = whole;
  cut.resize(cut.size() - 2);  // the second binding's value cut short
  Bytes padded = whole;
  padded.push_back(0x00);
  Bytes indefinite = {0x30, 0x80};  // the message SEQUENCE in the indefinite form
  indefinite.insert(indefinite.end(), whole.begin() + 2, whole.end());
  indefinite.insert(indefinite.end(), {0x00, 0x00});
  // The layout adds up, but a BOOLEAN of 2 bytes does not decode.
  const Bytes bad_boolean = Message(0, "public", ASN1_PDU_RESPONSE, Int(1), {{Oid({1, 3, 6, 1}), Tlv(0x01, {0, 1})}});
  struct Case {
    const char* name;
    const Bytes& bytes;
    const wchar_t* warning;
  };
  const Case cases[] = {
      {"cut", cut, L"The BER lengths do not add up: cut short"},
      {"padded", padded, L"The BER lengths do not add up: trailing bytes after the message"},
      {"indefinite", indefinite, L"The BER lengths do not add up: indefinite length"},
      {"BOOLEAN of 2 bytes", bad_boolean, L"DecodeDatagram() ==> The element at byte"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LogCapture log;
    CSnmpGetResponseIn frame;
    EXPECT_FALSE(DecodeInto(c.bytes, frame));
    EXPECT_EQ(frame.GetName(), nullptr);
    EXPECT_EQ(log.CountContaining(c.warning, QUILLOG_WARNING), 1u);
  }
  CSnmpGetResponseIn frame;
  EXPECT_TRUE(DecodeInto(whole, frame));
}

TEST(SnmpResponseIn, ErrorStatus) {
  const Bytes bytes = Seq({Int(0), Text("c"), Tlv(ASN1_PDU_RESPONSE, Cat({Int(5), Int(2), Int(1),
                                                                          Seq({Seq({Oid({1, 3, 6, 1}), Int(0)})})}))});
  CSnmpGetResponseIn frame;
  ASSERT_TRUE(DecodeInto(bytes, frame));
  EXPECT_STREQ(frame.GetErrorStatusName(), L"NoSuchName");
}

TEST(SnmpFrameIn, QuestionsBeforeDecode) {
  LogCapture log;
  CSnmpGenericFrameIn frame;
  EXPECT_FALSE(frame.IsGetRequest());
  EXPECT_TRUE(log.Has(L"Request Identifier is not yet set"));
  EXPECT_FALSE(frame.IsVersion2c());
  EXPECT_TRUE(log.Has(L"Version is not yet set"));
  CSnmpGetResponseIn response;
  EXPECT_STREQ(response.GetErrorStatusName(), L"Bad ErrorStatus type");
  CSnmpTrapIn trap;
  EXPECT_STREQ(trap.GetGenericTrapName(), L"unknownGeneric");
}

TEST(SnmpGenericFrameIn, AcceptsAnyVersionAndRequest) {
  LogCapture log;
  const Bytes bytes = Message(3, "private", ASN1_PDU_SET_REQUEST, Int(1), {{Oid({1, 3, 6, 1}), Int(5)}});
  CSnmpGenericFrameIn frame;
  frame.SetSender(0x7F000001, 16100);
  ASSERT_TRUE(DecodeInto(bytes, frame));
  EXPECT_TRUE(frame.IsSetRequest());
  EXPECT_FALSE(frame.IsGetRequest());
  EXPECT_FALSE(frame.IsGetNextRequest());
  EXPECT_FALSE(frame.IsVersion1());
  EXPECT_FALSE(frame.IsVersion2c());
  EXPECT_EQ(frame.GetVersion()->GetValue().GetInteger(), 3);
  EXPECT_EQ(frame.GetCommunity()->GetText(), L"private");
  EXPECT_EQ(frame.GetSenderAddress(), 0x7F000001u);
  EXPECT_EQ(frame.GetSenderPort(), 16100u);

  // A frame decoded again holds the new datagram only.
  ASSERT_TRUE(DecodeInto(Response(0, 1, ASN1_PDU_GET_NEXT_REQUEST), frame));
  EXPECT_EQ(frame.GetCount(), 11u);
  EXPECT_TRUE(frame.IsGetNextRequest());
  EXPECT_TRUE(frame.IsVersion1());
}

// The fields of full traps are checked against snmptrap's own.
TEST(SnmpTrapIn, Version1WithoutBindings) {
  LogCapture log;
  CSnmpTrapIn trap;
  ASSERT_TRUE(DecodeInto(TrapV1(0), trap));
  EXPECT_EQ(trap.GetCount(), 10u);
  EXPECT_TRUE(trap.GetNames().empty());
  EXPECT_TRUE(trap.GetValues().empty());
  EXPECT_EQ(trap.GetAgentAddress()->GetValue().GetAddress(), 0x0A000009u);
  EXPECT_STREQ(trap.GetGenericTrapName(), L"linkDown");
  EXPECT_EQ(trap.GetRequestId(), nullptr);
  EXPECT_TRUE(log.Records().empty());
}

TEST(SnmpTrapIn, IncompleteBindingFails) {
  LogCapture log;
  // Well-formed datagrams whose last binding holds only a name (12
  // elements), or nothing (11 elements).
  const Bytes name_only = Seq({Oid({1, 3, 6, 1, 2, 1, 2, 2, 1, 1, 1})});
  const Bytes empty = Seq({});
  const std::pair<Bytes, size_t> cases[] = {{name_only, 12}, {empty, 11}};
  for (const auto& [binding, count] : cases) {
    const Bytes body = Cat({Oid({1, 3, 6, 1, 4, 1, 8072, 2, 3, 1}), Tlv(0x40, {10, 0, 0, 9}), Int(2), Int(17),
                            Tlv(0x43, {0x30, 0x39}), Tlv(0x30, binding)});
    CSnmpTrapIn trap;
    EXPECT_FALSE(DecodeInto(Seq({Int(0), Text("traps"), Tlv(ASN1_PDU_TRAP_V1, body)}), trap));
    EXPECT_EQ(trap.GetCount(), count);
    EXPECT_TRUE(log.Has(L"Bad10 number (" + std::to_wstring(count) + L") of ASN.1 objects in trap"));
    EXPECT_TRUE(trap.GetNames().size() == trap.GetValues().size());
  }
}

TEST(SnmpTrapIn, LayoutFollowsVersion) {
  LogCapture log;
  CSnmpTrapIn v1_layout;  // version 0 with a Trap V2 PDU: read as SNMPv1
  ASSERT_TRUE(DecodeInto(TrapV1(1, 0, ASN1_PDU_TRAP_V2), v1_layout));
  EXPECT_EQ(v1_layout.GetEnterprise()->GetText(), L"1.3.6.1.4.1.8072.2.3.1");
  EXPECT_EQ(v1_layout.GetNames().size(), 1u);

  CSnmpTrapIn v2_with_v1_shape;  // version 1 over the SNMPv1 layout does not fit in threes
  EXPECT_FALSE(DecodeInto(TrapV1(0, 1), v2_with_v1_shape));
  EXPECT_TRUE(log.Has(L"Bad10 number (10) of ASN.1 objects in trap"));

  CSnmpTrapIn v3;
  EXPECT_FALSE(DecodeInto(TrapV2(3), v3));
  EXPECT_TRUE(log.Has(L"Unknown trap version (3)"));

  CSnmpTrapIn response;
  EXPECT_FALSE(DecodeInto(Response(1, 1), response));
  EXPECT_TRUE(log.Has(L"Request identifier 162 is not correct in trap"));
}

TEST(SnmpTrapIn, GenericTrapNames) {
  const wchar_t* names[] = {L"coldStart",   L"warmStart",  L"linkDown", L"linkUp", L"authenticationFailure",
                            L"egpNeighborLoss", L"enterpriseSpecific"};
  for (uint64_t i = 0; i < 7; ++i) EXPECT_STREQ(CSnmpTrapIn::GenericTrapName(i), names[i]);
  EXPECT_STREQ(CSnmpTrapIn::GenericTrapName(7), L"unknownGeneric");
  EXPECT_STREQ(CSnmpTrapIn::GenericTrapName(~uint64_t{0}), L"unknownGeneric");  // -1 compared unsigned
}
