#include "oidatlas/OidSearch.h"

namespace oidatlas {
namespace {

size_t TextLength(const char16_t* text) {
  size_t n = 0;
  while (text[n] != 0) ++n;
  return n;
}

// Compares the first n units of k with a zero-terminated key, unit by unit as
// unsigned 16-bit values, starting at unit `from` (known equal); a text that
// is a prefix of the other is the smaller. *common receives the length of the
// common prefix.
int CompareKey(const char16_t* k, size_t n, const char16_t* key, size_t from, size_t* common) {
  size_t i = from;
  for (; i < n; ++i) {
    const char16_t c = key[i];
    if (k[i] != c || c == 0) break;
  }
  *common = i;
  if (i == n) return key[n] == 0 ? 0 : -1;
  if (key[i] == 0) return 1;
  return k[i] < key[i] ? -1 : 1;
}

const char16_t* KeyAt(int32_t index) { return kPool + kRecords[index].key; }

bool SameKey(int32_t a, int32_t b) {
  if (kRecords[a].key == kRecords[b].key) return true;  // the generator stores each text once
  const char16_t* x = KeyAt(a);
  const char16_t* y = KeyAt(b);
  while (*x != 0 && *x == *y) ++x, ++y;
  return *x == *y;
}

// First record whose key is not smaller than k[0..n), or kRecordCount. Each
// probe skips the prefix that both bounds are known to share with k.
int32_t LowerBound(const char16_t* k, size_t n, bool* equal) {
  int32_t below = -1;
  int32_t above = kRecordCount;
  size_t commonBelow = 0;
  size_t commonAbove = 0;
  int aboveOrder = 1;
  while (above - below > 1) {
    const int32_t mid = below + (above - below) / 2;
    size_t common = 0;
    const size_t from = commonBelow < commonAbove ? commonBelow : commonAbove;
    const int c = CompareKey(k, n, KeyAt(mid), from, &common);
    if (c <= 0) {
      above = mid;
      commonAbove = common;
      aboveOrder = c;
    } else {
      below = mid;
      commonBelow = common;
    }
  }
  *equal = above < kRecordCount && aboveOrder == 0;
  return above;
}

// The record of `index`'s run of equal keys that the exact search of the
// table returns. That search probes lo = 0, hi = count (the terminator,
// greater than any key); while lo <= hi: mid = (lo + hi) / 2; equal: found;
// smaller: hi = mid - 1; greater: lo = mid + 1. Comparing with record mid
// only tells whether mid is before, inside or after the run, so the probe
// sequence is replayed on indices alone.
const OidRecord* ProbeChoice(int32_t index) {
  int32_t first = index;
  while (first > 0 && SameKey(first - 1, index)) --first;
  int32_t end = index + 1;
  while (end < kRecordCount && SameKey(end, index)) ++end;
  int32_t lo = 0;
  int32_t hi = kRecordCount;
  while (lo <= hi) {
    const int32_t mid = (lo + hi) / 2;
    if (mid < first) {
      lo = mid + 1;
    } else if (mid >= end) {
      hi = mid - 1;
    } else {
      return &kRecords[mid];
    }
  }
  return &kRecords[index];  // not reached: the run lies inside [0, count)
}

// Whether key is oid[0..n) itself or oid cut before one of its dots.
bool IsCutOf(const char16_t* key, const char16_t* oid, size_t n, size_t* length) {
  size_t i = 0;
  while (i < n && key[i] != 0 && key[i] == oid[i]) ++i;
  if (key[i] != 0) return false;
  *length = i;
  return i == n || oid[i] == u'.';
}

}  // namespace

// Longest key that is the OID itself or the OID cut before one of its dots.
// That key Q is <= the OID, and every text between Q and the OID in key
// order begins with Q; since keys hold only digits and dots, and '.' sorts
// before every digit, the greatest key <= the OID is Q or lies below Q at a
// dot. So Q is on that key's chain of parents: the first entry of the chain
// that is a cut of the OID.
KnownPrefix FindBestKnown(const char16_t* oid) {
  KnownPrefix m;
  if (oid == nullptr || oid[0] == 0) return m;
  m.length = TextLength(oid);
  bool equal = false;
  const int32_t above = LowerBound(oid, m.length, &equal);
  uint32_t candidate = static_cast<uint32_t>(equal ? above : above - 1);
  while (candidate != kNoParent && candidate < static_cast<uint32_t>(kRecordCount)) {
    size_t length = 0;
    if (IsCutOf(KeyAt(static_cast<int32_t>(candidate)), oid, m.length, &length)) {
      m.record = ProbeChoice(static_cast<int32_t>(candidate));
      m.matched = length;
      return m;
    }
    candidate = kRecords[candidate].parent;
  }
  return m;
}

}  // namespace oidatlas
