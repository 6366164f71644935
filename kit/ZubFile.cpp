#include "kit/ZubFile.h"

#include "kit/ZubPointer.h"
#include "quillog/Quillog.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <initializer_list>
#include <memory>
#include <stdio.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string ToPath(const wchar_t* path) { return quillog::WideToUtf8(path); }

bool BadParameters(std::initializer_list<const wchar_t*> paths, const wchar_t* warning) {
  for (const wchar_t* path : paths) {
    if (IsNullOrEmpty(path)) {
      QuillogW(QUILLOG_WARNING, QLF_NONE, warning);
      return true;
    }
  }
  return false;
}

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};
using DirPtr = std::unique_ptr<DIR, DirCloser>;

// Moves without ever replacing an existing target.
bool RenameNoReplace(const std::string& from, const std::string& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // File systems without RENAME_NOREPLACE.
  struct stat st;
  if (lstat(to.c_str(), &st) == 0) return false;
  return rename(from.c_str(), to.c_str()) == 0;
}

// Deletes one file (`display` names it in messages).
bool DeleteFileAt(const std::string& file, const std::wstring& display) {
  struct stat st;
  if (lstat(file.c_str(), &st) == 0 && !S_ISLNK(st.st_mode) && (st.st_mode & S_IWUSR) == 0) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"The file %s has read only attribute, removing it before deleting", display);
    if (chmod(file.c_str(), (st.st_mode | S_IWUSR) & 07777) != 0) {
      QuillogW(QUILLOG_ERROR, QLF_NONE, L"Error while removing the ReadOnly attribute of the file %s", display);
    }
  }
  if (lstat(file.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return false;  // never a directory
  return unlink(file.c_str()) == 0;
}

// Removes a tree; names are kept as bytes, so any file name works.
bool DeleteTree(const std::string& dir_path, bool delete_files) {
  DirPtr dir(opendir(dir_path.c_str()));
  if (!dir) return false;
  // Entries come in no particular order here: only "." and ".." are passed over.
  while (struct dirent* entry = readdir(dir.get())) {
    const char* name = entry->d_name;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
    const std::string child = dir_path + "/" + name;
    struct stat st;
    const bool is_dir = lstat(child.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    if (is_dir) {
      if (!DeleteTree(child, delete_files)) return false;
    } else if (delete_files) {
      if (!DeleteFileAt(child, quillog::Utf8ToWide(child))) return false;
    }
  }
  dir.reset();
  return rmdir(dir_path.c_str()) == 0;
}

}  // namespace

bool CZubFile::DeleteFile(const wchar_t* path) {
  if (BadParameters({path}, L"Bad parameter in CZubFile::DeleteFile()")) return false;
  return DeleteFileAt(ToPath(path), path);
}

bool CZubFile::RenameFile(const wchar_t* from, const wchar_t* to) {
  if (BadParameters({from, to}, L"Bad parameter in CZubFile::RenameFile()")) return false;
  return RenameNoReplace(ToPath(from), ToPath(to));
}

bool CZubFile::ExistFile(const wchar_t* path) {
  if (BadParameters({path}, L"Bad parameter in CZubFile::ExistFile()")) return false;
  struct stat st;
  return stat(ToPath(path).c_str(), &st) == 0;
}

bool CZubFile::IsDirectory(const wchar_t* path) {
  if (BadParameters({path}, L"Bad parameter in CZubFile::IsDirectory()")) return false;
  struct stat st;
  return stat(ToPath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CZubFile::CreateDirectory(const wchar_t* path) {
  if (BadParameters({path}, L"Bad parameter in CZubFile::CreateDirectory()")) return false;
  if (mkdir(ToPath(path).c_str(), 0777) == 0) return true;
  QuillogW(QUILLOG_ERROR, QLF_NONE, L"Fail to create the directory '%s'", path);
  return false;
}

bool CZubFile::DeleteDirectory(const wchar_t* path, bool delete_files) {
  if (BadParameters({path}, L"Bad parameter in CZubFile::DeleteDirectory()")) return false;
  return DeleteTree(ToPath(path), delete_files);
}
