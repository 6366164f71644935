// The settings store: one constant table of settings addressed by number.
//
// Per-user values live in one REGEDIT4 text file,
// ${XDG_CONFIG_HOME:-$HOME/.config}/tavelo/settings.reg, under the keys
// [HKEY_CURRENT_USER\Software\Tavelo\Tavelo\<Section>]. The store keeps no
// cache: every read parses the file, every write replaces it atomically under
// an advisory lock. A file that cannot be parsed is kept aside as
// settings.reg.bad and the defaults are read.
#pragma once

#include <cstdint>
#include <string>

// Setting numbers (the rows of the settings table).
enum TaveloSetting : uint32_t {
  // Version information (kind 3).
  SETTING_PRODUCT_NAME = 0,
  SETTING_COMPANY_NAME = 1,
  // Constants (kind 0).
  SETTING_LANGUAGE = 2,
  SETTING_MIB_FOLDER_NAME = 3,
  SETTING_SIMULATOR_FOLDER_NAME = 4,
  SETTING_MIB_EXTENSION = 5,
  SETTING_SIMULATOR_EXTENSION = 6,
  SETTING_MAX_SIMULATORS = 7,
  SETTING_MAX_SIMULATOR_VALUES = 8,
  SETTING_ODD_ROW_RED = 10,
  SETTING_ODD_ROW_GREEN = 11,
  SETTING_ODD_ROW_BLUE = 12,
  SETTING_EVEN_ROW_RED = 13,
  SETTING_EVEN_ROW_GREEN = 14,
  SETTING_EVEN_ROW_BLUE = 15,
  SETTING_TRAP_ALT1_RED = 16,
  SETTING_TRAP_ALT1_GREEN = 17,
  SETTING_TRAP_ALT1_BLUE = 18,
  SETTING_TRAP_ALT2_RED = 19,
  SETTING_TRAP_ALT2_GREEN = 20,
  SETTING_TRAP_ALT2_BLUE = 21,
  // Per-user values (kind 2).
  SETTING_MAINFRAME_WINDOW_PLACEMENT = 22,
  SETTING_MAINFRAME_STATUS_BAR = 23,
  SETTING_MAINFRAME_TOOL_BAR = 24,
  SETTING_MAINFRAME_LAST_VIEW = 25,
  SETTING_MAINFRAME_BORDER_SIZE = 26,
  SETTING_MAINFRAME_TAB_POSITION = 27,
  SETTING_VIEW_LOGS_COL_WIDTH = 28,
  SETTING_VIEW_LOGS_LOG_LEVEL = 29,
  SETTING_VIEW_MIB_BROWSER_SPLITTER_X = 30,
  SETTING_VIEW_MIB_BROWSER_LAST_FILE = 31,
  SETTING_VIEW_MIB_BROWSER_TEXT_EDITOR = 32,
  SETTING_VIEW_MIB_BROWSER_DISPLAY_OID_MODE = 33,
  SETTING_VIEW_MIB_BROWSER_DISPLAY_MODULE_MODE = 34,
  SETTING_DLG_SNMP_PARAMETER_LAST_IP = 35,
  SETTING_DLG_SNMP_PARAMETER_LAST_PORT = 36,
  SETTING_DLG_SNMP_PARAMETER_LAST_TIMEOUT = 37,
  SETTING_DLG_SNMP_PARAMETER_LAST_RETRY = 38,
  SETTING_DLG_SNMP_PARAMETER_LAST_VERSION = 39,
  SETTING_DLG_SNMP_PARAMETER_LAST_COMMUNITY = 40,
  SETTING_DLG_SNMP_PARAMETER_LAST_FIRST_OID = 41,
  SETTING_DLG_SNMP_PARAMETER_LAST_LAST_OID = 42,
  SETTING_DLG_SNMP_SET_LAST_COMMUNITY = 43,
  SETTING_DLG_SNMP_SET_LAST_VALUE = 44,
  SETTING_VIEW_WALKER_COL_WIDTH = 45,
  SETTING_VIEW_WALKER_DISPLAY_OID_MODE = 46,
  SETTING_VIEW_TRAPPER_COL_WIDTH = 47,
  SETTING_VIEW_TRAPPER_DISPLAY_OID_MODE = 48,
  SETTING_DLG_TRAP_PARAMETER_LAST_PORT = 49,
  SETTING_DLG_TRAP_PARAMETER_LAST_AUTO_START = 50,
  SETTING_VIEW_SIMULER_SPLITTER_X = 51,
  SETTING_VIEW_SIMULER_SPLITTER_Y1 = 52,
  SETTING_VIEW_SIMULER_SPLITTER_Y2 = 53,
  SETTING_VIEW_SIMULER_LAST_SELECTED_SIMULATOR = 54,
  SETTING_VIEW_SIMULER_LAST_STARTED_SIMULATOR = 55,
  SETTING_DLG_CREATE_SIMULATOR_LAST_RECV_PORT = 57,
  SETTING_DLG_CREATE_SIMULATOR_LAST_RECV_VERSION1 = 58,
  SETTING_DLG_CREATE_SIMULATOR_LAST_RECV_VERSION2C = 59,
  SETTING_DLG_CREATE_SIMULATOR_LAST_RECV_COMMUNITY = 60,
  SETTING_DLG_CREATE_SIMULATOR_LAST_SEND_COMMUNITY = 61,
  SETTING_DLG_CREATE_SIMULATOR_LAST_SEND_PORT = 62,
  SETTING_DLG_CREATE_SIMULATOR_LAST_SEND_REMEMBER_IP_ADDRESS = 63,
  SETTING_DLG_CREATE_SIMULATOR_LAST_SEND_IP_ADDRESS = 64,
  SETTING_VIEW_SIMULER_VALUE_COL_WIDTH = 65,
  SETTING_VIEW_SIMULER_VALUE_DISPLAY_OID_MODE = 66,
  SETTING_VIEW_SIMULER_TRAP_COL_WIDTH = 67,
};

// Kinds of rows in the settings table.
enum SettingKind : uint32_t {
  SETTING_KIND_CONSTANT = 0,
  SETTING_KIND_REGISTRY = 2,
  SETTING_KIND_VERSION = 3,
  SETTING_KIND_END = 4,
};

// Value type of a per-user setting.
enum SettingValueType : uint32_t {
  SETTING_TYPE_NONE = 0,
  SETTING_TYPE_DWORD = 1,   // REG_DWORD (with or without an index)
  SETTING_TYPE_STRING = 2,  // REG_SZ
  SETTING_TYPE_BINARY = 3,  // REG_BINARY
};

// One row of the settings table.
struct SettingRow {
  uint32_t kind;
  uint32_t number;
  const wchar_t* section;
  const wchar_t* key;
  const wchar_t* default_value;
  uint32_t type;
};

// The table, ending with a row of kind SETTING_KIND_END. Null when absent.
const SettingRow* SettingsTable();
const SettingRow* FindSetting(uint32_t number);

// Reads a number. index -1 for none; otherwise the value name is key + "_" +
// index. The value falls back to the default; the result says whether the
// stored value was read.
bool ReadSettingDword(uint32_t number, int index, uint32_t* value);
// Convenience form: the value (default on any failure).
uint32_t ReadSettingDword(uint32_t number, int index = -1);
// Reads a text; the default when missing or unreadable.
std::wstring ReadSettingString(uint32_t number);
// Writes a per-user setting; other kinds are refused with false.
bool WriteSettingDword(uint32_t number, int index, uint32_t value);
bool WriteSettingString(uint32_t number, const std::wstring& text);

// The 44-byte Windows placement record (WINDOWPLACEMENT layout).
struct WindowPlacement {
  uint32_t length = 44;
  uint32_t flags = 0;
  uint32_t show_cmd = 0;
  int32_t min_x = 0, min_y = 0;
  int32_t max_x = 0, max_y = 0;
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};
static_assert(sizeof(WindowPlacement) == 44, "placement record is 44 bytes");

bool ReadWindowPlacement(WindowPlacement* placement);
bool WriteWindowPlacement(const WindowPlacement& placement);

// Path of the settings file (derived from the environment at each call).
std::string SettingsFilePath();

// Program version: "major.minor.patch.0" and its parts.
std::wstring ProductVersionText();
uint32_t ProductVersionMajor();
uint32_t ProductVersionMinor();
