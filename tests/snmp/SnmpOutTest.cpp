#include "asn1/BerEncoder.h"
#include "quillog/QuillogFormat.h"
#include "snmp/SnmpFrameOut.h"
#include "snmp/SnmpGetBulkRequestOut.h"
#include "snmp/SnmpRequestBytes.h"
#include "tests/common/CodecHelpers.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

const Bytes kGetRequest = {0x30, 0x20, 0x02, 0x01, 0x00, 0x04, 0x00, 0xA0, 0x19, 0x02, 0x01, 0x01,
                           0x02, 0x01, 0x00, 0x02, 0x01, 0x00, 0x30, 0x0E, 0x30, 0x0C, 0x06, 0x08,
                           0x2B, 0x06, 0x01, 0x02, 0x01, 0x01, 0x01, 0x00, 0x05, 0x00};

// Version 0, empty community, request id 1, sysDescr.0.
template <typename Message>
std::unique_ptr<Message> Request(const CAsn1Oid& oid = CAsn1Oid(L"1.3.6.1.2.1.1.1.0"),
                                 const std::wstring& community = L"", int64_t id = 1, int64_t version = 0) {
  auto message = std::make_unique<Message>();
  const bool set = message->SetInteger(L"Version", version, true) && message->SetText(L"Community", community) &&
                   message->SetInteger(L"RequestId", id, true);
  EXPECT_TRUE(set);
  message->SetOid(oid);  // a refused OID leaves nothing to encode
  return message;
}

// The whole message; empty when encoding fails.
Bytes Encoded(CSnmpBase& message) {
  CBerEncoder encoder;
  return message.Encode(encoder) ? EncodedBytes(encoder) : Bytes{};
}

}  // namespace

TEST(SnmpOut, RequestBytes) { EXPECT_EQ(Encoded(*Request<CSnmpGetRequestOut>()), kGetRequest); }

// A Response's value from its text: INTEGER reads the full signed range and
// saturates. An empty OID is never encoded.
TEST(SnmpOut, ResponseSetValue) {
  const std::tuple<uint8_t, const wchar_t*, Bytes> cases[] = {
      {ASN1_INTEGER, L"-129abc", {0x02, 0x02, 0xFF, 0x7F}},
      {ASN1_INTEGER, L"-9223372036854775808", {0x02, 0x08, 0x80, 0, 0, 0, 0, 0, 0, 0}},
      {ASN1_INTEGER, L"99999999999999999999", {0x02, 0x08, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
  };
  for (const auto& [code, text, element] : cases) {
    SCOPED_TRACE(quillog::WideToUtf8(text));
    auto response = Request<CSnmpResponseOut>();
    ASSERT_TRUE(response->SetValue(code, text));
    const Bytes bytes = Encoded(*response);
    ASSERT_GT(bytes.size(), 32u);
    EXPECT_EQ(Bytes(bytes.begin() + 32, bytes.end()), element);  // after the 10-arc OID
  }
  CSnmpGetRequestOut no_oid;
  EXPECT_EQ(Encoded(no_oid), Bytes{});
}

// The request written straight from its fields is byte for byte the one the
// frame classes encode (lengths and integers at their form boundaries), and
// is refused where they refuse it.
TEST(SnmpOut, RequestBytesMatchTheFrames) {
  CSnmpRequestBytes bytes;
  const auto write = [&bytes](const std::wstring& community, int32_t id, int64_t reps, const CAsn1Oid& oid) {
    const SnmpRequestFields fields{
        reps < 0 ? ASN1_PDU_GET_NEXT_REQUEST : ASN1_PDU_GET_BULK_REQUEST, 1, community, id, 0, reps < 0 ? 0 : reps};
    return bytes.Write(fields, oid) ? Bytes(bytes.GetData(), bytes.GetData() + bytes.GetLength()) : Bytes{};
  };
  const auto frame = [](const std::wstring& community, int32_t id, int64_t reps, const CAsn1Oid& oid) {
    if (reps < 0) return Encoded(*Request<CSnmpGetNextRequestOut>(oid, community, id, 1));
    auto bulk = Request<CSnmpGetBulkRequestOut>(oid, community, id, 1);
    EXPECT_TRUE(bulk->SetInteger(L"NonRepeaters", 0, true) && bulk->SetInteger(L"MaxRepetitions", reps, true));
    return Encoded(*bulk);
  };
  std::vector<uint64_t> arcs(200, 16383);  // content over 255 bytes
  arcs[0] = 2, arcs[1] = 39;
  const CAsn1Oid oids[] = {CAsn1Oid{0, 0}, CAsn1Oid{1, 3, 127, 128, 18446744073709551615ull}, CAsn1Oid(arcs)};
  for (const CAsn1Oid& oid : oids) {
    for (const std::wstring& community : {std::wstring(), std::wstring(200, L'c'), std::wstring{L'\u00e9'}}) {
      for (const int32_t id : {0, 127, 128, -129, 2147483647, -2147483647 - 1}) {
        for (const int64_t reps : {-1, 0, 255, 2147483647}) {  // -1: a GetNext
          EXPECT_EQ(write(community, id, reps, oid), frame(community, id, reps, oid))
              << id << " " << reps << " " << oid.GetArcs().size();
        }
      }
    }
  }
  for (const CAsn1Oid& bad : {CAsn1Oid{}, CAsn1Oid{1}, CAsn1Oid{3, 1}, CAsn1Oid{1, 40, 1}})
    EXPECT_EQ(write(L"", 1, -1, bad), Bytes{}) << quillog::WideToUtf8(bad.GetText());
  // OIDs up to the largest that fits in 2048 bytes, and one arc more.
  arcs.assign(2000, 1);
  ASSERT_NE(frame(L"", 1, -1, CAsn1Oid(arcs)), Bytes{});
  for (bool fits = true; fits; arcs.push_back(1)) {
    const Bytes encoded = frame(L"", 1, -1, CAsn1Oid(arcs));
    ASSERT_EQ(write(L"", 1, -1, CAsn1Oid(arcs)), encoded) << arcs.size() << " arcs";
    fits = !encoded.empty();
  }
  // A failed write leaves nothing of itself: the next message is whole.
  EXPECT_EQ(write(L"", 1, -1, CAsn1Oid{1, 3}), frame(L"", 1, -1, CAsn1Oid{1, 3}));
}
