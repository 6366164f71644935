// A whole file mapped into memory, read-only. The mapping is private: a
// file changed by another program after Open keeps its old bytes here, but
// one cut shorter by another program while mapped can fault on access, as
// with any mapped file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class CZubFileRead {
 public:
  CZubFileRead() = default;
  ~CZubFileRead();
  CZubFileRead(const CZubFileRead&) = delete;
  CZubFileRead& operator=(const CZubFileRead&) = delete;

  // Maps a regular file (an empty one gives size 0). Refused while a file
  // is open.
  bool Open(const wchar_t* path);
  bool Open(const std::wstring& path) { return Open(path.c_str()); }
  // Unmaps; false when nothing was open.
  bool Close();

  bool IsOpen() const { return m_open; }
  const uint8_t* GetData() const { return m_data; }
  size_t GetSize() const { return m_size; }
  std::string_view GetView() const { return {reinterpret_cast<const char*>(m_data), m_size}; }

 private:
  bool _map(int fd, const std::wstring& path);

  bool m_open = false;
  const uint8_t* m_data = nullptr;
  size_t m_size = 0;
  void* m_mapping = nullptr;  // null for an empty file
};
