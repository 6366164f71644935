// The message center: routes view messages from workers and views to the
// view windows that subscribed to them.
//
// A "window" is any CViewWindow bound to a thread's dispatcher (a queue run
// by one thread: the GUI thread, or a CPlainDispatcher). Send runs the
// window's handler on that thread and blocks the caller until it has run (a
// direct call when the caller already is that thread); post queues it and
// returns at once. A window that is unsubscribed (or destroyed) before a
// queued message runs never sees it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// View messages (window message numbers).
constexpr uint32_t MSG_VIEW_LOG = 0x8001;
constexpr uint32_t MSG_VIEW_BROWSER = 0x8002;
constexpr uint32_t MSG_VIEW_CHOOSER = 0x8003;
constexpr uint32_t MSG_VIEW_WALKER = 0x8004;
constexpr uint32_t MSG_VIEW_TRAPPER = 0x8005;
constexpr uint32_t MSG_VIEW_SIMULATOR = 0x8006;

// Sub-codes (first parameter) of MSG_VIEW_BROWSER.
constexpr uint32_t MSG_VIEW_BROWSER_SELECT_CHANGE = 1;
constexpr uint32_t MSG_VIEW_BROWSER_LOAD_STARTED = 2;
constexpr uint32_t MSG_VIEW_BROWSER_LOAD_FINISHED = 3;
constexpr uint32_t MSG_VIEW_BROWSER_DISPLAY = 4;

// Sub-codes of MSG_VIEW_CHOOSER: the tab index plus one.
constexpr uint32_t MSG_VIEW_CHOOSER_DISPLAY_BROWSER = 1;
constexpr uint32_t MSG_VIEW_CHOOSER_DISPLAY_WALKER = 2;
constexpr uint32_t MSG_VIEW_CHOOSER_DISPLAY_TRAPPER = 3;
constexpr uint32_t MSG_VIEW_CHOOSER_DISPLAY_SIMULER = 4;
constexpr uint32_t MSG_VIEW_CHOOSER_DISPLAY_LOGGER = 5;

// Sub-codes of MSG_VIEW_WALKER.
constexpr uint32_t MSG_VIEW_WALKER_STARTED = 1;
constexpr uint32_t MSG_VIEW_WALKER_DATA = 2;
constexpr uint32_t MSG_VIEW_WALKER_FINISHED = 3;
constexpr uint32_t MSG_VIEW_WALKER_GET_STARTED = 4;
constexpr uint32_t MSG_VIEW_WALKER_GET_DATA = 5;
constexpr uint32_t MSG_VIEW_WALKER_GET_FINISHED = 6;
constexpr uint32_t MSG_VIEW_WALKER_SET_STARTED = 7;
constexpr uint32_t MSG_VIEW_WALKER_SET_DATA = 8;
constexpr uint32_t MSG_VIEW_WALKER_SET_FINISHED = 9;

// Sub-codes of MSG_VIEW_TRAPPER.
constexpr uint32_t MSG_VIEW_TRAPPER_STARTED = 1;
constexpr uint32_t MSG_VIEW_TRAPPER_DATA = 2;
constexpr uint32_t MSG_VIEW_TRAPPER_FINISHED = 3;

// Sub-codes of MSG_VIEW_SIMULATOR.
constexpr uint32_t MSG_VIEW_SIMULATOR_SELECT_CHANGE = 1;
constexpr uint32_t MSG_VIEW_SIMULATOR_GET_SIMULATOR = 2;
constexpr uint32_t MSG_VIEW_SIMULATOR_STARTED = 3;
constexpr uint32_t MSG_VIEW_SIMULATOR_DATA_RECV = 4;
constexpr uint32_t MSG_VIEW_SIMULATOR_FINISHED = 5;
constexpr uint32_t MSG_VIEW_SIMULATOR_DATA_SEND = 6;
constexpr uint32_t MSG_VIEW_SIMULATOR_REFRESH = 7;
constexpr uint32_t MSG_VIEW_SIMULATOR_GET_SELECTED = 8;

// Names for traces: "Unknown Msg" / "Unknown wParam" when not in the table.
const wchar_t* GetViewMessageName(uint32_t message);
const wchar_t* GetViewSubCodeName(uint32_t message, uintptr_t sub_code);

// A thread's message queue. Implemented by the GUI (Qt adapter) and by
// CPlainDispatcher.
class CViewDispatcher {
 public:
  virtual ~CViewDispatcher() = default;
  // Queues the call on the dispatcher's thread and returns at once. False
  // when the dispatcher no longer accepts calls (the call is dropped).
  virtual bool Post(std::function<void()> call) = 0;
  // Runs the call on the dispatcher's thread and returns once it has run;
  // a direct call when the caller is that thread. False when it could not
  // run (dispatcher stopped); never blocks then.
  virtual bool Send(const std::function<void()>& call) = 0;
  // True when the calling thread is the dispatcher's thread.
  virtual bool IsDispatcherThread() const = 0;
};

// A receiver of view messages. Create and destroy it on its dispatcher's
// thread (or while that dispatcher does not run); the destructor
// unsubscribes it.
class CViewWindow {
 public:
  explicit CViewWindow(CViewDispatcher* dispatcher);
  virtual ~CViewWindow();
  CViewWindow(const CViewWindow&) = delete;
  CViewWindow& operator=(const CViewWindow&) = delete;

  // Handles one view message on the dispatcher's thread; the result goes
  // back to the sender of a send.
  virtual intptr_t OnViewMessage(uint32_t message, uintptr_t sub_code, uintptr_t payload) = 0;

  CViewDispatcher* GetDispatcher() const { return m_dispatcher; }
  // Unique in the run; never reused.
  uint64_t GetWindowId() const { return m_id; }

 private:
  CViewDispatcher* m_dispatcher;
  uint64_t m_id;
};

// The process-wide subscription list. Lock: "CMessageCenter".
class CMessageCenter {
 public:
  // Appends a subscription; sub-code 0 matches every sub-code.
  static void Subscribe(const wchar_t* subscriber_name, CViewWindow* window, uint32_t message, uint32_t sub_code);
  // Removes every subscription of the window.
  static void Unsubscribe(CViewWindow* window);
  // Synchronous delivery to every matching window, in list order; the
  // result of the last window that handled it, 0 if none. *handled (when
  // given) receives the number of windows whose handler ran: a sender of an
  // owned payload frees it itself when that is 0.
  static intptr_t SendViewMessage(const wchar_t* sender_name, uint32_t message, uintptr_t sub_code, uintptr_t payload,
                                  size_t* handled = nullptr);
  // Asynchronous delivery; the result of the last post (1 queued, 0 not),
  // 0 if none. *queued (when given) receives the number of posts queued.
  static intptr_t PostViewMessage(const wchar_t* sender_name, uint32_t message, uintptr_t sub_code, uintptr_t payload,
                                  size_t* queued = nullptr);
  // Empties the list (program exit).
  static void Clear();
  // Number of subscriptions (diagnostics and tests).
  static size_t Count();
  // True while the window has at least one subscription.
  static bool IsSubscribed(uint64_t window_id);
  // The trace line "%s %s %s/%s/%p" (Info, "Program Messages"); views use
  // it with "is receiving a message".
  static void Trace(const wchar_t* name, const wchar_t* phrase, uint32_t message, uintptr_t sub_code,
                    uintptr_t payload);
};

// Convenience forms of the center's two deliveries.
inline intptr_t SendViewMessage(const wchar_t* sender_name, uint32_t message, uintptr_t sub_code, uintptr_t payload,
                                size_t* handled = nullptr) {
  return CMessageCenter::SendViewMessage(sender_name, message, sub_code, payload, handled);
}
inline intptr_t PostViewMessage(const wchar_t* sender_name, uint32_t message, uintptr_t sub_code, uintptr_t payload,
                                size_t* queued = nullptr) {
  return CMessageCenter::PostViewMessage(sender_name, message, sub_code, payload, queued);
}
