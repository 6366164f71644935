// Pooled thread hand-off and UDP round trips, each beside its baseline.
#include "kit/ZubThread.h"
#include "kit/ZubThreadAction.h"
#include "kit/ZubThreadPool.h"
#include "kit/ZubUdpSocket.h"

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr uint32_t kLoopback = 0x7F000001;
constexpr size_t kDatagram = 128;

class StampAction : public CZubThreadAction {
 public:
  void OnBegin() override {}
  void OnAction(uint32_t, uintptr_t, uintptr_t, uintptr_t) override {
    reached = Clock::now();
    done.store(true, std::memory_order_release);
  }
  void OnEnd() override {}
  void OnTimeout() override {}
  void OnException() override {}

  Clock::time_point reached;
  std::atomic<bool> done{false};
};

// Time from RunAction to OnAction on a pooled thread that is re-used.
void BM_RunActionToOnAction(benchmark::State& state) {
  StampAction action;
  for (auto _ : state) {
    action.done.store(false);
    const Clock::time_point start = Clock::now();
    CZubThreadPool::RunAction(&action, false, nullptr, 0);
    while (!action.done.load(std::memory_order_acquire)) std::this_thread::yield();
    state.SetIterationTime(std::chrono::duration<double>(action.reached - start).count());
    // Let the thread become idle again so the next run re-uses it.
    while (action.GetThread()->GetAction() == &action) std::this_thread::yield();
  }
  state.counters["pool_size"] = static_cast<double>(CZubThreadPool::GetSize());
}
BENCHMARK(BM_RunActionToOnAction)->UseManualTime()->MinTime(1.0);

// A raw UDP socket bound to a free loopback port, connected to `peer` when given.
int RawSocket(uint16_t* port, uint16_t peer = 0) {
  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(kLoopback);
  ::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof(sa));
  socklen_t len = sizeof(sa);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
  *port = ntohs(sa.sin_port);
  if (peer != 0) {
    sa.sin_port = htons(peer);
    ::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof(sa));
  }
  return fd;
}

struct RawPair {
  RawPair() {
    server = RawSocket(&server_port);
    uint16_t client_port = 0;
    client = RawSocket(&client_port, server_port);
  }
  ~RawPair() {
    ::close(server);
    ::close(client);
  }
  bool RoundTrip(const char* data, char* buffer) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(server_port);
    to.sin_addr.s_addr = htonl(kLoopback);
    if (::sendto(client, data, kDatagram, 0, reinterpret_cast<sockaddr*>(&to), sizeof(to)) < 0) return false;
    sockaddr_in from{};
    socklen_t len = sizeof(from);
    return ::recvfrom(server, buffer, 2048, 0, reinterpret_cast<sockaddr*>(&from), &len) ==
           static_cast<ssize_t>(kDatagram);
  }
  int server = -1;
  int client = -1;
  uint16_t server_port = 0;
};

struct KitPair {
  KitPair() {
    for (int attempt = 0; attempt < 20 && !server.IsOpen(); ++attempt) {
      uint16_t port = 0;
      const int probe = RawSocket(&port);
      ::close(probe);
      if (server.SocketServerOpen(port, nullptr, L"127.0.0.1")) {
        server_port = port;
      } else {
        server.SocketClose();
      }
    }
    client.SocketClientOpen(kLoopback, server_port);
  }
  bool RoundTrip(const char* data, char* buffer) {
    if (!client.SocketSend(kLoopback, server_port, data, kDatagram)) return false;
    uint32_t address = 0, port = 0, length = 2048;
    return server.SocketRecv(&address, &port, buffer, &length) && length == kDatagram;
  }
  CZubUdpSocket server;
  CZubUdpSocket client;
  uint32_t server_port = 0;
};

void BM_UdpRawPosix(benchmark::State& state) {
  RawPair pair;
  std::vector<char> data(kDatagram, 'x'), buffer(2048);
  for (auto _ : state) {
    if (!pair.RoundTrip(data.data(), buffer.data())) state.SkipWithError("raw round trip failed");
  }
}
BENCHMARK(BM_UdpRawPosix)->MinTime(1.0);

void BM_UdpZubSocket(benchmark::State& state) {
  KitPair pair;
  std::vector<char> data(kDatagram, 'x'), buffer(2048);
  for (auto _ : state) {
    if (!pair.RoundTrip(data.data(), buffer.data())) state.SkipWithError("kit round trip failed");
  }
}
BENCHMARK(BM_UdpZubSocket)->MinTime(1.0);

// Both in alternating blocks, so machine load hits them alike; the counter
// kit_over_raw is the kit's time divided by the raw time.
void BM_UdpZubOverRaw(benchmark::State& state) {
  RawPair raw;
  KitPair kit;
  std::vector<char> data(kDatagram, 'x'), buffer(2048);
  constexpr int kBlock = 200;
  Clock::duration raw_time{}, kit_time{};
  for (auto _ : state) {
    Clock::time_point t0 = Clock::now();
    for (int i = 0; i < kBlock; ++i) raw.RoundTrip(data.data(), buffer.data());
    Clock::time_point t1 = Clock::now();
    for (int i = 0; i < kBlock; ++i) kit.RoundTrip(data.data(), buffer.data());
    Clock::time_point t2 = Clock::now();
    raw_time += t1 - t0;
    kit_time += t2 - t1;
  }
  state.counters["kit_over_raw"] =
      std::chrono::duration<double>(kit_time).count() / std::chrono::duration<double>(raw_time).count();
}
BENCHMARK(BM_UdpZubOverRaw)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
