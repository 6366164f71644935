// How the commands print variables: "OID = Type: value", or with --tsv
// "OID<TAB>Type<TAB>value".
#pragma once

#include "asn1/Asn1Object.h"
#include "asn1/Asn1Oid.h"
#include "cli/CliNames.h"

#include <cstdint>
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
// Text in double quotes with \" \\ \n \r \t escaped: one line, whatever it holds.
std::string Quoted(const std::string& text);
// A --tsv field: tab, line feed, carriage return and backslash escaped.
std::string TsvField(const std::string& text);
// Hundredths of a second as "(8640100) 1d 00:00:01.000" (days only when
// there are some).
std::string TimeTicksText(uint64_t ticks);
// The value of a variable line. An OCTET STRING that reads as text is quoted,
// one shown in hexadecimal is not; TimeTicks add their duration. With tsv the
// raw value text, escaped by TsvField. An OBJECT IDENTIFIER value is shown
// in the given style (dotted with tsv).
std::string ValueText(const CAsn1Object& object, bool tsv, OidStyle style = OidStyle::Numeric);
// One variable line, newline included; the OID in the given style (dotted
// with tsv).
std::string VariableLine(const CAsn1Oid& oid, const CAsn1Object& object, bool tsv, OidStyle style = OidStyle::Numeric);
// Dotted OID text (a leading dot allowed) through the codec's parser; false
// for anything the codec would not give back unchanged or that fails its check.
bool ParseOid(const std::string& text, CAsn1Oid* oid);
// True when oid lies in the subtree rooted at root (root itself included).
bool InSubtree(const CAsn1Oid& oid, const CAsn1Oid& root);
// Dotted address from a host-order IPv4 address.
std::string DottedAddress(uint32_t address);

}  // namespace cli
