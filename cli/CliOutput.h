// How the commands print variables: "OID = Type: value", or with --tsv
// "OID<TAB>Type<TAB>value".
#pragma once

#include "asn1/Asn1Object.h"
#include "asn1/Asn1Oid.h"

#include <string>

namespace cli {

std::string Utf8(const std::wstring& text);
// One variable line, newline included.
std::string VariableLine(const CAsn1Oid& oid, const CAsn1Object& object, bool tsv);
// Dotted address from a host-order IPv4 address.
std::string DottedAddress(uint32_t address);

}  // namespace cli
