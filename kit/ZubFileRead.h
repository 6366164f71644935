// A whole file mapped into memory, read-only. As with any mapped file, a
// change written into the file by another program while it is mapped may
// show through, and cutting the file shorter then can fault on access; a
// file replaced by rename keeps its old bytes here.
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
