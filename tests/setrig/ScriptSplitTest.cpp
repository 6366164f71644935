#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "setrig/ScriptPlayer.h"
#include "tests/common/LogCapture.h"
#include "tests/setrig/OdbcTestSupport.h"

namespace {

struct SplitCase {
  const char* name;
  std::wstring script;
  std::vector<std::wstring> batches;
};

class SplitScriptTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitScriptTest, CutsAtLinesBeginningWithGo) {
  const SplitCase& c = GetParam();
  std::vector<std::wstring> got;
  for (std::wstring_view batch : SplitScript(c.script)) got.emplace_back(batch);
  EXPECT_EQ(got, c.batches);
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, SplitScriptTest,
    ::testing::Values(
        SplitCase{"NoGo", L"CREATE TABLE t(a int);\nINSERT INTO t VALUES(1);\n",
                  {L"CREATE TABLE t(a int);\nINSERT INTO t VALUES(1);\n"}},
        SplitCase{"UpperGo", L"A\nGO\nB\n", {L"A\n", L"\nB\n"}},
        SplitCase{"LowerGo", L"A\ngo\nB", {L"A\n", L"\nB"}},
        SplitCase{"MixedCaseGo", L"A\ngO\nB\nGo\nC", {L"A\n", L"\nB\n", L"\nC"}},
        SplitCase{"IndentedGoIsText", L"A\n  GO\nB", {L"A\n  GO\nB"}},
        SplitCase{"TabbedGoIsText", L"A\n\tGO\nB", {L"A\n\tGO\nB"}},
        SplitCase{"GoInsideALine", L"SELECT 'GO' AS go\n", {L"SELECT 'GO' AS go\n"}},
        SplitCase{"GoxStartsTheNextBatch", L"A\nGOX\nB", {L"A\n", L"X\nB"}},
        SplitCase{"GoWithTrailingText", L"A\nGO -- next\nB", {L"A\n", L" -- next\nB"}},
        SplitCase{"TrailingGoAndLineBreaks", L"A\nGO\n\r\n\n", {L"A\n"}},
        SplitCase{"TrailingGoWithoutLineBreak", L"A\nGO", {L"A\n"}},
        SplitCase{"CrLfLines", L"A\r\nGO\r\nB\r\n", {L"A\r\n", L"\r\nB\r\n"}},
        SplitCase{"CarriageReturnOnly", L"A\rGO\rB", {L"A\r", L"\rB"}},
        SplitCase{"GoAtTheVeryStart", L"GO\nA", {L"\nA"}},
        SplitCase{"TwoGoLinesInARow", L"A\nGO\nGO\nB", {L"A\n", L"\nB"}},
        SplitCase{"GoGoOnOneLine", L"A\nGOGO\nB", {L"A\n", L"GO\nB"}},
        SplitCase{"BlankTextBetween", L"A\nGO\n   \t\nGO\nB", {L"A\n", L"\nB"}},
        SplitCase{"Empty", L"", {}},
        SplitCase{"OnlyLineBreaks", L"\n\r\n", {}},
        SplitCase{"LoneG", L"A\nG", {L"A\nG"}},
        SplitCase{"NonAsciiText", L"INSERT INTO t VALUES('\u00e9t\u00e9 \U0001F600')\nGO\n",
                  {L"INSERT INTO t VALUES('\u00e9t\u00e9 \U0001F600')\n"}}),
    [](const ::testing::TestParamInfo<SplitCase>& info) { return std::string(info.param.name); });

std::wstring TextOf(const std::string& bytes, ScriptEncoding encoding) {
  const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
  return ScriptText(data, bytes.size(), encoding, L"/scripts/s.sql");
}

TEST(ScriptTextTest, TheByteOrderMarkDecidesTheEncoding) {
  const std::string utf16 = odbctest::Utf16File(L"A\u00e9\U0001F600\nGO\n");
  const std::string utf8_marked = "\xEF\xBB\xBF" "A\xC3\xA9\xF0\x9F\x98\x80\nGO\n";
  const std::string utf8_plain = "A\xC3\xA9\xF0\x9F\x98\x80\nGO\n";
  const auto* bytes16 = reinterpret_cast<const uint8_t*>(utf16.data());
  const auto* bytes8 = reinterpret_cast<const uint8_t*>(utf8_marked.data());
  EXPECT_EQ(ScriptEncodingOf(bytes16, utf16.size()), ScriptEncoding::Utf16);
  EXPECT_EQ(ScriptEncodingOf(bytes8, utf8_marked.size()), ScriptEncoding::Utf8);
  EXPECT_EQ(ScriptEncodingOf(bytes16, 1), ScriptEncoding::Utf8);

  LogCapture log;
  EXPECT_EQ(TextOf(utf16, ScriptEncoding::Utf16), L"A\u00e9\U0001F600\nGO\n");
  EXPECT_EQ(TextOf(utf8_marked, ScriptEncoding::Utf8), L"A\u00e9\U0001F600\nGO\n");
  EXPECT_EQ(TextOf(utf8_plain, ScriptEncoding::Utf8), L"A\u00e9\U0001F600\nGO\n");
  EXPECT_EQ(log.CountLevel(QUILLOG_WARNING), 0u);
}

TEST(ScriptTextTest, ReadingAsTheOtherEncodingIsLoggedAndGoesOn) {
  LogCapture log;
  const std::string utf16 = odbctest::Utf16File(L"AB");
  EXPECT_EQ(TextOf(utf16, ScriptEncoding::Utf8), std::wstring(L"\uFFFD\uFFFDA\0B\0", 6));
  EXPECT_TRUE(log.Has(L"The file /scripts/s.sql is an unicode file and you read it as an UTF8 file"));
  EXPECT_EQ(TextOf("AB", ScriptEncoding::Utf16), std::wstring(1, wchar_t(0x4241)));
  EXPECT_TRUE(log.Has(L"The file /scripts/s.sql is not an unicode file and you read it as an unicode file"));
}

TEST(ScriptTextTest, BrokenSequencesBecomeReplacementCharacters) {
  LogCapture log;
  // A lone low surrogate and an odd last byte in UTF-16; a cut sequence in UTF-8.
  EXPECT_EQ(TextOf(std::string("\xFF\xFE" "A\0\x00\xDC" "B", 7), ScriptEncoding::Utf16), L"A\uFFFD");
  EXPECT_TRUE(log.Has(L"The file /scripts/s.sql ends with an odd byte, it is left out"));
  EXPECT_EQ(TextOf("A\xC3", ScriptEncoding::Utf8), L"A\uFFFD");
}

}  // namespace
