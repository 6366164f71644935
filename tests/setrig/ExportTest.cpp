// The boundary rules every export follows: UTF-8 buffers, cutting, no escape.
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>

#include "setrig/SetrigExport.h"
#include "tests/common/LogCapture.h"

namespace {

TEST(SetrigExport, CopyOutCutsAtCharacterBoundaryAndTerminates) {
  const std::string text = "ab\xC3\xA9" "c\xE2\x82\xAC";  // "abéc€": 2 + 2 + 1 + 3 bytes
  char buffer[16];
  std::memset(buffer, 'X', sizeof buffer);
  ASSERT_TRUE(setrig::CopyOut(text, buffer, sizeof buffer));
  EXPECT_EQ(std::string(buffer), text);

  // Four bytes of room hold "ab" only: the é would be split.
  std::memset(buffer, 'X', sizeof buffer);
  ASSERT_TRUE(setrig::CopyOut(text, buffer, 4));
  EXPECT_EQ(std::string(buffer), "ab");
  EXPECT_EQ(buffer[4], 'X') << "wrote past the size";

  // Eight bytes: "abéc" (5) fits, the € (3) would need 8 + 1.
  ASSERT_TRUE(setrig::CopyOut(text, buffer, 8));
  EXPECT_EQ(std::string(buffer), "ab\xC3\xA9" "c");

  ASSERT_TRUE(setrig::CopyOut(text, buffer, 1));
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_FALSE(setrig::CopyOut(text, buffer, 0));
  EXPECT_FALSE(setrig::CopyOut(text, nullptr, 8));
}

TEST(SetrigExport, CopyOutOfWideTextIsUtf8) {
  char buffer[8];
  ASSERT_TRUE(setrig::CopyOut(std::wstring(L"\u00e9\U0001F600"), buffer, sizeof buffer));
  EXPECT_EQ(std::string(buffer), "\xC3\xA9\xF0\x9F\x98\x80");
  ASSERT_TRUE(setrig::CopyOut(std::wstring(L"\u00e9\U0001F600"), buffer, 6));
  EXPECT_EQ(std::string(buffer), "\xC3\xA9");
  EXPECT_EQ(setrig::Wide("\xC3\xA9t\xC3\xA9"), L"\u00e9t\u00e9");
  EXPECT_EQ(setrig::Wide(nullptr), L"");
}

TEST(SetrigExport, NoExceptionLeavesAnExport) {
  LogCapture log;
  EXPECT_EQ(setrig::Export(L"Setrig_Test", []() -> bool { throw std::runtime_error("boom"); }), 0);
  EXPECT_TRUE(log.HasContaining(L"Setrig_Test() : An exception is caught : [boom]"));
  EXPECT_EQ(setrig::Export(L"Setrig_Test", []() -> bool { throw new CZubException(L"kit %d", 7); }), 0);
  EXPECT_TRUE(log.HasContaining(L"[kit 7]"));
  EXPECT_EQ(setrig::Export(L"Setrig_Test", []() -> bool { throw 42; }), 0);
  EXPECT_EQ(setrig::Run<uint16_t>(L"Setrig_Test", 0, []() -> uint16_t { return 80; }), 80);
}

}  // namespace
