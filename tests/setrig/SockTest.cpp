// Host, port and URL checks against loopback sockets the tests open.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <vector>

#include "kit/ZubTcpSocket.h"
#include "setrig/Setrig.h"
#include "setrig/ZubUrl.h"
#include "tests/common/LogCapture.h"

namespace {

// A TCP socket listening on 127.0.0.1 with the given backlog.
class Listener {
 public:
  explicit Listener(int backlog = 8) {
    m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(m_fd, backlog);
    socklen_t len = sizeof a;
    ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len);
    m_port = ntohs(a.sin_port);
  }
  ~Listener() { ::close(m_fd); }
  uint16_t Port() const { return m_port; }

 private:
  int m_fd;
  uint16_t m_port;
};

// A loopback port nobody listens on (bound a moment ago, then released).
uint16_t ClosedTcpPort() {
  Listener gone;
  return gone.Port();
}

TEST(SetrigSock, HostnameCheck) {
  LogCapture log;
  EXPECT_EQ(Setrig_SockCheckHostname("127.0.0.1"), 1);
  EXPECT_EQ(Setrig_SockCheckHostname("localhost"), 1);
  EXPECT_EQ(Setrig_SockCheckHostname("no-such-host.invalid"), 0);
  EXPECT_TRUE(log.Has(L"Host no-such-host.invalid not resolved in CZubLowSocket::ResolvIp()"));
  EXPECT_EQ(Setrig_SockCheckHostname(""), 0);
  EXPECT_EQ(Setrig_SockCheckHostname(nullptr), 0);
}

TEST(SetrigSock, TcpPortOpenAndClosed) {
  LogCapture log;
  Listener listener;
  EXPECT_EQ(Setrig_SockCheckTcpPort("127.0.0.1", listener.Port()), 1);
  EXPECT_EQ(Setrig_SockCheckTcpPort("localhost", listener.Port()), 1);
  EXPECT_EQ(Setrig_SockCheckTcpPort("127.0.0.1", ClosedTcpPort()), 0);
  EXPECT_EQ(Setrig_SockCheckTcpPort("no-such-host.invalid", listener.Port()), 0);
  EXPECT_TRUE(log.Has(L"Unknown host no-such-host.invalid"));
  EXPECT_EQ(Setrig_SockCheckTcpPort("127.0.0.1", 0), 0);
}

TEST(SetrigSock, TcpSocketRefusesASecondOpenAndBadPorts) {
  LogCapture log;
  Listener listener;
  CZubTcpSocket socket;
  EXPECT_FALSE(socket.SocketClientOpen(0x7F000001u, 0));
  EXPECT_FALSE(socket.SocketClientOpen(0x7F000001u, 65536));
  EXPECT_EQ(log.Count(L"CZubTcpSocket::SocketClientOpen() : Bad parameters"), 2u);
  EXPECT_FALSE(socket.IsOpen());
  ASSERT_TRUE(socket.SocketClientOpen(0x7F000001u, listener.Port()));
  const int first = socket.GetSocket();
  EXPECT_FALSE(socket.SocketClientOpen(0x7F000001u, listener.Port()));
  EXPECT_TRUE(log.Has(L"CZubTcpSocket::SocketClientOpen() : The socket is already open"));
  EXPECT_EQ(socket.GetSocket(), first) << "the open socket was replaced";
  EXPECT_TRUE(socket.SocketClose());
  // Open again after a close.
  EXPECT_TRUE(socket.SocketClientOpen(0x7F000001u, listener.Port()));
}

// A listener whose accept queue is full drops further connection requests,
// as a filtering host would: the check must give up on its own.
TEST(SetrigSock, TcpPortCheckGivesUpOnAHostThatDropsPackets) {
  Listener listener(0);
  std::vector<std::unique_ptr<CZubTcpSocket>> fillers;
  for (int i = 0; i < 4; ++i) {
    auto s = std::make_unique<CZubTcpSocket>();
    if (!s->SocketClientOpen(0x7F000001u, listener.Port(), 300)) break;
    fillers.push_back(std::move(s));
  }
  ASSERT_FALSE(fillers.empty());
  CZubTcpSocket probe;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(probe.SocketClientOpen(0x7F000001u, listener.Port(), 500));
  EXPECT_FALSE(probe.IsOpen());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));

  auto result = std::async(std::launch::async, [&] { return Setrig_SockCheckTcpPort("127.0.0.1", listener.Port()); });
  ASSERT_EQ(result.wait_for(std::chrono::seconds(20)), std::future_status::ready)
      << "the port check did not give up within 20 s";
  EXPECT_EQ(result.get(), 0);
}

TEST(SetrigUrl, SplitsSchemeHostAndPort) {
  char scheme[16];
  char host[64];
  EXPECT_EQ(Setrig_SockParseUrl("http://www.example.org/path/page.html?q=1", scheme, sizeof scheme, host, sizeof host),
            80);
  EXPECT_STREQ(scheme, "http");
  EXPECT_STREQ(host, "www.example.org");
  EXPECT_EQ(Setrig_SockParseUrl("https://user:pw@Example.org:8443/x", scheme, sizeof scheme, host, sizeof host), 8443);
  EXPECT_STREQ(scheme, "https");
  EXPECT_STREQ(host, "Example.org");
  EXPECT_EQ(Setrig_SockParseUrl("https://127.0.0.1", scheme, sizeof scheme, host, sizeof host), 443);
  EXPECT_STREQ(host, "127.0.0.1");
}

TEST(SetrigUrl, BadUrlsAndBuffers) {
  LogCapture log;
  char scheme[16] = "old";
  char host[64] = "old";
  EXPECT_EQ(Setrig_SockParseUrl("not a url", scheme, sizeof scheme, host, sizeof host), 0);
  EXPECT_STREQ(scheme, "");
  EXPECT_STREQ(host, "");
  EXPECT_TRUE(log.Has(L"An error in WinHttpCrackUrl()"));
  EXPECT_EQ(Setrig_SockParseUrl("http://", scheme, sizeof scheme, host, sizeof host), 0);
  EXPECT_EQ(Setrig_SockParseUrl("http://h:99999/", scheme, sizeof scheme, host, sizeof host), 0);

  log.Clear();
  EXPECT_EQ(Setrig_SockParseUrl("http://h/", scheme, 0, host, sizeof host), 0);
  EXPECT_EQ(Setrig_SockParseUrl("http://h/", nullptr, 8, host, sizeof host), 0);
  EXPECT_EQ(Setrig_SockParseUrl(nullptr, scheme, sizeof scheme, host, sizeof host), 0);
  EXPECT_EQ(log.Count(L"Invalid buffer"), 3u);

  // A host longer than its buffer is cut and terminated.
  char small[5];
  EXPECT_EQ(Setrig_SockParseUrl("ftp://abcdefgh.example/", scheme, sizeof scheme, small, sizeof small), 21);
  EXPECT_STREQ(small, "abcd");
  EXPECT_STREQ(scheme, "ftp");
}

}  // namespace
