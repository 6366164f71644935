#include "cli/CliOutput.h"

#include "asn1/Asn1Type.h"

#include <gtest/gtest.h>

namespace {

CAsn1Object Typed(uint8_t code, const std::wstring& text) {
  CAsn1Object object(code);
  object.GetValue().SetText(text);
  return object;
}

CAsn1Object Text(const std::wstring& text) { return Typed(ASN1_OCTET_STRING, text); }

CAsn1Object Ticks(uint64_t ticks) {
  CAsn1Object object(ASN1_TIMETICKS);
  object.GetValue().SetUnsigned(ticks, true);
  return object;
}

}  // namespace

TEST(CliOutput, ValuesAreOneLineAndTellTextFromOctets) {
  struct Row {
    const char* name;
    CAsn1Object object;
    std::string shown;
    std::string tsv;
  };
  const Row rows[] = {
      {"plain", Text(L"Tavelo"), "\"Tavelo\"", "Tavelo"},
      {"empty", Text(L""), "\"\"", ""},
      {"quotes", Text(L"say \"hi\""), "\"say \\\"hi\\\"\"", "say \"hi\""},
      {"backslash", Text(L"C:\\temp"), "\"C:\\\\temp\"", "C:\\\\temp"},
      {"escape sequence", Text(L"\x1B[2J"), "1b:5b:32:4a", "1b:5b:32:4a"},
      {"wide text", Text(L"\u20AC\n"), "\"\xE2\x82\xAC\\n\"", "\xE2\x82\xAC\\n"},
      {"no time", Ticks(0), "(0) 00:00:00.000", "0"},
      {"25 hours and a second", Ticks(9000100), "(9000100) 1d 01:00:01.000", "9000100"},
      {"largest", Ticks(4294967295u), "(4294967295) 497d 02:27:52.950", "4294967295"},
      {"ticks not a number", Typed(ASN1_TIMETICKS, L"soon"), "soon", "soon"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(cli::ValueText(row.object, false), row.shown);
    EXPECT_EQ(cli::ValueText(row.object, true), row.tsv);
  }
}
