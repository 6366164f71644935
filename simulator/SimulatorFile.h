// Simulator files (".tav"): the file handle with its field primitives, and
// Save/Load of a whole simulator record.
//
// Layout (little-endian, no padding): "Tavelo", u32 version, description,
// receive community, receive port, accept v1, accept v2c, send community,
// send port, send to last requester, send address, u32 value count, then per
// value: OID text, u32 type, value text. A string is a u16 count of UTF-16
// code units followed by the units (UTF-16LE).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CSimulatorEntry;

class CSimulatorFile {
 public:
  static constexpr char kSignature[6] = {'T', 'a', 'v', 'e', 'l', 'o'};
  static constexpr uint32_t kVersion = 1;
  static constexpr size_t kMaxStringUnits = 0xFFFF;

  CSimulatorFile() = default;
  ~CSimulatorFile();
  CSimulatorFile(const CSimulatorFile&) = delete;
  CSimulatorFile& operator=(const CSimulatorFile&) = delete;

  // Reading: opens the file read-only.
  bool OpenRead(const std::wstring& path);
  // Writing: opens a fresh temporary file beside `path`; Commit() makes it
  // the file at `path` (flush, sync, rename). Closing without Commit()
  // removes the temporary file and leaves any old file as it was.
  bool OpenWrite(const std::wstring& path);
  bool Commit();
  void Close();

  bool IsOpen() const { return m_fd >= 0; }
  int GetDescriptor() const { return m_fd; }
  const std::wstring& GetPath() const { return m_path; }
  uint32_t GetVersion() const { return m_version; }

  // Signature with the version. ReadSignature fails on a short read; a
  // signature that differs is reported through *matches.
  bool WriteSignature(uint32_t version = kVersion);
  bool ReadSignature(bool* matches);
  bool ReadVersion();

  bool WriteU32(uint32_t value);
  bool ReadU32(uint32_t* value);
  bool WriteBool(bool value);
  bool ReadBool(bool* value);
  // A text of more than 65,535 UTF-16 code units is refused.
  bool WriteString(const std::wstring& text);
  bool ReadString(std::wstring* text);

  // Whole records. Save sorts the values by OID and replaces the file
  // atomically; Load fills a record made by the library scan.
  static bool Save(CSimulatorEntry* simulator);
  static bool Load(CSimulatorEntry* simulator);

  // Number of UTF-16 code units of a wide text.
  static size_t Utf16Length(const std::wstring& text);

 private:
  bool _write(const void* data, size_t length);
  bool _read(void* data, size_t length);
  bool _flush();

  int m_fd = -1;
  std::wstring m_path;
  uint32_t m_version = 0;
  bool m_writing = false;
  std::string m_temp_path;        // UTF-8 path of the temporary file while writing
  std::vector<uint8_t> m_buffer;  // pending output, or read-ahead input
  size_t m_read_pos = 0;
};
