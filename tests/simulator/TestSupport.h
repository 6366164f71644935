// Helpers shared by the simulator tests: temporary folders, raw file bytes.
#pragma once

#include "quillog/Quillog.h"
#include "tests/common/BoxCapture.h"
#include "tests/common/LogCapture.h"
#include "tests/common/NetSnmp.h"
#include "tests/common/SimulatorFileBytes.h"
#include "tests/common/TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace simtest {

namespace fs = std::filesystem;
using netsnmp::FreeUdpPort;
using netsnmp::Lines;

inline std::vector<uint8_t> ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

using simfile::FileBuilder;

}  // namespace simtest
