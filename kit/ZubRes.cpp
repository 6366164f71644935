#include "kit/ZubRes.h"

#include "kit/ZubNoDestructor.h"
#include "kit/ZubResStrings.h"

#include <map>
#include <mutex>

namespace {

constexpr size_t kBufferChars = 1024;  // a loaded string holds at most 1023 characters

struct Added {
  std::mutex mutex;
  std::map<uint32_t, std::wstring> strings;
};

Added& GetAdded() {
  static ZubNoDestructor<Added> added;
  return added.get();
}

}  // namespace

void CZubRes::AddString(uint32_t id, const wchar_t* text) {
  Added& added = GetAdded();
  std::lock_guard<std::mutex> lock(added.mutex);
  added.strings[id] = text != nullptr ? text : L"";
}

bool CZubRes::Find(uint32_t id, std::wstring* text) {
  {
    Added& added = GetAdded();
    std::lock_guard<std::mutex> lock(added.mutex);
    auto it = added.strings.find(id);
    if (it != added.strings.end()) {
      *text = it->second;
      return true;
    }
  }
  size_t count = 0;
  const ZubResEntry* table = ZubResStringTable(&count);
  for (size_t i = 0; i < count; ++i) {
    if (table[i].id == id) {
      *text = table[i].text;
      return true;
    }
  }
  return false;
}

bool CZubRes::_load(uint32_t id, std::wstring* text) {
  if (!Find(id, text) || text->empty()) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"An error while loading the String ressource %d from the exe file", id);
    *text = L"String not loaded";
    return false;
  }
  if (text->size() >= kBufferChars - 1) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"The size of the buffer to read strings is too short");
    text->resize(kBufferChars - 1);
  }
  return true;
}

void CZubRes::_failed(uint32_t id) {
  QuillogW(QUILLOG_ERROR, QLF_NONE, L"Exception raised in CZubRes::String() with the string id %d", id);
}
