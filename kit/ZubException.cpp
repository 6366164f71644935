#include "kit/ZubException.h"

void CZubException::_format_failed(const wchar_t* format) {
  try {
    m_message = QuillogFormat(L"An error occurs while treating the exception format string [%s]", format);
  } catch (...) {
    m_message.clear();
  }
}

void CZubException::_log() const { QuillogW(QUILLOG_ERROR, QLF_NONE, L"An exception is raised : [%s]", m_message); }
