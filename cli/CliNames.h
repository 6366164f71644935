// OIDs by name, both ways, through the OID name table: "SNMPv2-MIB::sysDescr.0"
// out, "sysDescr.0", "SNMPv2-MIB::sysDescr.0", "ifTable" or a dotted OID in.
#pragma once

#include "asn1/Asn1Oid.h"
#include "cli/CliArgs.h"

#include <optional>
#include <string>

namespace cli {

// How an OID is shown: "MODULE::name.index" (the default), "name.index"
// (-Os) or dotted decimal (-On). An OID the table does not know is dotted.
enum class OidStyle { Module, Short, Numeric };

// The style that -O asks for: "n", "s" or no -O; nullopt for other values.
std::optional<OidStyle> ReadOidStyle(const ParsedArgs& args);

// The OID in the given style.
std::string OidName(const CAsn1Oid& oid, OidStyle style);

// Whether the text is meant as [MODULE::]name[.arcs] rather than a dotted
// OID: it names a module or begins with a letter, as descriptors do.
bool IsOidName(const std::string& text);

// A dotted OID (leading dot allowed) or [MODULE::]name[.arcs]. Returns the
// reason when the text is neither: "unknown name X", "X is ambiguous: ...".
std::optional<std::string> ResolveOid(const std::string& text, CAsn1Oid* oid);

}  // namespace cli
