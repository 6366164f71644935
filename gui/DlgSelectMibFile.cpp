#include "gui/DlgSelectMibFile.h"

#include "app/Settings.h"
#include "gui/TextEditor.h"
#include "quillog/Quillog.h"
#include "smi/MibFolders.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>
#include <filesystem>

namespace {

constexpr int kPathRole = Qt::UserRole + 1;

struct FolderDescription {
  const char* title;
  const wchar_t* missing;
  std::wstring (*path)();
};

const FolderDescription kFolders[CDlgSelectMibFile::FOLDER_COUNT] = {
    {"Legacy folder", L"Legacy folder %s does not exist", &LegacyMibsFolder},
    {"Common folder", L"Common folder %s does not exist", &CommonMibsFolder},
    {"Personal folder", L"Personal folder %s does not exist", &PersonalMibsFolder},
};

struct ModuleFile {
  QString name;
  QString path;
};

// Entries "*.mib" that are not folders, named up to their first dot.
std::vector<ModuleFile> ModuleFiles(const std::wstring& folder) {
  std::vector<ModuleFile> files;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(folder), error)) {
    const std::string file = entry.path().filename().string();
    if (file.size() < 4 || file.compare(file.size() - 4, 4, ".mib") != 0) continue;
    if (entry.is_directory(error)) continue;
    files.push_back(
        {QString::fromStdString(file.substr(0, file.find('.'))), QString::fromStdString(entry.path().string())});
  }
  std::sort(files.begin(), files.end(), [](const ModuleFile& a, const ModuleFile& b) { return a.name < b.name; });
  return files;
}

}  // namespace

CDlgSelectMibFile::CDlgSelectMibFile(QWidget* parent)
    : QDialog(parent),
      m_load(new QPushButton(QStringLiteral("Load"), this)),
      m_all(new QRadioButton(QStringLiteral("All modules"), this)),
      m_selected(new QRadioButton(QStringLiteral("Selected modules"), this)) {
  setWindowTitle(QStringLiteral("Select MIB file"));
  resize(760, 460);

  auto* lists = new QGridLayout;
  for (int i = 0; i < FOLDER_COUNT; ++i) {
    FolderList& folder = m_folders[static_cast<size_t>(i)];
    folder.path = kFolders[i].path();
    folder.list = new QListWidget(this);
    folder.list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    folder.status = new QLabel(this);
    folder.open = new QPushButton(QStringLiteral("Open"), this);
    folder.open->setToolTip(QString::fromStdWString(folder.path));
    lists->addWidget(new QLabel(QString::fromLatin1(kFolders[i].title), this), 0, i);
    lists->addWidget(folder.list, 1, i);
    auto* line = new QHBoxLayout;
    line->addWidget(folder.status, 1);
    line->addWidget(folder.open);
    lists->addLayout(line, 2, i);
    _fill(static_cast<Folder>(i));
    connect(folder.list, &QListWidget::itemSelectionChanged, this, [this] { _on_selection(); });
    connect(folder.open, &QPushButton::clicked, this,
            [this, i] { OpenFolder(m_folders[static_cast<size_t>(i)].path); });
  }

  auto* display = new QGroupBox(QStringLiteral("Display modules"), this);
  auto* display_layout = new QHBoxLayout(display);
  display_layout->addWidget(m_all);
  display_layout->addWidget(m_selected);
  display_layout->addStretch();
  (ReadSettingDword(SETTING_VIEW_MIB_BROWSER_DISPLAY_MODULE_MODE) == 0 ? m_all : m_selected)->setChecked(true);
  connect(m_all, &QRadioButton::toggled, this,
          [](bool on) { WriteSettingDword(SETTING_VIEW_MIB_BROWSER_DISPLAY_MODULE_MODE, -1, on ? 0 : 1); });

  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(m_load, QDialogButtonBox::AcceptRole);
  buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
  m_load->setEnabled(false);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(lists, 1);
  layout->addWidget(display);
  layout->addWidget(buttons);
}

void CDlgSelectMibFile::_fill(Folder index) {
  FolderList& folder = m_folders[index];
  std::error_code error;
  if (!std::filesystem::is_directory(std::filesystem::path(folder.path), error)) {
    QuillogW(QUILLOG_WARNING, 0, kFolders[index].missing, folder.path);
  }
  for (const ModuleFile& file : ModuleFiles(folder.path)) {
    auto* item = new QListWidgetItem(file.name, folder.list);
    item->setData(kPathRole, file.path);
    item->setToolTip(file.path);
  }
  _on_selection();
}

void CDlgSelectMibFile::_on_selection() {
  bool any = false;
  for (FolderList& folder : m_folders) {
    if (folder.list == nullptr || folder.status == nullptr) continue;
    const int selected = static_cast<int>(folder.list->selectedItems().size());
    const int count = folder.list->count();
    folder.status->setText(QString::fromStdWString(selected > 0
                                                       ? QuillogFormat(L"%d MIB selected (among %d)", selected, count)
                                                       : QuillogFormat(L"No MIB selected (among %d)", count)));
    any = any || selected > 0;
  }
  m_load->setEnabled(any);
}

std::vector<CSmiModuleKey> CDlgSelectMibFile::SelectedModules() const {
  std::vector<CSmiModuleKey> modules;
  for (const FolderList& folder : m_folders) {
    for (int row = 0; row < folder.list->count(); ++row) {
      const QListWidgetItem* item = folder.list->item(row);
      if (!item->isSelected()) continue;
      modules.push_back({item->text().toStdWString(), item->data(kPathRole).toString().toStdWString()});
    }
  }
  return modules;
}

bool CDlgSelectMibFile::OpenFolder(const std::wstring& path) {
  const int code = StartDetached("xdg-open", quillog::WideToUtf8(path));
  if (code != 0) {
    QuillogW(QUILLOG_ERROR, 0, L"CDlgSelectMibFile::OpenFolder() : Unable to open folder %s (code is %d)", path, code);
    return false;
  }
  return true;
}
