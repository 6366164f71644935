// Helpers shared by the oidatlas tests.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "oidatlas/generator/OidRecordList.h"
#include "tests/common/TempDir.h"

namespace oidatlas::test {

// ASCII/UTF-8 to UTF-16 and back, for building inputs and printing results.
std::u16string U(const std::string& text);
std::string Narrow(const char16_t* text);  // "(null)" for null

// The finished record list of a TSV file (roots added, sorted).
std::vector<gen::OidRecordText> LoadRecords(const std::string& path);

// Index of the record the library's search must return for key, or -1.
int ProbeIndex(const std::vector<gen::OidRecordText>& records, const std::u16string& key);

// Index of the record the library's best-known prefix must be, found by
// exact searches of the OID cut at its dots, longest first; -1 if none.
int CutSearchIndex(const std::vector<gen::OidRecordText>& records, const std::u16string& oid, size_t* matched);

// The four exports, resolved from a library loaded with dlopen.
struct AtlasLibrary {
  explicit AtlasLibrary(const std::string& path);
  ~AtlasLibrary();
  AtlasLibrary(const AtlasLibrary&) = delete;
  AtlasLibrary& operator=(const AtlasLibrary&) = delete;

  void* handle = nullptr;
  std::string error;
  const char16_t* (*bestKnown)(const char16_t*) = nullptr;
  const char16_t* (*translate)(const char16_t*) = nullptr;
  const char16_t* (*mibModule)(const char16_t*) = nullptr;
  uint32_t (*mibLine)(const char16_t*) = nullptr;
};

// OIDs at, below, beside and between the given keys.
std::set<std::u16string> OidsAround(const std::vector<std::u16string>& keys);

// Checks every export of lib, for each OID, against CutSearchIndex.
void ExpectAgreesWithCutSearches(const AtlasLibrary& lib, const std::vector<gen::OidRecordText>& records,
                                 const std::set<std::u16string>& oids);

}  // namespace oidatlas::test
