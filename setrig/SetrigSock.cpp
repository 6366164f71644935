// Host name and TCP port checks, URL splitting.
#include "kit/ZubLowSocket.h"
#include "kit/ZubTcpSocket.h"
#include "setrig/Setrig.h"
#include "setrig/SetrigExport.h"
#include "setrig/ZubUrl.h"

namespace {

// The socket layer started for the length of one export.
class CSocketLayer {
 public:
  CSocketLayer() { CZubTcpStaticFunction::InitLow(); }
  ~CSocketLayer() { CZubTcpStaticFunction::TerminateLow(); }
  CSocketLayer(const CSocketLayer&) = delete;
  CSocketLayer& operator=(const CSocketLayer&) = delete;
};

bool CheckTcpPort(const char* host, uint16_t port) {
  CSocketLayer layer;
  const uint32_t address = CZubLowSocket::ResolvIp(host);
  if (address == 0) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unknown host %S", host);
    return false;
  }
  CZubTcpSocket socket;
  if (!socket.SocketClientOpen(address, port)) return false;
  socket.SocketClose();
  return true;
}

}  // namespace

extern "C" {

int Setrig_SockCheckHostname(const char* host) {
  return setrig::Export(L"Setrig_SockCheckHostname", [&] {
    CSocketLayer layer;
    return CZubLowSocket::ResolvIp(host) != 0;
  });
}

int Setrig_SockCheckTcpPort(const char* host, uint16_t port) {
  return setrig::Export(L"Setrig_SockCheckTcpPort", [&] { return CheckTcpPort(host, port); });
}

uint16_t Setrig_SockParseUrl(const char* url, char* scheme, uint32_t scheme_size, char* host, uint32_t host_size) {
  return setrig::Run<uint16_t>(L"Setrig_SockParseUrl", 0, [&]() -> uint16_t {
    if (url == nullptr || scheme == nullptr || host == nullptr || scheme_size == 0 || host_size == 0) {
      QuillogW(QUILLOG_ERROR, QLF_NONE, L"Invalid buffer");
      return 0;
    }
    setrig::ClearOut(scheme, scheme_size);
    setrig::ClearOut(host, host_size);
    CZubUrl parts;
    if (!parts.Split(url)) return 0;
    setrig::CopyOut(parts.GetScheme(), scheme, scheme_size);
    setrig::CopyOut(parts.GetHost(), host, host_size);
    return parts.GetPort();
  });
}

}  // extern "C"
