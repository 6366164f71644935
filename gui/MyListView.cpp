#include "gui/MyListView.h"

#include "app/Settings.h"
#include "quillog/Quillog.h"

#include <QBrush>
#include <QHeaderView>
#include <QIcon>
#include <QPainter>
#include <QPixmap>

namespace {

constexpr uint32_t kDefaultColumnWidth = 50;
// A stored width beyond this is taken as damage, not as a wish.
constexpr uint32_t kMaxColumnWidth = 10000;

QColor SettingColour(uint32_t red, uint32_t green, uint32_t blue) {
  auto part = [](uint32_t number) { return static_cast<int>(std::min<uint32_t>(ReadSettingDword(number), 255)); };
  return QColor(part(red), part(green), part(blue));
}

// An SVG icon is drawn again whenever a row needs a size or mode not in
// Qt's pixmap cache, on the GUI thread, in the middle of a burst of rows:
// draw each image once here instead. Null when the drawing cannot be read.
QIcon PrerenderedIcon(const QString& path, QSize size, qreal ratio) {
  const QIcon drawing(path);
  QIcon icon;
  for (const qreal scale : {qreal(1), ratio}) {
    for (const QIcon::Mode mode : {QIcon::Normal, QIcon::Selected}) {
      const QPixmap pixmap = drawing.pixmap(size, scale, mode);
      if (!pixmap.isNull()) icon.addPixmap(pixmap, mode);
    }
    if (ratio == 1) break;
  }
  return icon;
}

}  // namespace

// ---------------------------------------------------------------- model

CMyListModel::CMyListModel(CMyListView* view) : QAbstractTableModel(view), m_view(view) {}

int CMyListModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid() || m_view == nullptr) return 0;
  return m_view->RowCount();
}

int CMyListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_headers.size());
}

QVariant CMyListModel::data(const QModelIndex& index, int role) const {
  if (m_view == nullptr || !index.isValid() || index.row() >= m_view->RowCount()) return {};
  switch (role) {
    case Qt::DisplayRole: return m_view->CellText(index.row(), index.column());
    case Qt::DecorationRole:
      if (index.column() != 0) return {};
      if (const QIcon& icon = m_view->Image(m_view->RowImage(index.row())); !icon.isNull()) return icon;
      return {};
    case Qt::TextAlignmentRole: return (m_view->ListModel()->Alignment(index.column()) | Qt::AlignVCenter).toInt();
    case Qt::ToolTipRole:
      if (QString tip = m_view->CellToolTip(index.row(), index.column()); !tip.isEmpty()) return tip;
      return {};
    case Qt::BackgroundRole:
      if (const QColor colour = m_view->RowColour(index.row()); colour.isValid()) return QBrush(colour);
      return {};
    default: return {};
  }
}

QVariant CMyListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  if (section < 0 || section >= m_headers.size()) return {};
  return m_headers[section];
}

// ---------------------------------------------------------------- view

CMyListView::CMyListView(const wchar_t* class_name, uint32_t width_setting, QWidget* parent)
    : QTableView(parent),
      m_class_name(class_name != nullptr ? class_name : L"CMyListView"),
      m_width_setting(width_setting),
      m_model(new CMyListModel(this)),
      m_odd_colour(OddRowColour()),
      m_even_colour(EvenRowColour()) {
  QuillogW(QUILLOG_INFO, QLF_PROGRAM_GUI, L"Creating %s View", m_class_name);
  setModel(m_model);
  // A report list: no grid, no row header, rows of one height.
  setShowGrid(false);
  setWordWrap(false);
  setCornerButtonEnabled(false);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setIconSize(QSize(16, 16));
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  QHeaderView* rows = verticalHeader();
  rows->hide();
  rows->setSectionResizeMode(QHeaderView::Fixed);
  rows->setDefaultSectionSize(std::max(fontMetrics().height() + 4, 20));
  header()->setHighlightSections(false);
  header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  header()->setStretchLastSection(true);
  viewport()->setCursor(Qt::ArrowCursor);
}

CMyListView::~CMyListView() {
  if (m_widths_applied) StoreColumnWidths();
  // The derived part is gone: the model must not ask it anything now.
  m_model->m_view = nullptr;
}

bool CMyListView::InsertColumn(int position, const QString& header_text, Qt::Alignment alignment) {
  const int count = static_cast<int>(m_model->m_headers.size());
  const bool right_place = position == count;
  if (!right_place) {
    QuillogW(QUILLOG_ERROR, 0, L"CMyListView::InsertColumn() : Position number seems to not be correct");
  }
  m_model->beginInsertColumns(QModelIndex(), count, count);
  m_model->m_headers.append(header_text);
  m_model->m_alignments.append(alignment);
  m_model->endInsertColumns();
  return right_place;
}

void CMyListView::ApplyColumnWidths() {
  if (m_width_setting == kNoWidthSetting) return;
  QHeaderView* bar = header();
  if (bar == nullptr) {
    QuillogW(QUILLOG_ERROR, 0, L"CMyListView::ApplyColumnWidths() : Header is NULL in %s windows", m_class_name);
    return;
  }
  for (int i = 0; i < m_model->columnCount(); ++i) {
    uint32_t width = kDefaultColumnWidth;
    ReadSettingDword(m_width_setting, i, &width);
    if (width > kMaxColumnWidth) {
      QuillogW(QUILLOG_ERROR, 0,
               L"CMyListView::ApplyColumnWidths() : Error while setting the size of the column %d in %s", i,
               m_class_name);
      width = kDefaultColumnWidth;
    }
    bar->resizeSection(i, static_cast<int>(width));
    QuillogW(QUILLOG_INFO, QLF_PROGRAM_GUI, L"Column %d is %d pixel width", i, static_cast<int>(width));
  }
  m_widths_applied = true;
}

void CMyListView::StoreColumnWidths() {
  if (m_width_setting == kNoWidthSetting) return;
  QHeaderView* bar = header();
  if (bar == nullptr) {
    QuillogW(QUILLOG_ERROR, 0, L"CMyListView::StoreColumnWidths() : Header is NULL in %s windows", m_class_name);
    return;
  }
  for (int i = 0; i < bar->count(); ++i) {
    const int width = bar->sectionSize(i);
    if (width < 0) {
      QuillogW(QUILLOG_ERROR, 0,
               L"CMyListView::StoreColumnWidths() : Error while reading the info structure of the column %d in %s", i,
               m_class_name);
      continue;
    }
    WriteSettingDword(m_width_setting, i, static_cast<uint32_t>(width));
  }
}

void CMyListView::ClearList() {
  if (m_row_count == 0) return;
  setUpdatesEnabled(false);
  m_model->beginResetModel();
  ReleaseRows();
  m_row_count = 0;
  m_model->endResetModel();
  // Lay out (and hide the scroll bar) before drawing again, so one paint shows the result.
  executeDelayedItemsLayout();
  setUpdatesEnabled(true);
  viewport()->update();
}

void CMyListView::SetBusy(bool busy) {
  m_busy = busy;
  viewport()->setCursor(busy ? Qt::WaitCursor : Qt::ArrowCursor);
}

int CMyListView::RowImage(int) const { return -1; }

QColor CMyListView::RowColour(int) const { return {}; }

QString CMyListView::EmptyText() const { return {}; }

QString CMyListView::CellToolTip(int, int) const { return {}; }

QColor CMyListView::OddRowColour() {
  return SettingColour(SETTING_ODD_ROW_RED, SETTING_ODD_ROW_GREEN, SETTING_ODD_ROW_BLUE);
}

QColor CMyListView::EvenRowColour() {
  return SettingColour(SETTING_EVEN_ROW_RED, SETTING_EVEN_ROW_GREEN, SETTING_EVEN_ROW_BLUE);
}

const QIcon& CMyListView::Image(int index) const {
  static const QIcon none;
  if (index < 0 || static_cast<size_t>(index) >= m_images.size()) return none;
  return m_images[static_cast<size_t>(index)];
}

void CMyListView::SetImages(const QStringList& paths) {
  m_images.clear();
  for (const QString& path : paths) {
    const QIcon icon = PrerenderedIcon(path, iconSize(), devicePixelRatioF());
    if (icon.isNull()) {
      QuillogW(QUILLOG_ERROR, 0, L"CMyListView::SetImages() : Unable to load the image %s", path.toStdWString());
    }
    m_images.push_back(icon);
  }
}

void CMyListView::BeginAppendRows(int count) {
  m_pending_rows = count;
  m_model->beginInsertRows(QModelIndex(), m_row_count, m_row_count + count - 1);
}

void CMyListView::EndAppendRows() {
  m_row_count += m_pending_rows;
  m_pending_rows = 0;
  m_model->endInsertRows();
}

void CMyListView::BeginInsertRow(int row) {
  m_pending_rows = 1;
  m_model->beginInsertRows(QModelIndex(), row, row);
}

void CMyListView::EndInsertRow() { EndAppendRows(); }

void CMyListView::BeginInsertRows(int row, int count) {
  m_pending_rows = count;
  m_model->beginInsertRows(QModelIndex(), row, row + count - 1);
}

void CMyListView::BeginRemoveRows(int row, int count) {
  m_pending_rows = count;
  m_model->beginRemoveRows(QModelIndex(), row, row + count - 1);
}

void CMyListView::EndRemoveRows() {
  m_row_count -= m_pending_rows;
  m_pending_rows = 0;
  m_model->endRemoveRows();
}

void CMyListView::RowChanged(int row) {
  emit m_model->dataChanged(m_model->index(row, 0), m_model->index(row, m_model->columnCount() - 1));
}

void CMyListView::BeginResetRows() { m_model->beginResetModel(); }

void CMyListView::EndResetRows(int count) {
  m_row_count = count;
  m_model->endResetModel();
}

void CMyListView::paintEvent(QPaintEvent* event) {
  QTableView::paintEvent(event);
  if (RowCount() != 0) return;
  const QString text = EmptyText();
  if (text.isEmpty()) return;
  QPainter painter(viewport());
  painter.setPen(palette().color(QPalette::Disabled, QPalette::Text));
  painter.drawText(viewport()->rect(), Qt::AlignCenter | Qt::TextWordWrap, text);
}

void CMyListView::focusInEvent(QFocusEvent* event) {
  QuillogW(QUILLOG_INFO, QLF_PROGRAM_GUI, L"%s::OnSetFocus()", m_class_name);
  QTableView::focusInEvent(event);
}

void CMyListView::focusOutEvent(QFocusEvent* event) {
  QuillogW(QUILLOG_INFO, QLF_PROGRAM_GUI, L"%s::OnKillFocus()", m_class_name);
  QTableView::focusOutEvent(event);
}
