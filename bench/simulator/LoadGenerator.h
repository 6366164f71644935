// A small SNMP load generator: keeps a fixed number of GetRequests in
// flight against one agent on the loopback and counts the answers.
#pragma once

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace simbench {

// A v2c GetRequest for `oid_der` (content octets of the OID) with a 4-byte
// request id at a fixed offset, so each send only patches the id.
class GetRequest {
 public:
  GetRequest(const std::string& community, const std::vector<uint8_t>& oid_der);
  void SetRequestId(uint32_t id);
  const std::vector<uint8_t>& bytes() const { return m_bytes; }

 private:
  std::vector<uint8_t> m_bytes;
  size_t m_id_offset = 0;
};

struct LoadResult {
  uint64_t answered = 0;
  uint64_t sent = 0;
  double seconds = 0;
  double Rate() const { return seconds > 0 ? static_cast<double>(answered) / seconds : 0; }
};

// Sends requests to 127.0.0.1:port keeping `outstanding` unanswered ones in
// flight for `seconds`; lost requests are replaced after a short wait.
LoadResult RunLoad(uint16_t port, const GetRequest& request, int outstanding, double seconds);

// A bare UDP echo server on a loopback port, the ceiling of the machine.
class EchoServer {
 public:
  EchoServer();
  ~EchoServer();
  uint16_t port() const { return m_port; }

 private:
  int m_fd = -1;
  uint16_t m_port = 0;
  std::thread m_thread;
};

// CPU seconds (user + system) used so far by the other threads of this
// process (everything but the calling thread), and by another process.
double OtherThreadsCpuSeconds();
double ProcessCpuSeconds(int pid);

}  // namespace simbench
