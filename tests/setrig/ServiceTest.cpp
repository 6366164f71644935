// Service units in a temporary unit folder. No systemd runs on the machines
// these tests run on, so systemctl is replaced by a script that records its
// arguments and answers as told.
#include <stdlib.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "setrig/Setrig.h"
#include "tests/common/LogCapture.h"
#include "tests/common/NetSnmp.h"
#include "tests/common/TempDir.h"
#include "tests/setrig/SetrigTestEnv.h"

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

class SetrigService : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string script = m_dir.str("systemctl");
    std::ofstream(script) << kFakeSystemctl;
    fs::permissions(script, fs::perms::owner_all);
    ::setenv("SETRIG_SYSTEMCTL", script.c_str(), 1);
    ::setenv("FAKE_SYSTEMCTL_LOG", m_dir.str("calls").c_str(), 1);
    ::setenv("FAKE_SYSTEMCTL_STATE", m_dir.str("state").c_str(), 1);
    ::setenv("FAKE_SYSTEMCTL_FAIL", m_dir.str("fail").c_str(), 1);
    m_program = m_dir.str("my daemon%i");
    std::ofstream(m_program) << "#!/bin/sh\n";
    m_name = "tavelo-test" + std::to_string(++s_counter);
  }
  void TearDown() override {
    ::unsetenv("SETRIG_SYSTEMCTL");
    ::setenv("SETRIG_UNIT_DIR", setrig::test::UnitDir().c_str(), 1);
  }

  std::vector<std::string> Calls() const { return netsnmp::Lines(netsnmp::ReadAll(m_dir.str("calls"))); }
  void ClearCalls() const { fs::remove(m_dir.str("calls")); }
  void SetState(const std::string& state) const { std::ofstream(m_dir.str("state")) << state << "\n"; }
  void FailOn(const std::string& command) const { std::ofstream(m_dir.str("fail"), std::ios::app) << command << "\n"; }
  std::string Unit() const { return m_name + ".service"; }
  std::string UnitPath() const { return setrig::test::UnitDir() + "/" + Unit(); }
  bool Create() const {
    return Setrig_ServiceCreate(m_name.c_str(), m_program.c_str(), "Tavelo Test", "Tavelo test daemon") == 1;
  }

  static inline int s_counter = 0;
  TempDir m_dir;
  std::string m_program;
  std::string m_name;
};

TEST_F(SetrigService, CreateWritesEnablesAndDeleteStopsARunningService) {
  ASSERT_TRUE(Create());
  const std::string unit = netsnmp::ReadAll(UnitPath());
  EXPECT_NE(unit.find("\nDescription=Tavelo test daemon\n"), std::string::npos) << unit;
  EXPECT_NE(unit.find("\nExecStart=\"" + m_dir.str("my daemon%%i") + "\"\n"), std::string::npos) << unit;
  EXPECT_NE(unit.find("\nWantedBy=multi-user.target\n"), std::string::npos) << unit;
  EXPECT_EQ(Calls(), (std::vector<std::string>{"daemon-reload", "enable " + Unit()}));

  ClearCalls();
  EXPECT_EQ(Setrig_ServiceStart(m_name.c_str()), 1);
  EXPECT_EQ(Setrig_ServiceStop(m_name.c_str()), 1);
  EXPECT_EQ(Calls(), (std::vector<std::string>{"start " + Unit(), "stop " + Unit()}));

  ClearCalls();
  SetState("active");
  EXPECT_EQ(Setrig_ServiceDelete(m_name.c_str()), 1);
  EXPECT_EQ(Calls(), (std::vector<std::string>{"is-active " + Unit(), "stop " + Unit(), "disable " + Unit(),
                                               "daemon-reload"}));
  EXPECT_FALSE(fs::exists(UnitPath()));
}

TEST_F(SetrigService, DeleteOfAStoppedServiceSendsNoStop) {
  ASSERT_TRUE(Create());
  ClearCalls();
  SetState("inactive");
  EXPECT_EQ(Setrig_ServiceDelete(m_name.c_str()), 1);
  EXPECT_EQ(Calls(), (std::vector<std::string>{"is-active " + Unit(), "disable " + Unit(), "daemon-reload"}));
  LogCapture log;
  EXPECT_EQ(Setrig_ServiceDelete(m_name.c_str()), 0);
  EXPECT_TRUE(log.Has(L"Bad handle to Service"));
}

TEST_F(SetrigService, ExecutablePathRules) {
  LogCapture log;
  EXPECT_EQ(Setrig_ServiceCreate(m_name.c_str(), "daemon", "d", "d"), 0);
  EXPECT_TRUE(log.Has(L"The file daemon seems to not be an absolute pathname"));
  EXPECT_EQ(Setrig_ServiceCreate(m_name.c_str(), "C:\\bin\\daemon.exe", "d", "d"), 0);
  EXPECT_TRUE(log.Has(L"The file C:\\bin\\daemon.exe seems to not be an absolute pathname"));
  const std::string missing = m_dir.str("missing");
  EXPECT_EQ(Setrig_ServiceCreate(m_name.c_str(), missing.c_str(), "d", "d"), 0);
  EXPECT_TRUE(log.Has(L"The file " + quillog::Utf8ToWide(missing) + L" does not exist, can't create the service"));
  // A line break would cut the ExecStart line: refused, even for a file that exists.
  const std::string odd = m_dir.str("odd\nname");
  std::ofstream(odd) << "#!/bin/sh\n";
  EXPECT_EQ(Setrig_ServiceCreate(m_name.c_str(), odd.c_str(), "d", "d"), 0);
  EXPECT_TRUE(log.HasContaining(L"has control characters, a unit cannot start it"));
  EXPECT_FALSE(fs::exists(UnitPath()));
  EXPECT_TRUE(Calls().empty());

  ASSERT_TRUE(Create());
  EXPECT_FALSE(Create());
  EXPECT_TRUE(log.HasContaining(L"Error while creating the service ["));
}

TEST_F(SetrigService, BadArgumentsAndNamesWriteNothing) {
  LogCapture log;
  EXPECT_EQ(Setrig_ServiceCreate("", m_program.c_str(), "d", "d"), 0);
  EXPECT_EQ(Setrig_ServiceCreate(m_name.c_str(), m_program.c_str(), nullptr, "d"), 0);
  EXPECT_EQ(Setrig_ServiceCreate(m_name.c_str(), m_program.c_str(), "d", ""), 0);
  EXPECT_EQ(Setrig_ServiceStart(nullptr), 0);
  EXPECT_EQ(log.CountLevel(QUILLOG_ERROR), 0u) << "empty arguments fail without a message";

  EXPECT_EQ(Setrig_ServiceCreate("../escape", m_program.c_str(), "d", "d"), 0);
  EXPECT_EQ(Setrig_ServiceCreate("a b", m_program.c_str(), "d", "d"), 0);
  EXPECT_EQ(log.CountContaining(L"is not a valid unit name"), 2u);
  EXPECT_FALSE(fs::exists(setrig::test::UnitDir() + "/../escape.service"));

  // Line breaks in a description cannot add directives to the unit.
  ASSERT_EQ(Setrig_ServiceCreate(m_name.c_str(), m_program.c_str(), "d", "text\nExecStartPre=/bin/evil"), 1);
  const std::string unit = netsnmp::ReadAll(UnitPath());
  EXPECT_EQ(unit.find("\nExecStartPre="), std::string::npos) << unit;
}

TEST_F(SetrigService, SystemctlFailuresAreReported) {
  LogCapture log;
  FailOn("enable");
  FailOn("start");
  FailOn("stop");
  EXPECT_FALSE(Create());
  EXPECT_TRUE(log.Has(L"Error while sending a configuration query to the service"));
  EXPECT_EQ(Setrig_ServiceStart(m_name.c_str()), 0);
  EXPECT_TRUE(log.Has(L"Error while starting the service [Failed to start " + quillog::Utf8ToWide(Unit()) +
                      L": Access denied]"));
  EXPECT_EQ(Setrig_ServiceStop(m_name.c_str()), 0);
  EXPECT_TRUE(log.Has(L"Error while sending a command to the service"));
  EXPECT_TRUE(log.Has(L"Error while stopping the service"));
  // A failed stop does not prevent the deletion.
  SetState("active");
  EXPECT_EQ(Setrig_ServiceDelete(m_name.c_str()), 1);
  EXPECT_FALSE(fs::exists(UnitPath()));

  ::setenv("SETRIG_SYSTEMCTL", m_dir.str("no-such-program").c_str(), 1);
  ASSERT_FALSE(Create());
  EXPECT_TRUE(log.HasContaining(L"cannot run"));

  ::setenv("SETRIG_UNIT_DIR", m_dir.str("no-such-folder").c_str(), 1);
  EXPECT_EQ(Setrig_ServiceStart(m_name.c_str()), 0);
  EXPECT_TRUE(log.Has(L"Bad handle to Service Control Manager"));
}

}  // namespace
