// Conformance with Net-SNMP peers on loopback ports picked by the test.
#include "tests/common/NetSnmp.h"

#include "asn1/BerDecoder.h"
#include "asn1/BerEncoder.h"
#include "snmp/SnmpFrameOut.h"
#include "snmp/SnmpGenericFrameIn.h"
#include "snmp/SnmpResponseIn.h"
#include "snmp/SnmpTrapIn.h"
#include "tests/common/LogCapture.h"
#include "tests/common/TempDir.h"
#include "tests/common/UdpSocket.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <tuple>

namespace {

using Bytes = TestUdpSocket::Bytes;
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

Bytes Encoded(CSnmpBase& message) {
  CBerEncoder encoder;
  if (!message.Encode(encoder)) return {};
  return Bytes(encoder.GetData(), encoder.GetData() + encoder.GetUsedLength());
}

// The tools read no MIB and no configuration of the machine's own, and keep
// their files in a folder of the test's own.
const TempDir& ToolFolder() {
  static const TempDir folder;
  return folder;
}
class NetSnmpEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    ::setenv("MIBS", "", 1);
    ::setenv("MIBDIRS", "/dev/null", 1);
    ::setenv("SNMPCONFPATH", "/dev/null", 1);
    ::setenv("SNMP_PERSISTENT_DIR", ToolFolder().str().c_str(), 1);
  }
};
[[maybe_unused]] const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new NetSnmpEnvironment);

// A Net-SNMP tool run against the test's own socket: the datagram it sends,
// and what it prints once answered. `args`: program, version, community, then
// the rest after the target.
class ToolCapture {
 public:
  ToolCapture(const std::string& name, std::vector<std::string> args) : m_name(name) {
    ::close(::mkstemp(m_out.data()));
    m_args = {args[0], args[1], "-c", args[2], "-t", "1", "-r", "0", "-m", "", "-On", m_socket.Target()};
    m_args.insert(m_args.end(), args.begin() + 3, args.end());
  }
  ~ToolCapture() {
    if (m_pid > 0) {
      ::kill(m_pid, SIGTERM);
      ::waitpid(m_pid, nullptr, 0);
    }
    ::unlink(m_out.c_str());
  }

  std::optional<Bytes> Run() {
    m_pid = netsnmp::Spawn(m_args, m_out, "/dev/null");
    if (m_pid <= 0) return std::nullopt;
    auto datagram = m_socket.Receive(kReceiveMs, &m_tool);
    if (datagram) KeepForCorpus(m_name, *datagram);
    return datagram;
  }
  // Answers the tool and returns what it printed.
  std::string Answer(const Bytes& data) {
    m_socket.SendTo(m_tool, data);
    ::waitpid(m_pid, nullptr, 0);  // the tool's own time-out bounds the wait
    m_pid = -1;
    return netsnmp::ReadAll(m_out);
  }

 private:
  std::string m_name;
  std::string m_out = "/tmp/tavelo-tool-XXXXXX";
  std::vector<std::string> m_args;
  TestUdpSocket m_socket;
  sockaddr_in m_tool{};
  pid_t m_pid = -1;
};

}  // namespace

// Requests sent by snmpget, snmpgetnext and snmpset, decoded by us (TimeTicks,
// IpAddress and OID values come from snmptrap below).
TEST(NetSnmpRequests, ToolRequestsDecode) {
  struct Case {
    std::vector<std::string> args;
    uint8_t pdu;
    uint8_t code;
    const wchar_t* text;
  };
  const std::string contact = "1.3.6.1.2.1.1.4.0";
  const Case cases[] = {
      {{"snmpget", "-v1", "public", "1.3.6.1.2.1.1.1.0"}, ASN1_PDU_GET_REQUEST, ASN1_NULL, L""},
      {{"snmpgetnext", "-v2c", "tavelo-ro", "1.3.6.1.2.1.2.2.1.10"}, ASN1_PDU_GET_NEXT_REQUEST, ASN1_NULL, L""},
      {{"snmpset", "-v1", "private", contact, "s", "hello"}, ASN1_PDU_SET_REQUEST, ASN1_OCTET_STRING, L"hello"},
      {{"snmpset", "-v1", "private", contact, "i", "-42"}, ASN1_PDU_SET_REQUEST, ASN1_INTEGER, L"-42"},
      {{"snmpset", "-v1", "private", contact, "u", "4000000000"}, ASN1_PDU_SET_REQUEST, ASN1_GAUGE32, L"4000000000"},
      {{"snmpset", "-v1", "private", contact, "x", "0C29FF"}, ASN1_PDU_SET_REQUEST, ASN1_OCTET_STRING, L"0c:29:ff"},
  };
  for (const Case& c : cases) {
    const std::string name = c.args[0] + c.args[1] + (c.args.size() > 4 ? "-" + c.args[4] : "");
    SCOPED_TRACE(name);
    ToolCapture tool(name, c.args);
    const auto datagram = tool.Run();
    ASSERT_TRUE(datagram) << "the tool sent nothing";
    CSnmpGenericFrameIn frame;
    ASSERT_TRUE(Decode(*datagram, frame));
    EXPECT_EQ(frame.IsVersion1(), c.args[1] == "-v1");
    EXPECT_EQ(frame.IsVersion2c(), c.args[1] == "-v2c");
    EXPECT_EQ(frame.GetCommunity()->GetText(), quillog::Utf8ToWide(c.args[2]));
    EXPECT_EQ(frame.GetPdu()->GetCode(), c.pdu);
    ASSERT_EQ(frame.GetCount(), 11u);
    EXPECT_EQ(frame.GetAt(9)->GetText(), quillog::Utf8ToWide(c.args[3]));
    EXPECT_EQ(frame.GetAt(10)->GetCode(), c.code);
    EXPECT_EQ(frame.GetAt(10)->GetText(), c.text);
  }
}

// Our Response, answering snmpget's own request, read back by snmpget.
TEST(NetSnmpRequests, SnmpGetReadsOurResponses) {
  const std::tuple<uint8_t, const wchar_t*, const char*> cases[] = {
      {ASN1_OCTET_STRING, L"Tavelo", "STRING: \"Tavelo\""},
      // One octet per character: U+00E9 goes out as the octet E9.
      {ASN1_OCTET_STRING, L"Tavelo \u00e9t\u00e9", "Hex-STRING: 54 61 76 65 6C 6F 20 E9 74 E9"},
      {ASN1_INTEGER, L"-5", "INTEGER: -5"},
      {ASN1_COUNTER32, L"4294967295", "Counter32: 4294967295"},
      {ASN1_GAUGE32, L"3000000000", "Gauge32: 3000000000"},
      {ASN1_TIMETICKS, L"360000", "Timeticks: (360000) 1:00:00.00"},
      {ASN1_COUNTER64, L"18446744073709551615", "Counter64: 18446744073709551615"},
      {ASN1_IP_ADDRESS, L"192.168.1.10", "IpAddress: 192.168.1.10"},
      {ASN1_OBJECT_IDENTIFIER, L"1.3.6.1.4.1.8072.3.2.10", "OID: .1.3.6.1.4.1.8072.3.2.10"},
  };
  for (const auto& [code, text, printed] : cases) {
    SCOPED_TRACE(printed);
    ToolCapture tool("snmpget-v2c", {"snmpget", "-v2c", "public", "1.3.6.1.2.1.1.5.0"});
    const auto datagram = tool.Run();
    ASSERT_TRUE(datagram);
    CSnmpGenericFrameIn request;
    ASSERT_TRUE(Decode(*datagram, request));
    ASSERT_GE(request.GetCount(), 10u);
    CSnmpResponseOut response;
    ASSERT_TRUE(response.SetInteger(L"Version", 1, true) && response.SetText(L"Community", L"public") &&
                response.SetInteger(L"RequestId", request.GetAt(4)->GetValue().GetInteger(), true) &&
                response.SetOid(request.GetAt(9)->GetValue().GetOid()) && response.SetValue(code, text));
    const std::string output = tool.Answer(Encoded(response));
    EXPECT_NE(output.find(".1.3.6.1.2.1.1.5.0 = " + std::string(printed)), std::string::npos) << output;
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
    sockaddr_in from{};
    const auto datagram = m_socket.Receive(kReceiveMs, &from);
    ASSERT_TRUE(datagram) << "snmptrap sent nothing";
    KeepForCorpus(std::string("snmptrap-v") + version, *datagram);
    LogCapture log;
    ASSERT_TRUE(Decode(*datagram, m_frame));
    EXPECT_TRUE(log.Records().empty());
    EXPECT_EQ(m_frame.GetCommunity()->GetText(), quillog::Utf8ToWide(community));
  }
  void ExpectBindings(const std::vector<std::tuple<const wchar_t*, uint8_t, const wchar_t*>>& bindings) {
    ASSERT_EQ(m_frame.GetNames().size(), bindings.size());
    ASSERT_EQ(m_frame.GetValues().size(), bindings.size());
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
  EXPECT_EQ(m_frame.GetAgentAddress()->GetCode(), ASN1_IP_ADDRESS);
  EXPECT_EQ(m_frame.GetAgentAddress()->GetText(), L"10.20.30.40");
  EXPECT_STREQ(m_frame.GetGenericTrapName(), L"enterpriseSpecific");
  EXPECT_EQ(m_frame.GetSpecificTrap()->GetValue().GetInteger(), 17);
  EXPECT_EQ(m_frame.GetTimeStamp()->GetCode(), ASN1_TIMETICKS);
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
  EXPECT_EQ(m_frame.GetRequestId()->GetCode(), ASN1_INTEGER);
  EXPECT_EQ(m_frame.GetEnterprise(), nullptr);
  EXPECT_EQ(m_frame.GetErrorStatus()->GetValue().GetInteger(), 0);
  EXPECT_EQ(m_frame.GetErrorIndex()->GetValue().GetInteger(), 0);
  ExpectBindings({{L"1.3.6.1.2.1.1.3.0", ASN1_TIMETICKS, L"54321"},
                  {L"1.3.6.1.6.3.1.1.4.1.0", ASN1_OBJECT_IDENTIFIER, L"1.3.6.1.6.3.1.1.5.3"},
                  {L"1.3.6.1.2.1.2.2.1.1.1", ASN1_INTEGER, L"1"},
                  {L"1.3.6.1.2.1.2.2.1.10.1", ASN1_COUNTER32, L"4294967295"}});
}

// Our requests answered by a real snmpd (read community "tumbol", write
// community "quinsar", the system and interfaces groups in view).
class NetSnmpAgent : public netsnmp::SuiteWithAgent<> {
 protected:
  static void TearDownTestSuite() {
    SuiteWithAgent::TearDownTestSuite();
    ::setenv("SNMP_PERSISTENT_DIR", ToolFolder().str().c_str(), 1);  // the agent set its own
  }
  // Sends one request and decodes the answer into the frame.
  template <typename Request>
  bool Ask(int64_t version, const std::wstring& community, const wchar_t* oid, CSnmpResponseIn* frame,
           const wchar_t* set_text = nullptr) {
    Request request;
    const int64_t id = ++m_request_id;
    if (!request.SetInteger(L"Version", version, true) || !request.SetText(L"Community", community) ||
        !request.SetInteger(L"RequestId", id, true) || !request.SetOid(CAsn1Oid(oid)) ||
        (set_text != nullptr && !request.SetText(L"Value", set_text)) ||
        !m_socket.SendTo(m_agent->Port(), Encoded(request))) {
      return false;
    }
    while (const auto answer = m_socket.Receive(kReceiveMs)) {
      KeepForCorpus("snmpd-answer-" + std::to_string(id), *answer);
      if (!Decode(*answer, *frame)) return false;
      if (frame->GetRequestId()->GetValue().GetInteger() == id) return true;  // skip late answers
    }
    return false;
  }

  TestUdpSocket m_socket;
  int64_t m_request_id = 1000;
};

TEST_F(NetSnmpAgent, GetAnswersDecodeWithTheirTypes) {
  const std::tuple<const wchar_t*, uint8_t, const wchar_t*> cases[] = {
      {L"1.3.6.1.2.1.1.1.0", ASN1_OCTET_STRING, L"Tavelo test agent"},
      {L"1.3.6.1.2.1.1.2.0", ASN1_OBJECT_IDENTIFIER, L"1.3.6.1.4.1.8072."},  // the start of the text
      {L"1.3.6.1.2.1.1.3.0", ASN1_TIMETICKS, L""},
      {L"1.3.6.1.2.1.2.2.1.10.1", ASN1_COUNTER32, L""},
      {L"1.3.6.1.2.1.2.1.0", ASN1_INTEGER, L""},
  };
  for (int64_t version : {0, 1}) {
    for (const auto& [oid, code, starts] : cases) {
      SCOPED_TRACE(quillog::WideToUtf8(oid) + " v" + std::to_string(version));
      CSnmpGetResponseIn frame;
      ASSERT_TRUE(Ask<CSnmpGetRequestOut>(version, L"tumbol", oid, &frame));
      EXPECT_EQ(frame.GetVersion()->GetValue().GetInteger(), version);
      EXPECT_EQ(frame.GetCommunity()->GetText(), L"tumbol");
      EXPECT_STREQ(frame.GetErrorStatusName(), L"NoError");
      EXPECT_EQ(frame.GetName()->GetText(), oid);
      EXPECT_STREQ(GetTypeName(frame.GetValue()->GetCode()), GetTypeName(code));
      EXPECT_EQ(frame.GetValue()->GetText().rfind(starts, 0), 0u) << quillog::WideToUtf8(frame.GetValue()->GetText());
    }
  }
}

TEST_F(NetSnmpAgent, GetNextWalksIntoTheView) {
  CSnmpGetNextResponseIn first, next;
  ASSERT_TRUE(Ask<CSnmpGetNextRequestOut>(1, L"tumbol", L"1.3.6.1.2.1.1", &first));
  EXPECT_EQ(first.GetName()->GetText(), L"1.3.6.1.2.1.1.1.0");
  EXPECT_EQ(first.GetValue()->GetText(), L"Tavelo test agent");  // the whole text, nothing after it
  ASSERT_TRUE(Ask<CSnmpGetNextRequestOut>(1, L"tumbol", L"1.3.6.1.2.1.1.1.0", &next));
  EXPECT_EQ(next.GetName()->GetText(), L"1.3.6.1.2.1.1.2.0");
}

TEST_F(NetSnmpAgent, SetThenGet) {
  CSnmpSetResponseIn set, refused;
  ASSERT_TRUE(Ask<CSnmpSetRequestOut>(1, L"quinsar", L"1.3.6.1.2.1.1.4.0", &set, L"tavelo@loopback"));
  EXPECT_STREQ(set.GetErrorStatusName(), L"NoError");
  EXPECT_EQ(set.GetValue()->GetText(), L"tavelo@loopback");
  CSnmpGetResponseIn get;
  ASSERT_TRUE(Ask<CSnmpGetRequestOut>(0, L"tumbol", L"1.3.6.1.2.1.1.4.0", &get));
  EXPECT_EQ(get.GetValue()->GetText(), L"tavelo@loopback");
  // A read-only community cannot set.
  ASSERT_TRUE(Ask<CSnmpSetRequestOut>(1, L"tumbol", L"1.3.6.1.2.1.1.4.0", &refused, L"x"));
  EXPECT_STRNE(refused.GetErrorStatusName(), L"NoError");
}

TEST_F(NetSnmpAgent, OutsideTheView) {
  CSnmpGetResponseIn v2, v1;
  ASSERT_TRUE(Ask<CSnmpGetRequestOut>(1, L"tumbol", L"1.3.6.1.2.1.4.1.0", &v2));
  EXPECT_STREQ(GetTypeName(v2.GetValue()->GetCode()), L"No Such Object");
  ASSERT_TRUE(Ask<CSnmpGetRequestOut>(0, L"tumbol", L"1.3.6.1.2.1.4.1.0", &v1));
  EXPECT_STREQ(v1.GetErrorStatusName(), L"NoSuchName");
  EXPECT_EQ(v1.GetErrorIndex()->GetValue().GetInteger(), 1);
}
