#include "setrig/OdbcRequest.h"

#include "kit/ZubException.h"
#include "quillog/Quillog.h"

#include <cwctype>
#include <stdexcept>

namespace {

bool SameName(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const wchar_t x = a[i] < 0x80 ? static_cast<wchar_t>(std::towlower(a[i])) : a[i];
    const wchar_t y = b[i] < 0x80 ? static_cast<wchar_t>(std::towlower(b[i])) : b[i];
    if (x != y) return false;
  }
  return true;
}

bool IsDate(SQLSMALLINT type) { return type == SQL_DATE || type == SQL_TYPE_DATE; }

bool IsKnownType(SQLSMALLINT type) { return std::wstring_view(OdbcSqlTypeName(type)) != L"Type SQL inconnu"; }

}  // namespace

long CZubResultSet::ColumnIndex(std::wstring_view name) const {
  for (size_t i = 0; i < m_columns.size(); ++i) {
    if (SameName(m_columns[i].name, name)) return static_cast<long>(i);
  }
  return -1;
}

const CZubResultSet::Cell& CZubResultSet::Value(size_t row, std::wstring_view name) const {
  const long column = ColumnIndex(name);
  if (column < 0) throw std::out_of_range("no such column");
  return Value(row, static_cast<size_t>(column));
}

CZubOdbcReq::CZubOdbcReq(CZubOdbc& odbc) : m_odbc(odbc) {}

CZubOdbcReq::~CZubOdbcReq() {
  if (m_prepared && !m_finished) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"The SQL request [%s] has been prepared but never finished", m_sql);
  }
}

bool CZubOdbcReq::Prepare(std::wstring_view sql) {
  if (m_prepared && !m_finished) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"The SQL request [%s] has been prepared but never finished", m_sql);
  }
  m_prepared = false;
  m_finished = false;
  m_params.clear();
  m_results.clear();
  m_sql.assign(sql);
  QuillogW(QUILLOG_INFO, QLF_LIB_ODBC, L"Requete : %s", m_sql);

  if (!m_stmt.Allocate(SQL_HANDLE_STMT, m_odbc.Connection())) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Database error when allocating the statement");
    return false;
  }
  std::string text = OdbcText(m_sql);
  if (!SQL_SUCCEEDED(SQLPrepare(m_stmt.Get(), OdbcChars(text), static_cast<SQLINTEGER>(text.size())))) {
    OdbcLogError(L"SQLPrepare()", SQL_HANDLE_STMT, m_stmt.Get());
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"ODBC Request error : [%s]", m_sql);
    return false;
  }
  if (!_describe_params()) return false;
  m_prepared = true;
  return true;
}

bool CZubOdbcReq::_describe_params() {
  SQLSMALLINT count = 0;
  if (!SQL_SUCCEEDED(SQLNumParams(m_stmt.Get(), &count))) {
    OdbcLogError(L"SQLNumParams()", SQL_HANDLE_STMT, m_stmt.Get());
    return false;
  }
  QuillogW(QUILLOG_INFO, QLF_LIB_ODBC, L"There is %d parameters", static_cast<int>(count));
  if (count > kMaxParams) throw new CZubException(L"Too much parameters for the SQL request");
  m_params.resize(static_cast<size_t>(count));
  for (SQLSMALLINT i = 0; i < count; ++i) {
    Param& param = m_params[static_cast<size_t>(i)];
    SQLSMALLINT nullable = 0;
    const SQLRETURN rc = SQLDescribeParam(m_stmt.Get(), static_cast<SQLUSMALLINT>(i + 1), &param.type, &param.size,
                                          &param.digits, &nullable);
    if (!SQL_SUCCEEDED(rc)) {
      // Not every driver describes parameters: they are then sent as text.
      OdbcLogError(L"SQLDescribeParam()", SQL_HANDLE_STMT, m_stmt.Get());
      param = Param{};
    }
    QuillogW(QUILLOG_INFO, QLF_LIB_ODBC, L"The param %d is %s type", i + 1, OdbcSqlTypeName(param.type));
  }
  return true;
}

bool CZubOdbcReq::SetParam(int number, std::optional<std::wstring> value) {
  if (!m_prepared || number < 1 || number > ParamCount()) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"The SQL request [%s] has no param %d", m_sql, number);
    return false;
  }
  Param& param = m_params[static_cast<size_t>(number - 1)];
  param.set = true;
  param.value.reset();
  if (value) param.value = OdbcText(*value);
  return true;
}

bool CZubOdbcReq::Finish(bool throw_on_error) {
  if (!m_prepared) throw new CZubException(L"The SQL request needs first to be prepared before using Finish()");
  m_finished = true;
  m_results.clear();
  if (!_bind_params()) return _fail(throw_on_error);
  const SQLRETURN rc = _execute();
  if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
    OdbcLogError(L"SQLExecute()", SQL_HANDLE_STMT, m_stmt.Get());
    return _fail(throw_on_error);
  }
  if (rc != SQL_NO_DATA && !_read_results()) return _fail(throw_on_error);
  _close_cursor();
  return true;
}

bool CZubOdbcReq::_bind_params() {
  for (size_t i = 0; i < m_params.size(); ++i) {
    Param& param = m_params[i];
    const int number = static_cast<int>(i + 1);
    if (!param.set) {
      QuillogW(QUILLOG_ERROR, QLF_NONE, L"The param %d of the SQL request has no value", number);
      return false;
    }
    param.indicator = param.value ? static_cast<SQLLEN>(param.value->size()) : SQL_NULL_DATA;
    SQLULEN size = param.size;
    if (size == 0) size = param.value && !param.value->empty() ? param.value->size() : 1;
    SQLPOINTER data = param.value ? param.value->data() : nullptr;
    const SQLLEN length = param.value ? static_cast<SQLLEN>(param.value->size()) : 0;
    const SQLRETURN rc = SQLBindParameter(m_stmt.Get(), static_cast<SQLUSMALLINT>(number), SQL_PARAM_INPUT, SQL_C_CHAR,
                                          param.type, size, param.digits, data, length, &param.indicator);
    if (!SQL_SUCCEEDED(rc)) {
      OdbcLogError(L"SQLBindParameter()", SQL_HANDLE_STMT, m_stmt.Get());
      return false;
    }
  }
  return true;
}

// Values are bound in place; a driver that still asks for them at
// execution gets them through SQLPutData.
SQLRETURN CZubOdbcReq::_execute() {
  SQLRETURN rc = SQLExecute(m_stmt.Get());
  while (rc == SQL_NEED_DATA) {
    SQLPOINTER token = nullptr;
    rc = SQLParamData(m_stmt.Get(), &token);
    if (rc != SQL_NEED_DATA) break;
    const Param* param = _param_of(token);
    if (param == nullptr) return SQL_ERROR;
    const SQLRETURN put = param->value ? SQLPutData(m_stmt.Get(), const_cast<char*>(param->value->data()),
                                                    static_cast<SQLLEN>(param->value->size()))
                                       : SQLPutData(m_stmt.Get(), nullptr, SQL_NULL_DATA);
    if (!SQL_SUCCEEDED(put)) return put;
  }
  return rc;
}

const CZubOdbcReq::Param* CZubOdbcReq::_param_of(SQLPOINTER token) const {
  for (const Param& param : m_params) {
    if (param.value && token == param.value->data()) return &param;
  }
  return nullptr;
}

bool CZubOdbcReq::_read_results() {
  for (;;) {
    SQLSMALLINT columns = 0;
    if (!SQL_SUCCEEDED(SQLNumResultCols(m_stmt.Get(), &columns))) {
      OdbcLogError(L"SQLNumResultCols()", SQL_HANDLE_STMT, m_stmt.Get());
      return false;
    }
    if (columns > 0 && !_read_result_set(columns)) return false;
    const SQLRETURN more = SQLMoreResults(m_stmt.Get());
    if (more == SQL_NO_DATA) return true;
    if (!SQL_SUCCEEDED(more)) {
      OdbcLogError(L"SQLMoreResults()", SQL_HANDLE_STMT, m_stmt.Get());
      return false;
    }
  }
}

bool CZubOdbcReq::_read_result_set(SQLSMALLINT columns) {
  CZubResultSet set;
  for (SQLSMALLINT i = 1; i <= columns; ++i) {
    SQLCHAR name[256] = {};
    SQLSMALLINT name_length = 0;
    CZubResultSet::Column column;
    SQLULEN size = 0;
    SQLSMALLINT digits = 0;
    SQLSMALLINT nullable = 0;
    if (!SQL_SUCCEEDED(SQLDescribeCol(m_stmt.Get(), static_cast<SQLUSMALLINT>(i), name, 256, &name_length, &column.type,
                                      &size, &digits, &nullable))) {
      OdbcLogError(L"SQLDescribeCol()", SQL_HANDLE_STMT, m_stmt.Get());
      return false;
    }
    column.name = OdbcWide(OdbcView(name));
    QuillogW(QUILLOG_INFO, QLF_LIB_ODBC, L"The Column %d is %s type", static_cast<int>(i),
             OdbcSqlTypeName(column.type));
    if (!IsKnownType(column.type) && !IsDate(column.type)) {
      QuillogW(QUILLOG_WARNING, QLF_NONE, L"The ODBC type %d is unknown", static_cast<int>(column.type));
    }
    set.AddColumn(std::move(column));
  }
  for (;;) {
    const SQLRETURN rc = SQLFetch(m_stmt.Get());
    if (rc == SQL_NO_DATA) break;
    if (!SQL_SUCCEEDED(rc)) {
      OdbcLogError(L"SQLFetch()", SQL_HANDLE_STMT, m_stmt.Get());
      return false;
    }
    std::vector<CZubResultSet::Cell> row;
    row.reserve(set.ColumnCount());
    for (size_t c = 0; c < set.ColumnCount(); ++c) {
      row.push_back(_read_cell(static_cast<SQLUSMALLINT>(c + 1), set.GetColumn(c).type));
    }
    set.AddRow(std::move(row));
  }
  m_results.push_back(std::move(set));
  return true;
}

CZubResultSet::Cell CZubOdbcReq::_read_cell(SQLUSMALLINT column, SQLSMALLINT type) {
  SQLLEN indicator = 0;
  if (IsDate(type)) {
    DATE_STRUCT date{};
    if (!SQL_SUCCEEDED(SQLGetData(m_stmt.Get(), column, SQL_C_DATE, &date, sizeof date, &indicator))) {
      OdbcLogError(L"SQLGetData()", SQL_HANDLE_STMT, m_stmt.Get());
      return std::nullopt;
    }
    if (indicator == SQL_NULL_DATA) return std::nullopt;
    return QuillogFormat(L"%.4d-%.2d-%.2d", static_cast<int>(date.year), static_cast<int>(date.month),
                         static_cast<int>(date.day));
  }
  if (!IsKnownType(type)) return std::nullopt;

  // Text in pieces: each call fills the buffer but its last byte (the
  // terminator); a piece may end inside a UTF-8 sequence.
  constexpr size_t kBytes = 4096;
  SQLCHAR buffer[kBytes];
  std::string text;
  for (;;) {
    const SQLRETURN rc = SQLGetData(m_stmt.Get(), column, SQL_C_CHAR, buffer, sizeof buffer, &indicator);
    if (rc == SQL_NO_DATA) break;
    if (!SQL_SUCCEEDED(rc)) {
      OdbcLogError(L"SQLGetData()", SQL_HANDLE_STMT, m_stmt.Get());
      return std::nullopt;
    }
    if (indicator == SQL_NULL_DATA) return std::nullopt;
    size_t bytes = kBytes - 1;
    if (indicator != SQL_NO_TOTAL && static_cast<size_t>(indicator) < kBytes) bytes = static_cast<size_t>(indicator);
    text.append(OdbcView(buffer, bytes));
    if (rc == SQL_SUCCESS) break;
  }
  return OdbcWide(text);
}

bool CZubOdbcReq::_fail(bool throw_on_error) {
  QuillogW(QUILLOG_ERROR, QLF_NONE, L"ODBC Request error : [%s]", m_sql);
  _close_cursor();
  if (throw_on_error) throw new CZubException(L"Database SQL request error");
  return false;
}

void CZubOdbcReq::_close_cursor() {
  SQLFreeStmt(m_stmt.Get(), SQL_CLOSE);
  SQLFreeStmt(m_stmt.Get(), SQL_RESET_PARAMS);
}
