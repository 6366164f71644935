#include "setrig/SetrigExport.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

namespace setrig {

namespace {

// ${XDG_STATE_HOME:-$HOME/.local/state}/tavelo/log, empty when neither is set.
std::string LogFolder() {
  const char* state = std::getenv("XDG_STATE_HOME");
  std::string base;
  if (state != nullptr && state[0] == '/') {
    base = state;
  } else {
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') return {};
    base = std::string(home) + "/.local/state";
  }
  return base + "/tavelo/log";
}

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

}  // namespace

void EnsureRegistered() {
  static std::once_flag once;
  std::call_once(once, [] {
    QuillogRegisterW(L"Setrig");
    QuillogSetFeatureLevel(0);
    const std::string folder = LogFolder();
    if (!folder.empty()) QuillogFileSetFolderNameW(Wide(folder.c_str()).c_str());
    QuillogOutputEnable();
  });
}

std::wstring Wide(const char* utf8) {
  if (utf8 == nullptr) return {};
  return quillog::Utf8ToWide(utf8);
}

std::string Utf8(std::wstring_view text) { return quillog::WideToUtf8(text); }

void ClearOut(char* buffer, uint32_t size) {
  if (buffer != nullptr && size != 0) buffer[0] = '\0';
}

size_t Utf8Prefix(std::string_view utf8, size_t limit) {
  if (utf8.size() <= limit) return utf8.size();
  // Step back over the continuation bytes of a sequence cut at `limit`.
  size_t end = limit;
  while (end > 0 && IsContinuation(static_cast<unsigned char>(utf8[end]))) --end;
  return end;
}

bool CopyOut(std::string_view utf8, char* buffer, uint32_t size) {
  if (buffer == nullptr || size == 0) return false;
  const size_t length = Utf8Prefix(utf8, size - 1);
  std::memcpy(buffer, utf8.data(), length);
  buffer[length] = '\0';
  return true;
}

bool CopyOut(std::wstring_view text, char* buffer, uint32_t size) { return CopyOut(Utf8(text), buffer, size); }

void LogEscaped(const wchar_t* where, const std::wstring& what) noexcept {
  try {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"%s() : An exception is caught : [%s]", where, what);
  } catch (...) {
    // Nothing more can be done without memory.
  }
}

void LogEscaped(const wchar_t* where, const char* what) noexcept {
  try {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"%s() : An exception is caught : [%S]", where, what);
  } catch (...) {
  }
}

}  // namespace setrig
