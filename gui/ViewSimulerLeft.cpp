#include "gui/ViewSimulerLeft.h"

#include "gui/DlgNewName.h"
#include "gui/MainMenu.h"
#include "gui/MyMenu.h"
#include "gui/SheetCreateSimulator.h"
#include "quillog/Quillog.h"

#include <QContextMenuEvent>
#include <QItemSelectionModel>
#include <QMouseEvent>

// The tree's images live in a resource of this static library.
static void InitSimulerImages() { Q_INIT_RESOURCE(simuler); }

namespace {

constexpr uint32_t kLibraryCommands[] = {ID_FOLDER_CREATE,    ID_FOLDER_RENAME,    ID_FOLDER_DELETE,
                                         ID_SIMULATOR_CREATE, ID_SIMULATOR_RENAME, ID_SIMULATOR_DELETE,
                                         ID_SIMULATOR_START,  ID_SIMULATOR_STOP};

// The directory part of a path, with its last slash.
std::wstring FolderOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L'/');
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

}  // namespace

CViewSimulerLeft::CViewSimulerLeft(CViewDispatcher* dispatcher, QWidget* parent)
    : CMyTreeView(L"CViewSimulerLeft", parent),
      CViewWindow(dispatcher),
      m_library(std::make_unique<CSimulatorLibrary>()) {
  InitSimulerImages();
  SetImages({QStringLiteral(":/simuler/sim-folder.svg"), QStringLiteral(":/simuler/sim-stopped.svg"),
             QStringLiteral(":/simuler/sim-running.svg")});
  for (uint32_t code :
       {MSG_VIEW_SIMULATOR_SELECT_CHANGE, MSG_VIEW_SIMULATOR_GET_SIMULATOR, MSG_VIEW_SIMULATOR_GET_SELECTED}) {
    CMessageCenter::Subscribe(L"CViewSimulerLeft", this, MSG_VIEW_SIMULATOR, code);
  }
  TreeReady();
  connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { _on_selection_changed(); });
  BeginResetTree();
  m_library->Startup();
  EndResetTree();
  expandAll();
  SelectEntry(m_library->GetSelected());
}

CViewSimulerLeft::~CViewSimulerLeft() {
  CMessageCenter::Unsubscribe(this);
  // The tree must not ask for entries while the library goes.
  BeginResetTree();
  m_library.reset();
  EndResetTree();
}

// ---------------------------------------------------------------- tree

int CViewSimulerLeft::NodeChildCount(TreeNode node) const {
  if (!m_library) return 0;
  if (node == kTreeRoot) return static_cast<int>(m_library->GetRoots().size());
  return static_cast<int>(EntryOf(node)->children.size());
}

TreeNode CViewSimulerLeft::NodeChild(TreeNode node, int row) const {
  const auto& children = node == kTreeRoot ? m_library->GetRoots() : EntryOf(node)->children;
  return row >= 0 && static_cast<size_t>(row) < children.size() ? NodeOfEntry(children[static_cast<size_t>(row)])
                                                                : kTreeRoot;
}

TreeNode CViewSimulerLeft::NodeParent(TreeNode node) const {
  return node == kTreeRoot ? kTreeRoot : NodeOfEntry(EntryOf(node)->parent);
}

int CViewSimulerLeft::NodeRow(TreeNode node) const {
  const CSimulatorEntry* entry = EntryOf(node);
  const auto& siblings = entry->parent != nullptr ? entry->parent->children : m_library->GetRoots();
  for (size_t i = 0; i < siblings.size(); ++i) {
    if (siblings[i] == entry) return static_cast<int>(i);
  }
  return 0;
}

QString CViewSimulerLeft::NodeText(TreeNode node) const {
  return node == kTreeRoot ? QString() : QString::fromStdWString(EntryOf(node)->name);
}

int CViewSimulerLeft::NodeImage(TreeNode node) const {
  const CSimulatorEntry* entry = EntryOf(node);
  if (entry == nullptr || entry->IsFolder()) return IMAGE_FOLDER;
  return entry->running ? IMAGE_RUNNING : IMAGE_SIMULATOR;
}

bool CViewSimulerLeft::NodeBold(TreeNode node) const {
  const CSimulatorEntry* entry = EntryOf(node);
  return entry != nullptr && entry->IsSimulator() && entry->running;
}

void CViewSimulerLeft::SelectEntry(CSimulatorEntry* entry) {
  if (entry != nullptr && !m_library->Contains(entry)) entry = nullptr;
  SelectNode(NodeOfEntry(entry));
}

void CViewSimulerLeft::_on_selection_changed() {
  if (m_changing) return;
  CSimulatorEntry* entry = EntryOf(SelectedNode());
  if (entry == m_library->GetSelected()) return;
  m_library->Select(entry);
}

void CViewSimulerLeft::_redraw() { viewport()->update(); }

// ---------------------------------------------------------------- commands

bool CViewSimulerLeft::IsCommandEnabled(uint32_t command) const {
  const CSimulatorEntry* selected = m_library->GetSelected();
  switch (command) {
    case ID_FOLDER_CREATE:
    case ID_SIMULATOR_CREATE: return m_library->MayCreate();
    case ID_FOLDER_RENAME: return m_library->MayRenameFolder();
    case ID_FOLDER_DELETE: return m_library->MayDeleteFolder();
    case ID_SIMULATOR_RENAME: return m_library->MayRenameSimulator();
    case ID_SIMULATOR_DELETE: return m_library->MayDeleteSimulator();
    case ID_SIMULATOR_START: return selected != nullptr && selected->IsSimulator() && !selected->running;
    case ID_SIMULATOR_STOP: return true;
    default: return false;
  }
}

bool CViewSimulerLeft::OnCommand(uint32_t command) {
  if (!IsCommandEnabled(command)) return false;
  CSimulatorEntry* selected = m_library->GetSelected();
  std::wstring name;
  switch (command) {
    case ID_FOLDER_CREATE:
      if (!_ask_name(QStringLiteral("Create a new folder"), QString(), &name)) return false;
      return _change_library([&] { return m_library->CreateFolder(name); }, selected->path + L"/" + name);
    case ID_FOLDER_RENAME:
      if (!_ask_name(QStringLiteral("Rename a folder"), QString::fromStdWString(selected->name), &name)) return false;
      return _change_library([&] { return m_library->RenameFolder(name); }, FolderOf(selected->path) + name);
    case ID_FOLDER_DELETE: return _change_library([&] { return m_library->DeleteFolder(); }, FolderOf(selected->path));
    case ID_SIMULATOR_CREATE: return _create_simulator();
    case ID_SIMULATOR_RENAME: {
      if (!_ask_name(QStringLiteral("Rename a Simulator"), QString::fromStdWString(selected->name), &name)) {
        return false;
      }
      const std::wstring extension = selected->path.substr(selected->path.find_last_of(L'.'));
      return _change_library([&] { return m_library->RenameSimulator(name); },
                             FolderOf(selected->path) + name + extension);
    }
    case ID_SIMULATOR_DELETE:
      return _change_library([&] { return m_library->DeleteSimulator(); }, FolderOf(selected->path));
    case ID_SIMULATOR_START: {
      const bool started = m_library->StartSelected();
      _redraw();
      return started;
    }
    case ID_SIMULATOR_STOP: {
      const bool stopped = m_library->StopSelected();
      _redraw();
      return stopped;
    }
    default: return false;
  }
}

bool CViewSimulerLeft::_ask_name(const QString& title, const QString& current, std::wstring* name) {
  CDlgNewName dialog(title, current, this);
  if (dialog.exec() != QDialog::Accepted) return false;
  *name = dialog.Name().toStdWString();
  return true;
}

bool CViewSimulerLeft::_create_simulator() {
  const std::wstring folder = m_library->GetSelected()->path;
  CSheetCreateSimulator sheet(folder, this);
  if (sheet.exec() != QDialog::Accepted) return false;
  const SimulatorSettings settings = sheet.Settings();
  return _change_library([&] { return m_library->CreateSimulator(settings); },
                         folder + L"/" + settings.name + sheet.Extension());
}

bool CViewSimulerLeft::_change_library(const std::function<bool()>& operation, const std::wstring& select_path) {
  m_changing = true;
  BeginResetTree();
  const bool done = operation();
  EndResetTree();
  m_changing = false;
  expandAll();
  // A folder path may carry a trailing slash; the library's never do.
  std::wstring path = select_path;
  while (path.size() > 1 && path.back() == L'/') path.pop_back();
  CSimulatorEntry* target = done ? m_library->FindByPath(path) : m_library->GetSelected();
  if (target != nullptr) {
    SelectEntry(target);
    if (target != m_library->GetSelected()) m_library->Select(target);
  } else {
    clearSelection();
  }
  return done;
}

void CViewSimulerLeft::contextMenuEvent(QContextMenuEvent* event) {
  const QModelIndex index = indexAt(viewport()->mapFromGlobal(event->globalPos()));
  if (index.isValid()) SelectNode(NodeOf(index));
  if (m_context_menu == nullptr) {
    m_context_menu = new CMyMenu(this);
    m_context_menu->BuildPopup(MainMenuPopup(IDS_MENU_SIMULER), this);
    connect(m_context_menu, &CMyMenu::commandTriggered, this, [this](uint32_t command) { OnCommand(command); });
  }
  for (uint32_t command : kLibraryCommands) m_context_menu->EnableItem(command, IsCommandEnabled(command));
  m_context_menu->TrackPopup(event->globalPos());
}

void CViewSimulerLeft::mouseDoubleClickEvent(QMouseEvent* event) {
  const QModelIndex index = indexAt(event->position().toPoint());
  CSimulatorEntry* entry = index.isValid() ? EntryOf(NodeOf(index)) : nullptr;
  if (entry == nullptr || !entry->IsSimulator()) {
    CMyTreeView::mouseDoubleClickEvent(event);
    return;
  }
  SelectNode(NodeOf(index));
  m_library->ToggleSelected();
  _redraw();
}

// ---------------------------------------------------------------- messages

intptr_t CViewSimulerLeft::OnViewMessage(uint32_t message, uintptr_t sub_code, uintptr_t payload) {
  CMessageCenter::Trace(L"CViewSimulerLeft", L"is receiving a message", message, sub_code, payload);
  if (message != MSG_VIEW_SIMULATOR || !m_library) return 0;
  switch (sub_code) {
    case MSG_VIEW_SIMULATOR_SELECT_CHANGE: {
      auto* entry = reinterpret_cast<CSimulatorEntry*>(payload);
      if (entry == nullptr || !m_library->Contains(entry)) return 0;
      // Follow without telling again: the others have the same message.
      m_changing = true;
      if (EntryOf(SelectedNode()) != entry) SelectEntry(entry);
      m_changing = false;
      if (m_library->GetSelected() != entry) m_library->Select(entry, false);
      _redraw();
      return 1;
    }
    case MSG_VIEW_SIMULATOR_GET_SIMULATOR: {
      if (payload == 0) return 0;
      CSimulatorEntry* entry = m_library->FindByPath(reinterpret_cast<const wchar_t*>(payload));
      return entry != nullptr && entry->IsSimulator() ? reinterpret_cast<intptr_t>(entry) : 0;
    }
    case MSG_VIEW_SIMULATOR_GET_SELECTED:
      PostViewMessage(L"CViewSimulerLeft", MSG_VIEW_SIMULATOR, MSG_VIEW_SIMULATOR_SELECT_CHANGE,
                      reinterpret_cast<uintptr_t>(m_library->GetSelected()));
      return 1;
    default: return 0;
  }
}
