// Loading MIB modules into the SMI tree: the whole load of a list of modules
// (with their imports), then the tree's completion and visibility. Runs on
// the calling thread; CThreadActionLoadMib runs it on a worker thread.
//
//   CSmiLoader loader;                          // the process tree
//   if (!loader.Load(ModuleKeysFromList(L"IF-MIB;SNMPv2-MIB"), true, 1))
//     show(loader.ErrorText());                 // message, file and line
#pragma once

#include "smi/SmiParser.h"
#include "smi/SmiScanner.h"
#include "smi/SmiTree.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

// Cuts a "LastFile" text at every ";" into module keys (empty pieces are
// skipped).
std::vector<CSmiModuleKey> ModuleKeysFromList(const std::wstring& text);

class CSmiLoader {
 public:
  explicit CSmiLoader(CSmiTree& tree = SmiTree());
  CSmiLoader(const CSmiLoader&) = delete;
  CSmiLoader& operator=(const CSmiLoader&) = delete;

  // Under the tree lock: Reset (or ClearLinks), load each module not loaded
  // yet, Finish, then visibility: everything when reset is set and
  // display_module_mode is 0, otherwise the objects of the listed modules
  // with their ancestors. A failed module resets the tree and stops the
  // load; ErrorText() then holds the text to show.
  bool Load(const std::vector<CSmiModuleKey>& modules, bool reset, uint32_t display_module_mode);

  // Loads one module (and its imports) without finishing the tree; the
  // caller holds the tree lock. True when loaded or loaded already.
  bool LoadModule(const CSmiModuleKey& key);

  // Keep going: a module that fails is reported (Failures()) and skipped,
  // the tree keeps what the other modules gave and the load goes on. For
  // loading a whole collection (command line, benchmarks). Off by default.
  void SetKeepGoing(bool keep_going) { m_keep_going = keep_going; }
  // Asks a running Load (from any thread) to stop: the module being parsed
  // is cut short at its next token, then the tree is reset and Load returns
  // false with no error text. LoadModule alone returns false with no error.
  // Cleared by ClearCancel.
  void Cancel() { m_cancel.store(true, std::memory_order_relaxed); }
  void ClearCancel() { m_cancel.store(false, std::memory_order_relaxed); }
  struct Failure {
    CSmiModuleKey module;
    std::wstring text;
  };
  const std::vector<Failure>& Failures() const { return m_failures; }

  // "<message>\r\n\r\nFile:<file>\r\nLine:<line>" for the last failure.
  const std::wstring& ErrorText() const { return m_error_text; }
  const SmiError& LastError() const { return m_scanner.LastError(); }
  CSmiScanner& Scanner() { return m_scanner; }

 private:
  // The end of a stopped Load: the tree is reset.
  bool Stopped();
  // Token strings and parser caches, at the end of a load.
  void FreeLoadState();
  void Fail(const std::wstring& message, const std::wstring& file, int32_t line);

  CSmiTree& m_tree;
  CSmiScanner m_scanner;
  CSmiParser m_parser;
  std::wstring m_error_text;
  bool m_keep_going = false;
  std::atomic<bool> m_cancel{false};
  std::vector<Failure> m_failures;
};
