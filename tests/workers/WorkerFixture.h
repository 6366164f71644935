// Shared set-up of the worker tests: a view thread with a collecting
// window, a captured show-message interface and captured log lines.
#pragma once

#include "app/MessageCenter.h"
#include "app/PlainDispatcher.h"
#include "app/ShowMessage.h"
#include "asn1/BerDecoder.h"
#include "asn1/IpAddress.h"
#include "snmp/SnmpGenericFrameIn.h"
#include "tests/common/LogCapture.h"
#include "tests/common/NetSnmp.h"
#include "tests/workers/ViewCollector.h"
#include "workers/ThreadActionWalkerParameter.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

class WorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(view_thread_.StartThread());
    view_ = std::make_unique<ViewCollector>(&view_thread_);
    previous_shower_ = SetShowMessage(&boxes_);
  }
  void TearDown() override {
    CMessageCenter::Unsubscribe(view_.get());
    view_thread_.Drain();
    SetShowMessage(previous_shower_);
  }

  static CThreadActionWalkerParameter Parameter(uint16_t port, const wchar_t* first_oid, uint32_t version = 1,
                                                const wchar_t* community = L"tumbol") {
    CThreadActionWalkerParameter p;
    p.retries = 3;
    p.timeout = 1000;
    p.version = version;
    p.community = community;
    p.port = port;
    p.address = IpAddress(L"127.0.0.1");
    p.FirstOid(first_oid);
    return p;
  }

  CPlainDispatcher view_thread_;
  std::unique_ptr<ViewCollector> view_;
  CShowMessageCapture boxes_;
  CShowMessage* previous_shower_ = nullptr;
};

// A UDP socket of the test's own on 127.0.0.1 (port 0: any free one).
class TestSocket {
 public:
  explicit TestSocket(uint16_t port = 0) {
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ok_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    socklen_t len = sizeof a;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
  }
  ~TestSocket() { ::close(fd_); }
  TestSocket(const TestSocket&) = delete;
  TestSocket& operator=(const TestSocket&) = delete;

  bool Ok() const { return ok_; }
  uint16_t Port() const { return port_; }
  bool SendTo(uint16_t port, const std::vector<uint8_t>& data) const {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return ::sendto(fd_, data.data(), data.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a) ==
           static_cast<ssize_t>(data.size());
  }
  // Every datagram waiting now.
  std::vector<std::vector<uint8_t>> Drain() const {
    std::vector<std::vector<uint8_t>> out;
    uint8_t buf[4096];
    while (true) {
      ssize_t n = ::recv(fd_, buf, sizeof buf, MSG_DONTWAIT);
      if (n < 0) break;
      out.emplace_back(buf, buf + n);
    }
    return out;
  }

 private:
  int fd_ = -1;
  bool ok_ = false;
  uint16_t port_ = 0;
};

// Captured messages containing the piece, in order.
inline std::vector<std::wstring> Matching(const LogCapture& log, const std::wstring& piece) {
  std::vector<std::wstring> out;
  for (const std::wstring& m : log.Messages())
    if (m.find(piece) != std::wstring::npos) out.push_back(m);
  return out;
}

// The request id of an encoded request, or -1.
inline int64_t RequestIdOf(const std::vector<uint8_t>& datagram) {
  CBerDecoder decoder;
  if (!decoder.Assign(datagram.data(), static_cast<uint32_t>(datagram.size()))) return -1;
  CSnmpGenericFrameIn frame;
  if (!DecodeDatagram(decoder, frame) || frame.GetCount() < 5) return -1;
  return frame.GetAt(4)->GetValue().GetInteger();
}
