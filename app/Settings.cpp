#include "app/Settings.h"

#include "app/RegFile.h"
#include "quillog/Quillog.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <fcntl.h>
#include <mutex>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

#define K_CONST(number, value) \
  { SETTING_KIND_CONSTANT, number, L"", L"", value, SETTING_TYPE_NONE }
#define K_REG(number, section, key, type, value) \
  { SETTING_KIND_REGISTRY, number, section, key, value, type }

const SettingRow kTable[] = {
    {SETTING_KIND_VERSION, SETTING_PRODUCT_NAME, L"", L"ProductName", L"", SETTING_TYPE_NONE},
    {SETTING_KIND_VERSION, SETTING_COMPANY_NAME, L"", L"CompanyName", L"", SETTING_TYPE_NONE},
    K_CONST(SETTING_LANGUAGE, L"en"),
    K_CONST(SETTING_MIB_FOLDER_NAME, L"Mibs"),
    K_CONST(SETTING_SIMULATOR_FOLDER_NAME, L"Simulators"),
    K_CONST(SETTING_MIB_EXTENSION, L".mib"),
    K_CONST(SETTING_SIMULATOR_EXTENSION, L".tav"),
    K_CONST(SETTING_MAX_SIMULATORS, L"5"),
    K_CONST(SETTING_MAX_SIMULATOR_VALUES, L"100"),
    K_CONST(SETTING_ODD_ROW_RED, L"225"),
    K_CONST(SETTING_ODD_ROW_GREEN, L"255"),
    K_CONST(SETTING_ODD_ROW_BLUE, L"225"),
    K_CONST(SETTING_EVEN_ROW_RED, L"196"),
    K_CONST(SETTING_EVEN_ROW_GREEN, L"255"),
    K_CONST(SETTING_EVEN_ROW_BLUE, L"196"),
    K_CONST(SETTING_TRAP_ALT1_RED, L"179"),
    K_CONST(SETTING_TRAP_ALT1_GREEN, L"255"),
    K_CONST(SETTING_TRAP_ALT1_BLUE, L"255"),
    K_CONST(SETTING_TRAP_ALT2_RED, L"206"),
    K_CONST(SETTING_TRAP_ALT2_GREEN, L"255"),
    K_CONST(SETTING_TRAP_ALT2_BLUE, L"255"),
    K_REG(SETTING_MAINFRAME_WINDOW_PLACEMENT, L"MainFrame", L"WindowPlacement", SETTING_TYPE_BINARY, L""),
    K_REG(SETTING_MAINFRAME_STATUS_BAR, L"MainFrame", L"StatusBar", SETTING_TYPE_DWORD, L"1"),
    K_REG(SETTING_MAINFRAME_TOOL_BAR, L"MainFrame", L"ToolBar", SETTING_TYPE_DWORD, L"1"),
    K_REG(SETTING_MAINFRAME_LAST_VIEW, L"MainFrame", L"LastView", SETTING_TYPE_DWORD, L"0"),
    K_REG(SETTING_MAINFRAME_BORDER_SIZE, L"MainFrame", L"BorderSize", SETTING_TYPE_DWORD, L"10"),
    K_REG(SETTING_MAINFRAME_TAB_POSITION, L"MainFrame", L"TabPosition", SETTING_TYPE_DWORD, L"1"),
    K_REG(SETTING_VIEW_LOGS_COL_WIDTH, L"ViewLogs", L"ColWidth", SETTING_TYPE_DWORD, L"50"),
    K_REG(SETTING_VIEW_LOGS_LOG_LEVEL, L"ViewLogs", L"LogLevel", SETTING_TYPE_DWORD, L"0"),
    K_REG(SETTING_VIEW_MIB_BROWSER_SPLITTER_X, L"ViewMibBrowser", L"SplitterX", SETTING_TYPE_DWORD, L"200"),
    K_REG(SETTING_VIEW_MIB_BROWSER_LAST_FILE, L"ViewMibBrowser", L"LastFile", SETTING_TYPE_STRING, L""),
    K_REG(SETTING_VIEW_MIB_BROWSER_TEXT_EDITOR, L"ViewMibBrowser", L"TextEditor", SETTING_TYPE_STRING, L"xdg-open"),
    K_REG(SETTING_VIEW_MIB_BROWSER_DISPLAY_OID_MODE, L"ViewMibBrowser", L"DisplayOidMode", SETTING_TYPE_DWORD, L"1"),
    K_REG(SETTING_VIEW_MIB_BROWSER_DISPLAY_MODULE_MODE, L"ViewMibBrowser", L"DisplayModuleMode", SETTING_TYPE_DWORD,
          L"1"),
    K_REG(SETTING_DLG_SNMP_PARAMETER_LAST_IP, L"DlgSnmpParameter", L"LastIp", SETTING_TYPE_STRING, L"127.0.0.1"),
    K_REG(SETTING_DLG_SNMP_PARAMETER_LAST_PORT, L"DlgSnmpParameter", L"LastPort", SETTING_TYPE_DWORD, L"161"),
    K_REG(SETTING_DLG_SNMP_PARAMETER_LAST_TIMEOUT, L"DlgSnmpParameter", L"LastTimeout", SETTING_TYPE_DWORD, L"1000"),
    K_REG(SETTING_DLG_SNMP_PARAMETER_LAST_RETRY, L"DlgSnmpParameter", L"LastRetry", SETTING_TYPE_DWORD, L"3"),
    K_REG(SETTING_DLG_SNMP_PARAMETER_LAST_VERSION, L"DlgSnmpParameter", L"LastVersion", SETTING_TYPE_DWORD, L"1"),
    K_REG(SETTING_DLG_SNMP_PARAMETER_LAST_COMMUNITY, L"DlgSnmpParameter", L"LastCommunity", SETTING_TYPE_STRING,
          L"tumbol"),
    K_REG(SETTING_DLG_SNMP_PARAMETER_LAST_FIRST_OID, L"DlgSnmpParameter", L"LastFirstOid", SETTING_TYPE_STRING, L""),
    K_REG(SETTING_DLG_SNMP_PARAMETER_LAST_LAST_OID, L"DlgSnmpParameter", L"LastLastOid", SETTING_TYPE_STRING, L""),
    K_REG(SETTING_DLG_SNMP_SET_LAST_COMMUNITY, L"DlgSnmpSet", L"LastCommunity", SETTING_TYPE_STRING, L"quinsar"),
    K_REG(SETTING_DLG_SNMP_SET_LAST_VALUE, L"DlgSnmpSet", L"LastValue", SETTING_TYPE_STRING, L""),
    K_REG(SETTING_VIEW_WALKER_COL_WIDTH, L"ViewWalker", L"ColWidth", SETTING_TYPE_DWORD, L"50"),
    K_REG(SETTING_VIEW_WALKER_DISPLAY_OID_MODE, L"ViewWalker", L"DisplayOidMode", SETTING_TYPE_DWORD, L"1"),
    K_REG(SETTING_VIEW_TRAPPER_COL_WIDTH, L"ViewTrapper", L"ColWidth", SETTING_TYPE_DWORD, L"50"),
    K_REG(SETTING_VIEW_TRAPPER_DISPLAY_OID_MODE, L"ViewTrapper", L"DisplayOidMode", SETTING_TYPE_DWORD, L"1"),
    K_REG(SETTING_DLG_TRAP_PARAMETER_LAST_PORT, L"DlgTrapParameter", L"LastPort", SETTING_TYPE_DWORD, L"162"),
    K_REG(SETTING_DLG_TRAP_PARAMETER_LAST_AUTO_START, L"DlgTrapParameter", L"LastAutoStart", SETTING_TYPE_DWORD, L"0"),
    K_REG(SETTING_VIEW_SIMULER_SPLITTER_X, L"ViewSimuler", L"SplitterX", SETTING_TYPE_DWORD, L"200"),
    K_REG(SETTING_VIEW_SIMULER_SPLITTER_Y1, L"ViewSimuler", L"SplitterY1", SETTING_TYPE_DWORD, L"50"),
    K_REG(SETTING_VIEW_SIMULER_SPLITTER_Y2, L"ViewSimuler", L"SplitterY2", SETTING_TYPE_DWORD, L"150"),
    K_REG(SETTING_VIEW_SIMULER_LAST_SELECTED_SIMULATOR, L"ViewSimuler", L"LastSelectedSimulator", SETTING_TYPE_STRING,
          L""),
    K_REG(SETTING_VIEW_SIMULER_LAST_STARTED_SIMULATOR, L"ViewSimuler", L"LastStartedSimulator", SETTING_TYPE_STRING,
          L""),
    K_REG(SETTING_DLG_CREATE_SIMULATOR_LAST_RECV_PORT, L"DlgCreateSimulator", L"LastRecvPort", SETTING_TYPE_DWORD,
          L"1161"),
    K_REG(SETTING_DLG_CREATE_SIMULATOR_LAST_RECV_VERSION1, L"DlgCreateSimulator", L"LastRecvVersion1",
          SETTING_TYPE_DWORD, L"1"),
    K_REG(SETTING_DLG_CREATE_SIMULATOR_LAST_RECV_VERSION2C, L"DlgCreateSimulator", L"LastRecvVersion2c",
          SETTING_TYPE_DWORD, L"1"),
    K_REG(SETTING_DLG_CREATE_SIMULATOR_LAST_RECV_COMMUNITY, L"DlgCreateSimulator", L"LastRecvCommunity",
          SETTING_TYPE_STRING, L"tumbol"),
    K_REG(SETTING_DLG_CREATE_SIMULATOR_LAST_SEND_COMMUNITY, L"DlgCreateSimulator", L"LastSendCommunity",
          SETTING_TYPE_STRING, L"tumbol"),
    K_REG(SETTING_DLG_CREATE_SIMULATOR_LAST_SEND_PORT, L"DlgCreateSimulator", L"LastSendPort", SETTING_TYPE_DWORD,
          L"162"),
    K_REG(SETTING_DLG_CREATE_SIMULATOR_LAST_SEND_REMEMBER_IP_ADDRESS, L"DlgCreateSimulator",
          L"LastSendRememberIpAddress", SETTING_TYPE_DWORD, L"1"),
    K_REG(SETTING_DLG_CREATE_SIMULATOR_LAST_SEND_IP_ADDRESS, L"DlgCreateSimulator", L"LastSendIpAddress",
          SETTING_TYPE_STRING, L"127.0.0.1"),
    K_REG(SETTING_VIEW_SIMULER_VALUE_COL_WIDTH, L"ViewSimulerValue", L"ColWidth", SETTING_TYPE_DWORD, L"50"),
    K_REG(SETTING_VIEW_SIMULER_VALUE_DISPLAY_OID_MODE, L"ViewSimulerValue", L"DisplayOidMode", SETTING_TYPE_DWORD,
          L"1"),
    K_REG(SETTING_VIEW_SIMULER_TRAP_COL_WIDTH, L"ViewSimulerTrap", L"ColWidth", SETTING_TYPE_DWORD, L"50"),
    {SETTING_KIND_END, 0, L"", L"", L"", SETTING_TYPE_NONE},
};

#undef K_CONST
#undef K_REG

// The program's version information strings.
std::wstring VersionString(const std::wstring& name) {
  if (name == L"ProductName") return L"Tavelo";
  if (name == L"CompanyName") return L"Tavelo";
  if (name == L"FileVersion" || name == L"ProductVersion") return ProductVersionText();
  QuillogW(QUILLOG_ERROR, QLF_NONE, L"problem while getting value");
  return std::wstring();
}

uint32_t DecimalValue(const std::wstring& text) {
  return static_cast<uint32_t>(std::wcstoul(text.c_str(), nullptr, 10));
}

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') return home;
  struct passwd* pw = getpwuid(getuid());
  if (pw && pw->pw_dir) return pw->pw_dir;
  return std::string();
}

std::string SettingsFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config && config[0] == '/') return std::string(config) + "/tavelo";
  std::string home = HomeFolder();
  if (home.empty()) return std::string();
  return home + "/.config/tavelo";
}

bool MakeFolders(const std::string& path) {
  if (path.empty()) return false;
  std::string partial;
  size_t pos = 0;
  while (pos != std::string::npos) {
    pos = path.find('/', pos + 1);
    partial = path.substr(0, pos);
    if (partial.empty()) continue;
    if (mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// RAII file descriptor.
class Fd {
 public:
  explicit Fd(int fd = -1) : m_fd(fd) {}
  ~Fd() { Reset(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int Get() const { return m_fd; }
  void Reset(int fd = -1) {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = fd;
  }
  int Release() {
    int fd = m_fd;
    m_fd = -1;
    return fd;
  }

 private:
  int m_fd;
};

std::mutex g_mutex;  // the store within this process; flock across processes

// The whole settings file, loaded under the lock.
class SettingsSession {
 public:
  SettingsSession() : m_lock(g_mutex) {
    m_folder = SettingsFolder();
    if (m_folder.empty()) return;
    m_path = m_folder + "/settings.reg";
    // Locked before the file is read, so that a write never replaces what
    // another program wrote in between.
    if (MakeFolders(m_folder)) _lock_file();
    _load();
  }

  CRegFile& File() { return m_file; }
  bool Usable() const { return m_usable; }

  // Writes the file back atomically. errno_out gets the system error.
  bool Save(int* errno_out) {
    *errno_out = 0;
    if (!m_usable || m_path.empty()) {
      *errno_out = m_path.empty() ? ENOENT : EIO;
      return false;
    }
    if (m_lock_fd.Get() < 0 && !MakeFolders(m_folder)) {
      *errno_out = errno ? errno : EIO;
      return false;
    }
    std::string temp = m_path + ".XXXXXX";
    Fd fd(mkostemp(temp.data(), O_CLOEXEC));
    if (fd.Get() < 0) {
      *errno_out = errno;
      return false;
    }
    fchmod(fd.Get(), 0600);
    std::string text = m_file.Serialize();
    if (!_write_all(fd.Get(), text) || fsync(fd.Get()) != 0) {
      *errno_out = errno ? errno : EIO;
      unlink(temp.c_str());
      return false;
    }
    if (::close(fd.Release()) != 0 || rename(temp.c_str(), m_path.c_str()) != 0) {
      *errno_out = errno;
      unlink(temp.c_str());
      return false;
    }
    Fd dir(open(m_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Get() >= 0) fsync(dir.Get());
    return true;
  }

 private:
  void _lock_file() {
    m_lock_fd.Reset(open((m_folder + "/settings.reg.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (m_lock_fd.Get() < 0) return;
    while (flock(m_lock_fd.Get(), LOCK_EX) != 0 && errno == EINTR) {
    }
  }

  static bool _write_all(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
      ssize_t n = ::write(fd, text.data() + done, text.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      done += static_cast<size_t>(n);
    }
    return true;
  }

  bool _read_all(std::string* text, int* err) {
    Fd fd(open(m_path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0) {
      *err = errno;
      return false;
    }
    struct stat st;
    if (fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
      *err = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
      return false;
    }
    char buf[8192];
    while (true) {
      ssize_t n = ::read(fd.Get(), buf, sizeof buf);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        *err = errno;
        return false;
      }
      if (n == 0) return true;
      text->append(buf, static_cast<size_t>(n));
    }
  }

  void _load() {
    std::string text;
    int err = 0;
    if (!_read_all(&text, &err)) {
      if (err == ENOENT || err == ENOTDIR) return;  // first start, or no folder to read
      _keep_aside(std::string("unreadable: ") + std::strerror(err));
      return;
    }
    std::string why;
    if (!m_file.Parse(text, &why)) _keep_aside(why);
  }

  void _keep_aside(const std::string& why) {
    std::string bad = m_path + ".bad";
    m_file = CRegFile();
    if (rename(m_path.c_str(), bad.c_str()) != 0) {
      // The user's file stays where it is, untouched: refuse to write over it.
      m_usable = false;
      QuillogW(QUILLOG_ERROR, QLF_NONE,
               L"ReadSettings() : The settings file %S cannot be used (%S) and cannot be kept aside (%S); defaults are "
               L"used",
               m_path, why, std::strerror(errno));
      return;
    }
    QuillogW(QUILLOG_ERROR, QLF_NONE,
             L"ReadSettings() : The settings file %S cannot be used (%S); it is kept as %S and defaults are used",
             m_path, why, bad);
  }

  std::lock_guard<std::mutex> m_lock;
  Fd m_lock_fd;
  std::string m_folder;
  std::string m_path;
  CRegFile m_file;
  bool m_usable = true;
};

std::wstring KeyPath(const SettingRow* row) {
  return L"HKEY_CURRENT_USER\\Software\\" + ReadSettingString(SETTING_COMPANY_NAME) + L"\\" +
         ReadSettingString(SETTING_PRODUCT_NAME) + L"\\" + row->section;
}

std::wstring ValueName(const SettingRow* row, int index) {
  std::wstring name = row->key;
  if (index >= 0) name += L"_" + std::to_wstring(index);
  return name;
}

// Opens the key for reading, creating it when missing; null when the store
// cannot be used.
RegKey* OpenKey(SettingsSession& session, const std::wstring& path) {
  if (!session.Usable()) return nullptr;
  bool created = false;
  RegKey* key = session.File().CreateKey(path, &created);
  if (!created) return key;
  int err = 0;
  if (!session.Save(&err)) return nullptr;
  return session.File().FindKey(path);
}

// Windows environment expansion: %NAME% replaced when NAME is set, kept
// as written otherwise.
bool ExpandEnvironment(const std::wstring& text, std::wstring* out) {
  constexpr size_t kMax = 4096;
  out->clear();
  size_t i = 0;
  while (i < text.size()) {
    size_t close = std::wstring::npos;
    if (text[i] == L'%') close = text.find(L'%', i + 1);
    if (close == std::wstring::npos) {
      out->push_back(text[i++]);
      continue;
    }
    std::wstring name = text.substr(i + 1, close - i - 1);
    const char* value = name.empty() ? nullptr : std::getenv(quillog::WideToUtf8(name).c_str());
    if (value) {
      *out += quillog::Utf8ToWide(value);
      i = close + 1;
    } else {
      out->append(text, i, close - i + 1);
      i = close + 1;
    }
    if (out->size() >= kMax) return false;
  }
  return out->size() < kMax;
}

bool WriteValue(const SettingRow* row, const RegValue& value) {
  SettingsSession session;
  int err = 0;
  RegKey* key = session.Usable() ? session.File().CreateKey(KeyPath(row)) : nullptr;
  if (key) {
    CRegFile::SetValue(key, value);
    if (session.Save(&err)) return true;
  } else {
    err = EIO;
  }
  QuillogW(QUILLOG_ERROR, QLF_NONE, L"Error while setting the registry key %s (%d)", value.name, err);
  return false;
}

}  // namespace

const SettingRow* SettingsTable() { return kTable; }

const SettingRow* FindSetting(uint32_t number) {
  for (const SettingRow* row = kTable; row->kind != SETTING_KIND_END; ++row)
    if (row->number == number) return row;
  return nullptr;
}

bool ReadSettingDword(uint32_t number, int index, uint32_t* value) {
  uint32_t dummy = 0;
  if (!value) value = &dummy;
  const SettingRow* row = FindSetting(number);
  if (!row) {
    *value = 0;
    return false;
  }
  *value = DecimalValue(row->default_value);
  if (row->kind == SETTING_KIND_CONSTANT) return true;
  if (row->kind == SETTING_KIND_VERSION) {
    *value = DecimalValue(VersionString(row->key));
    return true;
  }
  std::wstring path = KeyPath(row);
  std::wstring name = ValueName(row, index);
  SettingsSession session;
  const RegValue* stored = CRegFile::FindValue(OpenKey(session, path), name);
  if (!stored) return false;
  if (stored->type != REG_TYPE_DWORD) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"The read value of %s is not a REG_DWORD type", name);
    return false;
  }
  *value = stored->dword;
  return true;
}

uint32_t ReadSettingDword(uint32_t number, int index) {
  uint32_t value = 0;
  ReadSettingDword(number, index, &value);
  return value;
}

std::wstring ReadSettingString(uint32_t number) {
  const SettingRow* row = FindSetting(number);
  if (!row) return std::wstring();
  if (row->kind == SETTING_KIND_CONSTANT) return row->default_value;
  if (row->kind == SETTING_KIND_VERSION) return VersionString(row->key);
  std::wstring path = KeyPath(row);
  SettingsSession session;
  const RegValue* stored = CRegFile::FindValue(OpenKey(session, path), row->key);
  if (!stored) return row->default_value;
  switch (stored->type) {
    case REG_TYPE_SZ: return stored->text;
    case REG_TYPE_EXPAND_SZ: {
      std::wstring raw = CRegFile::Utf16LeToWide(stored->bytes);
      std::wstring expanded;
      if (ExpandEnvironment(raw, &expanded)) return expanded;
      QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to expand the string '%s", raw);
      return row->default_value;
    }
    case REG_TYPE_MULTI_SZ: {
      std::wstring joined;
      for (const std::wstring& piece : CRegFile::MultiSzStrings(stored->bytes)) {
        if (!joined.empty()) joined += L"\r\n";
        joined += piece;
      }
      return joined;
    }
    default:
      QuillogW(QUILLOG_ERROR, QLF_NONE, L"The type of %s is not a REG_SZ nor REG_EXPAND_SZ", std::wstring(row->key));
      return row->default_value;
  }
}

bool WriteSettingDword(uint32_t number, int index, uint32_t value) {
  const SettingRow* row = FindSetting(number);
  if (!row || row->kind != SETTING_KIND_REGISTRY) return false;
  RegValue v;
  v.name = ValueName(row, index);
  v.type = REG_TYPE_DWORD;
  v.dword = value;
  return WriteValue(row, v);
}

bool WriteSettingString(uint32_t number, const std::wstring& text) {
  const SettingRow* row = FindSetting(number);
  if (!row || row->kind != SETTING_KIND_REGISTRY) return false;
  RegValue v;
  v.name = row->key;
  v.type = REG_TYPE_SZ;
  v.text = text;
  return WriteValue(row, v);
}

bool ReadWindowPlacement(WindowPlacement* placement) {
  if (!placement) return false;
  const SettingRow* row = FindSetting(SETTING_MAINFRAME_WINDOW_PLACEMENT);
  std::wstring path = KeyPath(row);
  SettingsSession session;
  const RegValue* stored = CRegFile::FindValue(OpenKey(session, path), row->key);
  if (!stored) return false;
  if (stored->type != REG_TYPE_BINARY || stored->bytes.size() != sizeof(WindowPlacement)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"The read value of %s is not a REG_BINARY type of %d bytes",
             std::wstring(row->key), static_cast<int>(sizeof(WindowPlacement)));
    return false;
  }
  std::memcpy(placement, stored->bytes.data(), sizeof(WindowPlacement));
  return true;
}

bool WriteWindowPlacement(const WindowPlacement& placement) {
  const SettingRow* row = FindSetting(SETTING_MAINFRAME_WINDOW_PLACEMENT);
  RegValue v;
  v.name = row->key;
  v.type = REG_TYPE_BINARY;
  const uint8_t* p = reinterpret_cast<const uint8_t*>(&placement);
  v.bytes.assign(p, p + sizeof(WindowPlacement));
  return WriteValue(row, v);
}

std::string SettingsFilePath() {
  std::string folder = SettingsFolder();
  return folder.empty() ? std::string() : folder + "/settings.reg";
}

std::wstring ProductVersionText() {
  return std::to_wstring(TAVELO_VERSION_MAJOR) + L"." + std::to_wstring(TAVELO_VERSION_MINOR) + L"." +
         std::to_wstring(TAVELO_VERSION_PATCH) + L".0";
}

uint32_t ProductVersionMajor() { return TAVELO_VERSION_MAJOR; }
uint32_t ProductVersionMinor() { return TAVELO_VERSION_MINOR; }
