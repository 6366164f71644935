#include "gui/MyListView.h"

#include <QBrush>
#include <QHeaderView>
#include <QIcon>
#include <QPainter>
#include <QPixmap>

#include "app/Settings.h"
#include "quillog/Quillog.h"

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

CMyListModel::CMyListModel(CMyListView* view) : QAbstractTableModel(view), view_(view) {}

int CMyListModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid() || view_ == nullptr) return 0;
  return view_->RowCount();
}

int CMyListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(headers_.size());
}

QVariant CMyListModel::data(const QModelIndex& index, int role) const {
  if (view_ == nullptr || !index.isValid() || index.row() >= view_->RowCount()) return {};
  switch (role) {
    case Qt::DisplayRole:
      return view_->CellText(index.row(), index.column());
    case Qt::DecorationRole:
      if (index.column() != 0) return {};
      if (const QIcon& icon = view_->Image(view_->RowImage(index.row())); !icon.isNull()) return icon;
      return {};
    case Qt::TextAlignmentRole:
      return (view_->ListModel()->Alignment(index.column()) | Qt::AlignVCenter).toInt();
    case Qt::ToolTipRole:
      if (QString tip = view_->CellToolTip(index.row(), index.column()); !tip.isEmpty()) return tip;
      return {};
    case Qt::BackgroundRole:
      if (const QColor colour = view_->RowColour(index.row()); colour.isValid()) return QBrush(colour);
      return {};
    default:
      return {};
  }
}

QVariant CMyListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  if (section < 0 || section >= headers_.size()) return {};
  return headers_[section];
}

// ---------------------------------------------------------------- view

CMyListView::CMyListView(const wchar_t* class_name, uint32_t width_setting, QWidget* parent)
    : QTableView(parent),
      class_name_(class_name != nullptr ? class_name : L"CMyListView"),
      width_setting_(width_setting),
      model_(new CMyListModel(this)),
      odd_colour_(OddRowColour()),
      even_colour_(EvenRowColour()) {
  QuillogW(QUILLOG_INFO, QLF_PROGRAM_GUI, L"Creating %s View", class_name_);
  setModel(model_);
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
  if (widths_applied_) StoreColumnWidths();
  // The derived part is gone: the model must not ask it anything now.
  model_->view_ = nullptr;
}

bool CMyListView::InsertColumn(int position, const QString& header_text, Qt::Alignment alignment) {
  const int count = static_cast<int>(model_->headers_.size());
  const bool right_place = position == count;
  if (!right_place) {
    QuillogW(QUILLOG_ERROR, 0, L"CMyListView::InsertColumn() : Position number seems to not be correct");
  }
  model_->beginInsertColumns(QModelIndex(), count, count);
  model_->headers_.append(header_text);
  model_->alignments_.append(alignment);
  model_->endInsertColumns();
  return right_place;
}

void CMyListView::ApplyColumnWidths() {
  if (width_setting_ == kNoWidthSetting) return;
  QHeaderView* bar = header();
  if (bar == nullptr) {
    QuillogW(QUILLOG_ERROR, 0, L"CMyListView::ApplyColumnWidths() : Header is NULL in %s windows", class_name_);
    return;
  }
  for (int i = 0; i < model_->columnCount(); ++i) {
    uint32_t width = kDefaultColumnWidth;
    ReadSettingDword(width_setting_, i, &width);
    if (width > kMaxColumnWidth) {
      QuillogW(QUILLOG_ERROR, 0,
               L"CMyListView::ApplyColumnWidths() : Error while setting the size of the column %d in %s", i,
               class_name_);
      width = kDefaultColumnWidth;
    }
    bar->resizeSection(i, static_cast<int>(width));
    QuillogW(QUILLOG_INFO, QLF_PROGRAM_GUI, L"Column %d is %d pixel width", i, static_cast<int>(width));
  }
  widths_applied_ = true;
}

void CMyListView::StoreColumnWidths() {
  if (width_setting_ == kNoWidthSetting) return;
  QHeaderView* bar = header();
  if (bar == nullptr) {
    QuillogW(QUILLOG_ERROR, 0, L"CMyListView::StoreColumnWidths() : Header is NULL in %s windows", class_name_);
    return;
  }
  for (int i = 0; i < bar->count(); ++i) {
    const int width = bar->sectionSize(i);
    if (width < 0) {
      QuillogW(QUILLOG_ERROR, 0,
               L"CMyListView::StoreColumnWidths() : Error while reading the info structure of the column %d in %s", i,
               class_name_);
      continue;
    }
    WriteSettingDword(width_setting_, i, static_cast<uint32_t>(width));
  }
}

void CMyListView::ClearList() {
  if (row_count_ == 0) return;
  setUpdatesEnabled(false);
  model_->beginResetModel();
  ReleaseRows();
  row_count_ = 0;
  model_->endResetModel();
  // Lay out (and hide the scroll bar) before drawing again, so one paint shows the result.
  executeDelayedItemsLayout();
  setUpdatesEnabled(true);
  viewport()->update();
}

void CMyListView::SetBusy(bool busy) {
  busy_ = busy;
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
  if (index < 0 || static_cast<size_t>(index) >= images_.size()) return none;
  return images_[static_cast<size_t>(index)];
}

void CMyListView::SetImages(const QStringList& paths) {
  images_.clear();
  for (const QString& path : paths) {
    const QIcon icon = PrerenderedIcon(path, iconSize(), devicePixelRatioF());
    if (icon.isNull()) {
      QuillogW(QUILLOG_ERROR, 0, L"CMyListView::SetImages() : Unable to load the image %s", path.toStdWString());
    }
    images_.push_back(icon);
  }
}

void CMyListView::BeginAppendRows(int count) {
  pending_rows_ = count;
  model_->beginInsertRows(QModelIndex(), row_count_, row_count_ + count - 1);
}

void CMyListView::EndAppendRows() {
  row_count_ += pending_rows_;
  pending_rows_ = 0;
  model_->endInsertRows();
}

void CMyListView::BeginInsertRow(int row) {
  pending_rows_ = 1;
  model_->beginInsertRows(QModelIndex(), row, row);
}

void CMyListView::EndInsertRow() { EndAppendRows(); }

void CMyListView::BeginInsertRows(int row, int count) {
  pending_rows_ = count;
  model_->beginInsertRows(QModelIndex(), row, row + count - 1);
}

void CMyListView::BeginRemoveRows(int row, int count) {
  pending_rows_ = count;
  model_->beginRemoveRows(QModelIndex(), row, row + count - 1);
}

void CMyListView::EndRemoveRows() {
  row_count_ -= pending_rows_;
  pending_rows_ = 0;
  model_->endRemoveRows();
}

void CMyListView::RowChanged(int row) {
  emit model_->dataChanged(model_->index(row, 0), model_->index(row, model_->columnCount() - 1));
}

void CMyListView::BeginResetRows() { model_->beginResetModel(); }

void CMyListView::EndResetRows(int count) {
  row_count_ = count;
  model_->endResetModel();
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
  QuillogW(QUILLOG_INFO, QLF_PROGRAM_GUI, L"%s::OnSetFocus()", class_name_);
  QTableView::focusInEvent(event);
}

void CMyListView::focusOutEvent(QFocusEvent* event) {
  QuillogW(QUILLOG_INFO, QLF_PROGRAM_GUI, L"%s::OnKillFocus()", class_name_);
  QTableView::focusOutEvent(event);
}
