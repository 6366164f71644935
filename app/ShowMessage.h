// The "show message" interface: a modal message box asked for on any
// thread. The GUI shows it on its own thread while the caller waits; the
// command-line program prints it to standard error; tests capture it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

enum ShowMessageIcon : uint32_t {
  SHOW_MESSAGE_WARNING = 0,
  SHOW_MESSAGE_ERROR = 1,
  SHOW_MESSAGE_INFORMATION = 2,
};

class CShowMessage {
 public:
  virtual ~CShowMessage() = default;
  // Shows the box; returns once the user has closed it.
  virtual void Show(const std::wstring& caption, const std::wstring& text, ShowMessageIcon icon) = 0;
};

// Installs the process-wide shower (not owned; null restores the standard
// error one). Returns the previous one.
CShowMessage* SetShowMessage(CShowMessage* shower);
CShowMessage* GetShowMessage();
// Shows a box through the installed shower; blocks until it is closed.
void ShowMessageBox(const std::wstring& text, const std::wstring& caption = L"Warning",
                    ShowMessageIcon icon = SHOW_MESSAGE_WARNING);

// Prints "caption: text" on standard error (UTF-8).
class CShowMessageStderr : public CShowMessage {
 public:
  void Show(const std::wstring& caption, const std::wstring& text, ShowMessageIcon icon) override;
};

// Records every box (thread-safe); for tests.
class CShowMessageCapture : public CShowMessage {
 public:
  struct Entry {
    std::wstring caption;
    std::wstring text;
    ShowMessageIcon icon;
  };
  void Show(const std::wstring& caption, const std::wstring& text, ShowMessageIcon icon) override;
  std::vector<Entry> Entries() const;
  size_t Count() const;
  // Waits until at least count boxes were shown; false on time-out.
  bool WaitForCount(size_t count, uint32_t timeout_ms) const;
  void Clear();

 private:
  mutable std::mutex m_mutex;
  mutable std::condition_variable m_cv;
  std::vector<Entry> m_entries;
};
