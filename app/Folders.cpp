#include "app/Folders.h"

#include "quillog/Quillog.h"

#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string Home() {
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') return home;
  struct passwd* pw = getpwuid(getuid());
  if (pw && pw->pw_dir) return pw->pw_dir;
  return std::string();
}

// An XDG variable when it holds an absolute path, else home + fallback.
std::string XdgFolder(const char* variable, const char* fallback) {
  const char* value = std::getenv(variable);
  if (value && value[0] == '/') return value;
  std::string home = Home();
  if (home.empty()) return std::string();
  return home + fallback;
}

bool MakeFolders(const std::string& path) {
  size_t pos = 0;
  while (pos != std::string::npos) {
    pos = path.find('/', pos + 1);
    std::string partial = path.substr(0, pos);
    if (!partial.empty() && mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::wstring ExecutablePath() {
  std::string buffer(4096, '\0');
  ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (n <= 0 || static_cast<size_t>(n) >= buffer.size()) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to get the file name of the executable");
    return std::wstring();
  }
  buffer.resize(static_cast<size_t>(n));
  std::wstring path = quillog::Utf8ToWide(buffer);
  QuillogW(QUILLOG_INFO, QLF_PROGRAM_GUI, L"Executable filename is %s", path);
  return path;
}

std::wstring InstallPath() {
  std::wstring exe = ExecutablePath();
  size_t slash = exe.rfind(L'/');
  std::wstring path = slash == std::wstring::npos ? std::wstring() : exe.substr(0, slash);
  if (slash == 0) path = L"/";
  QuillogW(QUILLOG_INFO, QLF_PROGRAM_GUI, L"Install path is %s", path);
  return path;
}

std::wstring OwnDataPathOf(const std::wstring& install_path) {
  std::wstring path = install_path;
  while (path.size() > 1 && path.back() == L'/') path.pop_back();
  const size_t slash = path.rfind(L'/');
  if (slash == std::wstring::npos || path.compare(slash + 1, std::wstring::npos, L"bin") != 0) return path;
  return JoinPath(slash == 0 ? L"/" : path.substr(0, slash), L"share/tavelo");
}

std::wstring OwnDataPath() {
  std::wstring path = OwnDataPathOf(InstallPath());
  QuillogW(QUILLOG_INFO, QLF_PROGRAM_GUI, L"Program data path is %s", path);
  return path;
}

std::wstring ProgramDataPath() {
  std::string path;
  const char* dirs = std::getenv("XDG_DATA_DIRS");
  if (dirs) {
    std::string list = dirs;
    size_t start = 0;
    while (start <= list.size() && path.empty()) {
      size_t colon = list.find(':', start);
      if (colon == std::string::npos) colon = list.size();
      std::string entry = list.substr(start, colon - start);
      if (!entry.empty() && entry[0] == '/') path = entry;
      start = colon + 1;
    }
  }
  if (path.empty()) path = "/usr/local/share";
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  std::wstring wide = quillog::Utf8ToWide(path);
  QuillogW(QUILLOG_INFO, QLF_PROGRAM_GUI, L"ProgramData path is %s", wide);
  return wide;
}

std::wstring UserDataPath() {
  std::string path = XdgFolder("XDG_DATA_HOME", "/.local/share");
  if (path.empty()) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to expand the string '%s", L"$XDG_DATA_HOME");
    return std::wstring();
  }
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  std::wstring wide = quillog::Utf8ToWide(path);
  QuillogW(QUILLOG_INFO, QLF_PROGRAM_GUI, L"UserData path is %s", wide);
  return wide;
}

std::wstring LogFolderPath() {
  std::string base = XdgFolder("XDG_STATE_HOME", "/.local/state");
  if (base.empty()) return std::wstring();
  std::string path = base + "/tavelo/log";
  if (!MakeFolders(path)) return std::wstring();
  return quillog::Utf8ToWide(path);
}

std::wstring JoinPath(const std::wstring& left, const std::wstring& right) {
  if (left.empty()) return right;
  if (right.empty()) return left;
  bool l = left.back() == L'/';
  bool r = right.front() == L'/';
  if (l && r) return left + right.substr(1);
  if (l || r) return left + right;
  return left + L"/" + right;
}
