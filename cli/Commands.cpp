#include "cli/Commands.h"

#include <cstring>

namespace cli {

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      {"get", "Reads OIDs from an agent, one Get request per OID.",
       "get [-v 1|2c] [-c COMMUNITY] [-t SECONDS] [-r RETRIES] [--tsv] HOST[:PORT] OID...", AgentOptionSpecs(),
       &RunGet},
      {"set", "Writes a value to an agent's OID (sent as an OCTET STRING, as the workbench does).",
       "set [-v 1|2c] [-c COMMUNITY] [-t SECONDS] [-r RETRIES] [--tsv] HOST[:PORT] OID VALUE", AgentOptionSpecs(),
       &RunSet},
      {"walk", "Walks an agent with GetNext: the whole MIB, a subtree, or from OID to LAST-OID.",
       "walk [-v 1|2c] [-c COMMUNITY] [-t SECONDS] [-r RETRIES] [--tsv] HOST[:PORT] [OID [LAST-OID]]",
       AgentOptionSpecs(), &RunWalk},
      {"traps", "Receives SNMPv1 and SNMPv2c traps and prints them.",
       "traps [-p PORT] [--count N] [--tsv]", {{"-p", true}, {"--count", true}, {"--tsv", false}}, &RunTraps},
      {"translate", "Best-known name, module and line of OIDs, without any MIB loaded.",
       "translate [--tsv] OID...", {{"--tsv", false}}, &RunTranslate},
  };
  return commands;
}

const Command* FindCommandByName(const char* name) {
  for (const auto& c : Commands())
    if (std::strcmp(c.name, name) == 0) return &c;
  return nullptr;
}

}  // namespace cli
