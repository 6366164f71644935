#include "asn1/BerDecoder.h"
#include "asn1/BerEncoder.h"
#include "app/MessageCenter.h"
#include "app/PlainDispatcher.h"
#include "simulator/SimulatorEntry.h"
#include "simulator/SimulatorFile.h"
#include "tests/simulator/TestSupport.h"
#include "workers/ThreadActionSimuler.h"

#include <gtest/gtest.h>

#include <poll.h>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>

using namespace simtest;

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

  std::string Tool(const std::string& tool, const std::string& version, std::vector<std::string> args,
                   const std::string& community = "public") {
    std::vector<std::string> all = {tool, "-v" + version, "-c", community, "-On", "-t", "0.5", "-r", "1",
                                    "127.0.0.1:" + std::to_string(port_)};
    all.insert(all.end(), args.begin(), args.end());
    return netsnmp::Output(all);
  }
  std::string Tool(const std::string& tool, const std::string& version, const std::string& oid,
                   const std::string& community = "public") {
    return Tool(tool, version, std::vector<std::string>{oid}, community);
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
      std::string out = Tool("snmpget", version, Narrow(v.oid));
      EXPECT_EQ(out, "." + Narrow(v.oid) + " = " + v.shown + "\n");
    }
  }
  // Unknown OIDs get noSuchName in both versions.
  for (const char* version : {"1", "2c"}) {
    std::string out = Tool("snmpget", version, "1.3.6.1.2.1.1.4.0");
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
    std::vector<std::string> lines = Lines(Tool("snmpwalk", version, "1.3.6.1"));
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
  std::string v1 = Tool("snmpgetnext", "1", "1.3.6.1.4.1.99999.3.0");
  EXPECT_NE(v1.find("Reason: (noSuchName)"), std::string::npos) << v1;
  EXPECT_NE(v1.find("Failed object: .1.3.6.1.4.1.99999.3.0"), std::string::npos) << v1;
  std::string v2 = Tool("snmpgetnext", "2c", "1.3.6.1.4.1.99999.3.0");
  EXPECT_EQ(v2, ".1.3.6.1.4.1.99999.3.0 = No more variables left in this MIB View (It is past the end of the MIB tree)\n");
  // From before the first value, GetNext gives the first one.
  EXPECT_EQ(Tool("snmpgetnext", "2c", "1.3"), ".1.3.6.1.2.1.1.1.0 = STRING: \"Tavelo test agent\"\n");
}

TEST_F(SimulerTest, GetNextFollowsListOrderForValuesAddedAfterTheSave) {
  simulator_.Reset();
  simulator_.kind = CSimulatorEntry::KindSimulator;
  simulator_.path = dir_.wpath("agent.tav");
  ASSERT_TRUE(simulator_.AddValue(L"1.3.6.1.2.1.1.5.0", L"Octet String", L"five"));
  ASSERT_TRUE(simulator_.AddValue(L"1.3.6.1.2.1.1.1.0", L"Octet String", L"one"));
  StartAgent();
  EXPECT_EQ(Tool("snmpgetnext", "2c", "1.3.6.1.2.1.1"), ".1.3.6.1.2.1.1.5.0 = STRING: \"five\"\n");
}

TEST_F(SimulerTest, SetWithTheStoredTypeChangesTheValueAndTheFile) {
  StartAgent();
  std::string out = Tool("snmpset", "2c", {"1.3.6.1.2.1.1.5.0", "s", "renamed-host"});
  EXPECT_EQ(out, ".1.3.6.1.2.1.1.5.0 = STRING: \"renamed-host\"\n");
  out = Tool("snmpset", "1", {"1.3.6.1.2.1.1.7.0", "i", "12"});
  EXPECT_EQ(out, ".1.3.6.1.2.1.1.7.0 = INTEGER: 12\n");
  EXPECT_EQ(Tool("snmpget", "1", "1.3.6.1.2.1.1.5.0"), ".1.3.6.1.2.1.1.5.0 = STRING: \"renamed-host\"\n");

  // The view saves on each refresh; the file then holds the new values.
  for (int i = 0; i < 200 && view_->refreshed.load() < 2; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
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
  EXPECT_EQ(Tool("snmpget", "2c", "1.3.6.1.2.1.1.5.0"), ".1.3.6.1.2.1.1.5.0 = STRING: \"sim-host\"\n");
  dispatcher_.Drain();
  EXPECT_EQ(view_->refreshed.load(), 0);
  EXPECT_EQ(ReadBytes(dir_.path() / "agent.tav"), before);
}

TEST_F(SimulerTest, WrongCommunityAndRefusedVersionGetNoAnswer) {
  StartAgent(false, true);
  LogCapture log(0);
  std::string out = Tool("snmpget", "2c", "1.3.6.1.2.1.1.5.0", "Public");
  EXPECT_NE(out.find("Timeout: No Response"), std::string::npos) << out;
  EXPECT_TRUE(log.HasContaining(L"CThreadActionSimuler : Wrong community name (Public)"));
  out = Tool("snmpget", "1", "1.3.6.1.2.1.1.5.0");
  EXPECT_NE(out.find("Timeout: No Response"), std::string::npos) << out;
  EXPECT_TRUE(log.HasContaining(L"CThreadActionSimuler : SNMP Version 1 messages are not allowed"));
  // The accepted version with the right community still works.
  EXPECT_EQ(Tool("snmpget", "2c", "1.3.6.1.2.1.1.5.0"), ".1.3.6.1.2.1.1.5.0 = STRING: \"sim-host\"\n");
  dispatcher_.Drain();
  EXPECT_EQ(view_->received.load(), 1);
}

namespace {

std::vector<uint8_t> Tlv(uint8_t tag, const std::vector<uint8_t>& content) {
  std::vector<uint8_t> out;
  out.reserve(content.size() + 2);
  out.push_back(tag);
  out.push_back(static_cast<uint8_t>(content.size()));
  for (uint8_t b : content) out.push_back(b);
  return out;
}

std::vector<uint8_t> Join(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> out;
  for (const auto& part : parts) {
    for (uint8_t b : part) out.push_back(b);
  }
  return out;
}

// A v2c GetRequest for sysName.0 with the given request id.
std::vector<uint8_t> GetRequestBytes(uint32_t id, const std::string& community = "public") {
  const std::vector<uint8_t> oid = {0x2B, 0x06, 0x01, 0x02, 0x01, 0x01, 0x05, 0x00};
  const std::vector<uint8_t> binding = Tlv(0x30, Tlv(0x30, Join({Tlv(0x06, oid), {0x05, 0x00}})));
  const std::vector<uint8_t> request_id = {static_cast<uint8_t>(id >> 24), static_cast<uint8_t>(id >> 16),
                                           static_cast<uint8_t>(id >> 8), static_cast<uint8_t>(id)};
  const std::vector<uint8_t> pdu =
      Tlv(0xA0, Join({Tlv(0x02, request_id), {0x02, 0x01, 0x00, 0x02, 0x01, 0x00}, binding}));
  return Tlv(0x30, Join({{0x02, 0x01, 0x01}, Tlv(0x04, std::vector<uint8_t>(community.begin(), community.end())), pdu}));
}

// A v2c SetRequest of sysName.0 to an OCTET STRING.
std::vector<uint8_t> SetRequestBytes(uint32_t id, const std::string& text) {
  const std::vector<uint8_t> oid = {0x2B, 0x06, 0x01, 0x02, 0x01, 0x01, 0x05, 0x00};
  const std::vector<uint8_t> binding =
      Tlv(0x30, Tlv(0x30, Join({Tlv(0x06, oid), Tlv(0x04, std::vector<uint8_t>(text.begin(), text.end()))})));
  const std::vector<uint8_t> request_id = {static_cast<uint8_t>(id >> 24), static_cast<uint8_t>(id >> 16),
                                           static_cast<uint8_t>(id >> 8), static_cast<uint8_t>(id)};
  const std::vector<uint8_t> pdu =
      Tlv(0xA3, Join({Tlv(0x02, request_id), {0x02, 0x01, 0x00, 0x02, 0x01, 0x00}, binding}));
  return Tlv(0x30, Join({{0x02, 0x01, 0x01}, Tlv(0x04, {'p', 'u', 'b', 'l', 'i', 'c'}), pdu}));
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

}  // namespace

TEST_F(SimulerTest, GarbageInterleavedWithRequestsNeverStopsTheWorker) {
  StartAgent();
  LogCapture log(0);
  int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in agent{};
  agent.sin_family = AF_INET;
  agent.sin_port = htons(port_);
  agent.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&agent), sizeof(agent)), 0);
  std::mt19937 random(20261207);
  const std::vector<uint8_t> valid = GetRequestBytes(0x01000000);
  int answered = 0;
  const int kRounds = 300;
  for (int round = 0; round < kRounds; ++round) {
    // Garbage: random bytes, or a valid request cut short or with bytes flipped.
    std::vector<uint8_t> junk;
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
    ASSERT_EQ(::send(fd, junk.data(), junk.size(), 0), static_cast<ssize_t>(junk.size()));
    const uint32_t id = 0x02000000 + static_cast<uint32_t>(round);
    const std::vector<uint8_t> request = GetRequestBytes(id);
    ASSERT_GT(::send(fd, request.data(), request.size(), 0), 0);
    bool seen = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!seen && std::chrono::steady_clock::now() < deadline) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 200) <= 0) continue;
      uint8_t answer[2048];
      ssize_t n = ::recv(fd, answer, sizeof(answer), 0);
      if (n > 0 && AnswerId(answer, static_cast<size_t>(n)) == id) seen = true;
    }
    answered += seen ? 1 : 0;
  }
  ::close(fd);
  EXPECT_EQ(answered, kRounds);
  EXPECT_TRUE(engine_.IsRunning());
  EXPECT_GE(log.CountContaining(L"CBerBuffer::CheckPointer() ==> new size 0 is not correct"), 1u);
  EXPECT_EQ(Tool("snmpget", "2c", "1.3.6.1.2.1.1.5.0"), ".1.3.6.1.2.1.1.5.0 = STRING: \"sim-host\"\n");
}

TEST_F(SimulerTest, HandleDatagramDropsRequestsWithoutABinding) {
  port_ = FreeUdpPort();
  ASSERT_TRUE(engine_.Start(port_, true, true, L"public", &simulator_));
  ASSERT_TRUE(engine_.WaitBegun(5000));
  LogCapture log(0);
  // version, community and a PDU with a request id only
  const std::vector<uint8_t> bare = {0x30, 0x0F, 0x02, 0x01, 0x01, 0x04, 0x06, 'p', 'u', 'b', 'l', 'i', 'c', 0xA0, 0x03, 0x02, 0x01, 0x07};
  CBerDecoder decoder;
  ASSERT_TRUE(decoder.Assign(bare.data(), static_cast<uint32_t>(bare.size())));
  CBerEncoder encoder;
  EXPECT_FALSE(engine_.HandleDatagram(decoder, encoder));
  // A community that only matches up to a zero byte is not the community.
  std::vector<uint8_t> zero = GetRequestBytes(0x01000005, std::string("public\0x", 8));
  ASSERT_TRUE(decoder.Assign(zero.data(), static_cast<uint32_t>(zero.size())));
  CBerEncoder encoder2;
  EXPECT_FALSE(engine_.HandleDatagram(decoder, encoder2));
  EXPECT_TRUE(log.HasContaining(L"Wrong community name"));
  // The well-formed request is answered.
  std::vector<uint8_t> good = GetRequestBytes(0x01000006);
  ASSERT_TRUE(decoder.Assign(good.data(), static_cast<uint32_t>(good.size())));
  CBerEncoder encoder3;
  ASSERT_TRUE(engine_.HandleDatagram(decoder, encoder3));
  EXPECT_EQ(AnswerId(encoder3.GetData(), encoder3.GetUsedLength()), 0x01000006u);
}

TEST_F(SimulerTest, StopEndsABlockedWorkerWhichCanBeStartedAgain) {
  StartAgent();
  EXPECT_TRUE(engine_.Stop());
  EXPECT_TRUE(engine_.WaitIdle(3000));
  EXPECT_FALSE(engine_.IsRunning());
  dispatcher_.Drain();
  EXPECT_EQ(view_->started.load(), 1);
  EXPECT_EQ(view_->finished.load(), 1);
  std::string out = Tool("snmpget", "2c", "1.3.6.1.2.1.1.5.0");
  EXPECT_NE(out.find("Timeout"), std::string::npos) << out;
  StartAgent();
  EXPECT_EQ(Tool("snmpget", "2c", "1.3.6.1.2.1.1.5.0"), ".1.3.6.1.2.1.1.5.0 = STRING: \"sim-host\"\n");
}

TEST_F(SimulerTest, APortAlreadyTakenEndsTheRunWithoutServing) {
  int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  socklen_t size = sizeof(address);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  LogCapture log(0);
  ASSERT_TRUE(engine_.Start(ntohs(address.sin_port), true, true, L"public", &simulator_));
  EXPECT_FALSE(engine_.WaitBegun(5000));
  EXPECT_TRUE(engine_.WaitIdle(5000));
  EXPECT_FALSE(engine_.IsRunning());
  EXPECT_TRUE(log.HasContaining(L"Error while creating UDP socket"));
  ::close(fd);
}

TEST_F(SimulerTest, SetsWhileTheViewSavesKeepTheListAndTheFileWhole) {
  StartAgent();
  int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in agent{};
  agent.sin_family = AF_INET;
  agent.sin_port = htons(port_);
  agent.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&agent), sizeof(agent)), 0);
  // The view saves on every refresh; this thread saves as well, as fast as it can.
  std::atomic<bool> done{false};
  std::thread saver([&] {
    while (!done.load()) CSimulatorFile::Save(&simulator_);
  });
  const int kSets = 200;
  int answered = 0;
  for (int i = 0; i < kSets; ++i) {
    const uint32_t id = 0x03000000 + static_cast<uint32_t>(i);
    const std::vector<uint8_t> request = SetRequestBytes(id, "name-" + std::to_string(i));
    ASSERT_GT(::send(fd, request.data(), request.size(), 0), 0);
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 2000) <= 0) continue;
    uint8_t answer[2048];
    ssize_t n = ::recv(fd, answer, sizeof(answer), 0);
    answered += (n > 0 && AnswerId(answer, static_cast<size_t>(n)) == id) ? 1 : 0;
  }
  done.store(true);
  saver.join();
  ::close(fd);
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

namespace {

std::vector<uint8_t> RequestBytes(uint8_t pdu, uint8_t version, int64_t id, const std::vector<uint64_t>& arcs,
                                  const std::string& community = "public") {
  std::vector<uint8_t> oid = {static_cast<uint8_t>(40 * arcs[0] + arcs[1])};
  for (size_t i = 2; i < arcs.size(); ++i) {
    std::vector<uint8_t> groups;
    uint64_t arc = arcs[i];
    do {
      groups.insert(groups.begin(), static_cast<uint8_t>((arc & 0x7F) | (groups.empty() ? 0 : 0x80)));
      arc >>= 7;
    } while (arc != 0);
    oid.insert(oid.end(), groups.begin(), groups.end());
  }
  std::vector<uint8_t> id_octets;
  for (int shift = 56; shift >= 0; shift -= 8) id_octets.push_back(static_cast<uint8_t>(static_cast<uint64_t>(id) >> shift));
  const std::vector<uint8_t> binding = Tlv(0x30, Tlv(0x30, Join({Tlv(0x06, oid), {0x05, 0x00}})));
  const std::vector<uint8_t> pdu_bytes =
      Tlv(pdu, Join({Tlv(0x02, id_octets), {0x02, 0x01, 0x00, 0x02, 0x01, 0x00}, binding}));
  return Tlv(0x30, Join({{0x02, 0x01, version}, Tlv(0x04, std::vector<uint8_t>(community.begin(), community.end())),
                         pdu_bytes}));
}

}  // namespace

// The shortcut for plain Get and GetNext requests must answer exactly as the
// element-list path does, byte for byte, for every kind of stored value.
TEST_F(SimulerTest, FastAnswersAreTheSameBytesAsTheFullPath) {
  ASSERT_TRUE(simulator_.AddValue(L"1.3.6.1.4.1.99999.4.0", L"Boolean", L"1"));
  ASSERT_TRUE(simulator_.AddValue(L"1.3.6.1.4.1.99999.5.0", L"Opaque", L"opaque"));
  ASSERT_TRUE(simulator_.AddValue(L"1.3.6.1.4.1.99999.6.0", L"Octet String", std::wstring(300, L'w')));
  ASSERT_TRUE(simulator_.AddValue(L"1.3.6.1.4.1.99999.7.0", L"Integer", L"-129"));
  ASSERT_TRUE(simulator_.AddValue(L"1.3.6.1.4.1.99999.8.0", L"IP Address", L"1.2.3"));            // logs: full path only
  ASSERT_TRUE(simulator_.AddValue(L"1.3.6.1.4.1.99999.9.0", L"Object Identifier", L"5.3"));      // invalid OID value
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
          const std::vector<uint8_t> request = RequestBytes(pdu, version, id, oid);
          std::vector<uint8_t> shortcut;
          if (!engine_.AnswerFast(request.data(), static_cast<uint32_t>(request.size()), &shortcut)) continue;
          ++fast;
          CBerDecoder decoder;
          ASSERT_TRUE(decoder.Assign(request.data(), static_cast<uint32_t>(request.size())));
          CBerEncoder encoder;
          ASSERT_TRUE(engine_.HandleDatagram(decoder, encoder));
          const std::vector<uint8_t> full(encoder.GetData(), encoder.GetData() + encoder.GetUsedLength());
          ASSERT_EQ(shortcut, full) << "pdu " << int(pdu) << " version " << int(version) << " id " << id;
        }
      }
    }
  }
  EXPECT_GT(fast, 600);
  // Only the full path's own complaints about the two broken values are logged.
  for (const std::wstring& line : log.Messages()) {
    EXPECT_TRUE(line.find(L"1.2.3") != std::wstring::npos || line.find(L"OID") != std::wstring::npos ||
                line.find(L"first number") != std::wstring::npos || line.find(L"Unable to encode") != std::wstring::npos)
        << quillog::WideToUtf8(line);
  }
  // Values whose encoding logs something, other communities and Sets take the full path.
  std::vector<uint8_t> out;
  const std::vector<uint8_t> bad_ip = RequestBytes(0xA0, 1, 9, {1, 3, 6, 1, 4, 1, 99999, 8, 0});
  EXPECT_FALSE(engine_.AnswerFast(bad_ip.data(), static_cast<uint32_t>(bad_ip.size()), &out));
  const std::vector<uint8_t> other = RequestBytes(0xA0, 1, 9, {1, 3, 6, 1, 2, 1, 1, 5, 0}, "Public");
  EXPECT_FALSE(engine_.AnswerFast(other.data(), static_cast<uint32_t>(other.size()), &out));
  const std::vector<uint8_t> set = SetRequestBytes(0x01000001, "x");
  EXPECT_FALSE(engine_.AnswerFast(set.data(), static_cast<uint32_t>(set.size()), &out));
  // A changed text is encoded again, not served from the old encoding.
  const std::vector<uint8_t> get = RequestBytes(0xA0, 1, 9, {1, 3, 6, 1, 2, 1, 1, 5, 0});
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
