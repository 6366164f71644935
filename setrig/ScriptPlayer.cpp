#include "setrig/ScriptPlayer.h"

#include "kit/ZubException.h"
#include "quillog/Quillog.h"
#include "setrig/OdbcRequest.h"

namespace {

bool HasUtf16Mark(const uint8_t* data, size_t size) { return size >= 2 && data[0] == 0xFF && data[1] == 0xFE; }

bool HasUtf8Mark(const uint8_t* data, size_t size) {
  return size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF;
}

// Little-endian UTF-16 to wide text; a unit of an unpaired surrogate
// becomes U+FFFD.
std::wstring DecodeUtf16(const uint8_t* data, size_t size) {
  std::wstring text;
  text.reserve(size / 2);
  auto unit = [&](size_t i) { return static_cast<uint32_t>(data[i] | (data[i + 1] << 8)); };
  for (size_t i = 0; i + 1 < size; i += 2) {
    const uint32_t u = unit(i);
    if (u < 0xD800 || u > 0xDFFF) {
      text += static_cast<wchar_t>(u);
      continue;
    }
    const bool pair = u <= 0xDBFF && i + 3 < size && unit(i + 2) >= 0xDC00 && unit(i + 2) <= 0xDFFF;
    if (!pair) {
      text += L'\uFFFD';
      continue;
    }
    text += static_cast<wchar_t>(0x10000 + ((u - 0xD800) << 10) + (unit(i + 2) - 0xDC00));
    i += 2;
  }
  return text;
}

bool IsBlank(std::wstring_view text) { return text.find_first_not_of(L" \t\r\n\f\v") == std::wstring_view::npos; }

bool IsLineBreak(wchar_t c) { return c == L'\r' || c == L'\n'; }

}  // namespace

ScriptEncoding ScriptEncodingOf(const uint8_t* data, size_t size) {
  return HasUtf16Mark(data, size) ? ScriptEncoding::Utf16 : ScriptEncoding::Utf8;
}

std::wstring ScriptText(const uint8_t* data, size_t size, ScriptEncoding encoding, const std::wstring& path) {
  const bool utf16_mark = HasUtf16Mark(data, size);
  if (encoding == ScriptEncoding::Utf8) {
    if (utf16_mark) {
      QuillogW(QUILLOG_WARNING, QLF_NONE, L"The file %s is an unicode file and you read it as an UTF8 file", path);
    }
    const size_t skip = HasUtf8Mark(data, size) ? 3 : 0;
    return quillog::Utf8ToWide(std::string_view(reinterpret_cast<const char*>(data) + skip, size - skip));
  }
  if (!utf16_mark) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"The file %s is not an unicode file and you read it as an unicode file", path);
  }
  const size_t skip = utf16_mark ? 2 : 0;
  if ((size - skip) % 2 != 0) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"The file %s ends with an odd byte, it is left out", path);
  }
  return DecodeUtf16(data + skip, size - skip);
}

std::vector<std::wstring_view> SplitScript(std::wstring_view text) {
  std::vector<std::wstring_view> batches;
  auto add = [&](std::wstring_view batch) {
    if (!IsBlank(batch)) batches.push_back(batch);
  };
  size_t start = 0;
  size_t column = 0;  // characters since the last line break
  for (size_t i = 0; i < text.size();) {
    const wchar_t c = text[i];
    if (column == 0 && i + 1 < text.size() && (c == L'G' || c == L'g') &&
        (text[i + 1] == L'O' || text[i + 1] == L'o')) {
      add(text.substr(start, i - start));
      i += 2;
      start = i;
      column = 2;
      continue;
    }
    column = IsLineBreak(c) ? 0 : column + 1;
    ++i;
  }
  add(text.substr(start));
  return batches;
}

ScriptResult PlayScript(std::wstring_view text, CZubOdbcPool& pool) {
  ScriptResult result;
  CZubOdbc odbc(pool);
  for (std::wstring_view batch : SplitScript(text)) {
    ++result.batches;
    try {
      CZubOdbcReq request(odbc);
      if (!request.Prepare(batch) || !request.Finish(false)) ++result.failed;
    } catch (CZubException* e) {
      delete e;
      ++result.failed;
    }
  }
  return result;
}
