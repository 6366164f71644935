#include "gui/MyTreeView.h"

#include "quillog/Quillog.h"

#include <QFont>
#include <QHeaderView>
#include <QPalette>

// ---------------------------------------------------------------- model

CMyTreeModel::CMyTreeModel(CMyTreeView* view) : QAbstractItemModel(view), m_view(view) {}

QModelIndex CMyTreeModel::index(int row, int column, const QModelIndex& parent) const {
  if (!m_ready || column != 0 || row < 0) return {};
  const TreeNode parent_node = CMyTreeView::NodeOf(parent);
  if (row >= m_view->NodeChildCount(parent_node)) return {};
  return createIndex(row, 0, m_view->NodeChild(parent_node, row));
}

QModelIndex CMyTreeModel::parent(const QModelIndex& child) const {
  if (!m_ready || !child.isValid()) return {};
  const TreeNode up = m_view->NodeParent(CMyTreeView::NodeOf(child));
  if (up == kTreeRoot) return {};
  return createIndex(m_view->NodeRow(up), 0, up);
}

int CMyTreeModel::rowCount(const QModelIndex& parent) const {
  if (!m_ready || parent.column() > 0) return 0;
  return m_view->NodeChildCount(CMyTreeView::NodeOf(parent));
}

int CMyTreeModel::columnCount(const QModelIndex&) const { return 1; }

QVariant CMyTreeModel::data(const QModelIndex& index, int role) const {
  if (!m_ready || !index.isValid()) return {};
  const TreeNode node = CMyTreeView::NodeOf(index);
  if (role == Qt::DisplayRole) return m_view->NodeText(node);
  if (role == Qt::DecorationRole) {
    const QIcon& icon = m_view->Image(m_view->NodeImage(node));
    if (!icon.isNull()) return icon;
  }
  if (role == Qt::FontRole && m_view->NodeBold(node)) {
    QFont font = m_view->font();
    font.setBold(true);
    return font;
  }
  return {};
}

// ---------------------------------------------------------------- view

CMyTreeView::CMyTreeView(const wchar_t* class_name, QWidget* parent)
    : QTreeView(parent),
      m_class_name(class_name != nullptr ? class_name : L"CMyTreeView"),
      m_model(new CMyTreeModel(this)) {
  QuillogW(QUILLOG_INFO, QLF_PROGRAM_GUI, L"Creating %s View", m_class_name);
  setModel(m_model);
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

CMyTreeView::~CMyTreeView() { m_model->m_ready = false; }

int CMyTreeView::NodeImage(TreeNode) const { return -1; }

TreeNode CMyTreeView::NodeOf(const QModelIndex& index) {
  return index.isValid() ? static_cast<TreeNode>(index.internalId()) : kTreeRoot;
}

QModelIndex CMyTreeView::IndexOf(TreeNode node) const {
  if (node == kTreeRoot || !m_model->m_ready) return {};
  return m_model->createIndex(NodeRow(node), 0, node);
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
  if (index < 0 || static_cast<size_t>(index) >= m_images.size()) return none;
  return m_images[static_cast<size_t>(index)];
}

void CMyTreeView::TreeReady() {
  m_model->beginResetModel();
  m_model->m_ready = true;
  m_model->endResetModel();
}

bool CMyTreeView::SetImages(const QStringList& paths) {
  m_images.clear();
  bool all = true;
  for (const QString& path : paths) {
    QIcon icon(path);
    if (icon.pixmap(16, 16).isNull()) all = false;
    m_images.push_back(icon);
  }
  if (!all) QuillogW(QUILLOG_ERROR, 0, L"%s::SetImages() : Unable to create the image list", m_class_name);
  return all;
}

void CMyTreeView::BeginResetTree() { m_model->beginResetModel(); }

void CMyTreeView::EndResetTree() { m_model->endResetModel(); }

void CMyTreeView::BeginAppendChildren(TreeNode parent, int count) {
  const int first = NodeChildCount(parent);
  m_model->beginInsertRows(IndexOf(parent), first, first + count - 1);
}

void CMyTreeView::EndAppendChildren() { m_model->endInsertRows(); }

void CMyTreeView::focusInEvent(QFocusEvent* event) {
  QuillogW(QUILLOG_INFO, QLF_PROGRAM_GUI, L"%s::OnSetFocus()", m_class_name);
  QTreeView::focusInEvent(event);
}

void CMyTreeView::focusOutEvent(QFocusEvent* event) {
  QuillogW(QUILLOG_INFO, QLF_PROGRAM_GUI, L"%s::OnKillFocus()", m_class_name);
  QTreeView::focusOutEvent(event);
}
