// ODBC exports: connection check, driver listing, SQL script player.
#include "kit/ZubFileRead.h"
#include "setrig/OdbcHandle.h"
#include "setrig/OdbcPool.h"
#include "setrig/ScriptPlayer.h"
#include "setrig/Setrig.h"
#include "setrig/SetrigExport.h"

namespace {

constexpr SQLSMALLINT kDescriptionBytes = 1024;
constexpr SQLSMALLINT kAttributeBytes = 4096;

// The description of the driver at `index` in the driver manager's list.
// Logs and returns false when there is none.
bool DriverAt(uint32_t index, std::wstring* description) {
  CZubOdbcHandle env;
  if (!env.Allocate(SQL_HANDLE_ENV, SQL_NULL_HANDLE) ||
      !SQL_SUCCEEDED(SQLSetEnvAttr(env.Get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC2), 0))) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"_CreateHandleEnv()");
    return false;
  }
  SQLCHAR name[kDescriptionBytes] = {};
  SQLCHAR attributes[kAttributeBytes] = {};
  SQLSMALLINT name_length = 0;
  SQLSMALLINT attributes_length = 0;
  SQLUSMALLINT direction = SQL_FETCH_FIRST;
  SQLRETURN rc = SQL_SUCCESS;
  for (uint64_t step = 0; step <= index; ++step) {
    rc = SQLDrivers(env.Get(), direction, name, kDescriptionBytes, &name_length, attributes, kAttributeBytes,
                    &attributes_length);
    if (!SQL_SUCCEEDED(rc)) break;
    direction = SQL_FETCH_NEXT;
  }
  if (rc == SQL_NO_DATA) {
    QuillogW(QUILLOG_INFO, QLF_NONE, L"There is no ODBC driver at index %u", index);
    return false;
  }
  if (!SQL_SUCCEEDED(rc)) {
    OdbcLogError(L"SQLDrivers()", SQL_HANDLE_ENV, env.Get());
    return false;
  }
  *description = OdbcWide(OdbcView(name));
  return true;
}

bool PlayScriptFile(const char* driver, const char* server, const char* user, const char* password,
                    const char* database, const char* script) {
  CZubFileRead file;
  const std::wstring path = setrig::Wide(script);
  if (setrig::IsNullOrEmpty(script) || !file.Open(path)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to open the script file %S", script);
    return false;
  }
  const ScriptEncoding encoding = ScriptEncodingOf(file.GetData(), file.GetSize());
  const std::wstring text = ScriptText(file.GetData(), file.GetSize(), encoding, path);
  file.Close();

  CZubOdbcPool& pool = CZubOdbcPool::Instance();
  const char* chosen_database = setrig::IsNullOrEmpty(database) ? nullptr : database;
  if (!pool.Connect(driver, server, user, password, nullptr, chosen_database)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Fail to open ODBC connection to the database");
    return false;
  }
  try {
    const ScriptResult result = PlayScript(text, pool);
    if (result.failed > 0) {
      QuillogW(QUILLOG_WARNING, QLF_NONE, L"%d of the %d batches of the script %S failed",
               static_cast<int>(result.failed), static_cast<int>(result.batches), script);
    }
  } catch (CZubException* e) {
    delete e;
    pool.Disconnect();
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Sql file %S generated unknown errors", script);
    return false;
  } catch (...) {
    pool.Disconnect();
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Sql file %S generated unknown errors", script);
    return false;
  }
  pool.Disconnect();
  return true;
}

}  // namespace

extern "C" {

int Setrig_OdbcCheckConnect(const char* driver, const char* server, const char* user, const char* password,
                            const char* database) {
  return setrig::Export(L"Setrig_OdbcCheckConnect", [&] {
    CZubOdbcPool& pool = CZubOdbcPool::Instance();
    if (!pool.Connect(driver, server, user, password, "Setrig", database)) return false;
    pool.Disconnect();
    return true;
  });
}

int Setrig_OdbcGetDriver(uint32_t index, char* buffer, uint32_t size) {
  return setrig::Export(L"Setrig_OdbcGetDriver", [&] {
    if (buffer == nullptr || size == 0) {
      QuillogW(QUILLOG_ERROR, QLF_NONE, L"Invalid buffer");
      return false;
    }
    setrig::ClearOut(buffer, size);
    std::wstring description;
    if (!DriverAt(index, &description)) return false;
    return setrig::CopyOut(description, buffer, size);
  });
}

int Setrig_OdbcPlayScript(const char* driver, const char* server, const char* user, const char* password,
                          const char* database, const char* script) {
  return setrig::Export(L"Setrig_OdbcPlayScript",
                        [&] { return PlayScriptFile(driver, server, user, password, database, script); });
}

}  // extern "C"
