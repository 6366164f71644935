#include "oidatlas/OidAtlas.h"

#include <cstddef>

#include "oidatlas/OidTable.h"

namespace {

using oidatlas::kNoText;
using oidatlas::kPool;
using oidatlas::kRecordCount;
using oidatlas::kRecords;
using oidatlas::OidRecord;

constexpr size_t kTranslateRoom = 1024;

size_t TextLength(const char16_t* text) {
  size_t n = 0;
  while (text[n] != 0) ++n;
  return n;
}

// Compares the first n units of k with a zero-terminated key, unit by unit as
// unsigned 16-bit values; a text that is a prefix of the other is the smaller.
int CompareKey(const char16_t* k, size_t n, const char16_t* key) {
  for (size_t i = 0; i < n; ++i) {
    const char16_t c = key[i];
    if (c == 0) return 1;
    if (k[i] != c) return k[i] < c ? -1 : 1;
  }
  return key[n] == 0 ? 0 : -1;
}

// Binary search over [0, count], the terminator included and greater than any
// key. The probe sequence is fixed: among duplicates, the one it hits first wins.
const OidRecord* FindExact(const char16_t* k, size_t n) {
  int32_t lo = 0;
  int32_t hi = kRecordCount;
  while (lo <= hi) {
    const int32_t mid = (lo + hi) / 2;
    const OidRecord& r = kRecords[mid];
    const int c = r.key == kNoText ? -1 : CompareKey(k, n, kPool + r.key);
    if (c == 0) return &r;
    if (c < 0) {
      hi = mid - 1;
    } else {
      lo = mid + 1;
    }
  }
  return nullptr;
}

struct Match {
  const OidRecord* record = nullptr;
  size_t matched = 0;  // units of the input that the record's key covers
  size_t length = 0;   // units of the whole input
};

// Longest prefix of oid, cut at dots, that is a key of the table.
Match BestKnown(const char16_t* oid) {
  Match m;
  if (oid == nullptr || oid[0] == 0) return m;
  m.length = TextLength(oid);
  size_t n = m.length;
  while (n > 0) {
    if (const OidRecord* r = FindExact(oid, n)) {
      m.record = r;
      m.matched = n;
      return m;
    }
    size_t dot = n;
    while (dot > 0 && oid[dot - 1] != u'.') --dot;
    n = dot == 0 ? 0 : dot - 1;
  }
  return m;
}

}  // namespace

extern "C" {

OIDATLAS_API const char16_t* OidAtlas_BestKnown(const char16_t* oid) {
  const Match m = BestKnown(oid);
  return m.record ? kPool + m.record->key : nullptr;
}

OIDATLAS_API const char16_t* OidAtlas_Translate(const char16_t* oid) {
  thread_local char16_t buffer[kTranslateRoom];
  const Match m = BestKnown(oid);
  if (!m.record) return nullptr;
  const char16_t* name = kPool + m.record->name;
  const size_t nameLength = TextLength(name);
  const size_t restLength = m.length - m.matched;
  if (nameLength + restLength + 1 > kTranslateRoom) return nullptr;
  char16_t* out = buffer;
  for (size_t i = 0; i < nameLength; ++i) *out++ = name[i];
  for (size_t i = 0; i < restLength; ++i) *out++ = oid[m.matched + i];
  *out = 0;
  return buffer;
}

OIDATLAS_API const char16_t* OidAtlas_MibModule(const char16_t* oid) {
  const Match m = BestKnown(oid);
  return m.record ? kPool + m.record->module : nullptr;
}

OIDATLAS_API uint32_t OidAtlas_MibLine(const char16_t* oid) {
  const Match m = BestKnown(oid);
  return m.record ? m.record->line : 0;
}

}  // extern "C"
