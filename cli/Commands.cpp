#include "cli/Commands.h"

#include <cstring>

namespace cli {

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      {"get", "Reads OIDs from an agent, one Get request per OID.",
       "get [-v 1|2c] [-c COMMUNITY] [-t SECONDS] [-r RETRIES] [--tsv] [-On|-Os] HOST[:PORT] OID...",
       AgentOptionSpecs(), &RunGet},
      {"set", "Writes a value to an agent's OID (sent as an OCTET STRING, as the workbench does).",
       "set [-v 1|2c] [-c COMMUNITY] [-t SECONDS] [-r RETRIES] [--tsv] [-On|-Os] HOST[:PORT] OID VALUE",
       AgentOptionSpecs(), &RunSet},
      {"walk",
       "Walks an agent (GetBulk over v2c, GetNext over v1 or with --getnext): the whole MIB, a subtree, or from "
       "OID to LAST-OID.",
       "walk [-v 1|2c] [-c COMMUNITY] [-t SECONDS] [-r RETRIES] [-Cr REPETITIONS] [--getnext] [--tsv] [-On|-Os] "
       "HOST[:PORT] [OID [LAST-OID]]",
       WalkOptionSpecs(), &RunWalk},
      {"traps",
       "Receives SNMPv1 and SNMPv2c traps and informs (acknowledged) and prints them.",
       "traps [-p PORT] [--count N] [--tsv] [-On|-Os]",
       {{"-p", true}, {"--count", true}, {"--tsv", false}, {"-O", true}},
       &RunTraps},
      {"simulate",
       "Serves a simulator (a .tav path or a name in the simulator folders) until interrupted.",
       "simulate [-p PORT] [-a ADDRESS] SIMULATOR   (ADDRESS: listen on that local address only)",
       {{"-p", true}, {"-a", true}},
       &RunSimulate},
      {"sim",
       "Creates and fills simulator files: new, add, import (snmpwalk -On output), show.",
       "sim new FILE.tav [--port P] [--community C] [-v 1|2c|both]\n"
       "       tavelo sim add FILE.tav OID TYPE VALUE   (TYPE: a type name or s i o t c g a C x)\n"
       "       tavelo sim import FILE.tav WALK-FILE\n"
       "       tavelo sim show [--tsv] FILE.tav",
       {{"--port", true}, {"--community", true}, {"-v", true}, {"--tsv", false}},
       &RunSim},
      {"demo", "Starts the demo simulator on a free loopback port, walks it and stops.", "demo", {}, &RunDemo},
      {"mib",
       "Loads MIB modules (names in the MIB folders, or files) and prints their objects.",
       "mib load [-M DIR[:DIR...]] [--tsv] MODULE-OR-FILE...",
       {{"-M", true}, {"--tsv", false}},
       &RunMib},
      {"translate",
       "Best-known name, module and line of OIDs, or the OID of names, without any MIB loaded.",
       "translate [--tsv] OID|NAME...",
       {{"--tsv", false}},
       &RunTranslate},
  };
  return commands;
}

const Command* FindCommandByName(const char* name) {
  for (const auto& c : Commands())
    if (std::strcmp(c.name, name) == 0) return &c;
  return nullptr;
}

}  // namespace cli
