// Records of the OID table taken from MIB modules loaded by the SMI loader.
#pragma once

#include "oidatlas/generator/OidRecordList.h"

#include <cstddef>
#include <string>
#include <vector>

namespace oidatlas::gen {

struct MibModuleResult {
  std::string module;
  size_t records = 0;                // records the module itself defines
  size_t skipped = 0;                // its objects whose OID is not a table key (incomplete, first arc over 2)
  std::string error;                 // why it did not load; empty when it did
  bool smiv2 = false;                // SNMPv2-SMI itself or a module importing from it
  std::vector<std::string> imports;  // modules it imports from
};

class MibRecordSource {
 public:
  // Modules are found in folder (imports too). Each module is loaded on its
  // own tree, with its imports; the records are the complete OIDs declared
  // in that module, in tree order, one per OID and declaration.
  explicit MibRecordSource(const std::string& folder);

  // Loads one module; its records are kept for AddTo when it loads.
  MibModuleResult Load(const std::string& module);

  // Module names of the folder ("NAME.mib"), sorted.
  std::vector<std::string> FolderModules() const;

  // Adds the records of the given loaded modules, in that order, to list.
  // Returns false with *error set when a record is refused.
  bool AddTo(const std::vector<std::string>& modules, OidRecordList* list, std::string* error) const;

  struct Record {
    std::string key;
    std::string name;
    uint32_t line = 0;
  };

 private:
  static constexpr unsigned kChildSeconds = 60;
  std::string m_folder;
  std::vector<std::pair<std::string, std::vector<Record>>> m_loaded;
};

}  // namespace oidatlas::gen
