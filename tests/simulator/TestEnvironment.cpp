// Points HOME and the XDG folders at a temporary folder for the whole run.
#include <gtest/gtest.h>

#include <memory>

#include "tests/common/TempDir.h"

namespace {

class SimulatorEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { home_ = std::make_unique<TempHome>(); }
  void TearDown() override { home_.reset(); }

 private:
  std::unique_ptr<TempHome> home_;
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new SimulatorEnvironment);

}  // namespace
