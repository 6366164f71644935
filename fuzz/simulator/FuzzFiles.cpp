// Any bytes as a simulator file: loaded or refused, never a crash; what
// loads is sorted and valid, and saves and loads back to the same values.
#include "simulator/SimulatorEntry.h"
#include "simulator/SimulatorFile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string folder = [] {
    char name[] = "/tmp/tavelo-fuzz-sim-XXXXXX";
    return std::string(::mkdtemp(name));
  }();
  const std::string path = folder + "/f.tav";
  FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return 0;
  std::fwrite(data, 1, size, out);
  std::fclose(out);
  CSimulatorEntry first;
  first.path = std::wstring(path.begin(), path.end());
  if (!CSimulatorFile::Load(&first)) return 0;
  // Loaded values are sorted, each OID once, each text valid for its type.
  for (size_t i = 0; i < first.values.size(); ++i) {
    const CSimulatorValue& v = first.values[i];
    if (i > 0 && first.values[i - 1].oid >= v.oid) std::abort();
    if (!CSimulatorEntry::CheckValueText(v.type, v.value).empty()) std::abort();
    if (!CSimulatorEntry::CheckOidText(v.oid.GetText()).empty()) std::abort();
  }
  if (!CSimulatorFile::Save(&first)) return 0;
  CSimulatorEntry second;
  second.path = first.path;
  if (!CSimulatorFile::Load(&second) || second.values.size() != first.values.size()) std::abort();
  for (size_t i = 0; i < first.values.size(); ++i) {
    if (!(first.values[i].oid == second.values[i].oid) || first.values[i].value != second.values[i].value) std::abort();
  }
  return 0;
}
