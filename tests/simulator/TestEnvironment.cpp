// Points HOME and the XDG folders at a temporary folder for the whole run.
#include "tests/common/TempDir.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

class SimulatorEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { m_home = std::make_unique<TempHome>(); }
  void TearDown() override { m_home.reset(); }

 private:
  std::unique_ptr<TempHome> m_home;
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new SimulatorEnvironment);

}  // namespace
