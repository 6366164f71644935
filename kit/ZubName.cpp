#include "kit/ZubName.h"

#include "quillog/Quillog.h"

void CZubName::SetName(const wchar_t* name) {
  if (name == nullptr) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Name of the object is NULL");
    return;
  }
  m_name = name;
}
