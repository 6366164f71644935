// CMyListView: the virtual report list shared by the tool views.
//
// Rows are not stored in the widget: a small Qt model asks the derived view
// for each cell text, row image and row colour when the widget needs them.
// The derived view owns its records (CMyListViewOf below keeps them in a
// vector) and tells the base when rows come and go, so rows are inserted in
// batches and clearing releases every record and repaints once.
//
// Column widths come from the view's ColWidth setting (ColWidth_0,
// ColWidth_1, ..., default 50) once the columns exist, and go back there
// when the view is destroyed.
#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QIcon>
#include <QStringList>
#include <QTableView>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CMyListView;

// The model behind a CMyListView: every answer comes from the view.
class CMyListModel : public QAbstractTableModel {
 public:
  explicit CMyListModel(CMyListView* view);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::Alignment Alignment(int column) const {
    return column >= 0 && column < m_alignments.size() ? m_alignments[column] : Qt::AlignLeft;
  }

 private:
  friend class CMyListView;
  CMyListView* m_view;
  QStringList m_headers;
  QList<Qt::Alignment> m_alignments;
};

class CMyListView : public QTableView {
 public:
  // For a list whose widths are not kept.
  static constexpr uint32_t kNoWidthSetting = 0xFFFFFFFFu;
  // Rows that arrive one at a time (walk answers, traps) are appended at
  // most this often: one insertion and one repaint per batch, not per row.
  static constexpr int kRowBatchMs = 50;

  // class_name names the view in log lines ("Creating %s View");
  // width_setting is the number of its ColWidth setting.
  CMyListView(const wchar_t* class_name, uint32_t width_setting, QWidget* parent = nullptr);
  // Writes the column widths back.
  ~CMyListView() override;

  const std::wstring& ClassName() const { return m_class_name; }
  // The column header.
  QHeaderView* header() const { return horizontalHeader(); }
  CMyListModel* ListModel() const { return m_model; }

  // Adds a column at `position`, which must be the current column count
  // (another position is logged and the column still goes last).
  bool InsertColumn(int position, const QString& header, Qt::Alignment alignment = Qt::AlignLeft);
  // Reads ColWidth_i for every column and applies it; call once the
  // columns exist.
  void ApplyColumnWidths();
  // Writes the current widths to ColWidth_i.
  void StoreColumnWidths();

  // Releases every record, removes every row and repaints once.
  void ClearList();
  // Wait cursor over the list while busy, the arrow otherwise.
  void SetBusy(bool busy);
  bool IsBusy() const { return m_busy; }

  // Rows shown; kept by the brackets below, so the model never has to ask
  // a view that is still being built.
  int RowCount() const { return m_row_count; }

  // What the derived view answers.
  virtual QString CellText(int row, int column) const = 0;
  // Index into the row images, -1 for none.
  virtual int RowImage(int row) const;
  // Background of a row; an invalid colour for the default.
  virtual QColor RowColour(int row) const;
  // Drawn in the middle of an empty list.
  virtual QString EmptyText() const;
  // Shown when the pointer rests on a cell; empty for none.
  virtual QString CellToolTip(int row, int column) const;

  // The alternating backgrounds (settings 10-12 and 13-15). The first row
  // is row 1, an odd row.
  static QColor OddRowColour();
  static QColor EvenRowColour();
  QColor AlternateRowColour(int row) const { return row % 2 == 0 ? m_odd_colour : m_even_colour; }

  const QIcon& Image(int index) const;

 protected:
  // The row images, one resource path per index.
  void SetImages(const QStringList& paths);
  // Releases the records of every row; returns how many were released.
  virtual size_t ReleaseRows() = 0;
  // Bracket every change of the derived view's rows.
  void BeginAppendRows(int count);
  void EndAppendRows();
  void BeginInsertRow(int row);
  void EndInsertRow();
  // `count` rows at `row` (a block opened under a row, say).
  void BeginInsertRows(int row, int count);
  void EndInsertRows() { EndAppendRows(); }
  void BeginRemoveRows(int row, int count);
  void EndRemoveRows();
  // The row's cells are to be asked again.
  void RowChanged(int row);
  // Every row changes at once; the list then has `count` rows.
  void BeginResetRows();
  void EndResetRows(int count);

  void paintEvent(QPaintEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  std::wstring m_class_name;
  uint32_t m_width_setting;
  bool m_widths_applied = false;
  bool m_busy = false;
  int m_row_count = 0;
  int m_pending_rows = 0;
  CMyListModel* m_model;
  std::vector<QIcon> m_images;
  QColor m_odd_colour;
  QColor m_even_colour;
};

// A list view owning one record per row.
template <typename Record, typename Deleter = std::default_delete<Record>>
class CMyListViewOf : public CMyListView {
 public:
  using Pointer = std::unique_ptr<Record, Deleter>;
  using CMyListView::CMyListView;

  Record* Item(int row) const {
    return row >= 0 && static_cast<size_t>(row) < m_rows.size() ? m_rows[static_cast<size_t>(row)].get() : nullptr;
  }

  // Appends the records as one batch of rows.
  void AddItems(std::vector<Pointer>& records) {
    if (records.empty()) return;
    BeginAppendRows(static_cast<int>(records.size()));
    // Grow geometrically: an exact reserve per batch would copy every row each time.
    const size_t needed = m_rows.size() + records.size();
    if (needed > m_rows.capacity()) m_rows.reserve(std::max(needed, m_rows.capacity() * 2));
    for (Pointer& r : records) m_rows.push_back(std::move(r));
    records.clear();
    EndAppendRows();
  }
  void AddItem(Pointer record) {
    std::vector<Pointer> one;
    one.push_back(std::move(record));
    AddItems(one);
  }
  // Puts a record in place of the row's own and redraws the row.
  void ReplaceItem(int row, Pointer record) {
    if (row < 0 || static_cast<size_t>(row) >= m_rows.size()) return;
    m_rows[static_cast<size_t>(row)] = std::move(record);
    RowChanged(row);
  }
  // Inserts at `row` (clamped to the list).
  void InsertItem(int row, Pointer record) {
    row = std::clamp(row, 0, static_cast<int>(m_rows.size()));
    BeginInsertRow(row);
    m_rows.insert(m_rows.begin() + row, std::move(record));
    EndInsertRow();
  }

 protected:
  size_t ReleaseRows() override {
    const size_t count = m_rows.size();
    m_rows.clear();
    return count;
  }

 private:
  std::vector<Pointer> m_rows;
};
