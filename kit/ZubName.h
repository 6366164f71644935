// A named object.
#pragma once

#include <string>

class CZubName {
 public:
  CZubName() = default;
  explicit CZubName(const wchar_t* name) { SetName(name); }
  virtual ~CZubName() = default;

  // A null text logs "Name of the object is NULL" and keeps the name.
  void SetName(const wchar_t* name);
  void SetName(const std::wstring& name) { m_name = name; }
  const wchar_t* GetName() const { return m_name.c_str(); }
  const std::wstring& Name() const { return m_name; }

 private:
  std::wstring m_name;
};
