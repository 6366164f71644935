// libsetrig.so as an installer sees it: loaded by name, its header used
// from C, and the rules every export follows (UTF-8 buffers cut at a
// character, always terminated; no exception escapes).
#include "setrig/SetrigExport.h"
#include "tests/common/LogCapture.h"
#include "tests/common/NetSnmp.h"

#include <gtest/gtest.h>

#include <cstring>
#include <dlfcn.h>
#include <memory>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>

extern "C" int SetrigHeaderIsC(void);

namespace {

const std::set<std::string> kExports = {
    "Setrig_CertificateDelete",    "Setrig_CertificateImport", "Setrig_OdbcCheckConnect",     "Setrig_OdbcGetDriver",
    "Setrig_OdbcPlayScript",       "Setrig_ServiceCreate",     "Setrig_ServiceDelete",        "Setrig_ServiceStart",
    "Setrig_ServiceStop",          "Setrig_SockCheckHostname", "Setrig_SockCheckTcpPort",     "Setrig_SockParseUrl",
    "Setrig_XmlGetAttributeValue", "Setrig_XmlGetTagValue",    "Setrig_XmlSetAttributeValue", "Setrig_XmlSetTagValue",
};

TEST(SetrigDlopen, HeaderServesACaller) { EXPECT_EQ(SetrigHeaderIsC(), 1); }

TEST(SetrigDlopen, ExactlyTheSixteenExportsAreDynamicSymbols) {
  struct DlClose {
    void operator()(void* handle) const { dlclose(handle); }
  };
  std::unique_ptr<void, DlClose> lib(dlopen(SETRIG_LIBRARY, RTLD_NOW | RTLD_LOCAL));
  ASSERT_NE(lib, nullptr) << dlerror();
  for (const std::string& name : kExports) EXPECT_NE(dlsym(lib.get(), name.c_str()), nullptr) << name;

  std::string out, err;
  ASSERT_EQ(netsnmp::Run({"nm", "-D", "--defined-only", SETRIG_LIBRARY}, &out, &err), 0) << err;
  std::set<std::string> symbols;
  for (const std::string& line : netsnmp::Lines(out)) {
    std::istringstream fields(line);
    std::string address, kind, name;
    if (fields >> address >> kind >> name) symbols.insert(name);
  }
  EXPECT_EQ(symbols, kExports);
}

TEST(SetrigExport, CopyOutCutsAtACharacterBoundaryAndTerminates) {
  const std::string text = "ab\u00e9c\u20ac";  // 2 + 2 + 1 + 3 bytes
  struct Case {
    uint32_t size;
    std::string expected;
  };
  for (const Case& c : {Case{16, text}, Case{9, text}, Case{8, "ab\u00e9c"}, Case{4, "ab"}, Case{1, ""}}) {
    char buffer[16];
    std::memset(buffer, 'X', sizeof buffer);
    ASSERT_TRUE(setrig::CopyOut(text, buffer, c.size)) << c.size;
    EXPECT_EQ(std::string(buffer), c.expected) << c.size;
    if (c.size < sizeof buffer) {
      EXPECT_EQ(buffer[c.size], 'X') << "wrote past size " << c.size;
    }
  }
  char buffer[8];
  EXPECT_FALSE(setrig::CopyOut(text, buffer, 0));
  EXPECT_FALSE(setrig::CopyOut(text, nullptr, 8));
  ASSERT_TRUE(setrig::CopyOut(std::wstring(L"\u00e9\U0001F600"), buffer, 6));
  EXPECT_EQ(std::string(buffer), "\xC3\xA9");
}

TEST(SetrigExport, NoExceptionLeavesAnExport) {
  LogCapture log;
  EXPECT_EQ(setrig::Export(L"Setrig_Test", []() -> bool { throw std::runtime_error("boom"); }), 0);
  EXPECT_TRUE(log.HasContaining(L"Setrig_Test() : An exception is caught : [boom]"));
  EXPECT_EQ(setrig::Export(L"Setrig_Test", []() -> bool { throw new CZubException(L"kit %d", 7); }), 0);
  EXPECT_TRUE(log.HasContaining(L"[kit 7]"));
  EXPECT_EQ(setrig::Export(L"Setrig_Test", []() -> bool { throw 42; }), 0);
}

}  // namespace
