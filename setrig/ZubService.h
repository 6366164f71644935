// Services as systemd units. The "service control manager" is the unit
// folder ($SETRIG_UNIT_DIR, /etc/systemd/system when unset) with the
// systemctl program ($SETRIG_SYSTEMCTL, systemctl when unset); a service
// is open when its unit file <name>.service is in that folder. systemctl
// is always run with an argument vector, never through a shell.
#pragma once

#include <string>
#include <vector>

class CZubService {
 public:
  // Logs "Bad handle to Service Control Manager" when the unit folder is
  // not there.
  explicit CZubService(const std::wstring& name);

  bool IsManagerOpen() const { return m_manager_open; }

  // Writes the unit (description, ExecStart with the executable, started
  // at boot), reloads systemd and enables the unit.
  bool Create(const std::wstring& executable, const std::wstring& display_name, const std::wstring& description);
  bool Start();
  bool Stop();
  // Stops a running service first; a failed stop does not prevent the deletion.
  bool Delete();

  // True for a name systemd accepts as a unit name (letters, digits and
  // ":-_.\@"), without the ".service" suffix.
  static bool IsValidName(const std::wstring& name);
  static std::string UnitDir();
  static std::string Systemctl();
  // The unit file's text.
  static std::string UnitText(const std::string& executable, const std::string& display_name,
                              const std::string& description);

 private:
  bool _open();
  bool _is_running();
  // Runs systemctl with the arguments; its output in *output.
  bool _systemctl(const std::vector<std::string>& args, std::string* output = nullptr);

  std::wstring m_name;
  std::string m_unit;       // "<name>.service"
  std::string m_unit_path;  // the unit file
  bool m_manager_open = false;
  bool m_service_open = false;
};
