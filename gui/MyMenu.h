// Menus built at run time from a compact description table and the
// program's string table.
//
// An entry is three words: the kind (top two bits) with the identifier (low
// 30 bits), a word that is always 0, and the sub-array of a pop-up. The
// identifier is both the command number of an item and the number of the
// string holding its text; the text is the string's part before its first
// line feed (the part after it is the prompt shown in the status bar), and a
// tab in the text puts the shortcut at the right.
#pragma once

#include <QMenu>
#include <QObject>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QMenuBar;

struct MenuEntry {
  uint32_t kind_and_id;
  uint32_t reserved;
  const MenuEntry* sub;
};

constexpr uint32_t MENU_KIND_MASK = 0xC0000000u;
constexpr uint32_t MENU_ID_MASK = 0x3FFFFFFFu;
constexpr uint32_t MENU_ITEM = 0x00000000u;
constexpr uint32_t MENU_SEPARATOR = 0x40000000u;
constexpr uint32_t MENU_POPUP = 0x80000000u;
constexpr uint32_t MENU_END = 0xC0000000u;

// The program's string table: the string with that number, empty if none.
using MenuStringTable = std::function<std::wstring(uint32_t id)>;
std::wstring ProgramString(uint32_t id);

// The menu text of a string: its part before the first line feed (the whole
// string without one). An empty part logs an error and gives "".
std::wstring MenuText(const MenuStringTable& strings, uint32_t id);
// The part after the first line feed (status-bar prompt), empty if none.
std::wstring MenuPrompt(const MenuStringTable& strings, uint32_t id);

class CMyMenu : public QObject {
  Q_OBJECT

 public:
  explicit CMyMenu(QObject* parent = nullptr, MenuStringTable strings = ProgramString);

  // Builds the description into the bar (one pop-up per top entry).
  bool BuildMenuBar(const MenuEntry* description, QMenuBar* bar);
  // Builds the description as a pop-up menu owned by this object.
  bool BuildPopup(const MenuEntry* description, QWidget* parent = nullptr);
  // Adds more entries at the end of the built pop-up.
  bool AppendPopup(const MenuEntry* description);

  bool EnableItem(uint32_t command, bool enable);
  bool CheckItem(uint32_t command, bool check);
  // Shows the pop-up at a screen point and returns at once.
  bool TrackPopup(const QPoint& screen_point);

  bool IsLoaded() const { return m_loaded; }
  // Every action of the command (the same command may sit in several pop-ups).
  std::vector<QAction*> Actions(uint32_t command) const;
  // Every item action, in description order.
  const std::vector<QAction*>& AllActions() const { return m_actions; }
  QMenu* Popup() const { return m_popup.data(); }

 signals:
  void commandTriggered(uint32_t command);

 private:
  bool _fill(QMenu* menu, const MenuEntry* entries);
  QAction* _add_item(QMenu* menu, uint32_t id);

  MenuStringTable m_strings;
  bool m_loaded = false;
  std::unique_ptr<QMenu> m_own_popup;  // a pop-up without a parent widget
  QPointer<QMenu> m_popup;
  std::vector<QAction*> m_actions;
};
