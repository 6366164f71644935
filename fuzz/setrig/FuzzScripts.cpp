// Script files of any content: decoded by their byte order mark and cut
// into batches. Checks that every batch lies inside the text, in order,
// holds more than white space, and that what lies between two batches is
// only GO separators and white space.
#include "setrig/ScriptPlayer.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

bool OnlySeparators(std::wstring_view gap) {
  for (size_t i = 0; i < gap.size(); ++i) {
    const wchar_t c = gap[i];
    if (c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\f' || c == L'\v') continue;
    if ((c == L'G' || c == L'g') && i + 1 < gap.size() && (gap[i + 1] == L'O' || gap[i + 1] == L'o')) {
      ++i;
      continue;
    }
    return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const ScriptEncoding encoding = ScriptEncodingOf(data, size);
  const std::wstring text = ScriptText(data, size, encoding, L"fuzz.sql");
  size_t position = 0;
  for (std::wstring_view batch : SplitScript(text)) {
    const size_t start = static_cast<size_t>(batch.data() - text.data());
    if (start < position || start + batch.size() > text.size()) __builtin_trap();
    if (batch.find_first_not_of(L" \t\r\n\f\v") == std::wstring_view::npos) __builtin_trap();
    if (!OnlySeparators(std::wstring_view(text).substr(position, start - position))) __builtin_trap();
    position = start + batch.size();
  }
  if (!OnlySeparators(std::wstring_view(text).substr(position))) __builtin_trap();
  return 0;
}
