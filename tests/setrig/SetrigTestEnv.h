// The tests of libsetrig run with HOME, XDG_* and the certificate and unit
// roots (SETRIG_CERT_ROOT, SETRIG_UNIT_DIR) in one temporary folder.
#pragma once

#include "tests/common/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <stdlib.h>
#include <string>

namespace setrig::test {

struct Environment : ::testing::Environment {
  void SetUp() override {
    home = std::make_unique<TempHome>();
    for (const char* sub : {"certs", "units"}) std::filesystem::create_directories(home->path() / sub);
    ::setenv("SETRIG_CERT_ROOT", home->str("certs").c_str(), 1);
    ::setenv("SETRIG_UNIT_DIR", home->str("units").c_str(), 1);
  }
  void TearDown() override { home.reset(); }
  std::unique_ptr<TempHome> home;
};

inline auto* const g_environment = static_cast<Environment*>(::testing::AddGlobalTestEnvironment(new Environment));

inline std::string Root() { return g_environment->home->str(); }
inline std::string CertRoot() { return Root() + "/certs"; }
inline std::string UnitDir() { return Root() + "/units"; }

}  // namespace setrig::test
