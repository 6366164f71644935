// The ODBC connector pool: one set of connection parameters, and the
// connections ("connectors") opened with them, handed out round-robin to
// CZubOdbc objects. Everything is guarded by the critical section
// "m_odbc_cs".
//
//   if (!CZubOdbcPool::Instance().Connect(params)) return false;
//   {
//     CZubOdbc odbc;                  // takes a free connector (may throw)
//     CZubOdbcReq req(odbc);
//     if (req.Prepare(L"INSERT ...")) req.Finish(false);
//   }                                 // the connector goes back
//   CZubOdbcPool::Instance().Disconnect();
#pragma once

#include "kit/ZubCriticalSection.h"
#include "setrig/OdbcHandle.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

struct CZubOdbcParams {
  std::wstring driver;
  std::wstring server;
  std::wstring user;
  std::wstring password;
  std::wstring application;  // empty: no ";APP=" part
  std::wstring database;     // empty: no ";DATABASE=" part
};

// One open connection with its own environment.
struct CZubOdbcConnector {
  ~CZubOdbcConnector();
  // Disconnects and frees both handles; false when a call failed.
  bool Close();

  CZubOdbcHandle env;
  CZubOdbcHandle dbc;
  bool connected = false;
  bool in_use = false;
  bool pooled = true;  // false once Disconnect has dropped it from the pool
};

class CZubOdbcPool {
 public:
  static constexpr size_t kMaxConnectionString = 1024;  // UTF-16 units, terminator included

  // The process-wide pool the exports use.
  static CZubOdbcPool& Instance();

  CZubOdbcPool() = default;
  ~CZubOdbcPool();
  CZubOdbcPool(const CZubOdbcPool&) = delete;
  CZubOdbcPool& operator=(const CZubOdbcPool&) = delete;

  // Stores the parameters and opens the first connector. Refused while
  // connected. Texts come as UTF-8; application and database may be null.
  bool Connect(const char* driver, const char* server, const char* user, const char* password, const char* application,
               const char* database);
  bool Connect(const CZubOdbcParams& params);
  // Closes every connector and empties the pool; false when a call failed.
  bool Disconnect();

  bool IsConnected();
  size_t ConnectorCount();
  size_t UserCount();

  // The connection string for the connector at `position`, as sent to the
  // driver. A user or password holding ';', '{' or '}' is put in braces.
  static std::wstring BuildConnectionString(const CZubOdbcParams& params, size_t position);
  // `text` with the value of every PWD or PASSWORD attribute, and every
  // occurrence of `password`, shown as "xxxxxxxx".
  static std::wstring MaskPassword(std::wstring text, const std::wstring& password);

  // Used by CZubOdbc: a free connector, marked in use (opens one more when
  // all are taken); throws a CZubException* when none can be had.
  std::shared_ptr<CZubOdbcConnector> Acquire();
  void Release(const std::shared_ptr<CZubOdbcConnector>& connector);

 private:
  std::shared_ptr<CZubOdbcConnector> _open_connector();

  CZubCriticalSection m_odbc_cs{L"m_odbc_cs"};
  CZubOdbcParams m_params;
  std::vector<std::shared_ptr<CZubOdbcConnector>> m_connectors;
  size_t m_users = 0;
  long m_last = -1;  // position of the connector handed out last
};

// Holds one connector of a pool from construction to destruction. A
// transaction left open is rolled back when the object goes.
class CZubOdbc {
 public:
  explicit CZubOdbc(CZubOdbcPool& pool = CZubOdbcPool::Instance());
  ~CZubOdbc();
  CZubOdbc(const CZubOdbc&) = delete;
  CZubOdbc& operator=(const CZubOdbc&) = delete;

  SQLHDBC Connection() const { return m_connector->dbc.Get(); }

  // Manual commit from Begin to Commit or Rollback.
  bool BeginTransaction();
  bool Commit();
  bool Rollback();
  bool InTransaction() const { return m_transaction; }

 private:
  bool _end_transaction(SQLSMALLINT completion);

  CZubOdbcPool& m_pool;
  std::shared_ptr<CZubOdbcConnector> m_connector;
  bool m_transaction = false;
};
