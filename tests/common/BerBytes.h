// Hand-made BER and SNMP datagrams, written independently of the codec.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace berbytes {

using Bytes = std::vector<uint8_t>;

inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

inline Bytes Tlv(uint8_t tag, const Bytes& content) {
  const size_t n = content.size();
  Bytes out{tag};
  if (n < 0x80) {
    out.push_back(static_cast<uint8_t>(n));
  } else if (n < 0x100) {
    out.insert(out.end(), {0x81, static_cast<uint8_t>(n)});
  } else {
    out.insert(out.end(), {0x82, static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)});
  }
  return Cat({out, content});
}

inline Bytes Text(const std::string& s) { return Tlv(0x04, Bytes(s.begin(), s.end())); }

// An INTEGER in its shortest form, or in exactly `width` octets when given.
inline Bytes Int(int64_t v, size_t width = 0) {
  Bytes octets;
  for (int shift = 56; shift >= 0; shift -= 8)
    octets.push_back(static_cast<uint8_t>(static_cast<uint64_t>(v) >> shift));
  if (width != 0) return Tlv(0x02, Bytes(octets.end() - static_cast<std::ptrdiff_t>(width), octets.end()));
  size_t skip = 0;
  while (skip < 7 &&
         ((octets[skip] == 0 && octets[skip + 1] < 0x80) || (octets[skip] == 0xFF && octets[skip + 1] >= 0x80)))
    ++skip;
  return Tlv(0x02, Bytes(octets.begin() + static_cast<std::ptrdiff_t>(skip), octets.end()));
}

inline Bytes Oid(const std::vector<uint64_t>& arcs) {
  Bytes out = {static_cast<uint8_t>(40 * arcs[0] + arcs[1])};
  for (size_t i = 2; i < arcs.size(); ++i) {
    Bytes groups;
    uint64_t arc = arcs[i];
    do {
      groups.insert(groups.begin(), static_cast<uint8_t>((arc & 0x7F) | (groups.empty() ? 0 : 0x80)));
      arc >>= 7;
    } while (arc != 0);
    out.insert(out.end(), groups.begin(), groups.end());
  }
  return Tlv(0x06, out);
}

inline const Bytes kNull = {0x05, 0x00};

// An SNMP message: version (0 v1, 1 v2c), community, and a PDU of type `pdu`
// with the request id (an encoded INTEGER), zero error fields and the bindings.
inline Bytes Message(uint8_t version, const std::string& community, uint8_t pdu, const Bytes& request_id,
                     const std::vector<std::pair<Bytes, Bytes>>& bindings) {
  Bytes list;
  for (const auto& [oid, value] : bindings) list = Cat({list, Tlv(0x30, Cat({oid, value}))});
  const Bytes body = Tlv(pdu, Cat({request_id, Int(0), Int(0), Tlv(0x30, list)}));
  return Tlv(0x30, Cat({Int(version), Text(community), body}));
}

}  // namespace berbytes
