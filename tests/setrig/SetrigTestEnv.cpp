#include "tests/setrig/SetrigTestEnv.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "tests/common/TempDir.h"

namespace setrig::test {

namespace {

class Environment : public ::testing::Environment {
 public:
  void SetUp() override {
    m_home = std::make_unique<TempHome>();
    std::filesystem::create_directories(CertRoot());
    std::filesystem::create_directories(UnitDir());
    ::setenv("SETRIG_CERT_ROOT", CertRoot().c_str(), 1);
    ::setenv("SETRIG_UNIT_DIR", UnitDir().c_str(), 1);
  }
  void TearDown() override { m_home.reset(); }

  std::unique_ptr<TempHome> m_home;
};

Environment* g_environment = static_cast<Environment*>(::testing::AddGlobalTestEnvironment(new Environment));

}  // namespace

const std::string& Root() {
  static const std::string root = g_environment->m_home->str();
  return root;
}

std::string CertRoot() { return Root() + "/certs"; }
std::string UnitDir() { return Root() + "/units"; }

}  // namespace setrig::test
