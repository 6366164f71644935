// Host, port and URL checks against loopback sockets the tests open.
#include "kit/ZubTcpSocket.h"
#include "setrig/Setrig.h"
#include "tests/common/LogCapture.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <future>
#include <memory>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr uint32_t kLoopback = 0x7F000001u;

// A TCP socket listening on 127.0.0.1 with the given backlog.
class Listener {
 public:
  explicit Listener(int backlog = 8) {
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
  int m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
  uint16_t m_port = 0;
};

TEST(SetrigSock, HostnameAndTcpPortChecks) {
  LogCapture log;
  EXPECT_EQ(Setrig_SockCheckHostname("localhost"), 1);
  EXPECT_EQ(Setrig_SockCheckHostname("no-such-host.invalid"), 0);
  EXPECT_TRUE(log.Has(L"Host no-such-host.invalid not resolved in CZubLowSocket::ResolvIp()"));
  EXPECT_EQ(Setrig_SockCheckHostname(nullptr), 0);

  Listener listener;
  const uint16_t closed = Listener().Port();  // bound a moment ago, then released
  EXPECT_EQ(Setrig_SockCheckTcpPort("127.0.0.1", listener.Port()), 1);
  EXPECT_EQ(Setrig_SockCheckTcpPort("localhost", listener.Port()), 1);
  EXPECT_EQ(Setrig_SockCheckTcpPort("127.0.0.1", closed), 0);
  EXPECT_EQ(Setrig_SockCheckTcpPort("127.0.0.1", 0), 0);
  EXPECT_EQ(Setrig_SockCheckTcpPort("no-such-host.invalid", listener.Port()), 0);
  EXPECT_TRUE(log.Has(L"Unknown host no-such-host.invalid"));
}

TEST(SetrigSock, TcpSocketRefusesASecondOpenAndBadPorts) {
  LogCapture log;
  Listener listener;
  CZubTcpSocket socket;
  EXPECT_FALSE(socket.SocketClientOpen(kLoopback, 0));
  EXPECT_FALSE(socket.SocketClientOpen(kLoopback, 65536));
  EXPECT_EQ(log.Count(L"CZubTcpSocket::SocketClientOpen() : Bad parameters"), 2u);
  ASSERT_TRUE(socket.SocketClientOpen(kLoopback, listener.Port()));
  const int first = socket.GetSocket();
  EXPECT_FALSE(socket.SocketClientOpen(kLoopback, listener.Port()));
  EXPECT_TRUE(log.Has(L"CZubTcpSocket::SocketClientOpen() : The socket is already open"));
  EXPECT_EQ(socket.GetSocket(), first) << "the open socket was replaced";
  EXPECT_TRUE(socket.SocketClose());
  EXPECT_TRUE(socket.SocketClientOpen(kLoopback, listener.Port())) << "open again after a close";
}

// A listener whose accept queue is full drops further connection requests,
// as a filtering host would: the check must give up on its own (5 s).
TEST(SetrigSock, TcpPortCheckGivesUpOnAHostThatDropsPackets) {
  Listener listener(0);
  std::vector<std::unique_ptr<CZubTcpSocket>> fillers;
  for (int i = 0; i < 4; ++i) {
    auto s = std::make_unique<CZubTcpSocket>();
    if (!s->SocketClientOpen(kLoopback, listener.Port(), 300)) break;
    fillers.push_back(std::move(s));
  }
  ASSERT_FALSE(fillers.empty());
  auto result = std::async(std::launch::async, [&] { return Setrig_SockCheckTcpPort("127.0.0.1", listener.Port()); });
  ASSERT_EQ(result.wait_for(std::chrono::seconds(20)), std::future_status::ready)
      << "the port check did not give up within 20 s";
  EXPECT_EQ(result.get(), 0);
}

TEST(SetrigUrl, SchemeHostAndPortButNeverThePath) {
  struct Case {
    const char* url;
    uint16_t port;
    const char* scheme;
    const char* host;
    uint32_t host_size = 64;
  };
  for (const Case& c : {Case{"http://www.example.org/path/page.html?q=1", 80, "http", "www.example.org"},
                        Case{"https://user:pw@Example.org:8443/x", 8443, "https", "Example.org"},
                        Case{"https://127.0.0.1", 443, "https", "127.0.0.1"},
                        Case{"ftp://abcdefgh.example/", 21, "ftp", "abcd", 5},  // cut to the buffer
                        Case{"http://h:65535/", 65535, "http", "h"}, Case{"http://h:65536/", 0, "", ""},
                        Case{"not a url", 0, "", ""}, Case{"http://", 0, "", ""}, Case{"http://h:99999/", 0, "", ""}}) {
    char scheme[16] = "old";
    char host[64] = "old";
    EXPECT_EQ(Setrig_SockParseUrl(c.url, scheme, sizeof scheme, host, c.host_size), c.port) << c.url;
    EXPECT_STREQ(scheme, c.scheme) << c.url;
    EXPECT_STREQ(host, c.host) << c.url;
  }
  LogCapture log;
  char buffer[16];
  EXPECT_EQ(Setrig_SockParseUrl("http://h/", buffer, 0, buffer, sizeof buffer), 0);
  EXPECT_EQ(Setrig_SockParseUrl("http://h/", nullptr, 8, buffer, sizeof buffer), 0);
  EXPECT_EQ(Setrig_SockParseUrl(nullptr, buffer, sizeof buffer, buffer, sizeof buffer), 0);
  EXPECT_EQ(log.Count(L"Invalid buffer"), 3u);
}

}  // namespace
