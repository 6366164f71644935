// Writes a record list shaped like a table generated from a large MIB
// collection (enterprise subtrees of varying depth, some OIDs defined by
// several modules), for benchmarking when the committed table is small.
//
//   oidatlas_synth_records COUNT OUT.tsv
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

namespace {

// Deterministic, so every build benchmarks the same table.
class Lcg {
 public:
  uint32_t Next(uint32_t bound) {
    m_state = m_state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<uint32_t>(m_state >> 33) % bound;
  }

 private:
  uint64_t m_state = 0x5EED;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: oidatlas_synth_records COUNT OUT.tsv\n";
    return 2;
  }
  const long count = std::strtol(argv[1], nullptr, 10);
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  if (count <= 0 || !out) {
    std::cerr << "oidatlas_synth_records: bad count or cannot write " << argv[2] << "\n";
    return 1;
  }
  out << "1.3.6.1.2.1.31.1.1.1.6\tifHCInOctets\tIF-MIB\t611\n"
      << "1.3.6.1.4.1\tenterprises\tSNMPv2-SMI\t43\n";
  Lcg rng;
  long written = 2;
  for (uint32_t module = 0; written < count; ++module) {
    const std::string moduleName = "SYNTH-" + std::to_string(module) + "-MIB";
    std::string base = "1.3.6.1.4.1." + std::to_string(1 + rng.Next(60000));
    const uint32_t depth = 1 + rng.Next(4);
    for (uint32_t d = 0; d < depth; ++d) base += "." + std::to_string(1 + rng.Next(30));
    const uint32_t objects = 20 + rng.Next(120);
    for (uint32_t i = 0; i < objects && written < count; ++i, ++written) {
      std::string key = base + "." + std::to_string(1 + i / 10) + "." + std::to_string(1 + i % 10);
      if (rng.Next(4) == 0) key += "." + std::to_string(1 + rng.Next(40));
      out << key << "\tsynthObject" << module << "x" << i << "Entry\t" << moduleName << '\t' << 30 + 12 * i << '\n';
      // A few OIDs are defined again by a second module, as imports of old
      // and new versions of a module do.
      if (rng.Next(32) == 0 && ++written < count) {
        out << key << "\tsynthObject" << module << "x" << i << "Entry\tSYNTH-" << module << "-V1-MIB\t" << 25 + 11 * i
            << '\n';
      }
    }
  }
  out.flush();
  return out ? 0 : 1;
}
