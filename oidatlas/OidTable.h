// Layout of the compiled-in OID table, shared by the library and the table
// source that oidatlas_gen writes.
#pragma once

#include <cstdint>

namespace oidatlas {

// Offset of a text that does not exist (the terminator record's fields).
inline constexpr uint32_t kNoText = 0xFFFFFFFFu;
// Parent of a record whose key has no known prefix.
inline constexpr uint32_t kNoParent = 0xFFFFFFFFu;

// One OID record; the texts are offsets of zero-terminated strings in kPool,
// and equal texts share one offset. Keys hold only digits and dots.
struct OidRecord {
  uint32_t key;     // dotted-decimal OID
  uint32_t name;    // descriptor in its module
  uint32_t module;  // defining module, empty for the root arcs
  uint32_t line;    // line of the definition, 0 for the root arcs
  uint32_t parent;  // a record whose key is the longest proper prefix of
                    // this key, cut at a dot, that is a key; or kNoParent
};

// All texts of the table, each zero-terminated.
extern const char16_t kPool[];

// kRecordCount records sorted by key (UTF-16 code units, unsigned), followed
// by one terminator record whose texts are kNoText and whose line is 0.
extern const OidRecord kRecords[];
extern const int32_t kRecordCount;

}  // namespace oidatlas
