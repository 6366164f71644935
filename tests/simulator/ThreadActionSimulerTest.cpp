#include "simulator/ThreadActionSimuler.h"

#include "app/MessageCenter.h"
#include "app/PlainDispatcher.h"
#include "asn1/BerDecoder.h"
#include "asn1/BerEncoder.h"
#include "simulator/SimulatorEntry.h"
#include "simulator/SimulatorFile.h"
#include "tests/common/BerBytes.h"
#include "tests/common/ScriptedAgent.h"
#include "tests/common/UdpSocket.h"
#include "tests/simulator/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <numeric>
#include <optional>
#include <random>
#include <thread>

using namespace simtest;
using namespace std::chrono_literals;
using berbytes::Bytes;
using Arcs = std::vector<uint64_t>;

namespace {

struct Stored {
  const wchar_t* oid;
  const wchar_t* type;
  const wchar_t* value;
  const char* shown;  // how snmpget -On prints it after "= "
};

const Stored kValues[] = {
    {L"1.3.6.1.2.1.1.5.0", L"Octet String", L"sim-host", "STRING: \"sim-host\""},
    {L"1.3.6.1.2.1.1.1.0", L"Octet String", L"Tavelo test agent", "STRING: \"Tavelo test agent\""},
    {L"1.3.6.1.2.1.1.2.0", L"Object Identifier", L"1.3.6.1.4.1.99999.1", "OID: .1.3.6.1.4.1.99999.1"},
    {L"1.3.6.1.2.1.1.3.0", L"TimeTicks", L"123456", "Timeticks: (123456) 0:20:34.56"},
    {L"1.3.6.1.2.1.1.7.0", L"Integer", L"-72", "INTEGER: -72"},
    {L"1.3.6.1.2.1.2.2.1.10.1", L"Counter32", L"4294967295", "Counter32: 4294967295"},
    {L"1.3.6.1.2.1.2.2.1.5.1", L"Gauge32", L"1000000000", "Gauge32: 1000000000"},
    {L"1.3.6.1.2.1.4.20.1.1.10.0.0.1", L"IP Address", L"10.0.0.1", "IpAddress: 10.0.0.1"},
    {L"1.3.6.1.2.1.31.1.1.1.6.1", L"Counter64", L"18446744073709551615", "Counter64: 18446744073709551615"},
    {L"1.3.6.1.4.1.99999.3.0", L"Null", L"", "NULL"},
};

const std::string kSysNameLine = ".1.3.6.1.2.1.1.5.0 = STRING: \"sim-host\"\n";
const Arcs kSysName = {1, 3, 6, 1, 2, 1, 1, 5, 0};

std::string Narrow(const std::wstring& text) { return quillog::WideToUtf8(text); }
bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A request with one binding (a NULL value unless given), its id in `id_width` octets.
Bytes Request(uint8_t pdu, uint8_t version, int64_t id, const Arcs& arcs, const std::string& community = "public",
              const Bytes& value = berbytes::kNull, size_t id_width = 8) {
  return berbytes::Message(version, community, pdu, berbytes::Int(id, id_width), {{berbytes::Oid(arcs), value}});
}
// A v2c GetRequest of sysName.0, 4-octet id.
Bytes GetRequest(uint32_t id) { return Request(0xA0, 1, id, kSysName, "public", berbytes::kNull, 4); }

// The answer the engine must give, built independently of the codec.
Bytes Response(uint8_t version, int64_t id, int64_t status, int64_t index, const Bytes& list,
               const std::string& community = "public") {
  using namespace berbytes;
  const Bytes pdu = Tlv(0xA2, Cat({Int(id), Int(status), Int(index), Tlv(0x30, list)}));
  return Tlv(0x30, Cat({Int(version), Text(community), pdu}));
}
Bytes Binding(const Arcs& arcs, const Bytes& value) {
  return berbytes::Tlv(0x30, berbytes::Cat({berbytes::Oid(arcs), value}));
}

// A request of many bindings; `second` and `third` follow the id.
Bytes ManyRequest(uint8_t pdu, uint8_t version, int64_t id, const std::vector<Arcs>& names, int64_t second = 0,
                  int64_t third = 0, const std::vector<Bytes>& values = {}) {
  using namespace berbytes;
  Bytes list;
  for (size_t i = 0; i < names.size(); ++i)
    list = Cat({list, Binding(names[i], i < values.size() ? values[i] : kNull)});
  const Bytes body = Tlv(pdu, Cat({Int(id), Int(second), Int(third), Tlv(0x30, list)}));
  return Tlv(0x30, Cat({Int(version), Text("public"), body}));
}
Bytes Bulk(int64_t id, int64_t non_repeaters, int64_t max_repetitions, const std::vector<Arcs>& names,
           uint8_t version = 1) {
  return ManyRequest(0xA5, version, id, names, non_repeaters, max_repetitions);
}

// The binding TLVs of an answer, read without the codec (empty: does not parse).
std::vector<Bytes> Bindings(const Bytes& data) {
  const uint8_t *at = data.data(), *end = at + data.size(), *body = nullptr;
  size_t size = 0;
  uint8_t tag = 0;
  // Into the message, past version and community into the PDU, past its three integers into the list.
  for (int skipped : {0, 2, 3}) {
    for (int i = 0; i <= skipped; ++i)
      if (!scripted::NextTlv(at, end, &tag, &body, &size)) return {};
    at = body;
    end = body + size;
  }
  std::vector<Bytes> out;
  for (const uint8_t* binding = at; at < end; binding = at) {
    if (!scripted::NextTlv(at, end, &tag, &body, &size) || tag != 0x30) return {};
    out.emplace_back(binding, at);
  }
  return out;
}
int64_t AnswerId(const Bytes& data) {
  scripted::Request answer;
  return scripted::ParseRequest(data, &answer) ? answer.request_id : -1;
}

// Sends the request and waits up to 2 s for the answer that carries its id.
bool Answered(const TestUdpSocket& client, const Bytes& request, uint32_t id) {
  if (!client.Send(request)) return false;
  for (const auto deadline = std::chrono::steady_clock::now() + 2s; std::chrono::steady_clock::now() < deadline;) {
    auto answer = client.Receive(200);
    if (answer && AnswerId(*answer) == id) return true;
  }
  return false;
}

// The id of the next answer received within 2 s (-1: none).
int64_t NextAnswerId(const TestUdpSocket& client) {
  const auto answer = client.Receive(2000);
  return answer ? AnswerId(*answer) : -1;
}

// The simulator value view's part that matters here: save on refresh.
class SavingView : public CViewWindow {
 public:
  SavingView(CViewDispatcher* dispatcher, CSimulatorEntry* simulator)
      : CViewWindow(dispatcher), m_simulator(simulator) {
    CMessageCenter::Subscribe(L"CViewSimulerValue", this, MSG_VIEW_SIMULATOR, 0);
  }
  intptr_t OnViewMessage(uint32_t message, uintptr_t sub_code, uintptr_t) override {
    if (message != MSG_VIEW_SIMULATOR) return 0;
    if (sub_code == MSG_VIEW_SIMULATOR_DATA_RECV) ++received;
    if (sub_code == MSG_VIEW_SIMULATOR_REFRESH) {
      CSimulatorFile::Save(m_simulator);
      ++refreshed;
    }
    return 0;
  }
  std::atomic<int> received{0}, refreshed{0};

 private:
  CSimulatorEntry* m_simulator;
};

class SimulerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_simulator.kind = CSimulatorEntry::KindSimulator;
    m_simulator.path = m_dir.wpath("agent.tav");
    m_simulator.recv_community = m_simulator.send_community = L"public";
    for (const Stored& v : kValues) ASSERT_TRUE(m_simulator.AddValue(v.oid, v.type, v.value));
    ASSERT_TRUE(CSimulatorFile::Save(&m_simulator));  // sorts the list
    m_view = std::make_unique<SavingView>(&m_dispatcher, &m_simulator);
    ASSERT_TRUE(m_dispatcher.StartThread());
  }
  void TearDown() override {
    m_engine.Stop();
    EXPECT_TRUE(m_engine.WaitIdle(5000));
    m_dispatcher.Drain();
    m_dispatcher.Quit();
    m_view.reset();
  }

  void StartAgent(bool v1 = true, bool v2c = true) {
    m_port = FreeUdpPort();
    ASSERT_TRUE(m_engine.Start(m_port, v1, v2c, L"public", &m_simulator));
    ASSERT_TRUE(m_engine.WaitBegun(5000));
    ASSERT_TRUE(m_engine.IsRunning());
  }

  // What a Net-SNMP tool prints for the OID (and further arguments).
  std::string Tool(const std::string& tool, const std::string& version, std::vector<std::string> args,
                   const std::string& community = "public") {
    args.insert(args.begin(), {tool, "-v" + version, "-c", community, "-On", "-t", "0.5", "-r", "1",
                               "127.0.0.1:" + std::to_string(m_port)});
    return netsnmp::Output(args);
  }

  // The general path's answer to a datagram, or none when it is dropped.
  std::optional<Bytes> FullPath(const Bytes& request) {
    CBerDecoder decoder;
    CBerEncoder encoder;
    EXPECT_TRUE(decoder.Assign(request.data(), static_cast<uint32_t>(request.size())));
    if (!m_engine.HandleDatagram(decoder, encoder)) return std::nullopt;
    return Bytes(encoder.GetData(), encoder.GetData() + encoder.GetUsedLength());
  }
  // The shortcut's answer, or none when the request is left to the full path.
  std::optional<Bytes> Fast(const Bytes& request) {
    Bytes out;
    if (!m_engine.AnswerFast(request.data(), static_cast<uint32_t>(request.size()), &out)) return std::nullopt;
    return out;
  }

  // The saved file's values by OID; it must load and hold every value once.
  std::map<std::wstring, std::wstring> SavedValues() {
    CSimulatorEntry stored;
    stored.path = m_simulator.path;
    EXPECT_TRUE(CSimulatorFile::Load(&stored));
    std::map<std::wstring, std::wstring> by_oid;
    for (const auto& v : stored.values) by_oid[v.oid.GetText()] = v.value;
    EXPECT_EQ(stored.values.size(), std::size(kValues));
    return by_oid;
  }
  std::wstring StoredText(const std::wstring& oid) {
    auto lock = m_simulator.LockValues();
    for (const CSimulatorValue& v : m_simulator.values)
      if (v.oid.GetText() == oid) return v.value;
    return L"<none>";
  }
  void SetStoredText(const std::wstring& oid, const std::wstring& text) {
    auto lock = m_simulator.LockValues();
    for (CSimulatorValue& v : m_simulator.values)
      if (v.oid.GetText() == oid) v.value = text;
  }

  TempDir m_dir;
  CSimulatorEntry m_simulator;
  CPlainDispatcher m_dispatcher;
  std::unique_ptr<SavingView> m_view;
  CThreadActionSimuler m_engine;
  uint16_t m_port = 0;
};

}  // namespace

// A walk ends with noSuchName (v1) or endOfMibView (v2c), which Net-SNMP names.
TEST_F(SimulerTest, GetAndWalkReturnTheStoredTypesAndTextsInBothVersions) {
  std::map<std::wstring, std::string> shown;
  for (const Stored& v : kValues) shown[v.oid] = "." + Narrow(v.oid) + " = " + v.shown;
  std::vector<std::string> walk;
  for (const CSimulatorValue& value : m_simulator.values) walk.push_back(shown.at(value.oid.GetText()));
  StartAgent();
  for (const char* version : {"1", "2c"}) {
    SCOPED_TRACE(version);
    std::vector<std::string> oids, values;
    for (const Stored& v : kValues) {
      oids.push_back(Narrow(v.oid));
      values.push_back(shown.at(v.oid));
    }
    EXPECT_EQ(Lines(Tool("snmpget", version, oids)), values);
    // An unknown one gets noSuchName with its index; snmpget then asks again without it.
    const std::string out = Tool("snmpget", version, {"1.3.6.1.2.1.1.5.0", "1.3.6.1.2.1.1.4.0", "1.3.6.1.2.1.1.1.0"});
    EXPECT_PRED2(Contains, out, "Failed object: .1.3.6.1.2.1.1.4.0");
    EXPECT_PRED2(Contains, out, kSysNameLine + shown.at(L"1.3.6.1.2.1.1.1.0") + "\n");
    std::vector<std::string> lines = Lines(Tool("snmpwalk", version, {"1.3.6.1"}));
    ASSERT_FALSE(lines.empty());
    EXPECT_PRED2(Contains, lines.back(),
                 std::string(version) == "1" ? "End of MIB" : "No more variables left in this MIB View");
    lines.pop_back();
    EXPECT_EQ(lines, walk);
  }
}

// A Set that cannot be made in full changes nothing; one that can changes all it names, and is saved.
TEST_F(SimulerTest, SetsChangeAllTheyNameOrNothingAndTheViewSavesThem) {
  StartAgent();
  LogCapture log(0);
  const std::vector<uint8_t> before = ReadBytes(m_dir.path() / "agent.tav");
  for (const char* version : {"1", "2c"}) {
    SCOPED_TRACE(version);
    EXPECT_PRED2(Contains, Tool("snmpset", version, {"1.3.6.1.2.1.1.5.0", "i", "5"}), "wrongType");
    const std::string out = Tool("snmpset", version, {"1.3.6.1.2.1.1.5.0", "s", "lost", "1.3.6.1.2.1.1.7.0", "s", "x"});
    EXPECT_PRED2(Contains, out, "wrongType");
    EXPECT_PRED2(Contains, out, "Failed object: .1.3.6.1.2.1.1.7.0");
  }
  EXPECT_EQ(Tool("snmpget", "2c", {"1.3.6.1.2.1.1.5.0", "1.3.6.1.2.1.1.7.0"}),
            kSysNameLine + ".1.3.6.1.2.1.1.7.0 = INTEGER: -72\n");
  m_dispatcher.Drain();
  EXPECT_EQ(m_view->refreshed.load(), 0);
  EXPECT_EQ(ReadBytes(m_dir.path() / "agent.tav"), before);
  EXPECT_EQ(Tool("snmpset", "2c", {"1.3.6.1.2.1.1.5.0", "s", "renamed-host", "1.3.6.1.2.1.1.7.0", "i", "9"}),
            ".1.3.6.1.2.1.1.5.0 = STRING: \"renamed-host\"\n.1.3.6.1.2.1.1.7.0 = INTEGER: 9\n");
  EXPECT_EQ(Tool("snmpset", "1", {"1.3.6.1.2.1.1.7.0", "i", "12"}), ".1.3.6.1.2.1.1.7.0 = INTEGER: 12\n");
  EXPECT_TRUE(WaitUntil([&] { return m_view->refreshed.load() >= 2; }, 2000)) << "no refresh after the Sets";
  m_dispatcher.Drain();
  auto saved = SavedValues();
  EXPECT_EQ(saved[L"1.3.6.1.2.1.1.5.0"], L"renamed-host");
  EXPECT_EQ(saved[L"1.3.6.1.2.1.1.7.0"], L"12");
}

TEST_F(SimulerTest, WrongCommunityAndRefusedVersionGetNoAnswer) {
  StartAgent(false, true);
  LogCapture log(0);
  EXPECT_PRED2(Contains, Tool("snmpget", "2c", {"1.3.6.1.2.1.1.5.0"}, "Public"), "Timeout: No Response");
  EXPECT_PRED2(Contains, Tool("snmpget", "1", {"1.3.6.1.2.1.1.5.0"}), "Timeout: No Response");
  m_dispatcher.Drain();
  EXPECT_EQ(m_view->received.load(), 0);
}

// A 3,000-byte request is answered; v3, cut short, padded or without a binding list, not.
TEST_F(SimulerTest, OnlyWholeV1AndV2cRequestsAreAnsweredAndLargeOnesAreReadWhole) {
  StartAgent();
  LogCapture log(0);
  TestUdpSocket client;
  ASSERT_TRUE(client.Connect(m_port));
  const Bytes large = Request(0xA0, 1, 0x03000001, kSysName, "public", berbytes::Text(std::string(3000, 'q')), 4);
  EXPECT_TRUE(Answered(client, large, 0x03000001));
  Bytes cut = GetRequest(0x03000003);
  cut.pop_back();
  Bytes padded = GetRequest(0x03000004);
  padded.push_back(0x00);
  using berbytes::Tlv, berbytes::Cat, berbytes::Int;
  const Bytes bare = Tlv(0x30, Cat({Int(1), berbytes::Text("public"), Tlv(0xA0, Int(0x03000006, 4))}));
  for (const Bytes& bad : {Request(0xA0, 3, 0x03000002, kSysName, "public", berbytes::kNull, 4), cut, padded, bare})
    ASSERT_TRUE(client.Send(bad));
  ASSERT_TRUE(client.Send(GetRequest(0x03000005)));
  EXPECT_EQ(NextAnswerId(client), 0x03000005);
}

// Empty datagrams, longer ones than any request, random bytes.
TEST_F(SimulerTest, GarbageInterleavedWithRequestsNeverStopsTheWorker) {
  StartAgent();
  LogCapture log(0);
  TestUdpSocket client;
  ASSERT_TRUE(client.Connect(m_port));
  std::mt19937 random(20261207);
  int answered = 0;
  const int kRounds = 300;
  for (int round = 0; round < kRounds; ++round) {
    Bytes junk;
    if (round % 3 == 1) junk.assign(2049 + random() % 4000, 0x30);
    if (round % 3 == 2) {
      junk.resize(1 + random() % 400);
      for (auto& b : junk) b = static_cast<uint8_t>(random());
    }
    ASSERT_TRUE(client.Send(junk));
    const uint32_t id = 0x02000000 + static_cast<uint32_t>(round);
    answered += Answered(client, GetRequest(id), id) ? 1 : 0;
  }
  EXPECT_EQ(answered, kRounds);
  EXPECT_TRUE(m_engine.IsRunning());
}

// This test's thread saves as fast as it can while Sets arrive.
TEST_F(SimulerTest, SetsWhileTheViewSavesKeepTheListAndTheFileWhole) {
  StartAgent();
  TestUdpSocket client;
  ASSERT_TRUE(client.Connect(m_port));
  std::atomic<bool> done{false};
  std::thread saver([&] {
    while (!done.load()) CSimulatorFile::Save(&m_simulator);
  });
  const int kSets = 200;
  int answered = 0;
  for (int i = 0; i < kSets; ++i) {
    const uint32_t id = 0x03000000 + static_cast<uint32_t>(i);
    const Bytes set = Request(0xA3, 1, id, kSysName, "public", berbytes::Text("name-" + std::to_string(i)), 4);
    answered += Answered(client, set, id) ? 1 : 0;
  }
  done.store(true);
  saver.join();
  EXPECT_EQ(answered, kSets);
  m_dispatcher.Drain();
  ASSERT_TRUE(CSimulatorFile::Save(&m_simulator));
  EXPECT_EQ(SavedValues()[L"1.3.6.1.2.1.1.5.0"], L"name-" + std::to_wstring(kSets - 1));
}

// The shortcut encodes a text changed in the list again.
TEST_F(SimulerTest, AnswersFollowTheStoredValues) {
  m_engine.Configure(true, true, L"public", &m_simulator);
  const Bytes get = Request(0xA0, 1, 9, kSysName);
  ASSERT_TRUE(Fast(get));
  SetStoredText(L"1.3.6.1.2.1.1.5.0", L"changed");
  const auto changed = Fast(get);
  ASSERT_TRUE(changed);
  EXPECT_EQ(std::string(changed->end() - 7, changed->end()), "changed");
}

// A community is its exact octets on both paths, never a prefix or its display text.
TEST_F(SimulerTest, OnlyTheExactCommunityOctetsAreAnsweredOnBothPaths) {
  const std::string binary("\x01\x02\x00\x04", 4);
  const std::string cafe = "caf\xc3\xa9";
  const struct {
    std::string configured, sent;
    bool answered;
  } rows[] = {
      {"public", "public", true},     {cafe, cafe, true},
      {cafe, "caf\xe9", false},       {binary, binary, true},
      {binary, "01:02:00:04", false}, {"public", "publi", false},
      {"public", "publicX", false},   {"public", std::string("public\0", 7), false},
  };
  LogCapture log(0);
  for (const auto& row : rows) {
    SCOPED_TRACE("configured '" + row.configured + "', sent '" + row.sent + "'");
    std::wstring configured;
    for (char c : row.configured) configured.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    m_engine.Configure(true, true, configured, &m_simulator);
    for (uint8_t pdu : {uint8_t{0xA0}, uint8_t{0xA1}}) {
      const Bytes request = Request(pdu, 1, 78, kSysName, row.sent);
      const auto answer = FullPath(request);
      EXPECT_EQ(answer.has_value(), row.answered);
      if (row.answered && pdu == 0xA0) {
        EXPECT_EQ(answer, Response(1, 78, 0, 0, Binding(kSysName, berbytes::Text("sim-host")), row.sent));
      }
      const auto fast = Fast(request);
      EXPECT_EQ(fast ? fast : answer, answer);
    }
  }
}

// A version the simulator does not accept is never answered, on either path;
// one that is answered gets the same answer from both.
TEST_F(SimulerTest, OnlyAcceptedVersionsAreAnsweredOnBothPaths) {
  LogCapture log(0);
  for (const auto& [v1, v2c] : {std::pair{true, false}, std::pair{false, true}, std::pair{true, true}}) {
    m_engine.Configure(v1, v2c, L"public", &m_simulator);
    for (uint8_t version : {uint8_t{0}, uint8_t{1}, uint8_t{3}}) {
      SCOPED_TRACE("v1 " + std::to_string(v1) + ", v2c " + std::to_string(v2c) + ", version " +
                   std::to_string(version));
      const bool accepted = (version == 0 && v1) || (version == 1 && v2c);
      const Bytes request = Request(0xA0, version, 9, kSysName);
      const auto answer = FullPath(request);
      EXPECT_EQ(answer.has_value(), accepted);
      const auto fast = Fast(request);
      EXPECT_EQ(fast ? fast : answer, answer);
    }
  }
}

// A Set stores the octets it received and both paths serve them back.
TEST_F(SimulerTest, SetStoresTheReceivedOctetsNotTheirDisplay) {
  ASSERT_TRUE(m_simulator.AddValue(L"1.3.6.1.4.1.99999.5.0", L"Opaque", L"opaque"));
  m_engine.Configure(true, true, L"public", &m_simulator);
  const Arcs opaque = {1, 3, 6, 1, 4, 1, 99999, 5, 0};
  for (const std::string& octets : {std::string("\xff\xfe\x00\x01\x41", 5), std::string(), std::string("41:42")}) {
    SCOPED_TRACE(std::to_string(octets.size()) + " octets");
    for (const auto& [arcs, tag] : {std::pair{kSysName, uint8_t{0x04}}, std::pair{opaque, uint8_t{0x44}}}) {
      const Bytes value = berbytes::Tlv(tag, Bytes(octets.begin(), octets.end()));
      EXPECT_EQ(FullPath(Request(0xA3, 0, 5, arcs, "public", value)), Response(0, 5, 0, 0, Binding(arcs, value)));
      const std::wstring stored = StoredText(CAsn1Oid(arcs).GetText());
      EXPECT_TRUE(std::equal(stored.begin(), stored.end(), octets.begin(), octets.end(),
                             [](wchar_t w, char c) { return static_cast<uint32_t>(w) == static_cast<uint8_t>(c); }));
      const Bytes get = Request(0xA0, 1, 6, arcs);
      const Bytes served = Response(1, 6, 0, 0, Binding(arcs, value));
      EXPECT_EQ(FullPath(get), served);
      EXPECT_EQ(Fast(get).value_or(served), served);
    }
  }
}

// Past 2048 bytes: tooBig, no binding in v2c, the names with NULL in v1.
TEST_F(SimulerTest, AnswersLargerThanTheEncoderHoldsAreTooBig) {
  m_engine.Configure(true, true, L"public", &m_simulator);
  LogCapture log(0);
  int too_big = 0;
  for (size_t size = 1950; size <= 2010; ++size) {
    SetStoredText(L"1.3.6.1.2.1.1.5.0", std::wstring(size, L'v'));
    for (uint8_t version : {uint8_t{0}, uint8_t{1}}) {
      for (uint8_t pdu : {uint8_t{0xA0}, uint8_t{0xA1}}) {
        SCOPED_TRACE(std::to_string(size) + " octets, v" + std::to_string(version) + " pdu " + std::to_string(pdu));
        const Arcs asked = pdu == 0xA0 ? kSysName : Arcs{1, 3, 6, 1, 2, 1, 1, 4};
        const Bytes whole = Response(version, 11, 0, 0, Binding(kSysName, berbytes::Text(std::string(size, 'v'))));
        const Bytes refusal = Response(version, 11, 1, 0, version == 0 ? Binding(asked, berbytes::kNull) : Bytes());
        const Bytes request = Request(pdu, version, 11, asked);
        const auto answer = FullPath(request);
        ASSERT_TRUE(answer);
        EXPECT_EQ(*answer, whole.size() <= 2048 ? whole : refusal);
        too_big += whole.size() > 2048 ? 1 : 0;
        EXPECT_EQ(Fast(request).value_or(*answer), *answer);
      }
    }
  }
  EXPECT_GT(too_big, 0);
  // Bindings that fit one by one but not together.
  SetStoredText(L"1.3.6.1.2.1.1.5.0", std::wstring(150, L'v'));
  const std::vector<Arcs> thirteen(13, kSysName);
  Bytes nulls;
  for (const auto& name : thirteen) nulls = berbytes::Cat({nulls, Binding(name, berbytes::kNull)});
  EXPECT_EQ(FullPath(ManyRequest(0xA0, 0, 12, thirteen)), Response(0, 12, 1, 0, nulls));
}

// A Set answered tooBig is not made: Gauge32 FF FF FF FF echoes in five octets, one past 2048.
TEST_F(SimulerTest, ASetAnsweredTooBigChangesNothing) {
  const Arcs gauge = {1, 3, 6, 1, 2, 1, 2, 2, 1, 5, 1};
  const Bytes value = berbytes::Tlv(0x42, {0xFF, 0xFF, 0xFF, 0xFF});
  std::string community;
  Bytes request;
  for (size_t n = 1900; request.size() != 2048; ++n) {
    ASSERT_LT(n, 2048u);
    community.assign(n, 'c');
    request = Request(0xA3, 1, 12, gauge, community, value, 0);
  }
  m_engine.Configure(true, true, std::wstring(community.begin(), community.end()), &m_simulator);
  LogCapture log(0);
  EXPECT_EQ(FullPath(request), Response(1, 12, 1, 0, Bytes(), community));
  EXPECT_EQ(StoredText(L"1.3.6.1.2.1.2.2.1.5.1"), L"1000000000");
  m_dispatcher.Drain();
  EXPECT_EQ(m_view->refreshed.load(), 0);
}

// GetNext past the end mid-list; errors name the first binding at fault; a refused Set changes nothing.
TEST_F(SimulerTest, ManyBindingAnswersCarryEveryBindingAndTheFirstFault) {
  m_engine.Configure(true, true, L"public", &m_simulator);
  using berbytes::Cat, berbytes::kNull, berbytes::Text;
  const Arcs descr = {1, 3, 6, 1, 2, 1, 1, 1, 0}, object_id = {1, 3, 6, 1, 2, 1, 1, 2, 0},
             contact = {1, 3, 6, 1, 2, 1, 1, 4, 0}, counter = {1, 3, 6, 1, 2, 1, 2, 2, 1, 10, 1},
             last = {1, 3, 6, 1, 4, 1, 99999, 3, 0};
  LogCapture log(0);
  EXPECT_EQ(FullPath(ManyRequest(0xA1, 1, 21, {descr, last, {1, 3}})),
            Response(1, 21, 0, 0,
                     Cat({Binding(object_id, berbytes::Oid({1, 3, 6, 1, 4, 1, 99999, 1})), Binding(last, {0x82, 0x00}),
                          Binding(descr, Text("Tavelo test agent"))})));
  const Bytes big_arc = berbytes::Oid({1, 3, 6, 1ull << 32}), counter_2_32 = berbytes::Tlv(0x41, {1, 0, 0, 0, 0});
  const struct {
    uint8_t pdu, version;
    std::vector<Arcs> names;
    std::vector<Bytes> values;
    int64_t status, index;
  } errors[] = {
      {0xA1, 0, {descr, last}, {kNull, kNull}, 2, 2},
      {0xA3, 1, {kSysName, contact}, {Text("a"), Text("b")}, 2, 2},
      {0xA3, 1, {kSysName, object_id}, {Text("a"), big_arc}, 10, 2},
      {0xA3, 0, {kSysName, counter}, {Text("a"), counter_2_32}, 3, 2},
  };
  for (const auto& e : errors) {
    Bytes list;
    for (size_t i = 0; i < e.names.size(); ++i) list = Cat({list, Binding(e.names[i], e.values[i])});
    EXPECT_EQ(FullPath(ManyRequest(e.pdu, e.version, 22, e.names, 0, 0, e.values)),
              Response(e.version, 22, e.status, e.index, list));
  }
  EXPECT_EQ(StoredText(L"1.3.6.1.2.1.1.5.0"), L"sim-host");
  EXPECT_EQ(StoredText(L"1.3.6.1.2.1.2.2.1.10.1"), L"4294967295");
}

// A GetBulk answers what GetNexts of the same names answer; counts outside the list are bounded.
TEST_F(SimulerTest, GetBulkRepeatsEachRepeaterAndBoundsItsCounts) {
  m_engine.Configure(true, true, L"public", &m_simulator);
  const Arcs root = {1, 3}, first = m_simulator.values[0].oid.GetArcs();
  const auto next = [&](const std::vector<Arcs>& names) { return FullPath(ManyRequest(0xA1, 1, 31, names)); };
  EXPECT_EQ(FullPath(Bulk(31, 5, 4, {root, first})), next({root, first}));
  EXPECT_EQ(FullPath(Bulk(31, -3, 1, {root})), next({root}));
  EXPECT_EQ(FullPath(Bulk(31, 1, 0, {root, root})), next({root}));
  EXPECT_EQ(FullPath(Bulk(31, 1, -1, {root, root})), next({root}));
  const size_t n = m_simulator.values.size();
  const Arcs s8 = m_simulator.values[n - 2].oid.GetArcs(), s9 = m_simulator.values[n - 1].oid.GetArcs();
  const auto one = Bindings(next({s8, root}).value_or(Bytes())), two = Bindings(next({s9, first}).value_or(Bytes()));
  ASSERT_EQ(one.size() + two.size(), 4u);
  for (int64_t non_repeaters : {0, -3}) {
    EXPECT_EQ(FullPath(Bulk(31, non_repeaters, 2, {s8, root})),
              Response(1, 31, 0, 0, berbytes::Cat({one[0], one[1], two[0], two[1]})));
  }
}

// As many whole repetitions as fit in 2048 bytes; tooBig when not even one fits.
TEST_F(SimulerTest, GetBulkAnswersAreCutToWholeRepetitionsThatFit) {
  for (int i = 1; i <= 40; ++i)
    ASSERT_TRUE(m_simulator.AddStoredValue(L"1.3.6.1.4.1.99999.30." + std::to_wstring(i), L"Octet String",
                                           std::wstring(100 + i * 7 % 60, L'a' + i % 26)));
  ASSERT_TRUE(CSimulatorFile::Save(&m_simulator));
  const Arcs start_a = {1, 3, 6, 1, 4, 1, 99999, 30}, start_b = {1, 3, 6, 1, 4, 1, 99999, 30, 20};
  // The bindings of the values after each start, in order, as Gets answer them.
  m_engine.Configure(true, true, L"public", &m_simulator);
  auto chain = [&](const Arcs& from) {
    std::vector<Bytes> out;
    for (const CSimulatorValue& v : m_simulator.values) {
      if (CAsn1Oid::Compare(v.oid.GetArcs(), from) <= 0) continue;
      const auto bindings = Bindings(FullPath(Request(0xA0, 1, 40, v.oid.GetArcs())).value_or(Bytes()));
      if (bindings.size() == 1) out.push_back(bindings[0]);
    }
    return out;
  };
  const std::vector<Bytes> a = chain(start_a), b = chain(start_b);
  ASSERT_EQ(a.size(), 40u);
  ASSERT_EQ(b.size(), 20u);
  // Each community octet lengthens the answer by one: every size up to the limit is met.
  int exact = 0;
  for (size_t community = 1; community <= 400; ++community) {
    const std::string name(community, 'c');
    m_engine.Configure(true, true, std::wstring(name.begin(), name.end()), &m_simulator);
    SCOPED_TRACE("community of " + std::to_string(community));
    using namespace berbytes;
    const Bytes list = Cat({Binding(kSysName, kNull), Binding(start_a, kNull), Binding(start_b, kNull)});
    const Bytes request =
        Tlv(0x30, Cat({Int(1), Text(name), Tlv(0xA5, Cat({Int(41), Int(1), Int(0x7FFFFFFF), Tlv(0x30, list)}))}));
    const auto answer = FullPath(request);
    ASSERT_TRUE(answer);
    EXPECT_LE(answer->size(), 2048u);
    const auto bindings = Bindings(*answer);
    ASSERT_GE(bindings.size(), 3u);
    ASSERT_EQ((bindings.size() - 1) % 2, 0u) << "a repetition was cut in two";
    const size_t repetitions = (bindings.size() - 1) / 2;
    ASSERT_LT(repetitions, 20u);
    for (size_t r = 0; r < repetitions; ++r) {
      EXPECT_EQ(bindings[1 + 2 * r], a[r]);
      EXPECT_EQ(bindings[2 + 2 * r], b[r]);
    }
    // One more whole repetition would not have fit.
    EXPECT_GT(answer->size() + a[repetitions].size() + b[repetitions].size(), 2048u);
    exact += answer->size() == 2048 ? 1 : 0;
  }
  EXPECT_GT(exact, 0);
  // A first repetition, or a non-repeater, too large for the datagram: tooBig.
  m_engine.Configure(true, true, L"public", &m_simulator);
  SetStoredText(L"1.3.6.1.4.1.99999.30.1", std::wstring(2000, L'z'));
  LogCapture log(0);
  for (int64_t non_repeaters : {0, 1})
    EXPECT_EQ(FullPath(Bulk(42, non_repeaters, 5, {start_a})), Response(1, 42, 1, 0, Bytes()));
}

// snmpbulkwalk lists exactly what snmpwalk lists, long values cutting answers short.
TEST_F(SimulerTest, BulkWalksListExactlyWhatWalksList) {
  for (int i = 1; i <= 60; ++i) {
    const std::wstring arc = std::to_wstring(i);
    ASSERT_TRUE(m_simulator.AddStoredValue(L"1.3.6.1.4.1.99999.40." + arc + L".0", L"Octet String",
                                           std::wstring(static_cast<size_t>(i * 37 % 420), L'k')));
    ASSERT_TRUE(m_simulator.AddStoredValue(L"1.3.6.1.2.1.2.2.1.1." + arc, L"Integer", arc));
  }
  ASSERT_TRUE(CSimulatorFile::Save(&m_simulator));
  StartAgent();
  for (const char* subtree : {"1.3.6.1", "1.3.6.1.4.1.99999.40"}) {
    SCOPED_TRACE(subtree);
    const std::string walk = Tool("snmpwalk", "2c", {subtree});
    ASSERT_GE(Lines(walk).size(), 1u);
    for (const char* count : {"1", "200"}) {
      SCOPED_TRACE(count);
      EXPECT_EQ(Tool("snmpbulkwalk", "2c", {"-Cr" + std::string(count), subtree}), walk);
    }
  }
}

// A stored file through Net-SNMP: shuffled values walk in order, -x octets survive a restart.
TEST_F(SimulerTest, NetSnmpRoundTripsThroughAStoredFile) {
  const std::wstring base = L"1.3.6.1.4.1.99999.7.";
  std::vector<int> order(150);
  std::iota(order.begin(), order.end(), 1);
  std::shuffle(order.begin(), order.end(), std::mt19937(7));
  FileBuilder file;
  file.Header(1, static_cast<uint32_t>(order.size()));
  for (int i : order) file.Value(base + std::to_wstring(i), 0x04, L"v" + std::to_wstring(i));
  WriteBytes(m_dir.path() / "agent.tav", file.bytes());
  ASSERT_TRUE(CSimulatorFile::Load(&m_simulator));
  StartAgent();
  std::vector<std::string> walk;
  for (int i = 1; i <= 150; ++i)
    walk.push_back("." + Narrow(base) + std::to_string(i) + " = STRING: \"v" + std::to_string(i) + "\"");
  std::vector<std::string> walked = Lines(Tool("snmpwalk", "2c", {Narrow(base.substr(0, base.size() - 1))}));
  ASSERT_FALSE(walked.empty());
  EXPECT_PRED2(Contains, walked.back(), "No more variables left in this MIB View");
  walked.pop_back();
  EXPECT_EQ(walked, walk);

  const std::string hex = ".1.3.6.1.4.1.99999.7.1 = Hex-STRING: FF FE 00 01 41 \n";
  EXPECT_EQ(Tool("snmpset", "2c", {Narrow(base) + "1", "x", "FFFE000141"}), hex);
  EXPECT_TRUE(WaitUntil([&] { return m_view->refreshed.load() >= 1; }, 2000)) << "no refresh after the Set";
  m_dispatcher.Drain();
  EXPECT_PRED2(Contains, Tool("snmpset", "2c", {Narrow(base) + "2", "s", std::string(3000, 'x')}), "tooBig");
  m_engine.Stop();
  ASSERT_TRUE(m_engine.WaitIdle(5000));
  ASSERT_TRUE(CSimulatorFile::Load(&m_simulator));
  EXPECT_EQ(m_simulator.values.size(), 150u);
  StartAgent();
  EXPECT_EQ(Tool("snmpget", "2c", {"-Ox", Narrow(base) + "1", Narrow(base) + "2"}),
            hex + ".1.3.6.1.4.1.99999.7.2 = Hex-STRING: 76 32 \n");
}
