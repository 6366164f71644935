#include "gui/MyMenu.h"

#include "quillog/Quillog.h"

#include <QMenuBar>

namespace {

uint32_t KindOf(const MenuEntry& entry) { return entry.kind_and_id & MENU_KIND_MASK; }
uint32_t IdOf(const MenuEntry& entry) { return entry.kind_and_id & MENU_ID_MASK; }

}  // namespace

std::wstring MenuText(const MenuStringTable& strings, uint32_t id) {
  const std::wstring text = strings(id);
  const std::wstring part = text.substr(0, text.find(L'\n'));
  if (part.empty()) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"The resource string %d has no \\n separator for menu string",
             static_cast<int>(id));
  }
  return part;
}

std::wstring MenuPrompt(const MenuStringTable& strings, uint32_t id) {
  const std::wstring text = strings(id);
  const size_t at = text.find(L'\n');
  return at == std::wstring::npos ? std::wstring() : text.substr(at + 1);
}

CMyMenu::CMyMenu(QObject* parent, MenuStringTable strings) : QObject(parent), m_strings(std::move(strings)) {}

bool CMyMenu::BuildMenuBar(const MenuEntry* description, QMenuBar* bar) {
  if (!description || !bar) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"No description is given to create the menu");
    return false;
  }
  for (const MenuEntry* entry = description; KindOf(*entry) != MENU_END; ++entry) {
    if (KindOf(*entry) != MENU_POPUP) {
      QuillogW(QUILLOG_ERROR, QLF_NONE, L"An error while adding a popup to the menu");
      return false;
    }
    QMenu* menu = bar->addMenu(QString::fromStdWString(MenuText(m_strings, IdOf(*entry))));
    if (!_fill(menu, entry->sub)) return false;
  }
  m_loaded = true;
  return true;
}

bool CMyMenu::BuildPopup(const MenuEntry* description, QWidget* parent) {
  if (!description) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"No description is given to create the menu");
    return false;
  }
  if (parent) {
    m_popup = new QMenu(parent);  // owned by its parent widget
  } else {
    m_own_popup = std::make_unique<QMenu>();
    m_popup = m_own_popup.get();
  }
  if (!_fill(m_popup, description)) return false;
  m_loaded = true;
  return true;
}

bool CMyMenu::AppendPopup(const MenuEntry* description) { return m_loaded && m_popup && _fill(m_popup, description); }

bool CMyMenu::_fill(QMenu* menu, const MenuEntry* entries) {
  if (!entries) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"An error while creating a popup menu");
    return false;
  }
  for (const MenuEntry* entry = entries; KindOf(*entry) != MENU_END; ++entry) {
    switch (KindOf(*entry)) {
      case MENU_SEPARATOR: menu->addSeparator(); break;
      case MENU_POPUP: {
        QMenu* sub = menu->addMenu(QString::fromStdWString(MenuText(m_strings, IdOf(*entry))));
        if (!_fill(sub, entry->sub)) return false;
        break;
      }
      default: _add_item(menu, IdOf(*entry)); break;
    }
  }
  return true;
}

QAction* CMyMenu::_add_item(QMenu* menu, uint32_t id) {
  QAction* action = menu->addAction(QString::fromStdWString(MenuText(m_strings, id)));
  action->setData(id);
  action->setStatusTip(QString::fromStdWString(MenuPrompt(m_strings, id)));
  connect(action, &QAction::triggered, this, [this, id] { emit commandTriggered(id); });
  m_actions.push_back(action);
  return action;
}

std::vector<QAction*> CMyMenu::Actions(uint32_t command) const {
  std::vector<QAction*> out;
  for (QAction* action : m_actions)
    if (action->data().toUInt() == command) out.push_back(action);
  return out;
}

bool CMyMenu::EnableItem(uint32_t command, bool enable) {
  if (!m_loaded) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"The menu is not loaded");
    return false;
  }
  std::vector<QAction*> found = Actions(command);
  if (found.empty()) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"An error while disabling an item in the menu");
    return false;
  }
  for (QAction* action : found) action->setEnabled(enable);
  return true;
}

bool CMyMenu::CheckItem(uint32_t command, bool check) {
  if (!m_loaded) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"The menu is not loaded");
    return false;
  }
  std::vector<QAction*> found = Actions(command);
  if (found.empty()) {
    QuillogW(
        QUILLOG_ERROR, QLF_NONE,
        check ? L"An error while checking on an item in the menu" : L"An error while checking off an item in the menu");
    return false;
  }
  for (QAction* action : found) {
    action->setCheckable(true);
    action->setChecked(check);
  }
  return true;
}

bool CMyMenu::TrackPopup(const QPoint& screen_point) {
  if (!m_popup) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"No menu loaded");
    return false;
  }
  m_popup->popup(screen_point);
  return true;
}
