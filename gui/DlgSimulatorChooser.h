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

  QTreeWidget* Tree() const { return tree_; }
  QPushButton* OkButton() const { return ok_; }

 private:
  void _add(const CSimulatorEntry* entry, QTreeWidgetItem* parent);

  QTreeWidget* tree_;
  QPushButton* ok_ = nullptr;
};
