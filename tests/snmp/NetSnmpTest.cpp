// Conformance with Net-SNMP peers on loopback ports picked by the test.
#include "tests/common/NetSnmp.h"

#include "snmp/SnmpFrameOut.h"
#include "snmp/SnmpGenericFrameIn.h"
#include "snmp/SnmpResponseIn.h"
#include "snmp/SnmpTrapIn.h"
#include "tests/common/CodecHelpers.h"
#include "tests/common/LogCapture.h"
#include "tests/common/TempDir.h"
#include "tests/common/UdpSocket.h"

#include <gtest/gtest.h>

#include <fstream>
#include <tuple>

namespace {

constexpr int kReceiveMs = 5000;

// With TAVELO_CORPUS_DIR set, every datagram seen is kept there (fuzz seeds).
void KeepForCorpus(const std::string& name, const Bytes& data) {
  const char* folder = std::getenv("TAVELO_CORPUS_DIR");
  if (folder == nullptr || *folder == 0) return;
  std::ofstream(std::string(folder) + "/" + name, std::ios::binary)
      .write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

bool Decode(const Bytes& data, CSnmpFrameIn& frame) {
  CBerDecoder decoder;
  return decoder.Assign(data.data(), static_cast<uint32_t>(data.size())) && DecodeDatagram(decoder, frame);
}

// The tools read no MIB and no configuration of the machine's own.
const TempDir& ToolFolder() {
  static const TempDir folder;
  return folder;
}
[[maybe_unused]] const bool kToolEnvironment = [] {
  return ::setenv("MIBS", "", 1) == 0 && ::setenv("MIBDIRS", "/dev/null", 1) == 0 &&
         ::setenv("SNMPCONFPATH", "/dev/null", 1) == 0 &&
         ::setenv("SNMP_PERSISTENT_DIR", ToolFolder().str().c_str(), 1) == 0;
}();

// The datagram a tool sends to a socket of the test's own (left unanswered).
// `args`: program, version, community, then the rest after the target.
std::optional<Bytes> ToolRequest(const std::vector<std::string>& args) {
  TestUdpSocket socket;
  std::vector<std::string> argv = {args[0], args[1], "-c", args[2], "-t", "1", "-r", "0", "-m", "", socket.Target()};
  argv.insert(argv.end(), args.begin() + 3, args.end());
  const pid_t pid = netsnmp::Spawn(argv, "/dev/null", "/dev/null");
  if (pid <= 0) return std::nullopt;
  auto datagram = socket.Receive(kReceiveMs);
  ::kill(pid, SIGTERM);
  ::waitpid(pid, nullptr, 0);
  if (datagram) KeepForCorpus(args[0] + args[1], *datagram);
  return datagram;
}

}  // namespace

TEST(NetSnmpRequests, ToolRequestsDecode) {
  const std::tuple<std::vector<std::string>, uint8_t, uint8_t, const wchar_t*> cases[] = {
      {{"snmpget", "-v1", "public", "1.3.6.1.2.1.1.1.0"}, ASN1_PDU_GET_REQUEST, ASN1_NULL, L""},
      {{"snmpgetnext", "-v2c", "tavelo-ro", "1.3.6.1.2.1.2.2.1.10"}, ASN1_PDU_GET_NEXT_REQUEST, ASN1_NULL, L""},
      {{"snmpset", "-v1", "private", "1.3.6.1.2.1.1.4.0", "i", "-42"}, ASN1_PDU_SET_REQUEST, ASN1_INTEGER, L"-42"},
  };
  for (const auto& [args, pdu, code, text] : cases) {
    SCOPED_TRACE(args[0]);
    const auto datagram = ToolRequest(args);
    ASSERT_TRUE(datagram) << "the tool sent nothing";
    CSnmpGenericFrameIn frame;
    ASSERT_TRUE(Decode(*datagram, frame));
    EXPECT_TRUE(args[1] == "-v1" ? frame.IsVersion1() : frame.IsVersion2c());
    EXPECT_EQ(frame.GetCommunity()->GetText(), quillog::Utf8ToWide(args[2]));
    EXPECT_EQ(frame.GetPdu()->GetCode(), pdu);
    ASSERT_EQ(frame.GetCount(), 11u);
    EXPECT_EQ(frame.GetAt(9)->GetText(), quillog::Utf8ToWide(args[3]));
    EXPECT_EQ(frame.GetAt(10)->GetCode(), code);
    EXPECT_EQ(frame.GetAt(10)->GetText(), text);
  }
}

// Traps sent by snmptrap: every field and binding as snmptrap was told.
class NetSnmpTraps : public ::testing::Test {
 protected:
  void Receive(const char* version, const char* community, const std::vector<std::string>& rest) {
    std::vector<std::string> args = {"snmptrap", "-v", version, "-c", community, "-m", "", m_socket.Target()};
    args.insert(args.end(), rest.begin(), rest.end());
    std::string output;
    ASSERT_EQ(netsnmp::Run(args, &output), 0) << output;
    const auto datagram = m_socket.Receive(kReceiveMs);
    ASSERT_TRUE(datagram) << "snmptrap sent nothing";
    KeepForCorpus(std::string("snmptrap-v") + version, *datagram);
    LogCapture log;
    ASSERT_TRUE(Decode(*datagram, m_frame));
    EXPECT_TRUE(log.Records().empty());
    EXPECT_EQ(m_frame.GetCommunity()->GetText(), quillog::Utf8ToWide(community));
  }
  void ExpectBindings(const std::vector<std::tuple<const wchar_t*, uint8_t, const wchar_t*>>& bindings) {
    ASSERT_TRUE(m_frame.GetNames().size() == bindings.size() && m_frame.GetValues().size() == bindings.size());
    for (size_t i = 0; i < bindings.size(); ++i) {
      const auto& [name, code, text] = bindings[i];
      EXPECT_EQ(m_frame.GetNames()[i]->GetText(), name);
      EXPECT_EQ(m_frame.GetValues()[i]->GetCode(), code) << i;
      EXPECT_EQ(m_frame.GetValues()[i]->GetText(), text);
    }
  }
  TestUdpSocket m_socket;
  CSnmpTrapIn m_frame;
};

TEST_F(NetSnmpTraps, Version1) {
  Receive("1", "traps",
          {"1.3.6.1.4.1.8072.2.3.1", "10.20.30.40", "6", "17", "12345", "1.3.6.1.2.1.1.5.0", "s", "hello",
           "1.3.6.1.2.1.2.2.1.1.1", "i", "7"});
  EXPECT_TRUE(m_frame.IsVersion1());
  EXPECT_EQ(m_frame.GetPdu()->GetCode(), ASN1_PDU_TRAP_V1);
  EXPECT_EQ(m_frame.GetEnterprise()->GetText(), L"1.3.6.1.4.1.8072.2.3.1");
  EXPECT_EQ(m_frame.GetAgentAddress()->GetText(), L"10.20.30.40");
  EXPECT_STREQ(m_frame.GetGenericTrapName(), L"enterpriseSpecific");
  EXPECT_EQ(m_frame.GetSpecificTrap()->GetValue().GetInteger(), 17);
  EXPECT_EQ(m_frame.GetTimeStamp()->GetText(), L"12345");
  EXPECT_EQ(m_frame.GetRequestId(), nullptr);
  ExpectBindings({{L"1.3.6.1.2.1.1.5.0", ASN1_OCTET_STRING, L"hello"}, {L"1.3.6.1.2.1.2.2.1.1.1", ASN1_INTEGER, L"7"}});
}

TEST_F(NetSnmpTraps, Version2c) {
  Receive(
      "2c", "public",
      {"54321", "1.3.6.1.6.3.1.1.5.3", "1.3.6.1.2.1.2.2.1.1.1", "i", "1", "1.3.6.1.2.1.2.2.1.10.1", "c", "4294967295"});
  EXPECT_TRUE(m_frame.IsVersion2c());
  EXPECT_EQ(m_frame.GetPdu()->GetCode(), ASN1_PDU_TRAP_V2);
  EXPECT_EQ(m_frame.GetEnterprise(), nullptr);
  ExpectBindings({{L"1.3.6.1.2.1.1.3.0", ASN1_TIMETICKS, L"54321"},
                  {L"1.3.6.1.6.3.1.1.4.1.0", ASN1_OBJECT_IDENTIFIER, L"1.3.6.1.6.3.1.1.5.3"},
                  {L"1.3.6.1.2.1.2.2.1.1.1", ASN1_INTEGER, L"1"},
                  {L"1.3.6.1.2.1.2.2.1.10.1", ASN1_COUNTER32, L"4294967295"}});
}

// Our requests answered by a real snmpd (read community "tumbol").
using NetSnmpAgent = netsnmp::SuiteWithAgent<>;

TEST_F(NetSnmpAgent, GetAnswersDecodeWithTheirTypes) {
  const std::tuple<const wchar_t*, uint8_t, const wchar_t*> cases[] = {
      {L"1.3.6.1.2.1.1.1.0", ASN1_OCTET_STRING, L"Tavelo test agent"},
      {L"1.3.6.1.2.1.1.2.0", ASN1_OBJECT_IDENTIFIER, L"1.3.6.1.4.1.8072."},  // the start of the text
      {L"1.3.6.1.2.1.1.3.0", ASN1_TIMETICKS, L""},
      {L"1.3.6.1.2.1.2.2.1.10.1", ASN1_COUNTER32, L""},
      {L"1.3.6.1.2.1.2.1.0", ASN1_INTEGER, L""},
  };
  TestUdpSocket socket;
  int64_t id = 1000;
  for (int64_t version : {0, 1}) {
    for (const auto& [oid, code, starts] : cases) {
      SCOPED_TRACE(quillog::WideToUtf8(oid) + " v" + std::to_string(version));
      CSnmpGetRequestOut request;
      ASSERT_TRUE(request.SetInteger(L"Version", version, true) && request.SetText(L"Community", L"tumbol") &&
                  request.SetInteger(L"RequestId", ++id, true) && request.SetOid(CAsn1Oid(oid)));
      CBerEncoder encoder;
      ASSERT_TRUE(request.Encode(encoder));
      ASSERT_TRUE(socket.SendTo(m_agent->Port(), EncodedBytes(encoder)));
      const auto answer = socket.Receive(kReceiveMs);
      ASSERT_TRUE(answer) << "no answer";
      KeepForCorpus("snmpd-answer-" + std::to_string(id), *answer);
      CSnmpGetResponseIn frame;
      ASSERT_TRUE(Decode(*answer, frame));
      EXPECT_EQ(frame.GetRequestId()->GetValue().GetInteger(), id);
      EXPECT_EQ(frame.GetVersion()->GetValue().GetInteger(), version);
      EXPECT_STREQ(frame.GetErrorStatusName(), L"NoError");
      EXPECT_EQ(frame.GetName()->GetText(), oid);
      EXPECT_STREQ(GetTypeName(frame.GetValue()->GetCode()), GetTypeName(code));
      EXPECT_EQ(frame.GetValue()->GetText().rfind(starts, 0), 0u) << quillog::WideToUtf8(frame.GetValue()->GetText());
    }
  }
}
