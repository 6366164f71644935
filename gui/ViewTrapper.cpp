#include "gui/ViewTrapper.h"

#include "app/Settings.h"
#include "asn1/Asn1Type.h"
#include "asn1/IpAddress.h"
#include "gui/DlgTrapParameter.h"
#include "gui/MainMenu.h"
#include "gui/MyMenu.h"
#include "gui/SmartText.h"
#include "quillog/Quillog.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QScrollBar>
#include <QTimer>

namespace {

constexpr uint32_t kTrapperCommands[] = {ID_TRAPPER_START,      ID_TRAPPER_RESTART,
                                         ID_TRAPPER_STOP,       ID_TRAPPER_CLEAR,
                                         ID_COPY_OID,           ID_COPY_VALUE,
                                         ID_DISPLAY_RAW,        ID_DISPLAY_SMART,
                                         ID_MIB_EDIT,           ID_MIB_LOAD,
                                         ID_TRAPPER_EXPAND_ALL, ID_TRAPPER_COLLAPSE_ALL,
                                         ID_TRAPPER_EXPAND_ONE, ID_TRAPPER_COLLAPSE_ONE};

// snmpTrapOID.0: the binding of an SNMPv2c trap that names the trap.
constexpr wchar_t kSnmpTrapOid[] = L"1.3.6.1.6.3.1.1.4.1.0";

QString Text(const CAsn1Object* object) { return object ? QString::fromStdWString(object->GetText()) : QString(); }

QColor TrapAlternateColour(bool first) {
  auto part = [](uint32_t number) { return static_cast<int>(std::min<uint32_t>(ReadSettingDword(number), 255)); };
  if (first) return QColor(part(SETTING_TRAP_ALT1_RED), part(SETTING_TRAP_ALT1_GREEN), part(SETTING_TRAP_ALT1_BLUE));
  return QColor(part(SETTING_TRAP_ALT2_RED), part(SETTING_TRAP_ALT2_GREEN), part(SETTING_TRAP_ALT2_BLUE));
}

}  // namespace

CViewTrapper::CViewTrapper(CViewDispatcher* dispatcher, QWidget* parent)
    : CMyListView(L"CViewTrapper", SETTING_VIEW_TRAPPER_COL_WIDTH, parent), CViewWindow(dispatcher) {
  struct ColumnDescription {
    const char* header;
    Qt::Alignment alignment;
  };
  const ColumnDescription columns[COLUMN_COUNT] = {
      {"#", Qt::AlignRight},           {"UTC time", Qt::AlignLeft},           {"Remote IP", Qt::AlignLeft},
      {"Version", Qt::AlignHCenter},   {"Agent Address (v1)", Qt::AlignLeft}, {"Enterprise (v1)", Qt::AlignLeft},
      {"Generic (v1)", Qt::AlignLeft}, {"Specific (v1)", Qt::AlignLeft},      {"Timeticks (v1)", Qt::AlignRight},
      {"VarBind", Qt::AlignRight},
  };
  for (int i = 0; i < COLUMN_COUNT; ++i) InsertColumn(i, QString::fromUtf8(columns[i].header), columns[i].alignment);
  ApplyColumnWidths();
  m_mode = ReadSettingDword(SETTING_VIEW_TRAPPER_DISPLAY_OID_MODE) == DISPLAY_SMART ? DISPLAY_SMART : DISPLAY_RAW;

  for (uint32_t code : {MSG_VIEW_TRAPPER_STARTED, MSG_VIEW_TRAPPER_DATA, MSG_VIEW_TRAPPER_FINISHED}) {
    CMessageCenter::Subscribe(L"CViewTrapper", this, MSG_VIEW_TRAPPER, code);
  }
  connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
    if (!index.isValid()) return;
    const RowRef ref = m_rows[static_cast<size_t>(index.row())];
    ExpandTrap(index.row(), ref.binding < 0 && !m_traps[ref.trap]->IsExpanded());
  });
  if (ReadSettingDword(SETTING_DLG_TRAP_PARAMETER_LAST_AUTO_START) != 0) OnRestart();
}

CViewTrapper::~CViewTrapper() {
  // No message reaches the view from here on; the worker stops with its member.
  CMessageCenter::Unsubscribe(this);
  if (m_worker.IsRunning()) m_worker.Stop();
}

// ---------------------------------------------------------------- commands

bool CViewTrapper::OnCommand(uint32_t command) {
  const int row = _selected_row();
  switch (command) {
    case ID_TRAPPER_START: return OnStart();
    case ID_TRAPPER_RESTART: return OnRestart();
    case ID_TRAPPER_STOP: return OnStop();
    case ID_TRAPPER_CLEAR:
      ClearList();
      // Traps received before the clear and not shown yet go with it.
      m_worker.TakeTraps(m_worker.GetRun());
      return true;
    case ID_COPY_OID: _copy(RowOid(row)); return true;
    case ID_COPY_VALUE: _copy(RowValue(row)); return true;
    case ID_DISPLAY_RAW: _set_mode(DISPLAY_RAW); return true;
    case ID_DISPLAY_SMART: _set_mode(DISPLAY_SMART); return true;
    case ID_TRAPPER_EXPAND_ALL: ExpandAll(true); return true;
    case ID_TRAPPER_COLLAPSE_ALL: ExpandAll(false); return true;
    case ID_TRAPPER_EXPAND_ONE: ExpandTrap(row, true); return true;
    case ID_TRAPPER_COLLAPSE_ONE: ExpandTrap(row, false); return true;
    default: return false;
  }
}

bool CViewTrapper::IsCommandEnabled(uint32_t command) const {
  const int row = _selected_row();
  const bool one = row >= 0;
  switch (command) {
    case ID_TRAPPER_START:
    case ID_TRAPPER_RESTART: return !m_receiving;
    case ID_TRAPPER_STOP: return m_receiving;
    case ID_TRAPPER_CLEAR:
    case ID_TRAPPER_EXPAND_ALL:
    case ID_TRAPPER_COLLAPSE_ALL: return RowCount() > 0;
    case ID_COPY_OID: return one;
    case ID_COPY_VALUE: return one && m_rows[static_cast<size_t>(row)].binding >= 0;
    case ID_DISPLAY_RAW: return m_mode != DISPLAY_RAW;
    case ID_DISPLAY_SMART: return m_mode != DISPLAY_SMART;
    case ID_TRAPPER_EXPAND_ONE:
    case ID_TRAPPER_COLLAPSE_ONE: {
      if (!one) return false;
      const RowRef ref = m_rows[static_cast<size_t>(row)];
      const CTrapRecord& record = *m_traps[ref.trap];
      if (command == ID_TRAPPER_COLLAPSE_ONE) return record.IsExpanded();
      return ref.binding < 0 && !record.IsExpanded() && !record.GetFrame().GetNames().empty();
    }
    default: return false;  // the MIB commands wait for the Browser tab
  }
}

bool CViewTrapper::OnStart() {
  if (m_receiving) return false;
  CDlgTrapParameter dialog(this);
  if (dialog.exec() != QDialog::Accepted) return false;
  return _start(dialog.Port());
}

bool CViewTrapper::OnRestart() {
  if (m_receiving) return false;
  return _start(ReadSettingDword(SETTING_DLG_TRAP_PARAMETER_LAST_PORT));
}

bool CViewTrapper::_start(uint32_t port) {
  QuillogW(QUILLOG_INFO, QLF_PROGRAM_GUI, L"CViewTrapper : starting the trap receiver on port %u", port);
  m_receiving = m_worker.Start(port);
  viewport()->update();
  return m_receiving;
}

// Stopping by hand also stops the automatic start of the next run.
bool CViewTrapper::OnStop() {
  if (!m_worker.Stop()) return false;
  if (ReadSettingDword(SETTING_DLG_TRAP_PARAMETER_LAST_AUTO_START) == 1) {
    WriteSettingDword(SETTING_DLG_TRAP_PARAMETER_LAST_AUTO_START, -1, 0);
  }
  return true;
}

void CViewTrapper::_set_mode(uint32_t mode) {
  m_mode = mode;
  WriteSettingDword(SETTING_VIEW_TRAPPER_DISPLAY_OID_MODE, -1, mode);
  viewport()->update();
}

void CViewTrapper::_copy(const QString& text) const {
  if (text.isEmpty()) return;
  QApplication::clipboard()->setText(text);
}

// One selected row, -1 for none or several.
int CViewTrapper::_selected_row() const {
  const QModelIndexList selected = selectionModel()->selectedRows();
  if (selected.size() != 1) return -1;
  const int row = selected.front().row();
  return row < static_cast<int>(m_rows.size()) ? row : -1;
}

void CViewTrapper::contextMenuEvent(QContextMenuEvent* event) {
  if (m_context_menu == nullptr) {
    m_context_menu = new CMyMenu(this);
    m_context_menu->BuildPopup(MainMenuPopup(IDS_MENU_TRAPPER), this);
    connect(m_context_menu, &CMyMenu::commandTriggered, this, [this](uint32_t command) { OnCommand(command); });
  }
  for (uint32_t command : kTrapperCommands) m_context_menu->EnableItem(command, IsCommandEnabled(command));
  m_context_menu->TrackPopup(event->globalPos());
}

// ---------------------------------------------------------------- messages

intptr_t CViewTrapper::OnViewMessage(uint32_t message, uintptr_t sub_code, uintptr_t payload) {
  CMessageCenter::Trace(L"CViewTrapper", L"is receiving a message", message, sub_code, payload);
  if (message != MSG_VIEW_TRAPPER) return 0;
  switch (sub_code) {
    case MSG_VIEW_TRAPPER_STARTED:
      m_listening = true;
      ClearList();
      viewport()->update();
      return 1;
    case MSG_VIEW_TRAPPER_DATA:
      // A note of an earlier run: its traps were freed by the next start.
      if (payload == 0 || payload != m_worker.GetRun()) return 0;
      // The traps that arrive within the next kRowBatchMs join this batch.
      if (!m_take_queued) {
        m_take_queued = true;
        QTimer::singleShot(kRowBatchMs, this, [this] { TakePending(); });
      }
      return 1;
    case MSG_VIEW_TRAPPER_FINISHED:
      TakePending();
      m_receiving = false;
      m_listening = false;
      viewport()->update();
      return 1;
    default: return 0;
  }
}

void CViewTrapper::TakePending() {
  m_take_queued = false;
  std::vector<std::unique_ptr<CTrapRecord>> taken = m_worker.TakeTraps(m_worker.GetRun());
  if (taken.empty()) return;
  const QScrollBar* bar = verticalScrollBar();
  const bool follow = bar->value() >= bar->maximum();
  BeginAppendRows(static_cast<int>(taken.size()));
  for (auto& record : taken) {
    const CSnmpFrameIn& frame = record->GetFrame();
    if (!frame.IsVersion1() && !frame.IsVersion2c()) {
      QuillogW(QUILLOG_ERROR, 0, L"CViewTrapper::OnViewMessage() : Version is not yet set");
    }
    m_rows.push_back(RowRef{static_cast<uint32_t>(m_traps.size()), -1});
    m_traps.push_back(std::move(record));
  }
  EndAppendRows();
  if (follow) scrollToBottom();
}

size_t CViewTrapper::ReleaseRows() {
  const size_t count = m_rows.size();
  m_rows.clear();
  m_traps.clear();
  return count;
}

// ---------------------------------------------------------------- expand / collapse

int CViewTrapper::_trap_row(uint32_t trap) const {
  for (size_t row = trap; row < m_rows.size(); ++row) {
    if (m_rows[row].trap == trap && m_rows[row].binding < 0) return static_cast<int>(row);
  }
  return -1;
}

void CViewTrapper::ExpandTrap(int row, bool expand) {
  if (row < 0 || row >= static_cast<int>(m_rows.size())) return;
  const uint32_t trap = m_rows[static_cast<size_t>(row)].trap;
  CTrapRecord& record = *m_traps[trap];
  const int count = static_cast<int>(record.GetFrame().GetNames().size());
  if (record.IsExpanded() == expand || count == 0) return;
  const int first = _trap_row(trap) + 1;
  const auto at = m_rows.begin() + first;
  if (expand) {
    BeginInsertRows(first, count);
    std::vector<RowRef> bindings;
    for (int32_t b = 0; b < count; ++b) bindings.push_back(RowRef{trap, b});
    m_rows.insert(at, bindings.begin(), bindings.end());
    record.SetExpanded(true);
    EndInsertRows();
  } else {
    BeginRemoveRows(first, count);
    m_rows.erase(at, at + count);
    record.SetExpanded(false);
    EndRemoveRows();
    selectRow(first - 1);
  }
}

void CViewTrapper::ExpandAll(bool expand) {
  if (m_traps.empty()) return;
  BeginResetRows();
  m_rows.clear();
  for (uint32_t t = 0; t < m_traps.size(); ++t) {
    CTrapRecord& record = *m_traps[t];
    const int32_t count = static_cast<int32_t>(record.GetFrame().GetNames().size());
    record.SetExpanded(expand && count > 0);
    m_rows.push_back(RowRef{t, -1});
    if (!record.IsExpanded()) continue;
    for (int32_t b = 0; b < count; ++b) m_rows.push_back(RowRef{t, b});
  }
  EndResetRows(static_cast<int>(m_rows.size()));
}

// ---------------------------------------------------------------- cells

QString CViewTrapper::EmptyText() const {
  return m_receiving ? QStringLiteral("No data to display") : QStringLiteral("Trap receiver is not started...");
}

QColor CViewTrapper::RowColour(int row) const {
  if (row < 0 || row >= static_cast<int>(m_rows.size())) return {};
  const RowRef ref = m_rows[static_cast<size_t>(row)];
  if (ref.binding < 0) return AlternateRowColour(static_cast<int>(ref.trap));
  return TrapAlternateColour(ref.trap % 2 == 0);
}

QString CViewTrapper::_oid_text(const std::wstring& dotted) const {
  return m_mode == DISPLAY_SMART ? SmartOid(dotted) : QString::fromStdWString(dotted);
}

QString CViewTrapper::CellText(int row, int column) const {
  if (row < 0 || row >= static_cast<int>(m_rows.size())) return {};
  const RowRef ref = m_rows[static_cast<size_t>(row)];
  const CTrapRecord& record = *m_traps[ref.trap];
  if (column < 0 || column >= COLUMN_COUNT) return QStringLiteral("???");
  if (ref.binding < 0) return _trap_cell(record, ref.trap, column);
  return _binding_cell(record, ref.binding, column);
}

QString CViewTrapper::_trap_cell(const CTrapRecord& record, uint32_t trap, int column) const {
  const CSnmpTrapIn& frame = record.GetFrame();
  const bool v1 = frame.IsVersion1();
  if (!v1 && !frame.IsVersion2c()) return QStringLiteral("???");
  switch (column) {
    case COLUMN_NUMBER: return QString::number(trap + 1);
    case COLUMN_TIME:
      return QDateTime::fromSecsSinceEpoch(record.GetTime(), Qt::UTC).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case COLUMN_REMOTE_IP: return QString::fromStdWString(FormatIpAddress(frame.GetSenderAddress()));
    case COLUMN_VERSION: return v1 ? QStringLiteral("1") : QStringLiteral("2c");
    case COLUMN_VARBIND: return QString::number(frame.GetNames().size());
    default: break;
  }
  if (!v1) return {};
  switch (column) {
    case COLUMN_AGENT_ADDRESS: return Text(frame.GetAgentAddress());
    case COLUMN_ENTERPRISE: return frame.GetEnterprise() ? _oid_text(frame.GetEnterprise()->GetText()) : QString();
    case COLUMN_GENERIC: return QString::fromWCharArray(frame.GetGenericTrapName());
    case COLUMN_SPECIFIC: return Text(frame.GetSpecificTrap());
    case COLUMN_TIMETICKS:
      if (frame.GetTimeStamp() == nullptr) return {};
      return FormatTimeTicks(static_cast<uint64_t>(frame.GetTimeStamp()->GetValue().GetInteger()));
    default: return {};
  }
}

QString CViewTrapper::_binding_cell(const CTrapRecord& record, int32_t binding, int column) const {
  const CSnmpTrapIn& frame = record.GetFrame();
  const auto index = static_cast<size_t>(binding);
  if (index >= frame.GetNames().size() || index >= frame.GetValues().size()) return {};
  const CAsn1Object* value = frame.GetValues()[index];
  switch (column) {
    case COLUMN_NUMBER: return QString::number(binding + 1);
    case COLUMN_ENTERPRISE: return _oid_text(frame.GetNames()[index]->GetText());
    case COLUMN_GENERIC: return QString::fromWCharArray(GetTypeName(value->GetType().GetCode()));
    case COLUMN_SPECIFIC: return ValueText(*value);
    default: return {};
  }
}

// A trap row's OID is its enterprise (SNMPv1) or its snmpTrapOID.0 value
// (SNMPv2c); a binding's is the binding's name.
QString CViewTrapper::RowOid(int row) const {
  if (row < 0 || row >= static_cast<int>(m_rows.size())) return {};
  const RowRef ref = m_rows[static_cast<size_t>(row)];
  const CSnmpTrapIn& frame = m_traps[ref.trap]->GetFrame();
  if (ref.binding >= 0) return Text(frame.GetNames()[static_cast<size_t>(ref.binding)]);
  if (frame.IsVersion1()) return Text(frame.GetEnterprise());
  for (size_t i = 0; i < frame.GetNames().size() && i < frame.GetValues().size(); ++i) {
    if (frame.GetNames()[i]->GetText() == kSnmpTrapOid) return Text(frame.GetValues()[i]);
  }
  return {};
}

QString CViewTrapper::RowValue(int row) const {
  if (row < 0 || row >= static_cast<int>(m_rows.size())) return {};
  const RowRef ref = m_rows[static_cast<size_t>(row)];
  if (ref.binding < 0) return {};
  const CAsn1Object* value = m_traps[ref.trap]->GetFrame().GetValues()[static_cast<size_t>(ref.binding)];
  return value ? ValueText(*value) : QString();
}
