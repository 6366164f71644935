// CDlgSimulatorChooser: "Simulator chooser", the simulator library as a
// tree; "OK" is enabled while a simulator is chosen.
#pragma once

#include <QDialog>

#include <string>

class CSimulatorEntry;
class CSimulatorLibrary;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

class CDlgSimulatorChooser : public QDialog {
 public:
  // A null library shows an empty tree.
  explicit CDlgSimulatorChooser(const CSimulatorLibrary* library, QWidget* parent = nullptr);

  // The path of the chosen simulator file; empty when none.
  std::wstring ChosenPath() const;
  // Chooses the simulator with that path; false when it is not listed.
  bool Choose(const std::wstring& path);

  QTreeWidget* Tree() const { return m_tree; }
  QPushButton* OkButton() const { return m_ok; }

 private:
  void _add(const CSimulatorEntry* entry, QTreeWidgetItem* parent);

  QTreeWidget* m_tree;
  QPushButton* m_ok = nullptr;
};
