// CDlgModuleList: "Loaded modules", one row per module of the SMI tree with
// its file, and the numbers of modules, types and objects.
//
// The tree is read under its lock, taken without waiting: while a load
// holds it the dialog says so and tries again a moment later, so the GUI
// thread never waits for a load.
#pragma once

#include "gui/MyListView.h"
#include "smi/SmiTree.h"

#include <QDialog>

class QLabel;
class QPushButton;

// The module rows of the dialog.
class CModuleListView : public CMyListViewOf<CSmiModuleKey> {
 public:
  explicit CModuleListView(QWidget* parent = nullptr);
  QString CellText(int row, int column) const override;
  QString EmptyText() const override;
  void Fill(const std::vector<CSmiModuleKey>& modules);
  bool loading = false;
};

class CDlgModuleList : public QDialog {
 public:
  explicit CDlgModuleList(CSmiTree& tree = SmiTree(), QWidget* parent = nullptr);

  CModuleListView* List() const { return m_list; }
  QPushButton* EditButton() const { return m_edit; }
  QLabel* ModulesLabel() const { return m_modules; }
  QLabel* TypesLabel() const { return m_types; }
  QLabel* ObjectsLabel() const { return m_objects; }

  // Reads the tree; false when a load holds it (a retry is scheduled).
  bool Refresh();
  // Opens the selected row's file: exactly one row with a file name.
  bool EditSelected();

 private:
  void _on_selection();

  CSmiTree& m_tree;
  CModuleListView* m_list;
  QLabel* m_modules;
  QLabel* m_types;
  QLabel* m_objects;
  QPushButton* m_edit;
};
