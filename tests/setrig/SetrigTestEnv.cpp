#include "tests/setrig/SetrigTestEnv.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>

#include "tests/common/TempDir.h"

namespace setrig::test {

namespace {

struct Environment : ::testing::Environment {
  void SetUp() override {
    home = std::make_unique<TempHome>();
    for (const std::string& dir : {CertRoot(), UnitDir()}) std::filesystem::create_directories(dir);
    ::setenv("SETRIG_CERT_ROOT", CertRoot().c_str(), 1);
    ::setenv("SETRIG_UNIT_DIR", UnitDir().c_str(), 1);
  }
  void TearDown() override { home.reset(); }
  std::unique_ptr<TempHome> home;
};

auto* const g_environment = static_cast<Environment*>(::testing::AddGlobalTestEnvironment(new Environment));

}  // namespace

const std::string& Root() {
  static const std::string root = g_environment->home->str();
  return root;
}
std::string CertRoot() { return Root() + "/certs"; }
std::string UnitDir() { return Root() + "/units"; }

}  // namespace setrig::test
