#include "setrig/OdbcPool.h"

#include "kit/ZubException.h"
#include "kit/ZubNoDestructor.h"
#include "quillog/Quillog.h"

namespace {

// A connection-string value, in braces when it holds a character that
// would end it or open braces.
std::wstring Quoted(const std::wstring& value) {
  if (value.find_first_of(L";{}") == std::wstring::npos) return value;
  std::wstring quoted = L"{";
  for (wchar_t c : value) {
    quoted += c;
    if (c == L'}') quoted += L'}';
  }
  return quoted + L"}";
}

// End of the attribute value that starts at `from`: the next ';', or the
// closing brace of a value in braces ("}}" stands for one '}').
size_t ValueEnd(const std::wstring& text, size_t from) {
  size_t first = from;
  while (first < text.size() && text[first] == L' ') ++first;
  if (first < text.size() && text[first] == L'{') {
    for (size_t i = first + 1; i < text.size(); ++i) {
      if (text[i] != L'}') continue;
      if (i + 1 < text.size() && text[i + 1] == L'}') {
        ++i;
        continue;
      }
      return i + 1;
    }
    return text.size();
  }
  const size_t end = text.find(L';', from);
  return end == std::wstring::npos ? text.size() : end;
}

bool IsPasswordKey(std::wstring_view key) {
  while (!key.empty() && key.front() == L' ') key.remove_prefix(1);
  while (!key.empty() && key.back() == L' ') key.remove_suffix(1);
  std::wstring upper;
  for (wchar_t c : key) upper += (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c;
  return upper == L"PWD" || upper == L"PASSWORD";
}

std::wstring Wide(const char* utf8) { return utf8 == nullptr ? std::wstring() : quillog::Utf8ToWide(utf8); }

}  // namespace

CZubOdbcConnector::~CZubOdbcConnector() { Close(); }

bool CZubOdbcConnector::Close() {
  bool ok = true;
  if (connected) {
    const SQLRETURN rc = SQLDisconnect(dbc.Get());
    if (!SQL_SUCCEEDED(rc)) {
      OdbcLogError(L"SQLDisconnect()", SQL_HANDLE_DBC, dbc.Get());
      ok = false;
    }
    connected = false;
  }
  ok = dbc.Free() && ok;
  ok = env.Free() && ok;
  return ok;
}

CZubOdbcPool& CZubOdbcPool::Instance() {
  static ZubNoDestructor<CZubOdbcPool> pool;
  return pool.get();
}

CZubOdbcPool::~CZubOdbcPool() {
  if (!m_connectors.empty()) Disconnect();
}

bool CZubOdbcPool::Connect(const char* driver, const char* server, const char* user, const char* password,
                           const char* application, const char* database) {
  CZubLock lock(m_odbc_cs);
  if (driver == nullptr || driver[0] == '\0') {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Bad Driver name");
    return false;
  }
  if (server == nullptr || server[0] == '\0') {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Bad Server name");
    return false;
  }
  if (user == nullptr || password == nullptr) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Bad ODBC login/password");
    return false;
  }
  return Connect(
      CZubOdbcParams{Wide(driver), Wide(server), Wide(user), Wide(password), Wide(application), Wide(database)});
}

bool CZubOdbcPool::Connect(const CZubOdbcParams& params) {
  CZubLock lock(m_odbc_cs);
  if (params.driver.empty()) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Bad Driver name");
    return false;
  }
  if (params.server.empty()) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Bad Server name");
    return false;
  }
  if (!m_connectors.empty()) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Already connected");
    return false;
  }
  m_params = params;
  m_users = 0;
  m_last = -1;
  std::shared_ptr<CZubOdbcConnector> connector = _open_connector();
  if (!connector) return false;
  m_connectors.push_back(std::move(connector));
  return true;
}

std::shared_ptr<CZubOdbcConnector> CZubOdbcPool::_open_connector() {
  auto connector = std::make_shared<CZubOdbcConnector>();
  if (!connector->env.Allocate(SQL_HANDLE_ENV, SQL_NULL_HANDLE)) return nullptr;
  const SQLRETURN set =
      SQLSetEnvAttr(connector->env.Get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC2), 0);
  if (!SQL_SUCCEEDED(set)) {
    OdbcLogError(L"SQLSetEnvAttr()", SQL_HANDLE_ENV, connector->env.Get());
    return nullptr;
  }
  if (!connector->dbc.Allocate(SQL_HANDLE_DBC, connector->env.Get())) return nullptr;

  const std::wstring text = BuildConnectionString(m_params, m_connectors.size());
  if (OdbcUtf16Length(text) >= kMaxConnectionString) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"The ODBC connection string is longer than %d characters",
             static_cast<int>(kMaxConnectionString - 1));
    return nullptr;
  }
  std::string in = OdbcText(text);
  SQLCHAR out[kMaxConnectionString * 4] = {};  // room for 1024 characters in UTF-8
  SQLSMALLINT out_length = 0;
  const SQLRETURN rc = SQLDriverConnect(connector->dbc.Get(), nullptr, OdbcChars(in), SQL_NTS, out, sizeof out,
                                        &out_length, SQL_DRIVER_NOPROMPT);
  if (!SQL_SUCCEEDED(rc)) {
    OdbcLogError(L"SQLConnect()", SQL_HANDLE_DBC, connector->dbc.Get());
    return nullptr;
  }
  connector->connected = true;
  const std::wstring completed = out[0] != 0 ? OdbcWide(OdbcView(out)) : text;
  QuillogW(QUILLOG_INFO, QLF_NONE, L"ODBC connection string: '%s'", MaskPassword(completed, m_params.password));
  return connector;
}

std::wstring CZubOdbcPool::BuildConnectionString(const CZubOdbcParams& params, size_t position) {
  // Only the credentials are quoted: the server may carry more attributes
  // of the driver ("127.0.0.1;PORT=5433").
  std::wstring text = L"DRIVER=" + params.driver + L";SERVER=" + params.server + L";UID=" + Quoted(params.user) +
                      L";PWD=" + Quoted(params.password);
  if (!params.application.empty()) text += L";APP=" + params.application + L"_" + std::to_wstring(position);
  if (!params.database.empty()) text += L";DATABASE=" + params.database;
  return text;
}

std::wstring CZubOdbcPool::MaskPassword(std::wstring text, const std::wstring& password) {
  static const std::wstring kMask = L"xxxxxxxx";
  // The value of a password attribute, in whatever form the driver gave it
  // back (the PostgreSQL driver escapes it: "Pg%2ds3cret").
  for (size_t start = 0; start < text.size();) {
    const size_t equal = text.find(L'=', start);
    if (equal == std::wstring::npos) break;
    const size_t end = ValueEnd(text, equal + 1);
    const size_t semicolon = text.rfind(L';', equal);  // a piece without '=' before this key
    const size_t key = semicolon == std::wstring::npos || semicolon < start ? start : semicolon + 1;
    if (IsPasswordKey(std::wstring_view(text).substr(key, equal - key)) && end > equal + 1) {
      text.replace(equal + 1, end - equal - 1, kMask);
      start = equal + 1 + kMask.size() + 1;
      continue;
    }
    start = end + 1;
  }
  if (password.empty()) return text;
  for (size_t at = text.find(password); at != std::wstring::npos; at = text.find(password, at + kMask.size())) {
    text.replace(at, password.size(), kMask);
  }
  return text;
}

bool CZubOdbcPool::Disconnect() {
  CZubLock lock(m_odbc_cs);
  bool ok = true;
  for (size_t i = 0; i < m_connectors.size(); ++i) {
    QuillogW(QUILLOG_INFO, QLF_NONE, L"Disconnecting from database the ODBC connector %d", static_cast<int>(i));
    CZubOdbcConnector& connector = *m_connectors[i];
    connector.pooled = false;
    if (connector.in_use) {
      // Its holder still works on it: the connection closes when it lets go.
      QuillogW(QUILLOG_WARNING, QLF_NONE, L"The ODBC connector %d is still in use, it is closed when released",
               static_cast<int>(i));
      continue;
    }
    ok = connector.Close() && ok;
  }
  m_connectors.clear();
  m_users = 0;
  m_last = -1;
  return ok;
}

bool CZubOdbcPool::IsConnected() {
  CZubLock lock(m_odbc_cs);
  return !m_connectors.empty();
}

size_t CZubOdbcPool::ConnectorCount() {
  CZubLock lock(m_odbc_cs);
  return m_connectors.size();
}

size_t CZubOdbcPool::UserCount() {
  CZubLock lock(m_odbc_cs);
  return m_users;
}

std::shared_ptr<CZubOdbcConnector> CZubOdbcPool::Acquire() {
  CZubLock lock(m_odbc_cs);
  if (m_connectors.empty()) throw new CZubException(L"No ODBC connectors available");
  ++m_users;
  if (m_users > m_connectors.size()) {
    std::shared_ptr<CZubOdbcConnector> connector = _open_connector();
    if (!connector) {
      --m_users;
      throw new CZubException(L"No ODBC connectors available");
    }
    m_connectors.push_back(std::move(connector));
    QuillogW(QUILLOG_INFO, QLF_NONE, L"There are now %d ODBC connectors", static_cast<int>(m_connectors.size()));
  }
  const size_t count = m_connectors.size();
  for (size_t step = 1; step <= count; ++step) {
    const size_t position = (static_cast<size_t>(m_last + 1) + step - 1) % count;
    CZubOdbcConnector& connector = *m_connectors[position];
    if (connector.in_use) continue;
    connector.in_use = true;
    m_last = static_cast<long>(position);
    QuillogW(QUILLOG_INFO, QLF_LIB_ODBC, L"Using the ODBC connector #%d", static_cast<int>(position));
    return m_connectors[position];
  }
  --m_users;  // cannot happen while every user holds exactly one connector
  throw new CZubException(L"No ODBC connectors available");
}

void CZubOdbcPool::Release(const std::shared_ptr<CZubOdbcConnector>& connector) {
  CZubLock lock(m_odbc_cs);
  connector->in_use = false;
  if (!connector->pooled) return;
  if (m_users == 0) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"I try to decremente a 0 value in the ODBC connection pool");
    return;
  }
  --m_users;
}

CZubOdbc::CZubOdbc(CZubOdbcPool& pool) : m_pool(pool), m_connector(pool.Acquire()) {}

CZubOdbc::~CZubOdbc() {
  if (m_transaction) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"A roll back transaction is performed by the destructor");
    Rollback();
  }
  m_pool.Release(m_connector);
}

bool CZubOdbc::BeginTransaction() {
  if (m_transaction) return true;
  const SQLRETURN rc = SQLSetConnectAttr(Connection(), SQL_ATTR_AUTOCOMMIT,
                                         reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), SQL_IS_UINTEGER);
  if (!SQL_SUCCEEDED(rc)) {
    OdbcLogError(L"SQLSetConnectAttr()", SQL_HANDLE_DBC, Connection());
    return false;
  }
  m_transaction = true;
  return true;
}

bool CZubOdbc::Commit() { return _end_transaction(SQL_COMMIT); }
bool CZubOdbc::Rollback() { return _end_transaction(SQL_ROLLBACK); }

bool CZubOdbc::_end_transaction(SQLSMALLINT completion) {
  if (!m_transaction) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"No transaction is open on this ODBC connector");
    return false;
  }
  bool ok = true;
  if (!SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, Connection(), completion))) {
    OdbcLogError(L"SQLEndTran()", SQL_HANDLE_DBC, Connection());
    ok = false;
  }
  if (!SQL_SUCCEEDED(SQLSetConnectAttr(Connection(), SQL_ATTR_AUTOCOMMIT,
                                       reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), SQL_IS_UINTEGER))) {
    OdbcLogError(L"SQLSetConnectAttr()", SQL_HANDLE_DBC, Connection());
    ok = false;
  }
  m_transaction = false;
  return ok;
}
