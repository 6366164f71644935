// Temporary folders and module files for the SMI tests.
#pragma once

#include "quillog/Quillog.h"
#include "smi/MibFolders.h"
#include "smi/SmiTree.h"
#include "tests/common/LogCapture.h"
#include "tests/common/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

// The first object (or type) of the tree with this name, or null.
inline const CSmiObject* Named(const CSmiTree& tree, const std::wstring& name, bool type = false) {
  const size_t count = type ? tree.TypeCount() : tree.ObjectCount();
  for (size_t i = 0; i < count; ++i) {
    const CSmiObject& o = type ? tree.TypeAt(i) : tree.ObjectAt(i);
    if (o.Name() == name) return &o;
  }
  return nullptr;
}

// A temporary home: XDG_* and HOME point inside it; MIB modules are written
// to <home>/mibs, the only search folder.
class SmiTempHome : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(m_home.path().empty());
    std::filesystem::create_directories(m_root + "/mibs");
    SetMibSearchFolders({Wide(m_root + "/mibs")});
  }
  void TearDown() override { SetMibSearchFolders({}); }

  static std::wstring Wide(const std::string& s) { return quillog::Utf8ToWide(s); }

  // Writes <home>/mibs/<name>.mib (bytes as given) and returns its path.
  std::string WriteModule(const std::string& name, const std::string& text) {
    return WriteFile(m_root + "/mibs/" + name + ".mib", text);
  }
  static std::string WriteFile(const std::string& path, const std::string& text) {
    return WriteFileBytes(path, text).string();
  }
  std::wstring ModulePath(const std::string& name) const { return Wide(m_root + "/mibs/" + name + ".mib"); }

  TempHome m_home;
  const std::string m_root = m_home.str();
};
