// What every export of libsetrig does at its boundary: the logging
// registration on the first call, UTF-8 in and out, the output-buffer rules
// and no exception reaching the caller.
//
//   int Setrig_Something(const char* path, char* out, uint32_t size) {
//     return setrig::Export(L"Setrig_Something", [&] {
//       setrig::ClearOut(out, size);
//       ...
//       return setrig::CopyOut(text, out, size);
//     });
//   }
#pragma once

#include "kit/ZubException.h"
#include "quillog/Quillog.h"

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

namespace setrig {

// Registers as "Setrig" with feature mask 0 and enables output, once per
// process. The log file goes to ${XDG_STATE_HOME:-$HOME/.local/state}/tavelo/log.
void EnsureRegistered();

// UTF-8 to wide text; null gives the empty text. Invalid bytes become U+FFFD.
std::wstring Wide(const char* utf8);
std::string Utf8(std::wstring_view text);

// True for a null pointer or an empty text.
inline bool IsNullOrEmpty(const char* text) { return text == nullptr || text[0] == '\0'; }

// Stores the empty string in a usable buffer (non-null, size not zero).
void ClearOut(char* buffer, uint32_t size);

// Copies a UTF-8 text into the buffer, always terminated. A text that does
// not fit is cut before the last whole character that fits. Returns false
// (and copies nothing) for a null buffer or a zero size.
bool CopyOut(std::string_view utf8, char* buffer, uint32_t size);
bool CopyOut(std::wstring_view text, char* buffer, uint32_t size);

// Length of the longest prefix of `utf8` no longer than `limit` bytes that
// does not end inside a UTF-8 sequence.
size_t Utf8Prefix(std::string_view utf8, size_t limit);

// Logs an exception that reached an export boundary; never throws.
void LogEscaped(const wchar_t* where, const std::wstring& what) noexcept;
void LogEscaped(const wchar_t* where, const char* what) noexcept;

// Runs the body of an export: registers first, turns any exception into
// the failure value (logged).
template <typename Result, typename Body>
Result Run(const wchar_t* where, Result failure, Body&& body) noexcept {
  try {
    EnsureRegistered();
    return body();
  } catch (CZubException* e) {
    LogEscaped(where, e->GetMessage());
    delete e;
  } catch (const std::exception& e) {
    LogEscaped(where, e.what());
  } catch (...) {
    LogEscaped(where, "unknown exception");
  }
  return failure;
}

// The boolean form: true becomes 1, false and exceptions 0.
template <typename Body>
int Export(const wchar_t* where, Body&& body) noexcept {
  return Run<int>(where, 0, [&]() -> int { return body() ? 1 : 0; });
}

}  // namespace setrig
