// Writes the C++ source of the compiled-in OID table (see oidatlas/OidTable.h).
#pragma once

#include "oidatlas/generator/OidRecordList.h"

#include <iosfwd>
#include <string>

namespace oidatlas::gen {

class TableWriter {
 public:
  // records must be finished (sorted). origin is named in the header comment.
  // Returns false with *error set when the table would not fit 32-bit offsets.
  static bool Write(const OidRecordList& records, const std::string& origin, std::ostream& out, std::string* error);
};

}  // namespace oidatlas::gen
