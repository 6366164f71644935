#include "simulator/SimulatorLibrary.h"

#include "app/Folders.h"
#include "app/MessageCenter.h"
#include "app/Settings.h"
#include "app/ShowMessage.h"
#include "kit/ZubFile.h"
#include "quillog/Quillog.h"
#include "simulator/SimulatorFile.h"
#include "simulator/ThreadActionSimuler.h"

#include <dirent.h>
#include <sys/stat.h>

namespace {

constexpr const wchar_t* kSenderName = L"CViewSimulerLeft";
constexpr uint32_t kEngineWaitMs = 5000;

std::wstring Extension() {
  std::wstring ext = ReadSettingString(SETTING_SIMULATOR_EXTENSION);
  return ext.empty() ? L".tav" : ext;
}

std::wstring FolderName() {
  std::wstring name = ReadSettingString(SETTING_SIMULATOR_FOLDER_NAME);
  return name.empty() ? L"Simulators" : name;
}

std::wstring ProductName() {
  std::wstring name = ReadSettingString(SETTING_PRODUCT_NAME);
  return name.empty() ? L"Tavelo" : name;
}

// A name the user typed for a file or folder: one path component.
bool IsPlainName(const std::wstring& name) {
  if (name.empty() || name == L"." || name == L"..") return false;
  return name.find(L'/') == std::wstring::npos && name.find(L'\0') == std::wstring::npos;
}

std::wstring ParentOf(const std::wstring& path) {
  size_t slash = path.find_last_of(L'/');
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

bool EndsWith(const std::wstring& text, const std::wstring& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

enum class EntryType { Other, Directory, File };

// Symbolic links are neither followed nor listed (no loops, no surprises).
EntryType TypeOf(const std::string& folder, const dirent* item) {
  unsigned char type = item->d_type;
  if (type == DT_UNKNOWN) {
    struct stat info {};
    if (::lstat((folder + "/" + item->d_name).c_str(), &info) != 0) return EntryType::Other;
    if (S_ISDIR(info.st_mode)) return EntryType::Directory;
    return S_ISREG(info.st_mode) ? EntryType::File : EntryType::Other;
  }
  if (type == DT_DIR) return EntryType::Directory;
  return type == DT_REG ? EntryType::File : EntryType::Other;
}

// The names in a folder of one type, in the order the file system lists
// them. Hidden names (leading dot) are left out.
bool ListFolder(const std::wstring& folder, EntryType wanted, std::vector<std::wstring>* names) {
  std::string path = quillog::WideToUtf8(folder);
  DirHandle dir(::opendir(path.c_str()));
  if (!dir) return false;
  while (const dirent* item = ::readdir(dir.get())) {
    if (item->d_name[0] == '.') continue;
    if (TypeOf(path, item) != wanted) continue;
    names->push_back(quillog::Utf8ToWide(item->d_name));
  }
  return true;
}

bool IsDirectory(const std::wstring& path) {
  struct stat info {};
  return ::stat(quillog::WideToUtf8(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool Exists(const std::wstring& path) {
  struct stat info {};
  return ::lstat(quillog::WideToUtf8(path).c_str(), &info) == 0;
}

}  // namespace

CSimulatorLibrary::CSimulatorLibrary() : m_engine(std::make_unique<CThreadActionSimuler>()) {
  m_max_simulators = ReadSettingDword(SETTING_MAX_SIMULATORS);
  m_max_values = ReadSettingDword(SETTING_MAX_SIMULATOR_VALUES);
  if (m_max_simulators == 0) m_max_simulators = 5;
  if (m_max_values == 0) m_max_values = CSimulatorEntry::kDefaultMaxValues;
}

CSimulatorLibrary::~CSimulatorLibrary() {
  _stop_engine();
  _clear();
}

std::wstring CSimulatorLibrary::PersonalFolder() {
  std::wstring path = JoinPath(JoinPath(UserDataPath(), ProductName()), FolderName());
  QuillogW(QUILLOG_INFO, QLF_NONE, L"Personal Simulators folder is %s", path);
  return path;
}

std::wstring CSimulatorLibrary::CommonFolder() {
  std::wstring path = JoinPath(JoinPath(ProgramDataPath(), ProductName()), FolderName());
  QuillogW(QUILLOG_INFO, QLF_NONE, L"Common Simulators folder is %s", path);
  return path;
}

std::wstring CSimulatorLibrary::LegacyFolder() {
  std::wstring path = JoinPath(OwnDataPath(), FolderName());
  QuillogW(QUILLOG_INFO, QLF_NONE, L"Legacy Simulators folder is %s", path);
  return path;
}

void CSimulatorLibrary::SetRootFolders(const std::wstring& personal, const std::wstring& common,
                                       const std::wstring& legacy) {
  m_personal_override = personal;
  m_common_override = common;
  m_legacy_override = legacy;
}

std::wstring CSimulatorLibrary::_personal() const {
  return m_personal_override.empty() ? PersonalFolder() : m_personal_override;
}
std::wstring CSimulatorLibrary::_common() const {
  return m_common_override.empty() ? CommonFolder() : m_common_override;
}
std::wstring CSimulatorLibrary::_legacy() const {
  return m_legacy_override.empty() ? LegacyFolder() : m_legacy_override;
}

CSimulatorEntry* CSimulatorLibrary::_new_entry() {
  m_entries.push_back(std::make_unique<CSimulatorEntry>());
  CSimulatorEntry* entry = m_entries.back().get();
  entry->max_values = m_max_values;
  return entry;
}

void CSimulatorLibrary::_clear() {
  m_selected = nullptr;
  m_roots.clear();
  m_entries.clear();
  m_simulator_count = 0;
}

void CSimulatorLibrary::_tell_nothing_selected() {
  SendViewMessage(kSenderName, MSG_VIEW_SIMULATOR, MSG_VIEW_SIMULATOR_SELECT_CHANGE, 0);
}

bool CSimulatorLibrary::BuildLibrary() {
  _tell_nothing_selected();
  // The engine keeps serving the running simulator's record; keep that
  // record alive across the rebuild by carrying its path over.
  std::wstring running_path;
  std::unique_ptr<CSimulatorEntry> running_entry;
  for (auto& entry : m_entries) {
    if (entry->running) {
      running_path = entry->path;
      running_entry = std::move(entry);
      break;
    }
  }
  _clear();
  _scan_root(L"Personal", _personal());
  _scan_root(L"Common", _common());
  _scan_root(L"Legacy", _legacy());
  if (running_entry) {
    // Swap the served record into the rebuilt tree in place of the fresh one.
    for (auto& entry : m_entries) {
      if (entry->IsSimulator() && entry->path == running_path) {
        running_entry->parent = entry->parent;
        for (auto& child : entry->parent->children) {
          if (child == entry.get()) child = running_entry.get();
        }
        entry = std::move(running_entry);
        break;
      }
    }
    if (running_entry) m_retired.push_back(std::move(running_entry));
  }
  return true;
}

void CSimulatorLibrary::_scan_root(const std::wstring& label, const std::wstring& path) {
  if (path.empty() || !IsDirectory(path)) return;
  CSimulatorEntry* root = _new_entry();
  root->kind = CSimulatorEntry::KindFolder;
  root->root = true;
  root->name = label;
  root->path = path;
  m_roots.push_back(root);
  _scan_folders(root);
  _scan_simulators(root);
}

void CSimulatorLibrary::_scan_folders(CSimulatorEntry* folder) {
  std::vector<std::wstring> names;
  if (!ListFolder(folder->path, EntryType::Directory, &names)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to read directory %s", folder->path);
    return;
  }
  for (const std::wstring& name : names) {
    CSimulatorEntry* child = _new_entry();
    child->kind = CSimulatorEntry::KindFolder;
    child->name = name;
    child->path = folder->path + L"/" + name;
    child->parent = folder;
    folder->children.push_back(child);
    _scan_folders(child);
    _scan_simulators(child);
  }
}

void CSimulatorLibrary::_scan_simulators(CSimulatorEntry* folder) {
  std::vector<std::wstring> names;
  if (!ListFolder(folder->path, EntryType::File, &names)) return;
  const std::wstring extension = Extension();
  for (const std::wstring& file : names) {
    if (!EndsWith(file, extension)) continue;
    if (m_simulator_count >= m_max_simulators) {
      QuillogW(QUILLOG_WARNING, QLF_NONE, L"Maximum number of simulator is reached, ignoring it");
      return;
    }
    CSimulatorEntry* simulator = _new_entry();
    simulator->kind = CSimulatorEntry::KindSimulator;
    simulator->path = folder->path + L"/" + file;
    simulator->name = file.substr(0, file.find_last_of(L'.'));
    simulator->parent = folder;
    folder->children.push_back(simulator);
    ++m_simulator_count;
  }
}

std::vector<CSimulatorEntry*> CSimulatorLibrary::GetSimulators() const {
  std::vector<CSimulatorEntry*> simulators;
  for (const auto& entry : m_entries) {
    if (entry->IsSimulator()) simulators.push_back(entry.get());
  }
  return simulators;
}

CSimulatorEntry* CSimulatorLibrary::FindByPath(const std::wstring& path) const {
  for (const auto& entry : m_entries) {
    if (entry->path == path) return entry.get();
  }
  return nullptr;
}

bool CSimulatorLibrary::Contains(const CSimulatorEntry* entry) const {
  if (entry == nullptr) return false;
  for (const auto& own : m_entries) {
    if (own.get() == entry) return true;
  }
  for (const auto& own : m_retired) {
    if (own.get() == entry) return true;
  }
  return false;
}

CSimulatorEntry* CSimulatorLibrary::GetRunning() const {
  for (const auto& entry : m_entries) {
    if (entry->IsSimulator() && entry->running) return entry.get();
  }
  for (const auto& entry : m_retired) {
    if (entry->running) return entry.get();
  }
  return nullptr;
}

bool CSimulatorLibrary::Select(CSimulatorEntry* entry, bool tell) {
  m_selected = entry;
  if (entry != nullptr && entry->IsSimulator()) {
    if (!entry->loaded) CSimulatorFile::Load(entry);
    WriteSettingString(SETTING_VIEW_SIMULER_LAST_SELECTED_SIMULATOR, entry->path);
  }
  if (tell) {
    PostViewMessage(kSenderName, MSG_VIEW_SIMULATOR, MSG_VIEW_SIMULATOR_SELECT_CHANGE,
                    reinterpret_cast<uintptr_t>(entry));
  }
  return true;
}

bool CSimulatorLibrary::IsAnyRunning() const { return GetRunning() != nullptr; }

bool CSimulatorLibrary::MayCreate() const { return !IsAnyRunning() && m_selected && m_selected->IsFolder(); }

bool CSimulatorLibrary::MayRenameFolder() const {
  return !IsAnyRunning() && m_selected && m_selected->IsFolder() && !m_selected->root;
}

bool CSimulatorLibrary::MayDeleteFolder() const { return MayRenameFolder() && m_selected->children.empty(); }

bool CSimulatorLibrary::MayRenameSimulator() const {
  return !IsAnyRunning() && m_selected && m_selected->IsSimulator();
}

bool CSimulatorLibrary::MayDeleteSimulator() const { return MayRenameSimulator(); }

bool CSimulatorLibrary::CreateFolder(const std::wstring& name) {
  if (!MayCreate()) return false;
  std::wstring path = m_selected->path + L"/" + name;
  if (!IsPlainName(name) || !CZubFile::CreateDirectory(path)) {
    ShowMessageBox(QuillogFormat(L"Unable to create folder %s", name), L"Warning", SHOW_MESSAGE_ERROR);
    return false;
  }
  return BuildLibrary();
}

bool CSimulatorLibrary::RenameFolder(const std::wstring& name) {
  if (!MayRenameFolder()) return false;
  std::wstring path = ParentOf(m_selected->path) + name;
  if (!IsPlainName(name) || !CZubFile::RenameFile(m_selected->path, path)) {
    ShowMessageBox(QuillogFormat(L"Unable to rename folder '%s' to '%s'", m_selected->name, name), L"Warning",
                   SHOW_MESSAGE_ERROR);
    return false;
  }
  return BuildLibrary();
}

bool CSimulatorLibrary::DeleteFolder() {
  if (!MayDeleteFolder()) return false;
  std::wstring name = m_selected->name;
  std::wstring path = m_selected->path;
  _tell_nothing_selected();
  if (!CZubFile::DeleteDirectory(path, false)) {
    ShowMessageBox(QuillogFormat(L"Unable to delete folder %s", name), L"Warning", SHOW_MESSAGE_ERROR);
    return false;
  }
  return BuildLibrary();
}

bool CSimulatorLibrary::CreateSimulator(const SimulatorSettings& settings) {
  if (!MayCreate()) return false;
  if (!IsPlainName(settings.name)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CSimulatorLibrary::CreateSimulator() : '%s' is not a valid simulator name",
             settings.name);
    ShowMessageBox(QuillogFormat(L"Unable to create simulator %s", settings.name), L"Warning", SHOW_MESSAGE_ERROR);
    return false;
  }
  CSimulatorEntry simulator;
  simulator.kind = CSimulatorEntry::KindSimulator;
  simulator.name = settings.name;
  simulator.description = settings.description;
  simulator.recv_port = settings.recv_port;
  simulator.recv_community = settings.recv_community;
  simulator.recv_version1 = settings.recv_version1;
  simulator.recv_version2c = settings.recv_version2c;
  simulator.send_community = settings.send_community;
  simulator.send_port = settings.send_port;
  simulator.send_to_last_requester = settings.send_to_last_requester;
  simulator.send_address = settings.send_address;
  simulator.path = m_selected->path + L"/" + settings.name + Extension();
  // Never replace a simulator that is already stored under that name.
  if (Exists(simulator.path)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CSimulatorLibrary::CreateSimulator() : %s already exists", simulator.path);
    return false;
  }
  if (!CSimulatorFile::Save(&simulator)) return false;
  return BuildLibrary();
}

bool CSimulatorLibrary::RenameSimulator(const std::wstring& name) {
  if (!MayRenameSimulator()) return false;
  std::wstring path = ParentOf(m_selected->path) + name + Extension();
  if (!IsPlainName(name) || !CZubFile::RenameFile(m_selected->path, path)) {
    ShowMessageBox(QuillogFormat(L"Unable to rename simulator '%s' to '%s'", m_selected->name, name), L"Warning",
                   SHOW_MESSAGE_ERROR);
    return false;
  }
  return BuildLibrary();
}

bool CSimulatorLibrary::DeleteSimulator() {
  if (!MayDeleteSimulator()) return false;
  if (!CZubFile::DeleteFile(m_selected->path)) {
    ShowMessageBox(QuillogFormat(L"Unable to delete simulator %s", m_selected->name), L"Warning", SHOW_MESSAGE_ERROR);
    return false;
  }
  return BuildLibrary();
}

bool CSimulatorLibrary::_stop_engine() {
  if (!m_engine->IsBusy()) return false;
  // A worker that has not begun yet cannot be stopped: let it begin first.
  m_engine->WaitBegun(kEngineWaitMs);
  m_engine->Stop();
  m_engine->WaitIdle(kEngineWaitMs);
  return true;
}

bool CSimulatorLibrary::StartSelected() {
  CSimulatorEntry* simulator = m_selected;
  if (simulator == nullptr || !simulator->IsSimulator() || simulator->running) return false;
  // The simulator that was served is no longer running, even when this one
  // then fails to start.
  if (_stop_engine()) _mark_stopped();
  if (!simulator->loaded) CSimulatorFile::Load(simulator);
  if (simulator->GetValueCount() == 0) {
    ShowMessageBox(L"Unable to start the simulator because it has no values", L"Warning", SHOW_MESSAGE_WARNING);
    return false;
  }
  for (const auto& entry : m_entries) entry->running = false;
  m_retired.clear();
  if (!m_engine->Start(simulator->recv_port, simulator->recv_version1, simulator->recv_version2c,
                       simulator->recv_community, simulator) ||
      !m_engine->WaitBegun(kEngineWaitMs) || !m_engine->IsRunning()) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CSimulatorLibrary::StartSelected() : unable to serve simulator %s on port %u",
             simulator->name, simulator->recv_port);
    m_engine->WaitIdle(kEngineWaitMs);
    return false;
  }
  QuillogW(QUILLOG_INFO, QLF_NONE, L"Starting simulator %s", simulator->name);
  simulator->running = true;
  WriteSettingString(SETTING_VIEW_SIMULER_LAST_STARTED_SIMULATOR, simulator->path);
  return true;
}

void CSimulatorLibrary::_mark_stopped() {
  for (const auto& entry : m_entries) entry->running = false;
  m_retired.clear();
  WriteSettingString(SETTING_VIEW_SIMULER_LAST_STARTED_SIMULATOR, L"");
}

bool CSimulatorLibrary::StopSelected() {
  _stop_engine();
  CSimulatorEntry* running = GetRunning();
  if (running == nullptr) return true;
  QuillogW(QUILLOG_INFO, QLF_NONE, L"Stopping simulator %s", running->name);
  running->running = false;
  m_retired.clear();
  WriteSettingString(SETTING_VIEW_SIMULER_LAST_STARTED_SIMULATOR, L"");
  return true;
}

bool CSimulatorLibrary::ToggleSelected() {
  if (m_selected == nullptr || !m_selected->IsSimulator()) return false;
  return m_selected->running ? StopSelected() : StartSelected();
}

bool CSimulatorLibrary::Startup() {
  if (!BuildLibrary()) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to load data of the Simuler view");
    return false;
  }
  // Read both first: selecting the started simulator stores its path as the
  // last selected one.
  const std::wstring started = ReadSettingString(SETTING_VIEW_SIMULER_LAST_STARTED_SIMULATOR);
  const std::wstring selected = ReadSettingString(SETTING_VIEW_SIMULER_LAST_SELECTED_SIMULATOR);
  if (!started.empty()) {
    CSimulatorEntry* entry = FindByPath(started);
    if (entry != nullptr && entry->IsSimulator()) {
      QuillogW(QUILLOG_INFO, QLF_NONE, L"Reselecting simulator %s", entry->name);
      Select(entry);
      StartSelected();
    }
  }
  if (!selected.empty() && selected != started) {
    CSimulatorEntry* entry = FindByPath(selected);
    if (entry != nullptr) {
      QuillogW(QUILLOG_INFO, QLF_NONE, L"Reselecting simulator %s", entry->name);
      Select(entry);
    }
  }
  return true;
}
