// The boundary rules every export follows: UTF-8 buffers, cutting, no escape.
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>

#include "setrig/SetrigExport.h"
#include "tests/common/LogCapture.h"

namespace {

TEST(SetrigExport, CopyOutCutsAtACharacterBoundaryAndTerminates) {
  const std::string text = "ab\xC3\xA9" "c\xE2\x82\xAC";  // "abéc€": 2 + 2 + 1 + 3 bytes
  struct Case {
    uint32_t size;
    std::string expected;
  };
  for (const Case& c : {Case{16, text}, Case{9, text}, Case{8, "ab\xC3\xA9" "c"}, Case{4, "ab"}, Case{1, ""}}) {
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
