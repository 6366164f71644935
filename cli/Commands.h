// The commands' entry points; each returns the program's exit status.
#pragma once

#include "cli/Cli.h"

namespace cli {

const Command* FindCommandByName(const char* name);

int RunTranslate(const ParsedArgs& args);
int RunGet(const ParsedArgs& args);
int RunSet(const ParsedArgs& args);
int RunWalk(const ParsedArgs& args);
int RunTraps(const ParsedArgs& args);
int RunSim(const ParsedArgs& args);
int RunSimulate(const ParsedArgs& args);
int RunDemo(const ParsedArgs& args);
int RunMib(const ParsedArgs& args);

// -v, -c, -t, -r and --tsv.
const std::vector<OptionSpec>& AgentOptionSpecs();
// The agent options, -Cr and --getnext.
const std::vector<OptionSpec>& WalkOptionSpecs();

}  // namespace cli
