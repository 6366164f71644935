#include "asn1/BerEncoder.h"
#include "snmp/SnmpFrameOut.h"
#include "snmp/SnmpGetBulkRequestOut.h"
#include "snmp/SnmpRequestBytes.h"
#include "tests/common/CodecHelpers.h"
#include "tests/common/LogCapture.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

const Bytes kGetRequest = {0x30, 0x20, 0x02, 0x01, 0x00, 0x04, 0x00, 0xA0, 0x19, 0x02, 0x01, 0x01,
                           0x02, 0x01, 0x00, 0x02, 0x01, 0x00, 0x30, 0x0E, 0x30, 0x0C, 0x06, 0x08,
                           0x2B, 0x06, 0x01, 0x02, 0x01, 0x01, 0x01, 0x00, 0x05, 0x00};

// Version 0, empty community, request id 1, sysDescr.0.
template <typename Message>
std::unique_ptr<Message> Request() {
  auto message = std::make_unique<Message>();
  EXPECT_TRUE(message->SetInteger(L"Version", 0, true) && message->SetText(L"Community", L"") &&
              message->SetInteger(L"RequestId", 1, true) && message->SetOid(CAsn1Oid(L"1.3.6.1.2.1.1.1.0")));
  return message;
}

// The whole message; empty when encoding fails.
Bytes Encoded(CSnmpBase& message) {
  CBerEncoder encoder;
  return message.Encode(encoder) ? EncodedBytes(encoder) : Bytes{};
}

}  // namespace

TEST(SnmpOut, RequestBytes) {
  EXPECT_EQ(Encoded(*Request<CSnmpGetRequestOut>()), kGetRequest);
  Bytes next = kGetRequest;
  next[7] = 0xA1;
  EXPECT_EQ(Encoded(*Request<CSnmpGetNextRequestOut>()), next);
  // A value of 3 octets: every enclosing length grows by 3.
  auto set = Request<CSnmpSetRequestOut>();
  ASSERT_TRUE(set->SetText(L"Value", L"abc"));
  Bytes expected = kGetRequest;
  expected[1] += 3;
  expected[7] = 0xA3;
  expected[8] += 3;
  expected[19] += 3;
  expected[21] += 3;
  expected.resize(expected.size() - 2);
  expected.insert(expected.end(), {0x04, 0x03, 0x61, 0x62, 0x63});
  EXPECT_EQ(Encoded(*set), expected);
  // GetBulk: non-repeaters and max-repetitions where the error fields are.
  auto bulk = Request<CSnmpGetBulkRequestOut>();
  ASSERT_TRUE(bulk->SetInteger(L"NonRepeaters", 2, true) && bulk->SetInteger(L"MaxRepetitions", 300, true));
  expected = kGetRequest;
  expected[1] += 1;
  expected[7] = 0xA5;
  expected[8] += 1;
  expected[14] = 0x02;
  expected.erase(expected.begin() + 15, expected.begin() + 18);
  expected.insert(expected.begin() + 15, {0x02, 0x02, 0x01, 0x2C});
  EXPECT_EQ(Encoded(*bulk), expected);
}

// The binding's value of a Response from each type's text; INTEGER reads the
// full signed range and saturates. (The unsigned types, strings, OIDs and
// addresses are read back by snmpget in NetSnmpTest.)
TEST(SnmpOut, ResponseSetValueEachType) {
  struct Case {
    uint8_t code;
    const wchar_t* text;
    Bytes element;
  };
  const Case cases[] = {
      {ASN1_INTEGER, L"42", {0x02, 0x01, 0x2A}},
      {ASN1_BOOLEAN, L"7", {0x01, 0x01, 0x01}},
      {ASN1_BOOLEAN, L"", {0x01, 0x01, 0x00}},
      {ASN1_NULL, L"x", {0x05, 0x00}},
      {ASN1_END_OF_MIB_VIEW, L"ignored", {0x82, 0x00}},
      {ASN1_TIMETICKS, L"  +300", {0x43, 0x02, 0x01, 0x2C}},
      {ASN1_INTEGER, L"-129abc", {0x02, 0x02, 0xFF, 0x7F}},
      {ASN1_INTEGER, L"-9223372036854775808", {0x02, 0x08, 0x80, 0, 0, 0, 0, 0, 0, 0}},
      {ASN1_INTEGER, L"99999999999999999999", {0x02, 0x08, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(quillog::WideToUtf8(std::wstring(GetTypeName(c.code)) + L" " + c.text));
    auto response = Request<CSnmpResponseOut>();
    ASSERT_TRUE(response->SetValue(c.code, c.text));
    const Bytes bytes = Encoded(*response);
    ASSERT_GT(bytes.size(), 32u);
    EXPECT_EQ(bytes[7], ASN1_PDU_RESPONSE);
    EXPECT_EQ(Bytes(bytes.begin() + 32, bytes.end()), c.element);  // after the 10-arc OID
  }
}

TEST(SnmpOut, ValuesTheEncoderRefuses) {
  LogCapture log;
  auto no_such = Request<CSnmpResponseOut>();
  EXPECT_FALSE(no_such->SetValue(ASN1_NO_SUCH_OBJECT, L"x"));
  EXPECT_TRUE(log.Has(L"Unknow type No Such Object"));
  const Bytes bytes = Encoded(*no_such);  // the code stays
  EXPECT_EQ(Bytes(bytes.end() - 2, bytes.end()), (Bytes{0x80, 0x00}));

  auto bits = Request<CSnmpResponseOut>();
  ASSERT_TRUE(bits->SetValue(ASN1_BIT_STRING, L"0101"));
  log.Clear();
  EXPECT_EQ(Encoded(*bits), Bytes{});
  EXPECT_EQ(log.Messages(),
            (std::vector<std::wstring>{L"CAsn1Value::Build() ==> Unknown type of ASN.1 object (Bit String)",
                                       L"CSnmpBase::Encode() ==> Unable to write ASN.1 Value"}));
  CSnmpGetRequestOut no_oid;
  EXPECT_EQ(Encoded(no_oid), Bytes{});

  CSnmpBase message;  // a SEQUENCE without its end marker
  message.Add(new CAsn1Object(ASN1_SEQUENCE, L"Sequence 1"));
  EXPECT_FALSE(message.Add(static_cast<CAsn1Object*>(nullptr)));
  log.Clear();
  EXPECT_EQ(Encoded(message), Bytes{});
  EXPECT_EQ(log.Messages(), (std::vector<std::wstring>{L"CBerEncoder::Pop() ==> Unable to pop because queue is empty",
                                                       L"CSnmpBase::Encode() ==> Unable to compute offset"}));
}

TEST(SnmpOut, ReadOnlyAndWritableElements) {
  LogCapture log;
  CSnmpGetRequestOut get;
  EXPECT_TRUE(get.SetInteger(L"Version", 1, true));
  EXPECT_FALSE(get.SetInteger(L"Version", 0, true));
  EXPECT_TRUE(log.Has(L"Value is a read-only value and cannot be modified"));
  EXPECT_EQ(get.Find(L"Version")->GetText(), L"1");
  EXPECT_FALSE(get.SetInteger(L"ErrorStatus", 5, false));
  EXPECT_FALSE(get.SetText(L"NoSuchElement", L"x"));
  EXPECT_FALSE(CSnmpSetRequestOut().SetValue(ASN1_INTEGER, L"1"));  // no element named "Null"

  CSnmpResponseOut response;
  EXPECT_TRUE(response.SetInteger(L"ErrorStatus", 2, false));
  EXPECT_TRUE(response.SetInteger(L"ErrorStatus", 5, false));
  EXPECT_EQ(response.Find(L"ErrorStatus")->GetText(), L"5");
}

// 2048 bytes go out; one more is refused at the buffer's start.
TEST(SnmpOut, MessagesUpTo2048Bytes) {
  LogCapture log;
  auto fits = Request<CSnmpSetRequestOut>();
  ASSERT_TRUE(fits->SetText(L"Value", std::wstring(2048 - 44, L'z')));
  EXPECT_EQ(Encoded(*fits).size(), 2048u);
  EXPECT_TRUE(log.Records().empty());
  auto over = Request<CSnmpSetRequestOut>();
  ASSERT_TRUE(over->SetText(L"Value", std::wstring(2048 - 43, L'z')));
  EXPECT_EQ(Encoded(*over), Bytes{});
  EXPECT_TRUE(log.HasContaining(L"CBerBuffer::CheckPointer() ==> current < begin"));
}

// NoError and NoSuchName come back from snmpd in NetSnmpTest.
TEST(SnmpOut, ErrorStatusNames) {
  const std::pair<int64_t, const wchar_t*> cases[] = {
      {18, L"InconsistentName"}, {19, L"Unknown ErrorStatus"}, {-1, L"Unknown ErrorStatus"}};
  for (const auto& [code, name] : cases) {
    CAsn1Object status(ASN1_INTEGER);
    ASSERT_TRUE(status.GetValue().SetInteger(code, false));
    EXPECT_STREQ(CSnmpBase::GetErrorStatusName(status), name) << code;
  }
  EXPECT_STREQ(CSnmpBase::GetErrorStatusName(CAsn1Object(ASN1_OCTET_STRING)), L"Bad ErrorStatus type");
}

// The request written straight from its fields is byte for byte the one the
// frame classes encode, and is refused where they refuse it.
TEST(SnmpOut, RequestBytesFromFieldsMatchTheFrames) {
  const CAsn1Oid long_oid = [] {
    std::vector<uint64_t> arcs{1, 3, 6};
    for (uint64_t i = 0; i < 60; ++i) arcs.push_back(i * 40503);  // over 127 content bytes
    return CAsn1Oid(std::move(arcs));
  }();
  const CAsn1Oid oids[] = {CAsn1Oid(L"1.3.6.1.2.1.1.1.0"), CAsn1Oid{0, 0}, CAsn1Oid{2, 39, 127, 128, 16383, 16384},
                           CAsn1Oid{1, 3, 18446744073709551615ull}, long_oid};
  const std::wstring communities[] = {L"", L"public", std::wstring(200, L'c'), std::wstring{L'\u00e9', L'\u0142'}};
  const int32_t ids[] = {0, 1, 127, 128, -1, -129, 2147483647, -2147483647 - 1};
  const int64_t repetitions[] = {-1, 0, 25, 255, 2147483647};  // -1: a GetNext
  for (const CAsn1Oid& oid : oids) {
    for (const std::wstring& community : communities) {
      for (const int32_t id : ids) {
        for (const int64_t reps : repetitions) {
          SCOPED_TRACE(quillog::WideToUtf8(oid.GetText() + L" id " + std::to_wstring(id) + L" repetitions " +
                                           std::to_wstring(reps)));
          std::unique_ptr<CSnmpFrameOut> frame;
          if (reps < 0) {
            frame = std::make_unique<CSnmpGetNextRequestOut>();
          } else {
            frame = std::make_unique<CSnmpGetBulkRequestOut>();
            ASSERT_TRUE(frame->SetInteger(L"NonRepeaters", 0, true) &&
                        frame->SetInteger(L"MaxRepetitions", reps, true));
          }
          const int64_t version = reps < 0 ? id & 1 : 1;
          ASSERT_TRUE(frame->SetInteger(L"Version", version, true) && frame->SetText(L"Community", community) &&
                      frame->SetInteger(L"RequestId", id, true) && frame->SetOid(oid));
          SnmpRequestFields fields;
          fields.pdu_code = reps < 0 ? ASN1_PDU_GET_NEXT_REQUEST : ASN1_PDU_GET_BULK_REQUEST;
          fields.version = version;
          fields.community = community;
          fields.request_id = id;
          fields.error_index = reps < 0 ? 0 : reps;
          CSnmpRequestBytes bytes;
          ASSERT_TRUE(bytes.Write(fields, oid));
          EXPECT_EQ(Bytes(bytes.GetData(), bytes.GetData() + bytes.GetLength()), Encoded(*frame));
        }
      }
    }
  }
}

TEST(SnmpOut, RequestBytesRefusedWhereTheFramesRefuse) {
  LogCapture log;
  SnmpRequestFields fields;
  fields.pdu_code = ASN1_PDU_GET_NEXT_REQUEST;
  fields.community = L"public";
  CSnmpRequestBytes bytes;
  for (const CAsn1Oid& bad : {CAsn1Oid{}, CAsn1Oid{1}, CAsn1Oid{3, 1}, CAsn1Oid{1, 40, 1}})
    EXPECT_FALSE(bytes.Write(fields, bad)) << quillog::WideToUtf8(bad.GetText());
  // OIDs up to the largest that fits in 2048 bytes, and one arc more.
  auto frame_bytes = [](const CAsn1Oid& oid) {
    CSnmpGetNextRequestOut frame;
    EXPECT_TRUE(frame.SetInteger(L"Version", 0, true) && frame.SetText(L"Community", L"public") &&
                frame.SetInteger(L"RequestId", 0, true) && frame.SetOid(oid));
    return Encoded(frame);
  };
  std::vector<uint64_t> arcs{1, 3};
  while (true) {
    arcs.push_back(1);
    const Bytes encoded = frame_bytes(CAsn1Oid(arcs));
    const bool written = bytes.Write(fields, CAsn1Oid(arcs));
    ASSERT_EQ(written, !encoded.empty()) << arcs.size() << " arcs";
    if (!written) break;
    EXPECT_EQ(Bytes(bytes.GetData(), bytes.GetData() + bytes.GetLength()), encoded);
  }
  EXPECT_GT(arcs.size(), 2000u);
  // A failed write leaves nothing of itself: the next message is whole.
  ASSERT_TRUE(bytes.Write(fields, CAsn1Oid{1, 3}));
  EXPECT_EQ(Bytes(bytes.GetData(), bytes.GetData() + bytes.GetLength()), frame_bytes(CAsn1Oid{1, 3}));
}
