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

CSmiLoader::CSmiLoader(CSmiTree& tree) : tree_(tree), parser_(scanner_, tree) { parser_.SetStopFlag(&cancel_); }

void CSmiLoader::Fail(const std::wstring& message, const std::wstring& file, int32_t line) {
  error_text_ = message + L"\r\n\r\nFile:" + file + L"\r\nLine:" + std::to_wstring(line);
}

bool CSmiLoader::LoadModule(const CSmiModuleKey& key) {
  CSmiTreeProtected lock(tree_);
  if (tree_.FindModule(key)) {
    QuillogW(QUILLOG_INFO, QLF_PROGRAM_YACC_AUX, L"Mib module '%s' is already loaded", key.module_name);
    return true;
  }
  QuillogW(QUILLOG_INFO, QLF_PROGRAM_GUI, L"Loading the Mib module %s", key.module_name);
  const int depth = scanner_.Depth();
  if (scanner_.OpenFile(key.file_path) != 0) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to open Mib module %s", key.module_name);
    Fail(QuillogFormat(L"Unable to open Mib module %s", key.module_name), key.file_path, 0);
    return false;
  }
  const int parsed = parser_.Parse();
  if (parsed != 0 && parser_.StopRequested()) {
    // Stopped rather than failed: no error, and the scanner starts clean.
    scanner_.Restart();
    scanner_.FreeTokenStrings();
    return false;
  }
  if (parsed != 0) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to parse Mib module %s", key.module_name);
    const SmiError error = scanner_.LastError();
    Fail(error.message, error.file_name, error.line);
    // Every file of the failed import chain is closed, and the scanner starts clean.
    scanner_.Restart();
    scanner_.FreeTokenStrings();
    return false;
  }
  if (scanner_.Depth() <= depth) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to close Mib module %s", key.module_name);
    Fail(QuillogFormat(L"Unable to close Mib module %s", key.module_name), key.file_path, 0);
    scanner_.FreeTokenStrings();
    return false;
  }
  scanner_.CloseFilesTo(depth);
  scanner_.FreeTokenStrings();
  return true;
}

bool CSmiLoader::Stopped() {
  QuillogW(QUILLOG_WARNING, QLF_NONE, L"CSmiLoader::Load() : the load was stopped");
  tree_.Reset();
  scanner_.FreeTokenStrings();
  return false;
}

bool CSmiLoader::Load(const std::vector<CSmiModuleKey>& modules, bool reset, uint32_t display_module_mode) {
  error_text_.clear();
  failures_.clear();
  CSmiTreeProtected lock(tree_);
  if (reset || !tree_.IsInitialised()) {
    tree_.Reset();
  } else {
    tree_.ClearLinks();
  }
  for (const CSmiModuleKey& key : modules) {
    if (cancel_.load(std::memory_order_relaxed)) return Stopped();
    if (tree_.FindModule(key)) continue;
    if (LoadModule(key)) continue;
    if (cancel_.load(std::memory_order_relaxed)) return Stopped();
    if (keep_going_) {
      failures_.push_back(Failure{key, error_text_});
      continue;
    }
    tree_.Reset();
    scanner_.FreeTokenStrings();
    return false;
  }
  scanner_.FreeTokenStrings();
  tree_.Finish();
  if (reset && display_module_mode == 0) {
    tree_.MarkAllVisible();
  } else {
    tree_.MarkVisibleForModules(modules);
  }
  return true;
}
