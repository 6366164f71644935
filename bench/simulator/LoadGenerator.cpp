#include "bench/simulator/LoadGenerator.h"

#include "asn1/Asn1Length.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/uio.h>
#include <unistd.h>

namespace simbench {

namespace {

std::vector<uint8_t> Tlv(uint8_t tag, const std::vector<uint8_t>& content) {
  std::vector<uint8_t> out{tag};
  uint8_t length[9];
  out.insert(out.end(), length, length + BerLengthOctets(content.size(), length));
  out.insert(out.end(), content.begin(), content.end());
  return out;
}

std::vector<uint8_t> Cat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

sockaddr_in Loopback(uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

}  // namespace

GetRequest::GetRequest(const std::string& community, const std::vector<uint8_t>& oid_der) {
  std::vector<uint8_t> id = {0x02, 0x04, 0x01, 0x00, 0x00, 0x00};
  std::vector<uint8_t> binding = Tlv(0x30, Tlv(0x30, Cat({Tlv(0x06, oid_der), {0x05, 0x00}})));
  std::vector<uint8_t> pdu = Tlv(0xA0, Cat({id, {0x02, 0x01, 0x00, 0x02, 0x01, 0x00}, binding}));
  std::vector<uint8_t> head =
      Cat({{0x02, 0x01, 0x01}, Tlv(0x04, std::vector<uint8_t>(community.begin(), community.end()))});
  m_bytes = Tlv(0x30, Cat({head, pdu}));
  // The id's four octets follow the PDU's tag and short length and the
  // id's own tag and length.
  m_id_offset = m_bytes.size() - pdu.size() + 4;
}

void GetRequest::SetRequestId(uint32_t id) {
  id = 0x01000000 | (id & 0x00FFFFFF);
  m_bytes[m_id_offset] = static_cast<uint8_t>(id >> 24);
  m_bytes[m_id_offset + 1] = static_cast<uint8_t>(id >> 16);
  m_bytes[m_id_offset + 2] = static_cast<uint8_t>(id >> 8);
  m_bytes[m_id_offset + 3] = static_cast<uint8_t>(id);
}

// Answers are taken in batches (recvmmsg, waiting for the first one) and the
// requests that replace them go out in one sendmmsg, so the generator spends
// few system calls per request and the agent, not the generator, sets the pace.
LoadResult RunLoad(uint16_t port, const GetRequest& prototype, int outstanding, double seconds) {
  LoadResult result;
  int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return result;
  sockaddr_in peer = Loopback(port);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&peer), sizeof(peer)) != 0) {
    ::close(fd);
    return result;
  }
  int buffer = 1 << 20;
  ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof(buffer));
  timeval wait{0, 50000};  // a lost request is replaced after 50 ms
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof(wait));

  const size_t window = static_cast<size_t>(outstanding);
  std::vector<GetRequest> requests(window, prototype);
  std::vector<iovec> send_iov(window);
  std::vector<mmsghdr> send_msgs(window);
  std::vector<std::vector<uint8_t>> answers(window, std::vector<uint8_t>(2048));
  std::vector<iovec> recv_iov(window);
  std::vector<mmsghdr> recv_msgs(window);
  for (size_t i = 0; i < window; ++i) {
    recv_iov[i] = iovec{answers[i].data(), answers[i].size()};
    recv_msgs[i] = mmsghdr{};
    recv_msgs[i].msg_hdr.msg_iov = &recv_iov[i];
    recv_msgs[i].msg_hdr.msg_iovlen = 1;
  }
  uint32_t next_id = 1;
  auto send_batch = [&](size_t count) {
    for (size_t i = 0; i < count; ++i) {
      requests[i].SetRequestId(next_id++);
      send_iov[i] = iovec{const_cast<uint8_t*>(requests[i].bytes().data()), requests[i].bytes().size()};
      send_msgs[i] = mmsghdr{};
      send_msgs[i].msg_hdr.msg_iov = &send_iov[i];
      send_msgs[i].msg_hdr.msg_iovlen = 1;
    }
    int sent = ::sendmmsg(fd, send_msgs.data(), static_cast<unsigned>(count), 0);
    if (sent > 0) result.sent += static_cast<uint64_t>(sent);
  };

  using clock = std::chrono::steady_clock;
  const auto start = clock::now();
  const auto stop = start + std::chrono::duration_cast<clock::duration>(std::chrono::duration<double>(seconds));
  send_batch(window);
  while (clock::now() < stop) {
    int got = ::recvmmsg(fd, recv_msgs.data(), static_cast<unsigned>(window), MSG_WAITFORONE, nullptr);
    if (got > 0) {
      result.answered += static_cast<uint64_t>(got);
      send_batch(static_cast<size_t>(got));
    } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
      send_batch(window);  // requests were lost: put a full window back in flight
    } else if (errno != EINTR) {
      break;
    }
  }
  result.seconds = std::chrono::duration<double>(clock::now() - start).count();
  ::close(fd);
  return result;
}

namespace {

double Seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; }

}  // namespace

double OtherThreadsCpuSeconds() {
  rusage all{}, self{};
  ::getrusage(RUSAGE_SELF, &all);
  ::getrusage(RUSAGE_THREAD, &self);
  return Seconds(all.ru_utime) + Seconds(all.ru_stime) - Seconds(self.ru_utime) - Seconds(self.ru_stime);
}

double ProcessCpuSeconds(int pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // Fields after the command's closing parenthesis; utime and stime are the 12th and 13th.
  size_t close = text.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  double ticks = 0;
  for (int i = 1; i <= 13 && fields >> field; ++i) {
    if (i >= 12) ticks += std::stod(field);
  }
  return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

EchoServer::EchoServer() {
  m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in address = Loopback(0);
  socklen_t size = sizeof(address);
  ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
  ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &size);
  m_port = ntohs(address.sin_port);
  m_thread = std::thread([fd = m_fd] {
    uint8_t data[2048];
    for (;;) {
      sockaddr_in from{};
      socklen_t length = sizeof(from);
      ssize_t n = ::recvfrom(fd, data, sizeof(data), 0, reinterpret_cast<sockaddr*>(&from), &length);
      if (n <= 0) return;
      ::sendto(fd, data, static_cast<size_t>(n), 0, reinterpret_cast<sockaddr*>(&from), length);
    }
  });
}

EchoServer::~EchoServer() {
  ::shutdown(m_fd, SHUT_RDWR);
  if (m_thread.joinable()) m_thread.join();
  ::close(m_fd);
}

}  // namespace simbench
