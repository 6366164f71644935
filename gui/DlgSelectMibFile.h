// CDlgSelectMibFile: "Select MIB file". The modules of the legacy, common
// and personal MIB folders in three lists; "Load" returns those selected.
#pragma once

#include "smi/SmiTree.h"

#include <QDialog>

#include <array>
#include <string>
#include <vector>

class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;

class CDlgSelectMibFile : public QDialog {
  Q_OBJECT

 public:
  enum Folder { FOLDER_LEGACY, FOLDER_COMMON, FOLDER_PERSONAL, FOLDER_COUNT };

  explicit CDlgSelectMibFile(QWidget* parent = nullptr);

  // The selected modules, each with the file it was listed from.
  std::vector<CSmiModuleKey> SelectedModules() const;

  QListWidget* List(Folder folder) const { return m_folders[folder].list; }
  QLabel* Status(Folder folder) const { return m_folders[folder].status; }
  QPushButton* OpenButton(Folder folder) const { return m_folders[folder].open; }
  QPushButton* LoadButton() const { return m_load; }
  QRadioButton* AllModules() const { return m_all; }
  QRadioButton* SelectedModulesButton() const { return m_selected; }
  const std::wstring& FolderPath(Folder folder) const { return m_folders[folder].path; }

  // Opens a folder in the system's file browser; false (logged) on failure.
  static bool OpenFolder(const std::wstring& path);

 private:
  struct FolderList {
    std::wstring path;
    QListWidget* list = nullptr;
    QLabel* status = nullptr;
    QPushButton* open = nullptr;
  };
  void _fill(Folder folder);
  void _on_selection();

  std::array<FolderList, FOLDER_COUNT> m_folders;
  QPushButton* m_load;
  QRadioButton* m_all;
  QRadioButton* m_selected;
};
