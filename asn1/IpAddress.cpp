#include "asn1/IpAddress.h"

#include "quillog/Quillog.h"

uint32_t IpAddress(const wchar_t* text) {
  if (text == nullptr || *text == 0) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Pointer is NULL or Empty");
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Parameter problem in IpAddress()");
    return IP_ADDRESS_FAILURE;
  }
  // Fields accumulate in 64 bits and saturate, so a long run of digits
  // cannot wrap back into range.
  uint64_t fields[4] = {0, 0, 0, 0};
  int field = 0;
  for (const wchar_t* p = text; *p != 0; ++p) {
    if (*p == L'.') {
      if (field == 3) {
        QuillogW(QUILLOG_ERROR, QLF_NONE, L"Too much '.' in dotted address");
        return IP_ADDRESS_FAILURE;
      }
      ++field;
      continue;
    }
    if (*p < L'0' || *p > L'9') {
      QuillogW(QUILLOG_ERROR, QLF_NONE, L"Bad character in dotted address %s", text);
      return IP_ADDRESS_FAILURE;
    }
    if (fields[field] <= 255) fields[field] = fields[field] * 10 + static_cast<uint64_t>(*p - L'0');
  }
  if (field < 3) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Not enough fields in dotted address %s", text);
    return IP_ADDRESS_FAILURE;
  }
  for (uint64_t value : fields) {
    if (value > 255) {
      QuillogW(QUILLOG_ERROR, QLF_NONE, L"Bad number value in dotted address %s", text);
      return IP_ADDRESS_FAILURE;
    }
  }
  return static_cast<uint32_t>((fields[0] << 24) | (fields[1] << 16) | (fields[2] << 8) | fields[3]);
}

uint32_t IpAddress(const std::wstring& text) { return IpAddress(text.c_str()); }

std::wstring FormatIpAddress(uint32_t address) {
  return QuillogFormat(L"%d.%d.%d.%d", static_cast<int>(address >> 24), static_cast<int>((address >> 16) & 0xFF),
                       static_cast<int>((address >> 8) & 0xFF), static_cast<int>(address & 0xFF));
}
