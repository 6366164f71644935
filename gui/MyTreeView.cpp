#include "gui/MyTreeView.h"

#include <QFont>
#include <QHeaderView>
#include <QPalette>

#include "quillog/Quillog.h"

// ---------------------------------------------------------------- model

CMyTreeModel::CMyTreeModel(CMyTreeView* view) : QAbstractItemModel(view), view_(view) {}

QModelIndex CMyTreeModel::index(int row, int column, const QModelIndex& parent) const {
  if (!ready_ || column != 0 || row < 0) return {};
  const TreeNode parent_node = CMyTreeView::NodeOf(parent);
  if (row >= view_->NodeChildCount(parent_node)) return {};
  return createIndex(row, 0, view_->NodeChild(parent_node, row));
}

QModelIndex CMyTreeModel::parent(const QModelIndex& child) const {
  if (!ready_ || !child.isValid()) return {};
  const TreeNode up = view_->NodeParent(CMyTreeView::NodeOf(child));
  if (up == kTreeRoot) return {};
  return createIndex(view_->NodeRow(up), 0, up);
}

int CMyTreeModel::rowCount(const QModelIndex& parent) const {
  if (!ready_ || parent.column() > 0) return 0;
  return view_->NodeChildCount(CMyTreeView::NodeOf(parent));
}

int CMyTreeModel::columnCount(const QModelIndex&) const { return 1; }

QVariant CMyTreeModel::data(const QModelIndex& index, int role) const {
  if (!ready_ || !index.isValid()) return {};
  const TreeNode node = CMyTreeView::NodeOf(index);
  if (role == Qt::DisplayRole) return view_->NodeText(node);
  if (role == Qt::DecorationRole) {
    const QIcon& icon = view_->Image(view_->NodeImage(node));
    if (!icon.isNull()) return icon;
  }
  if (role == Qt::FontRole && view_->NodeBold(node)) {
    QFont font = view_->font();
    font.setBold(true);
    return font;
  }
  return {};
}

// ---------------------------------------------------------------- view

CMyTreeView::CMyTreeView(const wchar_t* class_name, QWidget* parent)
    : QTreeView(parent),
      class_name_(class_name != nullptr ? class_name : L"CMyTreeView"),
      model_(new CMyTreeModel(this)) {
  QuillogW(QUILLOG_INFO, QLF_PROGRAM_GUI, L"Creating %s View", class_name_);
  setModel(model_);
  setHeaderHidden(true);
  setRootIsDecorated(true);  // buttons and lines at the root too
  setItemsExpandable(true);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setIconSize(QSize(16, 16));
  setMouseTracking(true);  // hover follows the pointer
  // The selection keeps the system highlight when the tree loses the focus.
  QPalette colours = palette();
  for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText}) {
    colours.setColor(QPalette::Inactive, role, colours.color(QPalette::Active, role));
  }
  setPalette(colours);
}

CMyTreeView::~CMyTreeView() { model_->ready_ = false; }

int CMyTreeView::NodeImage(TreeNode) const { return -1; }

TreeNode CMyTreeView::NodeOf(const QModelIndex& index) {
  return index.isValid() ? static_cast<TreeNode>(index.internalId()) : kTreeRoot;
}

QModelIndex CMyTreeView::IndexOf(TreeNode node) const {
  if (node == kTreeRoot || !model_->ready_) return {};
  return model_->createIndex(NodeRow(node), 0, node);
}

TreeNode CMyTreeView::SelectedNode() const {
  const QModelIndexList rows = selectionModel()->selectedRows();
  return rows.isEmpty() ? kTreeRoot : NodeOf(rows.front());
}

void CMyTreeView::SelectNode(TreeNode node) {
  const QModelIndex index = IndexOf(node);
  if (!index.isValid()) {
    clearSelection();
    return;
  }
  setCurrentIndex(index);
  scrollTo(index);
}

const QIcon& CMyTreeView::Image(int index) const {
  static const QIcon none;
  if (index < 0 || static_cast<size_t>(index) >= images_.size()) return none;
  return images_[static_cast<size_t>(index)];
}

void CMyTreeView::TreeReady() {
  model_->beginResetModel();
  model_->ready_ = true;
  model_->endResetModel();
}

bool CMyTreeView::SetImages(const QStringList& paths) {
  images_.clear();
  bool all = true;
  for (const QString& path : paths) {
    QIcon icon(path);
    if (icon.pixmap(16, 16).isNull()) all = false;
    images_.push_back(icon);
  }
  if (!all) QuillogW(QUILLOG_ERROR, 0, L"%s::SetImages() : Unable to create the image list", class_name_);
  return all;
}

void CMyTreeView::BeginResetTree() { model_->beginResetModel(); }

void CMyTreeView::EndResetTree() { model_->endResetModel(); }

void CMyTreeView::BeginAppendChildren(TreeNode parent, int count) {
  const int first = NodeChildCount(parent);
  model_->beginInsertRows(IndexOf(parent), first, first + count - 1);
}

void CMyTreeView::EndAppendChildren() { model_->endInsertRows(); }

void CMyTreeView::focusInEvent(QFocusEvent* event) {
  QuillogW(QUILLOG_INFO, QLF_PROGRAM_GUI, L"%s::OnSetFocus()", class_name_);
  QTreeView::focusInEvent(event);
}

void CMyTreeView::focusOutEvent(QFocusEvent* event) {
  QuillogW(QUILLOG_INFO, QLF_PROGRAM_GUI, L"%s::OnKillFocus()", class_name_);
  QTreeView::focusOutEvent(event);
}
