// The OID table for programs that link it statically rather than load
// liboidatlas (whose exports stay the four lookups by OID): the same lookup
// by OID in one search, and the name-to-OID search for names typed by a
// person ("sysDescr", "IF-MIB::ifTable").
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace oidatlas {

struct NamedOid {
  std::string oid;     // dotted decimal
  std::string module;  // empty for the root arcs
};

// Every record whose name is `name` (case-sensitive), only those of `module`
// when it is not empty; in key order, one entry per record. A plain scan of
// the table: fast enough for names typed on a command line, and it needs no
// index built at start-up.
// What the table knows of a dotted OID, as liboidatlas's exports answer it,
// from one search. The texts live in the table.
struct KnownName {
  const char16_t* name = nullptr;  // name of the best-known prefix; null when nothing is known
  const char16_t* module = u"";    // its module, empty for the root arcs
  uint32_t line = 0;               // line of its definition, 0 for the root arcs
  size_t matched = 0;              // units of the OID the name stands for; the rest follows it
};
KnownName FindBestKnownName(const char16_t* oid);

std::vector<NamedOid> FindByName(std::string_view name, std::string_view module = {});

}  // namespace oidatlas
