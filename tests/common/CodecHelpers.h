// Small helpers shared by the codec and message tests.
#pragma once

#include "asn1/Asn1Object.h"
#include "asn1/BerDecoder.h"
#include "asn1/BerEncoder.h"

#include <cstdint>
#include <vector>

using Bytes = std::vector<uint8_t>;

inline Bytes EncodedBytes(const CBerEncoder& encoder) {
  const uint8_t* data = encoder.GetData();
  return Bytes(data, data + encoder.GetUsedLength());
}

// Content, length and identifier of one element; empty when a step failed.
inline Bytes Element(CAsn1Object& object) {
  CBerEncoder encoder;
  const bool ok = object.GetValue().Build(object.GetType(), object.GetLength(), encoder) &&
                  object.GetLength().Encode(encoder) && object.GetType().Encode(encoder);
  return ok ? EncodedBytes(encoder) : Bytes{};
}

// Content octets only, decoded as the given type; a byte that must never be
// read follows them.
inline bool DecodeContent(uint8_t code, Bytes content, CAsn1Value* value, uint32_t* used = nullptr) {
  CBerDecoder decoder;
  const auto size = static_cast<int64_t>(content.size());
  content.push_back(0xEE);
  if (!decoder.Assign(content.data(), static_cast<uint32_t>(content.size()))) return false;
  CAsn1Length length;
  length.SetLength(size);
  const bool ok = value->Build(CAsn1Type(code), length, decoder);
  if (used != nullptr) *used = decoder.GetUsedLength();
  return ok;
}
