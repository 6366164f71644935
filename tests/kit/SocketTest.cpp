// UDP sockets on loopback ports picked by the test.
#include "kit/ZubCounter.h"
#include "kit/ZubHandle.h"
#include "kit/ZubUdpSocket.h"
#include "tests/common/LogCapture.h"
#include "tests/common/UdpSocket.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>
#include <vector>

namespace {

using Bytes = TestUdpSocket::Bytes;
constexpr uint32_t kLoopback = 0x7F000001;

uint32_t FreePort() { return TestUdpSocket().Port(); }

// Opens `socket` as a server on a free loopback port and returns the port.
uint32_t OpenServer(CZubUdpSocket& socket) {
  for (int attempt = 0; attempt < 20; ++attempt) {
    const uint32_t port = FreePort();
    if (socket.SocketServerOpen(port, nullptr, L"127.0.0.1")) return port;
    socket.SocketClose();
  }
  return 0;
}

Bytes Pattern(size_t size) {
  Bytes data(size);
  for (size_t i = 0; i < size; ++i) data[i] = static_cast<uint8_t>(i * 7 + 3);
  return data;
}

// One SocketRecv into a buffer of `size` bytes.
struct Received {
  bool ok = false;
  Bytes data;
  uint32_t address = 0, port = 0;
};
Received Receive(CZubUdpSocket& socket, uint32_t size = 2048) {
  Received r;
  r.data.resize(size);
  uint32_t length = size;
  r.ok = socket.SocketRecv(&r.address, &r.port, r.data.data(), &length);
  r.data.resize(r.ok ? length : 0);
  return r;
}

TEST(KitSocket, PortsOutsideOneTo65535AreRefusedWithoutASocket) {
  const int32_t before = ZubCounterSockets().GetCurrent();
  CZubUdpSocket socket;
  for (uint32_t port : {0u, 65536u}) {
    EXPECT_FALSE(socket.SocketClientOpen(kLoopback, port));
    EXPECT_FALSE(socket.SocketServerOpen(port));
    EXPECT_FALSE(socket.IsOpen());
  }
  EXPECT_EQ(ZubCounterSockets().GetCurrent(), before);
  for (uint32_t port : {1u, 65535u}) {  // both ends of the range are ports
    EXPECT_TRUE(socket.SocketClientOpen(kLoopback, port)) << port;
    EXPECT_TRUE(socket.SocketClose());
  }
}

TEST(KitSocket, TakenPortFailsToBindAndLeavesTheSocketOpenUntilDestroyed) {
  LogCapture log;
  TestUdpSocket holder;
  const int32_t before = ZubCounterSockets().GetCurrent();
  {
    CZubUdpSocket socket;
    EXPECT_FALSE(socket.SocketServerOpen(holder.Port(), nullptr, L"127.0.0.1"));
    EXPECT_TRUE(socket.IsOpen());
    EXPECT_EQ(ZubCounterSockets().GetCurrent(), before + 1);
  }
  EXPECT_TRUE(log.Has(L"CZubLowSocket destructor is closing an open socket", QUILLOG_WARNING));
  EXPECT_EQ(ZubCounterSockets().GetCurrent(), before);
}

TEST(KitSocket, ClientAndServerExchangeDatagramsOfUpTo2048Bytes) {
  CZubUdpSocket server;
  const uint32_t port = OpenServer(server);
  ASSERT_NE(port, 0u);
  CZubUdpSocket client;
  ASSERT_TRUE(client.SocketClientOpen(kLoopback, port));
  ASSERT_TRUE(client.SocketSend(kLoopback, port, Pattern(2048).data(), 2048));
  const Received request = Receive(server);
  ASSERT_EQ(request.data, Pattern(2048));
  EXPECT_EQ(request.address, kLoopback);
  ASSERT_TRUE(server.SocketSend(request.address, request.port, "pong", 4));
  const Received answer = Receive(client);
  EXPECT_EQ(answer.data, (Bytes{'p', 'o', 'n', 'g'}));
  EXPECT_EQ(answer.port, port);

  // A longer datagram is refused and the socket goes on working after it.
  TestUdpSocket stranger;
  ASSERT_TRUE(stranger.SendTo(port, Pattern(2049)));
  EXPECT_FALSE(Receive(server).ok);
  ASSERT_TRUE(stranger.SendTo(port, Pattern(5)));
  EXPECT_EQ(Receive(server).data, Pattern(5));
  // Pseudo-connected: a stranger's datagram is not delivered to the client.
  ASSERT_TRUE(stranger.SendTo(static_cast<uint16_t>(request.port), Pattern(3)));
  EXPECT_EQ(client.SocketWaitRead(50), 0);
}

TEST(KitSocket, MisuseIsRefused) {
  LogCapture log;
  CZubUdpSocket socket;
  char buffer[16];
  uint32_t address = 0, port = 0, length = sizeof(buffer);
  EXPECT_FALSE(socket.SocketSend(kLoopback, 9, "x", 1) || socket.SocketRecv(&address, &port, buffer, &length));
  ASSERT_NE(OpenServer(socket), 0u);
  EXPECT_FALSE(socket.SocketServerOpen(1234) || socket.SocketSend(kLoopback, 9, nullptr, 1) ||
               socket.SocketSend(kLoopback, 65536 + 9, "x", 1));
  length = 0;
  EXPECT_FALSE(socket.SocketRecv(&address, &port, buffer, &length));
  EXPECT_TRUE(socket.IsOpen() && socket.SocketClose());
  EXPECT_FALSE(socket.SocketClose());
  EXPECT_EQ(CZubLowSocket::ResolvIp("localhost"), kLoopback);
  EXPECT_EQ(CZubLowSocket::ResolvIp("bad..name"), 0u);  // fails inside the resolver, no query sent
}

TEST(KitSocket, CloseFromAnotherThreadEndsABlockedReceiveOrWait) {
  CZubUdpSocket server;
  ASSERT_NE(OpenServer(server), 0u);
  std::atomic<bool> entered{false};
  auto receiver = std::async(std::launch::async, [&] {
    entered = true;
    return Receive(server).ok;
  });
  CZubUdpSocket client;
  TestUdpSocket agent;
  ASSERT_TRUE(client.SocketClientOpen(kLoopback, agent.Port()));
  auto waiter = std::async(std::launch::async, [&] { return client.SocketWaitRead(ZUB_INFINITE); });
  ASSERT_TRUE(WaitUntil([&] { return entered.load(); }));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // let them block in recvfrom and poll
  ASSERT_EQ(receiver.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout);
  EXPECT_TRUE(server.SocketClose());
  EXPECT_TRUE(client.SocketClose());
  ASSERT_EQ(receiver.wait_for(std::chrono::seconds(2)), std::future_status::ready);
  EXPECT_FALSE(receiver.get());
  ASSERT_EQ(waiter.wait_for(std::chrono::seconds(2)), std::future_status::ready);
  EXPECT_EQ(waiter.get(), -1);
}

// A receiver racing a close never reads a socket opened after the close,
// even when the new socket gets the same descriptor number.
TEST(KitSocket, ReceiverRacingACloseNeverReadsTheNextSocket) {
  for (int round = 0; round < 100; ++round) {
    CZubUdpSocket old_socket;
    ASSERT_NE(OpenServer(old_socket), 0u);
    auto receiver = std::async(std::launch::async, [&] { return Receive(old_socket, 64).ok; });
    if (round % 2 == 0) std::this_thread::yield();
    ASSERT_TRUE(old_socket.SocketClose());
    CZubUdpSocket next;
    const uint32_t next_port = OpenServer(next);
    ASSERT_NE(next_port, 0u);
    TestUdpSocket client;
    ASSERT_TRUE(client.SendTo(next_port, Pattern(8)));
    ASSERT_EQ(receiver.wait_for(std::chrono::seconds(2)), std::future_status::ready);
    EXPECT_FALSE(receiver.get());
    ASSERT_EQ(next.SocketWaitRead(2000), 1);
    EXPECT_EQ(Receive(next, 64).data, Pattern(8));
  }
}

}  // namespace
