// Texts of the "Smart display" mode shared by the Walker and Trapper lists.
#pragma once

#include <QString>

#include <cstdint>
#include <string>

// Hundredths of a second as "[Nd ]HH:MM:SS.mmm" ("1d 00:00:01.000").
QString FormatTimeTicks(uint64_t hundredths);
// The best-known name of a dotted OID ("sysUpTime.0"); the dotted text
// itself when nothing is known.
QString SmartOid(const std::wstring& dotted);
