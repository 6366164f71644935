// Static file operations on wide paths (converted to UTF-8 for the system).
// A read-only file is one without the owner's write bit.
#pragma once

#include <string>

class CZubFile {
 public:
  // Clears a read-only file's attribute first, then deletes it.
  static bool DeleteFile(const wchar_t* path);
  // Never replaces an existing target.
  static bool RenameFile(const wchar_t* from, const wchar_t* to);
  static bool ExistFile(const wchar_t* path);
  static bool IsDirectory(const wchar_t* path);
  // One level only.
  static bool CreateDirectory(const wchar_t* path);
  // Removes the tree; with delete_files false, files are left alone (and the
  // call then succeeds only for a tree without files). Symbolic links are
  // treated as files, never followed.
  static bool DeleteDirectory(const wchar_t* path, bool delete_files);

  static bool DeleteFile(const std::wstring& path) { return DeleteFile(path.c_str()); }
  static bool RenameFile(const std::wstring& from, const std::wstring& to) {
    return RenameFile(from.c_str(), to.c_str());
  }
  static bool ExistFile(const std::wstring& path) { return ExistFile(path.c_str()); }
  static bool IsDirectory(const std::wstring& path) { return IsDirectory(path.c_str()); }
  static bool CreateDirectory(const std::wstring& path) { return CreateDirectory(path.c_str()); }
  static bool DeleteDirectory(const std::wstring& path, bool delete_files) {
    return DeleteDirectory(path.c_str(), delete_files);
  }
};
