#include "smi/SmiLoader.h"

#include "quillog/Quillog.h"

std::vector<CSmiModuleKey> ModuleKeysFromList(const std::wstring& text) {
  std::vector<CSmiModuleKey> keys;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(L';', start);
    if (end == std::wstring::npos) end = text.size();
    if (end > start) keys.push_back(CSmiModuleKey::FromString(text.substr(start, end - start)));
    start = end + 1;
  }
  return keys;
}

CSmiLoader::CSmiLoader(CSmiTree& tree) : m_tree(tree), m_parser(m_scanner, tree) { m_parser.SetStopFlag(&m_cancel); }

void CSmiLoader::Fail(const std::wstring& message, const std::wstring& file, int32_t line) {
  m_error_text = message + L"\r\n\r\nFile:" + file + L"\r\nLine:" + std::to_wstring(line);
}

bool CSmiLoader::LoadModule(const CSmiModuleKey& key) {
  CSmiTreeProtected lock(m_tree);
  if (m_tree.FindModule(key)) {
    QuillogW(QUILLOG_INFO, QLF_PROGRAM_YACC_AUX, L"Mib module '%s' is already loaded", key.module_name);
    return true;
  }
  QuillogW(QUILLOG_INFO, QLF_PROGRAM_GUI, L"Loading the Mib module %s", key.module_name);
  const int depth = m_scanner.Depth();
  if (m_scanner.OpenFile(key.file_path) != 0) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to open Mib module %s", key.module_name);
    Fail(QuillogFormat(L"Unable to open Mib module %s", key.module_name), key.file_path, 0);
    return false;
  }
  const int parsed = m_parser.Parse();
  if (parsed != 0 && m_parser.StopRequested()) {
    // Stopped rather than failed: no error, and the scanner starts clean.
    m_scanner.Restart();
    m_scanner.FreeTokenStrings();
    return false;
  }
  if (parsed != 0) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to parse Mib module %s", key.module_name);
    const SmiError error = m_scanner.LastError();
    Fail(error.message, error.file_name, error.line);
    // Every file of the failed import chain is closed, and the scanner starts clean.
    m_scanner.Restart();
    m_scanner.FreeTokenStrings();
    return false;
  }
  if (m_scanner.Depth() <= depth) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to close Mib module %s", key.module_name);
    Fail(QuillogFormat(L"Unable to close Mib module %s", key.module_name), key.file_path, 0);
    m_scanner.FreeTokenStrings();
    return false;
  }
  m_scanner.CloseFilesTo(depth);
  m_scanner.FreeTokenStringsFrom(0);  // the next module reuses the kept slots; the load's end frees all
  return true;
}

bool CSmiLoader::Stopped() {
  QuillogW(QUILLOG_WARNING, QLF_NONE, L"CSmiLoader::Load() : the load was stopped");
  m_tree.Reset();
  FreeLoadState();
  return false;
}

void CSmiLoader::FreeLoadState() {
  m_scanner.FreeTokenStrings();
  m_parser.FreeLoadCaches();
}

bool CSmiLoader::Load(const std::vector<CSmiModuleKey>& modules, bool reset, uint32_t display_module_mode) {
  m_error_text.clear();
  m_failures.clear();
  CSmiTreeProtected lock(m_tree);
  if (reset || !m_tree.IsInitialised()) {
    m_tree.Reset();
  } else {
    m_tree.ClearLinks();
  }
  for (const CSmiModuleKey& key : modules) {
    if (m_cancel.load(std::memory_order_relaxed)) return Stopped();
    if (m_tree.FindModule(key)) continue;
    if (LoadModule(key)) continue;
    if (m_cancel.load(std::memory_order_relaxed)) return Stopped();
    if (m_keep_going) {
      m_failures.push_back(Failure{key, m_error_text});
      continue;
    }
    m_tree.Reset();
    FreeLoadState();
    return false;
  }
  // Before the tree is finished: the sort's room is the load's last peak.
  FreeLoadState();
  m_tree.Finish();
  if (reset && display_module_mode == 0) {
    m_tree.MarkAllVisible();
  } else {
    m_tree.MarkVisibleForModules(modules);
  }
  return true;
}
