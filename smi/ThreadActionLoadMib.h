// The MIB loading worker: loads a list of modules into the SMI tree on a
// pooled thread and tells the MIB browser when it starts and ends
// (MSG_VIEW_BROWSER with MSG_VIEW_BROWSER_LOAD_STARTED / _FINISHED, sender
// "CThreadActionLoadMib"). A failed load leaves the tree reset and shows
// the parse error (message, file and line) in an error box, after the tree
// lock is released.
//
// One instance is owned by the MIB tree view and re-used for every load;
// Start refuses while a load runs. The destructor waits for a running load.
#pragma once

#include "kit/ZubThreadAction.h"
#include "smi/SmiLoader.h"
#include "smi/SmiTree.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <vector>

class CThreadActionLoadMib : public CZubThreadAction {
 public:
  explicit CThreadActionLoadMib(CSmiTree& tree = SmiTree());
  ~CThreadActionLoadMib() override;

  // Starts the load on a pooled thread; false when a load runs already or
  // no thread could be had.
  bool Start(bool reset, const std::vector<CSmiModuleKey>& modules);
  // Cuts a running load short at its next token (the tree is then empty).
  void Stop() { m_loader.Cancel(); }
  // Skip a module that fails and go on (see CSmiLoader::SetKeepGoing).
  void SetKeepGoing(bool keep_going) { m_loader.SetKeepGoing(keep_going); }
  bool IsRunning() const { return m_running.load(std::memory_order_acquire); }
  // Waits until no load runs and its thread has let the action go; false
  // on time-out.
  bool WaitIdle(uint32_t timeout_ms) const;
  // Loads one module into the tree (the caller holds the tree lock).
  bool LoadModule(const CSmiModuleKey& key) { return m_loader.LoadModule(key); }

  void OnBegin() override;
  void OnAction(uint32_t status, uintptr_t value1, uintptr_t value2, uintptr_t value3) override;
  void OnEnd() override;
  void OnTimeout() override {}
  void OnException() override {}

 private:
  CSmiTree& m_tree;
  CSmiLoader m_loader;
  std::atomic<bool> m_running{false};
  std::vector<CSmiModuleKey> m_modules;
  bool m_reset = true;
  mutable std::mutex m_idle_mutex;
  mutable std::condition_variable m_idle_cv;
};
