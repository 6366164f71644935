#include "gui/DlgModuleList.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "gui/TextEditor.h"
#include "quillog/Quillog.h"

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
      tree_(tree),
      list_(new CModuleListView(this)),
      modules_(new QLabel(this)),
      types_(new QLabel(this)),
      objects_(new QLabel(this)),
      edit_(new QPushButton(QStringLiteral("Edit"), this)) {
  setWindowTitle(QStringLiteral("Loaded modules"));
  resize(560, 380);

  auto* counters = new QHBoxLayout;
  for (QLabel* label : {modules_, types_, objects_}) counters->addWidget(label);
  counters->addStretch();

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  buttons->addButton(edit_, QDialogButtonBox::ActionRole);
  edit_->hide();

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_);
  layout->addLayout(counters);
  layout->addWidget(buttons);

  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(edit_, &QPushButton::clicked, this, [this] { EditSelected(); });
  connect(list_, &QAbstractItemView::doubleClicked, this, [this] { EditSelected(); });
  connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { _on_selection(); });
  Refresh();
}

bool CDlgModuleList::Refresh() {
  std::vector<CSmiModuleKey> modules;
  size_t types = 0;
  size_t objects = 0;
  if (!tree_.Lock().TryEnter()) {
    list_->loading = true;
    list_->ClearList();
    list_->viewport()->update();
    QTimer::singleShot(kRetryMs, this, [this] { Refresh(); });
    return false;
  }
  {
    struct Leave {
      CZubCriticalSection& section;
      ~Leave() { section.Leave(); }
    } leave{tree_.Lock()};
    modules = tree_.Modules();
    types = tree_.TypeCount();
    objects = tree_.ObjectCount();
  }

  list_->loading = false;
  list_->Fill(modules);
  modules_->setText(Counter(L"%d MIB modules", modules.size()));
  types_->setText(Counter(L"%d MIB types", types));
  objects_->setText(Counter(L"%d MIB objects", objects));
  return true;
}

void CDlgModuleList::_on_selection() {
  if (list_->selectionModel()->hasSelection()) edit_->show();
}

bool CDlgModuleList::EditSelected() {
  const QModelIndexList rows = list_->selectionModel()->selectedRows();
  if (rows.size() != 1) return false;
  const CSmiModuleKey* key = list_->Item(rows.front().row());
  if (key == nullptr || key->file_path.empty()) return false;
  return StartTextEditor(key->file_path);
}
