#include "gui/TabbedView.h"

#include "app/Settings.h"
#include "gui/CommandTarget.h"
#include "gui/MainMenu.h"
#include "gui/ViewLogs.h"
#include "gui/ViewMibBrowser.h"
#include "gui/ViewMibBrowserLeft.h"
#include "gui/ViewPlaceholder.h"
#include "gui/ViewSimuler.h"
#include "gui/ViewSimulerLeft.h"
#include "gui/ViewTrapper.h"
#include "gui/ViewWalker.h"
#include "quillog/Quillog.h"

#include <QIcon>
#include <QTabBar>
#include <QVBoxLayout>

namespace {

struct TabDescription {
  const char* label;
  const char* icon;
};

constexpr TabDescription kTabs[TAB_COUNT] = {
    {"Browser", ":/images/tab-browser.svg"}, {"Walker", ":/images/tab-walker.svg"},
    {"Trapper", ":/images/tab-trapper.svg"}, {"Simuler", ":/images/tab-simuler.svg"},
    {"Logger", ":/images/tab-logger.svg"},
};

// Stored values: 0 bottom, 1 top, anything else top.
QTabWidget::TabPosition PositionOf(uint32_t stored) { return stored == 0 ? QTabWidget::South : QTabWidget::North; }

}  // namespace

// The view of each tab. Plugging a tool's real view in is one line here.
QWidget* CTabbedView::_create_view(int index) {
  switch (index) {
    case TAB_BROWSER: return new CViewMibBrowser(GetDispatcher());
    case TAB_WALKER: return new CViewWalker(GetDispatcher());
    case TAB_TRAPPER: return new CViewTrapper(GetDispatcher());
    case TAB_SIMULER: return new CFrameSimuler(GetDispatcher());
    case TAB_LOGGER: return new CViewLogs;
    default: return nullptr;
  }
}

CTabbedView::CTabbedView(CViewDispatcher* dispatcher, QWidget* parent) : QTabWidget(parent), CViewWindow(dispatcher) {
  setObjectName(QStringLiteral("CTabbedView"));
  setDocumentMode(false);
  setTabPosition(PositionOf(ReadSettingDword(SETTING_MAINFRAME_TAB_POSITION)));
  setTabsClosable(false);
  setUsesScrollButtons(false);
  setIconSize(QSize(16, 16));
  m_border = static_cast<int>(std::min<uint32_t>(ReadSettingDword(SETTING_MAINFRAME_BORDER_SIZE), 200));

  for (int i = 0; i < TAB_COUNT; ++i) {
    // Each view sits in a page whose margin is the border size.
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(m_border, m_border, m_border, m_border);
    m_views[i] = _create_view(i);
    layout->addWidget(m_views[i]);
    QIcon icon(QString::fromLatin1(kTabs[i].icon));
    if (icon.isNull()) QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to set icon %d to view %d in CTabbedView", i, i);
    if (addTab(page, icon, QString::fromLatin1(kTabs[i].label)) != i) {
      QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to add a view in CTabbedView");
    }
  }

  // "Simulate" in the Walker lists the Simuler tab's library.
  auto* walker = dynamic_cast<CViewWalker*>(m_views[TAB_WALKER]);
  auto* simuler = dynamic_cast<CFrameSimuler*>(m_views[TAB_SIMULER]);
  if (walker != nullptr && simuler != nullptr) walker->SetSimulatorLibrary(&simuler->Left()->Library());
  // "Walk from here" and "Get" in the Browser's tree start in the Walker.
  auto* browser = dynamic_cast<CViewMibBrowser*>(m_views[TAB_BROWSER]);
  if (walker != nullptr && browser != nullptr) browser->Left()->SetWalker(walker);

  for (uint32_t code = MSG_VIEW_CHOOSER_DISPLAY_BROWSER; code <= MSG_VIEW_CHOOSER_DISPLAY_LOGGER; ++code) {
    CMessageCenter::Subscribe(L"CTabbedView", this, MSG_VIEW_CHOOSER, code);
  }

  uint32_t last = ReadSettingDword(SETTING_MAINFRAME_LAST_VIEW);
  if (last >= TAB_COUNT) last = TAB_BROWSER;
  setCurrentIndex(static_cast<int>(last));
  connect(this, &QTabWidget::currentChanged, this, &CTabbedView::_on_current_changed);
}

CTabbedView::~CTabbedView() { CMessageCenter::Unsubscribe(this); }

QWidget* CTabbedView::View(int index) const {
  return index >= 0 && index < TAB_COUNT ? m_views[static_cast<size_t>(index)] : nullptr;
}

bool CTabbedView::ActivateTab(int index) {
  if (index < 0 || index >= TAB_COUNT) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Error while activating the view %d in CTabbedView", index);
    return false;
  }
  if (currentIndex() == index) {
    _on_current_changed(index);
  } else {
    setCurrentIndex(index);  // currentChanged does the rest
  }
  return true;
}

void CTabbedView::_on_current_changed(int index) {
  if (index < 0) return;
  QuillogW(QUILLOG_INFO, QLF_PROGRAM_GUI, L"CTabbedView::OnChangeActiveTab(%d)", index);
  WriteSettingDword(SETTING_MAINFRAME_LAST_VIEW, -1, static_cast<uint32_t>(index));
  if (QWidget* view = View(index)) view->setFocus(Qt::OtherFocusReason);
}

CCommandTarget* CTabbedView::ActiveTarget() const { return dynamic_cast<CCommandTarget*>(View(currentIndex())); }

bool CTabbedView::RouteCommand(uint32_t command) {
  CCommandTarget* target = ActiveTarget();
  return target && target->OnCommand(command);
}

bool CTabbedView::IsCommandEnabled(uint32_t command) const {
  const CCommandTarget* target = ActiveTarget();
  return target && target->IsCommandEnabled(command);
}

void CTabbedView::ExpandCollapseOne(bool expand) {
  switch (currentIndex()) {
    case TAB_BROWSER: RouteCommand(expand ? ID_BROWSER_EXPAND_ONE : ID_BROWSER_COLLAPSE_ONE); break;
    case TAB_TRAPPER: RouteCommand(expand ? ID_TRAPPER_EXPAND_ONE : ID_TRAPPER_COLLAPSE_ONE); break;
    default: break;  // the keys mean nothing on the other tabs
  }
}

intptr_t CTabbedView::OnViewMessage(uint32_t message, uintptr_t sub_code, uintptr_t payload) {
  CMessageCenter::Trace(L"CTabbedView", L"is receiving a message", message, sub_code, payload);
  if (message != MSG_VIEW_CHOOSER) return 0;
  if (sub_code < MSG_VIEW_CHOOSER_DISPLAY_BROWSER || sub_code > MSG_VIEW_CHOOSER_DISPLAY_LOGGER) return 0;
  return ActivateTab(static_cast<int>(sub_code) - 1) ? 1 : 0;
}
