#include "setrig/AtomicFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace setrig {

namespace {

std::string Folder(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

bool Fail(std::string* error, const std::string& what) {
  if (error != nullptr) *error = what + ": " + std::strerror(errno);
  return false;
}

// Owner and group to give the new file, or -1 to keep the writer's.
struct Owner {
  uid_t uid = static_cast<uid_t>(-1);
  gid_t gid = static_cast<gid_t>(-1);
};

bool Write(const std::string& path, std::string_view bytes, mode_t mode, Owner owner, std::string* error) {
  std::string temp = path + ".XXXXXX";
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return Fail(error, "cannot create a temporary file beside " + path);
  // Only a privileged writer may give the file away; otherwise it stays ours.
  if (owner.uid != static_cast<uid_t>(-1)) (void)!::fchown(fd, owner.uid, owner.gid);
  bool ok = ::fchmod(fd, mode) == 0 && WriteAll(fd, bytes) && ::fsync(fd) == 0;
  int saved = ok ? 0 : errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    errno = saved;
    return Fail(error, "cannot write " + temp);
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    const int rename_errno = errno;
    ::unlink(temp.c_str());
    errno = rename_errno;
    return Fail(error, "cannot replace " + path);
  }
  // Makes the rename itself durable.
  const int dir = ::open(Folder(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view bytes, mode_t mode, std::string* error) {
  return Write(path, bytes, mode, Owner{}, error);
}

bool ReplaceFileAtomically(const std::string& path, std::string_view bytes, std::string* error) {
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return Fail(error, "cannot find " + path);
  const std::string target = resolved;
  std::free(resolved);
  struct stat info {};
  if (::stat(target.c_str(), &info) != 0) return Fail(error, "cannot read the attributes of " + target);
  return Write(target, bytes, info.st_mode & 07777, Owner{info.st_uid, info.st_gid}, error);
}

bool ReadWholeFile(const std::string& path, std::string* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream out;
  out << in.rdbuf();
  if (in.bad()) return false;
  *bytes = out.str();
  return true;
}

}  // namespace setrig
