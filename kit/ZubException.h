// The kit's exception: one formatted wide message. Always thrown as a
// pointer to a heap object; whoever catches it deletes it:
//   try { ... } catch (CZubException* e) { ...; delete e; }
#pragma once

#include "quillog/Quillog.h"

#include <string>

class CZubException {
 public:
  template <typename... Args>
  explicit CZubException(const wchar_t* format, const Args&... args) {
    try {
      m_message = QuillogFormat(format, args...);
    } catch (...) {
      _format_failed(format);
    }
    _log();
  }
  virtual ~CZubException() = default;

  const std::wstring& GetMessage() const { return m_message; }

 private:
  void _format_failed(const wchar_t* format);
  void _log() const;

  std::wstring m_message;
};
