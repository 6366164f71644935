// Simulator files (".tav") written byte by byte, independently of the writer.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace simfile {

// Builds simulator file bytes field by field, independently of the writer.
class FileBuilder {
 public:
  FileBuilder& Raw(const std::string& bytes) {
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    return *this;
  }
  FileBuilder& U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) m_bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
    return *this;
  }
  FileBuilder& Bool(uint8_t v) {
    m_bytes.push_back(v);
    return *this;
  }
  // ASCII / BMP text only.
  FileBuilder& Str(const std::wstring& text) {
    m_bytes.push_back(static_cast<uint8_t>(text.size()));
    m_bytes.push_back(static_cast<uint8_t>(text.size() >> 8));
    for (wchar_t c : text) {
      m_bytes.push_back(static_cast<uint8_t>(c));
      m_bytes.push_back(static_cast<uint8_t>(static_cast<uint32_t>(c) >> 8));
    }
    return *this;
  }
  // Signature, version and the fixed fields with simple values.
  FileBuilder& Header(uint32_t version, uint32_t value_count) {
    return Raw("Tavelo")
        .U32(version)
        .Str(L"desc")
        .Str(L"public")
        .U32(1161)
        .Bool(1)
        .Bool(1)
        .Str(L"trap")
        .U32(162)
        .Bool(0)
        .U32(0x7F000001)
        .U32(value_count);
  }
  FileBuilder& Value(const std::wstring& oid, uint32_t type, const std::wstring& value) {
    return Str(oid).U32(type).Str(value);
  }
  const std::vector<uint8_t>& bytes() const { return m_bytes; }
  void WriteTo(const std::string& path) const {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(m_bytes.data()), static_cast<std::streamsize>(m_bytes.size()));
  }

 private:
  std::vector<uint8_t> m_bytes;
};

}  // namespace simfile
