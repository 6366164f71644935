#include "gui/MainMenu.h"

#include <unordered_map>

namespace {

constexpr MenuEntry Item(uint32_t id) { return {MENU_ITEM | id, 0, nullptr}; }
constexpr MenuEntry Popup(uint32_t id, const MenuEntry* sub) { return {MENU_POPUP | id, 0, sub}; }
constexpr MenuEntry kSeparator{MENU_SEPARATOR, 0, nullptr};
constexpr MenuEntry kEnd{MENU_END, 0, nullptr};

constexpr MenuEntry kProgram[] = {Item(ID_VIEW_TOOLBAR), Item(ID_VIEW_STATUS_BAR), kSeparator,
                                  Item(ID_APP_ABOUT),    Item(ID_APP_EXIT),        kEnd};
constexpr MenuEntry kView[] = {Item(ID_VIEW_BROWSER), Item(ID_VIEW_WALKER), Item(ID_VIEW_TRAPPER),
                               Item(ID_VIEW_SIMULER), Item(ID_VIEW_LOGGER), kEnd};
constexpr MenuEntry kBrowserDisplay[] = {Item(ID_BROWSER_DISPLAY_OID), Item(ID_BROWSER_DISPLAY_NAME),
                                         Item(ID_BROWSER_DISPLAY_OID_NAME), kEnd};
constexpr MenuEntry kBrowser[] = {Item(ID_BROWSER_LOAD),
                                  Item(ID_BROWSER_UNLOAD),
                                  Item(ID_BROWSER_RELOAD),
                                  kSeparator,
                                  Item(ID_BROWSER_LOADED_MODULES),
                                  Popup(IDS_MENU_DISPLAY, kBrowserDisplay),
                                  kSeparator,
                                  Item(ID_BROWSER_EXPAND_ONE),
                                  Item(ID_BROWSER_COLLAPSE_ONE),
                                  kEnd};
constexpr MenuEntry kMib[] = {Item(ID_MIB_EDIT), Item(ID_MIB_LOAD), kEnd};
constexpr MenuEntry kCopy[] = {Item(ID_COPY_OID), Item(ID_COPY_VALUE), kEnd};
constexpr MenuEntry kDisplay[] = {Item(ID_DISPLAY_RAW), Item(ID_DISPLAY_SMART), kEnd};
constexpr MenuEntry kRequests[] = {Item(ID_SNMP_GET), Item(ID_SNMP_SET), kEnd};
constexpr MenuEntry kWalker[] = {Item(ID_WALKER_START),
                                 Item(ID_WALKER_RESTART),
                                 Item(ID_WALKER_STOP),
                                 kSeparator,
                                 Item(ID_WALKER_CLEAR),
                                 kSeparator,
                                 Popup(IDS_MENU_MIB, kMib),
                                 Popup(IDS_MENU_COPY, kCopy),
                                 Popup(IDS_MENU_DISPLAY, kDisplay),
                                 Popup(IDS_MENU_SNMP_REQUESTS, kRequests),
                                 kSeparator,
                                 Item(ID_WALKER_SIMULATE),
                                 kEnd};
constexpr MenuEntry kExpand[] = {Item(ID_TRAPPER_EXPAND_ALL), Item(ID_TRAPPER_EXPAND_ONE), kEnd};
constexpr MenuEntry kCollapse[] = {Item(ID_TRAPPER_COLLAPSE_ALL), Item(ID_TRAPPER_COLLAPSE_ONE), kEnd};
constexpr MenuEntry kTrapper[] = {Item(ID_TRAPPER_START),
                                  Item(ID_TRAPPER_RESTART),
                                  Item(ID_TRAPPER_STOP),
                                  kSeparator,
                                  Item(ID_TRAPPER_CLEAR),
                                  kSeparator,
                                  Popup(IDS_MENU_MIB, kMib),
                                  Popup(IDS_MENU_COPY, kCopy),
                                  Popup(IDS_MENU_DISPLAY, kDisplay),
                                  kSeparator,
                                  Popup(IDS_MENU_EXPAND, kExpand),
                                  Popup(IDS_MENU_COLLAPSE, kCollapse),
                                  kEnd};
constexpr MenuEntry kFolder[] = {Item(ID_FOLDER_CREATE), Item(ID_FOLDER_RENAME), Item(ID_FOLDER_DELETE), kEnd};
constexpr MenuEntry kSimulator[] = {Item(ID_SIMULATOR_CREATE),
                                    Item(ID_SIMULATOR_RENAME),
                                    Item(ID_SIMULATOR_DELETE),
                                    kSeparator,
                                    Item(ID_SIMULATOR_START),
                                    Item(ID_SIMULATOR_STOP),
                                    kEnd};
constexpr MenuEntry kSimuler[] = {Popup(IDS_MENU_FOLDER, kFolder), Popup(IDS_MENU_SIMULATOR, kSimulator), kEnd};
constexpr MenuEntry kLogger[] = {Item(ID_LOGGER_CONFIGURE), Item(ID_LOGGER_CLEAR), kEnd};

constexpr MenuEntry kMainMenu[] = {Popup(IDS_MENU_PROGRAM, kProgram), Popup(IDS_MENU_VIEW, kView),
                                   Popup(IDS_MENU_BROWSER, kBrowser), Popup(IDS_MENU_WALKER, kWalker),
                                   Popup(IDS_MENU_TRAPPER, kTrapper), Popup(IDS_MENU_SIMULER, kSimuler),
                                   Popup(IDS_MENU_LOGGER, kLogger),   kEnd};

// Menu text, line feed, status-bar prompt.
const std::unordered_map<uint32_t, const wchar_t*>& Strings() {
  static const std::unordered_map<uint32_t, const wchar_t*> table = {
      {IDS_MENU_PROGRAM, L"Program\n"},
      {IDS_MENU_VIEW, L"View\n"},
      {IDS_MENU_BROWSER, L"Browser\n"},
      {IDS_MENU_WALKER, L"Walker\n"},
      {IDS_MENU_TRAPPER, L"Trapper\n"},
      {IDS_MENU_SIMULER, L"Simuler\n"},
      {IDS_MENU_LOGGER, L"Logger\n"},
      {IDS_MENU_DISPLAY, L"Display\n"},
      {IDS_MENU_MIB, L"MIB\n"},
      {IDS_MENU_COPY, L"Copy\n"},
      {IDS_MENU_SNMP_REQUESTS, L"SNMP requests\n"},
      {IDS_MENU_EXPAND, L"Expand\n"},
      {IDS_MENU_COLLAPSE, L"Collapse\n"},
      {IDS_MENU_FOLDER, L"Folder\n"},
      {IDS_MENU_SIMULATOR, L"Simulator\n"},
      {ID_VIEW_TOOLBAR, L"Tool bar\nShow or hide the tool bar"},
      {ID_VIEW_STATUS_BAR, L"Status bar\nShow or hide the status bar"},
      {ID_APP_ABOUT, L"About...\tF1\nShow the program's version"},
      {ID_APP_EXIT, L"Exit\tAlt+F4\nClose the program"},
      {ID_VIEW_BROWSER, L"Browser\tCtrl+1\nShow the MIB browser"},
      {ID_VIEW_WALKER, L"Walker\tCtrl+2\nShow the walker"},
      {ID_VIEW_TRAPPER, L"Trapper\tCtrl+3\nShow the trap receiver"},
      {ID_VIEW_SIMULER, L"Simuler\tCtrl+4\nShow the agent simulators"},
      {ID_VIEW_LOGGER, L"Logger\tCtrl+5\nShow the program's log"},
      {ID_BROWSER_LOAD, L"Load\nLoad MIB modules"},
      {ID_BROWSER_UNLOAD, L"Unload\nUnload every MIB module"},
      {ID_BROWSER_RELOAD, L"Reload\nLoad the same MIB modules again"},
      {ID_BROWSER_LOADED_MODULES, L"Loaded modules\nList the loaded MIB modules"},
      {ID_BROWSER_DISPLAY_OID, L"OID\nShow objects by OID"},
      {ID_BROWSER_DISPLAY_NAME, L"Name\nShow objects by name"},
      {ID_BROWSER_DISPLAY_OID_NAME, L"Oid && Name\nShow objects by OID and name"},
      {ID_BROWSER_EXPAND_ONE, L"Expand One\t+\nExpand the selected branch by one level"},
      {ID_BROWSER_COLLAPSE_ONE, L"Collapse One\t\u2212\nCollapse the selected branch by one level"},
      {ID_WALKER_START, L"Start\nStart a walk"},
      {ID_WALKER_RESTART, L"Restart\nWalk the same range again"},
      {ID_WALKER_STOP, L"Stop\nStop the walk"},
      {ID_WALKER_CLEAR, L"Clear\nClear the list"},
      {ID_MIB_EDIT, L"Edit\nOpen the MIB file in the text editor"},
      {ID_MIB_LOAD, L"Load\nLoad the MIB module"},
      {ID_COPY_OID, L"OID\nCopy the OID"},
      {ID_COPY_VALUE, L"Value\nCopy the value"},
      {ID_DISPLAY_RAW, L"Raw data\nShow values as received"},
      {ID_DISPLAY_SMART, L"Smart display\nShow values with their MIB names"},
      {ID_SNMP_GET, L"GET\tCtrl+G\nSend a Get request"},
      {ID_SNMP_SET, L"SET\tCtrl+S\nSend a Set request"},
      {ID_WALKER_SIMULATE, L"Simulate\nMake a simulator of the list"},
      {ID_TRAPPER_START, L"Start\nStart the trap receiver"},
      {ID_TRAPPER_RESTART, L"Restart\nRestart the trap receiver"},
      {ID_TRAPPER_STOP, L"Stop\nStop the trap receiver"},
      {ID_TRAPPER_CLEAR, L"Clear\nClear the list"},
      {ID_TRAPPER_EXPAND_ALL, L"Expand All\tCtrl++\nExpand every trap"},
      {ID_TRAPPER_EXPAND_ONE, L"Expand One\t+\nExpand the selected trap"},
      {ID_TRAPPER_COLLAPSE_ALL, L"Collapse All\tCtrl+\u2212\nCollapse every trap"},
      {ID_TRAPPER_COLLAPSE_ONE, L"Collapse One\t\u2212\nCollapse the selected trap"},
      {ID_FOLDER_CREATE, L"Create\nCreate a folder"},
      {ID_FOLDER_RENAME, L"Rename\nRename the folder"},
      {ID_FOLDER_DELETE, L"Delete\nDelete the folder"},
      {ID_SIMULATOR_CREATE, L"Create\nCreate a simulator"},
      {ID_SIMULATOR_RENAME, L"Rename\nRename the simulator"},
      {ID_SIMULATOR_DELETE, L"Delete\nDelete the simulator"},
      {ID_SIMULATOR_START, L"Start\nStart the simulator"},
      {ID_SIMULATOR_STOP, L"Stop\nStop the simulator"},
      {ID_LOGGER_CONFIGURE, L"Configure\nChoose the logged features"},
      {ID_LOGGER_CLEAR, L"Clear\nClear the log list"},
  };
  return table;
}

}  // namespace

std::wstring ProgramString(uint32_t id) {
  auto it = Strings().find(id);
  return it == Strings().end() ? std::wstring() : std::wstring(it->second);
}

const MenuEntry* MainMenuDescription() { return kMainMenu; }

const MenuEntry* MainMenuPopup(uint32_t string_id) {
  for (const MenuEntry* entry = kMainMenu; (entry->kind_and_id & MENU_KIND_MASK) != MENU_END; ++entry) {
    if ((entry->kind_and_id & MENU_ID_MASK) == string_id) return entry->sub;
  }
  return nullptr;
}
