#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <random>
#include <thread>

#include "app/MessageCenter.h"
#include "app/PlainDispatcher.h"
#include "asn1/BerDecoder.h"
#include "asn1/BerEncoder.h"
#include "simulator/SimulatorEntry.h"
#include "simulator/SimulatorFile.h"
#include "tests/common/BerBytes.h"
#include "tests/common/UdpSocket.h"
#include "tests/simulator/TestSupport.h"
#include "workers/ThreadActionSimuler.h"

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

std::string Narrow(const std::wstring& text) { return quillog::WideToUtf8(text); }

// The simulator value view's part that matters here: save on refresh.
class SavingView : public CViewWindow {
 public:
  SavingView(CViewDispatcher* dispatcher, CSimulatorEntry* simulator) : CViewWindow(dispatcher), simulator_(simulator) {
    CMessageCenter::Subscribe(L"CViewSimulerValue", this, MSG_VIEW_SIMULATOR, 0);
  }
  intptr_t OnViewMessage(uint32_t message, uintptr_t sub_code, uintptr_t) override {
    if (message != MSG_VIEW_SIMULATOR) return 0;
    if (sub_code == MSG_VIEW_SIMULATOR_DATA_RECV) ++received;
    if (sub_code == MSG_VIEW_SIMULATOR_STARTED) ++started;
    if (sub_code == MSG_VIEW_SIMULATOR_FINISHED) ++finished;
    if (sub_code == MSG_VIEW_SIMULATOR_REFRESH) {
      CSimulatorFile::Save(simulator_);
      ++refreshed;
    }
    return 0;
  }
  std::atomic<int> received{0};
  std::atomic<int> started{0};
  std::atomic<int> finished{0};
  std::atomic<int> refreshed{0};

 private:
  CSimulatorEntry* simulator_;
};

class SimulerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    simulator_.kind = CSimulatorEntry::KindSimulator;
    simulator_.path = dir_.wpath("agent.tav");
    simulator_.recv_community = L"public";
    simulator_.send_community = L"public";
    for (const Stored& v : kValues) ASSERT_TRUE(simulator_.AddValue(v.oid, v.type, v.value));
    ASSERT_TRUE(CSimulatorFile::Save(&simulator_));  // sorts the list
    view_ = std::make_unique<SavingView>(&dispatcher_, &simulator_);
    ASSERT_TRUE(dispatcher_.StartThread());
  }
  void TearDown() override {
    engine_.Stop();
    EXPECT_TRUE(engine_.WaitIdle(5000));
    dispatcher_.Drain();
    dispatcher_.Quit();
    view_.reset();
  }

  void StartAgent(bool v1 = true, bool v2c = true) {
    port_ = FreeUdpPort();
    ASSERT_TRUE(engine_.Start(port_, v1, v2c, L"public", &simulator_));
    ASSERT_TRUE(engine_.WaitBegun(5000));
    ASSERT_TRUE(engine_.IsRunning());
  }

  // What a Net-SNMP tool prints for the OID (and further arguments).
  std::string Tool(const std::string& tool, const std::string& version, std::vector<std::string> args,
                   const std::string& community = "public") {
    args.insert(args.begin(), {tool, "-v" + version, "-c", community, "-On", "-t", "0.5", "-r", "1",
                               "127.0.0.1:" + std::to_string(port_)});
    return netsnmp::Output(args);
  }

  // The general path's answer to a datagram, or none when it is dropped.
  std::optional<Bytes> FullPath(const Bytes& request) {
    CBerDecoder decoder;
    CBerEncoder encoder;
    EXPECT_TRUE(decoder.Assign(request.data(), static_cast<uint32_t>(request.size())));
    if (!engine_.HandleDatagram(decoder, encoder)) return std::nullopt;
    return Bytes(encoder.GetData(), encoder.GetData() + encoder.GetUsedLength());
  }

  TempDir dir_;
  CSimulatorEntry simulator_;
  CPlainDispatcher dispatcher_;
  std::unique_ptr<SavingView> view_;
  CThreadActionSimuler engine_;
  uint16_t port_ = 0;
};

}  // namespace

TEST_F(SimulerTest, GetReturnsTheStoredTypesAndTextsInBothVersions) {
  StartAgent();
  for (const char* version : {"1", "2c"}) {
    for (const Stored& v : kValues) {
      SCOPED_TRACE(std::string(version) + " " + Narrow(v.oid));
      std::string out = Tool("snmpget", version, {Narrow(v.oid)});
      EXPECT_EQ(out, "." + Narrow(v.oid) + " = " + v.shown + "\n");
    }
  }
  // Unknown OIDs get noSuchName in both versions.
  for (const char* version : {"1", "2c"}) {
    std::string out = Tool("snmpget", version, {"1.3.6.1.2.1.1.4.0"});
    EXPECT_NE(out.find("noSuchName"), std::string::npos) << out;
    EXPECT_NE(out.find("Failed object: .1.3.6.1.2.1.1.4.0"), std::string::npos) << out;
  }
  dispatcher_.Drain();
  EXPECT_GE(view_->received.load(), 2 * 11);
}

TEST_F(SimulerTest, WalkReturnsEveryValueInOidOrderAndStopsAtTheEnd) {
  StartAgent();
  std::vector<std::string> expected;
  {
    auto lock = simulator_.LockValues();
    for (const CSimulatorValue& value : simulator_.values) {
      for (const Stored& v : kValues) {
        if (value.oid.GetText() == v.oid) expected.push_back("." + Narrow(v.oid) + " = " + v.shown);
      }
    }
  }
  ASSERT_EQ(expected.size(), std::size(kValues));
  for (const char* version : {"1", "2c"}) {
    SCOPED_TRACE(version);
    std::vector<std::string> lines = Lines(Tool("snmpwalk", version, {"1.3.6.1"}));
    // Net-SNMP tells how the walk ended: noSuchName (v1) or endOfMibView (v2c).
    ASSERT_FALSE(lines.empty());
    const char* end = std::string(version) == "1" ? "End of MIB" : "No more variables left in this MIB View";
    EXPECT_NE(lines.back().find(end), std::string::npos) << lines.back();
    lines.pop_back();
    EXPECT_EQ(lines, expected);
  }
}

TEST_F(SimulerTest, GetNextPastTheEndIsNoSuchNameInV1AndEndOfMibViewInV2c) {
  StartAgent();
  std::string v1 = Tool("snmpgetnext", "1", {"1.3.6.1.4.1.99999.3.0"});
  EXPECT_NE(v1.find("Reason: (noSuchName)"), std::string::npos) << v1;
  EXPECT_NE(v1.find("Failed object: .1.3.6.1.4.1.99999.3.0"), std::string::npos) << v1;
  std::string v2 = Tool("snmpgetnext", "2c", {"1.3.6.1.4.1.99999.3.0"});
  EXPECT_EQ(v2,
            ".1.3.6.1.4.1.99999.3.0 = No more variables left in this MIB View (It is past the end of the MIB tree)\n");
  // From before the first value, GetNext gives the first one.
  EXPECT_EQ(Tool("snmpgetnext", "2c", {"1.3"}), ".1.3.6.1.2.1.1.1.0 = STRING: \"Tavelo test agent\"\n");
}

TEST_F(SimulerTest, GetNextFollowsListOrderForValuesAddedAfterTheSave) {
  simulator_.Reset();
  simulator_.kind = CSimulatorEntry::KindSimulator;
  simulator_.path = dir_.wpath("agent.tav");
  ASSERT_TRUE(simulator_.AddValue(L"1.3.6.1.2.1.1.5.0", L"Octet String", L"five"));
  ASSERT_TRUE(simulator_.AddValue(L"1.3.6.1.2.1.1.1.0", L"Octet String", L"one"));
  StartAgent();
  EXPECT_EQ(Tool("snmpgetnext", "2c", {"1.3.6.1.2.1.1"}), ".1.3.6.1.2.1.1.5.0 = STRING: \"five\"\n");
}

TEST_F(SimulerTest, SetWithTheStoredTypeChangesTheValueAndTheFile) {
  StartAgent();
  std::string out = Tool("snmpset", "2c", {"1.3.6.1.2.1.1.5.0", "s", "renamed-host"});
  EXPECT_EQ(out, ".1.3.6.1.2.1.1.5.0 = STRING: \"renamed-host\"\n");
  out = Tool("snmpset", "1", {"1.3.6.1.2.1.1.7.0", "i", "12"});
  EXPECT_EQ(out, ".1.3.6.1.2.1.1.7.0 = INTEGER: 12\n");
  EXPECT_EQ(Tool("snmpget", "1", {"1.3.6.1.2.1.1.5.0"}), ".1.3.6.1.2.1.1.5.0 = STRING: \"renamed-host\"\n");

  // The view saves on each refresh; the file then holds the new values.
  WaitUntil([&] { return view_->refreshed.load() >= 2; }, 2000);
  dispatcher_.Drain();
  EXPECT_EQ(view_->refreshed.load(), 2);
  CSimulatorEntry stored;
  stored.path = simulator_.path;
  ASSERT_TRUE(CSimulatorFile::Load(&stored));
  std::map<std::wstring, std::wstring> by_oid;
  for (const auto& v : stored.values) by_oid[v.oid.GetText()] = v.value;
  EXPECT_EQ(by_oid[L"1.3.6.1.2.1.1.5.0"], L"renamed-host");
  EXPECT_EQ(by_oid[L"1.3.6.1.2.1.1.7.0"], L"12");
  EXPECT_EQ(stored.values.size(), std::size(kValues));
}

TEST_F(SimulerTest, SetWithAnotherTypeIsWrongTypeAndChangesNothing) {
  StartAgent();
  const std::vector<uint8_t> before = ReadBytes(dir_.path() / "agent.tav");
  LogCapture log(0);
  for (const char* version : {"1", "2c"}) {
    std::string out = Tool("snmpset", version, {"1.3.6.1.2.1.1.5.0", "i", "5"});
    EXPECT_NE(out.find("wrongType"), std::string::npos) << out;
  }
  std::string missing = Tool("snmpset", "2c", {"1.3.6.1.2.1.1.4.0", "s", "x"});
  EXPECT_NE(missing.find("noSuchName"), std::string::npos) << missing;
  EXPECT_EQ(Tool("snmpget", "2c", {"1.3.6.1.2.1.1.5.0"}), kSysNameLine);
  dispatcher_.Drain();
  EXPECT_EQ(view_->refreshed.load(), 0);
  EXPECT_EQ(ReadBytes(dir_.path() / "agent.tav"), before);
}

TEST_F(SimulerTest, WrongCommunityAndRefusedVersionGetNoAnswer) {
  StartAgent(false, true);
  LogCapture log(0);
  std::string out = Tool("snmpget", "2c", {"1.3.6.1.2.1.1.5.0"}, "Public");
  EXPECT_NE(out.find("Timeout: No Response"), std::string::npos) << out;
  EXPECT_TRUE(log.HasContaining(L"CThreadActionSimuler : Wrong community name (Public)"));
  out = Tool("snmpget", "1", {"1.3.6.1.2.1.1.5.0"});
  EXPECT_NE(out.find("Timeout: No Response"), std::string::npos) << out;
  EXPECT_TRUE(log.HasContaining(L"CThreadActionSimuler : SNMP Version 1 messages are not allowed"));
  // The accepted version with the right community still works.
  EXPECT_EQ(Tool("snmpget", "2c", {"1.3.6.1.2.1.1.5.0"}), kSysNameLine);
  dispatcher_.Drain();
  EXPECT_EQ(view_->received.load(), 1);
}

namespace {

// A request with one binding (a NULL value unless given), its id in `id_width` octets.
Bytes Request(uint8_t pdu, uint8_t version, int64_t id, const std::vector<uint64_t>& arcs,
              const std::string& community = "public", const Bytes& value = berbytes::kNull, size_t id_width = 8) {
  return berbytes::Message(version, community, pdu, berbytes::Int(id, id_width), {{berbytes::Oid(arcs), value}});
}
const std::vector<uint64_t> kSysName = {1, 3, 6, 1, 2, 1, 1, 5, 0};
// v2c GetRequest and SetRequest (to an OCTET STRING) of sysName.0.
Bytes GetRequest(uint32_t id, const std::string& community = "public") {
  return Request(0xA0, 1, id, kSysName, community, berbytes::kNull, 4);
}
Bytes SetRequest(uint32_t id, const std::string& text) {
  return Request(0xA3, 1, id, kSysName, "public", berbytes::Text(text), 4);
}

// The request id of an answer (v2c, short community), or 0.
uint32_t AnswerId(const uint8_t* data, size_t size) {
  size_t at = 2 + 3;  // SEQUENCE header, version
  if (size < at + 2) return 0;
  at += 2 + data[at + 1];  // community
  if (size < at + 2 + 6 || data[at] != 0xA2) return 0;
  at += 2;
  if (data[at] != 0x02 || data[at + 1] != 4) return 0;
  return (uint32_t{data[at + 2]} << 24) | (uint32_t{data[at + 3]} << 16) | (uint32_t{data[at + 4]} << 8) | data[at + 5];
}

// Sends the request and waits up to 2 s for the answer that carries its id.
bool Answered(const TestUdpSocket& client, const Bytes& request, uint32_t id) {
  if (!client.Send(request)) return false;
  for (const auto deadline = std::chrono::steady_clock::now() + 2s; std::chrono::steady_clock::now() < deadline;) {
    auto answer = client.Receive(200);
    if (answer && AnswerId(answer->data(), answer->size()) == id) return true;
  }
  return false;
}

}  // namespace

TEST_F(SimulerTest, OnlyWholeV1AndV2cRequestsAreAnsweredAndLargeOnesAreReadWhole) {
  StartAgent();
  LogCapture log(0);
  TestUdpSocket client;
  ASSERT_TRUE(client.Connect(port_));
  // A GetRequest of over 3,000 bytes (its binding carries a long value).
  const Bytes large = Request(0xA0, 1, 0x03000001, kSysName, "public", berbytes::Text(std::string(3000, 'q')), 4);
  EXPECT_TRUE(Answered(client, large, 0x03000001));
  // Version 3, a request cut short, one with a byte after it: no answer.
  Bytes cut = GetRequest(0x03000003);
  cut.pop_back();
  Bytes padded = GetRequest(0x03000004);
  padded.push_back(0x00);
  for (const Bytes& bad : {Request(0xA0, 3, 0x03000002, kSysName, "public", berbytes::kNull, 4), cut, padded})
    ASSERT_TRUE(client.Send(bad));
  ASSERT_TRUE(client.Send(GetRequest(0x03000005)));  // answered in turn, after the refused ones
  std::vector<uint32_t> ids;
  while (auto answer = client.Receive(2000)) {
    ids.push_back(AnswerId(answer->data(), answer->size()));
    if (ids.back() == 0x03000005) break;
  }
  EXPECT_EQ(ids, std::vector<uint32_t>{0x03000005});
  EXPECT_EQ(log.CountContaining(L"CThreadActionSimuler : SNMP version field 3 is not answered", QUILLOG_WARNING), 1u);
  EXPECT_EQ(log.CountContaining(L"The BER lengths do not add up", QUILLOG_WARNING), 2u);
}

TEST_F(SimulerTest, GarbageInterleavedWithRequestsNeverStopsTheWorker) {
  StartAgent();
  LogCapture log(0);
  TestUdpSocket client;
  ASSERT_TRUE(client.Connect(port_));
  std::mt19937 random(20261207);
  const Bytes valid = GetRequest(0x01000000);
  int answered = 0;
  const int kRounds = 300;
  for (int round = 0; round < kRounds; ++round) {
    // Garbage: random bytes, or a valid request cut short or with bytes flipped.
    Bytes junk;
    switch (round % 5) {
      case 3:
        break;  // an empty datagram
      case 4:
        junk.assign(2049 + random() % 4000, 0x30);  // longer than any request can be
        break;
      case 0:
        junk.resize(1 + random() % 400);
        for (auto& b : junk) b = static_cast<uint8_t>(random());
        break;
      case 1:
        junk.assign(valid.begin(), valid.begin() + 1 + random() % (valid.size() - 1));
        break;
      default:
        junk = valid;
        for (int i = 0; i < 3; ++i) junk[random() % junk.size()] = static_cast<uint8_t>(random());
        junk[10] = 0xA0;  // keep it a GetRequest-looking frame
        break;
    }
    ASSERT_TRUE(client.Send(junk));
    const uint32_t id = 0x02000000 + static_cast<uint32_t>(round);
    answered += Answered(client, GetRequest(id), id) ? 1 : 0;
  }
  EXPECT_EQ(answered, kRounds);
  EXPECT_TRUE(engine_.IsRunning());
  EXPECT_GE(log.CountContaining(L"CBerBuffer::CheckPointer() ==> new size 0 is not correct"), 1u);
  EXPECT_EQ(Tool("snmpget", "2c", {"1.3.6.1.2.1.1.5.0"}), kSysNameLine);
}

TEST_F(SimulerTest, HandleDatagramDropsRequestsWithoutABinding) {
  port_ = FreeUdpPort();
  ASSERT_TRUE(engine_.Start(port_, true, true, L"public", &simulator_));
  ASSERT_TRUE(engine_.WaitBegun(5000));
  LogCapture log(0);
  // version, community and a PDU with a request id only
  const std::vector<uint8_t> bare = {0x30, 0x0F, 0x02, 0x01, 0x01, 0x04, 0x06, 'p',  'u',
                                     'b',  'l',  'i',  'c',  0xA0, 0x03, 0x02, 0x01, 0x07};
  EXPECT_FALSE(FullPath(bare));
  // A community that only matches up to a zero byte is not the community.
  EXPECT_FALSE(FullPath(GetRequest(0x01000005, std::string("public\0x", 8))));
  EXPECT_TRUE(log.HasContaining(L"Wrong community name"));
  // The well-formed request is answered.
  const auto answer = FullPath(GetRequest(0x01000006));
  ASSERT_TRUE(answer);
  EXPECT_EQ(AnswerId(answer->data(), answer->size()), 0x01000006u);
}

TEST_F(SimulerTest, StopEndsABlockedWorkerWhichCanBeStartedAgain) {
  StartAgent();
  EXPECT_TRUE(engine_.Stop());
  EXPECT_TRUE(engine_.WaitIdle(3000));
  EXPECT_FALSE(engine_.IsRunning());
  dispatcher_.Drain();
  EXPECT_EQ(view_->started.load(), 1);
  EXPECT_EQ(view_->finished.load(), 1);
  std::string out = Tool("snmpget", "2c", {"1.3.6.1.2.1.1.5.0"});
  EXPECT_NE(out.find("Timeout"), std::string::npos) << out;
  StartAgent();
  EXPECT_EQ(Tool("snmpget", "2c", {"1.3.6.1.2.1.1.5.0"}), kSysNameLine);
}

TEST_F(SimulerTest, APortAlreadyTakenEndsTheRunWithoutServing) {
  TestUdpSocket taken(INADDR_ANY);
  ASSERT_TRUE(taken.Ok());
  LogCapture log(0);
  ASSERT_TRUE(engine_.Start(taken.Port(), true, true, L"public", &simulator_));
  EXPECT_FALSE(engine_.WaitBegun(5000));
  EXPECT_TRUE(engine_.WaitIdle(5000));
  EXPECT_FALSE(engine_.IsRunning());
  EXPECT_TRUE(log.HasContaining(L"Error while creating UDP socket"));
}

TEST_F(SimulerTest, SetsWhileTheViewSavesKeepTheListAndTheFileWhole) {
  StartAgent();
  TestUdpSocket client;
  ASSERT_TRUE(client.Connect(port_));
  // The view saves on every refresh; this thread saves as well, as fast as it can.
  std::atomic<bool> done{false};
  std::thread saver([&] {
    while (!done.load()) CSimulatorFile::Save(&simulator_);
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
  dispatcher_.Drain();
  ASSERT_TRUE(CSimulatorFile::Save(&simulator_));
  CSimulatorEntry stored;
  stored.path = simulator_.path;
  ASSERT_TRUE(CSimulatorFile::Load(&stored));
  ASSERT_EQ(stored.values.size(), std::size(kValues));
  for (const auto& v : stored.values) {
    if (v.oid.GetText() == L"1.3.6.1.2.1.1.5.0") {
      EXPECT_EQ(v.value, L"name-" + std::to_wstring(kSets - 1));
    }
  }
}

// The shortcut for plain Get and GetNext requests must answer exactly as the
// element-list path does, byte for byte, for every kind of stored value.
TEST_F(SimulerTest, FastAnswersAreTheSameBytesAsTheFullPath) {
  ASSERT_TRUE(simulator_.AddValue(L"1.3.6.1.4.1.99999.4.0", L"Boolean", L"1"));
  ASSERT_TRUE(simulator_.AddValue(L"1.3.6.1.4.1.99999.5.0", L"Opaque", L"opaque"));
  ASSERT_TRUE(simulator_.AddValue(L"1.3.6.1.4.1.99999.6.0", L"Octet String", std::wstring(300, L'w')));
  ASSERT_TRUE(simulator_.AddValue(L"1.3.6.1.4.1.99999.7.0", L"Integer", L"-129"));
  ASSERT_TRUE(simulator_.AddValue(L"1.3.6.1.4.1.99999.8.0", L"IP Address", L"1.2.3"));       // logs: full path only
  ASSERT_TRUE(simulator_.AddValue(L"1.3.6.1.4.1.99999.9.0", L"Object Identifier", L"5.3"));  // invalid OID value
  ASSERT_TRUE(simulator_.AddValue(L"1.3.6.1.4.1.99999.10.0", L"Gauge32", L"4294967296"));
  ASSERT_TRUE(simulator_.AddValue(L"1.3.6.1.4.1.18446744073709551615", L"Octet String", L"big arc"));
  engine_.Configure(true, true, L"public", &simulator_);

  std::vector<std::vector<uint64_t>> oids = {{1, 3}, {1, 3, 6, 1, 2, 1, 1}, {2, 39, 1}, {1, 3, 6, 1, 4, 1, 99999, 99}};
  {
    auto lock = simulator_.LockValues();
    for (const CSimulatorValue& v : simulator_.values) {
      std::vector<uint64_t> arcs = v.oid.GetArcs();
      oids.push_back(arcs);
      arcs.push_back(0);
      oids.push_back(arcs);
      arcs.pop_back();
      arcs.pop_back();
      oids.push_back(arcs);
    }
  }
  int fast = 0;
  LogCapture log(0);
  for (uint8_t pdu : {uint8_t{0xA0}, uint8_t{0xA1}}) {
    for (uint8_t version : {uint8_t{0}, uint8_t{1}}) {
      for (int64_t id : {int64_t{0}, int64_t{127}, int64_t{128}, int64_t{-1}, int64_t{0x7FFFFFFF}, int64_t{1} << 40}) {
        for (const auto& oid : oids) {
          const Bytes request = Request(pdu, version, id, oid);
          std::vector<uint8_t> shortcut;
          if (!engine_.AnswerFast(request.data(), static_cast<uint32_t>(request.size()), &shortcut)) continue;
          ++fast;
          const auto full = FullPath(request);
          ASSERT_TRUE(full);
          ASSERT_EQ(shortcut, *full) << "pdu " << int(pdu) << " version " << int(version) << " id " << id;
        }
      }
    }
  }
  EXPECT_GT(fast, 600);
  // Only the full path's own complaints about the two broken values are logged.
  for (const std::wstring& line : log.Messages()) {
    EXPECT_TRUE(line.find(L"1.2.3") != std::wstring::npos || line.find(L"OID") != std::wstring::npos ||
                line.find(L"first number") != std::wstring::npos ||
                line.find(L"Unable to encode") != std::wstring::npos)
        << quillog::WideToUtf8(line);
  }
  // Values whose encoding logs something, other communities and Sets take the full path.
  std::vector<uint8_t> out;
  const std::vector<uint8_t> bad_ip = Request(0xA0, 1, 9, {1, 3, 6, 1, 4, 1, 99999, 8, 0});
  EXPECT_FALSE(engine_.AnswerFast(bad_ip.data(), static_cast<uint32_t>(bad_ip.size()), &out));
  const std::vector<uint8_t> other = Request(0xA0, 1, 9, {1, 3, 6, 1, 2, 1, 1, 5, 0}, "Public");
  EXPECT_FALSE(engine_.AnswerFast(other.data(), static_cast<uint32_t>(other.size()), &out));
  const std::vector<uint8_t> set = SetRequest(0x01000001, "x");
  EXPECT_FALSE(engine_.AnswerFast(set.data(), static_cast<uint32_t>(set.size()), &out));
  // A changed text is encoded again, not served from the old encoding.
  const std::vector<uint8_t> get = Request(0xA0, 1, 9, {1, 3, 6, 1, 2, 1, 1, 5, 0});
  ASSERT_TRUE(engine_.AnswerFast(get.data(), static_cast<uint32_t>(get.size()), &out));
  {
    auto lock = simulator_.LockValues();
    for (CSimulatorValue& v : simulator_.values) {
      if (v.oid.GetText() == L"1.3.6.1.2.1.1.5.0") v.value = L"changed";
    }
  }
  ASSERT_TRUE(engine_.AnswerFast(get.data(), static_cast<uint32_t>(get.size()), &out));
  const std::string tail(out.end() - 7, out.end());
  EXPECT_EQ(tail, "changed");
}
