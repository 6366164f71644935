#include "gui/DlgModuleList.h"

#include "gui/TextEditor.h"
#include "quillog/Quillog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int kRetryMs = 250;

QString Counter(const wchar_t* format, size_t count) {
  return QString::fromStdWString(QuillogFormat(format, static_cast<int>(count)));
}

}  // namespace

CModuleListView::CModuleListView(QWidget* parent) : CMyListViewOf(L"CModuleListView", kNoWidthSetting, parent) {
  InsertColumn(0, QStringLiteral("Module name"));
  InsertColumn(1, QStringLiteral("File name"));
  header()->resizeSection(0, 220);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
}

QString CModuleListView::CellText(int row, int column) const {
  const CSmiModuleKey* key = Item(row);
  if (key == nullptr) return {};
  return QString::fromStdWString(column == 0 ? key->module_name : key->file_path);
}

QString CModuleListView::EmptyText() const {
  return loading ? QStringLiteral("MIB modules are being loaded...") : QStringLiteral("No MIB module is loaded");
}

void CModuleListView::Fill(const std::vector<CSmiModuleKey>& modules) {
  ClearList();
  std::vector<Pointer> rows;
  rows.reserve(modules.size());
  for (const CSmiModuleKey& key : modules) rows.push_back(std::make_unique<CSmiModuleKey>(key));
  AddItems(rows);
}

CDlgModuleList::CDlgModuleList(CSmiTree& tree, QWidget* parent)
    : QDialog(parent),
      m_tree(tree),
      m_list(new CModuleListView(this)),
      m_modules(new QLabel(this)),
      m_types(new QLabel(this)),
      m_objects(new QLabel(this)),
      m_edit(new QPushButton(QStringLiteral("Edit"), this)) {
  setWindowTitle(QStringLiteral("Loaded modules"));
  resize(560, 380);

  auto* counters = new QHBoxLayout;
  for (QLabel* label : {m_modules, m_types, m_objects}) counters->addWidget(label);
  counters->addStretch();

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  buttons->addButton(m_edit, QDialogButtonBox::ActionRole);
  m_edit->hide();

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_list);
  layout->addLayout(counters);
  layout->addWidget(buttons);

  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(m_edit, &QPushButton::clicked, this, [this] { EditSelected(); });
  connect(m_list, &QAbstractItemView::doubleClicked, this, [this] { EditSelected(); });
  connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { _on_selection(); });
  Refresh();
}

bool CDlgModuleList::Refresh() {
  std::vector<CSmiModuleKey> modules;
  size_t types = 0;
  size_t objects = 0;
  if (!m_tree.Lock().TryEnter()) {
    m_list->loading = true;
    m_list->ClearList();
    m_list->viewport()->update();
    QTimer::singleShot(kRetryMs, this, [this] { Refresh(); });
    return false;
  }
  {
    struct Leave {
      CZubCriticalSection& section;
      ~Leave() { section.Leave(); }
    } leave{m_tree.Lock()};
    modules = m_tree.Modules();
    types = m_tree.TypeCount();
    objects = m_tree.ObjectCount();
  }

  m_list->loading = false;
  m_list->Fill(modules);
  m_modules->setText(Counter(L"%d MIB modules", modules.size()));
  m_types->setText(Counter(L"%d MIB types", types));
  m_objects->setText(Counter(L"%d MIB objects", objects));
  return true;
}

void CDlgModuleList::_on_selection() {
  if (m_list->selectionModel()->hasSelection()) m_edit->show();
}

bool CDlgModuleList::EditSelected() {
  const QModelIndexList rows = m_list->selectionModel()->selectedRows();
  if (rows.size() != 1) return false;
  const CSmiModuleKey* key = m_list->Item(rows.front().row());
  if (key == nullptr || key->file_path.empty()) return false;
  return StartTextEditor(key->file_path);
}
