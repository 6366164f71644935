// CViewMibBrowserLeft: the Browser tab's tree of the loaded MIB modules.
//
// The tree answers from the SMI tree itself through a CMibTreeIndex built
// once per load. The GUI thread never waits for the tree's lock: the index
// is dropped when a load starts (before the loader takes the lock) and,
// when the load ends, built again on a thread of its own that takes the
// lock; the GUI thread swaps the new index in.
#pragma once

#include "app/MessageCenter.h"
#include "gui/CommandTarget.h"
#include "gui/MibTreeIndex.h"
#include "gui/MyTreeView.h"
#include "smi/ThreadActionLoadMib.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

class CMyMenu;
class CViewWalker;

// Commands of the tree's own context menu (and their string numbers).
enum BrowserTreeCommand : uint32_t {
  ID_BROWSER_WALK_FROM_HERE = 88,
  ID_BROWSER_GET = 89,
};

// Asks the Browser to show an OID (MSG_VIEW_BROWSER_DISPLAY). The payload
// is a heap std::wstring the Browser frees; false when nobody took it.
bool PostBrowserDisplay(const wchar_t* sender, const std::wstring& oid);
// The module that defines an OID (or its nearest known ancestor) by the
// OID name database; empty when it knows none.
std::wstring MibModuleOf(const std::wstring& oid);
// Opens the file of the module that defines an OID (the OID name database
// names it) in the text editor; false when there is none.
bool EditMibFile(const std::wstring& oid);

class CViewMibBrowserLeft : public CMyTreeView, public CViewWindow, public CCommandTarget {
  Q_OBJECT

 public:
  enum DisplayMode : uint32_t { DISPLAY_OID = 1, DISPLAY_NAME = 2, DISPLAY_OID_NAME = 3 };

  CViewMibBrowserLeft(CViewDispatcher* dispatcher, CSmiTree& tree = SmiTree(), QWidget* parent = nullptr);
  ~CViewMibBrowserLeft() override;

  int NodeChildCount(TreeNode node) const override;
  TreeNode NodeChild(TreeNode node, int row) const override;
  TreeNode NodeParent(TreeNode node) const override;
  int NodeRow(TreeNode node) const override;
  QString NodeText(TreeNode node) const override;
  int NodeImage(TreeNode node) const override;

  bool OnCommand(uint32_t command) override;
  bool IsCommandEnabled(uint32_t command) const override;
  intptr_t OnViewMessage(uint32_t message, uintptr_t sub_code, uintptr_t payload) override;

  // The commands.
  bool OnLoad();
  bool OnUnload();
  bool OnReload();
  // Walks the selected node's subtree, or gets a scalar's instance, in the
  // Walker tab, which comes to the front.
  bool OnWalkFromHere();
  bool OnGet();
  // The Walker view these start in (not owned; null: the commands are off).
  void SetWalker(CViewWalker* walker) { m_walker = walker; }
  // An OBJECT-TYPE with one instance (.0): not a table, row or column.
  bool IsScalar(CMibTreeIndex::Node node) const;
  // Starts a load of these modules, reset or not.
  bool StartLoad(bool reset, const std::vector<CSmiModuleKey>& modules);
  // Shows an OID: its node, its best-known node, or loads its module.
  void DisplayOid(const std::wstring& oid);

  // A load runs, or the index of its result is being built.
  bool IsLoading() const { return m_loading || m_building || m_worker.IsRunning(); }
  uint32_t DisplayOidMode() const { return m_mode; }
  const CMibTreeIndex& Index() const { return m_index; }
  // The selected object, null when none (valid until the next load).
  const CSmiObject* SelectedObject() const;
  // Selects a node and makes it visible.
  void Reveal(CMibTreeIndex::Node node);
  CThreadActionLoadMib& Worker() { return m_worker; }

  QString EmptyText() const;

 signals:
  // The index was dropped or built again.
  void indexChanged();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void _drop_index();
  void _start_build();
  void _take_index(uint64_t generation, std::shared_ptr<CMibTreeIndex> built);
  void _set_mode(uint32_t mode);
  void _on_current_changed(const QModelIndex& current);
  bool _select_oid(const SmiOid& oid);

  CSmiTree& m_tree;
  CThreadActionLoadMib m_worker;
  CMibTreeIndex m_index;
  uint32_t m_mode = DISPLAY_OID_NAME;
  bool m_loading = false;
  bool m_building = false;
  bool m_build_again = false;  // a load ended while the last build ran
  uint64_t m_generation = 0;   // counts the loads and Unloads
  std::thread m_builder;
  std::wstring m_pending_oid;  // selected when the running load ends
  CMyMenu* m_context_menu = nullptr;
  CViewWalker* m_walker = nullptr;
};
