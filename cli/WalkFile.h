// Reads the output of `snmpwalk -On` in Net-SNMP's default value format into
// (OID, type name, value text) triples a simulator stores.
#pragma once

#include <string>
#include <vector>

namespace cli {

struct WalkValue {
  std::wstring oid;    // dotted, no leading dot
  std::wstring type;   // a name of the type table
  std::wstring value;  // the value's text form; octets as U+0000..U+00FF
  size_t line = 0;     // where the variable starts in the file
};

struct WalkFile {
  std::vector<WalkValue> values;
  // "line N: why" for each variable that could not be read.
  std::vector<std::string> problems;
};

// Parses the whole text. STRING (quoted, possibly on several lines, with \"
// and \\ escapes), Hex-STRING (octets, possibly on several lines), INTEGER
// (also "name(5)"), OID, Timeticks ("(123) 0:00:01.23"), Counter32, Gauge32,
// Counter64, IpAddress and empty strings ("") are read; "No more variables"
// lines and other types are passed over (the latter reported).
WalkFile ParseWalkFile(const std::string& text);

}  // namespace cli
