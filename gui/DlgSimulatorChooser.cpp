#include "gui/DlgSimulatorChooser.h"

#include "simulator/SimulatorLibrary.h"

#include <QDialogButtonBox>
#include <QIcon>
#include <QPushButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

// The tree's images live in a resource of this static library.
static void InitSimulerImages() { Q_INIT_RESOURCE(simuler); }

namespace {

// The path of a simulator item; folders carry none.
constexpr int kPathRole = Qt::UserRole;

}  // namespace

CDlgSimulatorChooser::CDlgSimulatorChooser(const CSimulatorLibrary* library, QWidget* parent)
    : QDialog(parent), m_tree(new QTreeWidget(this)) {
  InitSimulerImages();
  setWindowTitle(QStringLiteral("Simulator chooser"));
  m_tree->setHeaderHidden(true);
  m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
  if (library != nullptr) {
    for (const CSimulatorEntry* root : library->GetRoots()) _add(root, nullptr);
  }
  m_tree->expandAll();

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  m_ok = buttons->button(QDialogButtonBox::Ok);
  m_ok->setText(QStringLiteral("OK"));
  m_ok->setEnabled(false);
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Annuler"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(m_tree, &QTreeWidget::itemSelectionChanged, this, [this] { m_ok->setEnabled(!ChosenPath().empty()); });
  connect(m_tree, &QTreeWidget::itemDoubleClicked, this, [this] {
    if (!ChosenPath().empty()) accept();
  });
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_tree);
  layout->addWidget(buttons);
  resize(360, 400);
}

void CDlgSimulatorChooser::_add(const CSimulatorEntry* entry, QTreeWidgetItem* parent) {
  auto* item = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(m_tree);
  item->setText(0, QString::fromStdWString(entry->name));
  if (entry->IsSimulator()) {
    item->setData(0, kPathRole, QString::fromStdWString(entry->path));
    item->setIcon(0, QIcon(entry->running ? QStringLiteral(":/simuler/sim-running.svg")
                                          : QStringLiteral(":/simuler/sim-stopped.svg")));
    return;
  }
  item->setIcon(0, QIcon(QStringLiteral(":/simuler/sim-folder.svg")));
  for (const CSimulatorEntry* child : entry->children) _add(child, item);
}

std::wstring CDlgSimulatorChooser::ChosenPath() const {
  const QList<QTreeWidgetItem*> selected = m_tree->selectedItems();
  if (selected.isEmpty()) return {};
  return selected.front()->data(0, kPathRole).toString().toStdWString();
}

bool CDlgSimulatorChooser::Choose(const std::wstring& path) {
  const QString wanted = QString::fromStdWString(path);
  for (QTreeWidgetItemIterator it(m_tree); *it != nullptr; ++it) {
    if ((*it)->data(0, kPathRole).toString() == wanted) {
      m_tree->setCurrentItem(*it);
      return true;
    }
  }
  return false;
}
