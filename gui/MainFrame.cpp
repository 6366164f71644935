#include "gui/MainFrame.h"

#include "gui/DlgAbout.h"
#include "gui/MainMenu.h"
#include "gui/MyMenu.h"
#include "gui/TabbedView.h"
#include "quillog/Quillog.h"

#include <QAction>
#include <QCloseEvent>
#include <QDateTime>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLocale>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#if __has_include(<X11/XKBlib.h>)
#include <QtGui/qguiapplication_platform.h>
#include <X11/XKBlib.h>
#define TAVELO_HAVE_XKB 1
#endif

namespace {

constexpr uint32_t kShowNormal = 1;
constexpr uint32_t kShowMinimized = 2;
constexpr uint32_t kShowMaximized = 3;

struct ToolButton {
  uint32_t command;  // 0: separator
  const char* image;
};

constexpr ToolButton kToolBar[] = {
    {ID_VIEW_BROWSER, ":/images/tab-browser.svg"},
    {ID_VIEW_WALKER, ":/images/tab-walker.svg"},
    {ID_VIEW_TRAPPER, ":/images/tab-trapper.svg"},
    {ID_VIEW_SIMULER, ":/images/tab-simuler.svg"},
    {ID_VIEW_LOGGER, ":/images/tab-logger.svg"},
    {0, nullptr},
    {ID_BROWSER_LOAD, ":/images/tb-load.svg"},
    {ID_WALKER_START, ":/images/tb-walk.svg"},
    {ID_WALKER_STOP, ":/images/tb-stop.svg"},
    {ID_SNMP_GET, ":/images/tb-get.svg"},
    {ID_SNMP_SET, ":/images/tb-set.svg"},
    {0, nullptr},
    {ID_TRAPPER_START, ":/images/tb-trap-start.svg"},
    {ID_TRAPPER_STOP, ":/images/tb-trap-stop.svg"},
    {0, nullptr},
    {ID_APP_ABOUT, ":/images/tb-about.svg"},
};

// Commands the frame runs itself; the others go to the active tab's view.
bool IsFrameCommand(uint32_t command) {
  switch (command) {
    case ID_APP_EXIT:
    case ID_APP_ABOUT:
    case ID_VIEW_TOOLBAR:
    case ID_VIEW_STATUS_BAR:
    case ID_VIEW_BROWSER:
    case ID_VIEW_WALKER:
    case ID_VIEW_TRAPPER:
    case ID_VIEW_SIMULER:
    case ID_VIEW_LOGGER: return true;
    default: return false;
  }
}

int TabOfViewCommand(uint32_t command) {
  switch (command) {
    case ID_VIEW_BROWSER: return TAB_BROWSER;
    case ID_VIEW_WALKER: return TAB_WALKER;
    case ID_VIEW_TRAPPER: return TAB_TRAPPER;
    case ID_VIEW_SIMULER: return TAB_SIMULER;
    case ID_VIEW_LOGGER: return TAB_LOGGER;
    default: return -1;
  }
}

QLabel* NewPane(QWidget* parent, const QString& sample) {
  auto* pane = new QLabel(parent);
  pane->setAlignment(Qt::AlignCenter);
  pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance(sample) + 8);
  return pane;
}

}  // namespace

QString FormatClock(const QDateTime& time) {
  const QLocale locale;
  QString time_format = locale.timeFormat(QLocale::ShortFormat);
  if (!time_format.contains(QLatin1Char('s'))) time_format.replace(QStringLiteral("mm"), QStringLiteral("mm:ss"));
  const QString text =
      locale.toString(time.date(), QLocale::ShortFormat) + QLatin1Char(' ') + locale.toString(time.time(), time_format);
  if (text.trimmed().isEmpty()) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"An error while translating the date");
    return QStringLiteral("0");
  }
  return text;
}

CMainFrame::CMainFrame(CViewDispatcher* dispatcher, QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("CMainFrame"));
  setWindowTitle(QString::fromStdWString(ReadSettingString(SETTING_PRODUCT_NAME)));
  setWindowIcon(QIcon(QStringLiteral(":/images/tavelo.svg")));
  resize(900, 600);

  m_tabbed_view = new CTabbedView(dispatcher, this);
  setCentralWidget(m_tabbed_view);

  WindowPlacement placement;
  if (ReadWindowPlacement(&placement)) ApplyPlacement(placement);

  _create_menu();
  _create_tool_bar();
  _create_status_bar();
  _create_accelerators();
  connect(m_tabbed_view, &QTabWidget::currentChanged, this, &CMainFrame::_update_command_states);
  _update_command_states();
}

CMainFrame::~CMainFrame() = default;

void CMainFrame::_create_menu() {
  m_menu = new CMyMenu(this);
  if (!m_menu->BuildMenuBar(MainMenuDescription(), menuBar())) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Failed to load the menu");
    return;
  }
  connect(m_menu, &CMyMenu::commandTriggered, this, &CMainFrame::OnCommand);
  for (QMenu* menu : menuBar()->findChildren<QMenu*>()) {
    connect(menu, &QMenu::aboutToShow, this, &CMainFrame::_update_command_states);
  }
}

void CMainFrame::_create_tool_bar() {
  m_tool_bar = addToolBar(QStringLiteral("Tool bar"));
  m_tool_bar->setObjectName(QStringLiteral("ToolBar"));
  m_tool_bar->setIconSize(QSize(16, 16));
  m_tool_bar->setAllowedAreas(Qt::AllToolBarAreas);
  for (const ToolButton& button : kToolBar) {
    if (button.command == 0) {
      m_tool_bar->addSeparator();
      continue;
    }
    QIcon icon(QString::fromLatin1(button.image));
    const QString text =
        QString::fromStdWString(MenuText(ProgramString, button.command)).section(QLatin1Char('\t'), 0, 0);
    QAction* action = m_tool_bar->addAction(icon, text);
    action->setData(button.command);
    action->setStatusTip(QString::fromStdWString(MenuPrompt(ProgramString, button.command)));
    const uint32_t command = button.command;
    connect(action, &QAction::triggered, this, [this, command] { OnCommand(command); });
  }
  // The frame's own toggle keeps the bar's visibility; the bar has no close.
  m_tool_bar->toggleViewAction()->setVisible(false);
  const bool shown = ReadSettingDword(SETTING_MAINFRAME_TOOL_BAR) != 0;
  m_tool_bar->setVisible(shown);
  m_menu->CheckItem(ID_VIEW_TOOLBAR, shown);
}

void CMainFrame::_create_status_bar() {
  QStatusBar* bar = statusBar();
  const QString sample = FormatClock(QDateTime(QDate(2026, 12, 28), QTime(23, 58, 58)));
  m_local_clock = NewPane(bar, sample);
  m_utc_clock = NewPane(bar, sample);
  m_caps = NewPane(bar, QStringLiteral("CAP"));
  m_num = NewPane(bar, QStringLiteral("NUM"));
  m_scroll = NewPane(bar, QStringLiteral("SCRL"));
  m_local_clock->setToolTip(QStringLiteral("Local time"));
  m_utc_clock->setToolTip(QStringLiteral("UTC"));
  for (QLabel* pane : {m_local_clock, m_utc_clock, m_caps, m_num, m_scroll}) bar->addPermanentWidget(pane);

  // Two one-second clocks: local time and UTC.
  auto* local_timer = new QTimer(this);
  auto* utc_timer = new QTimer(this);
  connect(local_timer, &QTimer::timeout, this, [this] {
    m_local_clock->setText(LocalClockText());
    _refresh_locks();
  });
  connect(utc_timer, &QTimer::timeout, this, [this] { m_utc_clock->setText(UtcClockText()); });
  local_timer->start(1000);
  utc_timer->start(1000);
  _refresh_clocks();

  const bool shown = ReadSettingDword(SETTING_MAINFRAME_STATUS_BAR) != 0;
  bar->setVisible(shown);
  m_menu->CheckItem(ID_VIEW_STATUS_BAR, shown);
}

void CMainFrame::_create_accelerators() {
  struct Accelerator {
    QKeySequence keys;
    uint32_t command;
  };
  const Accelerator table[] = {
      {QKeySequence(Qt::Key_F1), ID_APP_ABOUT},
      {QKeySequence(Qt::ALT | Qt::Key_F4), ID_APP_EXIT},
      {QKeySequence(Qt::CTRL | Qt::Key_1), ID_VIEW_BROWSER},
      {QKeySequence(Qt::CTRL | Qt::Key_2), ID_VIEW_WALKER},
      {QKeySequence(Qt::CTRL | Qt::Key_3), ID_VIEW_TRAPPER},
      {QKeySequence(Qt::CTRL | Qt::Key_4), ID_VIEW_SIMULER},
      {QKeySequence(Qt::CTRL | Qt::Key_5), ID_VIEW_LOGGER},
      {QKeySequence(Qt::CTRL | Qt::Key_G), ID_SNMP_GET},
      {QKeySequence(Qt::CTRL | Qt::Key_S), ID_SNMP_SET},
      {QKeySequence(QKeyCombination(Qt::ControlModifier | Qt::KeypadModifier, Qt::Key_Plus)), ID_TRAPPER_EXPAND_ALL},
      {QKeySequence(QKeyCombination(Qt::ControlModifier | Qt::KeypadModifier, Qt::Key_Minus)), ID_TRAPPER_COLLAPSE_ALL},
  };
  for (const Accelerator& accelerator : table) {
    auto* action = new QAction(this);
    action->setShortcut(accelerator.keys);
    action->setShortcutContext(Qt::WindowShortcut);
    const uint32_t command = accelerator.command;
    connect(action, &QAction::triggered, this, [this, command] { OnCommand(command); });
    addAction(action);
  }
  // The keypad plus and minus keys alone: one level, by tab.
  for (bool expand : {true, false}) {
    auto* action = new QAction(this);
    action->setShortcut(QKeySequence(QKeyCombination(Qt::KeypadModifier, expand ? Qt::Key_Plus : Qt::Key_Minus)));
    action->setShortcutContext(Qt::WindowShortcut);
    connect(action, &QAction::triggered, this, [this, expand] { m_tabbed_view->ExpandCollapseOne(expand); });
    addAction(action);
  }
}

void CMainFrame::OnCommand(uint32_t command) {
  if (!IsFrameCommand(command)) {
    m_tabbed_view->RouteCommand(command);
    _update_command_states();
    return;
  }
  const int tab = TabOfViewCommand(command);
  if (tab >= 0) {
    m_tabbed_view->ActivateTab(tab);
    return;
  }
  switch (command) {
    case ID_APP_EXIT: close(); break;
    case ID_APP_ABOUT: _about(); break;
    case ID_VIEW_TOOLBAR: _toggle_tool_bar(); break;
    case ID_VIEW_STATUS_BAR: _toggle_status_bar(); break;
    default: break;
  }
}

void CMainFrame::_toggle_tool_bar() {
  const bool shown = m_tool_bar->isHidden();
  m_tool_bar->setVisible(shown);
  m_menu->CheckItem(ID_VIEW_TOOLBAR, shown);
}

void CMainFrame::_toggle_status_bar() {
  const bool shown = statusBar()->isHidden();
  statusBar()->setVisible(shown);
  m_menu->CheckItem(ID_VIEW_STATUS_BAR, shown);
}

void CMainFrame::_about() {
  CDlgAbout about(this);
  about.exec();
}

void CMainFrame::_update_command_states() {
  auto enabled = [this](uint32_t command) {
    return IsFrameCommand(command) || m_tabbed_view->IsCommandEnabled(command);
  };
  for (QAction* action : m_menu->AllActions()) action->setEnabled(enabled(action->data().toUInt()));
  for (QAction* action : m_tool_bar ? m_tool_bar->actions() : QList<QAction*>()) {
    if (!action->isSeparator()) action->setEnabled(enabled(action->data().toUInt()));
  }
}

QString CMainFrame::LocalClockText() const { return FormatClock(QDateTime::currentDateTime()); }

QString CMainFrame::UtcClockText() const { return FormatClock(QDateTime::currentDateTimeUtc()); }

void CMainFrame::_refresh_clocks() {
  m_local_clock->setText(LocalClockText());
  m_utc_clock->setText(UtcClockText());
  _refresh_locks();
}

void CMainFrame::_refresh_locks() {
#ifdef TAVELO_HAVE_XKB
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  unsigned int state = 0;
  if (x11 && x11->display() && XkbGetIndicatorState(x11->display(), XkbUseCoreKbd, &state) == Success) {
    m_caps->setText(state & 0x1 ? QStringLiteral("CAP") : QString());
    m_num->setText(state & 0x2 ? QStringLiteral("NUM") : QString());
    m_scroll->setText(state & 0x4 ? QStringLiteral("SCRL") : QString());
  }
#endif
}

WindowPlacement CMainFrame::CurrentPlacement() const {
  WindowPlacement placement;
  placement.show_cmd = isMaximized() ? kShowMaximized : isMinimized() ? kShowMinimized : kShowNormal;
  placement.min_x = placement.min_y = placement.max_x = placement.max_y = -1;
  const QRect normal = isMaximized() || isMinimized() ? normalGeometry() : geometry();
  placement.left = normal.left();
  placement.top = normal.top();
  placement.right = normal.left() + normal.width();
  placement.bottom = normal.top() + normal.height();
  return placement;
}

void CMainFrame::ApplyPlacement(const WindowPlacement& placement) {
  QRect normal(placement.left, placement.top, placement.right - placement.left, placement.bottom - placement.top);
  if (normal.width() < 100 || normal.height() < 100) return;  // not a usable rectangle
  // Keep the window reachable when the screens changed since it was stored.
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect available = screen->availableVirtualGeometry();
    if (!available.intersects(normal)) normal.moveTopLeft(available.topLeft());
  }
  setGeometry(normal);
  if (placement.show_cmd == kShowMaximized) setWindowState(windowState() | Qt::WindowMaximized);
}

void CMainFrame::StoreState() const {
  WriteWindowPlacement(CurrentPlacement());
  WriteSettingDword(SETTING_MAINFRAME_STATUS_BAR, -1, statusBar()->isHidden() ? 0 : 1);
  WriteSettingDword(SETTING_MAINFRAME_TOOL_BAR, -1, m_tool_bar->isHidden() ? 0 : 1);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  StoreState();
  event->accept();
}
