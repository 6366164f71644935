// Conformance with Net-SNMP peers on loopback ports picked by the test.
#include "asn1/BerDecoder.h"
#include "asn1/BerEncoder.h"
#include "snmp/SnmpFrameOut.h"
#include "snmp/SnmpGenericFrameIn.h"
#include "snmp/SnmpResponseIn.h"
#include "snmp/SnmpTrapIn.h"
#include "tests/common/LogCapture.h"
#include "tests/common/NetSnmp.h"
#include "tests/common/UdpSocket.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

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
  if (!decoder.Assign(data.data(), static_cast<uint32_t>(data.size()))) return false;
  return DecodeDatagram(decoder, frame);
}

// A Net-SNMP tool run against the test's own socket: the datagram it sends,
// and what it prints once answered.
class ToolCapture {
 public:
  // The tool with -v `version` -c `community`, the socket as target, then `rest`.
  ToolCapture(const std::string& name, const char* program, const char* version, const char* community,
              const std::vector<std::string>& rest)
      : m_name(name) {
    ::close(::mkstemp(m_out.data()));
    m_args = {program, version, "-c", community, "-t", "1", "-r", "0", "-m", "", "-On", m_socket.Target()};
    m_args.insert(m_args.end(), rest.begin(), rest.end());
  }
  ~ToolCapture() {
    if (m_pid > 0) {
      ::kill(m_pid, SIGTERM);
      ::waitpid(m_pid, nullptr, 0);
    }
    ::unlink(m_out.c_str());
  }

  bool Run(Bytes* datagram) {
    m_pid = netsnmp::Spawn(m_args, m_out, "/dev/null");
    if (m_pid <= 0) return false;
    const auto received = m_socket.Receive(kReceiveMs, &m_tool);
    if (!received) return false;
    *datagram = *received;
    KeepForCorpus(m_name, *datagram);
    return true;
  }
  // Answers the tool and returns what it printed.
  std::string Answer(const uint8_t* data, size_t length) {
    m_socket.SendTo(m_tool, Bytes(data, data + length));
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

// The tools read no MIB and no configuration of the machine's own, and keep
// their files in a folder of the test's own.
class NetSnmpEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    ::setenv("MIBS", "", 1);
    ::setenv("MIBDIRS", "/dev/null", 1);
    ::setenv("SNMPCONFPATH", "/dev/null", 1);
    ::setenv("SNMP_PERSISTENT_DIR", Folder().c_str(), 1);
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(Folder(), ec);
  }
  static const std::string& Folder() {
    static const std::string folder = [] {
      char pattern[] = "/tmp/tavelo-netsnmp-XXXXXX";
      return std::string(::mkdtemp(pattern));
    }();
    return folder;
  }
};
[[maybe_unused]] const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new NetSnmpEnvironment);

}  // namespace

// ---- Requests sent by snmpget, snmpgetnext and snmpset

TEST(NetSnmpRequests, SnmpGetAndGetNext) {
  struct Case {
    const char* name;
    const char* program;
    const char* version;
    const char* community;
    const char* oid;
  };
  const Case cases[] = {
      {"snmpget-v1", "snmpget", "-v1", "public", "1.3.6.1.2.1.1.1.0"},
      {"snmpgetnext-v2c", "snmpgetnext", "-v2c", "tavelo-ro", "1.3.6.1.2.1.2.2.1.10"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ToolCapture tool(c.name, c.program, c.version, c.community, {c.oid});
    Bytes datagram;
    ASSERT_TRUE(tool.Run(&datagram)) << "the tool sent nothing";
    CSnmpGenericFrameIn frame;
    ASSERT_TRUE(Decode(datagram, frame));
    const bool v1 = std::string(c.version) == "-v1";
    EXPECT_EQ(frame.IsVersion1(), v1);
    EXPECT_EQ(frame.IsVersion2c(), !v1);
    EXPECT_EQ(frame.GetCommunity()->GetText(), quillog::Utf8ToWide(c.community));
    EXPECT_EQ(frame.IsGetRequest(), v1);
    EXPECT_EQ(frame.IsGetNextRequest(), !v1);
    ASSERT_EQ(frame.GetCount(), 11u);
    EXPECT_EQ(frame.GetAt(9)->GetCode(), ASN1_OBJECT_IDENTIFIER);
    EXPECT_EQ(frame.GetAt(9)->GetText(), quillog::Utf8ToWide(c.oid));
    EXPECT_EQ(frame.GetAt(10)->GetCode(), ASN1_NULL);
    EXPECT_EQ(frame.GetAt(0)->GetLength().GetLength(), static_cast<int64_t>(datagram.size()) - 2);
  }
}

TEST(NetSnmpRequests, SnmpSetEachValueType) {
  struct Case {
    const char* type;
    const char* value;
    uint8_t code;
    const wchar_t* text;
  };
  const Case cases[] = {
      {"s", "hello", ASN1_OCTET_STRING, L"hello"},
      {"i", "-42", ASN1_INTEGER, L"-42"},
      {"u", "4000000000", ASN1_GAUGE32, L"4000000000"},
      {"t", "12345", ASN1_TIMETICKS, L"12345"},
      {"a", "10.1.2.3", ASN1_IP_ADDRESS, L"10.1.2.3"},
      {"o", "1.3.6.1.4.1.8072", ASN1_OBJECT_IDENTIFIER, L"1.3.6.1.4.1.8072"},
      {"x", "0C29FF", ASN1_OCTET_STRING, L"0c:29:ff"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    ToolCapture tool(std::string("snmpset-v1-") + c.type, "snmpset", "-v1", "private",
                     {"1.3.6.1.2.1.1.4.0", c.type, c.value});
    Bytes datagram;
    ASSERT_TRUE(tool.Run(&datagram));
    CSnmpGenericFrameIn frame;
    ASSERT_TRUE(Decode(datagram, frame));
    EXPECT_TRUE(frame.IsSetRequest());
    EXPECT_TRUE(frame.IsVersion1());
    EXPECT_EQ(frame.GetCommunity()->GetText(), L"private");
    ASSERT_EQ(frame.GetCount(), 11u);
    EXPECT_EQ(frame.GetAt(9)->GetText(), L"1.3.6.1.2.1.1.4.0");
    EXPECT_EQ(frame.GetAt(10)->GetCode(), c.code);
    EXPECT_EQ(frame.GetAt(10)->GetText(), c.text);
  }
}

// Our Response, answering snmpget's own request, read back by snmpget.
TEST(NetSnmpRequests, SnmpGetReadsOurResponses) {
  struct Case {
    uint8_t code;
    const wchar_t* text;
    const char* printed;
  };
  const Case cases[] = {
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
  for (const Case& c : cases) {
    SCOPED_TRACE(c.printed);
    ToolCapture tool("snmpget-v2c", "snmpget", "-v2c", "public", {"1.3.6.1.2.1.1.5.0"});
    Bytes datagram;
    ASSERT_TRUE(tool.Run(&datagram));
    CSnmpGenericFrameIn request;
    ASSERT_TRUE(Decode(datagram, request));
    ASSERT_GE(request.GetCount(), 10u);

    CSnmpResponseOut response;
    ASSERT_TRUE(response.SetInteger(L"Version", 1, true));
    ASSERT_TRUE(response.SetText(L"Community", L"public"));
    ASSERT_TRUE(response.SetInteger(L"RequestId", request.GetAt(4)->GetValue().GetInteger(), true));
    ASSERT_TRUE(response.SetOid(request.GetAt(9)->GetValue().GetOid()));
    ASSERT_TRUE(response.SetValue(c.code, c.text));
    CBerEncoder encoder;
    ASSERT_TRUE(response.Encode(encoder));
    const std::string printed = tool.Answer(encoder.GetData(), encoder.GetUsedLength());
    EXPECT_NE(printed.find(".1.3.6.1.2.1.1.5.0 = " + std::string(c.printed)), std::string::npos)
        << "printed: " << printed;
  }
}

// ---- Traps sent by snmptrap

class NetSnmpTraps : public ::testing::Test {
 protected:
  // Runs snmptrap -v `version` -c `community` at the socket with the `rest`
  // of the arguments and decodes what it sent, which logs nothing.
  void Receive(const char* version, const char* community, const std::vector<std::string>& rest) {
    std::vector<std::string> args = {"snmptrap", "-v", version, "-c", community, "-m", "", m_socket.Target()};
    args.insert(args.end(), rest.begin(), rest.end());
    std::string output;
    ASSERT_EQ(netsnmp::Run(args, &output), 0) << output;
    sockaddr_in from{};
    const auto datagram = m_socket.Receive(kReceiveMs, &from);
    ASSERT_TRUE(datagram) << "snmptrap sent nothing";
    KeepForCorpus(std::string("snmptrap-v") + version, *datagram);
    m_frame.SetSender(ntohl(from.sin_addr.s_addr), ntohs(from.sin_port));
    LogCapture log;
    ASSERT_TRUE(Decode(*datagram, m_frame));
    EXPECT_TRUE(log.Records().empty());
  }
  // Checks binding i: its name, type and text.
  void ExpectBinding(size_t i, const wchar_t* name, uint8_t code, const wchar_t* text) {
    ASSERT_LT(i, m_frame.GetNames().size());
    ASSERT_EQ(m_frame.GetNames().size(), m_frame.GetValues().size());
    EXPECT_EQ(m_frame.GetNames()[i]->GetText(), name);
    EXPECT_EQ(m_frame.GetValues()[i]->GetCode(), code) << i;
    EXPECT_EQ(m_frame.GetValues()[i]->GetText(), text);
  }
  TestUdpSocket m_socket;
  CSnmpTrapIn m_frame;
};

TEST_F(NetSnmpTraps, Version1) {
  Receive("1", "traps", {"1.3.6.1.4.1.8072.2.3.1", "10.20.30.40", "6", "17", "12345", "1.3.6.1.2.1.1.5.0", "s",
                         "hello", "1.3.6.1.2.1.2.2.1.1.1", "i", "7"});
  EXPECT_EQ(m_frame.GetSenderAddress(), 0x7F000001u);
  EXPECT_TRUE(m_frame.IsVersion1());
  EXPECT_EQ(m_frame.GetCommunity()->GetText(), L"traps");
  EXPECT_EQ(m_frame.GetPdu()->GetCode(), ASN1_PDU_TRAP_V1);
  EXPECT_EQ(m_frame.GetEnterprise()->GetText(), L"1.3.6.1.4.1.8072.2.3.1");
  EXPECT_EQ(m_frame.GetAgentAddress()->GetCode(), ASN1_IP_ADDRESS);
  EXPECT_EQ(m_frame.GetAgentAddress()->GetText(), L"10.20.30.40");
  EXPECT_EQ(m_frame.GetGenericTrap()->GetValue().GetInteger(), 6);
  EXPECT_STREQ(m_frame.GetGenericTrapName(), L"enterpriseSpecific");
  EXPECT_EQ(m_frame.GetSpecificTrap()->GetValue().GetInteger(), 17);
  EXPECT_EQ(m_frame.GetTimeStamp()->GetCode(), ASN1_TIMETICKS);
  EXPECT_EQ(m_frame.GetTimeStamp()->GetText(), L"12345");
  EXPECT_EQ(m_frame.GetRequestId(), nullptr);
  EXPECT_EQ(m_frame.GetNames().size(), 2u);
  ExpectBinding(0, L"1.3.6.1.2.1.1.5.0", ASN1_OCTET_STRING, L"hello");
  ExpectBinding(1, L"1.3.6.1.2.1.2.2.1.1.1", ASN1_INTEGER, L"7");
}

TEST_F(NetSnmpTraps, Version2c) {
  Receive("2c", "public", {"54321", "1.3.6.1.6.3.1.1.5.3", "1.3.6.1.2.1.2.2.1.1.1", "i", "1", "1.3.6.1.2.1.2.2.1.10.1",
                           "c", "4294967295"});
  EXPECT_TRUE(m_frame.IsVersion2c());
  EXPECT_EQ(m_frame.GetCommunity()->GetText(), L"public");
  EXPECT_EQ(m_frame.GetPdu()->GetCode(), ASN1_PDU_TRAP_V2);
  EXPECT_EQ(m_frame.GetRequestId()->GetCode(), ASN1_INTEGER);
  EXPECT_EQ(m_frame.GetEnterprise(), nullptr);
  EXPECT_EQ(m_frame.GetErrorStatus()->GetValue().GetInteger(), 0);
  EXPECT_EQ(m_frame.GetErrorIndex()->GetValue().GetInteger(), 0);
  EXPECT_EQ(m_frame.GetCount(), 8u + 3 * 4);
  EXPECT_EQ(m_frame.GetNames().size(), 4u);
  ExpectBinding(0, L"1.3.6.1.2.1.1.3.0", ASN1_TIMETICKS, L"54321");
  ExpectBinding(1, L"1.3.6.1.6.3.1.1.4.1.0", ASN1_OBJECT_IDENTIFIER, L"1.3.6.1.6.3.1.1.5.3");
  ExpectBinding(2, L"1.3.6.1.2.1.2.2.1.1.1", ASN1_INTEGER, L"1");
  ExpectBinding(3, L"1.3.6.1.2.1.2.2.1.10.1", ASN1_COUNTER32, L"4294967295");
}

// ---- Our requests answered by a real snmpd (read community "tumbol", write
// community "quinsar", the system and interfaces groups in view)

class NetSnmpAgent : public netsnmp::SuiteWithAgent<> {
 protected:
  static void TearDownTestSuite() {
    SuiteWithAgent::TearDownTestSuite();
    ::setenv("SNMP_PERSISTENT_DIR", NetSnmpEnvironment::Folder().c_str(), 1);  // the agent set its own
  }
  // Sends one request and decodes the answer into the frame.
  template <typename Request>
  bool Ask(int64_t version, const std::wstring& community, const wchar_t* oid, CSnmpResponseIn* frame,
           const wchar_t* set_text = nullptr) {
    Request request;
    const int64_t id = ++m_request_id;
    if (!request.SetInteger(L"Version", version, true) || !request.SetText(L"Community", community) ||
        !request.SetInteger(L"RequestId", id, true) || !request.SetOid(CAsn1Oid(oid))) {
      return false;
    }
    if (set_text != nullptr && !request.SetText(L"Value", set_text)) return false;
    CBerEncoder encoder;
    if (!request.Encode(encoder)) return false;
    const uint8_t* data = encoder.GetData();
    if (!m_socket.SendTo(agent_->Port(), Bytes(data, data + encoder.GetUsedLength()))) return false;
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
  struct Case {
    const wchar_t* oid;
    uint8_t code;
    const wchar_t* starts = L"";  // the start of the value's text
  };
  const Case cases[] = {
      {L"1.3.6.1.2.1.1.1.0", ASN1_OCTET_STRING, L"Tavelo test agent"},
      {L"1.3.6.1.2.1.1.2.0", ASN1_OBJECT_IDENTIFIER, L"1.3.6.1.4.1.8072."},
      {L"1.3.6.1.2.1.1.3.0", ASN1_TIMETICKS},
      {L"1.3.6.1.2.1.2.2.1.10.1", ASN1_COUNTER32},
      {L"1.3.6.1.2.1.2.1.0", ASN1_INTEGER},
  };
  for (int64_t version : {0, 1}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(quillog::WideToUtf8(c.oid) + " v" + std::to_string(version));
      CSnmpGetResponseIn frame;
      ASSERT_TRUE(Ask<CSnmpGetRequestOut>(version, L"tumbol", c.oid, &frame));
      EXPECT_EQ(frame.GetVersion()->GetValue().GetInteger(), version);
      EXPECT_EQ(frame.GetCommunity()->GetText(), L"tumbol");
      EXPECT_STREQ(frame.GetErrorStatusName(), L"NoError");
      EXPECT_EQ(frame.GetName()->GetText(), c.oid);
      EXPECT_STREQ(GetTypeName(frame.GetValue()->GetCode()), GetTypeName(c.code));
      EXPECT_EQ(frame.GetValue()->GetText().rfind(c.starts, 0), 0u) << quillog::WideToUtf8(frame.GetValue()->GetText());
    }
  }
  CSnmpGetResponseIn descr;  // the whole text, nothing after it
  ASSERT_TRUE(Ask<CSnmpGetRequestOut>(1, L"tumbol", L"1.3.6.1.2.1.1.1.0", &descr));
  EXPECT_EQ(descr.GetValue()->GetText(), L"Tavelo test agent");
}

TEST_F(NetSnmpAgent, GetNextWalksIntoTheView) {
  CSnmpGetNextResponseIn frame;
  ASSERT_TRUE(Ask<CSnmpGetNextRequestOut>(1, L"tumbol", L"1.3.6.1.2.1.1", &frame));
  EXPECT_EQ(frame.GetName()->GetText(), L"1.3.6.1.2.1.1.1.0");
  EXPECT_EQ(frame.GetValue()->GetText(), L"Tavelo test agent");
  CSnmpGetNextResponseIn next;
  ASSERT_TRUE(Ask<CSnmpGetNextRequestOut>(1, L"tumbol", L"1.3.6.1.2.1.1.1.0", &next));
  EXPECT_EQ(next.GetName()->GetText(), L"1.3.6.1.2.1.1.2.0");
}

TEST_F(NetSnmpAgent, SetThenGet) {
  CSnmpSetResponseIn set;
  ASSERT_TRUE(Ask<CSnmpSetRequestOut>(1, L"quinsar", L"1.3.6.1.2.1.1.4.0", &set, L"tavelo@loopback"));
  EXPECT_STREQ(set.GetErrorStatusName(), L"NoError");
  EXPECT_EQ(set.GetValue()->GetText(), L"tavelo@loopback");
  CSnmpGetResponseIn get;
  ASSERT_TRUE(Ask<CSnmpGetRequestOut>(0, L"tumbol", L"1.3.6.1.2.1.1.4.0", &get));
  EXPECT_EQ(get.GetValue()->GetText(), L"tavelo@loopback");
  // A read-only community cannot set.
  CSnmpSetResponseIn refused;
  ASSERT_TRUE(Ask<CSnmpSetRequestOut>(1, L"tumbol", L"1.3.6.1.2.1.1.4.0", &refused, L"x"));
  EXPECT_STRNE(refused.GetErrorStatusName(), L"NoError");
}

TEST_F(NetSnmpAgent, OutsideTheView) {
  CSnmpGetResponseIn v2;
  ASSERT_TRUE(Ask<CSnmpGetRequestOut>(1, L"tumbol", L"1.3.6.1.2.1.4.1.0", &v2));
  EXPECT_EQ(v2.GetValue()->GetCode(), ASN1_NO_SUCH_OBJECT);
  EXPECT_STREQ(GetTypeName(v2.GetValue()->GetCode()), L"No Such Object");
  CSnmpGetResponseIn v1;
  ASSERT_TRUE(Ask<CSnmpGetRequestOut>(0, L"tumbol", L"1.3.6.1.2.1.4.1.0", &v1));
  EXPECT_STREQ(v1.GetErrorStatusName(), L"NoSuchName");
  EXPECT_EQ(v1.GetErrorIndex()->GetValue().GetInteger(), 1);
}
