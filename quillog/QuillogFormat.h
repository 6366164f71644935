// Type-safe printf-style formatting of wide texts.
//
// Conversions keep their Windows meaning: in a wide format %s takes a wide
// string and %S a narrow one (read as UTF-8). Supported: flags "-+ #0",
// width and precision (also "*"), length modifiers h hh l ll I64 z j t
// (accepted and ignored: the argument's own width decides), and the
// conversions d i u x X o c C s S p e E f g G %. An argument of the wrong
// kind prints "<?>", a missing one "<missing>".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

namespace quillog {

class FormatArg {
 public:
  enum class Kind { Signed, Unsigned, Double, Wide, Narrow, Pointer };

  template <typename T, std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool>, int> = 0>
  FormatArg(T v) : m_bits(sizeof(T) * 8) {
    if constexpr (std::is_signed_v<T>) {
      m_kind = Kind::Signed;
      i_ = v;
    } else {
      m_kind = Kind::Unsigned;
      u_ = v;
    }
  }
  FormatArg(bool v) : m_kind(Kind::Signed), m_bits(32), i_(v ? 1 : 0) {}
  template <typename T, std::enable_if_t<std::is_enum_v<T>, int> = 0>
  FormatArg(T v) : FormatArg(static_cast<std::underlying_type_t<T>>(v)) {}
  FormatArg(double v) : m_kind(Kind::Double), d_(v) {}
  FormatArg(float v) : m_kind(Kind::Double), d_(v) {}
  FormatArg(const wchar_t* s) : m_kind(Kind::Wide), m_ws(s ? std::wstring_view(s) : std::wstring_view()), m_null(!s) {}
  FormatArg(wchar_t* s) : FormatArg(static_cast<const wchar_t*>(s)) {}
  FormatArg(const std::wstring& s) : m_kind(Kind::Wide), m_ws(s) {}
  FormatArg(std::wstring_view s) : m_kind(Kind::Wide), m_ws(s) {}
  FormatArg(const char* s) : m_kind(Kind::Narrow), m_ns(s ? std::string_view(s) : std::string_view()), m_null(!s) {}
  FormatArg(char* s) : FormatArg(static_cast<const char*>(s)) {}
  FormatArg(const std::string& s) : m_kind(Kind::Narrow), m_ns(s) {}
  FormatArg(std::string_view s) : m_kind(Kind::Narrow), m_ns(s) {}
  FormatArg(const void* p) : m_kind(Kind::Pointer), p_(p) {}
  FormatArg(void* p) : m_kind(Kind::Pointer), p_(p) {}
  FormatArg(std::nullptr_t) : m_kind(Kind::Pointer), p_(nullptr) {}
  template <typename T, std::enable_if_t<!std::is_same_v<std::remove_cv_t<T>, char> &&
                                             !std::is_same_v<std::remove_cv_t<T>, wchar_t> &&
                                             !std::is_same_v<std::remove_cv_t<T>, void>,
                                         int> = 0>
  FormatArg(T* p) : m_kind(Kind::Pointer), p_(static_cast<const void*>(p)) {}

  Kind kind() const { return m_kind; }
  int bits() const { return m_bits; }
  int64_t as_signed() const { return i_; }
  uint64_t as_unsigned() const { return u_; }
  double as_double() const { return d_; }
  std::wstring_view wide() const { return m_ws; }
  std::string_view narrow() const { return m_ns; }
  const void* pointer() const { return p_; }
  bool is_null_string() const { return m_null; }

 private:
  Kind m_kind;
  int m_bits = 64;
  union {
    int64_t i_;
    uint64_t u_;
    double d_;
    const void* p_;
  };
  std::wstring_view m_ws;
  std::string_view m_ns;
  bool m_null = false;
};

// Formats with an argument list; never throws on bad formats or arguments.
std::wstring FormatV(const wchar_t* format, const FormatArg* args, size_t count);

// UTF-8 to wide and back (invalid input is replaced by U+FFFD).
std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);

}  // namespace quillog

// Formats a wide printf-style text with typed arguments.
template <typename... Args>
inline std::wstring QuillogFormat(const wchar_t* format, const Args&... args) {
  if constexpr (sizeof...(Args) == 0) {
    return quillog::FormatV(format, nullptr, 0);
  } else {
    const quillog::FormatArg list[] = {quillog::FormatArg(args)...};
    return quillog::FormatV(format, list, sizeof...(Args));
  }
}
