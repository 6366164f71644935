// A registry hive kept in a REGEDIT4 text file.
//
//   REGEDIT4
//
//   [HKEY_CURRENT_USER\Software\Tavelo\Tavelo\MainFrame]
//   "StatusBar"=dword:00000001
//   "LastIp"="127.0.0.1"
//   "WindowPlacement"=hex:2c,00,00,00,...
//   "TextEditor"=hex(2):25,00,45,00,...      (UTF-16LE, ends with 00,00)
//
// Key paths and value names compare without regard to ASCII case, as the
// registry does; their spelling is kept. Values of unknown hex(N) types and
// keys that are not ours survive a rewrite.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Registry value types (Windows numbers).
constexpr uint32_t REG_TYPE_SZ = 1;
constexpr uint32_t REG_TYPE_EXPAND_SZ = 2;
constexpr uint32_t REG_TYPE_BINARY = 3;
constexpr uint32_t REG_TYPE_DWORD = 4;
constexpr uint32_t REG_TYPE_MULTI_SZ = 7;

struct RegValue {
  std::wstring name;  // empty for the key's default value ("@")
  uint32_t type = REG_TYPE_SZ;
  std::wstring text;           // REG_SZ
  uint32_t dword = 0;          // REG_DWORD
  std::vector<uint8_t> bytes;  // every hex form
};

struct RegKey {
  std::wstring path;  // "HKEY_CURRENT_USER\Software\..."
  std::vector<RegValue> values;
};

class CRegFile {
 public:
  // Parses a whole file's text (UTF-8). False with a reason for anything
  // that is not a well-formed REGEDIT4 file; the object is then empty.
  bool Parse(const std::string& text, std::string* error);
  // The file's text.
  std::string Serialize() const;

  RegKey* FindKey(const std::wstring& path);
  const RegKey* FindKey(const std::wstring& path) const;
  // Finds or appends the key; *created tells which.
  RegKey* CreateKey(const std::wstring& path, bool* created = nullptr);
  static RegValue* FindValue(RegKey* key, const std::wstring& name);
  static const RegValue* FindValue(const RegKey* key, const std::wstring& name);
  // Replaces or appends the value named value.name.
  static void SetValue(RegKey* key, const RegValue& value);

  const std::vector<RegKey>& Keys() const { return m_keys; }

  // UTF-16LE helpers for the hex(2) and hex(7) forms.
  static std::vector<uint8_t> WideToUtf16Le(const std::wstring& text, bool terminate);
  static std::wstring Utf16LeToWide(const std::vector<uint8_t>& bytes);
  // Splits REG_MULTI_SZ bytes into their strings.
  static std::vector<std::wstring> MultiSzStrings(const std::vector<uint8_t>& bytes);

 private:
  std::vector<RegKey> m_keys;
};
