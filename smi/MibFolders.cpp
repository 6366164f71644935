#include "smi/MibFolders.h"

#include "app/Folders.h"
#include "app/Settings.h"
#include "quillog/Quillog.h"

#include <algorithm>
#include <dirent.h>
#include <mutex>
#include <sys/stat.h>

namespace {

std::mutex g_search_mutex;
std::vector<std::wstring> g_search_folders;

std::wstring UnderProduct(const std::wstring& base) {
  return JoinPath(JoinPath(base, ReadSettingString(SETTING_PRODUCT_NAME)), ReadSettingString(SETTING_MIB_FOLDER_NAME));
}

bool PathExists(const std::wstring& path) {
  struct stat st;
  return stat(quillog::WideToUtf8(path).c_str(), &st) == 0;
}

}  // namespace

std::wstring LegacyMibsFolder() {
  std::wstring folder = JoinPath(OwnDataPath(), ReadSettingString(SETTING_MIB_FOLDER_NAME));
  QuillogW(QUILLOG_INFO, QLF_PROGRAM_GUI, L"Legacy Mibs folder is %s", folder);
  return folder;
}

std::wstring CommonMibsFolder() {
  std::wstring folder = UnderProduct(ProgramDataPath());
  QuillogW(QUILLOG_INFO, QLF_PROGRAM_GUI, L"Common MIBs folder is %s", folder);
  return folder;
}

std::wstring PersonalMibsFolder() {
  std::wstring folder = UnderProduct(UserDataPath());
  QuillogW(QUILLOG_INFO, QLF_PROGRAM_GUI, L"Personal Mibs folder is %s", folder);
  return folder;
}

void SetMibSearchFolders(const std::vector<std::wstring>& folders) {
  std::lock_guard<std::mutex> lock(g_search_mutex);
  g_search_folders = folders;
}

std::vector<std::wstring> MibSearchFolders() {
  {
    std::lock_guard<std::mutex> lock(g_search_mutex);
    if (!g_search_folders.empty()) return g_search_folders;
  }
  return {PersonalMibsFolder(), CommonMibsFolder(), LegacyMibsFolder()};
}

bool ModuleFileExists(const std::wstring& module_name) {
  if (module_name.empty()) return false;
  const std::wstring extension = ReadSettingString(SETTING_MIB_EXTENSION);
  for (const std::wstring& folder : MibSearchFolders()) {
    if (PathExists(JoinPath(folder, module_name + extension))) return true;
  }
  return false;
}

std::wstring ModuleAlias(const std::wstring& module_name) {
  static const struct {
    const wchar_t* old_name;
    const wchar_t* new_name;
  } kAliases[] = {
      {L"RFC1065-SMI", L"RFC1155-SMI"},
      {L"RFC1066-MIB", L"RFC1156-MIB"},
      {L"RFC1156-MIB", L"RFC1158-MIB"},
      {L"RFC1158-MIB", L"RFC1213-MIB"},
      {L"RFC-1213", L"RFC1213-MIB"},
      {L"RFC1212", L"RFC-1212"},
      {L"RFC1215", L"RFC-1215"},
      {L"RFC1231-MIB", L"TOKENRING-MIB"},
      {L"RFC1271-MIB", L"RMON-MIB"},
      {L"RFC1286-MIB", L"BRIDGE-MIB"},
      {L"RFC1315-MIB", L"FRAME-RELAY-DTE-MIB"},
      {L"RFC1316-MIB", L"CHARACTER-MIB"},
      {L"RFC1406-MIB", L"DS1-MIB"},
  };
  for (const auto& alias : kAliases) {
    if (module_name == alias.old_name) return alias.new_name;
  }
  return std::wstring();
}

std::wstring FindModuleFile(const std::wstring& module_name) {
  if (module_name.empty()) return std::wstring();
  const std::wstring extension = ReadSettingString(SETTING_MIB_EXTENSION);
  for (const std::wstring& folder : MibSearchFolders()) {
    std::wstring path = JoinPath(folder, module_name + extension);
    if (PathExists(path)) return path;
  }
  return std::wstring();
}

std::wstring LocateModuleFile(const std::wstring& module_name) {
  std::wstring path = FindModuleFile(module_name);
  if (!path.empty()) return path;
  QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to locate a file for the MIB module %s", module_name);
  return std::wstring();
}

std::vector<std::wstring> ListFolderModules(const std::wstring& folder) {
  std::vector<std::wstring> modules;
  const std::string native = quillog::WideToUtf8(folder);
  DIR* dir = opendir(native.c_str());
  if (!dir) return modules;
  const std::string extension = quillog::WideToUtf8(ReadSettingString(SETTING_MIB_EXTENSION));
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.size() <= extension.size() ||
        name.compare(name.size() - extension.size(), extension.size(), extension) != 0)
      continue;
    struct stat st;
    if (stat((native + "/" + name).c_str(), &st) != 0 || S_ISDIR(st.st_mode)) continue;
    const std::string module = name.substr(0, name.find('.'));
    if (!module.empty()) modules.push_back(quillog::Utf8ToWide(module));
  }
  closedir(dir);
  std::sort(modules.begin(), modules.end());
  return modules;
}
