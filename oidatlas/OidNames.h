// Name-to-OID search over the OID table, for programs that take names typed
// by a person ("sysDescr", "IF-MIB::ifTable"). A static C++ library built
// from the same generated table as liboidatlas, whose exports stay the four
// lookups by OID.
#pragma once

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
std::vector<NamedOid> FindByName(std::string_view name, std::string_view module = {});

}  // namespace oidatlas
