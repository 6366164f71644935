// The five tabs of the main window: Browser, Walker, Trapper, Simuler and
// Logger. It activates a tab on the View commands and on the chooser view
// messages, and remembers the active tab in MainFrame / LastView.
#pragma once

#include "app/MessageCenter.h"

#include <QTabWidget>

#include <array>
#include <cstdint>

class CCommandTarget;

enum TaveloTab : int {
  TAB_BROWSER = 0,
  TAB_WALKER = 1,
  TAB_TRAPPER = 2,
  TAB_SIMULER = 3,
  TAB_LOGGER = 4,
  TAB_COUNT = 5,
};

class CTabbedView : public QTabWidget, public CViewWindow {
  Q_OBJECT

 public:
  CTabbedView(CViewDispatcher* dispatcher, QWidget* parent = nullptr);
  ~CTabbedView() override;

  // Activates a tab (logs it, stores LastView, focuses its view).
  bool ActivateTab(int index);
  // The view shown in a tab.
  QWidget* View(int index) const;
  // The active tab's view as a command target, null if it takes none.
  CCommandTarget* ActiveTarget() const;
  // Hands a command to the active view; false when nobody ran it.
  bool RouteCommand(uint32_t command);
  bool IsCommandEnabled(uint32_t command) const;
  // The keypad plus or minus key alone: one level on Browser and Trapper.
  void ExpandCollapseOne(bool expand);
  // Margin around every tab's view (MainFrame / BorderSize).
  int BorderSize() const { return m_border; }

  intptr_t OnViewMessage(uint32_t message, uintptr_t sub_code, uintptr_t payload) override;

 private:
  QWidget* _create_view(int index);
  void _on_current_changed(int index);

  std::array<QWidget*, TAB_COUNT> m_views{};
  int m_border = 0;
};
