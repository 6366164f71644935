#include "gui/ViewSimulerValue.h"

#include "app/Settings.h"
#include "app/ShowMessage.h"
#include "asn1/Asn1Type.h"
#include "gui/DlgValueModify.h"
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
#include <QMouseEvent>

#include <algorithm>

namespace {

constexpr uint32_t kValueCommands[] = {ID_VALUE_ADD, ID_VALUE_MODIFY, ID_VALUE_DELETE, ID_DISPLAY_RAW, ID_DISPLAY_SMART,
                                       ID_MIB_EDIT,  ID_MIB_LOAD,     ID_COPY_OID,     ID_COPY_VALUE};

constexpr MenuEntry Item(uint32_t id) { return {MENU_ITEM | id, 0, nullptr}; }
constexpr MenuEntry Popup(uint32_t id, const MenuEntry* sub) { return {MENU_POPUP | id, 0, sub}; }
constexpr MenuEntry kEnd{MENU_END, 0, nullptr};
constexpr MenuEntry kValue[] = {Item(ID_VALUE_ADD), Item(ID_VALUE_MODIFY), Item(ID_VALUE_DELETE), kEnd};
constexpr MenuEntry kDisplay[] = {Item(ID_DISPLAY_RAW), Item(ID_DISPLAY_SMART), kEnd};
constexpr MenuEntry kMib[] = {Item(ID_MIB_EDIT), Item(ID_MIB_LOAD), kEnd};
constexpr MenuEntry kCopy[] = {Item(ID_COPY_OID), Item(ID_COPY_VALUE), kEnd};
constexpr MenuEntry kContextMenu[] = {Popup(IDS_MENU_VALUE, kValue), Popup(IDS_MENU_DISPLAY, kDisplay),
                                      Popup(IDS_MENU_MIB, kMib), Popup(IDS_MENU_COPY, kCopy), kEnd};

std::wstring MenuString(uint32_t id) {
  switch (id) {
    case IDS_MENU_VALUE: return L"Value\n";
    case ID_VALUE_ADD: return L"Add\nAdd a value to the simulator";
    case ID_VALUE_MODIFY: return L"Modify\nChange the selected value";
    case ID_VALUE_DELETE: return L"Delete\nDelete the selected values";
    default: return ProgramString(id);
  }
}

constexpr const wchar_t* kRunning = L"Simulator is running, you are not allowed to modify it, stop it first";

}  // namespace

CViewSimulerValue::CViewSimulerValue(CViewDispatcher* dispatcher, CSimulatorLibrary* library, QWidget* parent)
    : CMyListViewOf(L"CViewSimulerValue", SETTING_VIEW_SIMULER_VALUE_COL_WIDTH, parent),
      CViewWindow(dispatcher),
      m_library(library) {
  InsertColumn(COLUMN_NUMBER, QStringLiteral("#"), Qt::AlignRight);
  InsertColumn(COLUMN_OID, QStringLiteral("Oid"));
  InsertColumn(COLUMN_TYPE, QStringLiteral("Type"));
  InsertColumn(COLUMN_VALUE, QStringLiteral("Value"));
  ApplyColumnWidths();
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  m_mode = ReadSettingDword(SETTING_VIEW_SIMULER_VALUE_DISPLAY_OID_MODE) == DISPLAY_SMART ? DISPLAY_SMART : DISPLAY_RAW;
  CMessageCenter::Subscribe(L"CViewSimulerValue", this, MSG_VIEW_SIMULATOR, MSG_VIEW_SIMULATOR_SELECT_CHANGE);
  CMessageCenter::Subscribe(L"CViewSimulerValue", this, MSG_VIEW_SIMULATOR, MSG_VIEW_SIMULATOR_REFRESH);
  SendViewMessage(L"CViewSimulerValue", MSG_VIEW_SIMULATOR, MSG_VIEW_SIMULATOR_GET_SELECTED, 0);
}

CViewSimulerValue::~CViewSimulerValue() { CMessageCenter::Unsubscribe(this); }

// ---------------------------------------------------------------- rows

void CViewSimulerValue::Show(CSimulatorEntry* entry) {
  m_entry = entry != nullptr && entry->IsSimulator() ? entry : nullptr;
  ClearList();
  if (m_entry == nullptr) return;
  std::vector<Pointer> rows;
  {
    auto lock = m_entry->LockValues();
    rows.reserve(m_entry->values.size());
    for (const CSimulatorValue& value : m_entry->values) {
      auto row = std::make_unique<SimulerValueRow>();
      row->oid = value.oid;
      row->type = value.type;
      row->value = value.value;
      rows.push_back(std::move(row));
    }
  }
  AddItems(rows);
}

QString CViewSimulerValue::CellText(int row, int column) const {
  const SimulerValueRow* record = Item(row);
  if (record == nullptr) return {};
  switch (column) {
    case COLUMN_NUMBER: return QString::number(row + 1);
    case COLUMN_OID:
      return m_mode == DISPLAY_SMART ? SmartOid(record->oid.GetText()) : QString::fromStdWString(record->oid.GetText());
    case COLUMN_TYPE: return QString::fromWCharArray(GetTypeName(record->type));
    case COLUMN_VALUE: return QString::fromStdWString(record->value);
    default: return QStringLiteral("???");
  }
}

QString CViewSimulerValue::EmptyText() const {
  return m_entry == nullptr ? QStringLiteral("This is not a simulator") : QStringLiteral("No value in that simulator");
}

// ---------------------------------------------------------------- commands

int CViewSimulerValue::_selected_count() const { return static_cast<int>(selectionModel()->selectedRows().size()); }

int CViewSimulerValue::_selected_row() const {
  const QModelIndexList selected = selectionModel()->selectedRows();
  return selected.size() == 1 ? selected.front().row() : -1;
}

bool CViewSimulerValue::_editable() const { return m_entry != nullptr && !m_entry->running; }

bool CViewSimulerValue::IsCommandEnabled(uint32_t command) const {
  const int selected = _selected_count();
  const bool one = selected == 1 && Item(_selected_row()) != nullptr;
  switch (command) {
    case ID_VALUE_ADD: return _editable() && selected < 2;
    case ID_VALUE_MODIFY: return _editable() && one;
    case ID_VALUE_DELETE: return _editable() && selected >= 1;
    case ID_DISPLAY_RAW: return m_mode != DISPLAY_RAW;
    case ID_DISPLAY_SMART: return m_mode != DISPLAY_SMART;
    case ID_COPY_OID:
    case ID_COPY_VALUE:
    case ID_MIB_LOAD: return one;
    case ID_MIB_EDIT: return one && !MibModuleOf(Item(_selected_row())->oid.GetText()).empty();
    default: return false;
  }
}

bool CViewSimulerValue::OnCommand(uint32_t command) {
  if (!IsCommandEnabled(command)) return false;
  const SimulerValueRow* row = Item(_selected_row());
  switch (command) {
    case ID_VALUE_ADD: return OnAdd();
    case ID_VALUE_MODIFY: return OnModify();
    case ID_VALUE_DELETE: return OnDelete();
    case ID_DISPLAY_RAW: _set_mode(DISPLAY_RAW); return true;
    case ID_DISPLAY_SMART: _set_mode(DISPLAY_SMART); return true;
    case ID_COPY_OID: QApplication::clipboard()->setText(QString::fromStdWString(row->oid.GetText())); return true;
    case ID_COPY_VALUE: QApplication::clipboard()->setText(QString::fromStdWString(row->value)); return true;
    case ID_MIB_EDIT: return EditMibFile(row->oid.GetText());
    case ID_MIB_LOAD: return PostBrowserDisplay(L"CViewSimulerValue", row->oid.GetText());
    default: return false;
  }
}

void CViewSimulerValue::_saved_and_tell() {
  CSimulatorFile::Save(m_entry);
  PostViewMessage(L"CViewSimulerValue", MSG_VIEW_SIMULATOR, MSG_VIEW_SIMULATOR_SELECT_CHANGE,
                  reinterpret_cast<uintptr_t>(m_entry));
}

bool CViewSimulerValue::OnAdd() {
  CDlgValueModify dialog(false, QString(), QString(), QString(), this);
  if (dialog.exec() != QDialog::Accepted || !_editable()) return false;
  if (!m_entry->AddValue(dialog.Oid().toStdWString(), dialog.Type().toStdWString(), dialog.Value().toStdWString())) {
    ShowMessageBox(L"Unable to add this value", L"Warning", SHOW_MESSAGE_WARNING);
    return false;
  }
  _saved_and_tell();
  return true;
}

bool CViewSimulerValue::OnModify() {
  const SimulerValueRow* row = Item(_selected_row());
  if (row == nullptr) return false;
  const CAsn1Oid oid = row->oid;
  CDlgValueModify dialog(true, QString::fromStdWString(oid.GetText()), QString::fromWCharArray(GetTypeName(row->type)),
                         QString::fromStdWString(row->value), this);
  if (dialog.exec() != QDialog::Accepted || !_editable()) return false;
  const uint8_t type = GetTypeCode(dialog.Type().toStdWString());
  const std::wstring text = dialog.Value().toStdWString();
  // A text the type cannot hold would be dropped by the next load.
  const std::wstring why = CSimulatorEntry::CheckValueText(type, text);
  if (!CSimulatorEntry::IsAcceptedType(type) || !why.empty()) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"CViewSimulerValue::OnModify() : '%s' is not a value of type %s (%s)", text,
             GetTypeName(type), why);
    ShowMessageBox(L"Unable to modify this value", L"Warning", SHOW_MESSAGE_WARNING);
    return false;
  }
  {
    auto lock = m_entry->LockValues();
    auto found = std::find_if(m_entry->values.begin(), m_entry->values.end(),
                              [&](const CSimulatorValue& value) { return value.oid == oid; });
    if (found == m_entry->values.end()) return false;
    found->type = type;
    found->value = text;
  }
  _saved_and_tell();
  return true;
}

bool CViewSimulerValue::OnDelete() {
  std::vector<CAsn1Oid> doomed;
  for (const QModelIndex& index : selectionModel()->selectedRows()) {
    if (const SimulerValueRow* row = Item(index.row())) doomed.push_back(row->oid);
  }
  if (doomed.empty() || !_editable()) return false;
  {
    auto lock = m_entry->LockValues();
    std::erase_if(m_entry->values, [&](const CSimulatorValue& value) {
      return std::find(doomed.begin(), doomed.end(), value.oid) != doomed.end();
    });
  }
  _saved_and_tell();
  return true;
}

void CViewSimulerValue::_set_mode(uint32_t mode) {
  m_mode = mode;
  WriteSettingDword(SETTING_VIEW_SIMULER_VALUE_DISPLAY_OID_MODE, -1, mode);
  viewport()->update();
}

void CViewSimulerValue::contextMenuEvent(QContextMenuEvent* event) {
  if (m_context_menu == nullptr) {
    m_context_menu = new CMyMenu(this, MenuString);
    m_context_menu->BuildPopup(kContextMenu, this);
    connect(m_context_menu, &CMyMenu::commandTriggered, this, [this](uint32_t command) { OnCommand(command); });
  }
  for (uint32_t command : kValueCommands) m_context_menu->EnableItem(command, IsCommandEnabled(command));
  m_context_menu->TrackPopup(event->globalPos());
}

void CViewSimulerValue::mouseDoubleClickEvent(QMouseEvent* event) {
  const QModelIndex index = indexAt(event->position().toPoint());
  if (!index.isValid()) return;
  if (m_entry != nullptr && m_entry->running) {
    ShowMessageBox(kRunning, L"Warning", SHOW_MESSAGE_WARNING);
    return;
  }
  OnCommand(ID_VALUE_MODIFY);
}

// ---------------------------------------------------------------- messages

intptr_t CViewSimulerValue::OnViewMessage(uint32_t message, uintptr_t sub_code, uintptr_t payload) {
  CMessageCenter::Trace(L"CViewSimulerValue", L"is receiving a message", message, sub_code, payload);
  if (message != MSG_VIEW_SIMULATOR) return 0;
  if (sub_code == MSG_VIEW_SIMULATOR_SELECT_CHANGE) {
    auto* entry = reinterpret_cast<CSimulatorEntry*>(payload);
    // An entry posted before a rebuild may be gone by now.
    if (entry != nullptr && (m_library == nullptr || !m_library->Contains(entry))) return 0;
    Show(entry);
    return 1;
  }
  if (sub_code == MSG_VIEW_SIMULATOR_REFRESH) {
    // A manager's Set changed the running simulator, which need not be the
    // one shown: that one goes to its file.
    CSimulatorEntry* running = m_library != nullptr ? m_library->GetRunning() : nullptr;
    if (running != nullptr) CSimulatorFile::Save(running);
    if (m_entry != nullptr) Show(m_entry);
    return 1;
  }
  return 0;
}
