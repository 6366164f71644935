#include "setrig/ZubService.h"

#include "quillog/Quillog.h"
#include "setrig/AtomicFile.h"
#include "setrig/ZubProcess.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kDefaultUnitDir = "/etc/systemd/system";
constexpr const char* kDefaultSystemctl = "systemctl";
constexpr int kSystemctlTimeoutMs = 120000;

std::string Env(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] != '\0' ? value : fallback;
}

bool IsDirectory(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

// One line of a unit file: control characters would start a new directive.
std::string OneLine(const std::string& text) {
  std::string line;
  for (char c : text) line += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
  return line;
}

// A value that systemd reads back unchanged: no specifiers, no variables.
std::string Unexpanded(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '%') out += '%';
    out += c;
  }
  return OneLine(out);
}

// ExecStart's program, quoted so that spaces, quotes and backslashes survive.
std::string QuotedProgram(const std::string& path) {
  std::string out = "\"";
  for (char c : Unexpanded(path)) {
    if (c == '"' || c == '\\') out += '\\';
    if (c == '$') out += '$';
    out += c;
  }
  return out + "\"";
}

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  return text;
}

}  // namespace

CZubService::CZubService(const std::wstring& name) : m_name(name) {
  const std::string narrow = quillog::WideToUtf8(name);
  m_unit = narrow + ".service";
  m_unit_path = UnitDir() + "/" + m_unit;
  m_manager_open = IsDirectory(UnitDir());
  if (!m_manager_open) QuillogW(QUILLOG_ERROR, QLF_NONE, L"Bad handle to Service Control Manager");
}

std::string CZubService::UnitDir() { return Env("SETRIG_UNIT_DIR", kDefaultUnitDir); }

std::string CZubService::Systemctl() { return Env("SETRIG_SYSTEMCTL", kDefaultSystemctl); }

bool CZubService::IsValidName(const std::wstring& name) {
  if (name.empty() || name.size() > 200 || name == L"." || name == L"..") return false;
  for (wchar_t c : name) {
    const bool ok = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L':' ||
                    c == L'-' || c == L'_' || c == L'.' || c == L'\\' || c == L'@';
    if (!ok) return false;
  }
  return true;
}

std::string CZubService::UnitText(const std::string& executable, const std::string& display_name,
                                  const std::string& description) {
  std::string text;
  text += "# Created by the Tavelo installer.\n";
  text += "[Unit]\n";
  text += "Description=" + Unexpanded(description) + "\n";
  text += "X-Tavelo-DisplayName=" + OneLine(display_name) + "\n";
  text += "\n[Service]\n";
  text += "Type=simple\n";
  text += "ExecStart=" + QuotedProgram(executable) + "\n";
  text += "\n[Install]\n";
  text += "WantedBy=multi-user.target\n";
  return text;
}

bool CZubService::_systemctl(const std::vector<std::string>& args, std::string* output) {
  std::vector<std::string> argv = {Systemctl()};
  argv.insert(argv.end(), args.begin(), args.end());
  const setrig::ProcessResult result = setrig::RunProgram(argv, kSystemctlTimeoutMs);
  if (output != nullptr) *output = Trimmed(result.output);
  if (!result.started && output != nullptr) *output = "cannot run " + Systemctl();
  if (result.timed_out && output != nullptr) *output = Systemctl() + " did not answer in time";
  return result.started && result.exit_code == 0;
}

bool CZubService::_open() {
  if (!m_manager_open) return false;
  m_service_open = IsFile(m_unit_path);
  if (!m_service_open) QuillogW(QUILLOG_ERROR, QLF_NONE, L"Bad handle to Service");
  return m_service_open;
}

bool CZubService::_is_running() {
  std::string state;
  _systemctl({"is-active", m_unit}, &state);
  return state == "active" || state == "activating" || state == "reloading";
}

bool CZubService::Create(const std::wstring& executable, const std::wstring& display_name,
                         const std::wstring& description) {
  if (!m_manager_open) return false;
  QuillogW(QUILLOG_USER, QLF_LIB_SERVICE, L"ServiceFileName = %s", executable);
  if (executable.empty() || executable[0] != L'/') {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"The file %s seems to not be an absolute pathname", executable);
    return false;
  }
  const std::string program = quillog::WideToUtf8(executable);
  if (OneLine(program) != program) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"The file %s has control characters, a unit cannot start it", executable);
    return false;
  }
  if (::access(program.c_str(), F_OK) != 0) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"The file %s does not exist, can't create the service", executable);
    return false;
  }
  if (IsFile(m_unit_path)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Error while creating the service [%s]", L"The service already exists");
    return false;
  }
  std::string error;
  const std::string text = UnitText(program, quillog::WideToUtf8(display_name), quillog::WideToUtf8(description));
  if (!setrig::WriteFileAtomically(m_unit_path, text, 0644, &error)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Error while creating the service [%S]", error);
    return false;
  }
  m_service_open = true;
  std::string output;
  if (!_systemctl({"daemon-reload"}, &output) || !_systemctl({"enable", m_unit}, &output)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Error while sending a configuration query to the service");
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"systemctl : %S", output);
    return false;
  }
  return true;
}

bool CZubService::Start() {
  if (!_open()) return false;
  QuillogW(QUILLOG_USER, QLF_LIB_SERVICE, L"StartService");
  std::string output;
  if (!_systemctl({"start", m_unit}, &output)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Error while starting the service [%S]", output);
    return false;
  }
  return true;
}

bool CZubService::Stop() {
  if (!_open()) return false;
  std::string output;
  if (!_systemctl({"stop", m_unit}, &output)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Error while sending a command to the service");
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Error while stopping the service");
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"systemctl : %S", output);
    return false;
  }
  return true;
}

bool CZubService::Delete() {
  if (!_open()) return false;
  if (_is_running()) Stop();
  std::string output;
  const bool disabled = _systemctl({"disable", m_unit}, &output);
  const bool removed = ::unlink(m_unit_path.c_str()) == 0;
  if (!removed) output = std::strerror(errno);
  _systemctl({"daemon-reload"});
  if (!disabled || !removed) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Error while deleting the service");
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"systemctl : %S", output);
    return false;
  }
  m_service_open = false;
  return true;
}
