#include "app/ShowMessage.h"

#include "quillog/QuillogFormat.h"

#include <atomic>
#include <chrono>
#include <cstdio>

namespace {

CShowMessageStderr g_stderr_shower;
std::atomic<CShowMessage*> g_shower{nullptr};

}  // namespace

CShowMessage* SetShowMessage(CShowMessage* shower) { return g_shower.exchange(shower); }

CShowMessage* GetShowMessage() {
  CShowMessage* shower = g_shower.load();
  return shower ? shower : &g_stderr_shower;
}

void ShowMessageBox(const std::wstring& text, const std::wstring& caption, ShowMessageIcon icon) {
  GetShowMessage()->Show(caption, text, icon);
}

void CShowMessageStderr::Show(const std::wstring& caption, const std::wstring& text, ShowMessageIcon) {
  std::string line = quillog::WideToUtf8(caption) + ": " + quillog::WideToUtf8(text) + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

void CShowMessageCapture::Show(const std::wstring& caption, const std::wstring& text, ShowMessageIcon icon) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_entries.push_back(Entry{caption, text, icon});
  }
  m_cv.notify_all();
}

std::vector<CShowMessageCapture::Entry> CShowMessageCapture::Entries() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_entries;
}

size_t CShowMessageCapture::Count() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_entries.size();
}

bool CShowMessageCapture::WaitForCount(size_t count, uint32_t timeout_ms) const {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_cv.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return m_entries.size() >= count; });
}

void CShowMessageCapture::Clear() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_entries.clear();
}
