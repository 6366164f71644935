#include "simulator/SimulatorFile.h"

#include "app/ShowMessage.h"
#include "asn1/Asn1Type.h"
#include "quillog/Quillog.h"
#include "simulator/SimulatorEntry.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t kFlushSize = 64 * 1024;
constexpr size_t kReadChunk = 64 * 1024;

std::string ToPath(const std::wstring& path) { return quillog::WideToUtf8(path); }

// Wide text (one code point per character) to UTF-16 code units. A code
// point above U+FFFF becomes a surrogate pair; lone surrogate units are kept
// as they are so that a text read from a file is written back unchanged.
void AppendUtf16(const std::wstring& text, std::vector<uint16_t>* units) {
  for (wchar_t wc : text) {
    uint32_t c = static_cast<uint32_t>(wc);
    if (c > 0x10FFFF) c = 0xFFFD;
    if (c <= 0xFFFF) {
      units->push_back(static_cast<uint16_t>(c));
      continue;
    }
    c -= 0x10000;
    units->push_back(static_cast<uint16_t>(0xD800 + (c >> 10)));
    units->push_back(static_cast<uint16_t>(0xDC00 + (c & 0x3FF)));
  }
}

std::wstring FromUtf16(const uint16_t* units, size_t count) {
  std::wstring text;
  text.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    uint32_t c = units[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < count && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    }
    text.push_back(static_cast<wchar_t>(c));
  }
  return text;
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace

CSimulatorFile::~CSimulatorFile() { Close(); }

size_t CSimulatorFile::Utf16Length(const std::wstring& text) {
  size_t units = 0;
  for (wchar_t wc : text) {
    uint32_t c = static_cast<uint32_t>(wc);
    units += (c > 0xFFFF && c <= 0x10FFFF) ? 2 : 1;
  }
  return units;
}

bool CSimulatorFile::OpenRead(const std::wstring& path) {
  Close();
  // Non-blocking so that a FIFO at the path cannot hang the open; only
  // regular files are read.
  int fd = ::open(ToPath(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return false;
  }
  m_fd = fd;
  m_path = path;
  m_writing = false;
  m_buffer.clear();
  m_read_pos = 0;
  return true;
}

bool CSimulatorFile::OpenWrite(const std::wstring& path) {
  Close();
  std::string target = ToPath(path);
  // A read-only simulator (no owner write bit) is not replaced; an existing
  // one keeps its permissions.
  mode_t mask = ::umask(0);
  ::umask(mask);
  mode_t mode = 0666 & ~mask;
  struct stat existing {};
  if (::stat(target.c_str(), &existing) == 0) {
    if (!S_ISREG(existing.st_mode) || (existing.st_mode & S_IWUSR) == 0) return false;
    mode = existing.st_mode & 07777;
  }
  size_t slash = target.find_last_of('/');
  std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  std::string temp = FolderOf(target) + "/." + base + ".XXXXXX";
  std::vector<char> name(temp.begin(), temp.end());
  name.push_back('\0');
  int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) return false;
  // mkostemp creates the file for the owner only.
  ::fchmod(fd, mode);
  m_fd = fd;
  m_path = path;
  m_writing = true;
  m_temp_path = name.data();
  m_buffer.clear();
  return true;
}

bool CSimulatorFile::_flush() {
  size_t done = 0;
  while (done < m_buffer.size()) {
    ssize_t n = ::write(m_fd, m_buffer.data() + done, m_buffer.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      m_buffer.clear();
      return false;
    }
    done += static_cast<size_t>(n);
  }
  m_buffer.clear();
  return true;
}

bool CSimulatorFile::Commit() {
  if (!IsOpen()) return false;
  if (!m_writing) {
    Close();
    return true;
  }
  bool ok = _flush() && ::fsync(m_fd) == 0;
  ok = (::close(m_fd) == 0) && ok;
  m_fd = -1;
  if (ok) ok = ::rename(m_temp_path.c_str(), ToPath(m_path).c_str()) == 0;
  if (!ok) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Error while writing data into the file");
    ::unlink(m_temp_path.c_str());
  } else {
    // Make the rename itself durable.
    int dir = ::open(FolderOf(ToPath(m_path)).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
      ::fsync(dir);
      ::close(dir);
    }
  }
  m_temp_path.clear();
  Close();
  return ok;
}

void CSimulatorFile::Close() {
  if (m_fd >= 0) ::close(m_fd);
  if (m_writing && !m_temp_path.empty()) ::unlink(m_temp_path.c_str());
  m_fd = -1;
  m_path.clear();
  m_version = 0;
  m_writing = false;
  m_temp_path.clear();
  m_buffer.clear();
  m_buffer.shrink_to_fit();
  m_read_pos = 0;
}

bool CSimulatorFile::_write(const void* data, size_t length) {
  if (!IsOpen() || !m_writing) return false;
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  m_buffer.insert(m_buffer.end(), bytes, bytes + length);
  if (m_buffer.size() >= kFlushSize && !_flush()) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Error while writing data into the file");
    return false;
  }
  return true;
}

bool CSimulatorFile::_read(void* data, size_t length) {
  if (!IsOpen() || m_writing) return false;
  uint8_t* out = static_cast<uint8_t*>(data);
  while (length > 0) {
    if (m_read_pos == m_buffer.size()) {
      m_buffer.resize(kReadChunk);
      m_read_pos = 0;
      ssize_t n;
      do {
        n = ::read(m_fd, m_buffer.data(), kReadChunk);
      } while (n < 0 && errno == EINTR);
      if (n <= 0) {
        m_buffer.clear();
        QuillogW(QUILLOG_ERROR, QLF_NONE, L"Error while reading data from the file");
        return false;
      }
      m_buffer.resize(static_cast<size_t>(n));
    }
    size_t take = std::min(length, m_buffer.size() - m_read_pos);
    std::memcpy(out, m_buffer.data() + m_read_pos, take);
    m_read_pos += take;
    out += take;
    length -= take;
  }
  return true;
}

bool CSimulatorFile::WriteSignature(uint32_t version) {
  if (!_write(kSignature, sizeof(kSignature))) return false;
  if (!WriteU32(version)) return false;
  m_version = version;
  return true;
}

bool CSimulatorFile::ReadSignature(bool* matches) {
  char signature[sizeof(kSignature)];
  if (!_read(signature, sizeof(signature))) return false;
  *matches = std::memcmp(signature, kSignature, sizeof(kSignature)) == 0;
  return true;
}

bool CSimulatorFile::ReadVersion() { return ReadU32(&m_version); }

bool CSimulatorFile::WriteU32(uint32_t value) {
  uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
                      static_cast<uint8_t>(value >> 24)};
  return _write(bytes, sizeof(bytes));
}

bool CSimulatorFile::ReadU32(uint32_t* value) {
  uint8_t bytes[4];
  if (!_read(bytes, sizeof(bytes))) return false;
  *value = static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
           (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
  return true;
}

bool CSimulatorFile::WriteBool(bool value) {
  uint8_t byte = value ? 1 : 0;
  return _write(&byte, 1);
}

bool CSimulatorFile::ReadBool(bool* value) {
  uint8_t byte = 0;
  if (!_read(&byte, 1)) return false;
  *value = byte != 0;
  return true;
}

bool CSimulatorFile::WriteString(const std::wstring& text) {
  if (!IsOpen()) return false;
  std::vector<uint16_t> units;
  AppendUtf16(text, &units);
  if (units.size() > kMaxStringUnits) {
    QuillogW(QUILLOG_ERROR, QLF_NONE,
             L"CSimulatorFile::WriteString() : a text of %u UTF-16 code units is longer than the %u a simulator file "
             L"can hold",
             static_cast<uint32_t>(units.size()), static_cast<uint32_t>(kMaxStringUnits));
    return false;
  }
  std::vector<uint8_t> bytes;
  bytes.reserve(2 + units.size() * 2);
  bytes.push_back(static_cast<uint8_t>(units.size()));
  bytes.push_back(static_cast<uint8_t>(units.size() >> 8));
  for (uint16_t u : units) {
    bytes.push_back(static_cast<uint8_t>(u));
    bytes.push_back(static_cast<uint8_t>(u >> 8));
  }
  return _write(bytes.data(), bytes.size());
}

bool CSimulatorFile::ReadString(std::wstring* text) {
  uint8_t count_bytes[2];
  if (!_read(count_bytes, sizeof(count_bytes))) return false;
  size_t count = static_cast<size_t>(count_bytes[0]) | (static_cast<size_t>(count_bytes[1]) << 8);
  std::vector<uint8_t> bytes(count * 2);
  if (count > 0 && !_read(bytes.data(), bytes.size())) return false;
  std::vector<uint16_t> units(count);
  for (size_t i = 0; i < count; ++i) {
    units[i] = static_cast<uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  }
  *text = FromUtf16(units.data(), units.size());
  return true;
}

namespace {

bool StringsFit(const CSimulatorEntry& simulator, const std::vector<CSimulatorValue>& values) {
  auto fits = [](const std::wstring& text) {
    return CSimulatorFile::Utf16Length(text) <= CSimulatorFile::kMaxStringUnits;
  };
  if (!fits(simulator.description) || !fits(simulator.recv_community) || !fits(simulator.send_community)) return false;
  for (const CSimulatorValue& value : values) {
    if (!fits(value.oid.GetText()) || !fits(value.value)) return false;
  }
  return true;
}

bool WriteRecord(CSimulatorFile* file, const CSimulatorEntry& simulator, const std::vector<CSimulatorValue>& values) {
  if (!file->WriteSignature()) return false;
  if (!file->WriteString(simulator.description) || !file->WriteString(simulator.recv_community)) return false;
  if (!file->WriteU32(simulator.recv_port) || !file->WriteBool(simulator.recv_version1) ||
      !file->WriteBool(simulator.recv_version2c)) {
    return false;
  }
  if (!file->WriteString(simulator.send_community) || !file->WriteU32(simulator.send_port) ||
      !file->WriteBool(simulator.send_to_last_requester) || !file->WriteU32(simulator.send_address)) {
    return false;
  }
  if (!file->WriteU32(static_cast<uint32_t>(values.size()))) return false;
  for (const CSimulatorValue& value : values) {
    if (!file->WriteString(value.oid.GetText()) || !file->WriteU32(value.type) || !file->WriteString(value.value)) {
      return false;
    }
  }
  return true;
}

bool ReadRecord(CSimulatorFile* file, CSimulatorEntry* simulator) {
  CSimulatorEntry& s = *simulator;
  if (!file->ReadString(&s.description) || !file->ReadString(&s.recv_community)) return false;
  if (!file->ReadU32(&s.recv_port) || !file->ReadBool(&s.recv_version1) || !file->ReadBool(&s.recv_version2c)) {
    return false;
  }
  if (!file->ReadString(&s.send_community) || !file->ReadU32(&s.send_port) ||
      !file->ReadBool(&s.send_to_last_requester) || !file->ReadU32(&s.send_address)) {
    return false;
  }
  uint32_t count = 0;
  if (!file->ReadU32(&count)) return false;
  for (uint32_t i = 0; i < count; ++i) {
    std::wstring oid;
    uint32_t type = 0;
    std::wstring value;
    if (!file->ReadString(&oid) || !file->ReadU32(&type) || !file->ReadString(&value)) return false;
    std::wstring type_name = GetTypeName(static_cast<uint8_t>(type & 0xFF));
    // Refused values are logged and skipped; the value limit does not apply
    // to what a file already holds, so that a save never drops a value.
    s.AddStoredValue(oid, type_name, value);
  }
  return true;
}

}  // namespace

bool CSimulatorFile::Save(CSimulatorEntry* simulator) {
  if (simulator == nullptr) return false;
  QuillogW(QUILLOG_INFO, QLF_NONE, L"Saving Simulator file %s", simulator->path);
  std::vector<CSimulatorValue> values;
  {
    simulator->SortValues();
    auto lock = simulator->LockValues();
    values = simulator->values;
  }
  if (!StringsFit(*simulator, values)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE,
             L"CSimulatorFile::Save() : a text of the simulator is longer than %u UTF-16 code units, the file %s is "
             L"not written",
             static_cast<uint32_t>(kMaxStringUnits), simulator->path);
    ShowMessageBox(L"An error occured while writing the simulator", L"Warning", SHOW_MESSAGE_WARNING);
    return false;
  }
  CSimulatorFile file;
  if (!file.OpenWrite(simulator->path)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Error while opening the file %s with write access", simulator->path);
    ShowMessageBox(L"An error occured while writing the simulator", L"Warning", SHOW_MESSAGE_WARNING);
    return false;
  }
  if (!WriteRecord(&file, *simulator, values)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Error while writing data into the file");
    file.Close();
    return false;
  }
  return file.Commit();
}

bool CSimulatorFile::Load(CSimulatorEntry* simulator) {
  if (simulator == nullptr) return false;
  QuillogW(QUILLOG_INFO, QLF_NONE, L"Loading simulator file %s", simulator->path);
  struct stat info {};
  if (::stat(ToPath(simulator->path).c_str(), &info) != 0) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"The file %s does not exist", simulator->path);
    return false;
  }
  CSimulatorFile file;
  if (S_ISDIR(info.st_mode) || !file.OpenRead(simulator->path)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Error while opening the file %s with read access", simulator->path);
    ShowMessageBox(L"An error occured while reading the simulator", L"Warning", SHOW_MESSAGE_WARNING);
    return false;
  }
  bool matches = false;
  if (!file.ReadSignature(&matches)) return false;
  if (!matches) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"%s is not a simulator file (signature does not match", simulator->path);
    return false;
  }
  if (!file.ReadVersion()) return false;
  {
    auto lock = simulator->LockValues();
    simulator->values.clear();
  }
  if (!ReadRecord(&file, simulator)) return false;
  file.Close();
  // A hand-made file may list its values in any order; lookups and walks
  // rely on OID order.
  simulator->SortValues();
  const size_t count = simulator->GetValueCount();
  if (count > simulator->max_values) {
    QuillogW(QUILLOG_WARNING, QLF_NONE,
             L"The simulator file %s holds %u values, more than the %u a simulator may hold: "
             L"all are kept, none can be added",
             simulator->path, static_cast<uint32_t>(count), simulator->max_values);
  }
  simulator->loaded = true;
  return true;
}
