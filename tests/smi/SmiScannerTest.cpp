#include "smi/SmiScanner.h"

#include "SmiTestSupport.h"
#include "smi/SmiGrammar.h"

#include <string>
#include <vector>

namespace {

struct Tok {
  int code;
  std::wstring value;
  bool operator==(const Tok&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Tok& t) { return os << t.code << ":" << quillog::WideToUtf8(t.value); }

class SmiScannerTest : public SmiTempHome {
 protected:
  // Every token of the text up to the end of input; m_line: the last one's line.
  std::vector<Tok> Scan(const std::string& text) {
    const std::string path = WriteModule("SCAN", text);
    EXPECT_EQ(m_scanner.OpenFile(Wide(path)), 0);
    std::vector<Tok> tokens;
    for (int i = 0; i < 10000; ++i) {
      const CSmiToken* value = nullptr;
      const int code = m_scanner.NextToken(&value);
      if (code == 0) break;
      m_line = m_scanner.Line();
      if (!value) {
        tokens.push_back(Tok{code, L""});
      } else {
        tokens.push_back(Tok{code, code == QUOTED_STRING ? value->QuotedText() : std::wstring(*value)});
      }
    }
    return tokens;
  }
  CSmiScanner m_scanner;
  int m_line = 0;
};

TEST_F(SmiScannerTest, ModuleHeaderAndKeywordsVersusIdentifiers) {
  EXPECT_EQ(
      Scan("IF-MIB DEFINITIONS ::= BEGIN"),
      (std::vector<Tok>{{UPPER_STRING, L"IF-MIB"}, {TOK_DEFINITIONS, L""}, {TOK_DEFINITION, L""}, {TOK_BEGIN, L""}}));
  EXPECT_EQ(Scan("BEGINx BEGIN- OBJECT-TYPEs Integer32 INTEGER32 abc--def OBJECT-TYPE"),
            (std::vector<Tok>{{UPPER_STRING, L"BEGINx"},
                              {UPPER_STRING, L"BEGIN-"},
                              {UPPER_STRING, L"OBJECT-TYPEs"},
                              {UPPER_STRING, L"Integer32"},
                              {UPPER_STRING, L"INTEGER32"},
                              {LOWER_STRING, L"abc--def"},
                              {TOK_OBJECT_TYPE, L"OBJECT-TYPE"}}));
  // An underscore is an unknown character: the input ends there.
  EXPECT_EQ(Scan("my_object other"), (std::vector<Tok>{{LOWER_STRING, L"my"}}));
}

TEST_F(SmiScannerTest, NumbersAndDots) {
  EXPECT_EQ(Scan("-5 0x12 12.5 ...."), (std::vector<Tok>{{DECIMAL_STRING, L"-5"},
                                                         {DECIMAL_STRING, L"0"},
                                                         {LOWER_STRING, L"x12"},
                                                         {DECIMAL_STRING, L"12"},
                                                         {TOK_DOT, L""},
                                                         {DECIMAL_STRING, L"5"},
                                                         {TOK_TRIPLE_DOT, L""},
                                                         {TOK_DOT, L""}}));
  // A lone hyphen is an unknown character: the input ends there.
  EXPECT_EQ(Scan("- 5"), std::vector<Tok>{});
}

TEST_F(SmiScannerTest, CommentsCloseAtHyphenPairOrLineEnd) {
  EXPECT_EQ(Scan("ifIndex -- comment -- OBJECT-TYPE"),
            (std::vector<Tok>{{LOWER_STRING, L"ifIndex"}, {TOK_OBJECT_TYPE, L"OBJECT-TYPE"}}));
  EXPECT_EQ(Scan("a -- to the end of the line OBJECT-TYPE\nb"),
            (std::vector<Tok>{{LOWER_STRING, L"a"}, {LOWER_STRING, L"b"}}));
  EXPECT_EQ(Scan("a ----\nb"), (std::vector<Tok>{{LOWER_STRING, L"a"}, {LOWER_STRING, L"b"}}));
  // The third hyphen is inside the comment opened by the first two.
  EXPECT_EQ(Scan("a --- b"), (std::vector<Tok>{{LOWER_STRING, L"a"}}));
}

TEST_F(SmiScannerTest, BinaryAndHexadecimalStrings) {
  EXPECT_EQ(Scan("'0101'B '0101'b '0aF'H 'ff'h ''H"), (std::vector<Tok>{{BINARY_STRING, L"'0101'B"},
                                                                        {BINARY_STRING, L"'0101'b"},
                                                                        {HEXA_STRING, L"'0aF'H"},
                                                                        {HEXA_STRING, L"'ff'h"},
                                                                        {HEXA_STRING, L"''H"}}));
  // Not a binary string: the apostrophe ends the input.
  EXPECT_EQ(Scan("x 'AB'B y"), (std::vector<Tok>{{LOWER_STRING, L"x"}}));
}

TEST_F(SmiScannerTest, CutShortStringsAndDefinitionsTakeOnlyTheirFirstCharacter) {
  // As if the apostrophe or colon alone were read: the input ends there,
  // and a further read goes on right after it.
  EXPECT_EQ(Scan("x '01' y"), (std::vector<Tok>{{LOWER_STRING, L"x"}}));
  const CSmiToken* v = nullptr;
  ASSERT_EQ(m_scanner.NextToken(&v), DECIMAL_STRING);
  EXPECT_EQ(*v, L"01");
  m_scanner.CloseFile();
  EXPECT_EQ(Scan("x :: y"), (std::vector<Tok>{{LOWER_STRING, L"x"}}));
  ASSERT_EQ(m_scanner.NextToken(&v), 0);  // the second colon
  ASSERT_EQ(m_scanner.NextToken(&v), LOWER_STRING);
  EXPECT_EQ(*v, L"y");
}

TEST_F(SmiScannerTest, LongCommentAndStringLinesKeepEveryByte) {
  const std::string line(40000, 'w');  // longer than the input buffer
  EXPECT_EQ(Scan("a -- " + line + " -- b\nc"),
            (std::vector<Tok>{{LOWER_STRING, L"a"}, {LOWER_STRING, L"b"}, {LOWER_STRING, L"c"}}));
  m_scanner.CloseFile();
  EXPECT_EQ(Scan("\"" + line + "\n\xE9" + line + "\" d"),
            (std::vector<Tok>{{QUOTED_STRING, std::wstring(line.begin(), line.end()) + L"\n\u00e9" +
                                                  std::wstring(line.begin(), line.end())},
                              {LOWER_STRING, L"d"}}));
}

TEST_F(SmiScannerTest, QuotedStringsAtTheInputBufferEdgeReadTheSame) {
  // The closing quote just before, at or after the end of the first input
  // buffer; the line feeds inside are counted either way.
  for (size_t pad = 16360; pad < 16400; ++pad) {
    SCOPED_TRACE(pad);
    std::string text;
    int line = 1;
    for (; text.size() + 80 < pad; ++line) text += "abc" + std::string(75, ' ') + "\n";
    text += std::string(pad - text.size(), ' ') + "\"ab\ncd\n\" y\n";
    ASSERT_EQ(m_scanner.OpenFile(Wide(WriteModule("EDGE", text))), 0);
    const CSmiToken* v = nullptr;
    int code = 0;
    while ((code = m_scanner.NextToken(&v)) == LOWER_STRING) {
    }
    ASSERT_EQ(code, QUOTED_STRING);
    EXPECT_EQ(v->QuotedText(), L"ab\ncd\n");
    ASSERT_EQ(m_scanner.NextToken(&v), LOWER_STRING);
    EXPECT_EQ(*v, L"y");
    EXPECT_EQ(m_scanner.Line(), line + 2);
    m_scanner.CloseFile();
  }
}

// More tokens than one chunk holds, then back to a mark: the ones before it
// stay, the pool hands out its chunks again.
TEST_F(SmiScannerTest, TokensAfterAMarkAreFreedAndTheOnesBeforeItKept) {
  std::string many = "keep \"" + std::string(2000, 'q') + "\" ";
  for (int i = 0; i < 1500; ++i) many += "w" + std::to_string(i) + " ";
  ASSERT_EQ(m_scanner.OpenFile(Wide(WriteModule("M", many + "last"))), 0);
  const CSmiToken* kept = nullptr;
  ASSERT_EQ(m_scanner.NextToken(&kept), LOWER_STRING);
  const size_t mark = m_scanner.TokenStringCount();
  const CSmiToken* v = nullptr;
  for (int i = 0; i < 1501; ++i) ASSERT_NE(m_scanner.NextToken(&v), 0);
  EXPECT_EQ(m_scanner.TokenStringCount(), mark + 1501);
  m_scanner.FreeTokenStringsFrom(mark);
  EXPECT_EQ(m_scanner.TokenStringCount(), mark);
  ASSERT_EQ(m_scanner.NextToken(&v), LOWER_STRING);
  EXPECT_EQ(*v, L"last");
  EXPECT_EQ(*kept, L"keep");
}

TEST_F(SmiScannerTest, QuotedStringsSpanLinesKeepBytesAndCountLines) {
  // Line feeds as the first and the last byte of a string count too.
  EXPECT_EQ(Scan("\"one\ntwo \\ \xE9\nthree\"\"x\" after \"\n\n\" end"),
            (std::vector<Tok>{{QUOTED_STRING, L"one\ntwo \\ \u00e9\nthree"},
                              {QUOTED_STRING, L"x"},
                              {LOWER_STRING, L"after"},
                              {QUOTED_STRING, L"\n\n"},
                              {LOWER_STRING, L"end"}}));
  EXPECT_EQ(m_line, 5);
}

TEST_F(SmiScannerTest, CrLfScansLikeLf) {
  const std::string lf = "A DEFINITIONS ::= BEGIN\n-- note\nx \"a\nb\" y\n";
  std::string crlf;
  for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  const std::vector<Tok> with_lf = Scan(lf);
  const int lf_line = m_line;
  m_scanner.CloseFile();
  EXPECT_EQ(Scan(crlf), with_lf);
  EXPECT_EQ(m_line, lf_line);
  EXPECT_EQ(lf_line, 4);
  // A carriage return alone is an unknown character.
  m_scanner.CloseFile();
  EXPECT_EQ(Scan("a\rb"), (std::vector<Tok>{{LOWER_STRING, L"a"}}));
}

TEST_F(SmiScannerTest, NestedFileReturnsToImporterWithItsLine) {
  const std::string outer = WriteModule("OUTER", "first\n\nsecond third");
  ASSERT_EQ(m_scanner.OpenFile(Wide(outer)), 0);
  const CSmiToken* v = nullptr;
  ASSERT_EQ(m_scanner.NextToken(&v), LOWER_STRING);
  ASSERT_EQ(m_scanner.OpenFile(Wide(WriteModule("INNER", "inner1\ninner2\n"))), 0);
  EXPECT_EQ(m_scanner.Depth(), 2);
  ASSERT_EQ(m_scanner.NextToken(&v), LOWER_STRING);
  ASSERT_EQ(m_scanner.NextToken(&v), LOWER_STRING);
  EXPECT_EQ(m_scanner.Line(), 2);
  ASSERT_EQ(m_scanner.NextToken(&v), LOWER_STRING);
  EXPECT_EQ(*v, L"second");
  EXPECT_EQ(m_scanner.Line(), 3);
  EXPECT_EQ(m_scanner.FileName(), Wide(outer));
  m_scanner.FreeTokenStrings();
  EXPECT_EQ(m_scanner.TokenStringCount(), 0u);
  EXPECT_EQ(m_scanner.CloseFile(), 0);
  EXPECT_EQ(m_scanner.CloseFile(), 1);
}

TEST_F(SmiScannerTest, FailedOpensLeaveTheStackAsItWas) {
  const std::string outer = WriteModule("OUTER", "a b");
  ASSERT_EQ(m_scanner.OpenFile(Wide(outer)), 0);
  EXPECT_EQ(m_scanner.OpenFile(Wide(m_root + "/mibs/MISSING.mib")), 1);
  EXPECT_EQ(m_scanner.LastError().message, L"Unable to open SMI file");
  // A folder exists but cannot be read as a module.
  EXPECT_EQ(m_scanner.OpenFile(Wide(m_root + "/mibs")), 1);
  EXPECT_EQ(m_scanner.OpenFile(std::wstring(1100, L'x')), 1);
  EXPECT_EQ(m_scanner.Depth(), 1);
  EXPECT_EQ(m_scanner.FileName(), Wide(outer));
  const CSmiToken* v = nullptr;
  ASSERT_EQ(m_scanner.NextToken(&v), LOWER_STRING);
  EXPECT_EQ(*v, L"a");
}

}  // namespace
