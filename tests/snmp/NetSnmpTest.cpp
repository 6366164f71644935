// Conformance with Net-SNMP peers on loopback ports picked by the test.
#include "asn1/BerDecoder.h"
#include "asn1/BerEncoder.h"
#include "snmp/SnmpFrameOut.h"
#include "snmp/SnmpGenericFrameIn.h"
#include "snmp/SnmpResponseIn.h"
#include "snmp/SnmpTrapIn.h"
#include "tests/common/LogCapture.h"
#include "tests/snmp/NetSnmpPeer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <memory>

namespace {

constexpr int kReceiveMs = 5000;

// With TAVELO_CORPUS_DIR set, every datagram seen is kept there (fuzz seeds).
void KeepForCorpus(const std::string& name, const ByteVector& data) {
  const char* folder = std::getenv("TAVELO_CORPUS_DIR");
  if (folder == nullptr || *folder == 0) return;
  std::ofstream(std::string(folder) + "/" + name, std::ios::binary)
      .write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

bool Decode(const ByteVector& data, CSnmpFrameIn& frame) {
  CBerDecoder decoder;
  if (!decoder.Assign(data.data(), static_cast<uint32_t>(data.size()))) return false;
  return DecodeDatagram(decoder, frame);
}

std::string Target(uint16_t port) { return "127.0.0.1:" + std::to_string(port); }

// Runs a Net-SNMP tool against the test's socket and returns the datagram it sent.
class ToolCapture {
 public:
  ToolCapture(std::vector<std::string> argv, const std::string& name) {
    argv.push_back(Target(m_socket.Port()));
    m_argv = std::move(argv);
    m_name = name;
  }
  // Tool arguments after the target.
  void Then(const std::vector<std::string>& rest) { m_argv.insert(m_argv.end(), rest.begin(), rest.end()); }

  bool Run(ByteVector* datagram) {
    m_tool = std::make_unique<ChildProcess>(m_argv, NetSnmpEnvironment(m_folder), m_folder.Path() + "/out.txt");
    if (!m_tool->Started()) return false;
    if (!m_socket.Receive(datagram, kReceiveMs, nullptr, &m_tool_port)) return false;
    KeepForCorpus(m_name, *datagram);
    return true;
  }
  // Answers the tool and returns what it printed.
  std::string Answer(const uint8_t* data, size_t length) {
    m_socket.SendTo(m_tool_port, data, length);
    m_tool->Wait(kReceiveMs);
    return m_folder.Read("out.txt");
  }

 private:
  TempFolder m_folder;
  TestUdpSocket m_socket;
  std::vector<std::string> m_argv;
  std::string m_name;
  std::unique_ptr<ChildProcess> m_tool;
  uint16_t m_tool_port = 0;
};

std::vector<std::string> Tool(const char* program, const char* version, const char* community) {
  return {program, version, "-c", community, "-t", "1", "-r", "0", "-m", "", "-On"};
}

}  // namespace

// ---- Requests sent by snmpget, snmpgetnext and snmpset

TEST(NetSnmpRequests, SnmpGetVersion1) {
  ToolCapture tool(Tool("snmpget", "-v1", "public"), "snmpget-v1");
  tool.Then({"1.3.6.1.2.1.1.1.0"});
  ByteVector datagram;
  ASSERT_TRUE(tool.Run(&datagram)) << "snmpget sent nothing";
  CSnmpGenericFrameIn frame;
  ASSERT_TRUE(Decode(datagram, frame));
  EXPECT_TRUE(frame.IsVersion1());
  EXPECT_EQ(frame.GetCommunity()->GetText(), L"public");
  EXPECT_TRUE(frame.IsGetRequest());
  ASSERT_EQ(frame.GetCount(), 11u);
  EXPECT_EQ(frame.GetAt(9)->GetCode(), ASN1_OBJECT_IDENTIFIER);
  EXPECT_EQ(frame.GetAt(9)->GetText(), L"1.3.6.1.2.1.1.1.0");
  EXPECT_EQ(frame.GetAt(10)->GetCode(), ASN1_NULL);
  EXPECT_EQ(frame.GetAt(0)->GetLength().GetLength(), static_cast<int64_t>(datagram.size()) - 2);
}

TEST(NetSnmpRequests, SnmpGetNextVersion2c) {
  ToolCapture tool(Tool("snmpgetnext", "-v2c", "tavelo-ro"), "snmpgetnext-v2c");
  tool.Then({"1.3.6.1.2.1.2.2.1.10"});
  ByteVector datagram;
  ASSERT_TRUE(tool.Run(&datagram));
  CSnmpGenericFrameIn frame;
  ASSERT_TRUE(Decode(datagram, frame));
  EXPECT_TRUE(frame.IsVersion2c());
  EXPECT_EQ(frame.GetCommunity()->GetText(), L"tavelo-ro");
  EXPECT_TRUE(frame.IsGetNextRequest());
  EXPECT_FALSE(frame.IsGetRequest());
  EXPECT_EQ(frame.GetAt(9)->GetText(), L"1.3.6.1.2.1.2.2.1.10");
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
    ToolCapture tool(Tool("snmpset", "-v1", "private"), std::string("snmpset-v1-") + c.type);
    tool.Then({"1.3.6.1.2.1.1.4.0", c.type, c.value});
    ByteVector datagram;
    ASSERT_TRUE(tool.Run(&datagram)) << c.type;
    CSnmpGenericFrameIn frame;
    ASSERT_TRUE(Decode(datagram, frame)) << c.type;
    EXPECT_TRUE(frame.IsSetRequest());
    EXPECT_TRUE(frame.IsVersion1());
    EXPECT_EQ(frame.GetCommunity()->GetText(), L"private");
    ASSERT_EQ(frame.GetCount(), 11u);
    EXPECT_EQ(frame.GetAt(9)->GetText(), L"1.3.6.1.2.1.1.4.0");
    EXPECT_EQ(frame.GetAt(10)->GetCode(), c.code) << c.type;
    EXPECT_EQ(frame.GetAt(10)->GetText(), c.text) << c.type;
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
    ToolCapture tool(Tool("snmpget", "-v2c", "public"), "snmpget-v2c");
    tool.Then({"1.3.6.1.2.1.1.5.0"});
    ByteVector datagram;
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

// ---- Our requests answered by a real snmpd

class NetSnmpAgent : public ::testing::Test {
 protected:
  void SetUp() override {
    m_port = FreeUdpPort();
    const std::string conf = m_folder.Write("snmpd.conf",
                                            "rocommunity public 127.0.0.1 -V small\n"
                                            "rwcommunity private 127.0.0.1 -V small\n"
                                            "view small included .1.3.6.1.2.1.1\n"
                                            "view small included .1.3.6.1.2.1.2\n"
                                            "sysDescr Tavelo test agent\n"
                                            "sysLocation Loopback bench\n");
    m_agent = std::make_unique<ChildProcess>(
        std::vector<std::string>{"snmpd", "-f", "-Lo", "-C", "-c", conf, "-M", "/dev/null", "-I", "-smux",
                                 "udp:" + Target(m_port)},
        NetSnmpEnvironment(m_folder));
    ASSERT_TRUE(m_agent->Started()) << "snmpd did not start";
    // Ready once it answers.
    for (int attempt = 0; attempt < 50; ++attempt) {
      CSnmpGetResponseIn frame;
      if (Ask<CSnmpGetRequestOut>(0, L"public", L"1.3.6.1.2.1.1.1.0", &frame, 100)) return;
    }
    FAIL() << "snmpd on port " << m_port << " never answered";
  }

  // Sends one request and decodes the answer into the frame.
  template <typename Request>
  bool Ask(int64_t version, const std::wstring& community, const wchar_t* oid, CSnmpResponseIn* frame,
           int timeout_ms = kReceiveMs, const wchar_t* set_text = nullptr) {
    Request request;
    const int64_t id = ++m_request_id;
    if (!request.SetInteger(L"Version", version, true) || !request.SetText(L"Community", community) ||
        !request.SetInteger(L"RequestId", id, true) || !request.SetOid(CAsn1Oid(oid))) {
      return false;
    }
    if (set_text != nullptr && !request.SetText(L"Value", set_text)) return false;
    CBerEncoder encoder;
    if (!request.Encode(encoder)) return false;
    if (!m_socket.SendTo(m_port, encoder.GetData(), encoder.GetUsedLength())) return false;
    ByteVector answer;
    while (m_socket.Receive(&answer, timeout_ms)) {
      KeepForCorpus("snmpd-answer-" + std::to_string(id), answer);
      if (!Decode(answer, *frame)) return false;
      if (frame->GetRequestId()->GetValue().GetInteger() == id) return true;  // skip late answers
    }
    return false;
  }

  TempFolder m_folder;
  TestUdpSocket m_socket;
  uint16_t m_port = 0;
  std::unique_ptr<ChildProcess> m_agent;
  int64_t m_request_id = 1000;
};

TEST_F(NetSnmpAgent, GetAnswersDecodeWithTheirTypes) {
  struct Case {
    const wchar_t* oid;
    uint8_t code;
  };
  const Case cases[] = {
      {L"1.3.6.1.2.1.1.1.0", ASN1_OCTET_STRING},       {L"1.3.6.1.2.1.1.2.0", ASN1_OBJECT_IDENTIFIER},
      {L"1.3.6.1.2.1.1.3.0", ASN1_TIMETICKS},          {L"1.3.6.1.2.1.2.2.1.10.1", ASN1_COUNTER32},
      {L"1.3.6.1.2.1.2.1.0", ASN1_INTEGER},
  };
  for (int64_t version : {0, 1}) {
    for (const Case& c : cases) {
      CSnmpGetResponseIn frame;
      ASSERT_TRUE(Ask<CSnmpGetRequestOut>(version, L"public", c.oid, &frame)) << quillog::WideToUtf8(c.oid);
      EXPECT_EQ(frame.GetVersion()->GetValue().GetInteger(), version);
      EXPECT_EQ(frame.GetCommunity()->GetText(), L"public");
      EXPECT_STREQ(frame.GetErrorStatusName(), L"NoError");
      EXPECT_EQ(frame.GetName()->GetText(), c.oid);
      EXPECT_STREQ(GetTypeName(frame.GetValue()->GetCode()), GetTypeName(c.code)) << quillog::WideToUtf8(c.oid);
    }
  }
  CSnmpGetResponseIn descr;
  ASSERT_TRUE(Ask<CSnmpGetRequestOut>(1, L"public", L"1.3.6.1.2.1.1.1.0", &descr));
  EXPECT_EQ(descr.GetValue()->GetText(), L"Tavelo test agent");
  CSnmpGetResponseIn object_id;
  ASSERT_TRUE(Ask<CSnmpGetRequestOut>(1, L"public", L"1.3.6.1.2.1.1.2.0", &object_id));
  EXPECT_EQ(object_id.GetValue()->GetText().rfind(L"1.3.6.1.4.1.8072.", 0), 0u);
}

TEST_F(NetSnmpAgent, GetNextWalksIntoTheView) {
  CSnmpGetNextResponseIn frame;
  ASSERT_TRUE(Ask<CSnmpGetNextRequestOut>(1, L"public", L"1.3.6.1.2.1.1", &frame));
  EXPECT_EQ(frame.GetName()->GetText(), L"1.3.6.1.2.1.1.1.0");
  EXPECT_EQ(frame.GetValue()->GetText(), L"Tavelo test agent");
  CSnmpGetNextResponseIn next;
  ASSERT_TRUE(Ask<CSnmpGetNextRequestOut>(1, L"public", L"1.3.6.1.2.1.1.1.0", &next));
  EXPECT_EQ(next.GetName()->GetText(), L"1.3.6.1.2.1.1.2.0");
}

TEST_F(NetSnmpAgent, SetThenGet) {
  CSnmpSetResponseIn set;
  ASSERT_TRUE(Ask<CSnmpSetRequestOut>(1, L"private", L"1.3.6.1.2.1.1.4.0", &set, kReceiveMs, L"tavelo@loopback"));
  EXPECT_STREQ(set.GetErrorStatusName(), L"NoError");
  EXPECT_EQ(set.GetValue()->GetText(), L"tavelo@loopback");
  CSnmpGetResponseIn get;
  ASSERT_TRUE(Ask<CSnmpGetRequestOut>(0, L"public", L"1.3.6.1.2.1.1.4.0", &get));
  EXPECT_EQ(get.GetValue()->GetText(), L"tavelo@loopback");
  // A read-only community cannot set.
  CSnmpSetResponseIn refused;
  ASSERT_TRUE(Ask<CSnmpSetRequestOut>(1, L"public", L"1.3.6.1.2.1.1.4.0", &refused, kReceiveMs, L"x"));
  EXPECT_STRNE(refused.GetErrorStatusName(), L"NoError");
}

TEST_F(NetSnmpAgent, OutsideTheView) {
  CSnmpGetResponseIn v2;
  ASSERT_TRUE(Ask<CSnmpGetRequestOut>(1, L"public", L"1.3.6.1.2.1.4.1.0", &v2));
  EXPECT_EQ(v2.GetValue()->GetCode(), ASN1_NO_SUCH_OBJECT);
  EXPECT_STREQ(GetTypeName(v2.GetValue()->GetCode()), L"No Such Object");
  CSnmpGetResponseIn v1;
  ASSERT_TRUE(Ask<CSnmpGetRequestOut>(0, L"public", L"1.3.6.1.2.1.4.1.0", &v1));
  EXPECT_STREQ(v1.GetErrorStatusName(), L"NoSuchName");
  EXPECT_EQ(v1.GetErrorIndex()->GetValue().GetInteger(), 1);
}

// ---- Traps sent by snmptrap

TEST(NetSnmpTraps, Version1) {
  TempFolder folder;
  TestUdpSocket socket;
  ChildProcess trap({"snmptrap", "-v", "1", "-c", "traps", "-m", "", Target(socket.Port()),
                     "1.3.6.1.4.1.8072.2.3.1", "10.20.30.40", "6", "17", "12345", "1.3.6.1.2.1.1.5.0", "s",
                     "hello", "1.3.6.1.2.1.2.2.1.1.1", "i", "7"},
                    NetSnmpEnvironment(folder));
  ByteVector datagram;
  uint32_t from = 0;
  uint16_t from_port = 0;
  ASSERT_TRUE(socket.Receive(&datagram, kReceiveMs, &from, &from_port)) << "snmptrap sent nothing";
  KeepForCorpus("snmptrap-v1", datagram);
  CSnmpTrapIn frame;
  frame.SetSender(from, from_port);
  LogCapture log;
  ASSERT_TRUE(Decode(datagram, frame));
  EXPECT_TRUE(log.Records().empty());
  EXPECT_EQ(frame.GetSenderAddress(), 0x7F000001u);
  EXPECT_TRUE(frame.IsVersion1());
  EXPECT_EQ(frame.GetCommunity()->GetText(), L"traps");
  EXPECT_EQ(frame.GetPdu()->GetCode(), ASN1_PDU_TRAP_V1);
  EXPECT_EQ(frame.GetEnterprise()->GetText(), L"1.3.6.1.4.1.8072.2.3.1");
  EXPECT_EQ(frame.GetAgentAddress()->GetCode(), ASN1_IP_ADDRESS);
  EXPECT_EQ(frame.GetAgentAddress()->GetText(), L"10.20.30.40");
  EXPECT_EQ(frame.GetGenericTrap()->GetValue().GetInteger(), 6);
  EXPECT_STREQ(frame.GetGenericTrapName(), L"enterpriseSpecific");
  EXPECT_EQ(frame.GetSpecificTrap()->GetValue().GetInteger(), 17);
  EXPECT_EQ(frame.GetTimeStamp()->GetCode(), ASN1_TIMETICKS);
  EXPECT_EQ(frame.GetTimeStamp()->GetText(), L"12345");
  ASSERT_EQ(frame.GetNames().size(), 2u);
  ASSERT_EQ(frame.GetValues().size(), 2u);
  EXPECT_EQ(frame.GetNames()[0]->GetText(), L"1.3.6.1.2.1.1.5.0");
  EXPECT_EQ(frame.GetValues()[0]->GetCode(), ASN1_OCTET_STRING);
  EXPECT_EQ(frame.GetValues()[0]->GetText(), L"hello");
  EXPECT_EQ(frame.GetNames()[1]->GetText(), L"1.3.6.1.2.1.2.2.1.1.1");
  EXPECT_EQ(frame.GetValues()[1]->GetText(), L"7");
  EXPECT_EQ(trap.Wait(kReceiveMs), 0);
}

TEST(NetSnmpTraps, Version2c) {
  TempFolder folder;
  TestUdpSocket socket;
  ChildProcess trap({"snmptrap", "-v", "2c", "-c", "public", "-m", "", Target(socket.Port()), "54321",
                     "1.3.6.1.6.3.1.1.5.3", "1.3.6.1.2.1.2.2.1.1.1", "i", "1", "1.3.6.1.2.1.2.2.1.10.1", "c",
                     "4294967295"},
                    NetSnmpEnvironment(folder));
  ByteVector datagram;
  ASSERT_TRUE(socket.Receive(&datagram, kReceiveMs)) << "snmptrap sent nothing";
  KeepForCorpus("snmptrap-v2c", datagram);
  CSnmpTrapIn frame;
  LogCapture log;
  ASSERT_TRUE(Decode(datagram, frame));
  EXPECT_TRUE(log.Records().empty());
  EXPECT_TRUE(frame.IsVersion2c());
  EXPECT_EQ(frame.GetCommunity()->GetText(), L"public");
  EXPECT_EQ(frame.GetPdu()->GetCode(), ASN1_PDU_TRAP_V2);
  EXPECT_EQ(frame.GetRequestId()->GetCode(), ASN1_INTEGER);
  EXPECT_EQ(frame.GetErrorStatus()->GetValue().GetInteger(), 0);
  EXPECT_EQ(frame.GetErrorIndex()->GetValue().GetInteger(), 0);
  EXPECT_EQ(frame.GetCount(), 8u + 3 * 4);
  ASSERT_EQ(frame.GetNames().size(), 4u);
  ASSERT_EQ(frame.GetValues().size(), 4u);
  EXPECT_EQ(frame.GetNames()[0]->GetText(), L"1.3.6.1.2.1.1.3.0");
  EXPECT_EQ(frame.GetValues()[0]->GetCode(), ASN1_TIMETICKS);
  EXPECT_EQ(frame.GetValues()[0]->GetText(), L"54321");
  EXPECT_EQ(frame.GetNames()[1]->GetText(), L"1.3.6.1.6.3.1.1.4.1.0");
  EXPECT_EQ(frame.GetValues()[1]->GetCode(), ASN1_OBJECT_IDENTIFIER);
  EXPECT_EQ(frame.GetValues()[1]->GetText(), L"1.3.6.1.6.3.1.1.5.3");
  EXPECT_EQ(frame.GetNames()[2]->GetText(), L"1.3.6.1.2.1.2.2.1.1.1");
  EXPECT_EQ(frame.GetValues()[2]->GetText(), L"1");
  EXPECT_EQ(frame.GetValues()[3]->GetCode(), ASN1_COUNTER32);
  EXPECT_EQ(frame.GetValues()[3]->GetText(), L"4294967295");
  EXPECT_EQ(trap.Wait(kReceiveMs), 0);
}
