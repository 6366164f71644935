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
#include <optional>
#include <random>
#include <thread>

using namespace simtest;
using namespace std::chrono_literals;
using berbytes::Bytes;

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
const std::vector<uint64_t> kSysName = {1, 3, 6, 1, 2, 1, 1, 5, 0};

std::string Narrow(const std::wstring& text) { return quillog::WideToUtf8(text); }
bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A request with one binding (a NULL value unless given), its id in `id_width` octets.
Bytes Request(uint8_t pdu, uint8_t version, int64_t id, const std::vector<uint64_t>& arcs,
              const std::string& community = "public", const Bytes& value = berbytes::kNull, size_t id_width = 8) {
  return berbytes::Message(version, community, pdu, berbytes::Int(id, id_width), {{berbytes::Oid(arcs), value}});
}
// v2c GetRequest and SetRequest (to an OCTET STRING) of sysName.0, 4-octet ids.
Bytes GetRequest(uint32_t id) { return Request(0xA0, 1, id, kSysName, "public", berbytes::kNull, 4); }
Bytes SetRequest(uint32_t id, const std::string& text) {
  return Request(0xA3, 1, id, kSysName, "public", berbytes::Text(text), 4);
}

// The answer the engine must give, built independently of the codec.
Bytes Response(uint8_t version, int64_t id, int64_t status, int64_t index, const Bytes& list,
               const std::string& community = "public") {
  using namespace berbytes;
  const Bytes pdu = Tlv(0xA2, Cat({Int(id), Int(status), Int(index), Tlv(0x30, list)}));
  return Tlv(0x30, Cat({Int(version), Text(community), pdu}));
}
Bytes Binding(const std::vector<uint64_t>& arcs, const Bytes& value) {
  return berbytes::Tlv(0x30, berbytes::Cat({berbytes::Oid(arcs), value}));
}

// A request with many bindings, NULL values, and two integers after its id
// (error fields, or non-repeaters and max-repetitions of a GetBulk).
Bytes ManyRequest(uint8_t pdu, uint8_t version, int64_t id, const std::vector<std::vector<uint64_t>>& names,
                  int64_t second = 0, int64_t third = 0, const std::vector<Bytes>& values = {}) {
  using namespace berbytes;
  Bytes list;
  for (size_t i = 0; i < names.size(); ++i)
    list = Cat({list, Binding(names[i], i < values.size() ? values[i] : kNull)});
  const Bytes body = Tlv(pdu, Cat({Int(id), Int(second), Int(third), Tlv(0x30, list)}));
  return Tlv(0x30, Cat({Int(version), Text("public"), body}));
}
Bytes Bulk(int64_t id, int64_t non_repeaters, int64_t max_repetitions, const std::vector<std::vector<uint64_t>>& names,
           uint8_t version = 1) {
  return ManyRequest(0xA5, version, id, names, non_repeaters, max_repetitions);
}

// An answer read back without the codec: its request id, error fields and bindings.
struct Parsed {
  int64_t id = -1, status = -1, index = -1;
  std::vector<Bytes> bindings;  // whole binding TLVs
};
std::optional<Parsed> Parse(const Bytes& data) {
  const uint8_t* at = data.data();
  const uint8_t* const end = at + data.size();
  const uint8_t* body = nullptr;
  size_t size = 0;
  uint8_t tag = 0;
  if (!scripted::NextTlv(at, end, &tag, &body, &size) || tag != 0x30 || at != end) return std::nullopt;
  const uint8_t* m = body;
  const uint8_t* const message_end = body + size;
  for (uint8_t want : {uint8_t{0x02}, uint8_t{0x04}, uint8_t{0xA2}})
    if (!scripted::NextTlv(m, message_end, &tag, &body, &size) || tag != want) return std::nullopt;
  Parsed parsed;
  const uint8_t* p = body;
  const uint8_t* const pdu_end = body + size;
  for (int64_t* field : {&parsed.id, &parsed.status, &parsed.index}) {
    if (!scripted::NextTlv(p, pdu_end, &tag, &body, &size) || tag != 0x02) return std::nullopt;
    *field = scripted::ReadInt(body, size);
  }
  if (!scripted::NextTlv(p, pdu_end, &tag, &body, &size) || tag != 0x30 || p != pdu_end) return std::nullopt;
  for (const uint8_t *l = body, *list_end = body + size; l < list_end;) {
    const uint8_t* binding = l;
    if (!scripted::NextTlv(l, list_end, &tag, &body, &size) || tag != 0x30) return std::nullopt;
    parsed.bindings.emplace_back(binding, l);
  }
  return parsed;
}
int64_t AnswerId(const Bytes& data) {
  const auto parsed = Parse(data);
  return parsed ? parsed->id : -1;
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

// The ids of the answers received until the one with `last` (2 s each at most).
std::vector<int64_t> IdsUntil(const TestUdpSocket& client, int64_t last) {
  std::vector<int64_t> ids;
  while (auto answer = client.Receive(2000)) {
    ids.push_back(AnswerId(*answer));
    if (ids.back() == last) break;
  }
  return ids;
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
    if (sub_code == MSG_VIEW_SIMULATOR_STARTED) ++started;
    if (sub_code == MSG_VIEW_SIMULATOR_FINISHED) ++finished;
    if (sub_code == MSG_VIEW_SIMULATOR_REFRESH) {
      CSimulatorFile::Save(m_simulator);
      ++refreshed;
    }
    return 0;
  }
  std::atomic<int> received{0}, started{0}, finished{0}, refreshed{0};

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
    EXPECT_EQ(by_oid.size(), std::size(kValues));
    EXPECT_EQ(stored.values.size(), std::size(kValues));
    return by_oid;
  }
  std::wstring StoredText(const std::wstring& oid) {
    auto lock = m_simulator.LockValues();
    for (const CSimulatorValue& v : m_simulator.values) {
      if (v.oid.GetText() == oid) return v.value;
    }
    return L"<none>";
  }
  void SetStoredText(const std::wstring& oid, const std::wstring& text) {
    auto lock = m_simulator.LockValues();
    for (CSimulatorValue& v : m_simulator.values) {
      if (v.oid.GetText() == oid) v.value = text;
    }
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
    // Pollers ask for many variables in one request: every one is answered, in order.
    std::vector<std::string> oids, values;
    for (const Stored& v : kValues) {
      oids.push_back(Narrow(v.oid));
      values.push_back(shown.at(v.oid));
    }
    EXPECT_EQ(Lines(Tool("snmpget", version, oids)), values);
    // An unknown one gets noSuchName with its index in both versions;
    // snmpget then asks again without it.
    const std::string out = Tool("snmpget", version, {"1.3.6.1.2.1.1.5.0", "1.3.6.1.2.1.1.4.0", "1.3.6.1.2.1.1.1.0"});
    EXPECT_PRED2(Contains, out, "noSuchName");
    EXPECT_PRED2(Contains, out, "Failed object: .1.3.6.1.2.1.1.4.0");
    EXPECT_PRED2(Contains, out, kSysNameLine + shown.at(L"1.3.6.1.2.1.1.1.0") + "\n");
    std::vector<std::string> lines = Lines(Tool("snmpwalk", version, {"1.3.6.1"}));
    ASSERT_FALSE(lines.empty());
    EXPECT_PRED2(Contains, lines.back(),
                 std::string(version) == "1" ? "End of MIB" : "No more variables left in this MIB View");
    lines.pop_back();
    EXPECT_EQ(lines, walk);
  }
  m_dispatcher.Drain();
  EXPECT_GE(m_view->received.load(), 2 * 12);
}

TEST_F(SimulerTest, GetNextFollowsListOrderForValuesAddedAfterTheSave) {
  m_simulator.Reset();
  m_simulator.kind = CSimulatorEntry::KindSimulator;
  ASSERT_TRUE(m_simulator.AddValue(L"1.3.6.1.2.1.1.5.0", L"Octet String", L"five"));
  ASSERT_TRUE(m_simulator.AddValue(L"1.3.6.1.2.1.1.1.0", L"Octet String", L"one"));
  StartAgent();
  EXPECT_EQ(Tool("snmpgetnext", "2c", {"1.3.6.1.2.1.1"}), ".1.3.6.1.2.1.1.5.0 = STRING: \"five\"\n");
}

// A Set of another type, of an unknown OID, or of two variables one of which
// cannot be set changes nothing, in the list or in the file; one that can be
// made changes every variable it names, and the view saves them.
TEST_F(SimulerTest, SetsChangeAllTheyNameOrNothingAndTheViewSavesThem) {
  StartAgent();
  const std::vector<uint8_t> before = ReadBytes(m_dir.path() / "agent.tav");
  {
    LogCapture log(0);
    for (const char* version : {"1", "2c"}) {
      SCOPED_TRACE(version);
      EXPECT_PRED2(Contains, Tool("snmpset", version, {"1.3.6.1.2.1.1.5.0", "i", "5"}), "wrongType");
      std::string out = Tool("snmpset", version, {"1.3.6.1.2.1.1.5.0", "s", "lost", "1.3.6.1.2.1.1.7.0", "s", "x"});
      EXPECT_PRED2(Contains, out, "wrongType");
      EXPECT_PRED2(Contains, out, "Failed object: .1.3.6.1.2.1.1.7.0");
      out = Tool("snmpset", version, {"1.3.6.1.2.1.1.5.0", "s", "lost", "1.3.6.1.2.1.1.4.0", "s", "x"});
      EXPECT_PRED2(Contains, out, "noSuchName");
      EXPECT_PRED2(Contains, out, "Failed object: .1.3.6.1.2.1.1.4.0");
    }
    EXPECT_EQ(Tool("snmpget", "2c", {"1.3.6.1.2.1.1.5.0", "1.3.6.1.2.1.1.7.0"}),
              kSysNameLine + ".1.3.6.1.2.1.1.7.0 = INTEGER: -72\n");
    m_dispatcher.Drain();
    EXPECT_EQ(m_view->refreshed.load(), 0);
    EXPECT_EQ(ReadBytes(m_dir.path() / "agent.tav"), before);
  }
  EXPECT_EQ(Tool("snmpset", "2c", {"1.3.6.1.2.1.1.5.0", "s", "renamed-host", "1.3.6.1.2.1.1.7.0", "i", "9"}),
            ".1.3.6.1.2.1.1.5.0 = STRING: \"renamed-host\"\n.1.3.6.1.2.1.1.7.0 = INTEGER: 9\n");
  EXPECT_EQ(Tool("snmpset", "1", {"1.3.6.1.2.1.1.7.0", "i", "12"}), ".1.3.6.1.2.1.1.7.0 = INTEGER: 12\n");
  EXPECT_EQ(Tool("snmpget", "1", {"1.3.6.1.2.1.1.5.0"}), ".1.3.6.1.2.1.1.5.0 = STRING: \"renamed-host\"\n");
  // The view saves on each refresh; the file then holds the new values.
  EXPECT_TRUE(WaitUntil([&] { return m_view->refreshed.load() >= 2; }, 2000)) << "no refresh after the Sets";
  m_dispatcher.Drain();
  EXPECT_EQ(m_view->refreshed.load(), 2);
  auto saved = SavedValues();
  EXPECT_EQ(saved[L"1.3.6.1.2.1.1.5.0"], L"renamed-host");
  EXPECT_EQ(saved[L"1.3.6.1.2.1.1.7.0"], L"12");
}

TEST_F(SimulerTest, WrongCommunityAndRefusedVersionGetNoAnswer) {
  StartAgent(false, true);
  LogCapture log(0);
  EXPECT_PRED2(Contains, Tool("snmpget", "2c", {"1.3.6.1.2.1.1.5.0"}, "Public"), "Timeout: No Response");
  EXPECT_TRUE(log.HasContaining(L"CThreadActionSimuler : Wrong community name (Public)"));
  EXPECT_PRED2(Contains, Tool("snmpget", "1", {"1.3.6.1.2.1.1.5.0"}), "Timeout: No Response");
  EXPECT_TRUE(log.HasContaining(L"CThreadActionSimuler : SNMP Version 1 messages are not allowed"));
  // Communities that begin like the configured one, or that it begins
  // like, get no answer from the serve loop; the right one after them does.
  TestUdpSocket client;
  ASSERT_TRUE(client.Connect(m_port));
  for (const std::string& sent :
       {std::string("publicX"), std::string("publ"), std::string(), std::string("public\0", 7)})
    ASSERT_TRUE(client.Send(Request(0xA0, 1, 0x05000001, kSysName, sent, berbytes::kNull, 4)));
  ASSERT_TRUE(client.Send(GetRequest(0x05000002)));
  EXPECT_EQ(IdsUntil(client, 0x05000002), std::vector<int64_t>{0x05000002});
  EXPECT_EQ(Tool("snmpget", "2c", {"1.3.6.1.2.1.1.5.0"}), kSysNameLine);
  m_dispatcher.Drain();
  EXPECT_EQ(m_view->received.load(), 2);
}

TEST_F(SimulerTest, OnlyWholeV1AndV2cRequestsAreAnsweredAndLargeOnesAreReadWhole) {
  StartAgent();
  LogCapture log(0);
  TestUdpSocket client;
  ASSERT_TRUE(client.Connect(m_port));
  // A GetRequest of over 3,000 bytes (its binding carries a long value).
  const Bytes large = Request(0xA0, 1, 0x03000001, kSysName, "public", berbytes::Text(std::string(3000, 'q')), 4);
  EXPECT_TRUE(Answered(client, large, 0x03000001));
  // Version 3, a request cut short, one with a byte after it, one without a
  // binding: no answer.
  Bytes cut = GetRequest(0x03000003);
  cut.pop_back();
  Bytes padded = GetRequest(0x03000004);
  padded.push_back(0x00);
  using berbytes::Tlv, berbytes::Cat, berbytes::Int;
  const Bytes bare = Tlv(0x30, Cat({Int(1), berbytes::Text("public"), Tlv(0xA0, Int(0x03000006, 4))}));
  for (const Bytes& bad : {Request(0xA0, 3, 0x03000002, kSysName, "public", berbytes::kNull, 4), cut, padded, bare})
    ASSERT_TRUE(client.Send(bad));
  ASSERT_TRUE(client.Send(GetRequest(0x03000005)));  // answered in turn, after the refused ones
  EXPECT_EQ(IdsUntil(client, 0x03000005), std::vector<int64_t>{0x03000005});
  EXPECT_EQ(log.CountContaining(L"CThreadActionSimuler : SNMP version field 3 is not answered", QUILLOG_WARNING), 1u);
  EXPECT_EQ(log.CountContaining(L"The BER lengths do not add up", QUILLOG_WARNING), 2u);
}

TEST_F(SimulerTest, GarbageInterleavedWithRequestsNeverStopsTheWorker) {
  StartAgent();
  LogCapture log(0);
  TestUdpSocket client;
  ASSERT_TRUE(client.Connect(m_port));
  std::mt19937 random(20261207);
  int answered = 0;
  const int kRounds = 300;
  for (int round = 0; round < kRounds; ++round) {
    // An empty datagram, one longer than any request can be, random bytes.
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
  EXPECT_GE(log.CountContaining(L"CBerBuffer::CheckPointer() ==> new size 0 is not correct"), 1u);
  EXPECT_EQ(Tool("snmpget", "2c", {"1.3.6.1.2.1.1.5.0"}), kSysNameLine);
}

TEST_F(SimulerTest, StopEndsABlockedWorkerWhichCanBeStartedAgain) {
  StartAgent();
  EXPECT_TRUE(m_engine.Stop());
  EXPECT_TRUE(m_engine.WaitIdle(3000));
  EXPECT_FALSE(m_engine.IsRunning());
  m_dispatcher.Drain();
  EXPECT_EQ(m_view->started.load(), 1);
  EXPECT_EQ(m_view->finished.load(), 1);
  EXPECT_PRED2(Contains, Tool("snmpget", "2c", {"1.3.6.1.2.1.1.5.0"}), "Timeout");
  StartAgent();
  EXPECT_EQ(Tool("snmpget", "2c", {"1.3.6.1.2.1.1.5.0"}), kSysNameLine);
}

TEST_F(SimulerTest, APortAlreadyTakenEndsTheRunWithoutServing) {
  TestUdpSocket taken(INADDR_ANY);
  ASSERT_TRUE(taken.Ok());
  LogCapture log(0);
  ASSERT_TRUE(m_engine.Start(taken.Port(), true, true, L"public", &m_simulator));
  EXPECT_FALSE(m_engine.WaitBegun(5000));
  EXPECT_TRUE(m_engine.WaitIdle(5000));
  EXPECT_FALSE(m_engine.IsRunning());
  EXPECT_TRUE(log.HasContaining(L"Error while creating UDP socket"));
}

// The view saves on every refresh; this test's thread saves as fast as it can.
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
    answered += Answered(client, SetRequest(id, "name-" + std::to_string(i)), id) ? 1 : 0;
  }
  done.store(true);
  saver.join();
  EXPECT_EQ(answered, kSets);
  m_dispatcher.Drain();
  ASSERT_TRUE(CSimulatorFile::Save(&m_simulator));
  EXPECT_EQ(SavedValues()[L"1.3.6.1.2.1.1.5.0"], L"name-" + std::to_wstring(kSets - 1));
}

// The shortcut for plain Get and GetNext requests must answer exactly as the
// element-list path does, byte for byte, for every kind of stored value.
TEST_F(SimulerTest, FastAnswersAreTheSameBytesAsTheFullPath) {
  ASSERT_TRUE(m_simulator.AddValue(L"1.3.6.1.4.1.99999.4.0", L"Boolean", L"1"));
  ASSERT_TRUE(m_simulator.AddValue(L"1.3.6.1.4.1.99999.5.0", L"Opaque", L"opaque"));
  ASSERT_TRUE(m_simulator.AddValue(L"1.3.6.1.4.1.99999.6.0", L"Octet String", std::wstring(300, L'w')));
  ASSERT_TRUE(m_simulator.AddValue(L"1.3.6.1.4.1.99999.7.0", L"Integer", L"-129"));
  ASSERT_TRUE(m_simulator.AddValue(L"1.3.6.1.4.1.99999.11.0", L"Boolean", L"true"));
  // Values AddValue refuses, put in the list directly: the engine copes with
  // whatever the list holds.
  auto put = [&](const wchar_t* oid, uint8_t type, const wchar_t* text) {
    CSimulatorValue value;
    value.oid = CAsn1Oid(oid);
    value.type = type;
    value.value = text;
    m_simulator.values.push_back(value);
  };
  put(L"1.3.6.1.4.1.99999.8.0", 0x40, L"1.2.3");  // logs: full path only
  put(L"1.3.6.1.4.1.99999.9.0", 0x06, L"5.3");    // invalid OID value
  put(L"1.3.6.1.4.1.99999.10.0", 0x42, L"4294967296");
  put(L"1.3.6.1.4.1.18446744073709551615", 0x04, L"big arc");
  m_engine.Configure(true, true, L"public", &m_simulator);

  // Each value's OID, one arc longer and one shorter, and OIDs between them.
  std::vector<std::vector<uint64_t>> oids = {{1, 3}, {1, 3, 6, 1, 2, 1, 1}, {2, 39, 1}, {1, 3, 6, 1, 4, 1, 99999, 99}};
  for (const CSimulatorValue& v : m_simulator.values) {
    std::vector<uint64_t> arcs = v.oid.GetArcs();
    oids.push_back(arcs);
    arcs.push_back(0);
    oids.push_back(arcs);
    arcs.resize(arcs.size() - 2);
    oids.push_back(arcs);
  }
  int fast = 0;
  LogCapture log(0);
  for (uint8_t pdu : {uint8_t{0xA0}, uint8_t{0xA1}}) {
    for (uint8_t version : {uint8_t{0}, uint8_t{1}}) {
      for (int64_t id : {int64_t{0}, int64_t{127}, int64_t{128}, int64_t{-1}, int64_t{0x7FFFFFFF}, int64_t{1} << 40}) {
        for (const auto& oid : oids) {
          const Bytes request = Request(pdu, version, id, oid);
          const auto shortcut = Fast(request);
          if (!shortcut) continue;
          ++fast;
          ASSERT_EQ(shortcut, FullPath(request)) << "pdu " << int(pdu) << " version " << int(version) << " id " << id;
        }
      }
    }
  }
  EXPECT_GT(fast, 600);
  // A Boolean stored as the codec's text "true" goes out as TRUE (01).
  const auto boolean = FullPath(Request(0xA0, 1, 9, {1, 3, 6, 1, 4, 1, 99999, 11, 0}));
  ASSERT_TRUE(boolean);
  EXPECT_EQ(Bytes(boolean->end() - 3, boolean->end()), (Bytes{0x01, 0x01, 0x01}));
  // Only the full path's own complaints about the two broken values are logged.
  for (const std::wstring& line : log.Messages()) {
    EXPECT_TRUE(line.find(L"1.2.3") != std::wstring::npos || line.find(L"OID") != std::wstring::npos ||
                line.find(L"first number") != std::wstring::npos ||
                line.find(L"Unable to encode") != std::wstring::npos)
        << quillog::WideToUtf8(line);
  }
  // Values whose encoding logs something, other communities and Sets take the full path.
  EXPECT_FALSE(Fast(Request(0xA0, 1, 9, {1, 3, 6, 1, 4, 1, 99999, 8, 0})));
  EXPECT_FALSE(Fast(Request(0xA0, 1, 9, kSysName, "Public")));
  EXPECT_FALSE(Fast(SetRequest(0x01000001, "x")));
  // A changed text is encoded again, not served from the old encoding.
  const Bytes get = Request(0xA0, 1, 9, kSysName);
  ASSERT_TRUE(Fast(get));
  SetStoredText(L"1.3.6.1.2.1.1.5.0", L"changed");
  const auto changed = Fast(get);
  ASSERT_TRUE(changed);
  EXPECT_EQ(std::string(changed->end() - 7, changed->end()), "changed");
}

// A community is its octets: neither path takes one that only begins like
// the configured one, nor one the configured one only begins like; UTF-8 or
// binary ones match exactly those octets, never their display text.
TEST_F(SimulerTest, OnlyTheExactCommunityOctetsAreAnsweredOnBothPaths) {
  struct Row {
    std::string configured;
    std::string sent;
    bool answered;
  };
  const std::string binary("\x01\x02\x00\x04", 4);
  std::vector<Row> rows = {
      {"public", "public", true},
      {"caf\xc3\xa9", "caf\xc3\xa9", true},
      {"caf\xc3\xa9", "caf\xe9", false},
      {"caf\xc3\xa9", "63:61:66:c3:a9", false},
      {binary, binary, true},
      {binary, "01:02:00:04", false},
      {binary, binary.substr(0, 3), false},
      {"01:02:00:04", binary, false},
  };
  for (const std::string sent :
       {"", "p", "pub", "publi", "publicX", "public ", "Public", "PUBLIC", "xpublic", "privat", "publ\xc3\xa9"})
    rows.push_back({"public", sent, false});
  rows.push_back({"public", std::string("public\0", 7), false});
  LogCapture log(0);
  for (const Row& row : rows) {
    SCOPED_TRACE("configured '" + row.configured + "', sent '" + row.sent + "'");
    // std::string's chars are signed: widen them as octets.
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
      if (fast) {
        EXPECT_EQ(fast, answer);
      }
    }
  }
}

// A Set stores the octets it received, whatever they are, and both paths
// serve them back unchanged; the answer echoes them too.
TEST_F(SimulerTest, SetStoresTheReceivedOctetsNotTheirDisplay) {
  ASSERT_TRUE(m_simulator.AddValue(L"1.3.6.1.4.1.99999.5.0", L"Opaque", L"opaque"));
  m_engine.Configure(true, true, L"public", &m_simulator);
  const std::vector<uint64_t> opaque = {1, 3, 6, 1, 4, 1, 99999, 5, 0};
  const std::string samples[] = {std::string("\xff\xfe\x00\x01\x41", 5),
                                 std::string("\x00", 1),
                                 "",
                                 "41:42",
                                 "plain text",
                                 std::string(300, '\x80')};
  for (uint8_t version : {uint8_t{0}, uint8_t{1}}) {
    for (const std::string& octets : samples) {
      SCOPED_TRACE("v" + std::to_string(version) + " " + std::to_string(octets.size()) + " octets");
      for (const auto& [arcs, tag] : {std::pair{kSysName, uint8_t{0x04}}, std::pair{opaque, uint8_t{0x44}}}) {
        const Bytes value = berbytes::Tlv(tag, Bytes(octets.begin(), octets.end()));
        EXPECT_EQ(FullPath(Request(0xA3, version, 5, arcs, "public", value)),
                  Response(version, 5, 0, 0, Binding(arcs, value)));
        const std::wstring stored = StoredText(CAsn1Oid(arcs).GetText());
        EXPECT_TRUE(std::equal(stored.begin(), stored.end(), octets.begin(), octets.end(),
                               [](wchar_t w, char c) { return static_cast<uint32_t>(w) == static_cast<uint8_t>(c); }));
        const Bytes get = Request(0xA0, version, 6, arcs);
        const Bytes served = Response(version, 6, 0, 0, Binding(arcs, value));
        EXPECT_EQ(FullPath(get), served);
        const auto fast = Fast(get);
        if (fast) {
          EXPECT_EQ(fast, served);
        }
      }
    }
  }
}

// A Set whose value does not parse for the stored type (what a Get would
// then serve is made up) is refused: badValue in SNMPv1, wrongValue in
// SNMPv2c, and nothing changes.
TEST_F(SimulerTest, SetOfAValueItsTypeCannotHoldChangesNothing) {
  m_engine.Configure(true, true, L"public", &m_simulator);
  LogCapture log(0);
  const std::pair<std::vector<uint64_t>, Bytes> rows[] = {
      {{1, 3, 6, 1, 2, 1, 2, 2, 1, 10, 1}, berbytes::Tlv(0x41, {0x01, 0x00, 0x00, 0x00, 0x00})},  // Counter32 2^32
      {{1, 3, 6, 1, 2, 1, 4, 20, 1, 1, 10, 0, 0, 1}, berbytes::Tlv(0x40, {10, 0, 0, 1, 5})},      // five octets
      {{1, 3, 6, 1, 2, 1, 1, 2, 0}, berbytes::Oid({1, 3, 6, 1, 4, 1, 1ull << 32})},               // a 33-bit arc
  };
  for (uint8_t version : {uint8_t{0}, uint8_t{1}}) {
    for (const auto& [arcs, value] : rows) {
      const std::wstring oid = CAsn1Oid(arcs).GetText();
      SCOPED_TRACE(Narrow(oid));
      const std::wstring before = StoredText(oid);
      const auto answer = FullPath(Request(0xA3, version, 8, arcs, "public", value));
      ASSERT_TRUE(answer);
      // Request id, error status and index (the codec echoes an IpAddress in four octets).
      const Bytes errors = berbytes::Cat({berbytes::Int(8), berbytes::Int(version == 0 ? 3 : 10), berbytes::Int(1)});
      EXPECT_NE(std::search(answer->begin(), answer->end(), errors.begin(), errors.end()), answer->end());
      EXPECT_EQ(StoredText(oid), before);
    }
  }
  m_dispatcher.Drain();
  EXPECT_EQ(m_view->refreshed.load(), 0);
  EXPECT_TRUE(log.HasContaining(L"set to 1.3.6.1.2.1.2.2.1.10.1 is refused"));
}

// An answer that does not fit the encoder's block is tooBig (1) with index
// 0: no binding in SNMPv2c, the requested OID with NULL in SNMPv1. Up to the
// limit the value itself is served.
TEST_F(SimulerTest, AnswersLargerThanTheEncoderHoldsAreTooBig) {
  m_engine.Configure(true, true, L"public", &m_simulator);
  LogCapture log(0);
  int too_big = 0;
  for (size_t size = 1950; size <= 2010; ++size) {
    SetStoredText(L"1.3.6.1.2.1.1.5.0", std::wstring(size, L'v'));
    for (uint8_t version : {uint8_t{0}, uint8_t{1}}) {
      for (uint8_t pdu : {uint8_t{0xA0}, uint8_t{0xA1}}) {
        SCOPED_TRACE(std::to_string(size) + " octets, v" + std::to_string(version) + " pdu " + std::to_string(pdu));
        const std::vector<uint64_t> asked = pdu == 0xA0 ? kSysName : std::vector<uint64_t>{1, 3, 6, 1, 2, 1, 1, 4};
        const Bytes whole = Response(version, 11, 0, 0, Binding(kSysName, berbytes::Text(std::string(size, 'v'))));
        const Bytes refusal = Response(version, 11, 1, 0, version == 0 ? Binding(asked, berbytes::kNull) : Bytes());
        const Bytes request = Request(pdu, version, 11, asked);
        const auto answer = FullPath(request);
        ASSERT_TRUE(answer);
        EXPECT_EQ(*answer, whole.size() <= 2048 ? whole : refusal);
        too_big += whole.size() > 2048 ? 1 : 0;
        const auto fast = Fast(request);
        if (fast) {
          EXPECT_EQ(fast, answer);
        }
      }
    }
  }
  EXPECT_GT(too_big, 0);
  EXPECT_TRUE(log.HasContaining(L"does not fit in 2048 bytes, answered tooBig"));
  // Bindings that fit one by one but not together: tooBig, in SNMPv1 with every name.
  SetStoredText(L"1.3.6.1.2.1.1.5.0", std::wstring(150, L'v'));
  const auto twelve = Parse(FullPath(ManyRequest(0xA0, 1, 12, std::vector(12, kSysName))).value_or(Bytes()));
  ASSERT_TRUE(twelve);
  EXPECT_EQ(twelve->status, 0);
  EXPECT_EQ(twelve->bindings.size(), 12u);
  const std::vector<std::vector<uint64_t>> thirteen(13, kSysName);
  Bytes nulls;
  for (const auto& name : thirteen) nulls = berbytes::Cat({nulls, Binding(name, berbytes::kNull)});
  EXPECT_EQ(FullPath(ManyRequest(0xA0, 0, 12, thirteen)), Response(0, 12, 1, 0, nulls));
  EXPECT_EQ(FullPath(ManyRequest(0xA0, 1, 12, thirteen)), Response(1, 12, 1, 0, Bytes()));
}

// A Set answered tooBig is not made. The echo of a Gauge32 sent as the four
// octets FF FF FF FF takes five (a leading 00 keeps it unsigned), so a
// request of exactly 2048 bytes gets an answer one byte too large.
TEST_F(SimulerTest, ASetAnsweredTooBigChangesNothing) {
  const std::vector<uint64_t> gauge = {1, 3, 6, 1, 2, 1, 2, 2, 1, 5, 1};
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
  // One community octet less and the same Set fits: it is made and echoed.
  community.pop_back();
  m_engine.Configure(true, true, std::wstring(community.begin(), community.end()), &m_simulator);
  const auto answer = FullPath(Request(0xA3, 1, 13, gauge, community, value, 0));
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->size(), 2048u);
  EXPECT_EQ(StoredText(L"1.3.6.1.2.1.2.2.1.5.1"), L"4294967295");
}

// The answers of Get, GetNext and Set with several bindings, byte for byte:
// an error names the first binding at fault, and its answer is the request's
// form (names with NULL; a Set's own values).
TEST_F(SimulerTest, ManyBindingAnswersCarryEveryBindingAndTheFirstFault) {
  m_engine.Configure(true, true, L"public", &m_simulator);
  using berbytes::Cat, berbytes::kNull;
  const std::vector<uint64_t> descr = {1, 3, 6, 1, 2, 1, 1, 1, 0}, object_id = {1, 3, 6, 1, 2, 1, 1, 2, 0},
                              contact = {1, 3, 6, 1, 2, 1, 1, 4, 0}, services = {1, 3, 6, 1, 2, 1, 1, 7, 0},
                              last = {1, 3, 6, 1, 4, 1, 99999, 3, 0};
  const Bytes end_of_view = {0x82, 0x00};
  const Bytes sys_name = Binding(kSysName, berbytes::Text("sim-host")),
              sys_descr = Binding(descr, berbytes::Text("Tavelo test agent"));
  struct Row {
    const char* what;
    uint8_t pdu;
    uint8_t version;
    std::vector<std::vector<uint64_t>> names;
    std::vector<Bytes> values;
    int64_t status, index;
    Bytes list;
  };
  const Row rows[] = {
      {"get", 0xA0, 1, {kSysName, descr, kSysName}, {}, 0, 0, Cat({sys_name, sys_descr, sys_name})},
      {"get unknown third",
       0xA0,
       0,
       {kSysName, descr, contact},
       {},
       2,
       3,
       Cat({Binding(kSysName, kNull), Binding(descr, kNull), Binding(contact, kNull)})},
      {"get unknown first", 0xA0, 1, {contact, descr}, {}, 2, 1, Cat({Binding(contact, kNull), Binding(descr, kNull)})},
      {"getnext v2c",
       0xA1,
       1,
       {descr, last, {1, 3}},
       {},
       0,
       0,
       Cat({Binding(object_id, berbytes::Oid({1, 3, 6, 1, 4, 1, 99999, 1})), Binding(last, end_of_view), sys_descr})},
      {"getnext v1 past the end", 0xA1, 0, {descr, last}, {}, 2, 2, Cat({Binding(descr, kNull), Binding(last, kNull)})},
      {"set wrong type second",
       0xA3,
       1,
       {kSysName, services},
       {berbytes::Text("a"), berbytes::Text("b")},
       7,
       2,
       Cat({Binding(kSysName, berbytes::Text("a")), Binding(services, berbytes::Text("b"))})},
      {"set unknown first",
       0xA3,
       0,
       {contact, services},
       {berbytes::Text("a"), berbytes::Int(9)},
       2,
       1,
       Cat({Binding(contact, berbytes::Text("a")), Binding(services, berbytes::Int(9))})},
      {"set bad value second",
       0xA3,
       1,
       {kSysName, object_id},
       {berbytes::Text("a"), berbytes::Oid({1, 3, 6, 1ull << 32})},
       10,
       2,
       Cat({Binding(kSysName, berbytes::Text("a")), Binding(object_id, berbytes::Oid({1, 3, 6, 1ull << 32}))})},
  };
  LogCapture log(0);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const auto answer = FullPath(ManyRequest(row.pdu, row.version, 21, row.names, 0, 0, row.values));
    EXPECT_EQ(answer, Response(row.version, 21, row.status, row.index, row.list));
  }
  EXPECT_EQ(StoredText(L"1.3.6.1.2.1.1.5.0"), L"sim-host");
  EXPECT_EQ(StoredText(L"1.3.6.1.2.1.1.7.0"), L"-72");
  // All can be set: all change, with one refresh.
  const auto answer =
      FullPath(ManyRequest(0xA3, 1, 22, {kSysName, services}, 0, 0, {berbytes::Text("both"), berbytes::Int(3)}));
  EXPECT_EQ(answer, Response(1, 22, 0, 0,
                             Cat({Binding(kSysName, berbytes::Text("both")), Binding(services, berbytes::Int(3))})));
  EXPECT_EQ(StoredText(L"1.3.6.1.2.1.1.5.0"), L"both");
  EXPECT_EQ(StoredText(L"1.3.6.1.2.1.1.7.0"), L"3");
  m_dispatcher.Drain();
  EXPECT_EQ(m_view->refreshed.load(), 1);
  // A binding whose name is no OID drops the request.
  EXPECT_FALSE(FullPath(berbytes::Message(1, "public", 0xA0, berbytes::Int(23),
                                          {{berbytes::Oid(kSysName), kNull}, {berbytes::Int(5), kNull}})));
  EXPECT_TRUE(log.HasContaining(L"Unable to get Object Identifier to read"));
}

// GetBulk as RFC 3416 reads it, against the sorted list S0..S9: each
// expected binding is what a GetNext of the previous name answers.
TEST_F(SimulerTest, GetBulkRepeatsGetNextForTheRepeatersOnly) {
  m_engine.Configure(true, true, L"public", &m_simulator);
  std::vector<std::vector<uint64_t>> s;
  std::vector<Bytes> next;  // the binding a GetNext of S[i - 1] (of 1.3 for S0) answers
  for (const CSimulatorValue& v : m_simulator.values) {
    const auto answer = FullPath(Request(0xA1, 1, 30, s.empty() ? std::vector<uint64_t>{1, 3} : s.back()));
    ASSERT_TRUE(answer);
    const auto parsed = Parse(*answer);
    ASSERT_TRUE(parsed && parsed->bindings.size() == 1);
    next.push_back(parsed->bindings[0]);
    s.push_back(v.oid.GetArcs());
  }
  ASSERT_EQ(s.size(), 10u);
  const Bytes end9 = Binding(s[9], {0x82, 0x00});
  const std::vector<uint64_t> root = {1, 3}, interfaces = {1, 3, 6, 1, 2, 1, 2};
  constexpr int64_t kHuge = 0x7FFFFFFF;
  struct Row {
    const char* what;
    int64_t non_repeaters, max_repetitions;
    std::vector<std::vector<uint64_t>> names;
    std::vector<Bytes> bindings;
  };
  const Row rows[] = {
      {"three repetitions", 0, 3, {root}, {next[0], next[1], next[2]}},
      {"one non-repeater", 1, 2, {s[0], interfaces}, {next[1], next[5], next[6]}},
      {"more non-repeaters than bindings", 5, 4, {s[0], s[1]}, {next[1], next[2]}},
      {"negative non-repeaters", -3, 1, {root}, {next[0]}},
      {"no repetition", 1, 0, {root, root}, {next[0]}},
      {"negative repetitions", 1, -1, {root, root}, {next[0]}},
      {"absurd repetitions end at the view's end", 0, kHuge, {s[7]}, {next[8], next[9], end9}},
      {"the whole list",
       0,
       kHuge,
       {root},
       {next[0], next[1], next[2], next[3], next[4], next[5], next[6], next[7], next[8], next[9], end9}},
      {"one repeater ends first", 0, 3, {s[8], root}, {next[9], next[0], end9, next[1], end9, next[2]}},
      {"a non-repeater past the end", 1, 1, {s[9], s[8]}, {end9, next[9]}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Bytes list;
    for (const Bytes& b : row.bindings) list.insert(list.end(), b.begin(), b.end());
    const Bytes request = Bulk(31, row.non_repeaters, row.max_repetitions, row.names);
    EXPECT_EQ(FullPath(request), Response(1, 31, 0, 0, list));
    EXPECT_FALSE(Fast(request));
  }
  // SNMPv1 has no GetBulk: no answer.
  LogCapture log(0);
  EXPECT_FALSE(FullPath(Bulk(32, 0, 3, {root}, 0)));
  EXPECT_TRUE(log.HasContaining(L"GetBulk is not an SNMPv1 request"));
}

// The answer holds as many whole repetitions as fit in 2048 bytes, however
// many are asked; when not even the non-repeaters and one repetition fit,
// it is tooBig.
TEST_F(SimulerTest, GetBulkAnswersAreCutToWholeRepetitionsThatFit) {
  for (int i = 1; i <= 40; ++i)
    ASSERT_TRUE(m_simulator.AddStoredValue(L"1.3.6.1.4.1.99999.30." + std::to_wstring(i), L"Octet String",
                                           std::wstring(100 + i * 7 % 60, L'a' + i % 26)));
  ASSERT_TRUE(CSimulatorFile::Save(&m_simulator));
  const std::vector<uint64_t> start_a = {1, 3, 6, 1, 4, 1, 99999, 30}, start_b = {1, 3, 6, 1, 4, 1, 99999, 30, 20};
  // The bindings of the values after each start, in order, as Gets answer them.
  m_engine.Configure(true, true, L"public", &m_simulator);
  auto chain = [&](const std::vector<uint64_t>& from) {
    std::vector<Bytes> out;
    for (const CSimulatorValue& v : m_simulator.values) {
      if (CAsn1Oid::Compare(v.oid.GetArcs(), from) <= 0) continue;
      const auto parsed = Parse(FullPath(Request(0xA0, 1, 40, v.oid.GetArcs())).value_or(Bytes()));
      if (parsed && parsed->bindings.size() == 1) out.push_back(parsed->bindings[0]);
    }
    return out;
  };
  const std::vector<Bytes> a = chain(start_a), b = chain(start_b);
  ASSERT_EQ(a.size(), 40u);
  ASSERT_EQ(b.size(), 20u);
  // Each community octet more makes the answer one octet longer until a
  // repetition no longer fits: every size up to the limit is met.
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
    const auto parsed = Parse(*answer);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->status, 0);
    ASSERT_GE(parsed->bindings.size(), 3u);
    ASSERT_EQ((parsed->bindings.size() - 1) % 2, 0u) << "a repetition was cut in two";
    const size_t repetitions = (parsed->bindings.size() - 1) / 2;
    ASSERT_LT(repetitions, 20u);
    for (size_t r = 0; r < repetitions; ++r) {
      EXPECT_EQ(parsed->bindings[1 + 2 * r], a[r]);
      EXPECT_EQ(parsed->bindings[2 + 2 * r], b[r]);
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
  for (int64_t non_repeaters : {0, 1}) {
    EXPECT_EQ(FullPath(Bulk(42, non_repeaters, 5, {start_a})), Response(1, 42, 1, 0, Bytes()));
  }
  EXPECT_TRUE(log.HasContaining(L"does not fit in 2048 bytes, answered tooBig"));
}

// snmpbulkwalk, whatever its repetition count, lists exactly what snmpwalk
// lists: long values make many answers cut short of the count asked.
TEST_F(SimulerTest, BulkWalksListExactlyWhatWalksList) {
  for (int i = 1; i <= 60; ++i) {
    const std::wstring arc = std::to_wstring(i);
    ASSERT_TRUE(m_simulator.AddStoredValue(L"1.3.6.1.4.1.99999.40." + arc + L".0", L"Octet String",
                                           std::wstring(static_cast<size_t>(i * 37 % 420), L'k')));
    ASSERT_TRUE(m_simulator.AddStoredValue(L"1.3.6.1.2.1.2.2.1.1." + arc, L"Integer", arc));
  }
  ASSERT_TRUE(CSimulatorFile::Save(&m_simulator));
  StartAgent();
  for (const char* subtree : {"1.3.6.1", "1.3.6.1.2.1.2.2", "1.3.6.1.4.1.99999.40", "1.3.6.1.2.1.1.5.0"}) {
    SCOPED_TRACE(subtree);
    const std::string walk = Tool("snmpwalk", "2c", {subtree});
    ASSERT_GE(Lines(walk).size(), 1u);
    for (const char* count : {"1", "2", "3", "10", "25", "200"}) {
      SCOPED_TRACE(count);
      EXPECT_EQ(Tool("snmpbulkwalk", "2c", {"-Cr" + std::string(count), subtree}), walk);
    }
  }
  EXPECT_EQ(netsnmp::WalkOids(Tool("snmpbulkwalk", "2c", {"-Cr7", "1.3.6.1"})).size(), std::size(kValues) + 120);
}
