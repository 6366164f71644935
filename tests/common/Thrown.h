// The message of the CZubException* a call throws.
#pragma once

#include "kit/ZubException.h"

#include <string>

template <typename F>
std::wstring Thrown(F&& call) {
  try {
    call();
  } catch (CZubException* e) {
    const std::wstring message = e->GetMessage();
    delete e;
    return message;
  }
  return L"<nothing thrown>";
}
