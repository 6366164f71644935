#include "quillog/QuillogFormat.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

TEST(QuillogFormat, WindowsStringConversions) {
  const std::wstring wide = L"wide";
  const std::string narrow = "caf\xc3\xa9";  // UTF-8
  EXPECT_EQ(QuillogFormat(L"[%s] [%S]", wide, narrow), L"[wide] [caf\u00e9]");
  EXPECT_EQ(QuillogFormat(L"%5s|%-5s|%.2s", L"ab", L"cd", L"xyz"), L"   ab|cd   |xy");
  EXPECT_EQ(QuillogFormat(L"%s", static_cast<const wchar_t*>(nullptr)), L"(null)");
}

TEST(QuillogFormat, IntegersKeepTheirOwnWidth) {
  EXPECT_EQ(QuillogFormat(L"%d %u %x", -1, -1, -1), L"-1 4294967295 ffffffff");
  EXPECT_EQ(QuillogFormat(L"0x%.8x", 0x1234u), L"0x00001234");
  EXPECT_EQ(QuillogFormat(L"%08X|%-4d|%+d|%#x", 0xabcu, 7, 5, 255), L"00000ABC|7   |+5|0xff");
  EXPECT_EQ(QuillogFormat(L"%d", 0xFFFFFFFFu), L"-1");  // as the C library reads an unsigned word
  EXPECT_EQ(QuillogFormat(L"%I64d %lld", std::numeric_limits<int64_t>::min(), int64_t{42}), L"-9223372036854775808 42");
  EXPECT_EQ(QuillogFormat(L"%I64u", std::numeric_limits<uint64_t>::max()), L"18446744073709551615");
  EXPECT_EQ(QuillogFormat(L"%hd %o %c", static_cast<short>(-2), 8, L'Z'), L"-2 10 Z");
  EXPECT_EQ(QuillogFormat(L"%*d|%-*d", 4, 3, 3, 1), L"   3|1  ");
  EXPECT_EQ(QuillogFormat(L"%.0d|", 0), L"|");
}

TEST(QuillogFormat, MismatchedOrMissingArgumentsShowMarkers) {
  EXPECT_EQ(QuillogFormat(L"%s", 12), L"<?>");
  EXPECT_EQ(QuillogFormat(L"%d", L"text"), L"<?>");
  EXPECT_EQ(QuillogFormat(L"%S", L"wide given to narrow"), L"<?>");
  EXPECT_EQ(QuillogFormat(L"%s", "narrow given to wide"), L"<?>");
  EXPECT_EQ(QuillogFormat(L"%f", 3), L"<?>");
  EXPECT_EQ(QuillogFormat(L"a %d b %d", 1), L"a 1 b <missing>");
  EXPECT_EQ(QuillogFormat(L"%n", 1), L"<?>");
}

TEST(QuillogFormat, LiteralsAndBrokenFormats) {
  EXPECT_EQ(QuillogFormat(L"100%% sure"), L"100% sure");
  EXPECT_EQ(QuillogFormat(L"ends with %"), L"ends with %");
  EXPECT_EQ(QuillogFormat(L"ends with %-0"), L"ends with %-0");
  EXPECT_EQ(QuillogFormat(L"%.2f %p", 1.005, nullptr), L"1.00 0");
  EXPECT_EQ(quillog::FormatV(nullptr, nullptr, 0), L"");
  EXPECT_EQ(QuillogFormat(L"%99999d", 1).size(), 4096u);  // widths are bounded
}

TEST(QuillogFormat, Utf8RoundTripAndInvalidInput) {
  const std::wstring text = L"a\u00e9\u20ac\U0001F600";
  EXPECT_EQ(quillog::Utf8ToWide(quillog::WideToUtf8(text)), text);
  EXPECT_EQ(quillog::WideToUtf8(text).size(), 1u + 2u + 3u + 4u);
  EXPECT_EQ(quillog::Utf8ToWide("\xff"
                                "a"),
            L"\uFFFD"
            L"a");
  EXPECT_EQ(quillog::Utf8ToWide("\xe2\x82"), L"\uFFFD");      // truncated sequence
  EXPECT_EQ(quillog::Utf8ToWide("\xc0\xaf"), L"\uFFFD");      // overlong
  EXPECT_EQ(quillog::Utf8ToWide("\xed\xa0\x80"), L"\uFFFD");  // surrogate
  EXPECT_EQ(quillog::WideToUtf8(std::wstring(1, static_cast<wchar_t>(0xD800))), "\xef\xbf\xbd");
}
