#include "gui/ViewLogs.h"

#include "app/MessageCenter.h"
#include "app/Settings.h"
#include "gui/DlgDebugParameter.h"
#include "gui/MainMenu.h"
#include "gui/MyMenu.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QEvent>
#include <QScrollBar>

#include <atomic>
#include <mutex>
#include <unordered_map>

namespace {

const QEvent::Type kWakeEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

// The live log views by window handle. The poster holds the lock while it
// drops a record into an inbox and posts the wake-up, so a view can never be
// destroyed under it. Posters are already one at a time (quillog writes a
// line under its own lock), and the GUI thread takes the lock only to add or
// remove a view. Nothing logs while holding it.
struct Registry {
  std::mutex mutex;
  std::unordered_map<uint64_t, CViewLogs*> views;
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

uint64_t NextWindowHandle() {
  static std::atomic<uint64_t> next{0x10000};
  return next.fetch_add(1);
}

QString FromWide(const std::wstring& text) { return QString::fromStdWString(text); }

// Line breaks become a run of spaces: a row shows one line.
QString OneLine(QString text) {
  if (!text.contains(QLatin1Char('\n'))) return text;
  text.remove(QLatin1Char('\r'));
  return text.replace(QLatin1Char('\n'), QStringLiteral("   "));
}

}  // namespace

// The level images live in this static library's own resource file.
static void RegisterLogImages() {
  static const bool registered = [] {
    Q_INIT_RESOURCE(logs);
    return true;
  }();
  (void)registered;
}

CViewLogs::CViewLogs(QWidget* parent)
    : CMyListViewOf(L"CViewLogs", SETTING_VIEW_LOGS_COL_WIDTH, parent), m_window(NextWindowHandle()) {
  QuillogSetFeatureLevel(ReadSettingDword(SETTING_VIEW_LOGS_LOG_LEVEL));
  RegisterLogImages();
  SetImages(LevelImages());

  const char* const headers[COLUMN_COUNT] = {"#",           "Process",    "Type",      "Level",
                                             "Date & Time", "Process ID", "Thread ID", "Message"};
  for (int i = 0; i < COLUMN_COUNT; ++i) InsertColumn(i, QString::fromUtf8(headers[i]));
  ApplyColumnWidths();

  QuillogW(QUILLOG_INFO, QLF_PROGRAM_GUI, L"Starting to log into CViewLogs");
  {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    registry.views[m_window] = this;
  }
  QuillogSetPoster(&CViewLogs::_post);
  QuillogPostSendMessageSet(m_window, MSG_VIEW_LOG, 0, 0);
  QuillogPostSendMessageEnable();
}

CViewLogs::~CViewLogs() {
  QuillogPostSendMessageDisable();
  {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    registry.views.erase(m_window);
  }
  // The inbox hands back what was never shown when it goes.
  QuillogW(QUILLOG_INFO, QLF_PROGRAM_GUI, L"Destroying %s View", ClassName());
}

bool CViewLogs::_post(uint64_t window, uint32_t message, QuillogInfo* record) {
  if (message != MSG_VIEW_LOG || record == nullptr) return false;
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  auto found = registry.views.find(window);
  if (found == registry.views.end()) return false;
  CViewLogs* view = found->second;
  if (view->m_inbox.Push(QuillogInfoPtr(record))) {
    // Qt takes the event; it is dropped with the view if never delivered.
    QCoreApplication::postEvent(view, new QEvent(kWakeEvent));
  }
  return true;
}

void CViewLogs::TakePending() {
  // The batch keeps its capacity from one wake-up to the next.
  m_inbox.TakeAll(m_batch);
  if (m_batch.empty()) return;
  const QScrollBar* bar = verticalScrollBar();
  const bool follow = bar->value() >= bar->maximum();
  AddItems(m_batch);
  if (follow) scrollToBottom();
}

size_t CViewLogs::PendingCount() const { return m_inbox.Count(); }

void CViewLogs::customEvent(QEvent* event) {
  if (event->type() != kWakeEvent) {
    CMyListViewOf::customEvent(event);
    return;
  }
  TakePending();
}

bool CViewLogs::OnCommand(uint32_t command) {
  switch (command) {
    case ID_LOGGER_CONFIGURE: OnConfigure(); return true;
    case ID_LOGGER_CLEAR: OnClear(); return true;
    default: return false;
  }
}

bool CViewLogs::IsCommandEnabled(uint32_t command) const {
  if (command == ID_LOGGER_CONFIGURE) return true;
  if (command == ID_LOGGER_CLEAR) return RowCount() > 0;
  return false;
}

void CViewLogs::OnConfigure() {
  CDlgDebugParameter dialog(this);
  dialog.exec();
}

// The context menu is the "Logger" pop-up of the main menu.
void CViewLogs::contextMenuEvent(QContextMenuEvent* event) {
  if (m_context_menu == nullptr) {
    m_context_menu = new CMyMenu(this);
    m_context_menu->BuildPopup(MainMenuPopup(IDS_MENU_LOGGER), this);
    connect(m_context_menu, &CMyMenu::commandTriggered, this, [this](uint32_t command) { OnCommand(command); });
  }
  m_context_menu->EnableItem(ID_LOGGER_CLEAR, IsCommandEnabled(ID_LOGGER_CLEAR));
  m_context_menu->TrackPopup(event->globalPos());
}

int CViewLogs::RowImage(int row) const {
  const QuillogInfo* record = Item(row);
  if (record == nullptr || record->level < QUILLOG_INFO || record->level > QUILLOG_DUMP) return -1;
  return record->level;
}

QString CViewLogs::CellText(int row, int column) const {
  const QuillogInfo* record = Item(row);
  if (record == nullptr) return {};
  switch (column) {
    case COLUMN_NUMBER: return QString::number(row + 1);
    case COLUMN_PROCESS: return FromWide(record->program);
    case COLUMN_TYPE: return QString::fromWCharArray(QuillogLevelName(record->level));
    case COLUMN_LEVEL:
      return QStringLiteral("0x") + QStringLiteral("%1").arg(record->feature, 8, 16, QLatin1Char('0')).toUpper();
    case COLUMN_DATE_TIME: return FromWide(record->date_time);
    case COLUMN_PROCESS_ID: return QString::number(record->process_id);
    case COLUMN_THREAD_ID: return QString::number(record->thread_id);
    case COLUMN_MESSAGE: return OneLine(FromWide(record->message));
    default: return {};
  }
}

QString CViewLogs::CellToolTip(int row, int column) const {
  const QuillogInfo* record = Item(row);
  if (record == nullptr || column != COLUMN_MESSAGE) return {};
  if (record->message.find(L'\n') == std::wstring::npos) return {};
  return QStringLiteral("<pre>%1</pre>").arg(FromWide(record->message).toHtmlEscaped());
}

QStringList CViewLogs::LevelImages() {
  return {QStringLiteral(":/logs/level-info.svg"),    QStringLiteral(":/logs/level-user.svg"),
          QStringLiteral(":/logs/level-warning.svg"), QStringLiteral(":/logs/level-error.svg"),
          QStringLiteral(":/logs/level-fatal.svg"),   QStringLiteral(":/logs/level-dump.svg")};
}
