// CViewSimulerValue: the OID values of the selected simulator, with the
// commands that add, modify and delete them. Every change is saved at once;
// a running simulator's values cannot be edited.
#pragma once

#include "app/MessageCenter.h"
#include "asn1/Asn1Oid.h"
#include "gui/CommandTarget.h"
#include "gui/MyListView.h"

#include <cstdint>
#include <string>

class CMyMenu;
class CSimulatorEntry;
class CSimulatorLibrary;

// Commands of the value list's own menu (and their string numbers).
enum SimulerValueCommand : uint32_t {
  ID_VALUE_ADD = 70,
  ID_VALUE_MODIFY = 78,
  ID_VALUE_DELETE = 79,
  IDS_MENU_VALUE = 1018,
};

// One row: a copy of a stored value, so the list never reads the value list
// while the agent engine may change it.
struct SimulerValueRow {
  CAsn1Oid oid;
  uint8_t type = 0;
  std::wstring value;
};

class CViewSimulerValue : public CMyListViewOf<SimulerValueRow>, public CViewWindow, public CCommandTarget {
 public:
  enum Column { COLUMN_NUMBER, COLUMN_OID, COLUMN_TYPE, COLUMN_VALUE, COLUMN_COUNT };
  enum DisplayMode : uint32_t { DISPLAY_RAW = 1, DISPLAY_SMART = 2 };

  CViewSimulerValue(CViewDispatcher* dispatcher, CSimulatorLibrary* library, QWidget* parent = nullptr);
  ~CViewSimulerValue() override;

  bool OnCommand(uint32_t command) override;
  bool IsCommandEnabled(uint32_t command) const override;
  intptr_t OnViewMessage(uint32_t message, uintptr_t sub_code, uintptr_t payload) override;

  // Shows the entry's values (nothing for a folder or null).
  void Show(CSimulatorEntry* entry);
  CSimulatorEntry* Shown() const { return m_entry; }
  uint32_t DisplayMode() const { return m_mode; }

  bool OnAdd();
  bool OnModify();
  bool OnDelete();

  QString CellText(int row, int column) const override;
  QColor RowColour(int row) const override { return AlternateRowColour(row); }
  QString EmptyText() const override;

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  bool _editable() const;
  int _selected_count() const;
  int _selected_row() const;
  void _saved_and_tell();
  void _set_mode(uint32_t mode);

  CSimulatorLibrary* m_library;
  CSimulatorEntry* m_entry = nullptr;
  uint32_t m_mode = DISPLAY_RAW;
  CMyMenu* m_context_menu = nullptr;
};
