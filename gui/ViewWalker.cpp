#include "gui/ViewWalker.h"

#include "app/Settings.h"
#include "app/ShowMessage.h"
#include "asn1/Asn1Type.h"
#include "asn1/IpAddress.h"
#include "gui/DlgSimulatorChooser.h"
#include "gui/DlgSnmpParameter.h"
#include "gui/MainMenu.h"
#include "gui/MyMenu.h"
#include "gui/SmartText.h"
#include "gui/ViewMibBrowserLeft.h"
#include "quillog/Quillog.h"
#include "simulator/SimulatorFile.h"
#include "simulator/SimulatorLibrary.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>

namespace {

constexpr uint32_t kWalkerCommands[] = {ID_WALKER_START,   ID_WALKER_RESTART, ID_WALKER_STOP, ID_WALKER_CLEAR,
                                        ID_COPY_OID,       ID_COPY_VALUE,     ID_DISPLAY_RAW, ID_DISPLAY_SMART,
                                        ID_MIB_EDIT,       ID_MIB_LOAD,       ID_SNMP_GET,    ID_SNMP_SET,
                                        ID_WALKER_SIMULATE};

}  // namespace

CViewWalker::CViewWalker(CViewDispatcher* dispatcher, QWidget* parent)
    : CMyListViewOf(L"CViewWalker", SETTING_VIEW_WALKER_COL_WIDTH, parent), CViewWindow(dispatcher) {
  struct ColumnDescription {
    const char* header;
    Qt::Alignment alignment;
  };
  const ColumnDescription columns[COLUMN_COUNT] = {
      {"#", Qt::AlignRight},   {"OID", Qt::AlignLeft},     {"USAP", Qt::AlignHCenter}, {"P/C", Qt::AlignHCenter},
      {"Type", Qt::AlignLeft}, {"Length", Qt::AlignRight}, {"Value", Qt::AlignLeft},
  };
  for (int i = 0; i < COLUMN_COUNT; ++i) InsertColumn(i, QString::fromUtf8(columns[i].header), columns[i].alignment);
  ApplyColumnWidths();
  m_mode = ReadSettingDword(SETTING_VIEW_WALKER_DISPLAY_OID_MODE) == DISPLAY_SMART ? DISPLAY_SMART : DISPLAY_RAW;
  CMessageCenter::Subscribe(L"CViewWalker", this, MSG_VIEW_WALKER, 0);
}

CViewWalker::~CViewWalker() {
  CMessageCenter::Unsubscribe(this);
  // A worker may be waiting for its send to run on this thread: stop the
  // workers and let those sends through (they find nobody subscribed), for
  // at most two seconds, before the members wait for the workers.
  for (CThreadSnmp* worker : std::initializer_list<CThreadSnmp*>{&m_walk, &m_get, &m_set}) {
    if (worker->IsRunning()) worker->Stop();
  }
  QElapsedTimer timer;
  timer.start();
  while ((m_walk.IsRunning() || m_get.IsRunning() || m_set.IsRunning()) && timer.elapsed() < 2000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
}

// ---------------------------------------------------------------- commands

bool CViewWalker::IsRequestRunning() const {
  return m_walking || m_requesting || m_walk.IsRunning() || m_get.IsRunning() || m_set.IsRunning();
}

int CViewWalker::_selected_count() const { return static_cast<int>(selectionModel()->selectedRows().size()); }

int CViewWalker::_selected_row() const {
  const QModelIndexList selected = selectionModel()->selectedRows();
  return selected.size() == 1 ? selected.front().row() : -1;
}

bool CViewWalker::IsCommandEnabled(uint32_t command) const {
  const int selected = _selected_count();
  const bool few = selected < 2;
  const bool one = selected == 1 && Item(_selected_row()) != nullptr;
  switch (command) {
    case ID_WALKER_START:
    case ID_WALKER_RESTART: return few && !IsRequestRunning();
    case ID_WALKER_STOP: return few && (m_walking || m_walk.IsRunning());
    case ID_WALKER_CLEAR: return few && RowCount() > 0 && !m_walking && !m_walk.IsRunning() && !m_get.IsRunning();
    case ID_COPY_OID:
    case ID_COPY_VALUE: return one;
    case ID_DISPLAY_RAW: return few && m_mode != DISPLAY_RAW;
    case ID_DISPLAY_SMART: return few && m_mode != DISPLAY_SMART;
    case ID_SNMP_GET:
    case ID_SNMP_SET: return one && !IsRequestRunning();
    case ID_MIB_EDIT:
    case ID_MIB_LOAD: return one;
    case ID_WALKER_SIMULATE: return selected >= 1;
    default: return false;
  }
}

bool CViewWalker::OnCommand(uint32_t command) {
  if (!IsCommandEnabled(command)) return false;
  const CWalkerResult* row = Item(_selected_row());
  switch (command) {
    case ID_WALKER_START: return OnStart();
    case ID_WALKER_RESTART: return OnRestart();
    case ID_WALKER_STOP: return m_walk.Stop();
    case ID_WALKER_CLEAR:
      ClearList();
      m_shown_walk = 0;
      return true;
    case ID_COPY_OID: QApplication::clipboard()->setText(QString::fromStdWString(row->GetOid().GetText())); return true;
    case ID_COPY_VALUE: QApplication::clipboard()->setText(ValueText(row->GetObject())); return true;
    case ID_DISPLAY_RAW: _set_mode(DISPLAY_RAW); return true;
    case ID_DISPLAY_SMART: _set_mode(DISPLAY_SMART); return true;
    case ID_SNMP_GET: return OnGet();
    case ID_SNMP_SET: return OnSet();
    case ID_MIB_EDIT: return EditMibFile(row->GetOid().GetText());
    case ID_MIB_LOAD: return PostBrowserDisplay(L"CViewWalker", row->GetOid().GetText());
    case ID_WALKER_SIMULATE: return OnSimulate();
    default: return false;
  }
}

CThreadActionWalkerParameter CViewWalker::StoredParameter(bool from_start) {
  CThreadActionWalkerParameter parameter;
  const uint32_t retries = ReadSettingDword(SETTING_DLG_SNMP_PARAMETER_LAST_RETRY);
  parameter.retries = from_start ? retries + 1 : retries;
  parameter.timeout = ReadSettingDword(SETTING_DLG_SNMP_PARAMETER_LAST_TIMEOUT);
  parameter.version = ReadSettingDword(SETTING_DLG_SNMP_PARAMETER_LAST_VERSION) == 2 ? 1 : 0;
  parameter.community = ReadSettingString(SETTING_DLG_SNMP_PARAMETER_LAST_COMMUNITY);
  parameter.port = ReadSettingDword(SETTING_DLG_SNMP_PARAMETER_LAST_PORT);
  parameter.address = IpAddress(ReadSettingString(SETTING_DLG_SNMP_PARAMETER_LAST_IP));
  parameter.FirstOid(ReadSettingString(SETTING_DLG_SNMP_PARAMETER_LAST_FIRST_OID).c_str());
  parameter.last_oid.Parse(ReadSettingString(SETTING_DLG_SNMP_PARAMETER_LAST_LAST_OID));
  return parameter;
}

bool CViewWalker::_walk(const CThreadActionWalkerParameter& parameter) {
  m_walking = m_walk.Start(parameter);
  if (m_walking) m_shown_walk = m_walk.GetWalk();
  return m_walking;
}

bool CViewWalker::OnStart() {
  CDlgSnmpParameter dialog(this);
  if (dialog.exec() != QDialog::Accepted) return false;
  return _walk(StoredParameter(true));
}

bool CViewWalker::OnRestart() { return _walk(StoredParameter(false)); }

bool CViewWalker::WalkSubtree(const CAsn1Oid& root) {
  if (root.IsEmpty() || IsRequestRunning()) return false;
  CThreadActionWalkerParameter parameter = StoredParameter(false);
  parameter.Subtree(root);
  return _walk(parameter);
}

bool CViewWalker::GetVariable(const CAsn1Oid& oid) {
  if (oid.IsEmpty() || IsRequestRunning()) return false;
  CThreadActionWalkerParameter parameter = StoredParameter(false);
  parameter.first_oid = oid;
  parameter.current_oid = oid;
  parameter.last_oid.Clear();
  parameter.view_row = static_cast<uint32_t>(RowCount());  // no row holds it yet: appended
  m_requesting = m_get.Start(parameter);
  return m_requesting;
}

bool CViewWalker::OnGet() {
  const int row = _selected_row();
  const CWalkerResult* record = Item(row);
  if (record == nullptr) return false;
  CThreadActionWalkerParameter parameter = StoredParameter(false);
  parameter.first_oid = record->GetOid();
  parameter.current_oid = record->GetOid();
  parameter.view_row = static_cast<uint32_t>(row);
  m_requesting = m_get.Start(parameter);
  return m_requesting;
}

bool CViewWalker::OnSet() {
  const int row = _selected_row();
  const CWalkerResult* record = Item(row);
  if (record == nullptr) return false;
  CDlgSnmpSet dialog(this);
  if (dialog.exec() != QDialog::Accepted) return false;
  CThreadActionWalkerParameter parameter = StoredParameter(false);
  parameter.community = dialog.CommunityEdit()->text().toStdWString();
  parameter.value = TypedOctets(dialog.ValueEdit()->text());
  parameter.first_oid = record->GetOid();
  parameter.current_oid = record->GetOid();
  parameter.view_row = static_cast<uint32_t>(row);
  m_requesting = m_set.Start(parameter);
  return m_requesting;
}

bool CViewWalker::OnSimulate() {
  CDlgSimulatorChooser chooser(m_library, this);
  if (chooser.exec() != QDialog::Accepted) return false;
  const std::wstring path = chooser.ChosenPath();
  if (path.empty()) return false;
  auto* simulator = reinterpret_cast<CSimulatorEntry*>(SendViewMessage(
      L"CViewWalker", MSG_VIEW_SIMULATOR, MSG_VIEW_SIMULATOR_GET_SIMULATOR, reinterpret_cast<uintptr_t>(path.c_str())));
  if (simulator == nullptr) return false;
  if (simulator->running) {
    ShowMessageBox(L"Can't add values to a started simulator", L"Warning", SHOW_MESSAGE_WARNING);
    return false;
  }
  // The rows join what the file holds: a file that cannot be read is not
  // written over.
  if (!simulator->loaded && !CSimulatorFile::Load(simulator)) {
    ShowMessageBox(L"An error occured while reading the simulator", L"Warning", SHOW_MESSAGE_WARNING);
    return false;
  }
  QModelIndexList selected = selectionModel()->selectedRows();
  std::sort(selected.begin(), selected.end(),
            [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
  for (const QModelIndex& index : selected) {
    const CWalkerResult* row = Item(index.row());
    if (row == nullptr) continue;
    const CAsn1Object& object = row->GetObject();
    simulator->AddValue(row->GetOid().GetText(), GetTypeName(object.GetType().GetCode()), object.GetText());
  }
  CSimulatorFile::Save(simulator);
  PostViewMessage(L"CViewWalker", MSG_VIEW_SIMULATOR, MSG_VIEW_SIMULATOR_SELECT_CHANGE,
                  reinterpret_cast<uintptr_t>(simulator));
  PostViewMessage(L"CViewWalker", MSG_VIEW_CHOOSER, MSG_VIEW_CHOOSER_DISPLAY_SIMULER, 0);
  return true;
}

void CViewWalker::_set_mode(uint32_t mode) {
  m_mode = mode;
  WriteSettingDword(SETTING_VIEW_WALKER_DISPLAY_OID_MODE, -1, mode);
  viewport()->update();
}

void CViewWalker::contextMenuEvent(QContextMenuEvent* event) {
  if (m_context_menu == nullptr) {
    m_context_menu = new CMyMenu(this);
    m_context_menu->BuildPopup(MainMenuPopup(IDS_MENU_WALKER), this);
    connect(m_context_menu, &CMyMenu::commandTriggered, this, [this](uint32_t command) { OnCommand(command); });
  }
  for (uint32_t command : kWalkerCommands) m_context_menu->EnableItem(command, IsCommandEnabled(command));
  m_context_menu->TrackPopup(event->globalPos());
}

// ---------------------------------------------------------------- messages

intptr_t CViewWalker::OnViewMessage(uint32_t message, uintptr_t sub_code, uintptr_t payload) {
  CMessageCenter::Trace(L"CViewWalker", L"is receiving a message", message, sub_code, payload);
  if (message != MSG_VIEW_WALKER) return 0;
  switch (sub_code) {
    case MSG_VIEW_WALKER_STARTED:
      ClearList();
      SetBusy(true);
      return 1;
    case MSG_VIEW_WALKER_DATA:
      if (payload == 0 || payload != m_shown_walk) return 0;
      // The rows that arrive within the next kRowBatchMs join this batch.
      if (!m_take_queued) {
        m_take_queued = true;
        QTimer::singleShot(kRowBatchMs, this, [this] { TakePending(); });
      }
      return 1;
    case MSG_VIEW_WALKER_FINISHED:
      TakePending();
      m_walking = false;
      SetBusy(false);
      return 1;
    case MSG_VIEW_WALKER_GET_DATA:
    case MSG_VIEW_WALKER_SET_DATA:
      if (payload == 0) return 0;
      _update_row(std::unique_ptr<CWalkerResult>(reinterpret_cast<CWalkerResult*>(payload)));
      return 1;
    case MSG_VIEW_WALKER_GET_FINISHED:
    case MSG_VIEW_WALKER_SET_FINISHED:
      m_requesting = false;
      viewport()->update();
      return 1;
    default: viewport()->update(); return 1;
  }
}

void CViewWalker::TakePending() {
  m_take_queued = false;
  std::vector<Pointer> rows = m_walk.TakeRows(m_shown_walk);
  if (rows.empty()) return;
  const QScrollBar* bar = verticalScrollBar();
  const bool follow = bar->value() >= bar->maximum();
  AddItems(rows);
  if (follow) scrollToBottom();
}

// The row of the request when it still holds that variable (its number is
// kept); otherwise the variable joins the list.
void CViewWalker::_update_row(std::unique_ptr<CWalkerResult> result) {
  const int row = static_cast<int>(result->GetRow());
  const CWalkerResult* old = Item(row);
  if (old != nullptr && old->GetOid().GetText() == result->GetOid().GetText()) {
    ReplaceItem(row, std::make_unique<CWalkerResult>(old->GetRow(), result->GetOid(), result->GetObject()));
    return;
  }
  AddItem(std::move(result));
}

// ---------------------------------------------------------------- cells

QString CViewWalker::TagClass(uint8_t code) {
  if (code & 0x80) return QStringLiteral("S");
  if (code & 0x40) return QStringLiteral("A");
  return QStringLiteral("U");
}

QString CViewWalker::TagForm(uint8_t code) { return (code & 0x20) ? QStringLiteral("C") : QStringLiteral("P"); }

QString CViewWalker::CellText(int row, int column) const {
  const CWalkerResult* record = Item(row);
  if (record == nullptr) return {};
  const CAsn1Object& object = record->GetObject();
  const uint8_t code = object.GetType().GetCode();
  const bool smart = m_mode == DISPLAY_SMART;
  switch (column) {
    case COLUMN_NUMBER: return QString::number(record->GetRow());
    case COLUMN_OID:
      return smart ? SmartOid(record->GetOid().GetText()) : QString::fromStdWString(record->GetOid().GetText());
    case COLUMN_USAP: return TagClass(code);
    case COLUMN_PC: return TagForm(code);
    case COLUMN_TYPE: return QString::fromWCharArray(GetTypeName(code));
    case COLUMN_LENGTH: return QString::number(object.GetLength().GetLength());
    case COLUMN_VALUE:
      if (smart && code == ASN1_OBJECT_IDENTIFIER) return SmartOid(object.GetText());
      if (smart && code == ASN1_TIMETICKS)
        return FormatTimeTicks(static_cast<uint64_t>(object.GetValue().GetInteger()));
      return ValueText(object);
    default: return QStringLiteral("???");
  }
}
