// How the commands print variables: "OID = Type: value", or with --tsv
// "OID<TAB>Type<TAB>value".
#pragma once

#include "asn1/Asn1Object.h"
#include "asn1/Asn1Oid.h"

#include <string>

namespace cli {

std::string Utf8(const std::wstring& text);
// Text a person typed (UTF-8 bytes from the command line) as the core holds
// octets: one character per byte, so "café" becomes the 5 octets
// 63 61 66 C3 A9.
std::wstring OctetText(const std::string& typed);
// Octets for the terminal: as they are when they read as UTF-8 text (no
// control characters but tab and line ends); otherwise lowercase hexadecimal
// pairs joined by ':' ("ff:fe:00:01:41").
std::string ShownOctets(const std::string& octets);
// A text of one character per octet shown as ShownOctets does; a text with
// wider characters (not octets) in UTF-8.
std::string ShownText(const std::wstring& text);
// One variable line, newline included.
std::string VariableLine(const CAsn1Oid& oid, const CAsn1Object& object, bool tsv);
// Dotted OID text (a leading dot allowed) through the codec's parser; false
// for anything the codec would not give back unchanged or that fails its check.
bool ParseOid(const std::string& text, CAsn1Oid* oid);
// True when oid lies in the subtree rooted at root (root itself included).
bool InSubtree(const CAsn1Oid& oid, const CAsn1Oid& root);
// Dotted address from a host-order IPv4 address.
std::string DottedAddress(uint32_t address);

}  // namespace cli
