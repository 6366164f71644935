#include "asn1/BerDecoder.h"
#include "snmp/SnmpGenericFrameIn.h"
#include "snmp/SnmpGetBulkResponseIn.h"
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

// sysServices.0 = 72, then sysORLastChange.0 = 73.
Bytes Response(uint8_t version, int bindings, uint8_t pdu = ASN1_PDU_RESPONSE) {
  std::vector<std::pair<Bytes, Bytes>> list;
  for (uint64_t i = 0; i < static_cast<uint64_t>(bindings); ++i) {
    list.push_back({Oid({1, 3, 6, 1, 2, 1, 1, 7 + i, 0}), Int(static_cast<int64_t>(72 + i))});
  }
  return Message(version, "public", pdu, Int(1234), list);
}

// Enterprise 1.3.6.1.4.1.8072.2.3.1, agent 10.0.0.9, linkDown, specific 17,
// time stamp 12345, then the binding list's content.
Bytes TrapV1(const Bytes& bindings, uint8_t version = 0, uint8_t pdu = ASN1_PDU_TRAP_V1) {
  const Bytes body = Cat({Oid({1, 3, 6, 1, 4, 1, 8072, 2, 3, 1}), Tlv(0x40, {10, 0, 0, 9}), Int(2), Int(17),
                          Tlv(0x43, {0x30, 0x39}), Tlv(0x30, bindings)});
  return Seq({Int(version), Text("traps"), Tlv(pdu, body)});
}
const Bytes kIfIndex = Oid({1, 3, 6, 1, 2, 1, 2, 2, 1, 1, 1});

}  // namespace

TEST(SnmpResponseIn, FirstOfTwoBindings) {
  LogCapture log;
  CSnmpGetResponseIn frame;
  ASSERT_TRUE(DecodeInto(Response(1, 2), frame));
  EXPECT_EQ(frame.GetCount(), 14u);
  EXPECT_EQ(frame.GetRequestId()->GetValue().GetInteger(), 1234);
  EXPECT_EQ(frame.GetName()->GetText(), L"1.3.6.1.2.1.1.7.0");
  EXPECT_EQ(frame.GetValue()->GetText(), L"72");
  EXPECT_TRUE(log.Records().empty());
}

// A bulk answer: every binding in order, or none; a binding that is not
// SEQUENCE { OID, value } refuses the whole answer.
TEST(SnmpGetBulkResponseIn, EveryBindingOrNone) {
  struct Case {
    const char* name;
    Bytes bytes;
    size_t bindings;
    const wchar_t* refusal;  // null: decodes
  };
  const Case cases[] = {
      {"three", Response(1, 3), 3, nullptr},
      {"none", Response(1, 0), 0, nullptr},
      {"a name that is not an OID", Message(1, "public", ASN1_PDU_RESPONSE, Int(1), {{Int(5), Int(6)}}), 0,
       L"Bad variable binding at ASN.1 object 9 of 11 in GetBulkResponse"},
      {"a binding with a name only",
       Seq({Int(1), Text("public"), Tlv(ASN1_PDU_RESPONSE, Cat({Int(1), Int(0), Int(0), Seq({Seq({kIfIndex})})}))}), 0,
       L"Bad variable binding at ASN.1 object 9 of 10 in GetBulkResponse"},
      {"a GetRequest", Response(1, 2, ASN1_PDU_GET_REQUEST), 0,
       L"Request identifier 160 is not correct in GetBulkResponse"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LogCapture log;
    CSnmpGetBulkResponseIn frame;
    EXPECT_EQ(DecodeInto(c.bytes, frame), c.refusal == nullptr);
    ASSERT_EQ(frame.GetNames().size(), c.bindings);
    ASSERT_EQ(frame.GetValues().size(), c.bindings);
    if (c.refusal != nullptr) {
      EXPECT_TRUE(log.Has(c.refusal));
      continue;
    }
    for (size_t i = 0; i < c.bindings; ++i) {
      EXPECT_EQ(frame.GetNames()[i]->GetText(), L"1.3.6.1.2.1.1." + std::to_wstring(7 + i) + L".0");
      EXPECT_EQ(frame.GetValues()[i]->GetValue().GetInteger(), static_cast<int64_t>(72 + i));
    }
    EXPECT_EQ(frame.GetName(), c.bindings == 0 ? nullptr : frame.GetNames()[0]);
  }
}

// Only a whole InformRequest is acknowledged.
TEST(SnmpInformAck, RefusesWhatIsNotAnInform) {
  const Bytes inform = Message(1, "public", ASN1_PDU_INFORM, Int(3), {{kIfIndex, Int(1)}});
  Bytes ack;
  ASSERT_TRUE(BuildInformAck(inform.data(), inform.size(), &ack));
  Bytes expected = inform;
  expected[13] = ASN1_PDU_RESPONSE;  // 30 len, 02 01 01, 04 06 "public", then the PDU
  EXPECT_EQ(ack, expected);
  Bytes padded = inform;
  padded.push_back(0);
  const Bytes cut(inform.begin(), inform.end() - 1);
  const auto inform_of = [](const Bytes& pdu_content, const Bytes& after_pdu = {}) {
    return Seq({Int(1), Text("public"), Tlv(ASN1_PDU_INFORM, pdu_content), after_pdu});
  };
  const Bytes list = Seq({Seq({kIfIndex, Int(1)})});
  const Bytes status_not_integer = inform_of(Cat({Int(3), Text("x"), Int(0), list}));
  // An element after the binding list, or after the PDU.
  const Bytes pdu_padded = inform_of(Cat({Int(3), Int(0), Int(0), list, Int(0)}));
  const Bytes message_padded = inform_of(Cat({Int(3), Int(0), Int(0), list}), Int(0));
  for (const Bytes& bad :
       {Response(1, 1), TrapV1({}), padded, cut, status_not_integer, pdu_padded, message_padded, Bytes{}}) {
    LogCapture log;
    EXPECT_FALSE(BuildInformAck(bad.data(), bad.size(), &ack));
    EXPECT_TRUE(log.HasContaining(L"BuildInformAck() ==> "));
  }
}

// A cut or padded datagram never yields a frame with missing or empty parts:
// it is refused whole (Warning) before its shape is checked (Error).
TEST(SnmpResponseIn, RefusedDatagrams) {
  const Bytes whole = Response(0, 2);
  Bytes padded = whole;
  padded.push_back(0x00);
  // The layout adds up, but a BOOLEAN of 2 bytes does not decode.
  const Bytes bad_boolean = Message(0, "public", ASN1_PDU_RESPONSE, Int(1), {{Oid({1, 3, 6, 1}), Tlv(0x01, {0, 1})}});
  const std::tuple<Bytes, int, const wchar_t*> cases[] = {
      {Bytes(whole.begin(), whole.end() - 2), QUILLOG_WARNING, L"The BER lengths do not add up: cut short"},
      {padded, QUILLOG_WARNING, L"The BER lengths do not add up: trailing bytes after the message"},
      {Cat({{0x30, 0x80}, Bytes(whole.begin() + 2, whole.end()), {0x00, 0x00}}), QUILLOG_WARNING,
       L"The BER lengths do not add up: indefinite length"},
      {bad_boolean, QUILLOG_WARNING, L"DecodeDatagram() ==> The element at byte"},
      {{0x02, 0x01, 0x05}, QUILLOG_ERROR, L"Bad(2) number (1) of ASN.1 objects in GetNextResponse"},
      {Seq({Int(0), Text("c")}), QUILLOG_ERROR, L"Bad(4) number (3) of ASN.1 objects in GetNextResponse"},
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
  EXPECT_FALSE(frame.IsGetRequest());
  EXPECT_TRUE(log.Has(L"Request Identifier is not yet set"));
  EXPECT_FALSE(frame.IsVersion2c());
  EXPECT_TRUE(log.Has(L"Version is not yet set"));
  EXPECT_STREQ(CSnmpGetResponseIn().GetErrorStatusName(), L"Bad ErrorStatus type");
  EXPECT_STREQ(CSnmpTrapIn().GetGenericTrapName(), L"unknownGeneric");
}

TEST(SnmpGenericFrameIn, AcceptsAnyVersionAndRequest) {
  CSnmpGenericFrameIn frame;
  ASSERT_TRUE(DecodeInto(Message(3, "private", ASN1_PDU_SET_REQUEST, Int(1), {{Oid({1, 3, 6, 1}), Int(5)}}), frame));
  EXPECT_TRUE(frame.IsSetRequest());
  EXPECT_FALSE(frame.IsVersion1() || frame.IsVersion2c() || frame.IsGetRequest());
  EXPECT_EQ(frame.GetVersion()->GetValue().GetInteger(), 3);
  // A frame decoded again holds the new datagram only.
  ASSERT_TRUE(DecodeInto(Response(0, 1, ASN1_PDU_GET_NEXT_REQUEST), frame));
  EXPECT_EQ(frame.GetCount(), 11u);
  EXPECT_TRUE(frame.IsGetNextRequest() && frame.IsVersion1());
}

// Full traps are checked against snmptrap's own.
TEST(SnmpTrapIn, Shapes) {
  struct Case {
    const char* name;
    Bytes bytes;
    size_t elements;
    const wchar_t* refusal;  // null: decodes
  };
  const Case cases[] = {
      {"v1 without bindings", TrapV1({}), 10, nullptr},
      {"v1 layout under a v2 PDU", TrapV1(Seq({kIfIndex, Int(0)}), 0, ASN1_PDU_TRAP_V2), 13, nullptr},
      {"binding with a name only", TrapV1(Seq({kIfIndex})), 12, L"Bad10 number (12) of ASN.1 objects in trap"},
      {"empty binding", TrapV1(Seq({})), 11, L"Bad10 number (11) of ASN.1 objects in trap"},
      {"version 1 over the v1 layout", TrapV1({}, 1), 10, L"Bad10 number (10) of ASN.1 objects in trap"},
      {"version 3", Message(3, "public", ASN1_PDU_TRAP_V2, Int(99), {}), 8, L"Unknown trap version (3)"},
      {"a Response", Response(1, 1), 11, L"Request identifier 162 is not correct in trap"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LogCapture log;
    CSnmpTrapIn trap;
    EXPECT_EQ(DecodeInto(c.bytes, trap), c.refusal == nullptr);
    EXPECT_EQ(trap.GetCount(), c.elements);
    EXPECT_EQ(trap.GetNames().size(), trap.GetValues().size());
    if (c.refusal != nullptr) {
      EXPECT_TRUE(log.Has(c.refusal));
      continue;
    }
    EXPECT_TRUE(log.Records().empty());
    EXPECT_EQ(trap.GetNames().size(), (c.elements - 10) / 3);
    EXPECT_EQ(trap.GetAgentAddress()->GetValue().GetAddress(), 0x0A000009u);
    EXPECT_STREQ(trap.GetGenericTrapName(), L"linkDown");
    EXPECT_EQ(trap.GetRequestId(), nullptr);
  }
  EXPECT_STREQ(CSnmpTrapIn::GenericTrapName(7), L"unknownGeneric");
  EXPECT_STREQ(CSnmpTrapIn::GenericTrapName(~uint64_t{0}), L"unknownGeneric");
}
