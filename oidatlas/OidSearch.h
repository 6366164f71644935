// Longest-prefix search of the compiled-in OID table: the one search behind
// liboidatlas's exports and the static name library.
#pragma once

#include "oidatlas/OidTable.h"

#include <cstddef>

namespace oidatlas {

struct KnownPrefix {
  const OidRecord* record = nullptr;  // the record lookups return; null when nothing is known
  size_t matched = 0;                 // units of the OID that the record's key covers
  size_t length = 0;                  // units of the whole OID
};

// The longest key that is the zero-terminated dotted OID itself or the OID
// cut before one of its dots; of equal keys, the record the table's exact
// search lands on. Null or empty input knows nothing.
KnownPrefix FindBestKnown(const char16_t* oid);

}  // namespace oidatlas
