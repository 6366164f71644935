// The record list that oidatlas_gen turns into the compiled-in OID table:
// one record per OID and defining module, sorted by UTF-16 code units.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace oidatlas::gen {

struct OidRecordText {
  std::u16string key;     // dotted decimal, no leading dot
  std::u16string name;    // descriptor
  std::u16string module;  // empty only for the root arcs
  uint32_t line = 0;
};

class OidRecordList {
 public:
  // Adds one record given as UTF-8. On bad input returns false and sets *error.
  bool Add(std::string_view key, std::string_view name, std::string_view module, uint32_t line, std::string* error);

  // Reads "OID<TAB>name<TAB>module<TAB>line" lines; '#' lines and blank
  // lines are skipped. Errors name the source and the line. Nothing is added
  // when a line is bad.
  bool ReadTsv(std::istream& in, const std::string& source, std::string* error);

  // Adds the missing root arcs, keeps the first record of each (key, module)
  // pair and sorts by key, keeping the order of records with equal keys.
  void Finish();

  // After Finish: in each run of records with equal keys, moves the run's
  // first record to the index where the table's exact search (lo = 0,
  // hi = count, mid = (lo + hi) / 2) lands, so that lookups return it; the
  // others keep their order around it.
  void PlaceFirstOfEachRun();

  // Writes the list in the format ReadTsv reads, after the comment lines.
  void WriteTsv(std::ostream& out, const std::vector<std::string>& comments = {}) const;

  const std::vector<OidRecordText>& Records() const { return m_records; }

 private:
  std::vector<OidRecordText> m_records;
};

// Checks a dotted-decimal key: digits and single dots, no leading zeros,
// first arc 0, 1 or 2. Returns an empty text when good, else the reason.
std::string CheckKey(std::string_view key);

// Strict UTF-8 to UTF-16; false on malformed input.
bool Utf8ToUtf16(std::string_view in, std::u16string* out);
std::string Utf16ToUtf8(std::u16string_view in);

// The index in [first, end) where the exact search of a table of count keys
// lands on a run of equal keys at [first, end).
size_t ProbeIndex(size_t first, size_t end, size_t count);

// Code-unit order, units compared as unsigned 16-bit values.
bool KeyLess(const std::u16string& a, const std::u16string& b);

}  // namespace oidatlas::gen
