// Helpers shared by the oidatlas tests.
#pragma once

#include "oidatlas/generator/OidRecordList.h"
#include "tests/common/TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <dlfcn.h>
#include <fstream>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace oidatlas::test {

// ASCII/UTF-8 to UTF-16 and back, for building inputs and printing results.
inline std::u16string U(const std::string& text) {
  std::u16string out;
  if (!gen::Utf8ToUtf16(text, &out)) throw std::invalid_argument("bad UTF-8 in a test text");
  return out;
}
inline std::string Narrow(const char16_t* text) { return text == nullptr ? "(null)" : gen::Utf16ToUtf8(text); }

// The finished record list of a TSV file (roots added, sorted).
inline std::vector<gen::OidRecordText> LoadRecords(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path);
  gen::OidRecordList list;
  std::string error;
  if (!list.ReadTsv(in, path, &error)) throw std::runtime_error(error);
  list.Finish();
  return list.Records();
}

// Index of the record the library's search must return for key, or -1: the
// binary search with its probe sequence, the terminator after the last record.
inline int ProbeIndex(const std::vector<gen::OidRecordText>& records, const std::u16string& key) {
  int lo = 0;
  int hi = static_cast<int>(records.size());
  while (lo <= hi) {
    const int mid = (lo + hi) / 2;
    const int c = mid == static_cast<int>(records.size()) ? -1 : key.compare(records[mid].key);
    if (c == 0) return mid;
    if (c < 0) {
      hi = mid - 1;
    } else {
      lo = mid + 1;
    }
  }
  return -1;
}

// Index of the record the library's best-known prefix must be, found by
// exact searches of the OID cut at its dots, longest first; -1 if none.
inline int CutSearchIndex(const std::vector<gen::OidRecordText>& records, const std::u16string& oid, size_t* matched) {
  for (std::u16string t = oid; !t.empty();) {
    const int index = ProbeIndex(records, t);
    if (index >= 0) {
      *matched = t.size();
      return index;
    }
    const size_t dot = t.rfind(u'.');
    t.resize(dot == std::u16string::npos ? 0 : dot);
  }
  return -1;
}

// The four exports, resolved from a library loaded with dlopen.
struct AtlasLibrary {
  explicit AtlasLibrary(const std::string& path) : handle(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
    if (handle == nullptr) {
      error = dlerror();
      return;
    }
    bestKnown = reinterpret_cast<decltype(bestKnown)>(dlsym(handle, "OidAtlas_BestKnown"));
    translate = reinterpret_cast<decltype(translate)>(dlsym(handle, "OidAtlas_Translate"));
    mibModule = reinterpret_cast<decltype(mibModule)>(dlsym(handle, "OidAtlas_MibModule"));
    mibLine = reinterpret_cast<decltype(mibLine)>(dlsym(handle, "OidAtlas_MibLine"));
    if (!bestKnown || !translate || !mibModule || !mibLine) error = "missing export in " + path;
  }
  ~AtlasLibrary() {
    if (handle != nullptr) dlclose(handle);
  }
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
inline std::set<std::u16string> OidsAround(const std::vector<std::u16string>& keys) {
  std::set<std::u16string> oids;
  for (const std::u16string& k : keys) {
    for (const char16_t* tail : {u"", u".0", u".1.2", u"0", u"1", u"9", u"00", u".", u"..", u".99999999", u"/", u":"})
      oids.insert(k + tail);
    oids.insert(k.substr(0, k.size() - 1));
  }
  return oids;
}

// Checks every export of lib, for each OID, against CutSearchIndex.
inline void ExpectAgreesWithCutSearches(const AtlasLibrary& lib, const std::vector<gen::OidRecordText>& records,
                                        const std::set<std::u16string>& oids) {
  for (const std::u16string& oid : oids) {
    SCOPED_TRACE(gen::Utf16ToUtf8(oid));
    size_t matched = 0;
    const int want = CutSearchIndex(records, oid, &matched);
    const gen::OidRecordText* r = want < 0 ? nullptr : &records[want];
    EXPECT_EQ(Narrow(lib.bestKnown(oid.c_str())), r ? gen::Utf16ToUtf8(r->key) : "(null)");
    EXPECT_EQ(Narrow(lib.translate(oid.c_str())), r ? gen::Utf16ToUtf8(r->name + oid.substr(matched)) : "(null)");
    EXPECT_EQ(Narrow(lib.mibModule(oid.c_str())), r ? gen::Utf16ToUtf8(r->module) : "(null)");
    EXPECT_EQ(lib.mibLine(oid.c_str()), r ? r->line : 0u);
  }
}

}  // namespace oidatlas::test
