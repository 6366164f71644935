// One SQL batch on a pooled connector: prepared, given its parameters,
// executed, and its result sets read as text.
//
//   CZubOdbc odbc;
//   CZubOdbcReq req(odbc);
//   if (req.Prepare(L"SELECT name FROM agents WHERE port = ?") && req.SetParam(1, L"161") &&
//       req.Finish(false)) {
//     const CZubResultSet& rows = req.ResultSets().front();
//     ... rows.Value(0, L"name") ...
//   }
#pragma once

#include "setrig/OdbcHandle.h"
#include "setrig/OdbcPool.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Rows of text values (null kept as no value), columns by number (from 0)
// or by name (ASCII case ignored).
class CZubResultSet {
 public:
  using Cell = std::optional<std::wstring>;

  struct Column {
    std::wstring name;
    SQLSMALLINT type = 0;
  };

  size_t ColumnCount() const { return m_columns.size(); }
  size_t RowCount() const { return m_rows.size(); }
  const Column& GetColumn(size_t column) const { return m_columns.at(column); }
  // Position of the column called `name`, -1 when there is none.
  long ColumnIndex(std::wstring_view name) const;

  // Throw std::out_of_range for a row or column that does not exist.
  const Cell& Value(size_t row, size_t column) const { return m_rows.at(row).at(column); }
  const Cell& Value(size_t row, std::wstring_view name) const;

  void AddColumn(Column column) { m_columns.push_back(std::move(column)); }
  void AddRow(std::vector<Cell> row) { m_rows.push_back(std::move(row)); }

 private:
  std::vector<Column> m_columns;
  std::vector<std::vector<Cell>> m_rows;
};

class CZubOdbcReq {
 public:
  static constexpr int kMaxParams = 20;

  explicit CZubOdbcReq(CZubOdbc& odbc);
  ~CZubOdbcReq();
  CZubOdbcReq(const CZubOdbcReq&) = delete;
  CZubOdbcReq& operator=(const CZubOdbcReq&) = delete;

  // Prepares one batch and describes its parameters. Throws a
  // CZubException* for more than 20 parameters.
  bool Prepare(std::wstring_view sql);
  // Value of parameter `number` (from 1); no value means SQL NULL.
  bool SetParam(int number, std::optional<std::wstring> value);
  // Executes the prepared batch and reads every result set. On failure
  // returns false, or throws a CZubException* when `throw_on_error`.
  // Throws when nothing was prepared.
  bool Finish(bool throw_on_error);

  int ParamCount() const { return static_cast<int>(m_params.size()); }
  SQLSMALLINT ParamType(int number) const { return m_params.at(static_cast<size_t>(number - 1)).type; }
  const std::vector<CZubResultSet>& ResultSets() const { return m_results; }
  const std::wstring& Sql() const { return m_sql; }

 private:
  struct Param {
    SQLSMALLINT type = SQL_VARCHAR;
    SQLULEN size = 0;
    SQLSMALLINT digits = 0;
    bool set = false;
    std::optional<std::string> value;  // UTF-8
    SQLLEN indicator = 0;
  };

  bool _describe_params();
  bool _bind_params();
  SQLRETURN _execute();
  const Param* _param_of(SQLPOINTER token) const;
  bool _read_results();
  bool _read_result_set(SQLSMALLINT columns);
  CZubResultSet::Cell _read_cell(SQLUSMALLINT column, SQLSMALLINT type);
  bool _fail(bool throw_on_error);
  void _close_cursor();

  CZubOdbc& m_odbc;
  CZubOdbcHandle m_stmt;
  std::wstring m_sql;
  std::vector<Param> m_params;
  std::vector<CZubResultSet> m_results;
  bool m_prepared = false;
  bool m_finished = false;
};
