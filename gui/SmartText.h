// Texts the Walker and Trapper lists show: the "Smart display" forms and
// values as a person reads them.
#pragma once

#include <QString>

#include <cstdint>
#include <string>

class CAsn1Object;

// Hundredths of a second as "[Nd ]HH:MM:SS.mmm" ("1d 00:00:01.000").
QString FormatTimeTicks(uint64_t hundredths);
// The best-known name of a dotted OID ("sysUpTime.0"); the dotted text
// itself when nothing is known.
QString SmartOid(const std::wstring& dotted);
// A value's text: an OCTET STRING whose octets are readable UTF-8 decoded
// ("é" for C3 A9); any other value, binary octets included, its text form.
QString ValueText(const CAsn1Object& object);
// Typed text as an OCTET STRING's text: its UTF-8 octets, one character per
// octet, the form ValueText reads back.
std::wstring TypedOctets(const QString& typed);
