// Message boxes captured instead of shown while alive.
#pragma once

#include "app/ShowMessage.h"

#include <string>
#include <vector>

class BoxCapture : public CShowMessageCapture {
 public:
  BoxCapture() : m_previous(SetShowMessage(this)) {}
  ~BoxCapture() override { SetShowMessage(m_previous); }
  BoxCapture(const BoxCapture&) = delete;
  BoxCapture& operator=(const BoxCapture&) = delete;

  std::vector<std::wstring> Texts() const {
    std::vector<std::wstring> texts;
    for (const Entry& entry : Entries()) texts.push_back(entry.text);
    return texts;
  }

 private:
  CShowMessage* m_previous;
};
