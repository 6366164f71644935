#include "gui/ViewMibBrowserLeft.h"

#include "app/Settings.h"
#include "gui/DlgModuleList.h"
#include "gui/DlgSelectMibFile.h"
#include "gui/MainMenu.h"
#include "gui/MyMenu.h"
#include "gui/TextEditor.h"
#include "gui/ViewWalker.h"
#include "oidatlas/OidAtlas.h"
#include "quillog/Quillog.h"
#include "smi/MibFolders.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPainter>

#include <memory>

namespace {

const wchar_t* const kName = L"CViewMibBrowserLeft";

constexpr uint32_t kBrowserCommands[] = {ID_BROWSER_LOAD,
                                         ID_BROWSER_UNLOAD,
                                         ID_BROWSER_RELOAD,
                                         ID_BROWSER_LOADED_MODULES,
                                         ID_BROWSER_DISPLAY_OID,
                                         ID_BROWSER_DISPLAY_NAME,
                                         ID_BROWSER_DISPLAY_OID_NAME,
                                         ID_BROWSER_EXPAND_ONE,
                                         ID_BROWSER_COLLAPSE_ONE,
                                         ID_BROWSER_WALK_FROM_HERE,
                                         ID_BROWSER_GET};

// The tree's context menu: the Browser menu, then the Walker commands.
constexpr MenuEntry kTreeCommands[] = {{MENU_SEPARATOR, 0, nullptr},
                                       {MENU_ITEM | ID_BROWSER_WALK_FROM_HERE, 0, nullptr},
                                       {MENU_ITEM | ID_BROWSER_GET, 0, nullptr},
                                       {MENU_END, 0, nullptr}};

std::wstring TreeMenuString(uint32_t id) {
  switch (id) {
    case ID_BROWSER_WALK_FROM_HERE: return L"Walk from here\nWalk the agent from this object to the end of its subtree";
    case ID_BROWSER_GET: return L"Get\nGet this scalar object's value from the agent";
    default: return ProgramString(id);
  }
}

CAsn1Oid WalkerOid(const CSmiArcs& oid) {
  std::vector<uint64_t> arcs;
  arcs.reserve(oid.size());
  for (int64_t arc : oid) arcs.push_back(static_cast<uint64_t>(arc));
  return CAsn1Oid(std::move(arcs));
}

// The images in MibImage order.
const QStringList& ImagePaths() {
  static const QStringList paths = {
      QStringLiteral(":/browser/mib-module-identity.svg"),   QStringLiteral(":/browser/mib-object-identity.svg"),
      QStringLiteral(":/browser/mib-object-type.svg"),       QStringLiteral(":/browser/mib-notification-type.svg"),
      QStringLiteral(":/browser/mib-trap-type.svg"),         QStringLiteral(":/browser/mib-textual-convention.svg"),
      QStringLiteral(":/browser/mib-object-group.svg"),      QStringLiteral(":/browser/mib-notification-group.svg"),
      QStringLiteral(":/browser/mib-module-compliance.svg"), QStringLiteral(":/browser/mib-agent-capabilities.svg"),
      QStringLiteral(":/browser/mib-object-identifier.svg"), QStringLiteral(":/browser/mib-integer.svg"),
      QStringLiteral(":/browser/mib-octet-string.svg"),      QStringLiteral(":/browser/mib-bits.svg"),
      QStringLiteral(":/browser/mib-sequence.svg"),          QStringLiteral(":/browser/mib-unknown.svg"),
  };
  return paths;
}

// "1.3.6.1" or ".1.3.6.1" into arcs; false when it is no OID.
bool ParseDotted(const std::wstring& text, SmiOid& oid) {
  size_t start = !text.empty() && text[0] == L'.' ? 1 : 0;
  while (start <= text.size()) {
    size_t dot = text.find(L'.', start);
    if (dot == std::wstring::npos) dot = text.size();
    if (dot == start || dot - start > 10) return false;
    int64_t arc = 0;
    for (size_t i = start; i < dot; ++i) {
      if (text[i] < L'0' || text[i] > L'9') return false;
      arc = arc * 10 + (text[i] - L'0');
    }
    oid.push_back(arc);
    start = dot + 1;
  }
  return !oid.empty();
}

std::u16string U16(const std::wstring& text) { return std::u16string(text.begin(), text.end()); }

std::wstring FromU16(const char16_t* text) {
  std::wstring out;
  for (; text != nullptr && *text != 0; ++text) out.push_back(static_cast<wchar_t>(*text));
  return out;
}

}  // namespace

// The item images live in this static library's own resource file.
static void RegisterBrowserImages() {
  static const bool registered = [] {
    Q_INIT_RESOURCE(browser);
    return true;
  }();
  (void)registered;
}

bool PostBrowserDisplay(const wchar_t* sender, const std::wstring& oid) {
  auto* text = new std::wstring(oid);
  size_t queued = 0;
  CMessageCenter::PostViewMessage(sender, MSG_VIEW_BROWSER, MSG_VIEW_BROWSER_DISPLAY, reinterpret_cast<uintptr_t>(text),
                                  &queued);
  if (queued == 0) delete text;
  return queued > 0;
}

std::wstring MibModuleOf(const std::wstring& oid) {
  std::wstring dotted = oid;
  if (!dotted.empty() && dotted[0] == L'.') dotted.erase(0, 1);
  return FromU16(OidAtlas_MibModule(U16(dotted).c_str()));
}

bool EditMibFile(const std::wstring& oid) {
  const std::wstring module = MibModuleOf(oid);
  if (module.empty()) return false;
  const std::wstring path = LocateModuleFile(module);
  return !path.empty() && StartTextEditor(path);
}

CViewMibBrowserLeft::CViewMibBrowserLeft(CViewDispatcher* dispatcher, CSmiTree& tree, QWidget* parent)
    : CMyTreeView(kName, parent), CViewWindow(dispatcher), m_tree(tree), m_worker(tree) {
  setObjectName(QStringLiteral("CViewMibBrowserLeft"));
  RegisterBrowserImages();
  SetImages(ImagePaths());
  const uint32_t mode = ReadSettingDword(SETTING_VIEW_MIB_BROWSER_DISPLAY_OID_MODE);
  m_mode = mode >= DISPLAY_OID && mode <= DISPLAY_OID_NAME ? mode : DISPLAY_OID;
  TreeReady();
  connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) { _on_current_changed(current); });
  for (uint32_t code : {MSG_VIEW_BROWSER_LOAD_STARTED, MSG_VIEW_BROWSER_LOAD_FINISHED, MSG_VIEW_BROWSER_DISPLAY}) {
    CMessageCenter::Subscribe(kName, this, MSG_VIEW_BROWSER, code);
  }
}

CViewMibBrowserLeft::~CViewMibBrowserLeft() {
  CMessageCenter::Unsubscribe(this);
  // The loader sends to this thread: cut it short and let its sends run
  // (they find nobody subscribed) before the worker waits for its end.
  if (m_worker.IsRunning()) m_worker.Stop();
  QElapsedTimer timer;
  timer.start();
  while (m_worker.IsRunning() && timer.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  if (m_builder.joinable()) m_builder.join();  // the load is over: the lock comes free
}

// ---------------------------------------------------------------- the tree

int CViewMibBrowserLeft::NodeChildCount(TreeNode node) const { return m_index.ChildCount(static_cast<uint32_t>(node)); }

TreeNode CViewMibBrowserLeft::NodeChild(TreeNode node, int row) const {
  return m_index.Child(static_cast<uint32_t>(node), row);
}

TreeNode CViewMibBrowserLeft::NodeParent(TreeNode node) const { return m_index.Parent(static_cast<uint32_t>(node)); }

int CViewMibBrowserLeft::NodeRow(TreeNode node) const { return m_index.Row(static_cast<uint32_t>(node)); }

QString CViewMibBrowserLeft::NodeText(TreeNode node) const {
  const CSmiObject* object = m_index.Object(static_cast<uint32_t>(node));
  if (object == nullptr) return {};
  const QString arc = object->oid.empty() ? QString() : QString::number(object->oid.back());
  if (m_mode == DISPLAY_OID) return arc;
  QString name;
  if (!object->declarations.empty()) {
    const std::string_view utf8 = object->declarations.front().name.Utf8();
    name = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
  }
  if (m_mode == DISPLAY_NAME) return name;
  return name + QStringLiteral(" (") + arc + QLatin1Char(')');
}

int CViewMibBrowserLeft::NodeImage(TreeNode node) const { return m_index.Image(static_cast<uint32_t>(node)); }

const CSmiObject* CViewMibBrowserLeft::SelectedObject() const {
  return m_index.Object(static_cast<uint32_t>(SelectedNode()));
}

void CViewMibBrowserLeft::Reveal(CMibTreeIndex::Node node) {
  SelectNode(node);
  const QModelIndex index = IndexOf(node);
  if (index.isValid()) scrollTo(index, QAbstractItemView::PositionAtCenter);
}

QString CViewMibBrowserLeft::EmptyText() const {
  return IsLoading() ? QStringLiteral("Loading MIB file...") : QStringLiteral("No MIB file loaded");
}

void CViewMibBrowserLeft::paintEvent(QPaintEvent* event) {
  CMyTreeView::paintEvent(event);
  if (!m_index.Empty()) return;
  QPainter painter(viewport());
  painter.setPen(palette().color(QPalette::Disabled, QPalette::Text));
  painter.drawText(viewport()->rect(), Qt::AlignCenter | Qt::TextWordWrap, EmptyText());
}

void CViewMibBrowserLeft::_on_current_changed(const QModelIndex& current) {
  const CSmiObject* object = m_index.Object(static_cast<uint32_t>(NodeOf(current)));
  if (object != nullptr) {
    QuillogW(QUILLOG_INFO, QLF_PROGRAM_GUI, L"Item %s is selected", NodeText(NodeOf(current)).toStdWString());
  }
  CMessageCenter::PostViewMessage(kName, MSG_VIEW_BROWSER, MSG_VIEW_BROWSER_SELECT_CHANGE,
                                  reinterpret_cast<uintptr_t>(object));
}

void CViewMibBrowserLeft::_drop_index() {
  clearSelection();
  BeginResetTree();
  m_index.Clear();
  EndResetTree();
  CMessageCenter::PostViewMessage(kName, MSG_VIEW_BROWSER, MSG_VIEW_BROWSER_SELECT_CHANGE, 0);
  emit indexChanged();
  viewport()->update();
}

// The index is built on a thread of its own, which may wait for the tree's
// lock; the GUI thread takes the result when it comes.
void CViewMibBrowserLeft::_start_build() {
  if (m_building) {
    m_build_again = true;
    return;
  }
  if (m_builder.joinable()) m_builder.join();  // it has posted its result: ended or ending
  m_building = true;
  const uint64_t generation = m_generation;
  m_builder = std::thread([this, generation] {
    auto built = std::make_shared<CMibTreeIndex>();
    {
      CSmiTreeProtected lock(m_tree);
      built->Build(m_tree);
    }
    QMetaObject::invokeMethod(
        this, [this, generation, built] { _take_index(generation, built); }, Qt::QueuedConnection);
  });
}

void CViewMibBrowserLeft::_take_index(uint64_t generation, std::shared_ptr<CMibTreeIndex> built) {
  if (m_builder.joinable()) m_builder.join();
  m_building = false;
  if (m_build_again) {
    m_build_again = false;
    _start_build();
    return;
  }
  // A load or Unload since the build started made it stale.
  if (generation != m_generation || m_loading) return;
  BeginResetTree();
  m_index = std::move(*built);
  EndResetTree();
  emit indexChanged();
  viewport()->update();
  if (!m_pending_oid.empty()) {
    SmiOid oid;
    if (ParseDotted(m_pending_oid, oid)) _select_oid(oid);
    m_pending_oid.clear();
  }
}

// ---------------------------------------------------------------- commands

bool CViewMibBrowserLeft::IsCommandEnabled(uint32_t command) const {
  const bool idle = !IsLoading();
  const bool items = idle && !m_index.Empty();
  switch (command) {
    case ID_BROWSER_LOAD: return idle;
    case ID_BROWSER_UNLOAD:
    case ID_BROWSER_RELOAD:
    case ID_BROWSER_LOADED_MODULES: return items;
    case ID_BROWSER_DISPLAY_OID: return m_mode != DISPLAY_OID;
    case ID_BROWSER_DISPLAY_NAME: return m_mode != DISPLAY_NAME;
    case ID_BROWSER_DISPLAY_OID_NAME: return m_mode != DISPLAY_OID_NAME;
    case ID_BROWSER_EXPAND_ONE:
    case ID_BROWSER_COLLAPSE_ONE: return true;
    case ID_BROWSER_WALK_FROM_HERE:
    case ID_BROWSER_GET: {
      if (!idle || m_walker == nullptr || m_walker->IsRequestRunning()) return false;
      const auto node = static_cast<CMibTreeIndex::Node>(SelectedNode());
      const CSmiObject* object = m_index.Object(node);
      if (object == nullptr || object->oid.empty() || !object->IsComplete()) return false;
      return command == ID_BROWSER_WALK_FROM_HERE || IsScalar(node);
    }
    default: return false;
  }
}

bool CViewMibBrowserLeft::IsScalar(CMibTreeIndex::Node node) const {
  const auto is_object_type = [](const CSmiObject* object) {
    return object != nullptr && object->type.kind == SMI_TYPE_MACRO && object->type.name == L"OBJECT-TYPE" &&
           !object->type.nested.empty();
  };
  const CSmiObject* object = m_index.Object(node);
  if (!is_object_type(object)) return false;
  // A table's SYNTAX is a SEQUENCE OF; a row's parent is a table and a
  // column's parent a row, both OBJECT-TYPEs.
  const uint32_t kind = object->type.nested.front().kind;
  if (kind == SMI_TYPE_SEQUENCE_OF || kind == SMI_TYPE_SEQUENCE) return false;
  return !is_object_type(m_index.Object(m_index.Parent(node)));
}

bool CViewMibBrowserLeft::OnWalkFromHere() {
  const CSmiObject* object = SelectedObject();
  if (m_walker == nullptr || object == nullptr) return false;
  if (!m_walker->WalkSubtree(WalkerOid(object->oid))) return false;
  CMessageCenter::PostViewMessage(kName, MSG_VIEW_CHOOSER, MSG_VIEW_CHOOSER_DISPLAY_WALKER, 0);
  return true;
}

bool CViewMibBrowserLeft::OnGet() {
  const CSmiObject* object = SelectedObject();
  if (m_walker == nullptr || object == nullptr) return false;
  CAsn1Oid instance = WalkerOid(object->oid);
  instance.Add(0);
  if (!m_walker->GetVariable(instance)) return false;
  CMessageCenter::PostViewMessage(kName, MSG_VIEW_CHOOSER, MSG_VIEW_CHOOSER_DISPLAY_WALKER, 0);
  return true;
}

bool CViewMibBrowserLeft::OnCommand(uint32_t command) {
  if (!IsCommandEnabled(command)) return false;
  switch (command) {
    case ID_BROWSER_LOAD: return OnLoad();
    case ID_BROWSER_UNLOAD: return OnUnload();
    case ID_BROWSER_RELOAD: return OnReload();
    case ID_BROWSER_LOADED_MODULES: {
      CDlgModuleList dialog(m_tree, this);
      dialog.exec();
      return true;
    }
    case ID_BROWSER_DISPLAY_OID: _set_mode(DISPLAY_OID); return true;
    case ID_BROWSER_DISPLAY_NAME: _set_mode(DISPLAY_NAME); return true;
    case ID_BROWSER_DISPLAY_OID_NAME: _set_mode(DISPLAY_OID_NAME); return true;
    case ID_BROWSER_EXPAND_ONE:
      if (currentIndex().isValid()) expand(currentIndex());
      return true;
    case ID_BROWSER_COLLAPSE_ONE:
      if (currentIndex().isValid()) collapse(currentIndex());
      return true;
    case ID_BROWSER_WALK_FROM_HERE: return OnWalkFromHere();
    case ID_BROWSER_GET: return OnGet();
    default: return false;
  }
}

bool CViewMibBrowserLeft::OnLoad() {
  CDlgSelectMibFile dialog(this);
  if (dialog.exec() != QDialog::Accepted) return false;
  const std::vector<CSmiModuleKey> modules = dialog.SelectedModules();
  if (modules.empty()) return false;
  std::wstring names;
  for (const CSmiModuleKey& key : modules) names += (names.empty() ? L"" : L";") + key.module_name;
  WriteSettingString(SETTING_VIEW_MIB_BROWSER_LAST_FILE, names);
  return StartLoad(true, modules);
}

bool CViewMibBrowserLeft::OnUnload() {
  if (IsLoading()) return false;
  WriteSettingString(SETTING_VIEW_MIB_BROWSER_LAST_FILE, L"");
  ++m_generation;
  _drop_index();
  if (!m_tree.Lock().TryEnter()) {
    QuillogW(QUILLOG_ERROR, 0, L"CViewMibBrowserLeft::OnUnload() : The MIB tree is in use");
    return false;
  }
  m_tree.Reset();
  m_tree.Lock().Leave();
  viewport()->update();
  return true;
}

bool CViewMibBrowserLeft::OnReload() {
  const std::wstring last = ReadSettingString(SETTING_VIEW_MIB_BROWSER_LAST_FILE);
  if (last.empty()) return false;
  return StartLoad(true, ModuleKeysFromList(last));
}

bool CViewMibBrowserLeft::StartLoad(bool reset, const std::vector<CSmiModuleKey>& modules) {
  if (modules.empty()) return false;
  return m_worker.Start(reset, modules);
}

void CViewMibBrowserLeft::_set_mode(uint32_t mode) {
  m_mode = mode;
  WriteSettingDword(SETTING_VIEW_MIB_BROWSER_DISPLAY_OID_MODE, -1, mode);
  // Labels changed: the views of the model are told through a data change.
  const QModelIndex top = IndexOf(m_index.Child(CMibTreeIndex::kRoot, 0));
  if (top.isValid()) emit TreeModel()->dataChanged(top, top);
  viewport()->update();
}

void CViewMibBrowserLeft::contextMenuEvent(QContextMenuEvent* event) {
  if (m_context_menu == nullptr) {
    m_context_menu = new CMyMenu(this, TreeMenuString);
    m_context_menu->BuildPopup(MainMenuPopup(IDS_MENU_BROWSER), this);
    m_context_menu->AppendPopup(kTreeCommands);
    connect(m_context_menu, &CMyMenu::commandTriggered, this, [this](uint32_t command) { OnCommand(command); });
  }
  for (uint32_t command : kBrowserCommands) m_context_menu->EnableItem(command, IsCommandEnabled(command));
  m_context_menu->TrackPopup(event->globalPos());
}

// ---------------------------------------------------------------- messages

bool CViewMibBrowserLeft::_select_oid(const SmiOid& oid) {
  const CMibTreeIndex::Node node = m_index.FindOid(oid);
  if (node == CMibTreeIndex::kRoot) return false;
  QuillogW(QUILLOG_INFO, QLF_PROGRAM_GUI, L"CViewMibBrowserLeft Selecting OID %s", SmiOidDotted(oid));
  Reveal(node);
  CMessageCenter::PostViewMessage(kName, MSG_VIEW_CHOOSER, MSG_VIEW_CHOOSER_DISPLAY_BROWSER, 0);
  return true;
}

void CViewMibBrowserLeft::DisplayOid(const std::wstring& text) {
  QuillogW(QUILLOG_INFO, QLF_PROGRAM_GUI, L"CViewMibBrowserLeft::OnLoadMib(%s)", text);
  SmiOid oid;
  if (!ParseDotted(text, oid)) {
    QuillogW(QUILLOG_ERROR, 0, L"CViewMibBrowserLeft::OnLoadMib() : '%s' is not an OID", text);
    return;
  }
  const std::wstring dotted = SmiOidDotted(oid);
  const std::wstring best = FromU16(OidAtlas_BestKnown(U16(dotted).c_str()));
  if (IsLoading()) {
    // Selected once the running load and its index are done.
    m_pending_oid = best.empty() ? dotted : best;
    return;
  }
  if (_select_oid(oid)) return;
  SmiOid best_oid;
  if (!best.empty() && ParseDotted(best, best_oid) && _select_oid(best_oid)) return;
  const std::wstring module = FromU16(OidAtlas_MibModule(U16(dotted).c_str()));
  m_pending_oid = best.empty() ? dotted : best;
  if (!module.empty()) StartLoad(false, {CSmiModuleKey::FromString(module)});
}

intptr_t CViewMibBrowserLeft::OnViewMessage(uint32_t message, uintptr_t sub_code, uintptr_t payload) {
  CMessageCenter::Trace(kName, L"is receiving a message", message, sub_code, payload);
  if (message != MSG_VIEW_BROWSER) return 0;
  switch (sub_code) {
    case MSG_VIEW_BROWSER_LOAD_STARTED:
      m_loading = true;
      ++m_generation;
      _drop_index();
      return 1;
    case MSG_VIEW_BROWSER_LOAD_FINISHED:
      m_loading = false;
      _start_build();
      return 1;
    case MSG_VIEW_BROWSER_DISPLAY: {
      std::unique_ptr<std::wstring> text(reinterpret_cast<std::wstring*>(payload));
      if (text) DisplayOid(*text);
      return 1;
    }
    default: return 0;
  }
}
