// The main window: menu bar, tool bar, the tabbed view, the status bar with
// its clocks and lock indicators, the keyboard accelerators, and the window
// placement and bar visibility kept in the MainFrame settings.
#pragma once

#include "app/Settings.h"

#include <QMainWindow>

#include <cstdint>

class CMyMenu;
class CTabbedView;
class CViewDispatcher;
class QDateTime;
class QLabel;
class QToolBar;

class CMainFrame : public QMainWindow {
  Q_OBJECT

 public:
  explicit CMainFrame(CViewDispatcher* dispatcher, QWidget* parent = nullptr);
  ~CMainFrame() override;

  // Runs a command of the menus, the tool bar or the accelerators.
  void OnCommand(uint32_t command);

  CTabbedView* TabbedView() const { return m_tabbed_view; }
  CMyMenu* Menu() const { return m_menu; }
  QToolBar* ToolBar() const { return m_tool_bar; }
  // The texts of the local and UTC clock panes.
  QString LocalClockText() const;
  QString UtcClockText() const;

  // The current placement as the 44-byte record, and its application.
  WindowPlacement CurrentPlacement() const;
  void ApplyPlacement(const WindowPlacement& placement);
  // Writes placement and bar visibility (done when the window closes).
  void StoreState() const;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void _create_menu();
  void _create_tool_bar();
  void _create_status_bar();
  void _create_accelerators();
  void _toggle_tool_bar();
  void _toggle_status_bar();
  void _refresh_clocks();
  void _refresh_locks();
  void _update_command_states();
  void _about();

  CTabbedView* m_tabbed_view = nullptr;
  CMyMenu* m_menu = nullptr;
  QToolBar* m_tool_bar = nullptr;
  QLabel* m_local_clock = nullptr;
  QLabel* m_utc_clock = nullptr;
  QLabel* m_caps = nullptr;
  QLabel* m_num = nullptr;
  QLabel* m_scroll = nullptr;
};

// "short date + time" of the locale, with seconds, for the clocks.
QString FormatClock(const QDateTime& time);
