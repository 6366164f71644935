#include "setrig/OdbcHandle.h"

#include "quillog/Quillog.h"

#include <utility>

CZubOdbcHandle& CZubOdbcHandle::operator=(CZubOdbcHandle&& other) noexcept {
  if (this != &other) {
    Free();
    m_type = other.m_type;
    m_handle = other.Release();
  }
  return *this;
}

bool CZubOdbcHandle::Allocate(SQLSMALLINT type, SQLHANDLE parent) {
  Free();
  SQLHANDLE handle = SQL_NULL_HANDLE;
  const SQLRETURN rc = SQLAllocHandle(type, parent, &handle);
  if (!SQL_SUCCEEDED(rc)) {
    const SQLSMALLINT parent_type = type == SQL_HANDLE_STMT ? SQL_HANDLE_DBC : SQL_HANDLE_ENV;
    OdbcLogError(L"SQLAllocHandle()", parent_type, parent);
    return false;
  }
  m_type = type;
  m_handle = handle;
  return true;
}

bool CZubOdbcHandle::Free() {
  if (m_handle == SQL_NULL_HANDLE) return true;
  const SQLRETURN rc = SQLFreeHandle(m_type, m_handle);
  const bool ok = SQL_SUCCEEDED(rc);
  if (!ok) OdbcLogError(L"SQLFreeHandle()", m_type, m_handle);
  m_handle = SQL_NULL_HANDLE;
  return ok;
}

SQLHANDLE CZubOdbcHandle::Release() { return std::exchange(m_handle, nullptr); }

void OdbcLogError(const wchar_t* function, SQLSMALLINT handle_type, SQLHANDLE handle) {
  QuillogW(QUILLOG_ERROR, QLF_NONE, L"%s", function);
  if (handle == SQL_NULL_HANDLE) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"No diagnostic available");
    return;
  }
  SQLSMALLINT record = 1;
  for (;; ++record) {
    SQLCHAR state[6] = {};
    SQLCHAR text[SQL_MAX_MESSAGE_LENGTH] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    const SQLRETURN rc =
        SQLGetDiagRec(handle_type, handle, record, state, &native, text, SQL_MAX_MESSAGE_LENGTH, &length);
    if (rc == SQL_NO_DATA) break;
    if (!SQL_SUCCEEDED(rc)) {
      QuillogW(QUILLOG_ERROR, QLF_NONE, L"SQLGetDiagRec()");
      break;
    }
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"%s\n%s\n%s", OdbcWide(OdbcView(state)), std::to_wstring(native),
             OdbcWide(OdbcView(text)));
  }
  if (record == 1) QuillogW(QUILLOG_ERROR, QLF_NONE, L"No diagnostic available");
}

const wchar_t* OdbcSqlTypeName(SQLSMALLINT type) {
  switch (type) {
    case SQL_CHAR: return L"SQL_CHAR";
    case SQL_VARCHAR: return L"SQL_VARCHAR";
    case SQL_LONGVARCHAR: return L"SQL_LONGVARCHAR";
    case SQL_WCHAR: return L"SQL_WCHAR";
    case SQL_WVARCHAR: return L"SQL_WVARCHAR";
    case SQL_WLONGVARCHAR: return L"SQL_WLONGVARCHAR";
    case SQL_DECIMAL: return L"SQL_DECIMAL";
    case SQL_NUMERIC: return L"SQL_NUMERIC";
    case SQL_SMALLINT: return L"SQL_SMALLINT";
    case SQL_INTEGER: return L"SQL_INTEGER";
    case SQL_REAL: return L"SQL_REAL";
    case SQL_FLOAT: return L"SQL_FLOAT";
    case SQL_DOUBLE: return L"SQL_DOUBLE";
    case SQL_BIT: return L"SQL_BIT";
    case SQL_TINYINT: return L"SQL_TINYINT";
    case SQL_BIGINT: return L"SQL_BIGINT";
    case SQL_BINARY: return L"SQL_BINARY";
    case SQL_VARBINARY: return L"SQL_VARBINARY";
    case SQL_LONGVARBINARY: return L"SQL_LONGVARBINARY";
    case SQL_TYPE_DATE: return L"SQL_TYPE_DATE";
    case SQL_TYPE_TIME: return L"SQL_TYPE_TIME";
    case SQL_TYPE_TIMESTAMP: return L"SQL_TYPE_TIMESTAMP";
    case SQL_DATETIME: return L"SQL_DATETIME";  // also SQL_DATE of ODBC 2
    case SQL_TIMESTAMP: return L"SQL_TIMESTAMP";
    case SQL_INTERVAL_YEAR: return L"SQL_INTERVAL_YEAR";
    case SQL_INTERVAL_MONTH: return L"SQL_INTERVAL_MONTH";
    case SQL_INTERVAL_DAY: return L"SQL_INTERVAL_DAY";
    case SQL_INTERVAL_HOUR: return L"SQL_INTERVAL_HOUR";
    case SQL_INTERVAL_MINUTE: return L"SQL_INTERVAL_MINUTE";
    case SQL_INTERVAL_SECOND: return L"SQL_INTERVAL_SECOND";
    case SQL_INTERVAL_YEAR_TO_MONTH: return L"SQL_INTERVAL_YEAR_TO_MONTH";
    case SQL_INTERVAL_DAY_TO_HOUR: return L"SQL_INTERVAL_DAY_TO_HOUR";
    case SQL_INTERVAL_DAY_TO_MINUTE: return L"SQL_INTERVAL_DAY_TO_MINUTE";
    case SQL_INTERVAL_DAY_TO_SECOND: return L"SQL_INTERVAL_DAY_TO_SECOND";
    case SQL_INTERVAL_HOUR_TO_MINUTE: return L"SQL_INTERVAL_HOUR_TO_MINUTE";
    case SQL_INTERVAL_HOUR_TO_SECOND: return L"SQL_INTERVAL_HOUR_TO_SECOND";
    case SQL_INTERVAL_MINUTE_TO_SECOND: return L"SQL_INTERVAL_MINUTE_TO_SECOND";
    case SQL_GUID: return L"SQL_GUID";
    default: return L"Type SQL inconnu";
  }
}

const wchar_t* OdbcReturnName(SQLRETURN code) {
  switch (code) {
    case SQL_SUCCESS: return L"SQL_SUCCESS";
    case SQL_SUCCESS_WITH_INFO: return L"SQL_SUCCESS_WITH_INFO";
    case SQL_NEED_DATA: return L"SQL_NEED_DATA";
    case SQL_STILL_EXECUTING: return L"SQL_STILL_EXECUTING";
    case SQL_ERROR: return L"SQL_ERROR";
    case SQL_NO_DATA: return L"SQL_NO_DATA";
    case SQL_INVALID_HANDLE: return L"SQL_INVALID_HANDLE";
    default: return L"Type SQL inconnu";
  }
}

std::string OdbcText(std::wstring_view text) { return quillog::WideToUtf8(text); }

std::wstring OdbcWide(std::string_view text) { return quillog::Utf8ToWide(text); }

size_t OdbcUtf16Length(std::wstring_view text) {
  size_t units = 0;
  for (wchar_t c : text) units += static_cast<uint32_t>(c) > 0xFFFF ? 2 : 1;
  return units;
}
