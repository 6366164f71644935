// An SNMP agent of the test's own on a loopback port. It reads each request
// by hand (not with the codec under test) and sends back whatever the test's
// script returns for it: right answers, wrong ones, or none at all.
#pragma once

#include "tests/common/BerBytes.h"
#include "tests/common/UdpSocket.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace scripted {

using berbytes::Bytes;
using Arcs = std::vector<uint64_t>;

struct Request {
  int number = 0;  // 1 for the first request received
  int64_t version = -1;
  std::string community;
  uint8_t pdu = 0;
  int64_t request_id = 0;
  int64_t non_repeaters = 0;    // a GetBulk's counts, where the other
  int64_t max_repetitions = 0;  // requests have their error fields
  Arcs oid;                     // the first binding's name
  Bytes value;                  // the first binding's value, whole (tag, length, content)
};

// Reads one definite-length TLV at `at`; false when it does not fit.
inline bool NextTlv(const uint8_t*& at, const uint8_t* end, uint8_t* tag, const uint8_t** body, size_t* size) {
  if (end - at < 2) return false;
  *tag = at[0];
  size_t length = at[1];
  const uint8_t* p = at + 2;
  if (length & 0x80) {
    const size_t count = length & 0x7F;
    if (count == 0 || count > 4 || static_cast<size_t>(end - p) < count) return false;
    length = 0;
    for (size_t i = 0; i < count; ++i) length = (length << 8) | *p++;
  }
  if (static_cast<size_t>(end - p) < length) return false;
  *body = p;
  *size = length;
  at = p + length;
  return true;
}

inline int64_t ReadInt(const uint8_t* body, size_t size) {
  uint64_t v = (size > 0 && (body[0] & 0x80)) ? ~uint64_t{0} : 0;
  for (size_t i = 0; i < size; ++i) v = (v << 8) | body[i];
  return static_cast<int64_t>(v);
}

inline Arcs ReadOid(const uint8_t* body, size_t size) {
  Arcs arcs;
  if (size == 0) return arcs;
  arcs = {static_cast<uint64_t>(body[0] / 40), static_cast<uint64_t>(body[0] % 40)};
  uint64_t arc = 0;
  for (size_t i = 1; i < size; ++i) {
    arc = (arc << 7) | (body[i] & 0x7F);
    if (!(body[i] & 0x80)) {
      arcs.push_back(arc);
      arc = 0;
    }
  }
  return arcs;
}

// SEQUENCE { version, community, PDU { id, status, index, SEQUENCE { SEQUENCE { name, value } } } }
inline bool ParseRequest(const Bytes& datagram, Request* out) {
  const uint8_t* at = datagram.data();
  const uint8_t* end = at + datagram.size();
  uint8_t tag = 0;
  const uint8_t* body = nullptr;
  size_t size = 0;
  if (!NextTlv(at, end, &tag, &body, &size) || tag != 0x30) return false;
  const uint8_t* m = body;
  const uint8_t* m_end = body + size;
  if (!NextTlv(m, m_end, &tag, &body, &size) || tag != 0x02) return false;
  out->version = ReadInt(body, size);
  if (!NextTlv(m, m_end, &tag, &body, &size) || tag != 0x04) return false;
  out->community.assign(reinterpret_cast<const char*>(body), size);
  if (!NextTlv(m, m_end, &out->pdu, &body, &size)) return false;
  const uint8_t* p = body;
  const uint8_t* p_end = body + size;
  if (!NextTlv(p, p_end, &tag, &body, &size) || tag != 0x02) return false;
  out->request_id = ReadInt(body, size);
  if (!NextTlv(p, p_end, &tag, &body, &size)) return false;
  out->non_repeaters = ReadInt(body, size);
  if (!NextTlv(p, p_end, &tag, &body, &size)) return false;
  out->max_repetitions = ReadInt(body, size);
  if (!NextTlv(p, p_end, &tag, &body, &size) || tag != 0x30) return false;
  const uint8_t* list = body;
  if (!NextTlv(list, body + size, &tag, &body, &size) || tag != 0x30) return false;
  const uint8_t* binding = body;
  const uint8_t* binding_end = body + size;
  if (!NextTlv(binding, binding_end, &tag, &body, &size) || tag != 0x06) return false;
  out->oid = ReadOid(body, size);
  const uint8_t* value_at = binding;
  if (!NextTlv(binding, binding_end, &tag, &body, &size)) return false;
  out->value.assign(value_at, binding);
  return true;
}

// A Response with one binding; the community and id are the request's
// unless given.
struct Reply {
  Arcs oid;
  Bytes value = berbytes::kNull;
  int64_t status = 0;
  int64_t index = 0;
  std::optional<std::string> community = std::nullopt;
  std::optional<int64_t> request_id = std::nullopt;

  Bytes To(const Request& request) const {
    using namespace berbytes;
    const Bytes binding = Tlv(0x30, Cat({Oid(oid), value}));
    const Bytes pdu =
        Tlv(0xA2, Cat({Int(request_id.value_or(request.request_id)), Int(status), Int(index), Tlv(0x30, binding)}));
    return Tlv(0x30, Cat({Int(request.version), Text(community.value_or(request.community)), pdu}));
  }
};

class Agent {
 public:
  // What to send back for a request: any number of datagrams.
  using Script = std::function<std::vector<Bytes>(const Request&)>;

  explicit Agent(Script script) : m_script(std::move(script)), m_thread([this] { Loop(); }) {}
  ~Agent() {
    m_stop = true;
    m_thread.join();
  }
  Agent(const Agent&) = delete;
  Agent& operator=(const Agent&) = delete;

  uint16_t Port() const { return m_socket.Port(); }
  std::string Target() const { return m_socket.Target(); }
  int Requests() const { return m_requests; }
  std::vector<Request> Seen() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_seen;
  }

 private:
  void Loop() {
    while (!m_stop) {
      sockaddr_in from{};
      auto datagram = m_socket.Receive(10, &from);
      if (!datagram) continue;
      Request request;
      if (!ParseRequest(*datagram, &request)) continue;
      request.number = m_requests + 1;
      {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_seen.push_back(request);
      }
      const std::vector<Bytes> answers = m_script(request);
      ++m_requests;  // counted once the answers are decided, before any is seen
      for (const Bytes& answer : answers) m_socket.SendTo(from, answer);
    }
  }

  Script m_script;
  TestUdpSocket m_socket;
  std::atomic<bool> m_stop{false};
  std::atomic<int> m_requests{0};
  mutable std::mutex m_mutex;
  std::vector<Request> m_seen;
  std::thread m_thread;
};

// A Response with any number of bindings and zero error fields.
inline Bytes BulkReply(const Request& request, const std::vector<std::pair<Arcs, Bytes>>& bindings) {
  std::vector<std::pair<Bytes, Bytes>> encoded;
  for (const auto& [oid, value] : bindings) encoded.emplace_back(berbytes::Oid(oid), value);
  return berbytes::Message(static_cast<uint8_t>(request.version), request.community, 0xA2,
                           berbytes::Int(request.request_id), encoded);
}

// The smallest stored OID greater than the one asked, as a well-behaved
// agent answers a GetNext (endOfMibView for v2c, noSuchName for v1 past the
// end); a GetBulk (non-repeaters 0) gets max-repetitions of them, then
// endOfMibView; a Get is answered from the table or with noSuchName.
inline Bytes TableAnswer(const std::map<Arcs, Bytes>& table, const Request& request) {
  if (request.pdu == 0xA5) {
    std::vector<std::pair<Arcs, Bytes>> bindings;
    Arcs at = request.oid;
    for (int64_t i = 0; i < request.max_repetitions; ++i) {
      auto it = table.upper_bound(at);
      if (it == table.end()) {
        bindings.emplace_back(at, Bytes{0x82, 0x00});
        continue;
      }
      bindings.emplace_back(it->first, it->second);
      at = it->first;
    }
    return BulkReply(request, bindings);
  }
  if (request.pdu == 0xA1) {
    auto it = table.upper_bound(request.oid);
    if (it != table.end()) return Reply{it->first, it->second}.To(request);
    if (request.version == 0) return Reply{request.oid, berbytes::kNull, 2, 1}.To(request);
    return Reply{request.oid, Bytes{0x82, 0x00}}.To(request);
  }
  auto it = table.find(request.oid);
  if (it != table.end()) return Reply{it->first, it->second}.To(request);
  return Reply{request.oid, berbytes::kNull, 2, 1}.To(request);
}

}  // namespace scripted
