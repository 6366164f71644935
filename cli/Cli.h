// The tavelo command-line program: command table and shared plumbing.
#pragma once

#include "cli/CliArgs.h"

#include <cstdio>
#include <string>
#include <vector>

namespace cli {

// Exit statuses.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;  // no answer, an error answer, a file that does not load
constexpr int kExitUsage = 2;

struct Command {
  const char* name;
  const char* summary;
  const char* usage;  // the lines after "usage: tavelo "
  std::vector<OptionSpec> options;
  int (*run)(const ParsedArgs& args);
};

// Every command of the program, in the order --help lists them.
const std::vector<Command>& Commands();

// Runs the program with the arguments after the program name.
int Main(const std::vector<std::string>& args);

// One plain error line on standard error; returns kExitFailed.
int Fail(const std::string& text);
// The usage error line plus the command's usage; returns kExitUsage.
int UsageError(const Command& command, const std::string& text);

}  // namespace cli
