#include "kit/ZubFileRead.h"

#include "kit/ZubPointer.h"
#include "quillog/Quillog.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const uint8_t kEmpty[1] = {0};

class CFd {
 public:
  explicit CFd(int fd) : m_fd(fd) {}
  ~CFd() {
    if (m_fd >= 0) ::close(m_fd);
  }
  CFd(const CFd&) = delete;
  CFd& operator=(const CFd&) = delete;
  int Get() const { return m_fd; }

 private:
  int m_fd;
};

}  // namespace

CZubFileRead::~CZubFileRead() {
  if (m_open) Close();
}

bool CZubFileRead::Open(const wchar_t* path) {
  if (IsNullOrEmpty(path, false)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Bad parameter in CZubFileRead::Open()");
    return false;
  }
  if (m_open) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CZubFileRead::Open() : A file is already open");
    return false;
  }
  const std::string narrow = quillog::WideToUtf8(path);
  // Non-blocking, so that a named pipe given as the path cannot hold the open.
  CFd fd(::open(narrow.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.Get() < 0) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CZubFileRead::Open() : Unable to open the file %s (%S)", path,
             std::strerror(errno));
    return false;
  }
  return _map(fd.Get(), path);
}

bool CZubFileRead::_map(int fd, const std::wstring& path) {
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CZubFileRead::Open() : %s is not a regular file", path);
    return false;
  }
  if (info.st_size == 0) {
    m_data = kEmpty;
    m_size = 0;
    m_mapping = nullptr;
    m_open = true;
    return true;
  }
  const size_t size = static_cast<size_t>(info.st_size);
  void* mapping = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  if (mapping == MAP_FAILED) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CZubFileRead::Open() : Unable to map the file %s (%S)", path,
             std::strerror(errno));
    return false;
  }
  m_mapping = mapping;
  m_data = static_cast<const uint8_t*>(mapping);
  m_size = size;
  m_open = true;
  return true;
}

bool CZubFileRead::Close() {
  if (!m_open) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"CZubFileRead::Close() : No file is open");
    return false;
  }
  bool ok = true;
  if (m_mapping != nullptr && ::munmap(m_mapping, m_size) != 0) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CZubFileRead::Close() : Unable to unmap the file");
    ok = false;
  }
  m_open = false;
  m_mapping = nullptr;
  m_data = nullptr;
  m_size = 0;
  return ok;
}
