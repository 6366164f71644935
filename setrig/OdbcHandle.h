// Small pieces under the ODBC layer: an owning wrapper for ODBC handles,
// the failure log with the driver's diagnostics, the names of SQL types and
// return codes, and text conversion for the driver manager.
//
// Texts cross the driver manager as UTF-8 through its narrow functions.
// unixODBC's wide functions would convert for drivers without wide entry
// points (SQLite's) one UTF-16 unit to one byte, losing every character
// beyond Latin-1; the PostgreSQL driver takes UTF-8 on its narrow ones.
#pragma once

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <string>
#include <string_view>

// Owns one ODBC handle of a given type and frees it when destroyed.
class CZubOdbcHandle {
 public:
  CZubOdbcHandle() = default;
  ~CZubOdbcHandle() { Free(); }
  CZubOdbcHandle(CZubOdbcHandle&& other) noexcept : m_type(other.m_type), m_handle(other.Release()) {}
  CZubOdbcHandle& operator=(CZubOdbcHandle&& other) noexcept;
  CZubOdbcHandle(const CZubOdbcHandle&) = delete;
  CZubOdbcHandle& operator=(const CZubOdbcHandle&) = delete;

  // Allocates a handle of `type` below `parent` (null for an environment);
  // logs "SQLAllocHandle()" with the parent's diagnostics on failure.
  bool Allocate(SQLSMALLINT type, SQLHANDLE parent);
  // Frees the handle now; false (logged as "SQLFreeHandle()") when the
  // driver refused. The wrapper is empty afterwards in every case.
  bool Free();
  SQLHANDLE Release();

  SQLHANDLE Get() const { return m_handle; }
  SQLSMALLINT Type() const { return m_type; }
  explicit operator bool() const { return m_handle != SQL_NULL_HANDLE; }

 private:
  SQLSMALLINT m_type = 0;
  SQLHANDLE m_handle = SQL_NULL_HANDLE;
};

// Logs the failed call's name (level Error), then each diagnostic record of
// the handle as "state\nnative code\ntext", or "No diagnostic available".
void OdbcLogError(const wchar_t* function, SQLSMALLINT handle_type, SQLHANDLE handle);

// "SQL_INTEGER", ...; "Type SQL inconnu" for a code not in the table.
const wchar_t* OdbcSqlTypeName(SQLSMALLINT type);
// "SQL_SUCCESS", ...; "Type SQL inconnu" for an unknown return code.
const wchar_t* OdbcReturnName(SQLRETURN code);

// Wide text to the driver's UTF-8 and back (invalid bytes become U+FFFD).
std::string OdbcText(std::wstring_view text);
std::wstring OdbcWide(std::string_view text);
// The bytes of a UTF-8 text as the driver manager takes them.
inline SQLCHAR* OdbcChars(std::string& text) { return reinterpret_cast<SQLCHAR*>(text.data()); }
inline std::string_view OdbcView(const SQLCHAR* text) { return reinterpret_cast<const char*>(text); }
inline std::string_view OdbcView(const SQLCHAR* text, size_t length) {
  return {reinterpret_cast<const char*>(text), length};
}
// Length of a text in UTF-16 units.
size_t OdbcUtf16Length(std::wstring_view text);
