#include "asn1/Asn1Type.h"

#include "asn1/BerDecoder.h"
#include "asn1/BerEncoder.h"
#include "quillog/Quillog.h"

#include <cstddef>

namespace {

struct TypeEntry {
  uint8_t code;
  bool carries_value;
  const wchar_t* name;
};

// Searched front to back; no duplicate codes or names.
constexpr TypeEntry kTypes[] = {
    {0x01, true, L"Boolean"},
    {0x02, true, L"Integer"},
    {0x03, true, L"Bit String"},
    {0x04, true, L"Octet String"},
    {0x05, false, L"Null"},
    {0x06, true, L"Object Identifier"},
    {0x08, true, L"External"},
    {0x09, true, L"Real"},
    {0x0A, true, L"Enumerated"},
    {0x30, true, L"Sequence"},
    {0x11, true, L"Set"},
    {0x12, true, L"Numeric String"},
    {0x13, true, L"Printable String"},
    {0x14, true, L"Teletex String"},
    {0x15, true, L"Video String"},
    {0x16, true, L"Ascii String"},
    {0x17, true, L"Utc Time"},
    {0x18, true, L"Generalized Time"},
    {0x19, true, L"Graphic String"},
    {0x1A, true, L"Visible String"},
    {0x1B, true, L"General String"},
    {0x1C, true, L"Universal String"},
    {0x1D, true, L"Character"},
    {0x1E, true, L"Bmp String"},
    {0x40, true, L"IP Address"},
    {0x41, true, L"Counter32"},
    {0x42, true, L"Gauge32"},
    {0x43, true, L"TimeTicks"},
    {0x44, true, L"Opaque"},
    {0x45, true, L"NsapAddress"},
    {0x46, true, L"Counter64"},
    {0x80, false, L"No Such Object"},
    {0x81, false, L"No Such Instance"},
    {0x82, false, L"End Of MIB View"},
    {0xA0, false, L"PDU Get Request"},
    {0xA1, false, L"PDU Get Next Request"},
    {0xA2, false, L"PDU Response"},
    {0xA3, false, L"PDU Set Request"},
    {0xA4, false, L"PDU Trap V1"},
    {0xA5, false, L"PDU Get Bulk Request"},
    {0xA6, false, L"PDU Inform"},
    {0xA7, false, L"PDU Trap V2"},
    {0xA8, false, L"PDU Report"},
    {0xFF, false, L"Pseudo type Sequence End"},
};
static_assert(sizeof(kTypes) / sizeof(kTypes[0]) == 44);

struct IconEntry {
  uint8_t code;
  int icon;
};

constexpr IconEntry kIcons[] = {
    {0x04, 1}, {0x06, 2}, {0x43, 3}, {0x02, 4},  {0x42, 5},  {0x41, 6},
    {0x40, 7}, {0x46, 8}, {0x01, 9}, {0x44, 12}, {0x05, 13},
};

const TypeEntry* FindByCode(uint8_t code) {
  for (const TypeEntry& entry : kTypes) {
    if (entry.code == code) return &entry;
  }
  return nullptr;
}

}  // namespace

const wchar_t* GetTypeName(uint8_t code) {
  const TypeEntry* entry = FindByCode(code);
  if (entry != nullptr) return entry->name;
  QuillogW(QUILLOG_ERROR, QLF_NONE, L"Type %d is unknown", static_cast<int>(code));
  return L"Unknown type";
}

uint8_t GetTypeCode(std::wstring_view name) {
  for (const TypeEntry& entry : kTypes) {
    if (name == entry.name) return entry.code;
  }
  QuillogW(QUILLOG_ERROR, QLF_NONE, L"Type %s is unknown", name);
  return 0;
}

uint8_t GetTypeCode(const wchar_t* name) {
  return GetTypeCode(name != nullptr ? std::wstring_view(name) : std::wstring_view());
}

bool CarriesValue(uint8_t code) {
  if ((code & ASN1_CONSTRUCTED_BIT) != 0) return false;
  const TypeEntry* entry = FindByCode(code);
  return entry == nullptr || entry->carries_value;
}

int GetTypeIcon(uint8_t code) {
  for (const IconEntry& entry : kIcons) {
    if (entry.code == code) return entry.icon;
  }
  QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unknown type of icon for ASN.1 type %s", GetTypeName(code));
  return 0;
}

bool IsUnsignedType(uint8_t code) {
  return code == ASN1_COUNTER32 || code == ASN1_GAUGE32 || code == ASN1_TIMETICKS || code == ASN1_COUNTER64;
}

bool CAsn1Type::Decode(CBerDecoder& decoder) {
  uint8_t first = 0;
  if (!decoder.ReadByte(&first)) return false;
  m_code = first;
  if ((first & 0x1F) != 0x1F) return true;
  // High-tag-number form: skip the tag bytes, keep the first octet as the code.
  QuillogW(QUILLOG_ERROR, QLF_NONE, L"CAsn1Type ==> Extended types are not supported");
  uint8_t next = 0x80;
  while ((next & 0x80) != 0) {
    if (!decoder.ReadByte(&next)) return false;
  }
  return true;
}

bool CAsn1Type::Encode(CBerEncoder& encoder) const { return encoder.WriteByte(m_code); }
