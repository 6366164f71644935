#include "app/MessageCenter.h"

#include "quillog/Quillog.h"

#include <atomic>
#include <mutex>
#include <vector>

namespace {

struct NameRow {
  uint32_t message;
  uint32_t sub_code;
  const wchar_t* name;
};

const NameRow kMessageNames[] = {
    {MSG_VIEW_LOG, 0, L"MSG_VIEW_LOG"},         {MSG_VIEW_BROWSER, 0, L"MSG_VIEW_BROWSER"},
    {MSG_VIEW_CHOOSER, 0, L"MSG_VIEW_CHOOSER"}, {MSG_VIEW_WALKER, 0, L"MSG_VIEW_WALKER"},
    {MSG_VIEW_TRAPPER, 0, L"MSG_VIEW_TRAPPER"}, {MSG_VIEW_SIMULATOR, 0, L"MSG_VIEW_SIMULATOR"},
};

const NameRow kSubCodeNames[] = {
    {MSG_VIEW_BROWSER, MSG_VIEW_BROWSER_SELECT_CHANGE, L"MSG_VIEW_BROWSER_SELECT_CHANGE"},
    {MSG_VIEW_BROWSER, MSG_VIEW_BROWSER_LOAD_STARTED, L"MSG_VIEW_BROWSER_LOAD_STARTED"},
    {MSG_VIEW_BROWSER, MSG_VIEW_BROWSER_LOAD_FINISHED, L"MSG_VIEW_BROWSER_LOAD_FINISHED"},
    {MSG_VIEW_BROWSER, MSG_VIEW_BROWSER_DISPLAY, L"MSG_VIEW_BROWSER_DISPLAY"},
    {MSG_VIEW_CHOOSER, MSG_VIEW_CHOOSER_DISPLAY_BROWSER, L"MSG_VIEW_CHOOSER_DISPLAY_BROWSER"},
    {MSG_VIEW_CHOOSER, MSG_VIEW_CHOOSER_DISPLAY_WALKER, L"MSG_VIEW_CHOOSER_DISPLAY_WALKER"},
    {MSG_VIEW_CHOOSER, MSG_VIEW_CHOOSER_DISPLAY_TRAPPER, L"MSG_VIEW_CHOOSER_DISPLAY_TRAPPER"},
    {MSG_VIEW_CHOOSER, MSG_VIEW_CHOOSER_DISPLAY_SIMULER, L"MSG_VIEW_CHOOSER_DISPLAY_SIMULER"},
    {MSG_VIEW_CHOOSER, MSG_VIEW_CHOOSER_DISPLAY_LOGGER, L"MSG_VIEW_CHOOSER_DISPLAY_LOGGER"},
    {MSG_VIEW_WALKER, MSG_VIEW_WALKER_STARTED, L"MSG_VIEW_WALKER_STARTED"},
    {MSG_VIEW_WALKER, MSG_VIEW_WALKER_DATA, L"MSG_VIEW_WALKER_DATA"},
    {MSG_VIEW_WALKER, MSG_VIEW_WALKER_FINISHED, L"MSG_VIEW_WALKER_FINISHED"},
    {MSG_VIEW_WALKER, MSG_VIEW_WALKER_GET_STARTED, L"MSG_VIEW_WALKER_GET_STARTED"},
    {MSG_VIEW_WALKER, MSG_VIEW_WALKER_GET_DATA, L"MSG_VIEW_WALKER_GET_DATA"},
    {MSG_VIEW_WALKER, MSG_VIEW_WALKER_GET_FINISHED, L"MSG_VIEW_WALKER_GET_FINISHED"},
    {MSG_VIEW_WALKER, MSG_VIEW_WALKER_SET_STARTED, L"MSG_VIEW_WALKER_SET_STARTED"},
    {MSG_VIEW_WALKER, MSG_VIEW_WALKER_SET_DATA, L"MSG_VIEW_WALKER_SET_DATA"},
    {MSG_VIEW_WALKER, MSG_VIEW_WALKER_SET_FINISHED, L"MSG_VIEW_WALKER_SET_FINISHED"},
    {MSG_VIEW_TRAPPER, MSG_VIEW_TRAPPER_STARTED, L"MSG_VIEW_TRAPPER_STARTED"},
    {MSG_VIEW_TRAPPER, MSG_VIEW_TRAPPER_DATA, L"MSG_VIEW_TRAPPER_DATA"},
    {MSG_VIEW_TRAPPER, MSG_VIEW_TRAPPER_FINISHED, L"MSG_VIEW_TRAPPER_FINISHED"},
    {MSG_VIEW_SIMULATOR, MSG_VIEW_SIMULATOR_SELECT_CHANGE, L"MSG_VIEW_SIMULATOR_SELECT_CHANGE"},
    {MSG_VIEW_SIMULATOR, MSG_VIEW_SIMULATOR_GET_SIMULATOR, L"MSG_VIEW_SIMULATOR_GET_SIMULATOR"},
    {MSG_VIEW_SIMULATOR, MSG_VIEW_SIMULATOR_STARTED, L"MSG_VIEW_SIMULATOR_STARTED"},
    {MSG_VIEW_SIMULATOR, MSG_VIEW_SIMULATOR_DATA_RECV, L"MSG_VIEW_SIMULATOR_DATA_RECV"},
    {MSG_VIEW_SIMULATOR, MSG_VIEW_SIMULATOR_FINISHED, L"MSG_VIEW_SIMULATOR_FINISHED"},
    {MSG_VIEW_SIMULATOR, MSG_VIEW_SIMULATOR_DATA_SEND, L"MSG_VIEW_SIMULATOR_DATA_SEND"},
    {MSG_VIEW_SIMULATOR, MSG_VIEW_SIMULATOR_REFRESH, L"MSG_VIEW_SIMULATOR_REFRESH"},
    {MSG_VIEW_SIMULATOR, MSG_VIEW_SIMULATOR_GET_SELECTED, L"MSG_VIEW_SIMULATOR_GET_SELECTED"},
};

struct Subscription {
  std::wstring subscriber_name;
  CViewWindow* window;
  uint64_t window_id;
  CViewDispatcher* dispatcher;
  uint32_t message;
  uint32_t sub_code;
  uintptr_t payload;
};

// Created on first use, never destroyed (workers may deliver during exit).
struct Registry {
  std::mutex lock;  // "CMessageCenter"
  std::vector<Subscription> list;
};

Registry& TheRegistry() {
  static Registry* registry = new Registry();
  return *registry;
}

std::atomic<uint64_t> g_next_window_id{1};

bool Matches(const Subscription& s, uint32_t message, uintptr_t sub_code, uintptr_t payload) {
  return s.message == message && (s.sub_code == 0 || s.sub_code == sub_code) &&
         (s.payload == 0 || s.payload == payload);
}

const wchar_t* Name(const wchar_t* name) { return name ? name : L""; }

}  // namespace

const wchar_t* GetViewMessageName(uint32_t message) {
  for (const NameRow& row : kMessageNames)
    if (row.message == message) return row.name;
  return L"Unknown Msg";
}

const wchar_t* GetViewSubCodeName(uint32_t message, uintptr_t sub_code) {
  for (const NameRow& row : kSubCodeNames)
    if (row.message == message && row.sub_code == sub_code) return row.name;
  return L"Unknown wParam";
}

CViewWindow::CViewWindow(CViewDispatcher* dispatcher) : m_dispatcher(dispatcher), m_id(g_next_window_id.fetch_add(1)) {}

CViewWindow::~CViewWindow() { CMessageCenter::Unsubscribe(this); }

void CMessageCenter::Trace(const wchar_t* name, const wchar_t* phrase, uint32_t message, uintptr_t sub_code,
                           uintptr_t payload) {
  if (!quillog::FeatureOn(QLF_PROGRAM_MESSAGES)) return;
  QuillogW(QUILLOG_INFO, QLF_PROGRAM_MESSAGES, L"%s %s %s/%s/%p", Name(name), Name(phrase), GetViewMessageName(message),
           GetViewSubCodeName(message, sub_code), reinterpret_cast<const void*>(payload));
}

void CMessageCenter::Subscribe(const wchar_t* subscriber_name, CViewWindow* window, uint32_t message,
                               uint32_t sub_code) {
  if (!window) return;
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.lock);
  r.list.push_back(Subscription{Name(subscriber_name), window, window->GetWindowId(), window->GetDispatcher(), message,
                                sub_code, 0});
}

void CMessageCenter::Unsubscribe(CViewWindow* window) {
  if (!window) return;
  Registry& r = TheRegistry();
  uint64_t id = window->GetWindowId();
  std::lock_guard<std::mutex> lock(r.lock);
  std::erase_if(r.list, [id](const Subscription& s) { return s.window_id == id; });
}

bool CMessageCenter::IsSubscribed(uint64_t window_id) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.lock);
  for (const Subscription& s : r.list)
    if (s.window_id == window_id) return true;
  return false;
}

size_t CMessageCenter::Count() {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.lock);
  return r.list.size();
}

void CMessageCenter::Clear() {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.lock);
  r.list.clear();
}

intptr_t CMessageCenter::SendViewMessage(const wchar_t* sender_name, uint32_t message, uintptr_t sub_code,
                                         uintptr_t payload, size_t* handled) {
  size_t ran = 0;
  Trace(sender_name, L"is sending a message", message, sub_code, payload);
  std::vector<Subscription> targets;
  {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.lock);
    for (const Subscription& s : r.list)
      if (Matches(s, message, sub_code, payload)) targets.push_back(s);
  }
  intptr_t result = 0;
  for (const Subscription& s : targets) {
    Trace(sender_name, L"is forwarding a send message", message, sub_code, payload);
    if (!s.dispatcher) continue;
    CViewWindow* window = s.window;
    uint64_t id = s.window_id;
    // The window is checked on its own thread, where it is destroyed.
    s.dispatcher->Send([&result, &ran, window, id, message, sub_code, payload] {
      if (!IsSubscribed(id)) return;
      result = window->OnViewMessage(message, sub_code, payload);
      ++ran;
    });
  }
  if (targets.empty()) Trace(sender_name, L"with no forwarder for a send message", message, sub_code, payload);
  if (handled) *handled = ran;
  return result;
}

intptr_t CMessageCenter::PostViewMessage(const wchar_t* sender_name, uint32_t message, uintptr_t sub_code,
                                         uintptr_t payload, size_t* queued) {
  size_t count = 0;
  Trace(sender_name, L"is posting a message", message, sub_code, payload);
  intptr_t result = 0;
  bool forwarded = false;
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.lock);
  for (const Subscription& s : r.list) {
    if (!Matches(s, message, sub_code, payload)) continue;
    forwarded = true;
    Trace(sender_name, L"is forwarding a post message", message, sub_code, payload);
    if (!s.dispatcher) {
      result = 0;
      continue;
    }
    CViewWindow* window = s.window;
    uint64_t id = s.window_id;
    bool ok = s.dispatcher->Post([window, id, message, sub_code, payload] {
      if (IsSubscribed(id)) window->OnViewMessage(message, sub_code, payload);
    });
    result = ok ? 1 : 0;
    if (ok) ++count;
  }
  if (!forwarded) Trace(sender_name, L"with no forwarder for a post message", message, sub_code, payload);
  if (queued) *queued = count;
  return result;
}
