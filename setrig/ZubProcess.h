// Runs a program with an argument vector (never through a shell) and
// collects what it writes.
#pragma once

#include <string>
#include <vector>

namespace setrig {

struct ProcessResult {
  bool started = false;
  bool timed_out = false;
  int exit_code = -1;  // -1 when it did not exit normally
  std::string output;  // standard output and standard error together
};

// Runs `args[0]` (looked up in PATH) with its standard input on /dev/null.
// A program still running after `timeout_ms` is killed.
ProcessResult RunProgram(const std::vector<std::string>& args, int timeout_ms);

}  // namespace setrig
