// Small helpers shared by the codec tests.
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
inline bool EncodeElement(CAsn1Object& object, Bytes* out) {
  CBerEncoder encoder;
  if (!object.GetValue().Build(object.GetType(), object.GetLength(), encoder)) return false;
  if (!object.GetLength().Encode(encoder)) return false;
  if (!object.GetType().Encode(encoder)) return false;
  *out = EncodedBytes(encoder);
  return true;
}

// Content octets only, decoded as the given type.
inline bool DecodeContent(uint8_t code, const Bytes& content, CAsn1Value* value, uint32_t* used = nullptr) {
  CBerDecoder decoder;
  Bytes storage = content;
  storage.push_back(0xEE);  // a byte that must never be read
  if (!decoder.Assign(storage.data(), static_cast<uint32_t>(storage.size()))) return false;
  CAsn1Length length;
  length.SetLength(static_cast<int64_t>(content.size()));
  const bool ok = value->Build(CAsn1Type(code), length, decoder);
  if (used != nullptr) *used = decoder.GetUsedLength();
  return ok;
}

// A whole element (identifier, length, content) from the given bytes.
inline bool DecodeElement(const Bytes& bytes, CAsn1Object* object, uint32_t* used = nullptr) {
  CBerDecoder decoder;
  if (!decoder.Assign(bytes.data(), static_cast<uint32_t>(bytes.size()))) return false;
  bool ok = object->GetType().Decode(decoder) && object->GetLength().Decode(decoder) &&
            object->GetValue().Build(object->GetType(), object->GetLength(), decoder);
  if (used != nullptr) *used = decoder.GetUsedLength();
  return ok;
}
