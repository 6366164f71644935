// Service units in a temporary unit folder. No systemd runs where these
// tests run: systemctl is a script that records its arguments and answers
// as told.
#include "setrig/Setrig.h"
#include "tests/common/LogCapture.h"
#include "tests/common/NetSnmp.h"
#include "tests/common/TempDir.h"
#include "tests/setrig/SetrigTestEnv.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stdlib.h>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr const char* kFakeSystemctl = R"(#!/bin/sh
printf '%s\n' "$*" >> "$FAKE_SYSTEMCTL_LOG"
if [ "$1" = is-active ]; then
  state=$(cat "$FAKE_SYSTEMCTL_STATE" 2>/dev/null || echo inactive)
  echo "$state"
  [ "$state" = active ] && exit 0
  exit 3
fi
if [ -f "$FAKE_SYSTEMCTL_FAIL" ] && grep -qx "$1" "$FAKE_SYSTEMCTL_FAIL"; then
  echo "Failed to $1 $2: Access denied" >&2
  exit 1
fi
exit 0
)";

using Calls = std::vector<std::string>;

class SetrigService : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ofstream(m_dir.str("systemctl")) << kFakeSystemctl;
    fs::permissions(m_dir.str("systemctl"), fs::perms::owner_all);
    ::setenv("SETRIG_SYSTEMCTL", m_dir.str("systemctl").c_str(), 1);
    ::setenv("FAKE_SYSTEMCTL_LOG", m_dir.str("calls").c_str(), 1);
    ::setenv("FAKE_SYSTEMCTL_STATE", m_dir.str("state").c_str(), 1);
    ::setenv("FAKE_SYSTEMCTL_FAIL", m_dir.str("fail").c_str(), 1);
    std::ofstream(m_program) << "#!/bin/sh\n";
  }
  void TearDown() override {
    ::unsetenv("SETRIG_SYSTEMCTL");
    ::setenv("SETRIG_UNIT_DIR", setrig::test::UnitDir().c_str(), 1);
  }

  // The systemctl calls since the last look.
  Calls TakeCalls() const {
    Calls calls = netsnmp::Lines(netsnmp::ReadAll(m_dir.str("calls")));
    fs::remove(m_dir.str("calls"));
    return calls;
  }
  void SetState(const std::string& state) const { std::ofstream(m_dir.str("state")) << state << "\n"; }
  std::string UnitPath() const { return setrig::test::UnitDir() + "/" + m_unit; }
  int Create(const char* program, const char* description = "Tavelo test daemon") const {
    return Setrig_ServiceCreate(m_name.c_str(), program, "Tavelo Test", description);
  }

  static inline int s_counter = 0;
  TempDir m_dir;
  const std::string m_program = m_dir.str("my daemon%i");
  const std::string m_name = "tavelo-test" + std::to_string(++s_counter);
  const std::string m_unit = m_name + ".service";
};

TEST_F(SetrigService, LifeCycleCallsSystemctlInOrder) {
  ASSERT_EQ(Create(m_program.c_str()), 1);
  const std::string unit = netsnmp::ReadAll(UnitPath());
  EXPECT_NE(unit.find("\nDescription=Tavelo test daemon\n"), std::string::npos) << unit;
  EXPECT_NE(unit.find("\nExecStart=\"" + m_dir.str("my daemon%%i") + "\"\n"), std::string::npos) << unit;
  EXPECT_NE(unit.find("\nWantedBy=multi-user.target\n"), std::string::npos) << unit;
  EXPECT_EQ(TakeCalls(), (Calls{"daemon-reload", "enable " + m_unit}));

  EXPECT_EQ(Setrig_ServiceStart(m_name.c_str()), 1);
  EXPECT_EQ(Setrig_ServiceStop(m_name.c_str()), 1);
  EXPECT_EQ(TakeCalls(), (Calls{"start " + m_unit, "stop " + m_unit}));

  SetState("active");
  EXPECT_EQ(Setrig_ServiceDelete(m_name.c_str()), 1);
  EXPECT_EQ(TakeCalls(), (Calls{"is-active " + m_unit, "stop " + m_unit, "disable " + m_unit, "daemon-reload"}));
  EXPECT_FALSE(fs::exists(UnitPath()));

  ASSERT_EQ(Create(m_program.c_str()), 1);
  TakeCalls();
  SetState("inactive");
  EXPECT_EQ(Setrig_ServiceDelete(m_name.c_str()), 1);
  EXPECT_EQ(TakeCalls(), (Calls{"is-active " + m_unit, "disable " + m_unit, "daemon-reload"}));
  LogCapture log;
  EXPECT_EQ(Setrig_ServiceDelete(m_name.c_str()), 0);
  EXPECT_TRUE(log.Has(L"Bad handle to Service"));
}

TEST_F(SetrigService, BadInputWritesNoUnit) {
  const std::string odd = m_dir.str("odd\nname");  // exists, but would cut the ExecStart line
  std::ofstream(odd) << "#!/bin/sh\n";
  const std::string missing = m_dir.str("missing");
  LogCapture log;
  EXPECT_EQ(Create("daemon"), 0);
  EXPECT_TRUE(log.Has(L"The file daemon seems to not be an absolute pathname"));
  EXPECT_EQ(Create(missing.c_str()), 0);
  EXPECT_TRUE(log.HasContaining(L" does not exist, can't create the service"));
  EXPECT_EQ(Create(odd.c_str()), 0);
  EXPECT_TRUE(log.HasContaining(L"has control characters, a unit cannot start it"));
  EXPECT_EQ(Setrig_ServiceCreate("../escape", m_program.c_str(), "d", "d"), 0);
  EXPECT_TRUE(log.HasContaining(L"is not a valid unit name"));
  EXPECT_EQ(Create(m_program.c_str(), ""), 0);
  EXPECT_FALSE(fs::exists(UnitPath()));
  EXPECT_FALSE(fs::exists(setrig::test::UnitDir() + "/../escape.service"));
  EXPECT_TRUE(TakeCalls().empty());

  // Line breaks in a description cannot add directives.
  ASSERT_EQ(Create(m_program.c_str(), "text\nExecStartPre=/bin/evil"), 1);
  EXPECT_EQ(netsnmp::ReadAll(UnitPath()).find("\nExecStartPre="), std::string::npos);
  EXPECT_EQ(Create(m_program.c_str()), 0) << "the unit exists";
}

TEST_F(SetrigService, SystemctlFailuresAreReported) {
  std::ofstream(m_dir.str("fail")) << "enable\nstart\nstop\n";
  LogCapture log;
  EXPECT_EQ(Create(m_program.c_str()), 0);
  EXPECT_TRUE(log.Has(L"Error while sending a configuration query to the service"));
  EXPECT_EQ(Setrig_ServiceStart(m_name.c_str()), 0);
  EXPECT_TRUE(log.Has(L"Error while starting the service [Failed to start " + quillog::Utf8ToWide(m_unit) +
                      L": Access denied]"));
  EXPECT_EQ(Setrig_ServiceStop(m_name.c_str()), 0);
  EXPECT_TRUE(log.Has(L"Error while stopping the service"));
  SetState("active");
  EXPECT_EQ(Setrig_ServiceDelete(m_name.c_str()), 1) << "a failed stop does not prevent the deletion";
  EXPECT_FALSE(fs::exists(UnitPath()));

  ::setenv("SETRIG_SYSTEMCTL", m_dir.str("no-such-program").c_str(), 1);
  EXPECT_EQ(Create(m_program.c_str()), 0);
  EXPECT_TRUE(log.HasContaining(L"cannot run"));
  ::setenv("SETRIG_UNIT_DIR", m_dir.str("no-such-folder").c_str(), 1);
  EXPECT_EQ(Setrig_ServiceStart(m_name.c_str()), 0);
  EXPECT_TRUE(log.Has(L"Bad handle to Service Control Manager"));
}

}  // namespace
