#include "tests/oidatlas/TestSupport.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <fstream>
#include <stdexcept>

namespace oidatlas::test {

std::u16string U(const std::string& text) {
  std::u16string out;
  if (!gen::Utf8ToUtf16(text, &out)) throw std::invalid_argument("bad UTF-8 in a test text");
  return out;
}

std::string Narrow(const char16_t* text) {
  if (text == nullptr) return "(null)";
  return gen::Utf16ToUtf8(text);
}

std::vector<gen::OidRecordText> LoadRecords(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path);
  gen::OidRecordList list;
  std::string error;
  if (!list.ReadTsv(in, path, &error)) throw std::runtime_error(error);
  list.Finish();
  return list.Records();
}

int ProbeIndex(const std::vector<gen::OidRecordText>& records, const std::u16string& key) {
  int lo = 0;
  int hi = static_cast<int>(records.size());
  while (lo <= hi) {
    const int mid = (lo + hi) / 2;
    const bool terminator = mid == static_cast<int>(records.size());
    const int c = terminator ? -1 : key.compare(records[mid].key);
    if (c == 0) return mid;
    if (c < 0) {
      hi = mid - 1;
    } else {
      lo = mid + 1;
    }
  }
  return -1;
}

int CutSearchIndex(const std::vector<gen::OidRecordText>& records, const std::u16string& oid, size_t* matched) {
  std::u16string t = oid;
  while (!t.empty()) {
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

AtlasLibrary::AtlasLibrary(const std::string& path) {
  handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
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

AtlasLibrary::~AtlasLibrary() {
  if (handle != nullptr) dlclose(handle);
}

std::set<std::u16string> OidsAround(const std::vector<std::u16string>& keys) {
  std::set<std::u16string> oids;
  for (const std::u16string& k : keys) {
    for (const char16_t* tail : {u"", u".0", u".1.2", u"0", u"1", u"9", u"00", u".", u"..", u".99999999", u"/", u":"}) {
      oids.insert(k + tail);
    }
    oids.insert(k.substr(0, k.size() - 1));
  }
  return oids;
}

void ExpectAgreesWithCutSearches(const AtlasLibrary& lib, const std::vector<gen::OidRecordText>& records,
                                 const std::set<std::u16string>& oids) {
  for (const std::u16string& oid : oids) {
    SCOPED_TRACE(gen::Utf16ToUtf8(oid));
    size_t matched = 0;
    const int want = CutSearchIndex(records, oid, &matched);
    if (want < 0) {
      EXPECT_EQ(lib.bestKnown(oid.c_str()), nullptr);
      EXPECT_EQ(lib.translate(oid.c_str()), nullptr);
      EXPECT_EQ(lib.mibModule(oid.c_str()), nullptr);
      EXPECT_EQ(lib.mibLine(oid.c_str()), 0u);
      continue;
    }
    const gen::OidRecordText& r = records[want];
    EXPECT_EQ(Narrow(lib.bestKnown(oid.c_str())), gen::Utf16ToUtf8(r.key));
    EXPECT_EQ(Narrow(lib.translate(oid.c_str())), gen::Utf16ToUtf8(r.name + oid.substr(matched)));
    EXPECT_EQ(Narrow(lib.mibModule(oid.c_str())), gen::Utf16ToUtf8(r.module));
    EXPECT_EQ(lib.mibLine(oid.c_str()), r.line);
  }
}

}  // namespace oidatlas::test
