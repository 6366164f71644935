// CViewSimulerLeft: the simulator library tree of the Simuler tab (the
// Personal, Common and Legacy roots, their folders and simulators; a
// running simulator is drawn bold with its own image). It owns the library,
// runs the Folder and Simulator commands and answers the library's view
// messages.
#pragma once

#include "app/MessageCenter.h"
#include "gui/CommandTarget.h"
#include "gui/MyTreeView.h"
#include "simulator/SimulatorLibrary.h"

#include <functional>
#include <memory>
#include <string>

class CMyMenu;

class CViewSimulerLeft : public CMyTreeView, public CViewWindow, public CCommandTarget {
 public:
  enum Image { IMAGE_FOLDER, IMAGE_SIMULATOR, IMAGE_RUNNING };

  // Builds the library, starts the simulator that ran at the last exit and
  // selects the one selected last.
  explicit CViewSimulerLeft(CViewDispatcher* dispatcher, QWidget* parent = nullptr);
  ~CViewSimulerLeft() override;

  CSimulatorLibrary& Library() { return *m_library; }
  const CSimulatorLibrary& Library() const { return *m_library; }

  bool OnCommand(uint32_t command) override;
  bool IsCommandEnabled(uint32_t command) const override;
  intptr_t OnViewMessage(uint32_t message, uintptr_t sub_code, uintptr_t payload) override;

  // Selects the entry's item (null clears the selection).
  void SelectEntry(CSimulatorEntry* entry);
  CSimulatorEntry* SelectedEntry() const { return m_library->GetSelected(); }

  int NodeChildCount(TreeNode node) const override;
  TreeNode NodeChild(TreeNode node, int row) const override;
  TreeNode NodeParent(TreeNode node) const override;
  int NodeRow(TreeNode node) const override;
  QString NodeText(TreeNode node) const override;
  int NodeImage(TreeNode node) const override;
  bool NodeBold(TreeNode node) const override;

  static CSimulatorEntry* EntryOf(TreeNode node) { return reinterpret_cast<CSimulatorEntry*>(node); }
  static TreeNode NodeOfEntry(const CSimulatorEntry* entry) { return reinterpret_cast<TreeNode>(entry); }

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  // Runs a library operation that may rebuild the library, then selects the
  // entry at `select_path` (when the operation succeeded) or the entry that
  // was selected.
  bool _change_library(const std::function<bool()>& operation, const std::wstring& select_path);
  bool _ask_name(const QString& title, const QString& current, std::wstring* name);
  bool _create_simulator();
  void _on_selection_changed();
  void _redraw();

  std::unique_ptr<CSimulatorLibrary> m_library;
  CMyMenu* m_context_menu = nullptr;
  bool m_changing = false;
};
